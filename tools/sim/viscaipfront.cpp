#include "viscaipfront.h"

#include "viscaipframing.h"

#include <QNetworkDatagram>
#include <QTcpSocket>
#include <QTimer>

using namespace ViscaIp;

namespace {

QString authority(const QHostAddress &address, quint16 port)
{
    const QString host = address.protocol() == QAbstractSocket::IPv6Protocol
        ? QLatin1Char('[') + address.toString() + QLatin1Char(']')
        : address.toString();
    return host + QLatin1Char(':') + QString::number(port);
}

QString hex(const QByteArray &bytes)
{
    return ViscaModel::hexBytes(bytes);
}

} // namespace

ViscaIpFront::ViscaIpFront(Execute execute, Log log, QObject *parent)
    : QObject(parent)
    , execute(std::move(execute))
    , log(std::move(log))
{
    connect(&udp, &QUdpSocket::readyRead, this, &ViscaIpFront::readDatagrams);
    connect(&tcpServer, &QTcpServer::newConnection, this, &ViscaIpFront::onConnection);
}

ViscaIpFront::~ViscaIpFront()
{
    // The connections close as the server goes: nothing to report by then.
    const QList<QTcpSocket *> sockets = streams.keys();
    for (QTcpSocket *socket : sockets)
        socket->disconnect(this);
}

bool ViscaIpFront::listenUdp(const QHostAddress &address, quint16 port)
{
    return address.isLoopback() && udp.bind(address, port);
}

bool ViscaIpFront::listenTcp(const QHostAddress &address, quint16 port)
{
    return address.isLoopback() && tcpServer.listen(address, port);
}

QString ViscaIpFront::udpAuthority() const
{
    return authority(udp.localAddress(), udp.localPort());
}

QString ViscaIpFront::tcpAuthority() const
{
    return authority(tcpServer.serverAddress(), tcpServer.serverPort());
}

QList<QByteArray> ViscaIpFront::answer(const QByteArray &packet)
{
    if (addressedElsewhere(packet)) {
        log(QStringLiteral("network: %1 refused: no such device on this route").arg(hex(packet)));
        return {errorAnswer(NotExecutable)};
    }
    QList<QByteArray> replies;
    for (const ViscaModel::Packet &done : execute(packet))
        replies += done.replies;
    return replies;
}

void ViscaIpFront::noteWaiting(const QList<QByteArray> &replies, const Waiting &to)
{
    // An acknowledge without its completion: the command runs on.
    for (const QByteArray &reply : replies) {
        const Answer read = readAnswer(reply);
        if (read.kind == Answer::Ack)
            waiting.insert(read.socket, to);
        else if (read.kind != Answer::Other)
            waiting.remove(read.socket);
    }
}

void ViscaIpFront::sendLater(const QByteArray &reply)
{
    const int socket = readAnswer(reply).socket;
    if (!waiting.contains(socket)) {
        log(QStringLiteral("network: %1 has nobody waiting for it").arg(hex(reply)));
        return;
    }
    const Waiting to = waiting.take(socket);
    deliver([this, to, reply] {
        if (to.stream)
            to.stream->write(reply);
        else if (to.port != 0)
            udp.writeDatagram(message(Reply, to.sequence, reply), to.peer, to.port);
    });
}

void ViscaIpFront::deliver(const std::function<void()> &send)
{
    if (faultSet.mute)
        return;
    if (faultSet.answerDelayMs > 0)
        QTimer::singleShot(faultSet.answerDelayMs, this, send);
    else
        send();
}

void ViscaIpFront::readDatagrams()
{
    while (udp.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = udp.receiveDatagram();
        ++datagrams;
        const bool lose = faultSet.dropEvery > 0 && datagrams % faultSet.dropEvery == 0;
        losses += lose ? 1 : 0;
        if (lose && losses % 2 == 1) {
            log(QStringLiteral("network: %1 lost on its way in").arg(hex(datagram.data())));
            continue;
        }
        loseAnswers = lose;
        onDatagram(datagram.data(), datagram.senderAddress(), quint16(datagram.senderPort()));
    }
}

void ViscaIpFront::onDatagram(const QByteArray &datagram, const QHostAddress &from, quint16 port)
{
    Message received;
    if (!parseMessage(datagram, &received)) {
        log(QStringLiteral("network: unreadable datagram %1").arg(hex(datagram)));
        return;
    }
    QList<QByteArray> replies;
    quint16 replyType = Reply;
    if (received.type == Control && received.payload == resetPayload()) {
        haveLast = false;
        replyType = ControlReply;
        replies << resetPayload();
        log(QStringLiteral("network: sequence reset"));
    } else if (received.type == Command || received.type == Inquiry) {
        if (haveLast && received.sequence == lastSequence && received.payload == lastPayload) {
            log(QStringLiteral("network: %1 again (sequence %2): answered, not carried out")
                    .arg(hex(received.payload))
                    .arg(received.sequence));
            replies = lastReplies;
        } else {
            replies = answer(received.payload);
            Waiting to;
            to.peer = from;
            to.port = port;
            to.sequence = received.sequence;
            noteWaiting(replies, to);
            haveLast = true;
            lastSequence = received.sequence;
            lastPayload = received.payload;
            lastReplies = replies;
        }
    } else {
        replyType = ControlReply;
        replies << unknownTypePayload();
    }
    const quint32 sequence = received.sequence;
    if (loseAnswers) {
        log(QStringLiteral("network: the answers to %1 lost on their way out")
                .arg(hex(received.payload)));
        return;
    }
    deliver([this, replies, replyType, sequence, from, port] {
        for (const QByteArray &reply : replies)
            udp.writeDatagram(message(replyType, sequence, reply), from, port);
    });
}

void ViscaIpFront::onConnection()
{
    while (QTcpSocket *socket = tcpServer.nextPendingConnection()) {
        streams.insert(socket, QByteArray());
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            streams.remove(socket);
            socket->deleteLater();
        });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            QByteArray &stream = streams[socket];
            stream += socket->readAll();
            for (QByteArray packet = takePacket(&stream); !packet.isEmpty();
                 packet = takePacket(&stream)) {
                const QList<QByteArray> replies = answer(packet);
                const QPointer<QTcpSocket> to(socket);
                Waiting waiter;
                waiter.stream = to;
                noteWaiting(replies, waiter);
                deliver([to, replies] {
                    for (const QByteArray &reply : replies) {
                        if (to)
                            to->write(reply);
                    }
                });
            }
            if (stream.size() > ViscaModel::kMaxPacket) {
                log(QStringLiteral("network: %1 bytes without a terminator skipped")
                        .arg(stream.size()));
                stream.clear();
            }
        });
    }
}

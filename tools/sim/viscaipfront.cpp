#include "viscaipfront.h"

#include "viscaipframing.h"

#include <QNetworkDatagram>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

using namespace ViscaIp;

namespace {

const QByteArray kAck = QByteArray::fromHex("9041FF");
const QByteArray kCompletion = QByteArray::fromHex("9051FF");

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

QByteArray ViscaIpFront::versionAnswer()
{
    QByteArray bytes = QByteArray::fromHex("9050");
    for (const quint16 value : {kVendor, kModel, kRom}) {
        bytes.append(char(value >> 8));
        bytes.append(char(value & 0xFF));
    }
    bytes.append(char(kSockets));
    bytes.append(char(0xFF));
    return bytes;
}

QList<QByteArray> ViscaIpFront::answer(const QByteArray &packet)
{
    if (packet == versionInquiry()) {
        log(QStringLiteral("network: %1 version inquiry").arg(hex(packet)));
        return {versionAnswer()};
    }
    if (addressedElsewhere(packet)) {
        log(QStringLiteral("network: %1 refused: no such device on this route").arg(hex(packet)));
        return {errorAnswer(NotExecutable)};
    }
    const QList<ViscaModel::Packet> done = execute(packet);
    const bool carriedOut = done.size() == 1
        && (done.first().kind == ViscaModel::Packet::Kind::Command
            || done.first().kind == ViscaModel::Packet::Kind::Ignored);
    if (carriedOut)
        return {kAck, kCompletion};
    return {errorAnswer(Syntax)};
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

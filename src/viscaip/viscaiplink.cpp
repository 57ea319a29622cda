#include "viscaiplink.h"

#include "logcategories.h"
#include "sendfailure.h"

#include <QNetworkDatagram>

using namespace ViscaIp;

namespace {

QString cameraSays(int code)
{
    if (code == BufferFull)
        return SendFailure::reason({SendFailure::Kind::CameraBufferFull, QString()});
    return QStringLiteral("camera: ") + errorWords(code);
}

} // namespace

ViscaIpLink::ViscaIpLink(QObject *parent)
    : QObject(parent)
{
    for (QTimer *timer : {&resendTimer, &answerTimer, &busyTimer, &connectTimer})
        timer->setSingleShot(true);
    resendTimer.setInterval(kResendAfterMs);
    answerTimer.setInterval(kAnswerTimeoutMs);
    busyTimer.setInterval(kBusyPauseMs);
    connectTimer.setInterval(kConnectTimeoutMs);
    connect(&resendTimer, &QTimer::timeout, this, &ViscaIpLink::onResendDue);
    connect(&answerTimer, &QTimer::timeout, this, &ViscaIpLink::onAnswerDue);
    connect(&busyTimer, &QTimer::timeout, this, &ViscaIpLink::pump);
    connect(&connectTimer, &QTimer::timeout, this,
            [this] { failConnect(QStringLiteral("no answer")); });
    connect(&udp, &QUdpSocket::readyRead, this, &ViscaIpLink::readDatagrams);
    connect(&tcp, &QTcpSocket::readyRead, this, &ViscaIpLink::readStream);
    connect(&tcp, &QTcpSocket::connected, this, &ViscaIpLink::onTcpConnected);
    connect(&tcp, &QAbstractSocket::errorOccurred, this, &ViscaIpLink::onSocketError);
}

ViscaIpLink::~ViscaIpLink()
{
    close();
}

void ViscaIpLink::connectTo(const QHostAddress &address, quint16 port, Protocol protocol)
{
    close();
    linkProtocol = protocol;
    linkState = State::Connecting;
    connectTimer.start();
    qCDebug(lcViscaIp).noquote() << "connect" << protocolKey(protocol) << address.toString()
                                 << port;
    if (protocol == Protocol::Tcp) {
        tcp.connectToHost(address, port);
        return;
    }
    // A UDP socket "connected" to the camera sends there and reads from
    // there only.
    udp.connectToHost(address, port);
    Item reset;
    reset.packet = resetPayload();
    reset.type = Control;
    start(reset);
}

void ViscaIpLink::close()
{
    for (QTimer *timer : {&resendTimer, &answerTimer, &busyTimer, &connectTimer})
        timer->stop();
    queue.clear();
    executing.clear();
    busy = false;
    inFlight = Item();
    stream.clear();
    nextSequence = 0;
    linkState = State::Idle;
    udp.abort();
    tcp.abort();
}

bool ViscaIpLink::send(const QByteArray &packet, const QString &request)
{
    if (linkState != State::Connected || addressedElsewhere(packet)) {
        qCDebug(lcViscaIp) << "not sent:" << packet.toHex(' ') << int(linkState);
        return false;
    }
    const DriveKind kind = driveKind(packet);
    if (kind != DriveKind::None) {
        // Back from the newest waiting packet, past drives of the other kind
        // only: anything else keeps its place ahead of this drive.
        for (int i = queue.size() - 1; i >= 0; --i) {
            const DriveKind waiting = driveKind(queue.at(i).packet);
            if (waiting == DriveKind::None)
                break;
            if (waiting == kind) {
                qCDebug(lcViscaIp)
                    << "merged:" << queue.at(i).packet.toHex(' ') << "->" << packet.toHex(' ');
                queue[i].packet = packet;
                queue[i].request = request;
                return true;
            }
        }
    }
    Item item;
    item.packet = packet;
    item.request = request;
    item.type = payloadTypeFor(packet);
    queue.append(item);
    pump();
    return true;
}

void ViscaIpLink::pump()
{
    if (linkState != State::Connected || busy || busyTimer.isActive() || queue.isEmpty())
        return;
    start(queue.takeFirst());
}

void ViscaIpLink::start(Item item)
{
    item.sequence = nextSequence++;
    item.resends = 0;
    inFlight = item;
    busy = true;
    transmit(item);
    if (item.type != Control)
        emit packetSent(item.packet, item.request);
    if (linkProtocol == Protocol::Udp)
        resendTimer.start();
    if (linkState == State::Connected)
        answerTimer.start();
}

void ViscaIpLink::transmit(const Item &item)
{
    const QByteArray bytes = linkProtocol == Protocol::Udp
        ? message(item.type, item.sequence, item.packet)
        : item.packet;
    QAbstractSocket &socket = linkProtocol == Protocol::Udp ? static_cast<QAbstractSocket &>(udp)
                                                            : static_cast<QAbstractSocket &>(tcp);
    const qint64 written = socket.write(bytes);
    qCDebug(lcViscaIp) << "sent:" << bytes.toHex(' ') << written;
}

void ViscaIpLink::finishInFlight()
{
    resendTimer.stop();
    answerTimer.stop();
    busy = false;
    inFlight = Item();
    pump();
}

void ViscaIpLink::readDatagrams()
{
    while (udp.hasPendingDatagrams()) {
        const QByteArray datagram = udp.receiveDatagram().data();
        Message reply;
        if (!parseMessage(datagram, &reply)) {
            qCDebug(lcViscaIp) << "unreadable datagram:" << datagram.toHex(' ');
            continue;
        }
        qCDebug(lcViscaIp) << "received:" << datagram.toHex(' ');
        if (reply.type == ControlReply)
            onControlReply(reply.sequence, reply.payload);
        else if (reply.type == Reply)
            onAnswer(true, reply.sequence, reply.payload);
    }
}

void ViscaIpLink::readStream()
{
    stream += tcp.readAll();
    for (QByteArray packet = takePacket(&stream); !packet.isEmpty(); packet = takePacket(&stream)) {
        qCDebug(lcViscaIp) << "received:" << packet.toHex(' ');
        onAnswer(false, 0, packet);
    }
}

void ViscaIpLink::onControlReply(quint32 sequence, const QByteArray &payload)
{
    if (!busy || sequence != inFlight.sequence)
        return;
    const QString words = controlWords(payload);
    if (inFlight.type == Control) {
        if (!words.isEmpty()) {
            failConnect(words);
            return;
        }
        resendTimer.stop();
        Item inquiry;
        inquiry.packet = versionInquiry();
        inquiry.type = Inquiry;
        start(inquiry);
        return;
    }
    // The camera refused the message itself (its sequence or its type).
    if (linkState == State::Connecting) {
        failConnect(words);
        return;
    }
    const Item failed = inFlight;
    finishInFlight();
    emit packetFailed(failed.packet, failed.request, QStringLiteral("camera: ") + words);
}

void ViscaIpLink::onAnswer(bool sequenced, quint32 sequence, const QByteArray &packet)
{
    const Answer answer = readAnswer(packet);
    if (answer.kind == Answer::Other)
        return;

    // Over TCP an answer on a socket that holds an acknowledged packet is
    // that packet's; over UDP the sequence number tells.
    const auto running = executing.constFind(answer.socket);
    const bool forRunning = answer.kind != Answer::Ack && running != executing.constEnd()
        && (sequenced ? running->sequence == sequence : true);
    if (forRunning) {
        const Item done = executing.take(answer.socket);
        if (answer.kind == Answer::Error)
            emit packetFailed(done.packet, done.request, cameraSays(answer.error));
        return;
    }
    if (!busy || inFlight.type == Control || (sequenced && sequence != inFlight.sequence))
        return; // a late answer to a resend, or to nothing of ours

    if (answer.kind == Answer::Error) {
        onInFlightError(answer.error);
        return;
    }
    if (linkState == State::Connecting) {
        if (answer.kind != Answer::Completion)
            return; // an inquiry is answered with its data only
        const QString model = modelCode(packet);
        if (model.isEmpty()) {
            failConnect(QStringLiteral("not a version answer"));
            return;
        }
        connectTimer.stop();
        linkState = State::Connected;
        finishInFlight();
        emit connected(model);
        return;
    }
    const Item answered = inFlight;
    if (answer.kind == Answer::Ack)
        executing.insert(answer.socket, answered);
    finishInFlight();
    emit packetAnswered(answered.packet, answered.request);
}

void ViscaIpLink::onInFlightError(int code)
{
    if (linkState == State::Connecting) {
        failConnect(errorWords(code));
        return;
    }
    Item failed = inFlight;
    if (code == BufferFull && failed.busyRetries < kBusyRetries) {
        ++failed.busyRetries;
        qCDebug(lcViscaIp) << "buffer full, again after" << kBusyPauseMs << "ms";
        queue.prepend(failed);
        busyTimer.start();
        finishInFlight();
        return;
    }
    finishInFlight();
    emit packetFailed(failed.packet, failed.request, cameraSays(code));
}

void ViscaIpLink::onResendDue()
{
    if (!busy || inFlight.resends >= kResends)
        return;
    ++inFlight.resends;
    qCDebug(lcViscaIp) << "no acknowledgement, resend" << inFlight.resends;
    transmit(inFlight);
    resendTimer.start();
}

void ViscaIpLink::onAnswerDue()
{
    if (!busy || linkState != State::Connected)
        return;
    const Item failed = inFlight;
    finishInFlight();
    emit packetFailed(failed.packet, failed.request,
                      SendFailure::reason({SendFailure::Kind::CameraNoAnswer, QString()}));
}

void ViscaIpLink::failConnect(const QString &reason)
{
    if (linkState != State::Connecting)
        return;
    qCDebug(lcViscaIp).noquote() << "connect failed:" << reason;
    close();
    emit connectFailed(reason);
}

void ViscaIpLink::onTcpConnected()
{
    if (linkState != State::Connecting)
        return;
    Item inquiry;
    inquiry.packet = versionInquiry();
    inquiry.type = Inquiry;
    start(inquiry);
}

void ViscaIpLink::onSocketError(QAbstractSocket::SocketError error)
{
    qCDebug(lcViscaIp) << "socket error" << error << tcp.errorString();
    if (linkState == State::Connecting) {
        failConnect(QStringLiteral("could not connect"));
        return;
    }
    if (linkState == State::Connected) {
        const QString reason = tcp.errorString();
        close();
        emit lost(reason);
    }
}

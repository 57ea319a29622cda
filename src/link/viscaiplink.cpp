#include "viscaiplink.h"

#include "logcategories.h"
#include "sendfailure.h"
#include "viscaudpport.h"

#include <QNetworkDatagram>

using namespace ViscaIp;

namespace {

QString cameraSays(int code)
{
    return refusalReason(code);
}

QString senderText(const QHostAddress &address, quint16 port)
{
    const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    return (v6 ? QLatin1Char('[') + address.toString() + QLatin1Char(']') : address.toString())
        + QLatin1Char(':') + QString::number(port);
}

// The longest datagram read whole: a header and the longest packet. Longer
// ones are cut and so fail to parse.
constexpr int longestDatagram = headerSize + PacketSplitter::maxPacket;

} // namespace

ViscaIpLink::ViscaIpLink(QObject *parent)
    : QObject(parent)
{
    for (QTimer *timer :
         {&resendTimer, &answerTimer, &busyTimer, &connectTimer, &expiryTimer, &readMore})
        timer->setSingleShot(true);
    resendTimer.setInterval(kResendAfterMs);
    answerTimer.setInterval(kAnswerTimeoutMs);
    busyTimer.setInterval(kBusyPauseMs);
    connectTimer.setInterval(kConnectTimeoutMs);
    readMore.setInterval(0);
    connect(&resendTimer, &QTimer::timeout, this, &ViscaIpLink::onResendDue);
    connect(&answerTimer, &QTimer::timeout, this, &ViscaIpLink::onAnswerDue);
    connect(&busyTimer, &QTimer::timeout, this, &ViscaIpLink::pump);
    connect(&expiryTimer, &QTimer::timeout, this, &ViscaIpLink::pump);
    connect(&connectTimer, &QTimer::timeout, this, [this] {
        failConnect(lastStranger.isEmpty()
                        ? QStringLiteral("no answer")
                        : SendFailure::reason({SendFailure::Kind::CameraStranger, lastStranger}));
    });
    connect(&readMore, &QTimer::timeout, this, [this] {
        if (linkProtocol == Protocol::Udp)
            readDatagrams();
        else
            readStream();
    });
    connect(&udp, &QUdpSocket::readyRead, this, &ViscaIpLink::readDatagrams);
    connect(&tcp, &QTcpSocket::readyRead, this, &ViscaIpLink::readStream);
    connect(&tcp, &QTcpSocket::connected, this, &ViscaIpLink::onTcpConnected);
    connect(&tcp, &QAbstractSocket::errorOccurred, this, &ViscaIpLink::onSocketError);
    // The network layer holds no more than this of a stream we have not
    // read; the camera's sending waits meanwhile.
    tcp.setReadBufferSize(4 * kReadChunkBytes);
    clock.start();
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
    cameraAddress = address;
    cameraPort = port;
    connectTimer.start();
    qCDebug(lcViscaIp).noquote() << "connect" << protocolKey(protocol) << address.toString()
                                 << port;
    if (protocol == Protocol::Tcp) {
        tcp.connectToHost(address, port);
        return;
    }
    QString refusal;
    if (sharedPort) {
        onSharedPort = sharedPort->attach(this, address, port, &refusal);
    } else {
        // Bound, not connected: the kernel would drop datagrams from any
        // other sender before we could tell the operator where they come
        // from.
        const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
        if (!udp.bind(QHostAddress(v6 ? QHostAddress::AnyIPv6 : QHostAddress::AnyIPv4), 0)) {
            qCWarning(lcViscaIp).noquote() << "no UDP socket:" << udp.errorString();
            refusal = QStringLiteral("could not connect");
        }
    }
    if (!refusal.isEmpty()) {
        connectTimer.stop();
        QTimer::singleShot(0, this, [this, refusal, g = generation] {
            if (g == generation)
                failConnect(refusal);
        });
        return;
    }
    Item reset;
    reset.packet = resetPayload();
    reset.type = Control;
    start(reset);
}

void ViscaIpLink::close()
{
    // The stops still waiting leave now, unacknowledged: a link that goes
    // (the route left, the program closing) must not leave the camera
    // moving because an answer was still due.
    if (linkState == State::Connected) {
        for (const CommandQueue::Entry &entry : queue.waiting()) {
            if (!entry.motion.isStop())
                continue;
            Item item;
            item.packet = entry.packet;
            item.sequence = nextSequence++;
            transmit(item);
        }
        if (linkProtocol == Protocol::Tcp)
            tcp.flush();
    }
    ++generation;
    for (QTimer *timer :
         {&resendTimer, &answerTimer, &busyTimer, &connectTimer, &expiryTimer, &readMore})
        timer->stop();
    queue.clear();
    executing.clear();
    busy = false;
    inFlight = Item();
    splitter.reset();
    unreadableDatagramBytes = 0;
    unreadableTally.reset();
    strangers.clear();
    lastStranger.clear();
    unanswered = false;
    nextSequence = 0;
    linkState = State::Idle;
    if (onSharedPort && sharedPort)
        sharedPort->detach(this);
    onSharedPort = false;
    udp.abort();
    tcp.abort();
}

void ViscaIpLink::useSharedPort(ViscaUdpPort *port)
{
    sharedPort = port;
}

bool ViscaIpLink::send(const QByteArray &packet, const QString &request, QString *refusal)
{
    if (linkState != State::Connected || addressedElsewhere(packet)) {
        qCDebug(lcViscaIp) << "not sent:" << packet.toHex(' ') << int(linkState);
        return false;
    }
    CommandQueue::Entry entry;
    entry.packet = packet;
    entry.request = request;
    entry.queuedAt = clock.elapsed();
    const CommandQueue::Outcome outcome = queue.push(entry);
    if (outcome == CommandQueue::Outcome::Full) {
        qCDebug(lcViscaIp) << "queue full, not sent:" << packet.toHex(' ');
        if (refusal)
            *refusal = SendFailure::reason({SendFailure::Kind::CameraBusy, QString()});
        return false;
    }
    if (outcome != CommandQueue::Outcome::Queued)
        qCDebug(lcViscaIp) << "waiting packet replaced or covered:" << packet.toHex(' ');
    pump();
    return true;
}

void ViscaIpLink::dropExpired()
{
    const quint32 g = generation;
    const QList<CommandQueue::Entry> expired = queue.takeExpired(clock.elapsed());
    const QString reason = SendFailure::reason({SendFailure::Kind::CameraBusy, QString()});
    for (const CommandQueue::Entry &entry : expired) {
        if (g != generation)
            return;
        qCDebug(lcViscaIp) << "waited too long, dropped:" << entry.packet.toHex(' ');
        emit packetFailed(entry.packet, entry.request, reason);
    }
}

void ViscaIpLink::armExpiry()
{
    const int wait = queue.msUntilExpiry(clock.elapsed());
    if (wait < 0)
        expiryTimer.stop();
    else
        expiryTimer.start(wait);
}

void ViscaIpLink::pump()
{
    if (pumping || linkState != State::Connected)
        return;
    pumping = true;
    const quint32 g = generation;
    dropExpired();
    if (g == generation && !busy && !busyTimer.isActive() && !queue.isEmpty()
        && (!unanswered || queue.head().motion.isStop())) {
        const CommandQueue::Entry entry = queue.takeHead();
        Item item;
        item.packet = entry.packet;
        item.request = entry.request;
        item.type = payloadTypeFor(entry.packet);
        item.queuedAt = entry.queuedAt;
        item.busyRetries = entry.refusals;
        start(item);
    }
    pumping = false;
    if (g == generation)
        armExpiry();
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
    qint64 written = 0;
    if (linkProtocol == Protocol::Udp) {
        const QByteArray bytes = message(item.type, item.sequence, item.packet);
        written = onSharedPort && sharedPort ? sharedPort->send(bytes, cameraAddress, cameraPort)
                                             : udp.writeDatagram(bytes, cameraAddress, cameraPort);
        qCDebug(lcViscaIp) << "sent:" << bytes.toHex(' ') << written;
        return;
    }
    written = tcp.write(item.packet);
    qCDebug(lcViscaIp) << "sent:" << item.packet.toHex(' ') << written;
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
    const quint32 g = generation;
    for (int n = 0; n < kDatagramsPerEvent && g == generation; ++n) {
        if (!udp.hasPendingDatagrams())
            return;
        const QNetworkDatagram datagram = udp.receiveDatagram(longestDatagram + 1);
        const QHostAddress from = datagram.senderAddress();
        const quint16 fromPort = quint16(datagram.senderPort());
        if (fromPort != cameraPort
            || !from.isEqual(cameraAddress, QHostAddress::TolerantConversion)) {
            noteStranger(from, fromPort);
            continue;
        }
        takeDatagram(datagram.data());
    }
    if (g == generation && udp.hasPendingDatagrams())
        readMore.start();
}

void ViscaIpLink::takeDatagram(const QByteArray &datagram)
{
    Message reply;
    if (!parseMessage(datagram, &reply)) {
        qCDebug(lcViscaIp) << "unreadable datagram:" << datagram.toHex(' ');
        unreadableDatagramBytes += datagram.size();
        noteUnreadable(datagram.size());
        return;
    }
    qCDebug(lcViscaIp) << "received:" << datagram.toHex(' ');
    if (reply.type == ControlReply)
        onControlReply(reply.sequence, reply.payload);
    else if (reply.type == Reply)
        onAnswer(true, reply.sequence, reply.payload);
}

void ViscaIpLink::readStream()
{
    const quint32 g = generation;
    const QByteArray bytes = tcp.read(kReadChunkBytes);
    QList<QByteArray> packets;
    const int dropped
        = splitter.feed(bytes, [&packets](const QByteArray &packet) { packets.append(packet); });
    if (dropped > 0)
        noteUnreadable(dropped);
    for (const QByteArray &packet : qAsConst(packets)) {
        if (g != generation)
            return;
        qCDebug(lcViscaIp) << "received:" << packet.toHex(' ');
        onAnswer(false, 0, packet);
    }
    if (g == generation && tcp.bytesAvailable() > 0)
        readMore.start();
}

void ViscaIpLink::noteUnreadable(qint64 bytes)
{
    const UnreadableTally::Say say = unreadableTally.dropped(bytes);
    if (say.log > 0)
        qCWarning(lcViscaIp).noquote() << "unreadable bytes from the camera dropped:" << say.log
                                       << "(since the connect:" << unreadableBytes() << ")";
    if (say.report)
        emit unreadable(unreadableBytes());
}

void ViscaIpLink::noteStranger(const QHostAddress &address, quint16 port)
{
    const QString sender = senderText(address, port);
    if (strangers.contains(sender) || strangers.size() >= kStrangersNamed)
        return;
    strangers.insert(sender);
    lastStranger = sender;
    qCWarning(lcViscaIp).noquote() << "datagrams from" << sender << "are not the camera's ("
                                   << senderText(cameraAddress, cameraPort) << "), left alone";
    emit strangerAnswered(sender);
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
    unreadableTally.readable();
    if (unanswered) {
        // It reads again: what waits may go.
        unanswered = false;
        QTimer::singleShot(0, this, [this, g = generation] {
            if (g == generation)
                pump();
        });
    }

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
    const quint32 g = generation;
    emit packetAnswered(answered.packet, answered.request);
    if (g == generation && answer.kind == Answer::Completion && !answer.data.isEmpty())
        emit inquiryAnswered(answered.packet, answered.request, answer.data);
}

void ViscaIpLink::onInFlightError(int code)
{
    if (linkState == State::Connecting) {
        failConnect(errorWords(code));
        return;
    }
    const Item failed = inFlight;
    const bool stop = Motion::of(failed.packet).isStop();
    if (code == BufferFull && (stop || failed.busyRetries < kBusyRetries)) {
        // A stop is tried until it is taken; it goes ahead of all else.
        qCDebug(lcViscaIp) << "buffer full, again after" << kBusyPauseMs << "ms";
        CommandQueue::Entry again;
        again.packet = failed.packet;
        again.request = failed.request;
        again.queuedAt = failed.queuedAt;
        again.refusals = failed.busyRetries + 1;
        queue.retry(again);
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
    // A stream camera that did not answer has not read it, or cannot: what
    // is sent now would reach it late, all at once.
    if (linkProtocol == Protocol::Tcp)
        unanswered = true;
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

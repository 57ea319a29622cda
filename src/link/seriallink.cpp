#include "seriallink.h"

#include "logcategories.h"
#include "sendfailure.h"

#include <QSerialPort>

namespace {

CommandQueue::Entry entryOf(const QByteArray &packet, const PacketTag &tag)
{
    CommandQueue::Entry entry;
    entry.packet = packet;
    entry.request = tag.words;
    entry.origin = tag.origin;
    entry.requestId = tag.request;
    entry.motion = Motion::of(packet);
    return entry;
}

PacketTag tagOf(const CommandQueue::Entry &entry)
{
    return {entry.origin, entry.requestId, entry.request};
}

} // namespace

SerialLink::SerialLink(QSerialPort &port, int drainWaitMs, QObject *parent)
    : QObject(parent)
    , port(port)
    , queue(drainWaitMs)
{
    drainTimer.setSingleShot(true);
    drainTimer.setInterval(drainWaitMs);
    expiryTimer.setSingleShot(true);
    answerTimer.setSingleShot(true);
    connect(&answerTimer, &QTimer::timeout, this, &SerialLink::onAnswerDue);
    connect(&drainTimer, &QTimer::timeout, this, &SerialLink::onDrainWaitOver);
    connect(&expiryTimer, &QTimer::timeout, this, &SerialLink::pump);
    connect(&port, &QSerialPort::bytesWritten, this, &SerialLink::onBytesWritten);
    connect(&port, &QSerialPort::readyRead, this, &SerialLink::readAnswers);
    // What the camera sends is held up to this much until read.
    port.setReadBufferSize(readChunkBytes);
    clock.start();
}

SerialLink::Outcome SerialLink::send(const QByteArray &packet, const PacketTag &tag)
{
    if (!port.isOpen())
        return Outcome::Failed;
    CommandQueue::Entry entry = entryOf(packet, tag);
    entry.queuedAt = clock.elapsed();
    // Nothing before it: straight to the port, its failure said at once.
    if (!entry.motion.isStop() && queue.isEmpty() && !lineHolds())
        return write(entry) ? Outcome::Accepted : Outcome::Failed;
    // A stop also passes through the queue, which drops the drives of its
    // axis that wait; the pump then writes it at once.
    if (queue.push(entry) == CommandQueue::Outcome::Full)
        return Outcome::Busy;
    pump();
    return Outcome::Accepted;
}

void SerialLink::reset()
{
    drainTimer.stop();
    expiryTimer.stop();
    answerTimer.stop();
    answers.reset();
    ++generation;
    queue.clear();
    splitter.reset();
    written = 0;
    other = CommandQueue::Entry();
    otherEnd = -1;
    stopsInLine.clear();
    resting.fill(Resting());
    guardFragment = false;
    held = false;
    packets = 0;
    unreadableTally.reset();
}

// Gives bytes the port holds a chance to go without waiting; true when some
// are still there.
bool SerialLink::lineHolds()
{
    if (port.bytesToWrite() == 0)
        return false;
    working = true;
    port.waitForBytesWritten(0);
    working = false;
    settle();
    return port.bytesToWrite() > 0;
}

qint64 SerialLink::bufferStart() const
{
    return written - port.bytesToWrite();
}

// Forgets what has left the port's buffer.
void SerialLink::settle()
{
    const qint64 start = bufferStart();
    if (otherEnd >= 0 && otherEnd <= start) {
        otherEnd = -1;
        other = CommandQueue::Entry();
    }
    while (!stopsInLine.isEmpty() && stopsInLine.constFirst().end <= start)
        stopsInLine.removeFirst();
    if (port.bytesToWrite() == 0)
        drainTimer.stop();
}

void SerialLink::pump()
{
    if (working || pumping || !port.isOpen())
        return;
    pumping = true;
    dropExpired();
    while (!queue.isEmpty() && port.isOpen()) {
        if (queue.head().motion.isStop()) {
            writeStop(queue.takeHead());
            continue;
        }
        if (lineHolds())
            break;
        const CommandQueue::Entry entry = queue.takeHead();
        if (!write(entry))
            emit packetFailed(tagOf(entry), writeFailed());
    }
    pumping = false;
    armExpiry();
}

bool SerialLink::write(const CommandQueue::Entry &entry)
{
    QByteArray bytes = entry.packet;
    if (guardFragment)
        bytes.prepend(char(0xFF));
    working = true;
    const qint64 taken = port.write(bytes);
    if (taken == bytes.size()) {
        written += taken;
        // Into the driver now if it has room; never a wait.
        port.waitForBytesWritten(0);
    }
    working = false;
    if (taken != bytes.size() || !port.isOpen())
        return false;
    guardFragment = false;
    answers.sent(entry.packet, tagOf(entry), clock.elapsed());
    armAnswerWait();

    const Motion::Kind &motion = entry.motion;
    if (motion.isStop()) {
        resting[size_t(motion.axisKey())] = {entry.packet, tagOf(entry)};
        stopsInLine.append({written, motion, tagOf(entry)});
    } else {
        if (motion.isDrive())
            resting[size_t(motion.axisKey())] = Resting();
        other = entry;
        otherEnd = written;
    }
    settle();
    if (port.bytesToWrite() > 0 && !drainTimer.isActive())
        drainTimer.start();
    return true;
}

void SerialLink::writeStop(const CommandQueue::Entry &stop)
{
    settle();
    for (const StopInLine &waiting : qAsConst(stopsInLine)) {
        if (waiting.motion.sameAxis(stop.motion)) {
            // Nothing of its axis can follow a stop in the buffer.
            qCDebug(lcSerial) << "stop already in the port's buffer:" << stop.packet.toHex();
            return;
        }
    }
    if (otherEnd > bufferStart() && other.motion.isDrive() && other.motion.sameAxis(stop.motion)) {
        discardUnsent(&stop);
        return;
    }
    if (!write(stop))
        emit packetFailed(tagOf(stop), writeFailed());
}

// Empties the port's buffer and the driver's queue, then puts the guard FF,
// the stop (if any) and the stops of the axes at rest on the line.
void SerialLink::discardUnsent(const CommandQueue::Entry *stop)
{
    const qint64 unsent = port.bytesToWrite();
    working = true;
    port.clear(QSerialPort::Output);
    working = false;
    qCInfo(lcSerial).noquote() << "serial line: discarded" << unsent << "unsent bytes"
                               << (stop ? QStringLiteral("ahead of ") + stop->request
                                        : QStringLiteral("that did not drain"));
    written -= unsent;
    other = CommandQueue::Entry();
    otherEnd = -1;
    stopsInLine.clear();
    drainTimer.stop();
    guardFragment = true;

    QList<CommandQueue::Entry> stops;
    if (stop)
        stops.append(*stop);
    for (const Resting &axis : resting) {
        if (axis.stop.isEmpty())
            continue;
        const CommandQueue::Entry again = entryOf(axis.stop, axis.tag);
        if (!stop || !again.motion.sameAxis(stop->motion))
            stops.append(again);
    }
    for (const CommandQueue::Entry &entry : qAsConst(stops)) {
        if (!write(entry))
            emit packetFailed(tagOf(entry), writeFailed());
    }
}

void SerialLink::lineDrained()
{
    drainTimer.stop();
    if (held) {
        held = false;
        emit heldChanged(false);
    }
    other = CommandQueue::Entry();
    otherEnd = -1;
    stopsInLine.clear();
    pump();
}

void SerialLink::onBytesWritten()
{
    // Inside our own write the caller looks at the port itself.
    if (working)
        return;
    settle();
    if (port.bytesToWrite() == 0)
        lineDrained();
}

void SerialLink::onDrainWaitOver()
{
    if (!lineHolds()) {
        lineDrained();
        return;
    }
    if (!held) {
        held = true;
        emit heldChanged(true);
    }
    if (otherEnd > bufferStart()) {
        // Never late: the packet goes, and so do the stops behind it, which
        // are written again at once.
        const CommandQueue::Entry stuck = other;
        discardUnsent(nullptr);
        qCWarning(lcSerial).noquote() << "serial line blocked:" << stuck.request << "discarded";
        emit packetFailed(tagOf(stuck), SendFailure::serialBlocked());
        pump();
        return;
    }
    // Only stops wait in the buffer: they leave when the line drains.
    const QString request = stopsInLine.isEmpty() ? QString() : stopsInLine.constLast().tag.words;
    qCWarning(lcSerial).noquote() << "serial line blocked, stops wait:" << request;
    emit trouble(SendFailure::waitingText(request, SendFailure::serialBlocked()));
}

void SerialLink::dropExpired()
{
    const QList<CommandQueue::Entry> expired = queue.takeExpired(clock.elapsed());
    const QString reason = SendFailure::reason({SendFailure::Kind::CameraBusy, QString()});
    for (const CommandQueue::Entry &entry : expired) {
        qCDebug(lcSerial) << "waited too long, dropped:" << entry.packet.toHex();
        emit packetFailed(tagOf(entry), reason);
    }
}

void SerialLink::armExpiry()
{
    const int wait = queue.msUntilExpiry(clock.elapsed());
    if (wait < 0)
        expiryTimer.stop();
    else
        expiryTimer.start(wait);
}

void SerialLink::readAnswers()
{
    const quint32 g = generation;
    const QByteArray bytes = port.read(readChunkBytes);
    QList<QByteArray> read;
    const int dropped
        = splitter.feed(bytes, [&read](const QByteArray &packet) { read.append(packet); });
    packets += read.size();
    if (!read.isEmpty())
        unreadableTally.readable();
    for (const QByteArray &packet : qAsConst(read)) {
        // A camera told of an answer may close the port.
        if (g != generation)
            return;
        judge(packet);
    }
    if (dropped == 0 || g != generation)
        return;
    const UnreadableTally::Say say = unreadableTally.dropped(dropped);
    if (say.log > 0)
        qCWarning(lcSerial).noquote() << "unreadable bytes from the camera dropped:" << say.log
                                      << "(since the port opened:" << splitter.dropped() << ")";
    if (say.report)
        emit trouble(SendFailure::reason({SendFailure::Kind::CameraUnreadable, QString()}));
}

void SerialLink::judge(const QByteArray &packet)
{
    QList<SerialAnswers::Change> changes;
    const SerialAnswers::Heard heard = answers.heard(packet, &changes);
    qCDebug(lcSerial) << "read:" << packet.toHex(' ') << "judged" << int(heard.kind);
    const quint32 g = generation;
    for (const SerialAnswers::Change &change : qAsConst(changes)) {
        if (g != generation)
            return;
        emit hearingChanged(change.address, change.hearing);
    }
    if (g != generation)
        return;
    switch (heard.kind) {
    case SerialAnswers::Heard::Answered:
        emit packetAnswered(heard.tag);
        break;
    case SerialAnswers::Heard::Refused:
        qCInfo(lcSerial).noquote() << "camera" << heard.address << "refused" << heard.tag.words
                                   << heard.reason;
        emit packetFailed(heard.tag, heard.reason);
        break;
    case SerialAnswers::Heard::Inquiry:
        emit packetAnswered(heard.tag);
        if (g == generation)
            emit answerRead(heard);
        break;
    case SerialAnswers::Heard::PowerUp:
    case SerialAnswers::Heard::Numbered:
    case SerialAnswers::Heard::Cleared:
        emit answerRead(heard);
        break;
    case SerialAnswers::Heard::Nothing:
        break;
    }
}

void SerialLink::onAnswerDue()
{
    const quint32 g = generation;
    const QList<SerialAnswers::Change> changes = answers.expire(clock.elapsed());
    armAnswerWait();
    for (const SerialAnswers::Change &change : changes) {
        if (g != generation)
            return;
        if (change.hearing == SerialAnswers::Hearing::SendingOnly)
            qCInfo(lcSerial).noquote() << "address" << change.address << "on" << port.portName()
                                       << SerialAnswers::sendingOnlyWords();
        else
            qCWarning(lcSerial).noquote() << "address" << change.address << "on"
                                          << port.portName() << "stopped answering";
        emit hearingChanged(change.address, change.hearing);
    }
}

void SerialLink::armAnswerWait()
{
    const qint64 due = answers.nextDue();
    if (due < 0) {
        answerTimer.stop();
        return;
    }
    answerTimer.start(
        int(qBound(qint64(0), due - clock.elapsed(), qint64(SerialAnswers::kAnswerWaitMs))));
}

QString SerialLink::writeFailed() const
{
    return SendFailure::serialWriteFailed(port.errorString());
}

// Puts camera packets on a serial port and reads what comes back, without
// ever waiting for the line on the caller's thread.
//
// Writing. A packet other than a stop goes to the port only when the port's
// buffer has taken everything before it; until then it waits in a
// CommandQueue (one drive per axis, a few other commands, none older than
// the drain wait: "camera busy"). Such a packet that has not left the port's
// buffer within the drain wait is discarded ("serial line blocked"), never
// sent late. A stop is never refused and never waits: it goes behind what
// the buffer holds, except after a drive of its own axis that has not left,
// whose bytes it discards first (QSerialPort::clear, which empties the
// driver's queue too). Discarding may cut a packet in half, so the next
// bytes begin with a lone FF that makes the camera drop the fragment, and
// the stops of the axes meant to be at rest go again (the driver's queue may
// have held them; a stop twice is harmless, a lost one is not).
//
// Reading. Everything the cameras send is read as it comes, in portions no
// larger than the port's read buffer, and cut into packets; each answer is
// matched to the packet it answers by its sender (serialanswers.h): an
// acknowledge or completion is told as packetAnswered, a refusal as
// packetFailed, and whether each address answers at all as hearingChanged.
// Reading never changes what is written: a line that answers nothing is
// driven exactly as one that does. Bytes that are no packet are counted and
// logged; a camera that keeps sending them is reported.
#pragma once

#include "commandqueue.h"
#include "packetsplitter.h"
#include "serialanswers.h"
#include "packettag.h"
#include "unreadabletally.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>

class QSerialPort;

class SerialLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultDrainWaitMs = 1000;
    // The port's read buffer, and what one read takes at most.
    static constexpr int readChunkBytes = 4096;

    enum class Outcome {
        Accepted, // written, or waiting its turn
        Busy,     // no room to wait (never a stop)
        Failed,   // the port refused the bytes
    };

    explicit SerialLink(QSerialPort &port, int drainWaitMs = defaultDrainWaitMs,
                        QObject *parent = nullptr);

    // tag: the sender and its request, handed back with a later failure.
    Outcome send(const QByteArray &packet, const PacketTag &tag);
    // The port was opened or closed: nothing waits, nothing is known about
    // the line.
    void reset();
    // Forgets what one sender has waiting (it left the line); what is in
    // the port's buffer goes as it is.
    void dropWaiting(const QObject *origin) { queue.removeFrom(origin); }

    const CommandQueue &waitingQueue() const { return queue; }
    qint64 unreadableBytes() const { return splitter.dropped(); }
    qint64 packetsRead() const { return packets; }
    SerialAnswers::Hearing hearing(int address) const { return answers.hearing(address); }

signals:
    // A packet accepted earlier did not leave: it waited too long, or the
    // line did not take it within the drain wait.
    void packetFailed(const PacketTag &tag, const QString &reason);
    // The camera acknowledged or completed a packet.
    void packetAnswered(const PacketTag &tag);
    // An answer other than a packet's fate (inquiry data, a power-up, the
    // chain numbered).
    void answerRead(const SerialAnswers::Heard &heard);
    void hearingChanged(int address, SerialAnswers::Hearing hearing);
    // "Waiting: zoom,0 – serial line blocked", "camera sends unreadable data".
    void trouble(const QString &text);
    // The line has not drained within the drain wait (true), or has drained
    // since (false).
    void heldChanged(bool held);

private:
    // What an axis was last told: nothing, a drive, or its stop.
    struct Resting
    {
        QByteArray stop; // empty unless the axis is meant to be at rest
        PacketTag tag;
    };
    struct StopInLine
    {
        qint64 end;
        Motion::Kind motion;
        PacketTag tag;
    };

    bool lineHolds();
    qint64 bufferStart() const;
    void settle();
    void pump();
    bool write(const CommandQueue::Entry &entry);
    void writeStop(const CommandQueue::Entry &stop);
    void discardUnsent(const CommandQueue::Entry *stop);
    void lineDrained();
    void onBytesWritten();
    void onDrainWaitOver();
    void dropExpired();
    void armExpiry();
    void readAnswers();
    void judge(const QByteArray &packet);
    void onAnswerDue();
    void armAnswerWait();
    QString writeFailed() const;

    QSerialPort &port;
    CommandQueue queue;
    PacketSplitter splitter;
    QTimer drainTimer;
    QTimer expiryTimer;
    QTimer answerTimer; // runs only while an answer is awaited
    SerialAnswers answers;
    quint32 generation = 0; // counts resets: a loop over what was read stops
    QElapsedTimer clock;
    qint64 written = 0; // bytes handed to the port since it opened
    // The one packet other than a stop that may still be in the port's
    // buffer, and where it ends.
    CommandQueue::Entry other;
    qint64 otherEnd = -1;
    // Stops still in the port's buffer (all behind `other`).
    QList<StopInLine> stopsInLine;
    std::array<Resting, Motion::axisKeys> resting;
    bool guardFragment = false; // the next bytes begin with FF
    bool held = false;          // the drain wait passed with bytes left
    bool working = false;       // inside a port call that may signal back
    bool pumping = false;
    qint64 packets = 0;
    UnreadableTally unreadableTally;
};

// Where a camera's packets go: one small interface, one implementation per
// route kind (a serial line, an encoder's serial pass-through, a network
// camera). A serial line and an encoder serve every camera behind them; each
// camera hands its packets over with its tag and listens for its own. No
// implementation waits: what a link learns later it signals.
#pragma once

#include "packettag.h"
#include "serialanswers.h"

#include <QByteArray>
#include <QObject>
#include <QString>

class PacketLink : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    struct Packet
    {
        QByteArray bytes;
        QString text; // the command text the status line shows
        PacketTag tag;
    };

    // What became of a packet handed over.
    struct Handover
    {
        // Bytes written, 1 for a packet handed over (it may wait for the
        // link), 0 for none, -1 for bytes the line refused.
        int result = 0;
        // Why it did not leave, in the operator's words; empty when it left
        // or nothing was tried.
        QString failure;
        // Its outcome follows as packetAnswered or packetFailed (the encoder
        // judges every pass-through by its answer).
        bool answerFollows = false;
    };

    virtual Handover send(const Packet &packet) = 0;
    // Carries packets now.
    virtual bool isUp() const = 0;
    // False where no device but the camera at the far end can be reached
    // (a network camera has no lamp).
    virtual bool reachesOtherDevices() const { return true; }
    // Still carrying an earlier packet: the next one waits.
    virtual bool busy() const { return false; }
    // Forgets what the sender handed over and has not left yet.
    virtual void dropWaiting(const QObject *origin) = 0;

signals:
    // A packet handed over earlier did not leave, or the far end refused it.
    void packetFailed(const PacketTag &tag, const QString &reason);
    // The far end took a packet handed over earlier.
    void packetAnswered(const PacketTag &tag);
    // Something about the line every camera on it must show ("camera sends
    // unreadable data", "Waiting: zoom,0 – serial line blocked").
    void trouble(const QString &text);
    // The far end stopped answering (true) or answers again (false).
    void silenceChanged(bool silent);
    // busy() has turned false.
    void free();
    // Whether the device at `address` answers changed (a serial line: it
    // answers, it never did, it stopped).
    void hearingChanged(int address, SerialAnswers::Hearing hearing);
    // The data of an inquiry's answer (between y0 50 and FF), for the
    // sender's packet `tag`.
    void inquiryAnswered(const PacketTag &tag, const QByteArray &data);
};

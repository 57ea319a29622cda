// What the cameras of one serial line say back, judged without a port: each
// packet written is remembered by the address it went to, and each answer
// read is matched by its sender (90 is address 1, A0 address 2, ...) to the
// oldest packet of that address still waiting for its first answer. An
// acknowledge keeps its socket so that the completion that follows is not
// taken for the next packet's answer.
//
// Whether an address answers at all is learnt from the line: a packet that
// got no answer within kAnswerWaitMs from an address that never answered
// marks it "sending only" (many lines carry the transmit pair only, and that
// is normal); an address that answered before and then leaves
// kMissesToSilence packets in a row unanswered is "silent". Any answer makes
// it answering again. Nothing here sends, retries or holds anything back.
#pragma once

#include "packettag.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

class SerialAnswers
{
public:
    static constexpr int kAnswerWaitMs = 1000;
    static constexpr int kMissesToSilence = 3;
    // Packets per address remembered at most while they wait.
    static constexpr int kWaitingKept = 16;
    static constexpr int kAddresses = 7;

    enum class Hearing {
        Unknown,     // nothing sent yet, or nothing judged yet
        Answers,     // the address answered its last packets
        SendingOnly, // never answered: the line carries commands only
        Silent,      // answered before, then kMissesToSilence packets went unanswered
    };

    // What one packet read means.
    struct Heard
    {
        enum Kind {
            Nothing,   // no answer (or no packet of ours)
            Answered,  // tag's packet was acknowledged or completed
            Refused,   // tag's packet was refused: reason says why
            Inquiry,   // data of an inquiry answer (in packet); tag its packet's
            PowerUp,   // y0 38 FF: the camera at address came up
            Numbered,  // 88 30 0n FF: count cameras numbered on the chain
            Cleared,   // 88 01 00 01 FF: the interface clear came round
        };
        Kind kind = Nothing;
        int address = 0; // the sender, 1 ... 7; 0 for a broadcast
        PacketTag tag;
        QString reason;
        QByteArray data; // an inquiry answer's bytes between y0 50 and FF
        int count = 0;   // Numbered
    };
    struct Change
    {
        int address;
        Hearing hearing;
    };

    // A packet went to the line at `now` (ms on any steady clock).
    void sent(const QByteArray &packet, const PacketTag &tag, qint64 now);
    // A packet read; `changes` gets the addresses whose hearing changed.
    Heard heard(const QByteArray &packet, QList<Change> *changes);
    // Packets whose answer is overdue at `now` are given up; returns the
    // addresses whose hearing changed.
    QList<Change> expire(qint64 now);
    // When the next packet's answer is due (-1: nothing waits).
    qint64 nextDue() const;
    Hearing hearing(int address) const;
    void reset();

    // The words the operator sees for a line that never answered.
    static QString sendingOnlyWords(); // "sending only (no answers on this line)"
    // The sender address of an answer (y0 → y − 8), 0 for none.
    static int senderOf(const QByteArray &packet);

private:
    struct Waiting
    {
        PacketTag tag;
        qint64 due = 0;
    };
    struct Address
    {
        QList<Waiting> waiting;
        // Acknowledged packets by socket (1, 2), awaiting their completion.
        std::array<PacketTag, 16> executing;
        std::array<bool, 16> running{};
        bool answeredEver = false;
        int misses = 0;
        Hearing hearing = Hearing::Unknown;
    };

    void noteAnswer(Address &from, int address, QList<Change> *changes);
    void setHearing(Address &at, int address, Hearing hearing, QList<Change> *changes);

    std::array<Address, kAddresses + 1> addresses; // [0] unused
};

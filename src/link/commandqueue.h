// The camera commands waiting for their route, kept by the rules that stop a
// slow or silent camera from being sent stale motion:
//   - at most one waiting drive per axis: a newer speed replaces the waiting
//     one and takes its place at the back, behind what was asked before it;
//   - a stop goes ahead of everything but earlier stops, and takes the
//     waiting drives of its axis with it; a stop of an axis whose stop
//     already waits adds nothing (the waiting one is the last word);
//   - other commands keep their order, at most otherLimit of them;
//   - a command other than a stop that waited longer than maxWaitMs is
//     handed back as expired, never sent late. Stops never expire, are never
//     merged into anything and never refused.
// Plain code, time given by the caller in milliseconds of any steady clock.
#pragma once

#include "motion.h"

#include <QByteArray>
#include <QList>
#include <QString>

class QObject;

class CommandQueue
{
public:
    static constexpr int defaultOtherLimit = 8;

    struct Entry
    {
        QByteArray packet;
        QString text;                    // the command text as the window gave it
        QString request;                 // the operator's command, "zoom,3"
        const QObject *origin = nullptr; // the camera that handed it over
        quint64 requestId = 0;           // that camera's number of the request
        qint64 queuedAt = 0;
        int refusals = 0;    // times the camera refused it for want of room
        Motion::Kind motion; // set by push()
    };

    enum class Outcome {
        Queued,  // waits at its place
        Merged,  // replaced a waiting drive of its axis
        Covered, // a stop of its axis waits already
        Full,    // refused: otherLimit other commands wait (never a stop)
    };

    explicit CommandQueue(int maxWaitMs, int otherLimit = defaultOtherLimit);

    Outcome push(Entry entry);
    // A packet the camera refused for want of room, to go again: a stop
    // goes first of all; anything else goes after the waiting stops unless
    // a stop or a newer drive of its axis waits, which makes it void.
    void retry(Entry entry);
    // The commands other than stops that waited longer than maxWaitMs at
    // `nowMs`, taken out in their order.
    QList<Entry> takeExpired(qint64 nowMs);
    // When the next command will have waited too long; -1 when none can.
    qint64 nextExpiry() const;
    // How long from `nowMs` until then (0 when it is due); -1 when never.
    int msUntilExpiry(qint64 nowMs) const;

    bool isEmpty() const { return entries.isEmpty(); }
    int size() const { return int(entries.size()); }
    const Entry &head() const { return entries.constFirst(); }
    Entry takeHead() { return entries.takeFirst(); }
    const QList<Entry> &waiting() const { return entries; }
    void clear() { entries.clear(); }
    // Takes out what one sender handed over (it left the line).
    void removeFrom(const QObject *origin);
    int maxWait() const { return maxWaitMs; }

private:
    int stopsAtHead() const;
    void removeDrives(const Motion::Kind &of);
    bool stopWaits(const Motion::Kind &of) const;

    int maxWaitMs;
    int otherLimit;
    QList<Entry> entries;
};

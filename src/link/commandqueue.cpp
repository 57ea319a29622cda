#include "commandqueue.h"

CommandQueue::CommandQueue(int maxWaitMs, int otherLimit)
    : maxWaitMs(maxWaitMs)
    , otherLimit(otherLimit)
{
}

int CommandQueue::stopsAtHead() const
{
    int count = 0;
    while (count < entries.size() && entries.at(count).motion.isStop())
        ++count;
    return count;
}

void CommandQueue::removeDrives(const Motion::Kind &of)
{
    for (int i = entries.size() - 1; i >= 0; --i) {
        const Motion::Kind &waiting = entries.at(i).motion;
        if (waiting.isDrive() && waiting.sameAxis(of))
            entries.removeAt(i);
    }
}

bool CommandQueue::stopWaits(const Motion::Kind &of) const
{
    for (const Entry &entry : entries) {
        if (entry.motion.isStop() && entry.motion.sameAxis(of))
            return true;
    }
    return false;
}

CommandQueue::Outcome CommandQueue::push(Entry entry)
{
    entry.motion = Motion::of(entry.packet);
    const Motion::Kind &motion = entry.motion;
    if (motion.isStop()) {
        removeDrives(motion);
        if (stopWaits(motion))
            return Outcome::Covered;
        entries.insert(stopsAtHead(), entry);
        return Outcome::Queued;
    }
    if (motion.isDrive()) {
        const int before = size();
        removeDrives(motion);
        entries.append(entry);
        return size() > before ? Outcome::Queued : Outcome::Merged;
    }
    int others = 0;
    for (const Entry &waiting : qAsConst(entries)) {
        if (waiting.motion.role == Motion::Role::Other)
            ++others;
    }
    if (others >= otherLimit)
        return Outcome::Full;
    entries.append(entry);
    return Outcome::Queued;
}

void CommandQueue::retry(Entry entry)
{
    entry.motion = Motion::of(entry.packet);
    const Motion::Kind &motion = entry.motion;
    if (motion.isStop()) {
        if (!stopWaits(motion))
            entries.prepend(entry);
        return;
    }
    if (motion.isDrive()) {
        for (const Entry &waiting : qAsConst(entries)) {
            if (waiting.motion.sameAxis(motion))
                return; // its stop, or a newer speed, waits
        }
    }
    entries.insert(stopsAtHead(), entry);
}

QList<CommandQueue::Entry> CommandQueue::takeExpired(qint64 nowMs)
{
    QList<Entry> expired;
    for (int i = 0; i < entries.size();) {
        const Entry &entry = entries.at(i);
        if (!entry.motion.isStop() && nowMs - entry.queuedAt > maxWaitMs)
            expired.append(entries.takeAt(i));
        else
            ++i;
    }
    return expired;
}

int CommandQueue::msUntilExpiry(qint64 nowMs) const
{
    const qint64 next = nextExpiry();
    return next < 0 ? -1 : int(qBound(qint64(0), next - nowMs, qint64(maxWaitMs) + 1));
}

qint64 CommandQueue::nextExpiry() const
{
    qint64 next = -1;
    for (const Entry &entry : entries) {
        if (entry.motion.isStop())
            continue;
        const qint64 at = entry.queuedAt + maxWaitMs + 1;
        if (next < 0 || at < next)
            next = at;
    }
    return next;
}

void CommandQueue::removeFrom(const QObject *origin)
{
    for (int i = entries.size() - 1; i >= 0; --i) {
        if (entries.at(i).origin == origin)
            entries.removeAt(i);
    }
}

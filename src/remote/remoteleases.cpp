#include "remoteleases.h"

#include <limits>

RemoteLeases::RemoteLeases(QObject *parent)
    : QObject(parent)
{
    clock.start();
    timer.setSingleShot(true);
    // A lease may run out a little late, never early.
    timer.setTimerType(Qt::PreciseTimer);
    connect(&timer, &QTimer::timeout, this, &RemoteLeases::expire);
}

int RemoteLeases::indexOf(int camera, RemoteAxis axis) const
{
    for (int i = 0; i < moves.size(); ++i) {
        if (moves.at(i).camera == camera && moves.at(i).axis == axis)
            return i;
    }
    return -1;
}

const RemoteLeases::Move *RemoteLeases::find(int camera, RemoteAxis axis) const
{
    const int index = indexOf(camera, axis);
    return index < 0 ? nullptr : &moves.at(index);
}

const RemoteLeases::Move *RemoteLeases::findOfClient(const QString &client, RemoteAxis axis) const
{
    for (const Move &move : moves) {
        if (move.client == client && move.axis == axis)
            return &move;
    }
    return nullptr;
}

void RemoteLeases::hold(const Move &move, int leaseMs)
{
    Move held = move;
    held.deadline = leaseMs > 0 ? now() + leaseMs : -1;
    const int index = indexOf(move.camera, move.axis);
    if (index < 0)
        moves.append(held);
    else
        moves[index] = held;
    rearm();
}

void RemoteLeases::renew(int camera, RemoteAxis axis, int leaseMs)
{
    const int index = indexOf(camera, axis);
    if (index < 0)
        return;
    moves[index].deadline = leaseMs > 0 ? now() + leaseMs : -1;
    rearm();
}

bool RemoteLeases::take(int camera, RemoteAxis axis, Move *taken)
{
    const int index = indexOf(camera, axis);
    if (index < 0)
        return false;
    if (taken)
        *taken = moves.at(index);
    moves.remove(index);
    rearm();
    return true;
}

QVector<RemoteLeases::Move> RemoteLeases::takeWhere(const std::function<bool(const Move &)> &which)
{
    QVector<Move> taken;
    QVector<Move> kept;
    for (const Move &move : qAsConst(moves))
        (which(move) ? taken : kept).append(move);
    moves = kept;
    rearm();
    return taken;
}

QVector<RemoteLeases::Move> RemoteLeases::takeClient(const QString &client)
{
    return takeWhere([&client](const Move &move) { return move.client == client; });
}

QVector<RemoteLeases::Move> RemoteLeases::takeCamera(int camera)
{
    return takeWhere([camera](const Move &move) { return move.camera == camera; });
}

QVector<RemoteLeases::Move> RemoteLeases::takeAll()
{
    return takeWhere([](const Move &) { return true; });
}

void RemoteLeases::rearm()
{
    qint64 earliest = std::numeric_limits<qint64>::max();
    for (const Move &move : qAsConst(moves)) {
        if (move.deadline >= 0)
            earliest = qMin(earliest, move.deadline);
    }
    if (earliest == std::numeric_limits<qint64>::max()) {
        timer.stop();
        return;
    }
    // A renewed lease only moves its end later: the timer set for the
    // earlier end finds nothing ended then and is set again, so a move
    // repeated many times a second does not restart it each time.
    if (timer.isActive() && armedFor <= earliest)
        return;
    armedFor = earliest;
    timer.start(int(qBound(qint64(0), earliest - now(), qint64(std::numeric_limits<int>::max()))));
}

void RemoteLeases::expire()
{
    const qint64 at = now();
    const QVector<Move> ended
        = takeWhere([at](const Move &move) { return move.deadline >= 0 && move.deadline <= at; });
    // A slot may hold or take moves while it runs: each ended move is
    // already out of the list.
    for (const Move &move : ended)
        emit expired(move);
}

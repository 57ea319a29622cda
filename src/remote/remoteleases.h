// The remote moves running now: at most one per axis of each camera, each
// with the client that owns it, what it drives, and when its lease runs out.
// One timer is set for the earliest lease while any runs and none while
// nothing moves, so an idle program is never woken.
#pragma once

#include "remotetarget.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <functional>

class RemoteLeases : public QObject
{
    Q_OBJECT
public:
    struct Move
    {
        int camera = 0;
        RemoteAxis axis = RemoteAxis::Zoom;
        QString client;
        // The rate (pan alone for zoom and focus), or pan and tilt.
        double pan = 0;
        double tilt = 0;
        // When the lease runs out, on clock(); -1: never (the client's
        // connection ending stops it).
        qint64 deadline = -1;
    };

    explicit RemoteLeases(QObject *parent = nullptr);

    const Move *find(int camera, RemoteAxis axis) const;
    // The move of `axis` that `client` runs, on whichever camera.
    const Move *findOfClient(const QString &client, RemoteAxis axis) const;

    // Records the move (replacing the axis's earlier one) with a lease of
    // leaseMs from now, or none for 0.
    void hold(const Move &move, int leaseMs);
    // Restarts the lease of the move of this axis.
    void renew(int camera, RemoteAxis axis, int leaseMs);

    // Forget moves and hand them back, so their stops can be sent.
    bool take(int camera, RemoteAxis axis, Move *taken = nullptr);
    QVector<Move> takeClient(const QString &client);
    QVector<Move> takeCamera(int camera);
    QVector<Move> takeAll();

    int count() const { return int(moves.size()); }
    bool timerRunning() const { return timer.isActive(); }

signals:
    // The lease ran out; the move is already forgotten.
    void expired(const RemoteLeases::Move &move);

private:
    qint64 now() const { return clock.elapsed(); }
    int indexOf(int camera, RemoteAxis axis) const;
    QVector<Move> takeWhere(const std::function<bool(const Move &)> &which);
    void rearm();
    void expire();

    QVector<Move> moves;
    QElapsedTimer clock;
    QTimer timer;
    qint64 armedFor = 0; // the end the timer is set for, while it runs
};

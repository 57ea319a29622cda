// Runs remote commands on the target and keeps the remote moves: a move is
// held by the client that started it until its release (rate 0, pan-tilt
// 0 0), the end of the client's connection, its lease running out, a stop,
// or the camera ending it (RemoteTarget::remoteMoveEnded). A client that
// repeats its move renews the lease without a second call to the target.
// The last client to move an axis owns it; a release from any client ends
// the move. Everything a remote client started is stopped when this object
// goes.
#pragma once

#include "remotecommand.h"
#include "remoteleases.h"
#include "remotetarget.h"

#include <QObject>
#include <QPointer>
#include <QString>

class RemoteDispatcher : public QObject
{
    Q_OBJECT
public:
    explicit RemoteDispatcher(RemoteTarget *target, QObject *parent = nullptr);
    ~RemoteDispatcher() override;

    // Runs `command` from `client`, a move held with a lease of leaseMs (0:
    // none; the connection's end stops it). Returns an empty string when
    // the command was taken, else why not.
    QString run(const RemoteCommand &command, const QString &client, int leaseMs);
    // The client's connection ended: the moves it holds stop.
    void endClient(const QString &client);
    // Every remote move stops.
    void endAll(const QString &why);

    const RemoteLeases &leases() const { return moves; }

private:
    QString move(const RemoteCommand &command, int camera, const QString &client, int leaseMs);
    QString drive(int camera, RemoteAxis axis, double pan, double tilt, const QString &client);
    QString stopCamera(int camera, const QString &client);
    void stopHeld(const QVector<RemoteLeases::Move> &held, const QString &why);

    QPointer<RemoteTarget> target;
    RemoteLeases moves;
};

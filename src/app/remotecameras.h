// What remote clients drive: the cameras of the list, numbered as the strip
// numbers them (1 ...). Remote control (src/remote) calls this for every
// command it takes; here each becomes an operation of the camera, and
// state() is what WebSocket clients are shown.
//
// The operator's own controls win:
// - a move of an axis by the window's keys, pointer or pad, or by a
//   gamepad, ends the remote move of that axis on that camera (remote
//   control is told with remoteMoveEnded(), so no later release or lease
//   sends a stop over the operator's move);
// - a remote move, or a preset recall, of an axis the operator is moving is
//   refused, as is a release of it: remote clients stop only their own
//   moves. /tarndeck/stop (stopAll()) is the one exception: it stops every
//   move of every camera, the window's own controls let go first.
// - A camera set up with the live lockout refuses remote moves and preset
//   recalls while it is on program; going on program ends the remote moves
//   it runs.
//
// Pan-tilt fractions become VISCA speed steps of the camera's top speed
// (24 for pan, 20 for tilt), at least one step for any fraction but 0.
#pragma once

#include "camera.h"
#include "remotetarget.h"

#include <QHash>
#include <QJsonObject>
#include <QPointer>
#include <QSet>
#include <QString>

class CameraList;

class RemoteCameras : public RemoteTarget
{
    Q_OBJECT

public:
    explicit RemoteCameras(CameraList &cameras, QObject *parent = nullptr);

    int cameraCount() const override;
    int selectedCamera() const override;
    QString zoom(int camera, int rate, const QString &client) override;
    QString focus(int camera, int rate, const QString &client) override;
    QString setFocusAuto(int camera, bool on, const QString &client) override;
    QString panTilt(int camera, double pan, double tilt, const QString &client) override;
    QString recallPreset(int camera, int preset, const QString &client) override;
    QString storePreset(int camera, int preset, const QString &client) override;
    QString setTally(int camera, RemoteTally tally, const QString &client) override;
    QString select(int camera, const QString &client) override;
    void stopAll(const QString &client) override;
    QJsonObject state() const override;

    // Whether a remote client moves this axis of the camera now.
    bool movesRemotely(const Camera *camera, Camera::Axis axis) const;
    // A fraction of the top speed as speed steps: 0 only for 0.
    static int speedSteps(double fraction, int top);

signals:
    // stopAll() is about to stop every camera: the window's own controls
    // let go first, so they show the rest they send.
    void stoppingAll();

private:
    struct Moves
    {
        QPointer<Camera> camera;
        int number = 0;  // the camera's number when its remote moves began
        int remote = 0;  // bits of the axes remote clients move
        int local = 0;   // bits of the axes the operator's controls move
    };

    Camera *cameraAt(int number) const;
    // Why a remote move (or recall) of `axes` cannot start on it, or empty.
    QString refusal(Camera *camera, int axes, const QString &doing) const;
    // Why preset `preset` cannot be recalled (or stored) now, or empty.
    QString presetRefusal(Camera *camera, int preset, bool recall) const;
    QString presetCommand(int number, int preset, bool recall, const QString &client);
    // A remote move of one axis: rate (or pan, tilt) 0 releases it.
    QString move(int number, Camera::Axis axis, int first, int second, const QString &client);
    bool movesLocally(const Camera *camera, Camera::Axis axis) const;
    void watch(Camera *camera);
    void onMoveAsked(Camera *camera, Camera::Axis axis, bool moving);
    void onListChanged();
    // Forgets the remote moves `axes` of the camera and tells remote
    // control; with `stop`, their stops are sent first.
    void endRemote(Camera *camera, int axes, bool stop, const QString &why);

    CameraList &list;
    QHash<const Camera *, Moves> moves;
    QSet<const Camera *> watched;
    // True while a remote command runs on a camera: what the camera then
    // asks of its axes is not the operator's.
    bool remoteCalling = false;
};

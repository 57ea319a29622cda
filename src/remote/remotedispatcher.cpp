#include "remotedispatcher.h"

#include "remotelog.h"

namespace {

using Op = RemoteCommand::Op;

const char *axisName(RemoteAxis axis)
{
    switch (axis) {
    case RemoteAxis::Zoom:
        return "zoom";
    case RemoteAxis::Focus:
        return "focus";
    case RemoteAxis::PanTilt:
        return "pan-tilt";
    }
    return "";
}

// Ops that act on one camera.
bool onCamera(Op op)
{
    return op != Op::Select && op != Op::SelectNext && op != Op::SelectPrevious
        && op != Op::StopAll;
}

} // namespace

RemoteDispatcher::RemoteDispatcher(RemoteTarget *target, QObject *parent)
    : QObject(parent)
    , target(target)
{
    connect(&moves, &RemoteLeases::expired, this, [this](const RemoteLeases::Move &move) {
        stopHeld({move}, QStringLiteral("its lease ran out"));
    });
    if (target) {
        connect(target, &RemoteTarget::remoteMoveEnded, this, [this](int camera, RemoteAxis axis) {
            if (moves.take(camera, axis))
                qCDebug(lcRemote) << "camera" << camera << "ended the remote" << axisName(axis)
                                  << "move";
        });
    }
}

RemoteDispatcher::~RemoteDispatcher()
{
    endAll(QStringLiteral("remote control stops"));
}

QString RemoteDispatcher::run(const RemoteCommand &command, const QString &client, int leaseMs)
{
    if (!target)
        return QStringLiteral("there are no cameras to control");
    const int count = target->cameraCount();
    int camera = command.camera;
    if (onCamera(command.op)) {
        // A release under /selected/ ends the client's own move, wherever
        // the selection went since it started.
        if (camera == 0 && command.isMove() && command.isRelease()) {
            if (const RemoteLeases::Move *held = moves.findOfClient(client, command.axis()))
                camera = held->camera;
        }
        if (camera == 0)
            camera = target->selectedCamera();
        if (camera < 1)
            return QStringLiteral("no camera is selected");
        if (camera > count)
            return QStringLiteral("there is no camera %1 (there are %2)").arg(camera).arg(count);
    }

    switch (command.op) {
    case Op::Zoom:
    case Op::Focus:
    case Op::PanTilt:
        return move(command, camera, client, leaseMs);
    case Op::FocusAuto:
        return target->setFocusAuto(camera, command.on, client);
    case Op::RecallPreset:
        stopHeld(moves.takeCamera(camera), QStringLiteral("a preset is recalled"));
        return target->recallPreset(camera, command.value, client);
    case Op::StorePreset:
        return target->storePreset(camera, command.value, client);
    case Op::Tally:
        return target->setTally(camera, command.tally, client);
    case Op::StopCamera:
        return stopCamera(camera, client);
    case Op::Select:
        if (command.value > count)
            return QStringLiteral("there is no camera %1 (there are %2)")
                .arg(command.value)
                .arg(count);
        return target->select(command.value, client);
    case Op::SelectNext:
    case Op::SelectPrevious: {
        if (count < 1)
            return QStringLiteral("there are no cameras to select");
        const int selected = qBound(0, target->selectedCamera(), count);
        const int next = command.op == Op::SelectNext ? selected % count + 1
                                                      : (selected <= 1 ? count : selected - 1);
        return target->select(next, client);
    }
    case Op::StopAll:
        moves.takeAll();
        target->stopAll(client);
        return QString();
    }
    return QString();
}

QString RemoteDispatcher::move(const RemoteCommand &command, int camera, const QString &client,
                               int leaseMs)
{
    const RemoteAxis axis = command.axis();
    const double pan = command.op == Op::PanTilt ? command.pan : double(command.value);
    const double tilt = command.op == Op::PanTilt ? command.tilt : 0.0;
    if (command.isRelease()) {
        // Only a remote move is ended: a release finds nothing after its
        // lease ran out, a stop or the camera ended it.
        if (!moves.take(camera, axis))
            return QString();
        return drive(camera, axis, 0, 0, client);
    }
    const RemoteLeases::Move *held = moves.find(camera, axis);
    if (held && held->client == client && held->pan == pan && held->tilt == tilt) {
        moves.renew(camera, axis, leaseMs);
        return QString();
    }
    const QString refused = drive(camera, axis, pan, tilt, client);
    if (refused.isEmpty()) {
        RemoteLeases::Move started;
        started.camera = camera;
        started.axis = axis;
        started.client = client;
        started.pan = pan;
        started.tilt = tilt;
        moves.hold(started, leaseMs);
    }
    return refused;
}

QString RemoteDispatcher::drive(int camera, RemoteAxis axis, double pan, double tilt,
                                const QString &client)
{
    if (!target)
        return QStringLiteral("there are no cameras to control");
    switch (axis) {
    case RemoteAxis::Zoom:
        return target->zoom(camera, int(pan), client);
    case RemoteAxis::Focus:
        return target->focus(camera, int(pan), client);
    case RemoteAxis::PanTilt:
        return target->panTilt(camera, pan, tilt, client);
    }
    return QString();
}

QString RemoteDispatcher::stopCamera(int camera, const QString &client)
{
    moves.takeCamera(camera);
    QStringList refused;
    for (const RemoteAxis axis : {RemoteAxis::Zoom, RemoteAxis::Focus, RemoteAxis::PanTilt}) {
        const QString why = drive(camera, axis, 0, 0, client);
        if (!why.isEmpty())
            refused.append(why);
    }
    return refused.join(QLatin1String("; "));
}

void RemoteDispatcher::stopHeld(const QVector<RemoteLeases::Move> &held, const QString &why)
{
    for (const RemoteLeases::Move &move : held) {
        qCInfo(lcRemote).noquote() << QStringLiteral("The %1 of camera %2 started by %3 stops: %4")
                                          .arg(QLatin1String(axisName(move.axis)))
                                          .arg(move.camera)
                                          .arg(move.client, why);
        const QString refused = drive(move.camera, move.axis, 0, 0, move.client);
        if (!refused.isEmpty())
            qCWarning(lcRemote).noquote() << "The stop was refused:" << refused;
    }
}

void RemoteDispatcher::endClient(const QString &client)
{
    stopHeld(moves.takeClient(client), client + QStringLiteral(" disconnected"));
}

void RemoteDispatcher::endAll(const QString &why)
{
    stopHeld(moves.takeAll(), why);
}

#include "remotecameras.h"

#include "cameralist.h"
#include "logcategories.h"
#include "viscavocabulary.h"

#include <QJsonArray>

#include <cmath>
#include <utility>

namespace {

int bit(Camera::Axis axis)
{
    return 1 << int(axis);
}

constexpr Camera::Axis allAxes[] = {Camera::Axis::Zoom, Camera::Axis::Focus,
                                    Camera::Axis::PanTilt};

RemoteAxis remoteAxis(Camera::Axis axis)
{
    switch (axis) {
    case Camera::Axis::Zoom:
        return RemoteAxis::Zoom;
    case Camera::Axis::Focus:
        return RemoteAxis::Focus;
    case Camera::Axis::PanTilt:
        break;
    }
    return RemoteAxis::PanTilt;
}

const char *axisWord(Camera::Axis axis)
{
    switch (axis) {
    case Camera::Axis::Zoom:
        return "zoom";
    case Camera::Axis::Focus:
        return "focus";
    case Camera::Axis::PanTilt:
        break;
    }
    return "pan-tilt";
}

// "camera 2 (Pulpit)", or "camera 2" without a name.
QString named(const Camera *camera)
{
    const QString name = camera->config().name;
    return name.isEmpty() ? QStringLiteral("camera %1").arg(camera->number())
                          : QStringLiteral("camera %1 (%2)").arg(camera->number()).arg(name);
}

// Runs remote work on a camera: what the camera asks of its axes meanwhile
// is the remote client's, not the operator's.
class RemoteCall
{
public:
    explicit RemoteCall(bool &flag)
        : flag(flag)
        , was(std::exchange(flag, true))
    {
    }
    ~RemoteCall() { flag = was; }
    RemoteCall(const RemoteCall &) = delete;
    RemoteCall &operator=(const RemoteCall &) = delete;

private:
    bool &flag;
    const bool was;
};

} // namespace

RemoteCameras::RemoteCameras(CameraList &cameras, QObject *parent)
    : RemoteTarget(parent)
    , list(cameras)
{
    for (Camera *camera : list.cameras())
        watch(camera);
    connect(&list, &CameraList::listChanged, this, &RemoteCameras::onListChanged);
    connect(&list, &CameraList::currentChanged, this, &RemoteTarget::stateChanged);
}

int RemoteCameras::speedSteps(double fraction, int top)
{
    if (fraction == 0 || !std::isfinite(fraction))
        return 0;
    const int steps = qBound(1, int(std::lround(std::fabs(fraction) * top)), top);
    return fraction < 0 ? -steps : steps;
}

int RemoteCameras::cameraCount() const
{
    return list.count();
}

int RemoteCameras::selectedCamera() const
{
    return list.count() > 0 ? list.currentIndex() + 1 : 0;
}

Camera *RemoteCameras::cameraAt(int number) const
{
    return list.at(number - 1);
}

bool RemoteCameras::movesRemotely(const Camera *camera, Camera::Axis axis) const
{
    return moves.value(camera).remote & bit(axis);
}

bool RemoteCameras::movesLocally(const Camera *camera, Camera::Axis axis) const
{
    if (!(moves.value(camera).local & bit(axis)))
        return false;
    // The camera's own state decides whether that move still runs.
    switch (axis) {
    case Camera::Axis::Zoom:
        return camera->state().zoomRate != 0;
    case Camera::Axis::Focus:
        return camera->state().focusRate != 0;
    case Camera::Axis::PanTilt:
        break;
    }
    return camera->panTiltMovesIn(PanTiltUnit::PadScale)
        || camera->panTiltMovesIn(PanTiltUnit::SpeedStep);
}

QString RemoteCameras::refusal(Camera *camera, int axes, const QString &doing) const
{
    if (!camera->carriesCommands())
        return named(camera) + QStringLiteral(" is not connected");
    if (camera->config().liveLockout && camera->tally() == Camera::Tally::Program)
        return named(camera) + QStringLiteral(" is on program and locked against remote moves");
    // The camera would refuse it too, but the client is told now, not "done".
    if (!camera->readback().drivable())
        return named(camera)
            + (camera->readback().power() == CameraReadback::Power::Standby
                   ? QStringLiteral(" is in standby: %1 refused").arg(doing)
                   : QStringLiteral(" is still coming out of standby: %1 refused").arg(doing));
    for (Camera::Axis axis : allAxes) {
        if ((axes & bit(axis)) && movesLocally(camera, axis))
            return QStringLiteral("the operator is moving the %1 of %2: %3 refused")
                .arg(QLatin1String(axisWord(axis)), named(camera), doing);
    }
    return QString();
}

QString RemoteCameras::move(int number, Camera::Axis axis, int first, int second,
                            const QString &client)
{
    Camera *camera = cameraAt(number);
    if (!camera)
        return QStringLiteral("there is no camera %1").arg(number);
    const bool release = first == 0 && second == 0;
    if (release) {
        // Only a remote move is ended here: the operator's stays theirs.
        if (!movesRemotely(camera, axis))
            return QString();
        moves[camera].remote &= ~bit(axis);
    } else {
        const QString why = refusal(camera, bit(axis), QStringLiteral("remote ") + axisWord(axis));
        if (!why.isEmpty())
            return why;
        Moves &held = moves[camera];
        if (!held.remote)
            held.number = number;
        held.camera = camera;
        held.remote |= bit(axis);
        held.local &= ~bit(axis);
    }
    qCDebug(lcApp).noquote() << "Remote" << axisWord(axis) << first << second << "on"
                             << named(camera) << "from" << client;
    const RemoteCall call(remoteCalling);
    switch (axis) {
    case Camera::Axis::Zoom:
        camera->zoom(first);
        break;
    case Camera::Axis::Focus:
        // A focus move from rest sets manual focus first, as the window's
        // focus slider does.
        if (first != 0 && camera->state().focusRate == 0
            && camera->state().focus != FocusMode::Manual)
            camera->setFocusMode(FocusMode::Manual);
        camera->focus(first);
        break;
    case Camera::Axis::PanTilt:
        camera->panTilt(first, second, PanTiltUnit::SpeedStep);
        break;
    }
    return QString();
}

QString RemoteCameras::zoom(int camera, int rate, const QString &client)
{
    return move(camera, Camera::Axis::Zoom, qBound(-8, rate, 8), 0, client);
}

QString RemoteCameras::focus(int camera, int rate, const QString &client)
{
    return move(camera, Camera::Axis::Focus, qBound(-8, rate, 8), 0, client);
}

QString RemoteCameras::panTilt(int camera, double pan, double tilt, const QString &client)
{
    return move(camera, Camera::Axis::PanTilt, speedSteps(pan, kPanSpeedTop),
                speedSteps(tilt, kTiltSpeedTop), client);
}

QString RemoteCameras::setFocusAuto(int number, bool on, const QString &)
{
    Camera *camera = cameraAt(number);
    if (!camera)
        return QStringLiteral("there is no camera %1").arg(number);
    if (!camera->carriesCommands())
        return named(camera) + QStringLiteral(" is not connected");
    const RemoteCall call(remoteCalling);
    camera->setFocusMode(on ? FocusMode::Auto : FocusMode::Manual);
    return QString();
}

QString RemoteCameras::presetRefusal(Camera *camera, int preset, bool recall) const
{
    // A recall moves every axis: the operator's moves and the lockout
    // refuse it as they refuse a move.
    if (recall) {
        const QString why = refusal(camera, bit(Camera::Axis::Zoom) | bit(Camera::Axis::Focus)
                                                | bit(Camera::Axis::PanTilt),
                                    QStringLiteral("preset %1 recall").arg(preset));
        if (!why.isEmpty())
            return why;
    } else if (!camera->carriesCommands()) {
        return named(camera) + QStringLiteral(" is not connected");
    }
    if (!camera->presets().has(preset))
        return QStringLiteral("%1 has no preset %2 (it has %3)")
            .arg(named(camera))
            .arg(preset)
            .arg(camera->presets().count());
    return QString();
}

QString RemoteCameras::presetCommand(int number, int preset, bool recall, const QString &client)
{
    Camera *camera = cameraAt(number);
    if (!camera)
        return QStringLiteral("there is no camera %1").arg(number);
    const QString why = presetRefusal(camera, preset, recall);
    if (!why.isEmpty())
        return why;
    qCInfo(lcApp).noquote() << (recall ? "Remote recall of" : "Remote store of")
                            << camera->presets().label(preset) << "on" << named(camera) << "from"
                            << client;
    const RemoteCall call(remoteCalling);
    if (recall)
        camera->recallPreset(preset);
    else
        camera->storePreset(preset);
    return QString();
}

QString RemoteCameras::recallPreset(int camera, int preset, const QString &client)
{
    return presetCommand(camera, preset, true, client);
}

QString RemoteCameras::storePreset(int camera, int preset, const QString &client)
{
    return presetCommand(camera, preset, false, client);
}

QString RemoteCameras::setTally(int number, RemoteTally tally, const QString &client)
{
    Camera *camera = cameraAt(number);
    if (!camera)
        return QStringLiteral("there is no camera %1").arg(number);
    const Camera::Tally now = tally == RemoteTally::Program ? Camera::Tally::Program
        : tally == RemoteTally::Preview                    ? Camera::Tally::Preview
                                                           : Camera::Tally::Off;
    if (camera->tally() == now)
        return QString();
    qCInfo(lcApp).noquote() << named(camera) << "tally" << Camera::tallyWord(now) << "from" << client;
    const RemoteCall call(remoteCalling);
    camera->setTally(now);
    if (now == Camera::Tally::Program && camera->config().liveLockout)
        endRemote(camera, moves.value(camera).remote, true,
                  QStringLiteral("it went on program, locked against remote moves"));
    return QString();
}

QString RemoteCameras::select(int number, const QString &)
{
    if (!cameraAt(number))
        return QStringLiteral("there is no camera %1").arg(number);
    list.select(number - 1);
    return QString();
}

void RemoteCameras::stopAll(const QString &client)
{
    qCInfo(lcApp).noquote() << "Every camera stops: /tarndeck/stop from" << client;
    emit stoppingAll();
    const RemoteCall call(remoteCalling);
    for (Camera *camera : list.cameras()) {
        camera->stopAll();
        moves.remove(camera);
    }
}

void RemoteCameras::watch(Camera *camera)
{
    watched.insert(camera);
    connect(camera, &Camera::moveAsked, this,
            [this, camera](Camera::Axis axis, bool moving) { onMoveAsked(camera, axis, moving); });
    connect(camera, &QObject::destroyed, this, [this, camera] {
        watched.remove(camera);
        const Moves gone = moves.take(camera);
        for (Camera::Axis axis : allAxes) {
            if (gone.remote & bit(axis))
                emit remoteMoveEnded(gone.number, remoteAxis(axis));
        }
    });
    for (auto changed : {&Camera::healthChanged, &Camera::presetsChanged, &Camera::stateChanged,
                         &Camera::configChanged, &Camera::tallyChanged, &Camera::readbackChanged})
        connect(camera, changed, this, &RemoteTarget::stateChanged);
    connect(camera, &Camera::statusChanged, this, &RemoteTarget::stateChanged);
    // A link that went took the remote moves with it.
    connect(camera, &Camera::lost, this, [this, camera] {
        endRemote(camera, moves.value(camera).remote, false, QStringLiteral("its link went"));
    });
}

void RemoteCameras::onMoveAsked(Camera *camera, Camera::Axis axis, bool moving)
{
    if (remoteCalling)
        return;
    if (movesRemotely(camera, axis))
        endRemote(camera, bit(axis), false, QStringLiteral("the operator took it"));
    Moves &held = moves[camera];
    held.camera = camera;
    if (moving)
        held.local |= bit(axis);
    else
        held.local &= ~bit(axis);
    if (!held.remote && !held.local)
        moves.remove(camera);
}

void RemoteCameras::endRemote(Camera *camera, int axes, bool stop, const QString &why)
{
    auto found = moves.find(camera);
    if (found == moves.end())
        return;
    const int ended = found->remote & axes;
    if (!ended)
        return;
    found->remote &= ~ended;
    const int number = found->number;
    if (!found->remote && !found->local)
        moves.erase(found);
    for (Camera::Axis axis : allAxes) {
        if (!(ended & bit(axis)))
            continue;
        qCInfo(lcApp).noquote() << QStringLiteral("The remote %1 of %2 ends: %3")
                                       .arg(QLatin1String(axisWord(axis)), named(camera), why);
        if (stop) {
            const RemoteCall call(remoteCalling);
            if (axis == Camera::Axis::Zoom)
                camera->zoom(0);
            else if (axis == Camera::Axis::Focus)
                camera->focus(0);
            else
                camera->panTilt(0, 0, PanTiltUnit::SpeedStep);
        }
        emit remoteMoveEnded(number, remoteAxis(axis));
    }
}

// Cameras added, taken out or moved: a remote move whose camera now has
// another number stops (its client would release another camera), and new
// cameras are watched.
void RemoteCameras::onListChanged()
{
    const QList<Camera *> &all = list.cameras();
    for (Camera *camera : all) {
        if (!watched.contains(camera))
            watch(camera);
    }
    const QList<const Camera *> held = moves.keys();
    for (const Camera *key : held) {
        const Moves entry = moves.value(key);
        Camera *camera = entry.camera;
        if (camera && entry.remote && camera->number() != entry.number)
            endRemote(camera, entry.remote, true, QStringLiteral("the camera list changed"));
    }
    emit stateChanged();
}

QJsonObject RemoteCameras::state() const
{
    QJsonArray cameras;
    for (const Camera *camera : list.cameras()) {
        const PresetBook &book = camera->presets();
        QJsonArray named;
        for (int n : book.described()) {
            if (!book.name(n).isEmpty())
                named.append(QJsonObject{{QStringLiteral("n"), n},
                                         {QStringLiteral("name"), book.name(n)}});
        }
        QJsonArray remote;
        for (Camera::Axis axis : allAxes) {
            if (movesRemotely(camera, axis))
                remote.append(QLatin1String(axisWord(axis)));
        }
        const bool failing = camera->health() == Camera::Health::Failing
            || camera->health() == Camera::Health::Reconnecting;
        const QString failure = failing ? camera->healthReason()
            : camera->statusFailed()    ? camera->statusText()
                                        : QString();
        cameras.append(QJsonObject{
            {QStringLiteral("number"), camera->number()},
            {QStringLiteral("name"), camera->shownName()},
            {QStringLiteral("health"), QLatin1String(Camera::healthWord(camera->health()))},
            {QStringLiteral("lastCommand"), camera->lastCommand()},
            {QStringLiteral("failure"), failure},
            {QStringLiteral("tally"), QLatin1String(Camera::tallyWord(camera->tally()))},
            {QStringLiteral("power"),
             QLatin1String(CameraReadback::powerWord(camera->readback().power()))},
            {QStringLiteral("liveLockout"), camera->config().liveLockout},
            {QStringLiteral("remoteMoves"), remote},
            {QStringLiteral("presets"),
             QJsonObject{{QStringLiteral("count"), book.count()},
                         {QStringLiteral("selected"), camera->state().profile + 1},
                         {QStringLiteral("named"), named}}},
        });
    }
    return QJsonObject{{QStringLiteral("selected"), selectedCamera()},
                       {QStringLiteral("cameras"), cameras}};
}

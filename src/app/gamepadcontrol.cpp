#include "gamepadcontrol.h"

#include "camera.h"
#include "cameralist.h"
#include "gamepaddialog.h"
#include "logcategories.h"
#include "viscavocabulary.h"

#include <QSettings>

#include <utility>

namespace {

// The camera's tops: every speed step, zoom and focus as the sliders' rates.
PadLimits cameraLimits()
{
    PadLimits limits;
    limits.pan = kPanSpeedTop;
    limits.tilt = kTiltSpeedTop;
    limits.zoom = 8;
    limits.focus = 8;
    return limits;
}

// A movement deflected when the camera changed: true while it has not been
// back at rest (its rest clears the wait and is itself ignored).
bool waitsForRest(int &waiting, int rate)
{
    if (waiting == 0)
        return false;
    if (rate == 0)
        waiting = 0;
    return true;
}

} // namespace

GamepadControl::GamepadControl(CameraList &cameras, QSettings &store, bool storeWritable,
                               QObject *parent)
    : QObject(parent)
    , cameras(cameras)
    , store(store)
    , storeWritable(storeWritable)
    , driven(cameras.current())
{
    pad.setLimits(cameraLimits());
    connect(&pad, &Gamepad::panTilt, this, &GamepadControl::panTilt);
    connect(&pad, &Gamepad::zoom, this, &GamepadControl::zoom);
    connect(&pad, &Gamepad::focus, this, &GamepadControl::focus);
    connect(&pad, &Gamepad::focusAuto, this, &GamepadControl::focusAuto);
    connect(&pad, &Gamepad::padChanged, this, &GamepadControl::padChanged);
    connect(&pad, &Gamepad::padGone, this, &GamepadControl::padGone);
    connect(&pad, &Gamepad::problem, this, [this](const QString &text) { say(text, true); });
    // A face button recalls a preset of the driven (the selected) camera; the
    // camera stops what runs first. The shoulder buttons select cameras.
    connect(&pad, &Gamepad::recallPreset, this, [this](int n) {
        if (Camera *camera = drivenCamera())
            camera->recallPreset(n);
    });
    connect(&pad, &Gamepad::selectCamera, &cameras, &CameraList::selectNext);
    connect(&cameras, &CameraList::currentChanged, this, &GamepadControl::followCurrentCamera);
}

GamepadControl::~GamepadControl()
{
    shutDown();
}

void GamepadControl::start()
{
    QStringList complaints;
    const PadSettings loaded = PadSettings::load(store, &complaints);
    if (!complaints.isEmpty()) {
        QString text = complaints.first();
        if (complaints.size() > 1)
            text += QStringLiteral(" (and %1 more, see the log)").arg(complaints.size() - 1);
        say(text, true);
    }
    pad.apply(loaded);
}

void GamepadControl::openDialog(QWidget *parent)
{
    if (dialog) {
        dialog->raise();
        dialog->activateWindow();
        return;
    }
    auto *opened = new GamepadDialog(pad.settings(), cameraLimits(), parent);
    dialog = opened;
    opened->setAttribute(Qt::WA_DeleteOnClose);
    opened->setPadName(padName);
    connect(&pad, &Gamepad::padChanged, opened, &GamepadDialog::setPadName);
    connect(&pad, &Gamepad::padGone, opened, [opened] { opened->setPadName(QString()); });
    connect(opened, &QDialog::accepted, this, [this, opened] { apply(opened->settings()); });
    opened->open();
}

void GamepadControl::apply(const PadSettings &settings)
{
    const bool wasOn = pad.isEnabled();
    pad.apply(settings);
    if (storeWritable) {
        settings.save(store);
        store.sync();
    }
    qCInfo(lcApp).noquote() << "Gamepad settings applied:"
                            << (settings.enabled ? "pad input on" : "pad input off");
    if (!settings.enabled && wasOn)
        say(QStringLiteral("Gamepad input off"));
    else if (settings.enabled && pad.isEnabled() && padName.isEmpty())
        say(QStringLiteral("Gamepad input on: no pad plugged in"));
}

void GamepadControl::shutDown()
{
    // Quietly: the window is closing, nothing more is said.
    disconnect(this, &GamepadControl::status, nullptr, nullptr);
    pad.setEnabled(false);
}

void GamepadControl::followCurrentCamera()
{
    Camera *current = cameras.current();
    if (current == driven)
        return;
    stopOn(driven);
    driven = current;
    // What is still deflected waits for its rest before it drives this one.
    untilRest = pad.drive();
    if (!padName.isEmpty())
        padChanged(padName);
}

Camera *GamepadControl::drivenCamera() const
{
    return driven;
}

void GamepadControl::panTilt(int pan, int tilt)
{
    if (!driven)
        return;
    if (untilRest.pan || untilRest.tilt) {
        if (pan == 0 && tilt == 0)
            untilRest.pan = untilRest.tilt = 0;
        return;
    }
    // At rest: the window's pad may have taken the drive since.
    const bool wasRunning = std::exchange(panTiltRunning, pan != 0 || tilt != 0);
    if (pan == 0 && tilt == 0 && (!wasRunning || driven->panTiltMovesIn(PanTiltUnit::PadScale)))
        return;
    driven->panTilt(pan, tilt, PanTiltUnit::SpeedStep);
}

void GamepadControl::zoom(int rate)
{
    if (!driven || waitsForRest(untilRest.zoom, rate))
        return;
    const int mine = std::exchange(zoomRate, rate);
    // At rest: a slider may have taken the zoom since.
    if (rate == 0 && driven->state().zoomRate != mine)
        return;
    driven->zoom(rate);
}

void GamepadControl::focus(int rate)
{
    if (!driven || waitsForRest(untilRest.focus, rate))
        return;
    const int mine = std::exchange(focusRate, rate);
    if (rate == 0 && driven->state().focusRate != mine)
        return;
    if (mine == 0 && rate != 0 && driven->state().focus != FocusMode::Manual)
        driven->setFocusMode(FocusMode::Manual);
    driven->focus(rate);
}

void GamepadControl::focusAuto()
{
    if (driven)
        driven->setFocusMode(FocusMode::Auto);
}

// The moves the pad runs on `camera` stop there (those another mover has
// taken since stay).
void GamepadControl::stopOn(Camera *camera)
{
    if (!camera)
        return;
    if (std::exchange(panTiltRunning, false) && camera->panTiltMovesIn(PanTiltUnit::SpeedStep))
        camera->panTilt(0, 0, PanTiltUnit::SpeedStep);
    if (zoomRate != 0 && camera->state().zoomRate == zoomRate)
        camera->zoom(0);
    if (focusRate != 0 && camera->state().focusRate == focusRate)
        camera->focus(0);
    zoomRate = 0;
    focusRate = 0;
}

void GamepadControl::padChanged(const QString &name)
{
    padName = name;
    say(QStringLiteral("Gamepad %1 drives %2").arg(name, cameraName(driven)));
}

void GamepadControl::padGone()
{
    if (padName.isEmpty())
        return;
    // Switching pad input off says so after this, in apply().
    const QString gone = std::exchange(padName, QString());
    say(QStringLiteral("Gamepad %1 unplugged: its moves stopped").arg(gone));
}

void GamepadControl::say(const QString &text, bool failed)
{
    said = text;
    saidFailed = failed;
    emit status(text, failed);
}

QString GamepadControl::cameraName(Camera *camera) const
{
    if (!camera)
        return QStringLiteral("no camera");
    const int number = cameras.cameras().indexOf(camera) + 1;
    const QString route = camera->routeName();
    QString name = QStringLiteral("camera %1").arg(number);
    if (!route.isEmpty())
        name += QStringLiteral(" on ") + route;
    return name;
}

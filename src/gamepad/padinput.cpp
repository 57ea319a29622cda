#include "padinput.h"

#include "gamepadlog.h"

#include <QPointer>

#include <SDL.h>

// The controls are numbered as SDL numbers its axes and buttons.
static_assert(SDL_CONTROLLER_AXIS_LEFTX == int(Pad::Control::LeftX)
                  && SDL_CONTROLLER_AXIS_TRIGGERRIGHT == int(Pad::Control::RightTrigger)
                  && SDL_CONTROLLER_AXIS_MAX == Pad::axisCount,
              "axes in SDL's order");
static_assert(SDL_CONTROLLER_BUTTON_A + Pad::axisCount == int(Pad::Control::A)
                  && SDL_CONTROLLER_BUTTON_DPAD_RIGHT + Pad::axisCount
                      == int(Pad::Control::DpadRight)
                  && SDL_CONTROLLER_BUTTON_TOUCHPAD + Pad::axisCount == int(Pad::Control::Touchpad),
              "buttons in SDL's order");

namespace {

QString padNameOf(SDL_GameController *pad)
{
    const char *name = SDL_GameControllerName(pad);
    return name && *name ? QString::fromUtf8(name) : QStringLiteral("Unnamed pad");
}

} // namespace

PadInput::PadInput(QObject *parent)
    : QObject(parent)
{
    connect(&timer, &QTimer::timeout, this, &PadInput::pump);
}

PadInput::~PadInput()
{
    if (!running)
        return;
    timer.stop();
    if (pad)
        SDL_GameControllerClose(pad);
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0)
        SDL_Quit();
}

bool PadInput::start(QString *error)
{
    if (running)
        return true;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, background ? "1" : "0");
    if (SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) != 0) {
        if (error)
            *error = QString::fromUtf8(SDL_GetError());
        if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0)
            SDL_Quit();
        return false;
    }
    running = true;
    timer.setTimerType(Qt::PreciseTimer);
    timer.start(searchInterval);
    qCInfo(lcGamepad) << "Gamepad input on: SDL" << SDL_GetRevision();
    pump();
    return true;
}

void PadInput::stop()
{
    if (!running)
        return;
    timer.stop();
    closePad();
    wanted = -1;
    running = false;
    SDL_QuitSubSystem(SDL_INIT_GAMECONTROLLER);
    if (SDL_WasInit(SDL_INIT_EVERYTHING) == 0)
        SDL_Quit();
    qCInfo(lcGamepad) << "Gamepad input off";
}

void PadInput::setBackgroundEvents(bool allowed)
{
    background = allowed;
    // While SDL is not running, start() sets it: nothing of SDL's is touched
    // while pad input is off.
    if (running)
        SDL_SetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS, allowed ? "1" : "0");
}

void PadInput::pump()
{
    if (!running)
        return;
    const QPointer<PadInput> alive(this);
    SDL_PumpEvents();
    bool carried = false;
    SDL_Event events[32];
    int count = 0;
    while ((count = SDL_PeepEvents(events, 32, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT)) > 0) {
        for (int i = 0; i < count; ++i) {
            const SDL_Event &e = events[i];
            switch (e.type) {
            case SDL_CONTROLLERAXISMOTION:
                if (e.caxis.which == padId && e.caxis.axis < SDL_CONTROLLER_AXIS_MAX) {
                    carried = true;
                    emit changed(Pad::Control(e.caxis.axis), e.caxis.value);
                }
                break;
            case SDL_CONTROLLERBUTTONDOWN:
            case SDL_CONTROLLERBUTTONUP:
                if (e.cbutton.which == padId && e.cbutton.button < Pad::buttonCount) {
                    carried = true;
                    emit changed(Pad::Control(Pad::axisCount + e.cbutton.button),
                                 e.cbutton.state == SDL_PRESSED ? 1 : 0);
                }
                break;
            case SDL_CONTROLLERDEVICEADDED:
                // The device index is valid now; its instance stays valid.
                wanted = SDL_JoystickGetDeviceInstanceID(e.cdevice.which);
                break;
            case SDL_CONTROLLERDEVICEREMOVED:
                if (e.cdevice.which == wanted)
                    wanted = -1;
                if (e.cdevice.which == padId) {
                    qCInfo(lcGamepad).noquote() << "Gamepad" << name << "went away";
                    closePad();
                    if (wanted < 0)
                        wanted = newestPresent(e.cdevice.which);
                }
                break;
            case SDL_CONTROLLERDEVICEREMAPPED:
                if (e.cdevice.which == padId) {
                    carried = true;
                    reportState(true);
                }
                break;
            case SDL_JOYDEVICEADDED:
                if (!SDL_IsGameController(e.jdevice.which)) {
                    const char *joystick = SDL_JoystickNameForIndex(e.jdevice.which);
                    qCInfo(lcGamepad).noquote()
                        << "Not used:" << (joystick ? joystick : "a joystick")
                        << "has no game-controller mapping (SDL_GAMECONTROLLERCONFIG can add one)";
                }
                break;
            default:
                break;
            }
            if (!alive || !running)
                return;
        }
    }
    if (wanted >= 0 && wanted != padId) {
        const int id = wanted;
        wanted = -1;
        openPad(id);
        if (!alive || !running)
            return;
    }
    wanted = -1;
    if (carried && pad)
        emit pumped();
}

void PadInput::openPad(int instanceId)
{
    // The pad in use so far goes first: its moves stop before the new one
    // reports anything. A receiver may switch pad input off meanwhile.
    const QPointer<PadInput> alive(this);
    closePad();
    if (!alive || !running)
        return;
    int index = -1;
    for (int i = 0; i < SDL_NumJoysticks(); ++i) {
        if (SDL_JoystickGetDeviceInstanceID(i) == instanceId)
            index = i;
    }
    SDL_GameController *fresh = index >= 0 ? SDL_GameControllerOpen(index) : nullptr;
    if (!fresh) {
        qCWarning(lcGamepad).noquote() << "Gamepad could not be opened:" << SDL_GetError();
        return;
    }
    pad = fresh;
    padId = instanceId;
    name = padNameOf(fresh);
    timer.setInterval(openInterval);
    qCInfo(lcGamepad).noquote() << "Gamepad in use:" << name;
    emit opened(name);
    if (alive && pad == fresh) {
        reportState(false);
        if (alive && pad == fresh)
            emit pumped();
    }
}

void PadInput::closePad()
{
    if (!pad)
        return;
    SDL_GameControllerClose(pad);
    pad = nullptr;
    padId = -1;
    const QString gone = name;
    name.clear();
    if (running)
        timer.setInterval(searchInterval);
    emit closed(gone);
}

// What the pad shows now: a stick already held when the pad is opened (or
// its mapping changes) drives as it would after a move. A button held while
// the pad is opened counts only once it is pressed again.
void PadInput::reportState(bool buttons)
{
    SDL_GameController *open = pad;
    const QPointer<PadInput> alive(this);
    for (int axis = 0; axis < Pad::axisCount && alive && pad == open; ++axis)
        emit changed(Pad::Control(axis),
                     SDL_GameControllerGetAxis(open, SDL_GameControllerAxis(axis)));
    for (int button = 0; buttons && button < Pad::buttonCount && alive && pad == open; ++button)
        emit changed(Pad::Control(Pad::axisCount + button),
                     SDL_GameControllerGetButton(open, SDL_GameControllerButton(button)));
}

int PadInput::newestPresent(int except) const
{
    for (int i = SDL_NumJoysticks() - 1; i >= 0; --i) {
        const int id = SDL_JoystickGetDeviceInstanceID(i);
        if (id != except && SDL_IsGameController(i))
            return id;
    }
    return -1;
}

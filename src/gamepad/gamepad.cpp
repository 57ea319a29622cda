#include "gamepad.h"

#include "gamepadlog.h"

#include <QGuiApplication>
#include <QPointer>

Gamepad::Gamepad(QObject *parent)
    : QObject(parent)
    , input(this)
{
    input.setObjectName(QStringLiteral("padInput"));
    chosen.enabled = false;
    mixer.setLayout(chosen.layout);
    connect(&input, &PadInput::opened, this, &Gamepad::padChanged);
    connect(&input, &PadInput::closed, this, &Gamepad::padClosed);
    connect(&input, &PadInput::changed, this, &Gamepad::controlChanged);
    connect(&input, &PadInput::pumped, this, &Gamepad::flush);
    // Without a window system (a console program) the pad is never deaf.
    if (const auto *app = qobject_cast<QGuiApplication *>(QCoreApplication::instance())) {
        foreground = app->applicationState() == Qt::ApplicationActive;
        connect(app, &QGuiApplication::applicationStateChanged, this,
                [this](Qt::ApplicationState state) {
                    foreground = state == Qt::ApplicationActive;
                    flush();
                });
    }
}

Gamepad::~Gamepad()
{
    closing = true;
    disconnect(&input, nullptr, this, nullptr);
    flush();
}

void Gamepad::apply(const PadSettings &settings)
{
    setLayout(settings.layout);
    setBackgroundAllowed(settings.background);
    setEnabled(settings.enabled);
}

void Gamepad::setLimits(const PadLimits &limits)
{
    mixer.setLimits(limits);
    flush();
}

void Gamepad::setEnabled(bool on)
{
    chosen.enabled = on;
    if (on == input.isRunning())
        return;
    if (!on) {
        input.stop();
        mixer.reset();
        flush();
        return;
    }
    QString reason;
    if (!input.start(&reason)) {
        const QString text = QStringLiteral("Gamepad input could not start: %1").arg(reason);
        qCWarning(lcGamepad).noquote() << text;
        emit problem(text);
    }
}

void Gamepad::setBackgroundAllowed(bool allowed)
{
    chosen.background = allowed;
    input.setBackgroundEvents(allowed);
    flush();
}

void Gamepad::setLayout(const PadLayout &layout)
{
    chosen.layout = layout;
    mixer.setLayout(layout);
    flush();
}

void Gamepad::restate()
{
    const PadDrive now = told;
    const QPointer<Gamepad> alive(this);
    if (now.pan || now.tilt)
        emit panTilt(now.pan, now.tilt);
    if (alive && now.zoom)
        emit zoom(now.zoom);
    if (alive && now.focus)
        emit focus(now.focus);
}

void Gamepad::controlChanged(Pad::Control control, int value)
{
    const Pad::ButtonBinding once = mixer.set(control, value);
    if (once.action == Pad::Action::None || !listening())
        return;
    qCDebug(lcGamepad).noquote() << "pad:" << Pad::actionWord(once);
    switch (once.action) {
    case Pad::Action::FocusAuto:
        emit focusAuto();
        break;
    case Pad::Action::PreviousCamera:
        emit selectCamera(-1);
        break;
    case Pad::Action::NextCamera:
        emit selectCamera(1);
        break;
    case Pad::Action::Preset:
        emit recallPreset(once.preset);
        break;
    default:
        break;
    }
}

void Gamepad::padClosed()
{
    mixer.reset();
    const QPointer<Gamepad> alive(this);
    flush();
    if (alive)
        emit padGone();
}

bool Gamepad::listening() const
{
    return !closing && (chosen.background || foreground);
}

PadDrive Gamepad::wanted() const
{
    return listening() ? mixer.drive() : PadDrive{};
}

// Each movement's newest speed, once. A receiver that changes the pad's
// state meanwhile (switches it off, say) is followed: the loop asks again
// after every signal, so nothing stale goes out after a stop.
void Gamepad::flush()
{
    const QPointer<Gamepad> alive(this);
    while (alive) {
        const PadDrive want = wanted();
        if (want.pan != told.pan || want.tilt != told.tilt) {
            told.pan = want.pan;
            told.tilt = want.tilt;
            qCDebug(lcGamepad) << "pad: pan-tilt" << want.pan << want.tilt;
            emit panTilt(want.pan, want.tilt);
        } else if (want.zoom != told.zoom) {
            told.zoom = want.zoom;
            qCDebug(lcGamepad) << "pad: zoom" << want.zoom;
            emit zoom(want.zoom);
        } else if (want.focus != told.focus) {
            told.focus = want.focus;
            qCDebug(lcGamepad) << "pad: focus" << want.focus;
            emit focus(want.focus);
        } else {
            break;
        }
    }
}

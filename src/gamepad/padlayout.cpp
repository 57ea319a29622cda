#include "padlayout.h"

namespace Pad {

namespace {

constexpr AxisBinding stick(Motion drives)
{
    AxisBinding binding;
    binding.drives = drives;
    binding.shape.curve = 2.0;
    return binding;
}

constexpr AxisBinding trigger(Motion drives, bool inverted)
{
    AxisBinding binding;
    binding.drives = drives;
    binding.shape.inverted = inverted;
    return binding;
}

constexpr ButtonBinding does(Action action, int preset = 0)
{
    return ButtonBinding{action, preset};
}

// The layout table. Sticks: dead zone 8 %, curve exponent 2, the
// operation's top speed; triggers linear. Up and right are positive.
constexpr ControlRow table[] = {
    {Control::LeftX, "leftX", "Left stick, horizontal", 1, stick(Motion::Pan), {}},
    {Control::LeftY, "leftY", "Left stick, vertical", -1, stick(Motion::Tilt), {}},
    {Control::RightX, "rightX", "Right stick, horizontal", 1, stick(Motion::None), {}},
    {Control::RightY, "rightY", "Right stick, vertical", -1, stick(Motion::Focus), {}},
    {Control::LeftTrigger, "leftTrigger", "Left trigger", 1, trigger(Motion::Zoom, true), {}},
    {Control::RightTrigger, "rightTrigger", "Right trigger", 1, trigger(Motion::Zoom, false), {}},
    {Control::A, "a", "A", 1, {}, does(Action::Preset, 1)},
    {Control::B, "b", "B", 1, {}, does(Action::Preset, 2)},
    {Control::X, "x", "X", 1, {}, does(Action::Preset, 3)},
    {Control::Y, "y", "Y", 1, {}, does(Action::Preset, 4)},
    {Control::Back, "back", "Back", 1, {}, {}},
    {Control::Guide, "guide", "Guide", 1, {}, {}},
    {Control::Start, "start", "Start", 1, {}, does(Action::FocusAuto)},
    {Control::LeftStick, "leftStick", "Left stick, pressed", 1, {}, {}},
    {Control::RightStick, "rightStick", "Right stick, pressed", 1, {}, {}},
    {Control::LeftShoulder, "leftShoulder", "Left shoulder", 1, {}, does(Action::PreviousCamera)},
    {Control::RightShoulder, "rightShoulder", "Right shoulder", 1, {}, does(Action::NextCamera)},
    {Control::DpadUp, "dpadUp", "D-pad up", 1, {}, does(Action::TiltUp)},
    {Control::DpadDown, "dpadDown", "D-pad down", 1, {}, does(Action::TiltDown)},
    {Control::DpadLeft, "dpadLeft", "D-pad left", 1, {}, does(Action::PanLeft)},
    {Control::DpadRight, "dpadRight", "D-pad right", 1, {}, does(Action::PanRight)},
    {Control::Misc, "misc", "Misc", 1, {}, {}},
    {Control::Paddle1, "paddle1", "Paddle 1", 1, {}, {}},
    {Control::Paddle2, "paddle2", "Paddle 2", 1, {}, {}},
    {Control::Paddle3, "paddle3", "Paddle 3", 1, {}, {}},
    {Control::Paddle4, "paddle4", "Paddle 4", 1, {}, {}},
    {Control::Touchpad, "touchpad", "Touchpad, pressed", 1, {}, {}},
};

constexpr bool inOrder()
{
    for (int i = 0; i < controlCount; ++i) {
        if (int(table[i].control) != i)
            return false;
    }
    return true;
}
static_assert(sizeof table / sizeof table[0] == controlCount, "one row per control");
static_assert(inOrder(), "rows in the order of the controls");

struct Word
{
    int value;
    const char *word;
    const char *label;
};

constexpr Word motionWords[] = {
    {int(Motion::None), "none", "Nothing"}, {int(Motion::Pan), "pan", "Pan"},
    {int(Motion::Tilt), "tilt", "Tilt"},    {int(Motion::Zoom), "zoom", "Zoom"},
    {int(Motion::Focus), "focus", "Focus"},
};

constexpr Word actionWords[] = {
    {int(Action::None), "none", "Nothing"},
    {int(Action::PanLeft), "panLeft", "Pan left, slowest"},
    {int(Action::PanRight), "panRight", "Pan right, slowest"},
    {int(Action::TiltUp), "tiltUp", "Tilt up, slowest"},
    {int(Action::TiltDown), "tiltDown", "Tilt down, slowest"},
    {int(Action::ZoomIn), "zoomIn", "Zoom in, slowest"},
    {int(Action::ZoomOut), "zoomOut", "Zoom out, slowest"},
    {int(Action::FocusNear), "focusNear", "Focus near, slowest"},
    {int(Action::FocusFar), "focusFar", "Focus far, slowest"},
    {int(Action::FocusAuto), "focusAuto", "Auto focus"},
    {int(Action::PreviousCamera), "previousCamera", "Previous camera"},
    {int(Action::NextCamera), "nextCamera", "Next camera"},
    {int(Action::Preset), "preset", "Preset"},
};

template<typename Table>
const Word *find(const Table &words, int value)
{
    for (const Word &w : words) {
        if (w.value == value)
            return &w;
    }
    return nullptr;
}

template<typename Table>
const Word *find(const Table &words, const QString &word)
{
    for (const Word &w : words) {
        if (word == QLatin1String(w.word))
            return &w;
    }
    return nullptr;
}

} // namespace

const ControlRow &row(Control control)
{
    return table[qBound(0, int(control), controlCount - 1)];
}

int controlFromKey(const QString &key)
{
    for (const ControlRow &r : table) {
        if (key == QLatin1String(r.key))
            return int(r.control);
    }
    return -1;
}

QString motionWord(Motion motion)
{
    const Word *w = find(motionWords, int(motion));
    return w ? QLatin1String(w->word) : QString();
}

bool motionFromWord(const QString &word, Motion *motion)
{
    const Word *w = find(motionWords, word);
    if (w)
        *motion = Motion(w->value);
    return w;
}

QString actionWord(const ButtonBinding &binding)
{
    const Word *w = find(actionWords, int(binding.action));
    if (!w)
        return QString();
    QString text = QLatin1String(w->word);
    if (binding.action == Action::Preset)
        text += QString::number(binding.preset);
    return text;
}

bool actionFromWord(const QString &word, ButtonBinding *binding)
{
    const QLatin1String preset("preset");
    if (word.startsWith(preset)) {
        // Digits only: no sign, no blanks, no leading zero.
        const QStringView digits = QStringView(word).mid(preset.size());
        bool ok = !digits.isEmpty() && digits.size() <= 3 && digits.front() != QLatin1Char('0');
        for (const QChar c : digits)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const int n = ok ? digits.toString().toInt() : 0;
        if (n < 1 || n > maxPreset)
            return false;
        *binding = ButtonBinding{Action::Preset, n};
        return true;
    }
    const Word *w = find(actionWords, word);
    if (!w)
        return false;
    *binding = ButtonBinding{Action(w->value), 0};
    return true;
}

QString motionLabel(Motion motion)
{
    const Word *w = find(motionWords, int(motion));
    return w ? QString::fromLatin1(w->label) : QString();
}

QString actionLabel(const ButtonBinding &binding)
{
    const Word *w = find(actionWords, int(binding.action));
    if (!w)
        return QString();
    QString text = QString::fromLatin1(w->label);
    if (binding.action == Action::Preset && binding.preset > 0)
        text += QLatin1Char(' ') + QString::number(binding.preset);
    return text;
}

} // namespace Pad

PadLayout::PadLayout()
{
    for (int i = 0; i < Pad::axisCount; ++i)
        axes[i] = Pad::row(Pad::Control(i)).axis;
    for (int i = 0; i < Pad::buttonCount; ++i)
        buttons[i] = Pad::row(Pad::Control(Pad::axisCount + i)).button;
}

const Pad::AxisBinding &PadLayout::axis(Pad::Control control) const
{
    return axes[qBound(0, int(control), Pad::axisCount - 1)];
}

const Pad::ButtonBinding &PadLayout::button(Pad::Control control) const
{
    return buttons[qBound(0, int(control) - Pad::axisCount, Pad::buttonCount - 1)];
}

void PadLayout::setAxis(Pad::Control control, const Pad::AxisBinding &binding)
{
    if (Pad::isAxis(control))
        axes[int(control)] = binding;
}

void PadLayout::setButton(Pad::Control control, const Pad::ButtonBinding &binding)
{
    if (!Pad::isAxis(control) && int(control) < Pad::controlCount)
        buttons[int(control) - Pad::axisCount] = binding;
}

bool PadLayout::operator==(const PadLayout &other) const
{
    return axes == other.axes && buttons == other.buttons;
}

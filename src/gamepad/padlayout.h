// The pad's layout: what each axis and button of a game controller does. One
// table lists every control SDL's game-controller API knows (its settings
// name, what the dialog calls it, and what it does until the operator remaps
// it); PadLayout holds the operator's choice for each.
//
// Controls are numbered as SDL numbers them: the six axes first
// (SDL_GameControllerAxis), then the buttons (SDL_GameControllerButton).
#pragma once

#include "axisshape.h"

#include <QString>
#include <QVector>

#include <array>

namespace Pad {

enum class Control {
    LeftX,
    LeftY,
    RightX,
    RightY,
    LeftTrigger,
    RightTrigger,
    A,
    B,
    X,
    Y,
    Back,
    Guide,
    Start,
    LeftStick,
    RightStick,
    LeftShoulder,
    RightShoulder,
    DpadUp,
    DpadDown,
    DpadLeft,
    DpadRight,
    Misc,
    Paddle1,
    Paddle2,
    Paddle3,
    Paddle4,
    Touchpad,
};
constexpr int axisCount = 6;
constexpr int buttonCount = 21;
constexpr int controlCount = axisCount + buttonCount;

inline bool isAxis(Control control)
{
    return int(control) < axisCount;
}

// What an axis drives.
enum class Motion { None, Pan, Tilt, Zoom, Focus };

// What a button does: the first group while it is held (the finest move,
// speed or rate 1), the others once when it is pressed.
enum class Action {
    None,
    PanLeft,
    PanRight,
    TiltUp,
    TiltDown,
    ZoomIn,
    ZoomOut,
    FocusNear,
    FocusFar,
    FocusAuto,
    PreviousCamera,
    NextCamera,
    Preset,
};

// Preset numbers a button can recall (VISCA memory n - 1; 7F, the camera
// default, is never a preset).
constexpr int maxPreset = 127;

struct AxisBinding
{
    Motion drives = Motion::None;
    AxisShape shape;

    bool operator==(const AxisBinding &o) const { return drives == o.drives && shape == o.shape; }
    bool operator!=(const AxisBinding &o) const { return !(*this == o); }
};

struct ButtonBinding
{
    Action action = Action::None;
    int preset = 0; // 1 ... maxPreset with Action::Preset, else 0

    bool operator==(const ButtonBinding &o) const
    {
        return action == o.action && preset == o.preset;
    }
    bool operator!=(const ButtonBinding &o) const { return !(*this == o); }
    // Whether the button acts while held rather than once per press.
    bool isHeld() const { return action >= Action::PanLeft && action <= Action::FocusFar; }
};

// One row of the layout table.
struct ControlRow
{
    Control control;
    const char *key;      // its settings name, below gamepad/axes or gamepad/buttons
    const char *label;    // what the operator sees
    int sign;             // -1: SDL reports up as positive on this axis
    AxisBinding axis;     // the default, for axes
    ButtonBinding button; // the default, for buttons
};

const ControlRow &row(Control control);
// The control with a settings name, or -1.
int controlFromKey(const QString &key);

// The words the settings store keeps for motions and actions (a preset
// action is "preset" and its number: "preset3").
QString motionWord(Motion motion);
bool motionFromWord(const QString &word, Motion *motion);
QString actionWord(const ButtonBinding &binding);
bool actionFromWord(const QString &word, ButtonBinding *binding);

// What the dialog calls them.
QString motionLabel(Motion motion);
QString actionLabel(const ButtonBinding &binding);

} // namespace Pad

class PadLayout
{
public:
    // The default layout (the table's).
    PadLayout();

    const Pad::AxisBinding &axis(Pad::Control control) const;
    const Pad::ButtonBinding &button(Pad::Control control) const;
    void setAxis(Pad::Control control, const Pad::AxisBinding &binding);
    void setButton(Pad::Control control, const Pad::ButtonBinding &binding);

    bool operator==(const PadLayout &other) const;
    bool operator!=(const PadLayout &other) const { return !(*this == other); }

private:
    std::array<Pad::AxisBinding, Pad::axisCount> axes;
    std::array<Pad::ButtonBinding, Pad::buttonCount> buttons;
};

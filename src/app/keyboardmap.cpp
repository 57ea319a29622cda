#include "keyboardmap.h"

#include <iterator>

namespace {

// The modifier that decides a row: of the modifiers a key's rows name, the
// first one held (Ctrl before Alt before Shift) decides; None when none of
// them is held.
enum class Decider { None, Ctrl, Alt, Shift };

enum class Repeat {
    Ignored, // only the first press acts
    Any,     // first press and auto-repeats alike
    First,   // this row: first press only (a Repeat row covers repeats)
    Again,   // this row: auto-repeats only
};

struct PressRow
{
    int key;
    Decider decider;
    Repeat repeat;
    KeyAction action;
};

using K = KeyActionKind;

constexpr PressRow pressRows[] = {
    {Qt::Key_Plus, Decider::None, Repeat::Ignored, {K::PressLedUp}},
    {Qt::Key_Minus, Decider::None, Repeat::Ignored, {K::PressLedDown}},
    {Qt::Key_0, Decider::None, Repeat::Ignored, {K::ClickLedOff}},
    {Qt::Key_Home, Decider::Shift, Repeat::Ignored, {K::ClickBrightnessAuto}},
    {Qt::Key_Home, Decider::None, Repeat::Ignored, {K::ClickFocusAuto}},
    {Qt::Key_End, Decider::None, Repeat::Ignored, {K::ClickFocusTrigger}},

    {Qt::Key_Left, Decider::Ctrl, Repeat::Any, {K::PadChangeSpeed, -1, 0}},
    {Qt::Key_Left, Decider::None, Repeat::First, {K::PadSetSpeed, -3, 0}},
    {Qt::Key_Left, Decider::None, Repeat::Again, {K::PadKeepSpeed}},
    {Qt::Key_Up, Decider::Ctrl, Repeat::Any, {K::PadChangeSpeed, 0, -1}},
    {Qt::Key_Up, Decider::None, Repeat::First, {K::PadSetSpeed, 0, -3}},
    {Qt::Key_Up, Decider::None, Repeat::Again, {K::PadKeepSpeed}},
    {Qt::Key_Right, Decider::Ctrl, Repeat::Any, {K::PadChangeSpeed, 1, 0}},
    {Qt::Key_Right, Decider::None, Repeat::First, {K::PadSetSpeed, 3, 0}},
    {Qt::Key_Right, Decider::None, Repeat::Again, {K::PadKeepSpeed}},
    {Qt::Key_Down, Decider::Ctrl, Repeat::Any, {K::PadChangeSpeed, 0, 1}},
    {Qt::Key_Down, Decider::None, Repeat::First, {K::PadSetSpeed, 0, 3}},
    {Qt::Key_Down, Decider::None, Repeat::Again, {K::PadKeepSpeed}},

    {Qt::Key_PageUp, Decider::Ctrl, Repeat::Ignored, {K::ZoomStep, 1}},
    {Qt::Key_PageUp, Decider::Alt, Repeat::Ignored, {K::FocusSet, 1}},
    {Qt::Key_PageUp, Decider::Shift, Repeat::Ignored, {K::PressBrightnessUp}},
    {Qt::Key_PageUp, Decider::None, Repeat::Ignored, {K::ZoomSet, 3}},
    {Qt::Key_PageDown, Decider::Ctrl, Repeat::Ignored, {K::ZoomStep, -1}},
    {Qt::Key_PageDown, Decider::Alt, Repeat::Ignored, {K::FocusSet, -1}},
    {Qt::Key_PageDown, Decider::Shift, Repeat::Ignored, {K::PressBrightnessDown}},
    {Qt::Key_PageDown, Decider::None, Repeat::Ignored, {K::ZoomSet, -3}},

    // Cameras: Ctrl with a digit of the main row (the keypad's digits are
    // the presets'), Ctrl+Tab the next, Ctrl+Shift+Tab the previous.
    {Qt::Key_1, Decider::Ctrl, Repeat::Ignored, {K::SelectCamera, 1}},
    {Qt::Key_2, Decider::Ctrl, Repeat::Ignored, {K::SelectCamera, 2}},
    {Qt::Key_3, Decider::Ctrl, Repeat::Ignored, {K::SelectCamera, 3}},
    {Qt::Key_4, Decider::Ctrl, Repeat::Ignored, {K::SelectCamera, 4}},
    {Qt::Key_5, Decider::Ctrl, Repeat::Ignored, {K::SelectCamera, 5}},
    {Qt::Key_6, Decider::Ctrl, Repeat::Ignored, {K::SelectCamera, 6}},
    {Qt::Key_7, Decider::Ctrl, Repeat::Ignored, {K::SelectCamera, 7}},
    {Qt::Key_8, Decider::Ctrl, Repeat::Ignored, {K::SelectCamera, 8}},
    {Qt::Key_9, Decider::Ctrl, Repeat::Ignored, {K::SelectCamera, 9}},
    {Qt::Key_Tab, Decider::Ctrl, Repeat::Ignored, {K::NextCamera, 1}},
    {Qt::Key_Backtab, Decider::Ctrl, Repeat::Ignored, {K::NextCamera, -1}},
};

bool held(Decider modifier, Qt::KeyboardModifiers modifiers)
{
    switch (modifier) {
    case Decider::Ctrl:
        return modifiers & Qt::ControlModifier;
    case Decider::Alt:
        return modifiers & Qt::AltModifier;
    case Decider::Shift:
        return modifiers & Qt::ShiftModifier;
    case Decider::None:
        break;
    }
    return false;
}

Decider decidingModifier(int key, Qt::KeyboardModifiers modifiers)
{
    for (Decider candidate : {Decider::Ctrl, Decider::Alt, Decider::Shift}) {
        if (!held(candidate, modifiers))
            continue;
        for (const PressRow &row : pressRows) {
            if (row.key == key && row.decider == candidate)
                return candidate;
        }
    }
    return Decider::None;
}

bool repeatMatches(Repeat repeat, bool autoRepeat)
{
    switch (repeat) {
    case Repeat::Ignored:
    case Repeat::First:
        return !autoRepeat;
    case Repeat::Again:
        return autoRepeat;
    case Repeat::Any:
        return true;
    }
    return false;
}

bool isArrow(int key)
{
    return key == Qt::Key_Left || key == Qt::Key_Up || key == Qt::Key_Right || key == Qt::Key_Down;
}

} // namespace

bool isLampAction(KeyActionKind kind)
{
    return kind == K::PressLedUp || kind == K::PressLedDown || kind == K::ReleaseLedUp
        || kind == K::ReleaseLedDown || kind == K::ClickLedOff;
}

bool isCameraChoice(KeyActionKind kind)
{
    return kind == K::SelectCamera || kind == K::NextCamera;
}

QVector<KeyAction> keyPressActions(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat)
{
    if ((modifiers & Qt::KeypadModifier) && !(modifiers & (Qt::ControlModifier | Qt::AltModifier))) {
        if (key >= Qt::Key_0 && key <= Qt::Key_9)
            return autoRepeat ? QVector<KeyAction>{}
                              : QVector<KeyAction>{{K::PresetDigit, key == Qt::Key_0 ? 10 : key - Qt::Key_0}};
        if (key == Qt::Key_Asterisk)
            return autoRepeat ? QVector<KeyAction>{} : QVector<KeyAction>{{K::PresetStoreKey}};
    }
    if (key == Qt::Key_Escape)
        return autoRepeat ? QVector<KeyAction>{} : QVector<KeyAction>{{K::PresetCancel}};
    // Some platforms report Shift+Tab as Tab with Shift.
    if (key == Qt::Key_Tab && (modifiers & Qt::ShiftModifier))
        key = Qt::Key_Backtab;
    const Decider decider = decidingModifier(key, modifiers);
    for (const PressRow &row : pressRows) {
        if (row.key != key || row.decider != decider || !repeatMatches(row.repeat, autoRepeat))
            continue;
        if (row.action.kind == K::SelectCamera && (modifiers & Qt::KeypadModifier))
            return {};
        return {row.action};
    }
    return {};
}

QVector<KeyAction> keyReleaseActions(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat)
{
    // Ctrl and Alt return everything they could have left running to rest.
    if (key == Qt::Key_Control || key == Qt::Key_Alt)
        return {{K::ZoomSet, 0}, {K::FocusSet, 0}, {K::PadRest}};
    if (autoRepeat)
        return {};

    const bool ctrl = modifiers & Qt::ControlModifier;
    QVector<KeyAction> actions;
    if (key == Qt::Key_Plus)
        actions.append({K::ReleaseLedUp});
    else if (key == Qt::Key_Minus)
        actions.append({K::ReleaseLedDown});
    else if (isArrow(key) && !ctrl)
        actions.append({K::PadRest});
    else if (key == Qt::Key_PageUp || key == Qt::Key_PageDown) {
        if (!ctrl)
            actions.append({K::ZoomSet, 0});
        if (modifiers & Qt::AltModifier)
            actions.append({K::FocusSet, 0});
        if (modifiers & Qt::ShiftModifier)
            actions.append({K::ReleaseBrightness});
    }
    return actions;
}

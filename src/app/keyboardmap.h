// The keyboard control of the camera as data: which key, with which
// modifier and on which kind of press, does what to which panel widget. The
// window carries the actions out on the widgets the mouse uses, so every
// command still comes from the panels' own slots.
#pragma once

#include <QVector>
#include <Qt>

enum class KeyActionKind {
    PressLedUp,     // check "LED Up" unless it already is
    PressLedDown,   // check "LED Down" unless it already is
    ReleaseLedUp,   // uncheck "LED Up" if it is checked
    ReleaseLedDown, // uncheck "LED Down" if it is checked
    ClickLedOff,
    ClickBrightnessAuto,
    ClickFocusAuto,
    ClickFocusTrigger,
    PadSetSpeed,         // focus, recentre, set speed (x, y), activate
    PadChangeSpeed,      // focus, recentre, step speed by (x, y), activate
    PadKeepSpeed,        // focus, recentre, activate
    PadRest,             // speed 0, ring back to the centre
    ZoomStep,            // zoom slider += x
    ZoomSet,             // zoom slider := x
    FocusSet,            // focus slider := x
    PressBrightnessUp,   // emit pressed() of "Bright"
    PressBrightnessDown, // emit pressed() of "Dark"
    ReleaseBrightness,   // emit released() of "Bright", then of "Dark"
    PresetDigit,         // keypad digit: recall preset x, or store into it after "*"
    PresetStoreKey,      // keypad "*": the next digit stores; pressed again, cancels
    PresetCancel,        // Escape: a waiting "*" is cancelled
    SelectCamera,        // camera x (1 ... 9) becomes the current one
    NextCamera,          // the next camera (x = +1) or the previous one (x = -1)
};

struct KeyAction
{
    KeyActionKind kind;
    int x = 0;
    int y = 0;
};

// The actions that drive the lamp (device 2) through its panel.
bool isLampAction(KeyActionKind kind);
// The actions that choose the camera: they act whether or not the current
// camera's route is up.
bool isCameraChoice(KeyActionKind kind);

// What a key press does: at most one action. Auto-repeats count as presses.
// The keypad's digits (Qt's keypad modifier, that is with NumLock on) recall
// presets 1 ... 9, its 0 preset 10, its "*" arms the store; with Ctrl or Alt
// held they do nothing here (Ctrl with digits selects cameras, desktops
// take Alt with keypad digits). With NumLock off the keypad sends Home, End,
// the arrows and the page keys, which keep their rows.
QVector<KeyAction> keyPressActions(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat);

// What a key release does, in order.
QVector<KeyAction> keyReleaseActions(int key, Qt::KeyboardModifiers modifiers, bool autoRepeat);

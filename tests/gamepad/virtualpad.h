// A game controller that exists only inside SDL (SDL's virtual joystick): it
// goes through the same hot-plug, mapping and event path as a pad on USB,
// without hardware, /dev/input or udev.
#pragma once

#include "padlayout.h"

#include <QString>

struct _SDL_Joystick;

class VirtualPad
{
public:
    // Keeps every real device out of the test's way: no udev, no HIDAPI, and
    // SDL's game-controller layer ignores any device but virtual ones. Call
    // before pad input is first switched on.
    static void isolate();

    // Plugs the pad in (SDL must be running: pad input switched on).
    explicit VirtualPad(const QString &name);
    // Unplugs it if it is still plugged in.
    ~VirtualPad();
    VirtualPad(const VirtualPad &) = delete;
    VirtualPad &operator=(const VirtualPad &) = delete;

    bool isPlugged() const { return joystick != nullptr; }
    // Values as the pad would report them: sticks -32768 ... 32767,
    // triggers 0 ... 32767. SDL reads them at its next pump.
    void set(Pad::Control control, int value);
    void unplug();
    // Makes SDL read the pad now, as a pump would: its events queue up
    // until the next pump takes them.
    static void readNow();

private:
    _SDL_Joystick *joystick = nullptr;
    int instance = -1;
};

#include "virtualpad.h"

#include <QHash>

#include <SDL.h>

void VirtualPad::isolate()
{
    qputenv("SDL_JOYSTICK_DISABLE_UDEV", "1");
    qputenv("SDL_JOYSTICK_HIDAPI", "0");
    // An exception list that names no real device: every real pad is
    // ignored, virtual ones are not filtered.
    qputenv("SDL_GAMECONTROLLER_IGNORE_DEVICES_EXCEPT", "0x0000/0x0000");
}

VirtualPad::VirtualPad(const QString &name)
{
    const QByteArray utf8 = name.toUtf8();
    SDL_VirtualJoystickDesc desc;
    SDL_zero(desc);
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = Pad::buttonCount;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    desc.button_mask = (1u << Pad::buttonCount) - 1;
    desc.vendor_id = 0x7a7d;
    // Pads of one product share SDL's mapping, and with it the name: each
    // name is a product of its own here.
    desc.product_id = Uint16(qHash(name));
    desc.name = utf8.constData();
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) {
        qWarning("virtual pad not attached: %s", SDL_GetError());
        return;
    }
    // A handle of the test's own, so values can be set before the pad is
    // opened by the code under test.
    joystick = SDL_JoystickOpen(index);
    instance = SDL_JoystickGetDeviceInstanceID(index);
    // Its triggers span the joystick's whole range: at rest they stand at
    // its bottom.
    set(Pad::Control::LeftTrigger, 0);
    set(Pad::Control::RightTrigger, 0);
}

VirtualPad::~VirtualPad()
{
    unplug();
}

void VirtualPad::set(Pad::Control control, int value)
{
    if (!joystick || !SDL_WasInit(SDL_INIT_JOYSTICK))
        return;
    const int index = int(control);
    if (control == Pad::Control::LeftTrigger || control == Pad::Control::RightTrigger) {
        // 0 ... 32767 as the game-controller layer reports it, from the
        // joystick's -32768 ... 32767.
        const int raw = int(qBound(0, value, 32767) * 65535LL / 32767) - 32768;
        SDL_JoystickSetVirtualAxis(joystick, index, Sint16(qBound(-32768, raw, 32767)));
    } else if (Pad::isAxis(control)) {
        SDL_JoystickSetVirtualAxis(joystick, index, Sint16(qBound(-32768, value, 32767)));
    } else {
        SDL_JoystickSetVirtualButton(joystick, index - Pad::axisCount,
                                     value ? SDL_PRESSED : SDL_RELEASED);
    }
}

void VirtualPad::unplug()
{
    if (!joystick)
        return;
    // After SDL has quit (pad input switched off) the pad is gone already.
    if (SDL_WasInit(SDL_INIT_JOYSTICK)) {
        for (int i = 0; i < SDL_NumJoysticks(); ++i) {
            if (SDL_JoystickGetDeviceInstanceID(i) == instance) {
                SDL_JoystickDetachVirtual(i);
                break;
            }
        }
        SDL_JoystickClose(joystick);
    }
    joystick = nullptr;
}

void VirtualPad::readNow()
{
    if (SDL_WasInit(SDL_INIT_JOYSTICK))
        SDL_JoystickUpdate();
}

// Turns what the pad's controls show into the speeds of the camera's
// movements, after the layout: each axis through its shaping, each held
// button as the slowest move of its direction. Several controls on one
// movement add up (both triggers on zoom: in minus out), within the
// movement's top. Plain code: no SDL, no timer, no signals.
#pragma once

#include "padlayout.h"

#include <array>

// The tops of the movements: the camera's ranges. Pan 1 ... 24 (VISCA 01 ...
// 18h), tilt 1 ... 20 (01 ... 14h); zoom and focus as rates 1 ... 8, as the
// window's sliders give them (rate n is VISCA speed n - 1, 0 ... 7).
struct PadLimits
{
    int pan = 24;
    int tilt = 20;
    int zoom = 8;
    int focus = 8;

    int of(Pad::Motion motion) const;
};

// Signed speeds of the movements (0: at rest). Pan > 0 right, tilt > 0 up,
// zoom > 0 in (tele), focus > 0 far.
struct PadDrive
{
    int pan = 0;
    int tilt = 0;
    int zoom = 0;
    int focus = 0;

    bool isRest() const { return pan == 0 && tilt == 0 && zoom == 0 && focus == 0; }
    bool operator==(const PadDrive &o) const
    {
        return pan == o.pan && tilt == o.tilt && zoom == o.zoom && focus == o.focus;
    }
    bool operator!=(const PadDrive &o) const { return !(*this == o); }
};

class PadMixer
{
public:
    // A layout or limits that change start every axis afresh (no held step).
    void setLayout(const PadLayout &layout);
    void setLimits(const PadLimits &limits);
    const PadLayout &layout() const { return current; }
    const PadLimits &limits() const { return tops; }

    // A control's new value: SDL's -32768 ... 32767 for a stick, 0 ... 32767
    // for a trigger, 0 or 1 for a button. Returns what a button that was
    // just pressed does once (Action::None otherwise).
    Pad::ButtonBinding set(Pad::Control control, int value);
    // Every control at rest (the pad went away).
    void reset();

    PadDrive drive() const;

private:
    void shapeAxis(int axis);

    PadLayout current;
    PadLimits tops;
    std::array<int, Pad::controlCount> values{};
    std::array<int, Pad::axisCount> speeds{}; // each axis's step, held as the shaping holds it
};

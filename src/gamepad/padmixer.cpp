#include "padmixer.h"

#include <QtGlobal>

namespace {

// What a held button adds to a movement: the slowest step of its direction.
struct HeldMove
{
    Pad::Action action;
    Pad::Motion motion;
    int step;
};

constexpr HeldMove heldMoves[] = {
    {Pad::Action::PanLeft, Pad::Motion::Pan, -1},
    {Pad::Action::PanRight, Pad::Motion::Pan, 1},
    {Pad::Action::TiltUp, Pad::Motion::Tilt, 1},
    {Pad::Action::TiltDown, Pad::Motion::Tilt, -1},
    {Pad::Action::ZoomIn, Pad::Motion::Zoom, 1},
    {Pad::Action::ZoomOut, Pad::Motion::Zoom, -1},
    {Pad::Action::FocusFar, Pad::Motion::Focus, 1},
    {Pad::Action::FocusNear, Pad::Motion::Focus, -1},
};

} // namespace

int PadLimits::of(Pad::Motion motion) const
{
    switch (motion) {
    case Pad::Motion::Pan:
        return pan;
    case Pad::Motion::Tilt:
        return tilt;
    case Pad::Motion::Zoom:
        return zoom;
    case Pad::Motion::Focus:
        return focus;
    case Pad::Motion::None:
        break;
    }
    return 0;
}

void PadMixer::setLayout(const PadLayout &layout)
{
    current = layout;
    speeds.fill(0);
    for (int axis = 0; axis < Pad::axisCount; ++axis)
        shapeAxis(axis);
}

void PadMixer::setLimits(const PadLimits &limits)
{
    tops = limits;
    speeds.fill(0);
    for (int axis = 0; axis < Pad::axisCount; ++axis)
        shapeAxis(axis);
}

Pad::ButtonBinding PadMixer::set(Pad::Control control, int value)
{
    const int index = int(control);
    if (index < 0 || index >= Pad::controlCount)
        return {};
    if (Pad::isAxis(control)) {
        values[index] = value;
        shapeAxis(index);
        return {};
    }
    const int pressed = value ? 1 : 0;
    const bool press = pressed && !values[index];
    values[index] = pressed;
    const Pad::ButtonBinding &binding = current.button(control);
    return press && !binding.isHeld() ? binding : Pad::ButtonBinding{};
}

void PadMixer::reset()
{
    values.fill(0);
    speeds.fill(0);
}

void PadMixer::shapeAxis(int axis)
{
    const auto control = Pad::Control(axis);
    const Pad::AxisBinding &binding = current.axis(control);
    const int top = AxisShaping::topOf(binding.shape, tops.of(binding.drives));
    const double position = AxisShaping::position(values[axis], Pad::row(control).sign);
    speeds[axis] = AxisShaping::heldSpeed(position, binding.shape, top, speeds[axis]);
}

PadDrive PadMixer::drive() const
{
    int sums[5] = {}; // indexed by Pad::Motion
    for (int axis = 0; axis < Pad::axisCount; ++axis)
        sums[int(current.axis(Pad::Control(axis)).drives)] += speeds[axis];
    for (int i = Pad::axisCount; i < Pad::controlCount; ++i) {
        if (!values[i])
            continue;
        const Pad::Action action = current.button(Pad::Control(i)).action;
        for (const HeldMove &move : heldMoves) {
            if (move.action == action)
                sums[int(move.motion)] += move.step;
        }
    }
    const auto within = [&](Pad::Motion motion) {
        const int top = qMax(0, tops.of(motion));
        return qBound(-top, sums[int(motion)], top);
    };
    PadDrive drive;
    drive.pan = within(Pad::Motion::Pan);
    drive.tilt = within(Pad::Motion::Tilt);
    drive.zoom = within(Pad::Motion::Zoom);
    drive.focus = within(Pad::Motion::Focus);
    return drive;
}

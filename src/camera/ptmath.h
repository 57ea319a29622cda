// Arithmetic of the pan-tilt pad, free of any widget: the pixel step of one
// speed unit, rounding and clamping of speeds, and the two conversions
// between a point on the pad and a (pan, tilt) speed.
#pragma once

#include <QPoint>
#include <QSize>

namespace PtMath {

// Largest pan or tilt speed in either direction.
constexpr int SpeedLimit = 5;

// Pixels per speed unit for a pad of the given width: (width / 2) / 5, both
// divisions truncating toward zero. Pads narrower than 10 px get step 0.
int stepForWidth(int width);

// The pad's reference point for the given size: (width / 2, height / 2).
QPoint centerOf(const QSize &size);

// Nearest integer to q, exact halves toward +infinity (2.5 -> 3, -2.5 -> -2).
// q must lie well inside the int range.
int roundHalfUp(double q);

// One speed component limited to -SpeedLimit ... +SpeedLimit. Takes a wide
// type so that a sum of a speed and an arbitrary increment cannot overflow.
int clampSpeed(qint64 value);

// Mouse path: the speed for a pointer at `pointer`. The offset is taken as
// center - pointer, so a pointer right of or below the centre gives negative
// speeds. With step 0 any offset saturates.
QPoint speedFromPointer(const QPoint &center, const QPoint &pointer, int step);

// Keyboard path: where the ring goes for a speed, center + speed * step, so a
// positive pan lies right of and a positive tilt below the centre.
QPoint positionFromSpeed(const QPoint &center, const QPoint &speed, int step);

} // namespace PtMath

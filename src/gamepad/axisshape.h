// How far a pad axis is pushed becomes a speed step: dead zone, response
// curve, top speed and inversion of one axis, as plain functions.
//
// The curve: p is the axis position, -1 ... 1 (SDL's -32768 ... 32767 over
// 32767, clamped; up and right positive), negated when the axis is inverted;
// d the dead zone, e the curve's exponent, T the top speed. Then
//
//     speed(p) = 0                                  when |p| <= d
//     speed(p) = sign(p) * ceil(T * u^e)            otherwise, u = (|p| - d) / (1 - d)
//
// so every step 1 ... T owns an equal share (1/T) of the curve's output, and a
// step is never skipped: u runs continuously from 0 to 1. e = 1 is linear;
// e = 2 or 3 give the slow steps more of the travel. A stick inside its dead
// zone gives exactly 0.
//
// Between two non-zero steps a held axis changes only once the curve's output
// lies a quarter step past the edge (heldSpeed), so a stick that trembles on
// an edge does not flood the camera with alternating speeds. Rest (0) and a
// start from rest are never delayed.
#pragma once

struct AxisShape
{
    int deadZonePercent = 8; // 0 ... 50 % of the travel from rest
    double curve = 1.0;      // the exponent e, 1.0 ... 3.0 in tenths
    int topSpeed = 0;        // 0: the top of the operation the axis drives
    bool inverted = false;

    bool operator==(const AxisShape &other) const
    {
        return deadZonePercent == other.deadZonePercent && curve == other.curve
            && topSpeed == other.topSpeed && inverted == other.inverted;
    }
    bool operator!=(const AxisShape &other) const { return !(*this == other); }
};

namespace AxisShaping {

constexpr int maxDeadZonePercent = 50;
constexpr double minCurve = 1.0;
constexpr double maxCurve = 3.0;
// A quarter of one speed step, in the curve's output.
constexpr double hysteresis = 0.25;

// SDL's axis value as a position -1 ... 1; `sign` -1 turns SDL's "down is
// positive" of the vertical stick axes into "up is positive".
double position(int raw, int sign);

// The top speed an axis reaches: its own setting within 1 ... `limit` (the
// operation's top), or `limit` itself when the setting is 0.
int topOf(const AxisShape &shape, int limit);

// The speed step for a position, from rest (the formula above).
int speed(double position, const AxisShape &shape, int top);

// The speed step for a position when the axis gave `previous` until now.
int heldSpeed(double position, const AxisShape &shape, int top, int previous);

// A curve exponent as the settings and the dialog keep it: within 1 ... 3,
// in tenths.
double roundedCurve(double curve);

} // namespace AxisShaping

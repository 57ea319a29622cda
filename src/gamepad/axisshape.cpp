#include "axisshape.h"

#include <QtGlobal>

#include <cmath>
#include <cstdlib>

namespace AxisShaping {

namespace {

constexpr double fullTravel = 32767.0;

// The curve's output T * u^e, signed as the position; 0 inside the dead zone.
double level(double position, const AxisShape &shape, int top)
{
    const double p = shape.inverted ? -position : position;
    const double deadZone = qBound(0, shape.deadZonePercent, maxDeadZonePercent) / 100.0;
    const double size = std::fabs(p);
    if (!(size > deadZone))
        return 0.0;
    const double u = std::fmin(1.0, (size - deadZone) / (1.0 - deadZone));
    const double output = top * std::pow(u, roundedCurve(shape.curve));
    return p < 0 ? -output : output;
}

int stepOf(double level)
{
    if (level == 0.0)
        return 0;
    // The small allowance keeps an output that lands exactly on an edge
    // (T * 1.0 at full travel) from rounding up past it.
    const int step = qMax(1, int(std::ceil(std::fabs(level) - 1e-9)));
    return level < 0 ? -step : step;
}

} // namespace

double position(int raw, int sign)
{
    const double p = qBound(-1.0, raw / fullTravel, 1.0);
    return sign < 0 ? -p : p;
}

int topOf(const AxisShape &shape, int limit)
{
    if (limit < 1)
        return 0;
    return shape.topSpeed <= 0 ? limit : qMin(shape.topSpeed, limit);
}

int speed(double position, const AxisShape &shape, int top)
{
    return top < 1 ? 0 : stepOf(level(position, shape, top));
}

int heldSpeed(double position, const AxisShape &shape, int top, int previous)
{
    const double output = top < 1 ? 0.0 : level(position, shape, top);
    const int next = stepOf(output);
    if (next == 0 || previous == 0 || next == previous || (next < 0) != (previous < 0))
        return next;
    const double size = std::fabs(output);
    const int before = std::abs(previous);
    if (std::abs(next) > before)
        return size - hysteresis > before ? next : previous;
    return size + hysteresis <= before - 1 ? next : previous;
}

double roundedCurve(double curve)
{
    if (!std::isfinite(curve))
        return minCurve;
    return std::round(qBound(minCurve, curve, maxCurve) * 10.0) / 10.0;
}

} // namespace AxisShaping

#include "ptmath.h"

#include <cmath>
#include <limits>

namespace PtMath {

int stepForWidth(int width)
{
    return (width / 2) / 5;
}

QPoint centerOf(const QSize &size)
{
    return QPoint(size.width() / 2, size.height() / 2);
}

int roundHalfUp(double q)
{
    if (q >= 0)
        return static_cast<int>(std::trunc(q + 0.5));
    // Shift a negative q into [0, 1) by a whole number, round there (halves go
    // up), and shift back.
    const double whole = std::trunc(q - 1);
    return static_cast<int>(std::trunc(q - whole + 0.5) + whole);
}

int clampSpeed(qint64 value)
{
    if (value > SpeedLimit)
        return SpeedLimit;
    if (value < -SpeedLimit)
        return -SpeedLimit;
    return static_cast<int>(value);
}

namespace {

int axisSpeed(int centerCoord, int pointerCoord, int step)
{
    const double offset = double(centerCoord) - double(pointerCoord);
    double q;
    if (step > 0)
        q = offset / step;
    else
        q = offset > 0   ? std::numeric_limits<double>::infinity()
            : offset < 0 ? -std::numeric_limits<double>::infinity()
                         : 0.0;
    // Rounding is monotonic and the limits are whole numbers, so bounding q
    // just outside the limits first gives the same result as rounding the
    // raw quotient, without ever leaving the int range.
    const double bound = SpeedLimit + 1;
    if (q > bound)
        q = bound;
    else if (q < -bound)
        q = -bound;
    return clampSpeed(roundHalfUp(q));
}

} // namespace

QPoint speedFromPointer(const QPoint &center, const QPoint &pointer, int step)
{
    return QPoint(axisSpeed(center.x(), pointer.x(), step),
                  axisSpeed(center.y(), pointer.y(), step));
}

QPoint positionFromSpeed(const QPoint &center, const QPoint &speed, int step)
{
    return center + speed * step;
}

} // namespace PtMath

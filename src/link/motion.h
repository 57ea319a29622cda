// What one VISCA packet does to the camera's movement: which axis of which
// device it drives or stops, or neither. The queue rules and the routes ask
// this, so that a stop can be told from the drive it ends whatever the
// route.
#pragma once

#include <QByteArray>

namespace Motion {

enum class Axis { None, Zoom, Focus, PanTilt };
enum class Role { Other, Drive, Stop };

struct Kind
{
    Axis axis = Axis::None;
    int device = 0; // 1 ... 7, from the header byte 8x
    Role role = Role::Other;

    bool isDrive() const { return role == Role::Drive; }
    bool isStop() const { return role == Role::Stop; }
    // Same axis of the same device (the lamp is the pan-tilt of device 2).
    bool sameAxis(const Kind &other) const
    {
        return axis != Axis::None && axis == other.axis && device == other.device;
    }
    // A small number for each axis of each device, for tables.
    int axisKey() const { return device * 4 + int(axis); }
};

constexpr int axisKeys = 8 * 4;

// Zoom 8x 01 04 07 pp FF and focus 8x 01 04 08 pp FF: 00 stops, 02 / 03
// and 2p / 3p drive. Pan-tilt 8x 01 06 01 VV WW hh vv FF: 03 03 stops,
// any other direction drives. Everything else is Other.
Kind of(const QByteArray &packet);

} // namespace Motion

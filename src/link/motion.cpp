#include "motion.h"

namespace Motion {

namespace {

constexpr char terminator = char(0xFF);

// pp of a zoom or focus command: the stop, a drive, or neither.
Role rateRole(quint8 pp)
{
    if (pp == 0x00)
        return Role::Stop;
    const quint8 high = pp & 0xF0;
    if (pp == 0x02 || pp == 0x03 || high == 0x20 || high == 0x30)
        return Role::Drive;
    return Role::Other;
}

bool isDirection(quint8 byte)
{
    return byte >= 0x01 && byte <= 0x03;
}

} // namespace

Kind of(const QByteArray &packet)
{
    Kind kind;
    const int size = packet.size();
    if (size < 6 || packet.at(size - 1) != terminator || packet.at(1) != 0x01)
        return kind;
    const quint8 header = quint8(packet.at(0));
    if ((header & 0xF0) != 0x80 || (header & 0x0F) < 1 || (header & 0x0F) > 7)
        return kind;
    const int device = header & 0x0F;
    const quint8 category = quint8(packet.at(2));
    const quint8 command = quint8(packet.at(3));
    if (size == 6 && category == 0x04 && (command == 0x07 || command == 0x08)) {
        kind.role = rateRole(quint8(packet.at(4)));
        if (kind.role != Role::Other) {
            kind.axis = command == 0x07 ? Axis::Zoom : Axis::Focus;
            kind.device = device;
        }
        return kind;
    }
    if (size == 9 && category == 0x06 && command == 0x01) {
        const quint8 pan = quint8(packet.at(6));
        const quint8 tilt = quint8(packet.at(7));
        if (!isDirection(pan) || !isDirection(tilt))
            return kind;
        kind.axis = Axis::PanTilt;
        kind.device = device;
        kind.role = pan == 0x03 && tilt == 0x03 ? Role::Stop : Role::Drive;
    }
    return kind;
}

} // namespace Motion

#include "viscainquiry.h"

#include <algorithm>

namespace ViscaInquiry {

namespace {

QByteArray inquiry(int address, char command)
{
    QByteArray packet("\x81\x09\x04\x00\xFF", 5);
    packet[0] = char(0x80 + std::clamp(address, 1, 7));
    packet[3] = command;
    return packet;
}

int percentOf(int position, int from, int to)
{
    if (position < 0)
        return -1;
    return std::clamp(int((qint64(position) - from) * 100 / (to - from)), 0, 100);
}

const QString unknown = QStringLiteral("\u2013");

} // namespace

QByteArray zoomPositionInquiry(int address)
{
    return inquiry(address, 0x47);
}

QByteArray focusPositionInquiry(int address)
{
    return inquiry(address, 0x48);
}

QByteArray powerInquiry(int address)
{
    return inquiry(address, 0x00);
}

int positionOf(const QByteArray &data)
{
    if (data.size() != 4)
        return -1;
    int value = 0;
    for (const char nibble : data) {
        if (quint8(nibble) > 0x0F)
            return -1;
        value = value << 4 | quint8(nibble);
    }
    return value;
}

Power powerOf(const QByteArray &data)
{
    if (data.size() != 1)
        return Power::Unknown;
    return data.at(0) == 0x02 ? Power::On : data.at(0) == 0x03 ? Power::Standby : Power::Unknown;
}

int zoomPercent(int position)
{
    return percentOf(position, kZoomWide, kZoomTele);
}

int focusPercent(int position)
{
    return percentOf(position, kFocusFar, kFocusNear);
}

QString zoomReadout(int position)
{
    if (position < 0)
        return unknown;
    return QString::number(zoomPercent(position))
        + (position > kZoomTele ? QStringLiteral(" % +") : QStringLiteral(" %"));
}

QString focusReadout(int position)
{
    return position < 0 ? unknown : QString::number(focusPercent(position)) + QStringLiteral(" %");
}

} // namespace ViscaInquiry

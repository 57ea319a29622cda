// The bytes on the camera's line as text a test compares: upper-case hex,
// one packet (ending in the terminator FF) per word, so that a failed
// comparison reads as a list of packets.
#pragma once

#include "ptypair.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace PacketText {

inline QString fromBytes(const QByteArray &bytes)
{
    QStringList packets;
    QString packet;
    for (const char byte : bytes) {
        packet += QString::fromLatin1(QByteArray(1, byte).toHex().toUpper());
        if (quint8(byte) == 0xFF) {
            packets << packet;
            packet.clear();
        }
    }
    if (!packet.isEmpty())
        packets << packet;
    return packets.join(QLatin1Char(' '));
}

// Packets written as hex text, with or without blanks between them.
inline QString fromHex(const QString &hex)
{
    return fromBytes(QByteArray::fromHex(hex.toLatin1()));
}

// What the camera received: as many bytes as `expectedHex` holds or, when
// nothing is expected, whatever arrives within 50 ms.
inline QString received(PtyPair &line, const QString &expectedHex)
{
    const int expected = QByteArray::fromHex(expectedHex.toLatin1()).size();
    return fromBytes(expected > 0 ? line.read(expected) : line.read(0, 50));
}

// The packet a rate slider (zoom, focus) sends at a value of -8 ... 8:
// `head` is the command's first four bytes, 81010407 for zoom, 81010408
// for focus.
inline QString rate(const char *head, int value)
{
    if (value == 0)
        return QLatin1String(head) + QLatin1String("00FF");
    const char direction = value > 0 ? '2' : '3';
    return QLatin1String(head) + QLatin1Char(direction) + QString::number(qAbs(value) - 1)
        + QLatin1String("FF");
}

inline QString zoom(int value)
{
    return rate("81010407", value);
}
inline QString focus(int value)
{
    return rate("81010408", value);
}

} // namespace PacketText

#include "viscaframer.h"

QList<ViscaFramer::Piece> ViscaFramer::push(const QByteArray &bytes)
{
    QList<Piece> out;
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        if (!pending.isEmpty()) {
            if (isHeader(byte)) { // a new packet starts: the open one was cut short
                out << Piece{Piece::Kind::Packet, pending};
                pending = QByteArray(1, c);
            } else if (byte == 0xFF) {
                out << Piece{Piece::Kind::Packet, pending + c};
                pending.clear();
            } else if (pending.size() + 1 >= kMaxPacket) {
                out << Piece{Piece::Kind::Overlong, pending + c};
                pending.clear();
            } else {
                pending += c;
            }
        } else if (isHeader(byte)) {
            takeGarbage(&out);
            pending = QByteArray(1, c);
        } else {
            garbage += c;
            if (byte == 0xFF || garbage.size() >= kMaxPacket)
                takeGarbage(&out);
        }
    }
    return out;
}

QList<ViscaFramer::Piece> ViscaFramer::flush()
{
    QList<Piece> out;
    takeGarbage(&out);
    if (!pending.isEmpty())
        out << Piece{Piece::Kind::Packet, pending};
    pending.clear();
    return out;
}

void ViscaFramer::takeGarbage(QList<Piece> *out)
{
    if (garbage.isEmpty())
        return;
    *out << Piece{Piece::Kind::Garbage, garbage};
    garbage.clear();
}

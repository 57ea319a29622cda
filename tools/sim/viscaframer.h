// Cuts a VISCA byte stream into pieces: packets (a header byte 81..88 up to
// and including FF), packets cut short, packets that never end, and the
// bytes between packets. Every byte lands in exactly one piece, in order.
//
// The serial line keeps one framer for its whole life (a packet may arrive
// in several reads); a network packet is framed on its own and flushed.
#pragma once

#include <QByteArray>
#include <QList>

class ViscaFramer
{
public:
    static constexpr int kMaxPacket = 16; // header, up to 14 payload bytes, FF

    struct Piece
    {
        enum class Kind {
            Packet,   // header first; ends in FF unless it was cut short
            Overlong, // a header and kMaxPacket bytes without FF
            Garbage,  // bytes outside any packet
        };
        Kind kind = Kind::Packet;
        QByteArray bytes;
    };

    // The pieces the bytes complete; an open packet waits for more.
    QList<Piece> push(const QByteArray &bytes);
    // Ends the stream: what is still open comes out as it is.
    QList<Piece> flush();

    static bool isHeader(quint8 byte) { return byte >= 0x81 && byte <= 0x88; }

private:
    void takeGarbage(QList<Piece> *out);

    QByteArray pending; // an open packet, header first
    QByteArray garbage; // bytes outside any packet, not reported yet
};

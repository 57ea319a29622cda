// Cuts a byte stream from a camera (a TCP connection, a serial line) into
// VISCA packets, each ending in the terminator FF. A packet is at most
// maxPacket bytes: bytes that reach that length without an FF are no packet,
// so they are dropped up to and including the next FF and counted. Linear in
// the bytes fed: each byte is looked at once, and no more than maxPacket
// bytes are ever kept between calls.
#pragma once

#include <QByteArray>

#include <functional>

class PacketSplitter
{
public:
    static constexpr int maxPacket = 16;

    using Take = std::function<void(const QByteArray &packet)>;

    // Hands each packet completed by `bytes` to `take`, in order; returns
    // how many bytes this call dropped as unreadable.
    int feed(const char *bytes, int size, const Take &take);
    int feed(const QByteArray &bytes, const Take &take)
    {
        return feed(bytes.constData(), int(bytes.size()), take);
    }

    // Bytes of a packet begun but not ended yet (at most maxPacket - 1).
    int pending() const { return int(partial.size()); }
    // All bytes dropped since the splitter was made or reset.
    qint64 dropped() const { return droppedTotal; }
    void reset();

private:
    QByteArray partial;
    bool skipping = false; // dropping up to the next FF
    qint64 droppedTotal = 0;
};

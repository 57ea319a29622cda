// OSC 1.1 stream framing (SLIP, RFC 1055): each packet ends with END (C0),
// senders may also begin one with END (the "double-END" form), and END and
// ESC (DB) inside a packet travel as DB DC and DB DD. Empty packets between
// two ENDs are nothing. A packet longer than maxPacket, or with ESC before
// any other byte, is dropped whole at its END and reported once; at most
// maxPacket bytes are ever kept.
#pragma once

#include <QByteArray>

#include <functional>

class SlipDecoder
{
public:
    static constexpr int maxPacket = 4096;

    enum class Fault { None, TooLong, BadEscape };

    // `take` is called once per packet ended in `data`, in order, with the
    // packet (Fault::None) or with an empty array and why it was dropped.
    using Take = std::function<void(const QByteArray &packet, Fault fault)>;
    void feed(const char *data, int size, const Take &take);

    // Bytes of a packet not ended yet.
    int pending() const { return int(packet.size()); }

private:
    QByteArray packet;
    Fault fault = Fault::None;
    bool escaped = false;
};

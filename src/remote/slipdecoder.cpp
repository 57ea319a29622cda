#include "slipdecoder.h"

namespace {
constexpr char kEnd = char(0xC0);
constexpr char kEsc = char(0xDB);
constexpr char kEscEnd = char(0xDC);
constexpr char kEscEsc = char(0xDD);
} // namespace

void SlipDecoder::feed(const char *data, int size, const Take &take)
{
    for (int i = 0; i < size; ++i) {
        const char byte = data[i];
        if (byte == kEnd) {
            if (escaped)
                fault = Fault::BadEscape;
            if (fault != Fault::None)
                take(QByteArray(), fault);
            else if (!packet.isEmpty())
                take(packet, Fault::None);
            packet.clear();
            fault = Fault::None;
            escaped = false;
            continue;
        }
        if (fault != Fault::None)
            continue;
        char out = byte;
        if (escaped) {
            escaped = false;
            if (byte == kEscEnd) {
                out = kEnd;
            } else if (byte == kEscEsc) {
                out = kEsc;
            } else {
                fault = Fault::BadEscape;
                packet.clear();
                continue;
            }
        } else if (byte == kEsc) {
            escaped = true;
            continue;
        }
        if (packet.size() >= maxPacket) {
            fault = Fault::TooLong;
            packet.clear();
            continue;
        }
        packet.append(out);
    }
}

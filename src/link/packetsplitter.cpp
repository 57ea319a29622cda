#include "packetsplitter.h"

#include <cstring>

int PacketSplitter::feed(const char *bytes, int size, const Take &take)
{
    constexpr unsigned char terminator = 0xFF;
    int dropped = 0;
    int at = 0;
    while (at < size) {
        const char *from = bytes + at;
        if (skipping) {
            const auto *end
                = static_cast<const char *>(std::memchr(from, terminator, size_t(size - at)));
            if (!end) {
                dropped += size - at;
                break;
            }
            const int span = int(end - from) + 1;
            dropped += span;
            at += span;
            skipping = false;
            continue;
        }
        // Look no further than a packet can reach.
        const int room = maxPacket - int(partial.size());
        const int window = qMin(room, size - at);
        const auto *end = static_cast<const char *>(std::memchr(from, terminator, size_t(window)));
        if (end) {
            const int span = int(end - from) + 1;
            at += span;
            if (partial.isEmpty()) {
                take(QByteArray(from, span));
            } else {
                partial.append(from, span);
                const QByteArray packet = partial;
                partial.clear();
                take(packet);
            }
            continue;
        }
        partial.append(from, window);
        at += window;
        if (partial.size() == maxPacket) {
            dropped += maxPacket;
            partial.clear();
            skipping = true;
        }
    }
    droppedTotal += dropped;
    return dropped;
}

void PacketSplitter::reset()
{
    partial.clear();
    skipping = false;
    droppedTotal = 0;
}

// Any two words as (group, action), any addresses, and any command text:
// every packet the vocabulary gives is whole hex bytes, addressed to the
// camera or its lamp and ending in the VISCA terminator, and decoding
// arbitrary text never fails.
#include "fuzzsupport.h"
#include "viscavocabulary.h"

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QString text = fuzzText(data, size);
    const int split = text.indexOf(QLatin1Char('\n'));
    const QString group = normaliseWord(text.left(split));
    const QString action = split < 0 ? QString() : normaliseWord(text.mid(split + 1));
    // The first byte places the camera and its lamp (0 ... 7 each; 0 and
    // anything beyond 7 are no address).
    const ViscaAddresses to{size > 0 ? data[0] & 0x0F : 1, size > 0 ? data[0] >> 4 : 2};
    const QList<ViscaPacket> packets = viscaPackets(group, action, to);
    for (const ViscaPacket &packet : packets) {
        const QByteArray bytes = commandBytes(packet.text);
        fuzzCheck(bytes == packet.bytes, "a packet's text spells its bytes");
        fuzzCheck(bytes.size() >= 3 && bytes.size() * 2 == packet.text.size(),
                  "a packet is whole bytes");
        const int address = quint8(bytes.front()) - 0x80;
        fuzzCheck(quint8(bytes.back()) == 0xff && (address == to.camera || address == to.lamp)
                      && address >= 1 && address <= 7,
                  "a packet is framed and addressed");
    }
    commandBytes(text);
    return 0;
}

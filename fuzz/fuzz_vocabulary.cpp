// Any two words as (group, action), and any command text: every packet the
// vocabulary gives is whole hex bytes ending in the VISCA terminator, and
// decoding arbitrary text never fails.
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
    const QStringList packets = viscaCommands(group, action);
    for (const QString &packet : packets) {
        const QByteArray bytes = commandBytes(packet);
        fuzzCheck(bytes.size() >= 3 && bytes.size() * 2 == packet.trimmed().size(),
                  "a packet is whole bytes");
        fuzzCheck(quint8(bytes.back()) == 0xff && quint8(bytes.front()) >= 0x80,
                  "a packet is framed");
    }
    commandBytes(text);
    return 0;
}

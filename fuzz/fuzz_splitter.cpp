// Any byte stream a camera may send, cut into reads anywhere: every packet
// ends in FF and is at most 16 bytes, every byte is a packet's, dropped or
// still pending, and where the reads are cut changes nothing. The packets,
// read from a serial line as answers, are judged without harm: a sender is
// an address of the chain or none, and nothing waits for ever.
#include "fuzzsupport.h"
#include "packetsplitter.h"
#include "serialanswers.h"

#include <QList>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses where the reads are cut; the rest is the stream.
    const unsigned cut = data[0];
    const QByteArray stream = fuzzBytes(data + 1, size - 1);

    PacketSplitter whole;
    QList<QByteArray> packets;
    qint64 packetBytes = 0;
    whole.feed(stream, [&](const QByteArray &packet) {
        fuzzCheck(!packet.isEmpty() && packet.size() <= PacketSplitter::maxPacket,
                  "a packet is 1 to 16 bytes");
        fuzzCheck(quint8(packet.at(packet.size() - 1)) == 0xFF, "a packet ends in FF");
        fuzzCheck(packet.indexOf(char(0xFF)) == packet.size() - 1, "one FF, at the end");
        packets.append(packet);
        packetBytes += packet.size();
    });
    fuzzCheck(whole.pending() < PacketSplitter::maxPacket, "at most a packet is kept");
    fuzzCheck(packetBytes + whole.dropped() + whole.pending() == stream.size(),
              "every byte is a packet's, dropped or pending");

    PacketSplitter pieces;
    QList<QByteArray> again;
    for (int at = 0, step = 1 + int(cut % 23); at < stream.size();
         at += step, step = 1 + (step * 7 + int(cut)) % 37)
        pieces.feed(stream.constData() + at, qMin(step, int(stream.size()) - at),
                    [&](const QByteArray &packet) { again.append(packet); });
    fuzzCheck(again == packets && pieces.dropped() == whole.dropped()
                  && pieces.pending() == whole.pending(),
              "where the reads are cut changes nothing");

    SerialAnswers answers;
    qint64 now = 0;
    for (const QByteArray &packet : qAsConst(packets)) {
        // Each packet also goes out, as if the line echoed what it carries.
        answers.sent(packet, PacketTag{nullptr, quint64(now), QString()}, now);
        QList<SerialAnswers::Change> changes;
        const SerialAnswers::Heard heard = answers.heard(packet, &changes);
        fuzzCheck(heard.address >= 0 && heard.address <= SerialAnswers::kAddresses,
                  "a sender is an address of the chain or none");
        fuzzCheck(heard.count >= 0 && heard.count <= SerialAnswers::kAddresses,
                  "a chain holds 0 to 7 cameras");
        now += cut;
        answers.expire(now);
        fuzzCheck(answers.nextDue() < 0 || answers.nextDue() > now, "nothing overdue is kept");
    }
    answers.expire(now + SerialAnswers::kAnswerWaitMs);
    fuzzCheck(answers.nextDue() < 0, "every answer is given up once its wait passed");
    return 0;
}

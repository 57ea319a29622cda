// Any bytes on the simulated camera's serial line and to its network
// cameras, in any pieces, with time passing in between: every serial byte is
// reported once and in order, every answer is one well-formed packet from a
// camera (or a broadcast coming back along the chain), and network camera 1
// still answers the version inquiry afterwards.
//
// The first byte chooses the far end; after it, each piece starts with a
// control byte: bits 0-3 its length - 1, bit 4 the network route, bits 5-7
// the network camera and the model time that passes after it (x 150 ms).
#include "fuzzsupport.h"
#include "viscamodel.h"

namespace {

bool wellFormed(const QByteArray &answer)
{
    if (answer.size() < 3 || answer.size() > ViscaModel::kMaxPacket
        || quint8(answer.back()) != 0xFF)
        return false;
    const quint8 from = quint8(answer.front());
    if (from != 0x88 && (from < 0x90 || (from & 0x0F) != 0))
        return false;
    for (int i = 1; i + 1 < answer.size(); ++i) {
        if (quint8(answer.at(i)) >= 0x80)
            return false;
    }
    return true;
}

void checkAnswers(const QList<ViscaModel::Packet> &packets, QByteArray *reported)
{
    for (const ViscaModel::Packet &packet : packets) {
        *reported += packet.bytes;
        for (const QByteArray &reply : packet.replies)
            fuzzCheck(wellFormed(reply), "an answer is one well-formed packet");
        fuzzCheck(packet.replies.size() <= 2, "a packet gets at most two answers at once");
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input = fuzzBytes(data, size);
    if (input.isEmpty())
        return 0;
    const quint8 shape = quint8(input.at(0));
    ViscaModel::Config config;
    config.serialCameras = 1 + shape % ViscaModel::kMaxSerialCameras;
    config.networkCameras = 1 + (shape >> 3) % 3;
    config.lampAddress = config.serialCameras < 7 ? 7 : 0;
    config.presets = {1 + (shape * 37) % ViscaModel::kMaxPresets};
    config.wakeMs = (shape & 0x80) != 0 ? 0 : 500;
    config.recallForms = {(shape & 0x40) != 0 ? ViscaModel::RecallForm::Global
                                              : ViscaModel::RecallForm::PerPreset};
    fuzzCheck(config.problem().isEmpty(), "the chosen far end is a valid one");
    ViscaModel model(config);
    if ((shape & 0x20) != 0)
        model.announcePowerUp();

    QByteArray fed;
    QByteArray reported;
    for (int at = 1; at < input.size();) {
        const quint8 control = quint8(input.at(at++));
        const QByteArray piece = input.mid(at, (control & 0x0F) + 1);
        at += piece.size();
        if ((control & 0x10) != 0) {
            QByteArray whole;
            checkAnswers(model.receiveNetwork(1 + (control >> 5) % 4, piece), &whole);
            fuzzCheck(whole == piece, "a network message is reported whole");
        } else {
            fed += piece;
            checkAnswers(model.feed(piece), &reported);
        }
        model.tick((control >> 5) * 150);
        for (const ViscaModel::Answer &later : model.takeAnswers())
            fuzzCheck(wellFormed(later.bytes) && later.camera >= 1
                          && later.camera <= model.cameras(),
                      "a later answer is a well-formed packet from a camera");
        fuzzCheck(model.msUntilAnswer() <= ViscaModel::kMaxWakeMs,
                  "a waiting answer falls due within a minute");
    }
    checkAnswers(model.flush(), &reported);
    fuzzCheck(reported == fed, "every serial byte is reported once, in order");

    const QList<ViscaModel::Packet> version
        = model.receiveNetwork(1, QByteArray::fromHex("81090002FF"));
    fuzzCheck(version.size() == 1 && version.first().replies.size() == 1
                  && version.first().replies.first() == QByteArray::fromHex("90507A210D15010302FF"),
              "network camera 1 still answers the version inquiry");
    return 0;
}

// What remote clients may send, through the whole dispatch short of the
// sockets: an OSC stream over TCP (SLIP, cut into reads anywhere) and the
// same bytes as one UDP datagram, or WebSocket texts, from two clients, the
// first of which then disconnects. Every message is counted exactly once
// (taken, refused, flooded or malformed, as decoding it alone says), and
// every move a client started has been stopped once remote control is gone.
#include "fuzzsupport.h"
#include "oscpacket.h"
#include "recordingtarget.h"
#include "remotecontrol.h"
#include "slipdecoder.h"

#include <QList>

#include <memory>

namespace {

quint64 handled(const RemoteControl::Counts &counts)
{
    return counts.taken + counts.refused + counts.flooded + counts.malformed;
}

// What the counts must add up to for one OSC packet: its messages, or one.
quint64 expectedFor(const QByteArray &packet)
{
    QVector<RemoteMessage> messages;
    QString why;
    return OscPacket::decode(packet, &messages, &why) ? quint64(messages.size()) : 1;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    const bool json = data[0] & 1;
    const unsigned cut = data[1];
    const QByteArray input = fuzzBytes(data + 2, size - 2);
    const QString clients[2]
        = {QStringLiteral("osc-tcp 127.0.0.1:1"), QStringLiteral("osc-udp 127.0.0.1:2")};

    RecordingTarget target;
    target.cameras = 1 + data[0] % 4;
    auto remote = std::make_unique<RemoteControl>(&target);
    quint64 expected = 0;
    if (json) {
        int turn = 0;
        for (const QByteArray &text : input.split('\n')) {
            remote->takeJson(text, clients[turn++ % 2]);
            ++expected;
        }
    } else {
        SlipDecoder decoder;
        int turn = 0;
        for (int at = 0, step = 1 + int(cut % 29); at < input.size();
             at += step, step = 1 + (step * 5 + int(cut)) % 41) {
            decoder.feed(input.constData() + at, qMin(step, int(input.size()) - at),
                         [&](const QByteArray &packet, SlipDecoder::Fault fault) {
                             if (fault != SlipDecoder::Fault::None)
                                 return;
                             expected += expectedFor(packet);
                             remote->takeOscPacket(packet, clients[turn++ % 2]);
                         });
        }
        fuzzCheck(decoder.pending() <= SlipDecoder::maxPacket, "at most a packet is kept");
        expected += expectedFor(input);
        remote->takeOscPacket(input, clients[1]);
    }
    fuzzCheck(handled(remote->counts()) == expected, "every message is counted exactly once");
    // A recall is the most a message asks: the camera's three stops, then it.
    fuzzCheck(quint64(target.calls.size()) <= 4 * remote->counts().taken,
              "no message runs more than its own calls");

    remote->endClient(clients[0]);
    for (const RemoteLeases::Move *move :
         {remote->dispatcher().leases().findOfClient(clients[0], RemoteAxis::Zoom),
          remote->dispatcher().leases().findOfClient(clients[0], RemoteAxis::Focus),
          remote->dispatcher().leases().findOfClient(clients[0], RemoteAxis::PanTilt)})
        fuzzCheck(move == nullptr, "a disconnected client holds no move");
    remote.reset();
    fuzzCheck(target.moving.isEmpty(), "every remote move is stopped once remote control goes");
    return 0;
}

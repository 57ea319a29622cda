// How long a camera command takes on the network camera route: the link's
// send() until the datagram is readable at a camera socket on loopback. In
// the same run, command by command in turn, a minimal sender writes the
// same bytes (header included) with one writeDatagram: the least any
// program could do. Reports median and 99th percentile of both and their
// ratio (targets: p99 at most 300 us and at most 1.5 times the minimal
// sender's). The camera acknowledges each command before the next, so the
// link always has its one packet in flight free.
#include "operatormix.h"
#include "viscaiplink.h"
#include "viscavocabulary.h"

#include <QCoreApplication>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTimedCommands = 10000;
constexpr int kWarmUpCommands = 200;
constexpr double kTargetRatio = 1.5;
constexpr double kTargetP99Us = 300;

struct Setup
{
    QUdpSocket *camera;
    ViscaIpLink *link;
    QUdpSocket *minimal;
    const std::vector<QByteArray> *packets;
};

// Waits until the camera socket holds a datagram; returns it with the
// moment it became readable.
QNetworkDatagram arrival(QUdpSocket &camera, Clock::time_point *at)
{
    if (!camera.hasPendingDatagrams() && !camera.waitForReadyRead(kWaitLimitMs))
        return {};
    *at = Clock::now();
    return camera.receiveDatagram();
}

// The camera's acknowledgement; the link reads it before the next command.
void acknowledge(QUdpSocket &camera, const QNetworkDatagram &datagram, ViscaIpLink &link)
{
    ViscaIp::Message read;
    ViscaIp::parseMessage(datagram.data(), &read);
    camera.writeDatagram(
        ViscaIp::message(ViscaIp::Reply, read.sequence, QByteArray::fromHex("9041FF")),
        datagram.senderAddress(), quint16(datagram.senderPort()));
    while (link.isConnected() && !link.idle())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void linkAgainstMinimalSender(benchmark::State &state, Setup setup)
{
    std::vector<double> linkMicros;
    std::vector<double> minimalMicros;
    linkMicros.reserve(size_t(state.max_iterations));
    minimalMicros.reserve(size_t(state.max_iterations));
    quint32 sequence = 0;
    size_t next = 0;
    for (auto _ : state) {
        const QByteArray &packet = (*setup.packets)[next++ % setup.packets->size()];

        Clock::time_point arrived;
        const Clock::time_point linkStart = Clock::now();
        setup.link->send(packet);
        const QNetworkDatagram fromLink = arrival(*setup.camera, &arrived);
        const double linkUs = microseconds(arrived - linkStart);
        if (!fromLink.data().endsWith(packet)) {
            state.SkipWithError("the camera did not receive the link's datagram");
            break;
        }
        acknowledge(*setup.camera, fromLink, *setup.link);

        const QByteArray bytes = ViscaIp::message(ViscaIp::Command, sequence++, packet);
        const Clock::time_point minimalStart = Clock::now();
        setup.minimal->writeDatagram(bytes, setup.camera->localAddress(),
                                     setup.camera->localPort());
        const QNetworkDatagram fromMinimal = arrival(*setup.camera, &arrived);
        const double minimalUs = microseconds(arrived - minimalStart);
        if (fromMinimal.data() != bytes) {
            state.SkipWithError("the camera did not receive the minimal sender's datagram");
            break;
        }
        state.SetIterationTime(linkUs / 1e6);
        linkMicros.push_back(linkUs);
        minimalMicros.push_back(minimalUs);
    }

    const SideBySide f = sideBySide(state, linkMicros, "link", minimalMicros, "minimal");
    const bool met = f.p99 <= kTargetP99Us && f.p99Ratio <= kTargetRatio;
    std::printf("command -> datagram at the camera socket: %zu commands\n"
                "  link           median %.1f us, p99 %.1f us\n"
                "  minimal sender median %.1f us, p99 %.1f us\n"
                "  ratio          median %.2fx, p99 %.2fx (targets p99 <= %.0f us and <= %.1fx: "
                "%s)\n",
                linkMicros.size(), f.median, f.p99, f.referenceMedian, f.referenceP99,
                f.medianRatio, f.p99Ratio, kTargetP99Us, kTargetRatio, met ? "met" : "MISSED");
    std::fflush(stdout);
}

// Binds the camera socket and connects the link to it, the connect flow
// answered by hand: reset, then the version inquiry.
bool connectByHand(QUdpSocket &camera, ViscaIpLink &link)
{
    if (!camera.bind(QHostAddress(QHostAddress::LocalHost), 0)) {
        std::fprintf(stderr, "could not bind a camera socket on 127.0.0.1\n");
        return false;
    }
    link.connectTo(QHostAddress::LocalHost, camera.localPort(), ViscaIp::Protocol::Udp);
    for (const char *answer : {"01", "9050AAAA0B0C010202FF"}) {
        Clock::time_point at;
        const QNetworkDatagram datagram = arrival(camera, &at);
        ViscaIp::Message read;
        ViscaIp::parseMessage(datagram.data(), &read);
        const quint16 type = read.type == ViscaIp::Control ? ViscaIp::ControlReply : ViscaIp::Reply;
        camera.writeDatagram(ViscaIp::message(type, read.sequence, QByteArray::fromHex(answer)),
                             datagram.senderAddress(), quint16(datagram.senderPort()));
        while (link.state() == ViscaIpLink::State::Connecting && !camera.hasPendingDatagrams())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    if (!link.isConnected()) {
        std::fprintf(stderr, "the link did not connect\n");
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    QUdpSocket camera;
    ViscaIpLink link;
    if (!process.ok() || !connectByHand(camera, link))
        return 1;

    std::vector<QByteArray> packets;
    for (const OperatorCommand &command : operatorCommands()) {
        for (const QString &text : command.packets) {
            // The lamp's packets never go to a network camera.
            if (!ViscaIp::addressedElsewhere(commandBytes(text)))
                packets.push_back(commandBytes(text));
        }
    }
    QUdpSocket minimal;
    Setup setup{&camera, &link, &minimal, &packets};
    for (int i = 0; i < kWarmUpCommands; ++i) {
        const QByteArray &packet = packets[size_t(i) % packets.size()];
        link.send(packet);
        Clock::time_point at;
        acknowledge(camera, arrival(camera, &at), link);
        minimal.writeDatagram(ViscaIp::message(ViscaIp::Command, 0, packet), camera.localAddress(),
                              camera.localPort());
        arrival(camera, &at);
    }

    return runTimedBenchmarks(
        benchmark::RegisterBenchmark("viscaip/send_to_datagram_vs_minimal_sender",
                                     linkAgainstMinimalSender, setup),
        kTimedCommands);
}

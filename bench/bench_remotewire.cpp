// Remote control to the camera's wire: an OSC zoom message sent with liblo
// over UDP until its packet is whole on the far side of the program's
// serial line (the real window, remote control on, camera 1 on a
// pseudo-terminal), against the least a program could do for the same: a
// bare Qt socket handing the datagram to liblo's dispatch, whose handler
// builds the zoom packet and writes it with QSerialPort on a line of its own.
// Messages go one at a time, 5 to 9 ms apart (as buttons are pressed), the
// rate alternating so each one is a new move; in turns of 50, so that other
// load on the machine falls on both alike. Target: median <= 1.2 x.
#include "benchtable.h"
#include "linewatch.h"
#include "operatormix.h"
#include "windowharness.h"

#include <QSerialPort>
#include <QSettings>
#include <QTcpServer>
#include <QTimer>
#include <QUdpSocket>

#include <lo/lo.h>

#include <atomic>
#include <random>
#include <thread>

namespace {

constexpr int kRounds = 10;
constexpr int kPerRound = 50;
constexpr int kTurnLimitMs = 20000;

// The floor's handler: "/tarndeck/camera/1/zoom" rate -> 81 01 04 07 pp FF.
int writeZoom(const char *, const char *, lo_arg **argv, int argc, lo_message, void *data)
{
    if (argc < 1)
        return 0;
    const int rate = argv[0]->i;
    const char speed = char(rate > 0 ? 0x20 | (rate - 1) : rate < 0 ? 0x30 | (-rate - 1) : 0);
    const char packet[] = {char(0x81), 0x01, 0x04, 0x07, speed, char(0xFF)};
    static_cast<QSerialPort *>(data)->write(packet, sizeof packet);
    return 0;
}

// `count` messages to `port`, each after the last one's packet arrived on
// `line`; microseconds from each send to its packet.
std::vector<double> oneTurn(quint16 port, LineWatch &line, int count, std::mt19937 &random)
{
    const int base = line.count();
    std::vector<Clock::time_point> sentAt(static_cast<size_t>(count));
    std::thread sender([&] {
        lo_address address = lo_address_new("127.0.0.1", QByteArray::number(port).constData());
        std::uniform_int_distribution<int> pause(5000, 9000);
        for (int i = 0; i < count; ++i) {
            while (line.count() - base < i)
                std::this_thread::sleep_for(std::chrono::microseconds(100));
            std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
            sentAt[size_t(i)] = Clock::now();
            lo_send(address, "/tarndeck/camera/1/zoom", "i", i % 2 ? -3 : 3);
        }
        lo_address_free(address);
        // The last packet is read on the watch's thread: the event loop,
        // which waits for more events, is woken to see it.
        const Clock::time_point limit = Clock::now() + std::chrono::seconds(5);
        while (line.count() - base < count && Clock::now() < limit)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        QMetaObject::invokeMethod(QCoreApplication::instance(), [] {}, Qt::QueuedConnection);
    });
    const bool all = runUntil([&] { return line.count() - base >= count; }, kTurnLimitMs);
    sender.join();
    std::vector<double> micros;
    if (!all)
        return micros;
    for (int i = 0; i < count; ++i)
        micros.push_back(std::chrono::duration<double, std::micro>(
                             line.packet(base + i).second - sentAt[size_t(i)])
                             .count());
    return micros;
}

quint16 freeTcpPort()
{
    QTcpServer server;
    server.listen(QHostAddress::LocalHost, 0);
    return server.serverPort();
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;
    std::mt19937 random(27);

    auto line = std::make_unique<PtyPair>();
    QUdpSocket probe;
    probe.bind(QHostAddress(QHostAddress::LocalHost), 0);
    const quint16 oscPort = probe.localPort();
    probe.close();
    {
        QSettings store;
        store.setValue(QStringLiteral("remoteControl"), true);
        store.setValue(QStringLiteral("remoteOscPort"), oscPort);
        store.setValue(QStringLiteral("remoteWebSocketPort"), freeTcpPort());
        // No lease may end a zoom between the turns: every packet is a message's.
        store.setValue(QStringLiteral("remoteLease"), 600);
        store.beginWriteArray(QStringLiteral("cameras"), 1);
        store.setArrayIndex(0);
        store.setValue(QStringLiteral("route"), QStringLiteral("serial"));
        store.setValue(QStringLiteral("serialPort"), line->slavePath());
        store.setValue(QStringLiteral("lampAddress"), 0);
        store.setValue(QStringLiteral("connectAtStart"), true);
        store.endArray();
        store.sync();
    }
    WindowHarness harness(std::move(line));
    tarnDeck &window = harness.window();
    if (!window.remote() || window.remote()->oscPort() != oscPort
        || !runUntil([&] { return window.cameraList().at(0)->carriesCommands(); },
                     kTurnLimitMs)) {
        std::fprintf(stderr, "remote control or the camera's line did not start\n");
        return 1;
    }
    harness.pty().drain();
    LineWatch ours(harness.pty().master());

    PtyPair floorLine;
    QSerialPort port;
    port.setPortName(floorLine.slavePath());
    const QByteArray path = QByteArray("/tmp/tarndeck-bench-wire-") + QByteArray::number(getpid());
    lo_server server = lo_server_new_with_proto(path.constData(), LO_UNIX, nullptr);
    if (!port.open(QIODevice::ReadWrite) || !server) {
        std::fprintf(stderr, "the floor's line or liblo server did not open\n");
        return 1;
    }
    lo_server_add_method(server, "/tarndeck/camera/1/zoom", "i", &writeZoom, &port);
    QUdpSocket socket;
    socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
    QObject::connect(&socket, &QUdpSocket::readyRead, [&socket, server] {
        char data[4096];
        while (socket.hasPendingDatagrams()) {
            const qint64 size = socket.readDatagram(data, sizeof data);
            if (size > 0)
                lo_server_dispatch_data(server, data, size_t(size));
        }
    });
    LineWatch bare(floorLine.master());

    std::vector<double> remote, floor;
    bool ok = true;
    for (int turn = 0; turn < kRounds && ok; ++turn) {
        const std::vector<double> a = oneTurn(oscPort, ours, kPerRound, random);
        const std::vector<double> b = oneTurn(socket.localPort(), bare, kPerRound, random);
        ok = int(a.size()) == kPerRound && int(b.size()) == kPerRound;
        remote.insert(remote.end(), a.begin(), a.end());
        floor.insert(floor.end(), b.begin(), b.end());
    }
    lo_server_free(server);
    ::unlink(path.constData());
    if (!ok) {
        std::fprintf(stderr, "not every message reached its line\n");
        return 1;
    }
    // Every message gave exactly its packet on the program's line.
    for (int i = 0; i < ours.count(); ++i) {
        const QByteArray expected = QByteArray::fromHex(i % 2 ? "8101040732FF" : "8101040722FF");
        if (ours.packet(i).first != expected) {
            std::fprintf(stderr, "packet %d: %s\n", i, ours.packet(i).first.toHex().constData());
            return 1;
        }
    }
    benchTableRow("remote: OSC zoom message -> packet on the serial line", "us",
                  figuresOf(remote), "liblo dispatch + QSerialPort write", figuresOf(floor), 1.2);
    return 0;
}

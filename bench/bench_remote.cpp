// Remote control under load and at rest, without the cameras behind it:
//
//  - Soak: 10 clients (4 OSC over UDP, 3 OSC over TCP, 3 WebSocket) each
//    send 100 pan-tilt speeds a second for 30 s, every one of them new, to
//    a camera of their own: under the per-client rate limit nothing may be
//    dropped, lost or run twice, and resident memory may not grow between
//    the 5th and the 30th second.
//  - Message to call: an OSC message over UDP until the target is called,
//    one at a time, 6 ms apart, in turns of 100 with the least a program
//    could do in the same event loop: a bare Qt socket handing the datagram
//    (and its sender) to liblo's own dispatch. Reported without a target:
//    the two differ by a microsecond or two in some ten, less than what
//    other load on the machine moves either; the target belongs to the
//    path on to the camera's wire.
//  - Idle: with remote control listening and a TCP and a WebSocket client
//    connected but silent, how often the event loop's thread runs in 10 s,
//    against an event loop with nothing at all.
#include "benchtable.h"
#include "remotecontrol.h"
#include "remotetarget.h"
#include "stallwatch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSocketNotifier>
#include <QTimer>
#include <QUdpSocket>
#include <QWebSocket>

#include <lo/lo.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kClients = 10;
constexpr int kRate = 100;
constexpr int kSoakSeconds = 30;
constexpr int kWarmUpSeconds = 5;
constexpr int kPerClient = kRate * kSoakSeconds;
constexpr int kPingPongs = 1000;
constexpr int kPingPongRounds = 10;
// Under the per-client rate: the event loop is idle when each one comes, as
// when a button is pressed.
constexpr int kPingPongGapUs = 6000;
constexpr int kIdleSeconds = 10;
// A speed n of a client is n / kSteps of the top speed: exact in a float.
constexpr double kSteps = 4096.0;

// Counts, per camera, the speeds that arrive: each must be the next one.
class CountingTarget : public RemoteTarget
{
public:
    struct Camera
    {
        int last = 0;
        int received = 0;
        int lost = 0;
        int doubled = 0;
    };
    std::vector<Camera> cameras = std::vector<Camera>(kClients + 1);
    std::atomic<int> calls{0};
    Clock::time_point lastCall;

    int cameraCount() const override { return kClients; }
    int selectedCamera() const override { return 1; }
    QString zoom(int, int, const QString &) override { return QString(); }
    QString focus(int, int, const QString &) override { return QString(); }
    QString setFocusAuto(int, bool, const QString &) override { return QString(); }
    QString panTilt(int camera, double pan, double, const QString &) override
    {
        lastCall = Clock::now();
        ++calls;
        if (pan == 0)
            return QString();
        Camera &seen = cameras[size_t(camera)];
        const int n = int(std::lround(pan * kSteps));
        if (n <= seen.last) {
            ++seen.doubled;
        } else {
            seen.lost += n - seen.last - 1;
            seen.last = n;
            ++seen.received;
        }
        return QString();
    }
    QString recallPreset(int, int, const QString &) override { return QString(); }
    QString storePreset(int, int, const QString &) override { return QString(); }
    QString setTally(int, RemoteTally, const QString &) override { return QString(); }
    QString select(int, const QString &) override { return QString(); }
    void stopAll(const QString &) override { }
    QJsonObject state() const override { return {}; }
};

RemoteSettings onLoopback()
{
    RemoteSettings settings;
    settings.enabled = true;
    settings.oscPort = 0;
    settings.webSocketPort = 0;
    return settings;
}

void runFor(int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
}

QByteArray panTiltJson(int camera, double pan)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("address"),
                                      QStringLiteral("/tarndeck/camera/%1/pantilt").arg(camera)},
                                     {QStringLiteral("args"), QJsonArray{pan, 0}}})
        .toJson(QJsonDocument::Compact);
}

bool soak()
{
    CountingTarget target;
    RemoteControl remote(&target);
    if (!remote.start(onLoopback())) {
        std::fprintf(stderr, "remote control did not listen\n");
        return false;
    }
    const QByteArray oscPort = QByteArray::number(remote.oscPort());

    // OSC clients on threads of their own, paced by the clock.
    const Clock::time_point start = Clock::now() + std::chrono::milliseconds(200);
    std::vector<std::thread> senders;
    for (int client = 1; client <= 7; ++client) {
        senders.emplace_back([client, start, oscPort] {
            const int protocol = client <= 4 ? LO_UDP : LO_TCP;
            lo_address address
                = lo_address_new_with_proto(protocol, "127.0.0.1", oscPort.constData());
            lo_address_set_stream_slip(address, protocol == LO_TCP);
            const QByteArray path
                = QStringLiteral("/tarndeck/camera/%1/pantilt").arg(client).toLatin1();
            for (int n = 1; n <= kPerClient; ++n) {
                std::this_thread::sleep_until(start
                                              + std::chrono::microseconds(n * 1000000 / kRate));
                lo_send(address, path.constData(), "ff", float(n / kSteps), 0.0f);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
            lo_send(address, path.constData(), "ff", 0.0f, 0.0f);
            lo_address_free(address);
        });
    }

    // WebSocket clients in this thread, sending what is due at each tick.
    std::vector<std::unique_ptr<QWebSocket>> webSockets;
    std::vector<int> sent(kClients + 1, 0);
    for (int client = 8; client <= kClients; ++client) {
        webSockets.push_back(std::make_unique<QWebSocket>());
        webSockets.back()->open(
            QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(remote.webSocketPort())));
    }
    QTimer pace;
    pace.setTimerType(Qt::PreciseTimer);
    pace.setInterval(5);
    QObject::connect(&pace, &QTimer::timeout, [&] {
        const auto elapsed = Clock::now() - start;
        const int due = int(
            qBound(qint64(0),
                   qint64(std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count()
                          * kRate / 1000000),
                   qint64(kPerClient)));
        for (int client = 8; client <= kClients; ++client) {
            QWebSocket &socket = *webSockets[size_t(client - 8)];
            while (sent[size_t(client)] < due && socket.state() == QAbstractSocket::ConnectedState)
                socket.sendTextMessage(
                    QString::fromUtf8(panTiltJson(client, ++sent[size_t(client)] / kSteps)));
        }
    });
    pace.start();

    runFor(200 + kWarmUpSeconds * 1000);
    const qint64 warmMemory = StallWatch::residentBytes();
    runFor((kSoakSeconds - kWarmUpSeconds) * 1000 + 50);
    const qint64 endMemory = StallWatch::residentBytes();
    pace.stop();
    for (int client = 8; client <= kClients; ++client)
        webSockets[size_t(client - 8)]->sendTextMessage(QString::fromUtf8(panTiltJson(client, 0)));
    for (std::thread &sender : senders)
        sender.join();
    runFor(1000);

    int received = 0, lost = 0, doubled = 0;
    for (int camera = 1; camera <= kClients; ++camera) {
        const CountingTarget::Camera &seen = target.cameras[size_t(camera)];
        received += seen.received;
        doubled += seen.doubled;
        lost += kPerClient - seen.received;
    }
    const RemoteControl::Counts &counts = remote.counts();
    std::printf("soak: %d clients x %d messages/s for %d s: %d of %d arrived, %llu dropped by the "
                "rate limit, %d moves left held\n",
                kClients, kRate, kSoakSeconds, received, kClients * kPerClient,
                static_cast<unsigned long long>(counts.flooded),
                remote.dispatcher().leases().count());
    benchTableCount("remote soak, 10 clients x 100/s for 30 s: messages lost", "messages", lost,
                    "-", 0, "= 0");
    benchTableCount("remote soak: messages run twice", "messages", doubled, "-", 0, "= 0");
    benchTableCount("remote soak: messages dropped or refused", "messages",
                    double(counts.flooded + counts.malformed + counts.refused), "-", 0, "= 0");
    benchTableCount("remote soak: resident memory growth, 5th to 30th second", "MiB",
                    double(endMemory - warmMemory) / (1 << 20), "-", 0, "<= 1");
    return remote.dispatcher().leases().count() == 0;
}

// One message at a time from a thread, until `calls` counts it (the target
// or the floor's handler, on this thread, which also sets `lastCall`):
// microseconds each.
std::vector<double> pingPong(quint16 port, const std::atomic<int> &calls,
                             const Clock::time_point &lastCall, int count)
{
    const int base = calls.load();
    std::vector<std::atomic<long long>> sentAt(size_t(count) + 1);
    std::atomic<bool> done{false};
    std::thread sender([&] {
        lo_address address = lo_address_new("127.0.0.1", QByteArray::number(port).constData());
        const Clock::time_point start = Clock::now();
        for (int n = 1; n <= count && !done; ++n) {
            while (calls.load() - base < n - 1 && !done)
                std::this_thread::sleep_for(std::chrono::microseconds(50));
            std::this_thread::sleep_until(start + std::chrono::microseconds(n * kPingPongGapUs));
            sentAt[size_t(n)] = Clock::now().time_since_epoch().count();
            lo_send(address, "/tarndeck/camera/1/pantilt", "ff", float(n / kSteps), 0.0f);
        }
        lo_address_free(address);
    });
    std::vector<double> micros;
    QElapsedTimer clock;
    clock.start();
    int seen = 0;
    while (seen < count && clock.elapsed() < 30000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
        const int now = calls.load() - base;
        if (now > seen && now <= count) {
            const Clock::time_point sent{Clock::duration(sentAt[size_t(now)].load())};
            micros.push_back(std::chrono::duration<double, std::micro>(lastCall - sent).count());
            seen = now;
        }
    }
    done = true;
    sender.join();
    return micros;
}

// The floor: the datagram read by a bare Qt socket on loopback and handed
// to liblo's own dispatch, one handler for every path.
struct BareServer
{
    std::atomic<int> calls{0};
    Clock::time_point lastCall;

    static int handler(const char *, const char *, lo_arg **, int, lo_message, void *data)
    {
        auto *self = static_cast<BareServer *>(data);
        self->lastCall = Clock::now();
        ++self->calls;
        return 0;
    }
};

bool messageToCall()
{
    CountingTarget target;
    RemoteControl remote(&target);
    if (!remote.start(onLoopback()))
        return false;
    BareServer bare;
    // liblo's dispatch needs a server: one on a UNIX socket, never read.
    const QByteArray path = QByteArray("/tmp/tarndeck-bench-") + QByteArray::number(getpid());
    lo_server server = lo_server_new_with_proto(path.constData(), LO_UNIX, nullptr);
    lo_server_add_method(server, nullptr, nullptr, &BareServer::handler, &bare);
    QUdpSocket socket;
    socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
    QObject::connect(&socket, &QUdpSocket::readyRead, [&socket, server] {
        char data[4096];
        while (socket.hasPendingDatagrams()) {
            QHostAddress sender;
            quint16 port = 0;
            const qint64 size = socket.readDatagram(data, sizeof data, &sender, &port);
            if (size > 0)
                lo_server_dispatch_data(server, data, size_t(size));
        }
    });
    // In turns, so that other load on the machine falls on both alike.
    std::vector<double> ours;
    std::vector<double> floor;
    for (int round = 0; round < kPingPongRounds; ++round) {
        const int count = kPingPongs / kPingPongRounds;
        for (double micros : pingPong(remote.oscPort(), target.calls, target.lastCall, count))
            ours.push_back(micros);
        for (double micros : pingPong(socket.localPort(), bare.calls, bare.lastCall, count))
            floor.push_back(micros);
    }
    lo_server_free(server);
    ::unlink(path.constData());
    if (ours.size() < kPingPongs / 2 || floor.size() < kPingPongs / 2) {
        std::fprintf(stderr, "message to call: too few answers (%zu, %zu)\n", ours.size(),
                     floor.size());
        return false;
    }
    benchTableRow("remote: OSC message over UDP -> target call", "us", figuresOf(ours),
                  "Qt socket + liblo dispatch", figuresOf(floor), 0);
    return true;
}

// Times this thread was switched out and back in (woken) so far.
long threadSwitches()
{
    QFile status(QStringLiteral("/proc/thread-self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    long switches = 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("voluntary_ctxt_switches:")
            || line.startsWith("nonvoluntary_ctxt_switches:"))
            switches += line.mid(line.indexOf(':') + 1).trimmed().toLong();
    }
    return switches;
}

long idleSwitches(int seconds)
{
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    const long before = threadSwitches();
    loop.exec();
    // The timer that ends the wait wakes the thread once.
    return threadSwitches() - before - 1;
}

bool idle()
{
    const long floor = idleSwitches(kIdleSeconds);
    CountingTarget target;
    RemoteControl remote(&target);
    if (!remote.start(onLoopback()))
        return false;
    lo_address tcp = lo_address_new_with_proto(LO_TCP, "127.0.0.1",
                                               QByteArray::number(remote.oscPort()).constData());
    lo_address_set_stream_slip(tcp, 1);
    lo_send(tcp, "/tarndeck/camera/1/tally", "s", "off");
    QWebSocket webSocket;
    webSocket.open(QUrl(QStringLiteral("ws://127.0.0.1:%1/").arg(remote.webSocketPort())));
    runFor(1000);
    const long ours = idleSwitches(kIdleSeconds);
    lo_address_free(tcp);
    benchTableCount("remote control idle, a TCP and a WebSocket client connected: wake-ups in 10 s",
                    "wake-ups", double(ours), "an empty event loop", double(floor), "= 0");
    return webSocket.state() == QAbstractSocket::ConnectedState;
}

void quiet(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type >= QtWarningMsg)
        std::fprintf(stderr, "%s\n", qPrintable(text));
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication application(argc, argv);
    qInstallMessageHandler(quiet);
    bool ok = idle();
    ok = messageToCall() && ok;
    ok = soak() && ok;
    return ok ? 0 : 1;
}

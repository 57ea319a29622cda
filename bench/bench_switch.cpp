// Switching cameras, and what more cameras cost while nobody touches them.
// The real window, its store listing the cameras, each connected at start.
//
//  - Key → panels redrawn: two cameras on one pseudo-terminal (addresses 1
//    and 2). Timed: Ctrl+2 (then Ctrl+1) delivered to the window and the
//    central widget repainted at once. Floor: the same repaint without a
//    key. Target: at most 16 ms (one frame), on the figure itself.
//  - Key → the new camera's first packet: the zoom runs on camera 1 (Page
//    Up held); Ctrl+2, then Page Up pressed again. Timed: from the Ctrl+2
//    press until camera 2's zoom packet is readable on the line, after
//    camera 1's zoom stop. Floor: the same two packets on one camera (Page
//    Up let go and pressed again). Target: at most 2 ms (2000 us); a pty
//    takes no wire time for the stop.
//  - Idle with 16 network cameras: the window with 16 UDP cameras at the
//    simulator (in this process, on loopback) connected, left alone for
//    30 s: context switches (wake-ups) of this process, target 0 (the
//    simulator inside it is idle too), beside the same with one network
//    camera; memory per added
//    camera: resident size with 17 cameras less with 1, over 16 (target
//    at most 1 MiB).
#include "benchtable.h"
#include "operatormix.h"
#include "ptypair.h"
#include "simulator.h"
#include "tarndeck.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QLoggingCategory>
#include <QSettings>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr int kSwitches = 400;
constexpr double kFrameMs = 16.0;
constexpr double kFirstPacketUs = 2000.0;
constexpr int kIdleSeconds = 30;
constexpr int kNetworkCameras = 16;

struct Listed
{
    QString route;
    QString serialPort;
    QString address;
    int viscaAddress = 1;
};

void storeCameras(const QList<Listed> &list)
{
    QSettings store;
    store.clear();
    store.beginWriteArray(QStringLiteral("cameras"), int(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        store.setArrayIndex(i);
        store.setValue(QStringLiteral("route"), list.at(i).route);
        if (!list.at(i).serialPort.isEmpty())
            store.setValue(QStringLiteral("serialPort"), list.at(i).serialPort);
        // Camera 1's address is the panel's own key, beside the array.
        if (i > 0 && !list.at(i).address.isEmpty())
            store.setValue(QStringLiteral("address"), list.at(i).address);
        store.setValue(QStringLiteral("viscaAddress"), list.at(i).viscaAddress);
        store.setValue(QStringLiteral("lampAddress"), 0);
        store.setValue(QStringLiteral("connectAtStart"), true);
    }
    store.endArray();
    if (!list.isEmpty() && !list.constFirst().address.isEmpty())
        store.setValue(QStringLiteral("viscaIpAddress"), list.constFirst().address);
    store.sync();
}

void key(QWidget *window, QEvent::Type type, int code, Qt::KeyboardModifiers modifiers)
{
    QKeyEvent event(type, code, modifiers);
    QCoreApplication::sendEvent(window, &event);
}

bool switching()
{
    auto line = std::make_unique<PtyPair>();
    storeCameras({{QStringLiteral("serial"), line->slavePath(), QString(), 1},
                  {QStringLiteral("serial"), line->slavePath(), QString(), 2}});
    WindowHarness harness(std::move(line));
    tarnDeck &window = harness.window();
    window.show();
    CameraList &cameras = window.cameraList();
    if (!spinUntil([&] {
            return cameras.count() == 2 && cameras.at(0)->carriesCommands()
                && cameras.at(1)->carriesCommands();
        })) {
        std::fprintf(stderr, "the two cameras did not connect\n");
        return false;
    }
    QWidget *panels = window.centralWidget();

    // Key -> panels redrawn.
    std::vector<double> switched, repainted;
    for (int i = 0; i < kSwitches; ++i) {
        const int digit = i % 2 == 0 ? Qt::Key_2 : Qt::Key_1;
        Clock::time_point start = Clock::now();
        key(&window, QEvent::KeyPress, digit, Qt::ControlModifier);
        panels->repaint();
        switched.push_back(microseconds(Clock::now() - start) / 1000.0);
        key(&window, QEvent::KeyRelease, digit, Qt::ControlModifier);
        start = Clock::now();
        panels->repaint();
        repainted.push_back(microseconds(Clock::now() - start) / 1000.0);
        QCoreApplication::processEvents();
    }
    if (cameras.currentIndex() != 0) {
        std::fprintf(stderr, "the keys did not switch the cameras\n");
        return false;
    }
    benchTableRowWithin("camera switch: Ctrl+2 -> panels redrawn", "ms", figuresOf(switched),
                        "the repaint alone", figuresOf(repainted), kFrameMs);

    // Key -> the new camera's first packet, after the old camera's stop.
    harness.pty().drain();
    const QByteArray zoomStop1 = QByteArray::fromHex("8101040700FF");
    const QByteArray zoom2 = QByteArray::fromHex("8201040722FF");
    const QByteArray zoom1 = QByteArray::fromHex("8101040722FF");
    std::vector<double> firstPacket, sameCamera;
    for (int i = 0; i < kSwitches / 2; ++i) {
        // Camera 1 current, its zoom running.
        cameras.select(0);
        key(&window, QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        if (harness.pty().read(6, 2000) != zoom1)
            return std::fprintf(stderr, "camera 1 did not zoom\n"), false;
        const Clock::time_point start = Clock::now();
        key(&window, QEvent::KeyPress, Qt::Key_2, Qt::ControlModifier);
        key(&window, QEvent::KeyRelease, Qt::Key_PageUp, Qt::NoModifier);
        key(&window, QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        const QByteArray got = harness.pty().read(12, 2000);
        firstPacket.push_back(microseconds(Clock::now() - start));
        if (got != zoomStop1 + zoom2)
            return std::fprintf(stderr, "not the stop, then camera 2's zoom\n"), false;
        key(&window, QEvent::KeyRelease, Qt::Key_2, Qt::ControlModifier);
        key(&window, QEvent::KeyRelease, Qt::Key_PageUp, Qt::NoModifier);
        harness.pty().read(6, 2000);

        // The floor: stop and zoom again on one camera.
        cameras.select(0);
        key(&window, QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        harness.pty().read(6, 2000);
        const Clock::time_point again = Clock::now();
        key(&window, QEvent::KeyRelease, Qt::Key_PageUp, Qt::NoModifier);
        key(&window, QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier);
        const QByteArray same = harness.pty().read(12, 2000);
        sameCamera.push_back(microseconds(Clock::now() - again));
        if (same != zoomStop1 + zoom1)
            return std::fprintf(stderr, "not the stop, then the zoom again\n"), false;
        key(&window, QEvent::KeyRelease, Qt::Key_PageUp, Qt::NoModifier);
        harness.pty().read(6, 2000);
        QCoreApplication::processEvents();
    }
    benchTableRowWithin("camera switch: Ctrl+2 -> camera 2's first packet after camera 1's stop",
                        "us", figuresOf(firstPacket), "stop and zoom on one camera",
                        figuresOf(sameCamera), kFirstPacketUs);
    return true;
}

long long residentKb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 6, "VmRSS:") == 0)
            return std::atoll(line.c_str() + 6);
    }
    return 0;
}

long long contextSwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

// The window on a store listing `count` network cameras at the simulator;
// returns once they are all connected.
std::unique_ptr<WindowHarness> networkWindow(quint16 firstPort, int count)
{
    QList<Listed> list;
    for (int i = 0; i < count; ++i)
        list.append({QStringLiteral("udp"), QString(),
                     QStringLiteral("127.0.0.1:%1").arg(firstPort + i), 1});
    storeCameras(list);
    auto harness = std::make_unique<WindowHarness>();
    harness->window().show();
    CameraList &cameras = harness->window().cameraList();
    const bool up = spinUntil([&] {
        for (const Camera *camera : cameras.cameras()) {
            if (!camera->carriesCommands())
                return false;
        }
        return true;
    });
    if (!up)
        harness.reset();
    return harness;
}

// Context switches of this process while only the event loop runs for
// kIdleSeconds, less the one wake-up of the timer that ends the watch.
double idleSwitches()
{
    const long long before = contextSwitches();
    QEventLoop loop;
    QTimer::singleShot(kIdleSeconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    return double(std::max(0LL, contextSwitches() - before - 1));
}

bool idle()
{
    ViscaModel::Config config;
    config.networkCameras = kNetworkCameras + 1;
    Simulator sim(config);
    QString error;
    if (!sim.listenNetwork(ViscaIp::Protocol::Udp, QHostAddress::LocalHost, 0, &error)) {
        std::fprintf(stderr, "the simulator could not listen: %s\n", qPrintable(error));
        return false;
    }
    const quint16 first = sim.network(1).udpPort();
    // Memory: one camera, then seventeen, each window built and connected.
    long long oneKb = 0;
    double oneSwitches = 0;
    {
        auto one = networkWindow(first, 1);
        if (!one)
            return std::fprintf(stderr, "one camera did not connect\n"), false;
        spinUntil([] { return false; }, 3000);
        oneKb = residentKb();
        oneSwitches = idleSwitches();
    }
    auto many = networkWindow(first, kNetworkCameras + 1);
    if (!many)
        return std::fprintf(stderr, "%d cameras did not connect\n", kNetworkCameras + 1), false;
    // Settle, then watch without running anything but the event loop.
    spinUntil([] { return false; }, 3000);
    const long long manyKb = residentKb();
    const double manySwitches = idleSwitches();
    const std::string over = " in " + std::to_string(kIdleSeconds) + " s idle, "
        + std::to_string(kNetworkCameras + 1) + " network cameras";
    benchTableCount("wake-ups" + over, "switches", manySwitches, "the same, one network camera",
                    oneSwitches, "= 0");
    benchTableCount("memory per added network camera", "KiB",
                    double(manyKb - oneKb) / kNetworkCameras, "-", 0, "<= 1024");
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;
    QLoggingCategory::setFilterRules(
        QStringLiteral("tarndeck.*.info=false\ntarndeck.*.warning=false\ntarndeck.sim.*=false"));
    if (!switching())
        return 1;
    return idle() ? 0 : 1;
}

// The gamepad's paths, on a virtual pad inside SDL (the same hot-plug,
// mapping and event path as a pad on USB):
// - a stick moved -> the operation signal (panTilt), at a random moment
//   relative to the pump, against SDL's own reading of the pad when it is
//   asked at once (the floor: no pump to wait for). Target: median <= 2 ms.
// - the pad unplugged mid-move -> the stop signal. Target: p99 <= 250 ms.
// - what pumping costs: CPU time and wake-ups per second with pad input on
//   and no pad, and with a pad open and at rest, against pad input off.
// - on the wire, through the program's own window with its port open on a
//   pseudo-terminal: a stick moved -> the drive packet readable on the line,
//   against write(2) of the same bytes to the line (the serial floor).
//   Target: median at most 2 ms over the floor's median.
// - the pad unplugged while it pans, zooms and focuses -> the last of the
//   three stops readable on the line. Target: p99 <= 250 ms.
// The stick is moved from a thread of its own (SDL locks the virtual pad's
// state), so a move falls at any moment of the pump's cycle; another thread
// waits on the line and notes when each packet has arrived whole.
#include "gamepad.h"
#include "linewatch.h"
#include "operatormix.h"
#include "virtualpad.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QSettings>
#include <QTimer>

#include <SDL.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <random>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {

constexpr int kAxisSamples = 600;
constexpr int kUnplugRounds = 60;
constexpr int kCostSeconds = 5;
constexpr double kOverFloorTargetUs = 2000;

const QString padName = QStringLiteral("Tarnwick Duo");


// Handles events for a random time within one fast pump period, so the next
// step starts at any moment of the pump's cycle.
void randomPhase(std::mt19937 &random)
{
    std::uniform_int_distribution<int> micros(0, PadInput::openInterval * 1000);
    const auto until = Clock::now() + std::chrono::microseconds(micros(random));
    while (Clock::now() < until)
        QCoreApplication::processEvents(QEventLoop::AllEvents);
}

struct Cost
{
    double cpuMsPerSecond;
    double wakeupsPerSecond;
};

double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return now.tv_sec * 1e3 + now.tv_nsec / 1e6;
}

long contextSwitches()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw + usage.ru_nivcsw;
}

// Lets the event loop run for kCostSeconds and reads what it cost.
Cost idleCost()
{
    const double cpu = processCpuMs();
    const long switches = contextSwitches();
    QElapsedTimer clock;
    clock.start();
    runUntil([] { return false; }, kCostSeconds * 1000);
    const double seconds = clock.nsecsElapsed() / 1e9;
    return {(processCpuMs() - cpu) / seconds, (contextSwitches() - switches) / seconds};
}

// SDL reads the pad at once: the least any program could do.
double sdlAtOnceUs(VirtualPad &pad, int value)
{
    const auto start = Clock::now();
    pad.set(Pad::Control::LeftX, value);
    SDL_PumpEvents();
    SDL_Event event;
    while (
        SDL_PeepEvents(&event, 1, SDL_GETEVENT, SDL_CONTROLLERAXISMOTION, SDL_CONTROLLERAXISMOTION)
        <= 0) {
        if (microseconds(Clock::now() - start) > kWaitLimitMs * 1000.0)
            return -1;
        SDL_PumpEvents();
    }
    return microseconds(Clock::now() - start);
}

// The pad through the program's window to the serial line: axis -> packet
// against write(2), and unplugged -> the stops. False when a step failed.
bool padToWire(std::mt19937 &random)
{
    {
        QSettings store;
        store.setValue(QStringLiteral("gamepad/enabled"), true);
        store.sync();
    }
    WindowHarness harness;
    // The floor writes on the line's slave, opened before the window holds
    // the port for itself.
    const int slaveFd
        = ::open(qPrintable(harness.pty().slavePath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd < 0 || !harness.openPort()) {
        std::fprintf(stderr, "could not open the pseudo-terminal through the port menu\n");
        return false;
    }
    harness.pty().drain();
    Gamepad &gamepad = harness.window().gamepad().gamepad();
    auto pad = std::make_unique<VirtualPad>(padName);
    if (!runUntil([&] { return gamepad.padName() == padName; })) {
        std::fprintf(stderr, "the window's gamepad did not open the virtual pad\n");
        return false;
    }
    LineWatch line(harness.pty().master());

    // A stick moved -> its drive packet on the line: pan 24 and pan 6 in
    // turns, one packet each.
    std::vector<Clock::time_point> movedAt(kAxisSamples);
    std::thread hand([&] {
        std::uniform_int_distribution<int> pause(5000, 9000);
        for (int i = 0; i < kAxisSamples; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
            while (line.count() < i) // the last move's packet has arrived
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            movedAt[size_t(i)] = Clock::now();
            pad->set(Pad::Control::LeftX, i % 2 ? 16384 : 32767);
        }
    });
    const bool allArrived = runUntil([&] { return line.count() >= kAxisSamples; }, 60000);
    hand.join();
    if (!allArrived) {
        std::fprintf(stderr, "not every stick move reached the line\n");
        return false;
    }
    const QByteArray pan24 = QByteArray::fromHex("8101060118010203FF");
    const QByteArray pan6 = QByteArray::fromHex("8101060106010203FF");
    std::vector<double> ours, floor;
    for (int i = 0; i < kAxisSamples; ++i) {
        const auto [bytes, at] = line.packet(i);
        if (bytes != (i % 2 ? pan6 : pan24)) {
            std::fprintf(stderr, "packet %d on the line: %s\n", i, bytes.toHex().constData());
            return false;
        }
        ours.push_back(microseconds(at - movedAt[size_t(i)]));
    }
    for (int i = 0; i < kAxisSamples; ++i) {
        const QByteArray &bytes = i % 2 ? pan6 : pan24;
        const int before = line.count();
        const Clock::time_point start = Clock::now();
        if (::write(slaveFd, bytes.constData(), size_t(bytes.size())) != bytes.size())
            return false;
        while (line.count() == before) {
            if (microseconds(Clock::now() - start) > kWaitLimitMs * 1000.0)
                return false;
            std::this_thread::yield();
        }
        floor.push_back(microseconds(line.packet(before).second - start));
    }
    const BenchFigures wire = figuresOf(ours);
    const BenchFigures serial = figuresOf(floor);
    benchTableRow("pad axis -> packet on the serial line", "us", wire, "write(2) to the line",
                  serial, 0);
    benchTableCount("pad axis -> packet, median over the serial floor", "us",
                    wire.median - serial.median, "write(2) median", serial.median,
                    "<= " + benchtable::number(kOverFloorTargetUs));

    // Unplugged while panning, zooming and focusing -> the last stop.
    const QByteArray lastStop = QByteArray::fromHex("8101040800FF");
    std::vector<double> stops;
    for (int round = 0; round < kUnplugRounds; ++round) {
        if (!pad) {
            pad = std::make_unique<VirtualPad>(padName);
            if (!runUntil([&] { return gamepad.padName() == padName; })) {
                std::fprintf(stderr, "the virtual pad was not opened again\n");
                return false;
            }
        }
        // Pan, zoom in, and a far focus drive (after the manual mode, the
        // first time): its packet comes last.
        const QByteArray focusFar = QByteArray::fromHex("8101040827FF");
        const int before = line.count();
        pad->set(Pad::Control::LeftX, round % 2 ? 32767 : -30000);
        pad->set(Pad::Control::RightTrigger, 32767);
        pad->set(Pad::Control::RightY, -32768);
        const auto running = [&] {
            const int n = line.count();
            return n >= before + 3 && line.packet(n - 1).first == focusFar;
        };
        if (!runUntil(running)) {
            std::fprintf(stderr, "the pad's moves did not reach the line\n");
            return false;
        }
        randomPhase(random);
        const int moving = line.count();
        const Clock::time_point start = Clock::now();
        pad->unplug();
        const auto stopped = [&] {
            return line.count() >= moving + 3 && line.packet(moving + 2).first == lastStop;
        };
        if (!runUntil(stopped)) {
            std::fprintf(stderr, "no stops on the line after the pad was unplugged\n");
            return false;
        }
        stops.push_back(microseconds(line.packet(moving + 2).second - start) / 1000.0);
        pad.reset();
    }
    ::close(slaveFd);
    const BenchFigures unplug = figuresOf(stops);
    std::printf("pad unplugged -> stops on the line: median %.2f ms, p99 %.2f ms (%d rounds)\n",
                unplug.median, unplug.p99, kUnplugRounds);
    benchTableCount("pad unplugged -> 3 stops on the line, p99", "ms", unplug.p99,
                    "fast pump period", PadInput::openInterval, "<= 250");
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;
    std::mt19937 random(26);

    // Pumping costs, with SDL's default hints (udev, HIDAPI) as the program
    // runs it.
    Gamepad gamepad;
    const Cost off = idleCost();
    gamepad.setEnabled(true);
    const Cost searching = idleCost();
    const int searchInterval = gamepad.pumpInterval();
    gamepad.setEnabled(false);

    VirtualPad::isolate();
    gamepad.setEnabled(true);
    auto pad = std::make_unique<VirtualPad>(padName);
    if (!runUntil([&] { return gamepad.padName() == padName; })) {
        std::fprintf(stderr, "the virtual pad was not opened\n");
        return 1;
    }
    const Cost open = idleCost();
    const int openInterval = gamepad.pumpInterval();
    std::printf("pump every %d ms with no pad, every %d ms with a pad open\n", searchInterval,
                openInterval);
    benchTableCount("pad input on, no pad: pump CPU", "ms/s", searching.cpuMsPerSecond,
                    "pad input off", off.cpuMsPerSecond, "-");
    benchTableCount("pad input on, no pad: wake-ups", "1/s", searching.wakeupsPerSecond,
                    "pad input off", off.wakeupsPerSecond, "-");
    benchTableCount("pad open, at rest: pump CPU", "ms/s", open.cpuMsPerSecond, "pad input off",
                    off.cpuMsPerSecond, "-");
    benchTableCount("pad open, at rest: wake-ups", "1/s", open.wakeupsPerSecond, "pad input off",
                    off.wakeupsPerSecond, "-");

    // A stick moved -> panTilt, alternating two speeds. The hand is another
    // thread: it moves the stick at moments of its own, as a hand does,
    // while this thread waits for events as the program does.
    std::vector<Clock::time_point> movedAt(kAxisSamples), signalledAt(kAxisSamples);
    std::atomic<int> moves{0};
    Clock::time_point signalled;
    QObject::connect(&gamepad, &Gamepad::panTilt, [&](int, int) {
        signalled = Clock::now();
        const int n = moves.load();
        if (n < kAxisSamples)
            signalledAt[size_t(n)] = signalled;
        moves.store(n + 1);
    });
    std::thread hand([&] {
        std::uniform_int_distribution<int> pause(5000, 9000);
        for (int i = 0; i < kAxisSamples; ++i) {
            std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
            while (moves.load() < i) // the last move has been taken
                std::this_thread::sleep_for(std::chrono::microseconds(200));
            movedAt[size_t(i)] = Clock::now();
            pad->set(Pad::Control::LeftX, i % 2 ? 16384 : 32767);
        }
    });
    const bool allTaken = runUntil([&] { return moves.load() >= kAxisSamples; }, 60000);
    hand.join();
    if (!allTaken) {
        std::fprintf(stderr, "not every stick move was signalled\n");
        return 1;
    }
    std::vector<double> ours, floor;
    for (int i = 0; i < kAxisSamples; ++i) {
        ours.push_back(microseconds(signalledAt[size_t(i)] - movedAt[size_t(i)]));
        floor.push_back(sdlAtOnceUs(*pad, i % 2 ? -32768 : -16384));
    }
    benchTableRowWithin("pad axis -> operation signal", "us", figuresOf(ours), "SDL read at once",
                        figuresOf(floor), 2000);

    // Unplugged mid-move -> the stop.
    std::vector<double> stops;
    bool stopped = false;
    QObject::connect(&gamepad, &Gamepad::panTilt,
                     [&](int p, int t) { stopped = p == 0 && t == 0; });
    for (int round = 0; round < kUnplugRounds; ++round) {
        if (!pad) {
            pad = std::make_unique<VirtualPad>(padName);
            if (!runUntil([&] { return gamepad.padName() == padName; })) {
                std::fprintf(stderr, "the virtual pad was not opened again\n");
                return 1;
            }
        }
        const int before = moves.load();
        pad->set(Pad::Control::LeftX, round % 2 ? 32767 : -30000);
        runUntil([&] { return moves.load() > before; });
        randomPhase(random);
        stopped = false;
        const auto start = Clock::now();
        pad->unplug();
        if (!runUntil([&] { return stopped; })) {
            std::fprintf(stderr, "no stop after the pad was unplugged\n");
            return 1;
        }
        stops.push_back(microseconds(signalled - start) / 1000.0);
        pad.reset();
    }
    const BenchFigures unplug = figuresOf(stops);
    std::printf("pad unplugged -> stops: median %.2f ms, p99 %.2f ms (%d rounds)\n", unplug.median,
                unplug.p99, kUnplugRounds);
    benchTableCount("pad unplugged -> stops, p99", "ms", unplug.p99, "fast pump period",
                    PadInput::openInterval, "<= 250");
    QObject::disconnect(&gamepad, nullptr, nullptr, nullptr);
    gamepad.setEnabled(false);

    return padToWire(random) ? 0 : 1;
}

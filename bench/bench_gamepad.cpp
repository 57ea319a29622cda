// The gamepad's paths, on a virtual pad inside SDL (the same hot-plug,
// mapping and event path as a pad on USB):
// - a stick moved -> the operation signal (panTilt), at a random moment
//   relative to the pump, against SDL's own reading of the pad when it is
//   asked at once (the floor: no pump to wait for). Target: median <= 2 ms.
// - the pad unplugged mid-move -> the stop signal. Target: p99 <= 250 ms.
// - what pumping costs: CPU time and wake-ups per second with pad input on
//   and no pad, and with a pad open and at rest, against pad input off.
// The wire figures (axis -> packet) come once the pad drives a camera.
// The stick is moved from a thread of its own (SDL locks the virtual pad's
// state), so a move falls at any moment of the pump's cycle.
#include "gamepad.h"
#include "operatormix.h"
#include "virtualpad.h"

#include <QElapsedTimer>
#include <QTimer>

#include <SDL.h>

#include <atomic>
#include <memory>
#include <random>
#include <thread>

#include <sys/resource.h>
#include <time.h>

namespace {

constexpr int kAxisSamples = 600;
constexpr int kUnplugRounds = 60;
constexpr int kCostSeconds = 5;

const QString padName = QStringLiteral("Tarnwick Duo");

// Handles events, sleeping between them as the program does, until `done`
// holds or `limitMs` have passed.
template<typename Done>
bool runUntil(Done done, int limitMs = kWaitLimitMs)
{
    QTimer limit;
    limit.setSingleShot(true);
    limit.start(limitMs);
    while (!done() && limit.isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

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
    return 0;
}

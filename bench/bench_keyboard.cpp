// How long a key takes to reach the camera: a real, shown window with its
// serial port open on a pseudo-terminal gets a key event, and the time runs
// until all bytes of the command it leads to are readable on the master side.
// Two strokes are timed, 1000 key presses each: Page Up (zoom 3; its release
// sends zoom stop) and Ctrl+Page Up (one zoom step per press, up to 8, then
// the Ctrl release stops the zoom). Reports the median and the 99th
// percentile of the presses, and of the releases that send (target: p99 of
// the presses at most 0.5 ms).
#include "operatormix.h"
#include "tarndeck.h"
#include "testsettings.h"
#include "viscavocabulary.h"
#include "windowharness.h"

#include <QApplication>
#include <QKeyEvent>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr int kTimedPresses = 1000;
constexpr double kTargetP99Microseconds = 500.0;

QByteArray zoomBytes(int value)
{
    QByteArray bytes;
    const QStringList packets = viscaCommands(QStringLiteral("zoom"), QString::number(value));
    for (const QString &packet : packets)
        bytes += commandBytes(packet);
    return bytes;
}

// Timings of one kind of key event, in microseconds.
struct Timings
{
    std::vector<double> micros;

    void report(const char *what, benchmark::State &state, const std::string &counter) const
    {
        const double median = percentile(micros, 0.5);
        const double p99 = percentile(micros, 0.99);
        const double worst = micros.empty() ? 0.0 : *std::max_element(micros.begin(), micros.end());
        state.counters[counter + "_median_us"] = median;
        state.counters[counter + "_p99_us"] = p99;
        std::printf("%s -> pty master: %zu keys, median %.1f us, p99 %.1f us, max %.1f us\n", what,
                    micros.size(), median, p99, worst);
    }
};

// The timed presses against the target, then the releases that send.
void report(benchmark::State &state, const char *pressName, const Timings &presses,
            const char *releaseName, const Timings &releases)
{
    presses.report(pressName, state, "press");
    const double p99 = percentile(presses.micros, 0.99);
    std::printf("  target p99 <= %.0f us: %s\n", kTargetP99Microseconds,
                p99 <= kTargetP99Microseconds ? "met" : "MISSED");
    releases.report(releaseName, state, "release");
    std::fflush(stdout);
}

class KeyDriver
{
public:
    explicit KeyDriver(WindowHarness *harness)
        : harness(harness)
    {
    }

    // Sends one key event and waits for `expected` on the line; returns the
    // time from the event until the last byte was readable, or a negative
    // value when the line did not get exactly those bytes.
    double stroke(QEvent::Type type, int key, Qt::KeyboardModifiers modifiers,
                  const QByteArray &expected)
    {
        QKeyEvent event(type, key, modifiers);
        const Clock::time_point start = Clock::now();
        QApplication::sendEvent(&harness->window(), &event);
        const QByteArray received = expected.isEmpty() ? harness->pty().drain()
                                                       : harness->pty().read(expected.size(), 1000);
        const Clock::time_point end = Clock::now();
        if (received != expected)
            return -1.0;
        return std::chrono::duration<double, std::micro>(end - start).count();
    }

    // Lets the window repaint between strokes, outside the timed part.
    void settle() { QCoreApplication::processEvents(); }

private:
    WindowHarness *harness;
};

// Page Up pressed and released: zoom 3, then zoom stop.
void pageUp(benchmark::State &state, WindowHarness *harness)
{
    KeyDriver keys(harness);
    const QByteArray run = zoomBytes(3);
    const QByteArray stop = zoomBytes(0);
    Timings presses;
    Timings releases;
    harness->pty().drain();

    for (auto _ : state) {
        const double press = keys.stroke(QEvent::KeyPress, Qt::Key_PageUp, Qt::NoModifier, run);
        const double release
            = keys.stroke(QEvent::KeyRelease, Qt::Key_PageUp, Qt::NoModifier, stop);
        if (press < 0 || release < 0) {
            state.SkipWithError("the line did not receive the key's bytes");
            break;
        }
        state.SetIterationTime(press / 1e6);
        presses.micros.push_back(press);
        releases.micros.push_back(release);
        keys.settle();
    }
    report(state, "Page Up press", presses, "Page Up release", releases);
}

// Ctrl held, Page Up pressed and released eight times (zoom 1 ... 8), then
// Ctrl released (zoom stop); over and over.
void ctrlPageUpSteps(benchmark::State &state, WindowHarness *harness)
{
    KeyDriver keys(harness);
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    Timings steps;
    Timings ctrlReleases;
    harness->pty().drain();

    int value = 0;
    bool failed = false;
    for (auto _ : state) {
        if (value == 0)
            failed |= keys.stroke(QEvent::KeyPress, Qt::Key_Control, ctrl, QByteArray()) < 0;
        ++value;
        const double press = keys.stroke(QEvent::KeyPress, Qt::Key_PageUp, ctrl, zoomBytes(value));
        failed |= press < 0;
        failed |= keys.stroke(QEvent::KeyRelease, Qt::Key_PageUp, ctrl, QByteArray()) < 0;
        if (value == 8) {
            const double release
                = keys.stroke(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier, zoomBytes(0));
            failed |= release < 0;
            ctrlReleases.micros.push_back(release);
            value = 0;
        }
        if (failed) {
            state.SkipWithError("the line did not receive the key's bytes");
            break;
        }
        state.SetIterationTime(press / 1e6);
        steps.micros.push_back(press);
        keys.settle();
    }
    report(state, "Ctrl+Page Up press", steps, "Ctrl release", ctrlReleases);
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;

    WindowHarness connected;
    connected.window().show();
    QCoreApplication::processEvents();
    if (!connected.openPort()) {
        std::fprintf(stderr, "could not open the pseudo-terminal through the port menu\n");
        return 1;
    }

    benchmark::RegisterBenchmark("keyboard/PageUp_to_pty_master", pageUp, &connected)
        ->Iterations(kTimedPresses)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("keyboard/CtrlPageUp_step_to_pty_master", ctrlPageUpSteps,
                                 &connected)
        ->Iterations(kTimedPresses)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

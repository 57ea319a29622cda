// How long the operator waits from a key to the camera's line, on the real
// path: the panel runs as its own program on a private Xvfb server with its
// serial port open on a pseudo-terminal (opened through its own "&Connect"
// menu), and Page Up goes down and up through XTest. Each stroke is timed
// from just before the fake key event is flushed to the X server until all
// the bytes it leads to are readable on the pty master: zoom tele at speed 2
// (8101040722FF) for the press, zoom stop (8101040700FF) for the release.
//
// The floor is a bare QMainWindow with the panel's style sheet that writes
// the same bytes to a QSerialPort on the same key (bench/windows): what the
// X server, Qt's xcb input and the line cost whatever the panel does. The
// two programs take turns, one at a time, in rounds, so that drift of the
// machine hits both alike; the first stroke of each round warms up and is
// not counted. Server auto-repeat is off while the keys are driven.
//
// Target: the panel's median at most 1.15 times the floor's, for the press
// and for the release. Without Xvfb the benchmark says why and skips.
#include "benchtable.h"
#include "operatormix.h"
#include "privatexserver.h"
#include "processwatch.h"
#include "ptypair.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>

#include <benchmark/benchmark.h>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <cstdio>
#include <thread>
#include <vector>

namespace {

constexpr int kRounds = 10;
constexpr int kStrokesPerRound = 100; // the first of each round warms up
constexpr double kTargetRatio = 1.15;
// Between key events, so that a release and the next press never share the
// server's millisecond: the panel would take such a pair for an auto-repeat.
constexpr std::chrono::milliseconds kGap(3);
constexpr int kStartLimitMs = 20000;

const QByteArray zoomTele = QByteArray::fromHex("8101040722FF");
const QByteArray zoomStop = QByteArray::fromHex("8101040700FF");

// Press and release timings of one window, in microseconds, and what went
// wrong on the way.
struct Samples
{
    std::vector<double> press;
    std::vector<double> release;
    int failures = 0;
};

// The server's auto-repeat, off for as long as this lives.
class RepeatOff
{
public:
    explicit RepeatOff(Display *display)
        : display(display)
    {
        XKeyboardState state;
        XGetKeyboardControl(display, &state);
        wasOn = state.global_auto_repeat == AutoRepeatModeOn;
        XAutoRepeatOff(display);
        XSync(display, False);
    }
    ~RepeatOff()
    {
        if (wasOn)
            XAutoRepeatOn(display);
        XSync(display, False);
    }
    RepeatOff(const RepeatOff &) = delete;
    RepeatOff &operator=(const RepeatOff &) = delete;

private:
    Display *display;
    bool wasOn = false;
};

class KeyDriver
{
public:
    KeyDriver(Display *display, PtyPair *pty)
        : display(display)
        , pty(pty)
        , pageUp(XKeysymToKeycode(display, XK_Prior))
    {
    }

    // Page Up goes down or up; returns the time until `expected` was
    // readable on the master, or a negative value when other bytes came, or
    // none within `limitMs`. Bytes left over from earlier strokes fail it too.
    double stroke(bool down, const QByteArray &expected, int limitMs = kWaitLimitMs)
    {
        std::this_thread::sleep_for(kGap);
        const bool clean = pty->drain().isEmpty();
        const Clock::time_point start = Clock::now();
        XTestFakeKeyEvent(display, pageUp, down, CurrentTime);
        XFlush(display);
        const QByteArray received = pty->read(expected.size(), limitMs);
        const Clock::time_point end = Clock::now();
        if (!clean || received != expected)
            return -1.0;
        return microseconds(end - start);
    }

    // Gives `window` the keyboard and strokes Page Up until it answers (it
    // takes the keys only once it knows it is active). False when it never
    // does.
    bool focus(Window window)
    {
        QElapsedTimer clock;
        clock.start();
        XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
        XSync(display, False);
        while (clock.elapsed() < kStartLimitMs) {
            const bool pressed = stroke(true, zoomTele, 200) >= 0;
            const bool released = stroke(false, zoomStop, 200) >= 0;
            if (pressed && released)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            pty->drain();
        }
        return false;
    }

private:
    Display *display;
    PtyPair *pty;
    KeyCode pageUp;
};

struct Run
{
    PrivateXServer *server;
    Display *display;
    bool failed = false;
};

// One round of one window: started fresh, focused (that stroke warms up),
// then the timed strokes. False when the window could not be driven at all.
bool driveRound(Run &run, const QString &program, Samples &samples)
{
    PtyPair pty;
    if (!pty.isValid()) {
        std::fprintf(stderr, "bench_keywire: no pseudo-terminal pair\n");
        return false;
    }
    const std::string display = run.server->display().toStdString();
    MapWatch watch(display);
    WindowProcess child(program.toStdString(), {"--serial", pty.slavePath().toStdString()},
                        display);
    if (!child.waitReady(kStartLimitMs)) {
        std::fprintf(stderr, "bench_keywire: %s did not get ready\n", qPrintable(program));
        return false;
    }
    const Window window = watch.waitMapped(child.pid(), kStartLimitMs);
    KeyDriver keys(run.display, &pty);
    if (!window || !keys.focus(window)) {
        std::fprintf(stderr, "bench_keywire: %s did not take Page Up\n", qPrintable(program));
        return false;
    }
    for (int i = 1; i < kStrokesPerRound; ++i) {
        const double press = keys.stroke(true, zoomTele);
        const double release = keys.stroke(false, zoomStop);
        if (press >= 0)
            samples.press.push_back(press);
        if (release >= 0)
            samples.release.push_back(release);
        samples.failures += int(press < 0) + int(release < 0);
    }
    return true;
}

void keyToWire(benchmark::State &state, Run *run)
{
    const QString folder = QCoreApplication::applicationDirPath();
    const QString panelProgram = folder + QStringLiteral("/panelwindow");
    const QString floorProgram = folder + QStringLiteral("/floorwindow");
    for (const QString &program : {panelProgram, floorProgram}) {
        if (!QFileInfo(program).isExecutable()) {
            state.SkipWithError("panelwindow or floorwindow is missing next to the benchmark");
            run->failed = true;
            return;
        }
    }

    Samples panel;
    Samples bare;
    for (auto _ : state) {
        RepeatOff repeatOff(run->display);
        for (int r = 0; r < kRounds && !run->failed; ++r) {
            // Which one goes first changes every round.
            const bool panelFirst = r % 2 == 0;
            run->failed = !driveRound(*run, panelFirst ? panelProgram : floorProgram,
                                      panelFirst ? panel : bare)
                || !driveRound(*run, panelFirst ? floorProgram : panelProgram,
                               panelFirst ? bare : panel);
        }
        if (run->failed) {
            state.SkipWithError("a window could not be driven");
            return;
        }
        // The time the library shows is the panel's median press.
        state.SetIterationTime(percentile(panel.press, 0.5) / 1e6);
    }

    const BenchFigures panelPress = figuresOf(panel.press);
    const BenchFigures floorPress = figuresOf(bare.press);
    const BenchFigures panelRelease = figuresOf(panel.release);
    const BenchFigures floorRelease = figuresOf(bare.release);
    state.counters["panel_press_median_us"] = panelPress.median;
    state.counters["floor_press_median_us"] = floorPress.median;
    state.counters["panel_release_median_us"] = panelRelease.median;
    state.counters["floor_release_median_us"] = floorRelease.median;
    std::printf("strokes timed: panel %zu presses, %zu releases; floor %zu presses, %zu releases\n",
                panel.press.size(), panel.release.size(), bare.press.size(), bare.release.size());
    if (panel.failures || bare.failures) {
        std::printf("FAILED key events (wrong, extra or missing bytes): panel %d, floor %d\n",
                    panel.failures, bare.failures);
        run->failed = true;
    }
    benchTableRow("key press -> wire", "us", panelPress, "bare Qt window + QSerialPort", floorPress,
                  kTargetRatio);
    benchTableRow("key release -> wire", "us", panelRelease, "bare Qt window + QSerialPort",
                  floorRelease, kTargetRatio);
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;

    PrivateXServer server;
    if (server.display().isEmpty()) {
        std::printf("bench_keywire: skipped, no X server to drive the keys on: %s\n",
                    qPrintable(server.failure()));
        return 0;
    }
    // A window that goes away while it is looked at is no reason to stop.
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    Display *display = XOpenDisplay(server.display().toLatin1().constData());
    int event, error, major, minor;
    if (!display || !XTestQueryExtension(display, &event, &error, &major, &minor)) {
        std::printf("bench_keywire: skipped, the private X server offers no XTest\n");
        if (display)
            XCloseDisplay(display);
        return 0;
    }

    Run run{&server, display};
    runTimedBenchmarks(
        benchmark::RegisterBenchmark("keywire/PageUp_to_pty_master", keyToWire, &run), 1);
    XCloseDisplay(display);
    return run.failed ? 1 : 0;
}

// How fast the panel starts: the installed program (src/tarnDeck) and a bare
// QMainWindow wearing the same style sheet (the floor), launched one after
// the other on a private Xvfb server, 20 rounds after one round to warm the
// file cache. Each launch is timed from the fork until the X server reports
// its top-level window mapped; the CPU time of all its threads is read at
// that moment, its peak resident memory half a second later (after the
// first paint). Targets: time to map at most 1.25 x the floor, peak RSS at
// most 1.1 x. The floor runs a second time without OpenGL, as the panel
// does, for the like-for-like figure.
#include "benchtable.h"
#include "privatexserver.h"
#include "processwatch.h"

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

namespace {

constexpr int kPairs = 20;
constexpr int kMapLimitMs = 15000;

struct Launch
{
    double wallMs = 0;
    double cpuMs = 0;
    double peakRssMiB = 0;
};

struct Series
{
    std::vector<double> wallMs, cpuMs, peakRssMiB;
    void add(const Launch &launch)
    {
        wallMs.push_back(launch.wallMs);
        cpuMs.push_back(launch.cpuMs);
        peakRssMiB.push_back(launch.peakRssMiB);
    }
};

bool launch(const std::string &program, const std::string &display, Launch &result,
            const std::vector<std::string> &environment = {})
{
    MapWatch watch(display);
    if (!watch.ok())
        return false;
    WindowProcess process(program, {}, display, environment);
    if (!watch.waitMapped(process.pid(), kMapLimitMs)) {
        std::fprintf(stderr, "%s: no window mapped\n", program.c_str());
        return false;
    }
    const auto mapped = std::chrono::steady_clock::now();
    result.cpuMs = processCounters(process.pid()).cpuMs;
    result.wallMs = std::chrono::duration<double, std::milli>(mapped - process.startedAt()).count();
    std::this_thread::sleep_for(std::chrono::milliseconds(500));
    result.peakRssMiB = double(processCounters(process.pid()).peakRssKb) / 1024.0;
    return true;
}

} // namespace

int main(int, char *argv[])
{
    const std::string panel = besideSelf(argv[0], "../src/tarnDeck");
    const std::string floor = besideSelf(argv[0], "floorwindow");
    for (const std::string &program : {panel, floor}) {
        if (::access(program.c_str(), X_OK) != 0) {
            std::fprintf(stderr, "bench_coldstart: %s is missing\n", program.c_str());
            return 1;
        }
    }
    PrivateXServer server;
    if (server.display().isEmpty()) {
        std::printf("bench_coldstart: skipped, %s\n", qPrintable(server.failure()));
        return 0;
    }
    const std::string display = server.display().toStdString();

    // The panel switches the X11 platform's OpenGL integration off (it
    // draws nothing with it); the bare window as any Qt program starts has
    // it, so it is measured both ways.
    const std::vector<std::string> noGl{"QT_XCB_GL_INTEGRATION=none"};
    Series ours, bare, bareNoGl;
    for (int round = 0; round <= kPairs; ++round) {
        Launch a, b, c;
        // Rotate the order, so none always finds the others' pages freshly
        // in the cache.
        const int first = round % 3;
        for (int turn = 0; turn < 3; ++turn) {
            const int which = (first + turn) % 3;
            const bool started = which == 0 ? launch(panel, display, a)
                : which == 1                ? launch(floor, display, b)
                                            : launch(floor, display, c, noGl);
            if (!started)
                return 1;
        }
        if (round == 0)
            continue;
        ours.add(a);
        bare.add(b);
        bareNoGl.add(c);
    }
    // The targets apply to the bare window as any Qt program starts; the
    // one without OpenGL is reported beside it, without a target.
    const struct
    {
        const Series &floor;
        const char *name;
        bool targeted;
    } floors[] = {{bare, "bare QMainWindow, same style sheet", true},
                  {bareNoGl, "the same bare window without OpenGL", false}};
    for (const auto &floor : floors) {
        benchTableRow("cold start -> window mapped", "ms", figuresOf(ours.wallMs), floor.name,
                      figuresOf(floor.floor.wallMs), floor.targeted ? 1.25 : 0);
        benchTableRow("cold start CPU until mapped", "ms", figuresOf(ours.cpuMs), floor.name,
                      figuresOf(floor.floor.cpuMs), floor.targeted ? 1.25 : 0);
        benchTableRow("peak RSS after the first paint", "MiB", figuresOf(ours.peakRssMiB),
                      floor.name, figuresOf(floor.floor.peakRssMiB), floor.targeted ? 1.1 : 0);
    }
    return 0;
}

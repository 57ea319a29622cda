// Shared by the benchmarks: the commands an operator sends, in the mix they
// are timed with, the percentile of a set of timings, and the process set-up.
#pragma once

#include "benchtable.h"
#include "testsettings.h"
#include "viscavocabulary.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <QString>
#include <QStringList>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

// The clock every benchmark times with, and its readings in microseconds.
using Clock = std::chrono::steady_clock;

inline double microseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::micro>(duration).count();
}

// Runs the event loop until `done` holds or the wait limit passed.
template<typename Condition>
bool spinUntil(const Condition &done, int limitMs = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return done();
}

// How long a benchmark waits for a socket or a reply before it gives up.
constexpr int kWaitLimitMs = 2000;

// Handles events, sleeping between them as the program does, until `done`
// holds or `limitMs` have passed. Whatever makes `done` hold must also wake
// the event loop (an event, a socket, a timer).
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

// Main's last step: `registered` runs `iterations` passes timed by the clock
// it reports itself, then every registered benchmark runs and the library
// shuts down.
inline int runTimedBenchmarks(benchmark::internal::Benchmark *registered, int iterations)
{
    registered->Iterations(iterations)->UseManualTime()->Unit(benchmark::kMicrosecond);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

struct OperatorCommand
{
    QString group;
    QString action;
    QStringList packets; // the command texts the pair sends
};

// Slider speeds, focus words, lamp, colour, exposure and profile recalls:
// one packet each.
inline std::vector<OperatorCommand> operatorCommands()
{
    std::vector<OperatorCommand> commands;
    const auto add = [&commands](const QString &group, const QString &action) {
        commands.push_back({group, action, viscaCommands(group, action)});
    };
    for (int speed = -8; speed <= 8; ++speed) {
        add(QStringLiteral("zoom"), QString::number(speed));
        add(QStringLiteral("focus"), QString::number(speed));
    }
    for (const char *word : {"auto", "manual", "trigger"})
        add(QStringLiteral("focus"), QLatin1String(word));
    for (const char *word : {"up", "down", "stop", "off"})
        add(QStringLiteral("led"), QLatin1String(word));
    for (const char *word : {"auto", "2700k", "3200k", "5800k"})
        add(QStringLiteral("color"), QLatin1String(word));
    for (const char *word : {"up", "down", "reset", "on", "off"})
        add(QStringLiteral("brightness"), QLatin1String(word));
    for (int n = 0; n <= 5; ++n)
        add(QStringLiteral("profile"), QStringLiteral("recall") + QString::number(n));
    return commands;
}

// An operator's command and the bytes it must put on a serial line.
struct OperatorRequest
{
    QString group;
    QString action;
    QByteArray bytes;
};

inline std::vector<OperatorRequest> operatorRequests()
{
    std::vector<OperatorRequest> requests;
    for (const OperatorCommand &command : operatorCommands()) {
        QByteArray bytes;
        for (const QString &packet : command.packets)
            bytes += commandBytes(packet);
        requests.push_back({command.group, command.action, bytes});
    }
    return requests;
}

// The longest gap between 1 ms heartbeats on this thread over `seconds`, in
// ms, while the event loop runs whatever else is set up.
inline double longestGapMs(int seconds)
{
    QElapsedTimer clock;
    clock.start();
    qint64 last = 0;
    qint64 longest = 0;
    QTimer beat;
    beat.setTimerType(Qt::PreciseTimer);
    beat.setInterval(1);
    QObject::connect(&beat, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = qMax(longest, now - last);
        last = now;
    });
    beat.start();
    last = clock.nsecsElapsed();
    while (clock.elapsed() < seconds * 1000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    return double(longest) / 1e6;
}

// Two timings measured side by side: median, 99th percentile and the ratio
// of ours to the reference's, also set as the benchmark's counters under
// the given prefixes.
struct SideBySide
{
    double median, p99, referenceMedian, referenceP99, medianRatio, p99Ratio;
};

template<typename State>
SideBySide sideBySide(State &state, const std::vector<double> &ours, const char *oursName,
                      const std::vector<double> &reference, const char *referenceName)
{
    SideBySide figures{percentile(ours, 0.5),
                       percentile(ours, 0.99),
                       percentile(reference, 0.5),
                       percentile(reference, 0.99),
                       0.0,
                       0.0};
    if (figures.referenceMedian > 0)
        figures.medianRatio = figures.median / figures.referenceMedian;
    if (figures.referenceP99 > 0)
        figures.p99Ratio = figures.p99 / figures.referenceP99;
    const std::string a(oursName), b(referenceName);
    state.counters[a + "_median_us"] = figures.median;
    state.counters[a + "_p99_us"] = figures.p99;
    state.counters[b + "_median_us"] = figures.referenceMedian;
    state.counters[b + "_p99_us"] = figures.referenceP99;
    state.counters["median_ratio"] = figures.medianRatio;
    state.counters["p99_ratio"] = figures.p99Ratio;
    return figures;
}

// A floor a path is timed against: its name in the table, the prefix of its
// benchmark counters, and its timings in microseconds.
struct Floor
{
    const char *name;
    const char *counterPrefix;
    const std::vector<double> &micros;
};

// A path ("window" in the counters) against the floor its target refers to
// and a second floor shown without a target: counters, and one table row
// for each floor.
template<typename State>
void reportAgainstFloors(State &state, const std::string &measure, const std::vector<double> &ours,
                         const Floor &targeted, double targetRatio, const std::string &targetOn,
                         const Floor &untargeted)
{
    sideBySide(state, ours, "window", targeted.micros, targeted.counterPrefix);
    const std::string prefix(untargeted.counterPrefix);
    state.counters[prefix + "_median_us"] = percentile(untargeted.micros, 0.5);
    state.counters[prefix + "_p99_us"] = percentile(untargeted.micros, 0.99);
    const BenchFigures figures = figuresOf(ours);
    benchTableRow(measure, "us", figures, targeted.name, figuresOf(targeted.micros), targetRatio,
                  targetOn);
    benchTableRow(measure, "us", figures, untargeted.name, figuresOf(untargeted.micros), 0,
                  targetOn);
}

// What every benchmark process starts with: Google Benchmark takes its
// arguments, the window runs on the offscreen platform unless told
// otherwise, and settings go to a throw-away store, never the operator's.
class BenchmarkProcess
{
public:
    BenchmarkProcess(int &argc, char **argv)
        : argumentsUnderstood(prepare(argc, argv))
        , application(argc, argv)
    {
        TestSettings::useTemporaryStore();
        TestSettings::clear();
    }

    // False when Google Benchmark found arguments it does not know.
    bool ok() const { return argumentsUnderstood; }

private:
    static bool prepare(int &argc, char **argv)
    {
        benchmark::Initialize(&argc, argv);
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        return !benchmark::ReportUnrecognizedArguments(argc, argv);
    }

    bool argumentsUnderstood;
    QApplication application;
};

// How long a camera command takes from sendCommand to bytes the camera could
// read: a real window with its serial port open on a pseudo-terminal, each
// command timed alone from the call until all its bytes are readable on the
// master side. Reports the median and the 99th percentile (target: p99 at
// most 0.2 ms), next to the same requests with no route up and to the
// vocabulary and hex decoding alone.
#include "operatormix.h"
#include "tarndeck.h"
#include "testsettings.h"
#include "viscavocabulary.h"
#include "windowharness.h"

#include <QApplication>
#include <QByteArray>
#include <QString>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTimedCommands = 20000;
constexpr double kTargetP99Microseconds = 200.0;

struct Request
{
    QString group;
    QString action;
    QByteArray bytes; // what the camera must receive
};

// The operator's command mix with the bytes each must put on the line.
std::vector<Request> operatorRequests()
{
    std::vector<Request> requests;
    for (const OperatorCommand &command : operatorCommands()) {
        QByteArray bytes;
        for (const QString &packet : command.packets)
            bytes += commandBytes(packet);
        requests.push_back({command.group, command.action, bytes});
    }
    return requests;
}

// sendCommand until every byte is readable on the pty master, one command
// at a time.
void commandToLine(benchmark::State &state, WindowHarness *harness,
                   const std::vector<Request> *requests)
{
    using Clock = std::chrono::steady_clock;
    std::vector<double> micros;
    micros.reserve(size_t(state.max_iterations));
    harness->pty().drain();

    size_t next = 0;
    for (auto _ : state) {
        const Request &request = (*requests)[next++ % requests->size()];
        const Clock::time_point start = Clock::now();
        const int sent = harness->window().sendCommand(request.group, request.action);
        const QByteArray received = harness->pty().read(request.bytes.size(), 1000);
        const Clock::time_point end = Clock::now();
        if (sent != request.bytes.size() || received != request.bytes) {
            state.SkipWithError("the line did not receive the command's bytes");
            break;
        }
        const double seconds = std::chrono::duration<double>(end - start).count();
        state.SetIterationTime(seconds);
        micros.push_back(seconds * 1e6);
    }

    const double median = percentile(micros, 0.5);
    const double p99 = percentile(micros, 0.99);
    const double worst = micros.empty() ? 0.0 : *std::max_element(micros.begin(), micros.end());
    state.counters["median_us"] = median;
    state.counters["p99_us"] = p99;
    state.counters["max_us"] = worst;
    std::printf("sendCommand -> pty master: %zu commands, median %.1f us, p99 %.1f us, "
                "max %.1f us (target p99 <= %.0f us: %s)\n",
                micros.size(), median, p99, worst, kTargetP99Microseconds,
                p99 <= kTargetP99Microseconds ? "met" : "MISSED");
    std::fflush(stdout);
}

// The same requests with the port closed and no encoder route: what the
// window does around the transport, without any I/O.
void commandWithoutRoute(benchmark::State &state, tarnDeck *window,
                         const std::vector<Request> *requests)
{
    size_t next = 0;
    for (auto _ : state) {
        const Request &request = (*requests)[next++ % requests->size()];
        benchmark::DoNotOptimize(window->sendCommand(request.group, request.action));
    }
}

// The vocabulary lookup and the hex decoding alone.
void vocabularyAndBytes(benchmark::State &state, const std::vector<Request> *requests)
{
    size_t next = 0;
    for (auto _ : state) {
        const Request &request = (*requests)[next++ % requests->size()];
        const QStringList packets
            = viscaCommands(normaliseWord(request.group), normaliseWord(request.action));
        for (const QString &packet : packets)
            benchmark::DoNotOptimize(commandBytes(packet));
    }
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;

    const std::vector<Request> requests = operatorRequests();

    WindowHarness connected;
    if (!connected.openPort()) {
        std::fprintf(stderr, "could not open the pseudo-terminal through the port menu\n");
        return 1;
    }
    WindowHarness unconnected;

    benchmark::RegisterBenchmark("transport/sendCommand_to_pty_master", commandToLine, &connected,
                                 &requests)
        ->Iterations(kTimedCommands)
        ->UseManualTime()
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("transport/sendCommand_no_route", commandWithoutRoute,
                                 &unconnected.window(), &requests)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("transport/vocabulary_and_bytes", vocabularyAndBytes, &requests)
        ->Unit(benchmark::kMicrosecond);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

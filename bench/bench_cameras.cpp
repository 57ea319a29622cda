// Cameras side by side, one route waiting on another: what the operator
// waits for when one route does not answer, and how long the window's event
// loop is held meanwhile. Each camera is a window of its own, connected as
// the operator connects it, so the program's whole path is timed.
//
//  - A silent encoder: one window on the encoder route, whose encoder takes
//    every pass-through request and never answers it; a second window with
//    its port open on a pseudo-terminal. Timed: from the command to the
//    encoder's camera until the bytes of a command to the serial camera,
//    sent right after it, are readable on the pty. Floor: the serial
//    command alone. Target: at most 5 ms (5000 us, on the figure itself); a
//    window that waited for the encoder made it the encoder's time-out, 5 s.
//  - A line that does not drain: a window whose port is held by flow
//    control while the operator's commands come every 2 ms for 3 s. Timed:
//    the longest gap between 1 ms heartbeats of the window's thread. Floor:
//    the same on a line that drains. Target: at most 5 ms; a window that
//    waited for the line to drain stalled for its drain wait, 1 s.
#include "loophttpserver.h"
#include "operatormix.h"
#include "ptypair.h"
#include "tarndeck.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <cstdio>
#include <vector>

namespace {

constexpr int kTimedCommands = 2000;
constexpr int kWarmUpCommands = 50;
constexpr double kTargetMs = 5.0;
constexpr double kTargetUs = 5000.0;
constexpr int kFloodSeconds = 3;
constexpr int kCommandEveryMs = 2;

using Response = LoopHttpServer::Response;

// An encoder that connects, takes the serial setting, and then never
// answers a pass-through.
class SilentEncoder
{
public:
    SilentEncoder()
    {
        listening = server.listen();
        server.setHandler([](const LoopHttpServer::Request &request) {
            if (request.hasQueryItem(QStringLiteral("SYSTEM_INFO_XML")))
                return Response::xml("<?xml version=\"1.0\"?>\n<SYSTEM_INFO>"
                                     "<MODEL_NUMBER value=\"QB-1\"/></SYSTEM_INFO>\n");
            if (request.hasQueryItem(QStringLiteral("SERIAL_SETTING")))
                return Response::text("OK: SERIAL_SETTING");
            return Response::hold();
        });
    }
    LoopHttpServer server;
    bool listening = false;
};

bool connectToEncoder(WindowHarness &harness, const QString &authority)
{
    if (!harness.choosePortEntry(QStringLiteral("ACTi")))
        return false;
    harness.find<QLineEdit>(QStringLiteral("lineEditActiIP"))->setText(authority);
    harness.find<QPushButton>(QStringLiteral("pushButtonActiConnect"))->click();
    QLabel *status = harness.find<QLabel>(QStringLiteral("labelActiStatus"));
    return spinUntil([status] { return status->text() == QLatin1String("Connected"); });
}

using Request = OperatorRequest;

struct Pair
{
    WindowHarness *encoderCamera;
    WindowHarness *serialCamera;
    const std::vector<Request> *requests;
};

// From the first call until the serial camera's bytes are readable, in us;
// negative when they did not all arrive.
double untilSerialBytes(Pair pair, const Request &toEncoder, const Request &toSerial,
                        bool encoderFirst)
{
    const Clock::time_point start = Clock::now();
    if (encoderFirst)
        pair.encoderCamera->window().sendCommand(toEncoder.group, toEncoder.action);
    const bool sent = pair.serialCamera->window().sendCommand(toSerial.group, toSerial.action) > 0;
    const QByteArray received = pair.serialCamera->pty().read(int(toSerial.bytes.size()), 10000);
    const Clock::time_point end = Clock::now();
    // What the links learnt meanwhile is taken in before the next command.
    QCoreApplication::processEvents();
    return sent && received == toSerial.bytes ? microseconds(end - start) : -1.0;
}

void silentEncoder(benchmark::State &state, Pair pair)
{
    const std::vector<Request> &requests = *pair.requests;
    for (int i = 0; i < kWarmUpCommands; ++i)
        untilSerialBytes(pair, requests[size_t(i) % requests.size()],
                         requests[size_t(i + 1) % requests.size()], i % 2 == 0);

    std::vector<double> behind;
    std::vector<double> alone;
    size_t next = 0;
    for (auto _ : state) {
        const Request &toEncoder = requests[next % requests.size()];
        const Request &toSerial = requests[(next + 7) % requests.size()];
        ++next;
        const double afterEncoder = untilSerialBytes(pair, toEncoder, toSerial, true);
        const double serialAlone = untilSerialBytes(pair, toEncoder, toSerial, false);
        if (afterEncoder < 0 || serialAlone < 0) {
            state.SkipWithError("the serial camera did not receive its command");
            return;
        }
        state.SetIterationTime(afterEncoder / 1e6);
        behind.push_back(afterEncoder);
        alone.push_back(serialAlone);
    }
    const BenchFigures ours = figuresOf(behind);
    const BenchFigures floor = figuresOf(alone);
    state.counters["behind_silent_encoder_median_us"] = ours.median;
    state.counters["alone_median_us"] = floor.median;
    benchTableRowWithin("silent encoder: command -> a serial camera's bytes", "us", ours,
                        "the serial command alone", floor, kTargetUs);
}

// The longest gap between 1 ms heartbeats while the operator's commands
// come every kCommandEveryMs, in ms.
double longestGapWhileDriving(tarnDeck &window, const std::vector<Request> &requests)
{
    size_t next = 0;
    QTimer commands;
    commands.setTimerType(Qt::PreciseTimer);
    commands.setInterval(kCommandEveryMs);
    QObject::connect(&commands, &QTimer::timeout, [&] {
        const Request &request = requests[next++ % requests.size()];
        window.sendCommand(request.group, request.action);
    });
    commands.start();
    return longestGapMs(kFloodSeconds);
}

bool heldLine()
{
    const std::vector<Request> requests = operatorRequests();
    WindowHarness drains;
    WindowHarness held;
    if (!drains.openPort() || !held.openPort()) {
        std::fprintf(stderr, "the windows could not open their pseudo-terminals\n");
        return false;
    }
    // The far end of the drained line reads as the camera would.
    QTimer reader;
    QObject::connect(&reader, &QTimer::timeout, [&drains] { drains.pty().drain(); });
    reader.start(1);
    const double floorMs = longestGapWhileDriving(drains.window(), requests);
    reader.stop();
    if (!held.pty().holdOutput(true)) {
        std::fprintf(stderr, "the line's output could not be held\n");
        return false;
    }
    const double heldMs = longestGapWhileDriving(held.window(), requests);
    held.pty().holdOutput(false);
    benchTableCount("longest stall while a line does not drain", "ms", heldMs,
                    "longest stall, the line drains", floorMs,
                    "<= " + benchtable::number(kTargetMs));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;
    QLoggingCategory::setFilterRules(
        QStringLiteral("tarndeck.app.info=false\ntarndeck.*.warning=false"));
    {
        QSettings store;
        store.setValue(QStringLiteral("acti"), true);
        store.sync();
    }
    if (!heldLine())
        return 1;

    SilentEncoder encoder;
    WindowHarness encoderCamera;
    WindowHarness serialCamera;
    if (!encoder.listening || !connectToEncoder(encoderCamera, encoder.server.authority())) {
        std::fprintf(stderr, "the window did not connect to the encoder\n");
        return 1;
    }
    if (!serialCamera.openPort()) {
        std::fprintf(stderr, "the window could not open its pseudo-terminal\n");
        return 1;
    }
    const std::vector<Request> requests = operatorRequests();
    return runTimedBenchmarks(
        benchmark::RegisterBenchmark("cameras/silent_encoder_then_serial", silentEncoder,
                                     Pair{&encoderCamera, &serialCamera, &requests}),
        kTimedCommands);
}

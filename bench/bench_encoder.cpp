// How long a camera command takes on the encoder route: a real window that
// connected through its ACTi entry to an HTTP server on loopback, each
// command timed from sendCommand until the server has read its request line.
// In the same run, command by command in turn, a minimal keep-alive client
// writes the same GET on a plain socket: the least any program could do to
// put that request line in front of the server. Reports median and 99th
// percentile of both and their ratio (target: at most 1.5), and the window's
// full round trip (until sendCommand returns with the encoder's answer). A
// third client, the network library's access manager alone, shows how much
// of the window's time the library takes before any program code counts.
#include "loophttpserver.h"
#include "operatormix.h"
#include "tarndeck.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QSettings>
#include <QTcpSocket>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTimedCommands = 1000;
constexpr int kWarmUpCommands = 50;
constexpr double kTargetRatio = 1.5;

const QByteArray credentials = "USER=Admin&PWD=418275";

// A command and the request target the encoder must see for it.
struct Command
{
    QString group;
    QString action;
    QByteArray target;
};

// The operator's one-packet commands.
std::vector<Command> encoderCommands()
{
    std::vector<Command> commands;
    for (const OperatorCommand &command : operatorCommands()) {
        if (command.packets.size() == 1)
            commands.push_back({command.group, command.action,
                                "/cgi-bin/ENCODER?" + credentials
                                    + "&SERIAL_HEX=" + command.packets.first().toLatin1()});
    }
    return commands;
}

// The encoder stand-in, with the moment and target of the latest request.
struct Encoder
{
    Encoder()
    {
        server.setHandler([](const LoopHttpServer::Request &request) {
            if (request.path() == "/cgi-bin/system")
                return LoopHttpServer::Response::xml(
                    "<?xml version=\"1.0\"?><SYSTEM_INFO><MODEL_NUMBER "
                    "value=\"TDE-3300\"/></SYSTEM_INFO>");
            return LoopHttpServer::Response::text(
                "OK: " + request.query().mid(request.query().lastIndexOf('&') + 1));
        });
        QObject::connect(&server, &LoopHttpServer::requestReceived, &server,
                         [this](const LoopHttpServer::Request &request) {
                             arrivedAt = Clock::now();
                             lastTarget = request.target;
                             server.clearRequests(); // keep the record from growing
                         });
    }

    LoopHttpServer server;
    Clock::time_point arrivedAt;
    QByteArray lastTarget;
};

// One connection kept open; each GET written whole, then the answer read
// back completely before the next one.
class RawClient
{
public:
    explicit RawClient(Encoder &encoder)
        : encoder(encoder)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, &socket, [this] { readAnswer(); });
    }

    bool open()
    {
        socket.connectToHost(encoder.server.address(), encoder.server.port());
        return socket.waitForConnected(kWaitLimitMs);
    }

    // Sends the GET; returns when the answer is complete (false on a time-out
    // or a closed connection).
    bool send(const QByteArray &target)
    {
        const QByteArray request = "GET " + target
            + " HTTP/1.1\r\nHost: " + encoder.server.authority().toLatin1() + "\r\n\r\n";
        answered = false;
        // Written before anything else is set up: the clock already runs.
        socket.write(request);
        QEventLoop wait;
        loop = &wait;
        QTimer::singleShot(kWaitLimitMs, &wait, &QEventLoop::quit);
        if (!answered)
            wait.exec();
        loop = nullptr;
        return answered && socket.state() == QAbstractSocket::ConnectedState;
    }

private:
    void readAnswer()
    {
        buffer += socket.readAll();
        const int headEnd = buffer.indexOf("\r\n\r\n");
        if (headEnd < 0)
            return;
        const QByteArray marker = "Content-Length: ";
        const int at = buffer.indexOf(marker);
        if (at < 0 || at > headEnd)
            return;
        const int lengthEnd = buffer.indexOf("\r\n", at);
        const int length = buffer.mid(at + marker.size(), lengthEnd - at - marker.size()).toInt();
        if (buffer.size() < headEnd + 4 + length)
            return;
        buffer.remove(0, headEnd + 4 + length);
        answered = true;
        if (loop)
            loop->quit();
    }

    Encoder &encoder;
    QTcpSocket socket;
    QByteArray buffer;
    QEventLoop *loop = nullptr;
    bool answered = false;
};

// The network library's access manager alone: a GET and a wait for its end.
class LibraryClient
{
public:
    explicit LibraryClient(Encoder &encoder)
        : base(encoder.server.baseUrl())
    {
    }

    bool send(const QByteArray &target)
    {
        QNetworkReply *reply
            = manager.get(QNetworkRequest(QUrl(base + QString::fromLatin1(target))));
        QEventLoop wait;
        QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
        QTimer::singleShot(kWaitLimitMs, &wait, &QEventLoop::quit);
        if (!reply->isFinished())
            wait.exec();
        const bool ok = reply->isFinished() && reply->error() == QNetworkReply::NoError;
        reply->deleteLater();
        return ok;
    }

private:
    QString base;
    QNetworkAccessManager manager;
};

struct Setup
{
    Encoder *encoder;
    tarnDeck *window;
    RawClient *client;
    LibraryClient *library;
    const std::vector<Command> *commands;
};

// Both ways, command by command in turn: the window's sendCommand and the
// raw client's GET of the same target, each timed until the server has read
// the request line.
void windowAgainstRawClient(benchmark::State &state, Setup setup)
{
    const std::vector<Command> &commands = *setup.commands;
    Encoder &encoder = *setup.encoder;
    std::vector<double> windowMicros;
    std::vector<double> roundTripMicros;
    std::vector<double> rawMicros;
    std::vector<double> libraryMicros;
    for (std::vector<double> *micros :
         {&windowMicros, &roundTripMicros, &rawMicros, &libraryMicros})
        micros->reserve(size_t(state.max_iterations));

    // One send, timed from its start until the server has read the request
    // line, and until the send returned.
    struct Timing
    {
        bool received;
        double untilLine;
        double untilReturn;
    };
    const auto timed = [&encoder](const QByteArray &target, const auto &send) {
        encoder.lastTarget.clear();
        const Clock::time_point start = Clock::now();
        const bool sent = send();
        const Clock::time_point returned = Clock::now();
        return Timing{sent && encoder.lastTarget == target, microseconds(encoder.arrivedAt - start),
                      microseconds(returned - start)};
    };

    size_t next = 0;
    for (auto _ : state) {
        const Command &command = commands[next++ % commands.size()];
        const Timing window = timed(command.target, [&] {
            return setup.window->sendCommand(command.group, command.action) == 1;
        });
        const Timing raw
            = timed(command.target, [&] { return setup.client->send(command.target); });
        const Timing library
            = timed(command.target, [&] { return setup.library->send(command.target); });
        if (!window.received || !raw.received || !library.received) {
            state.SkipWithError("the encoder did not receive every request");
            break;
        }
        state.SetIterationTime(window.untilLine / 1e6);
        windowMicros.push_back(window.untilLine);
        roundTripMicros.push_back(window.untilReturn);
        rawMicros.push_back(raw.untilLine);
        libraryMicros.push_back(library.untilLine);
    }

    const double windowMedian = percentile(windowMicros, 0.5);
    const double windowP99 = percentile(windowMicros, 0.99);
    const double rawMedian = percentile(rawMicros, 0.5);
    const double rawP99 = percentile(rawMicros, 0.99);
    const double medianRatio = rawMedian > 0 ? windowMedian / rawMedian : 0.0;
    const double p99Ratio = rawP99 > 0 ? windowP99 / rawP99 : 0.0;
    state.counters["window_median_us"] = windowMedian;
    state.counters["window_p99_us"] = windowP99;
    state.counters["raw_median_us"] = rawMedian;
    state.counters["raw_p99_us"] = rawP99;
    state.counters["median_ratio"] = medianRatio;
    state.counters["p99_ratio"] = p99Ratio;
    state.counters["roundtrip_median_us"] = percentile(roundTripMicros, 0.5);
    state.counters["roundtrip_p99_us"] = percentile(roundTripMicros, 0.99);
    state.counters["library_median_us"] = percentile(libraryMicros, 0.5);
    state.counters["library_p99_us"] = percentile(libraryMicros, 0.99);

    const bool met = medianRatio <= kTargetRatio && p99Ratio <= kTargetRatio;
    std::printf("command -> encoder request line: %zu commands\n"
                "  window     median %.1f us, p99 %.1f us\n"
                "  raw client median %.1f us, p99 %.1f us\n"
                "  ratio      median %.2fx, p99 %.2fx (target <= %.1fx: %s)\n"
                "  window round trip (until sendCommand returns) median %.1f us, p99 %.1f us\n"
                "  access manager alone median %.1f us, p99 %.1f us\n",
                windowMicros.size(), windowMedian, windowP99, rawMedian, rawP99, medianRatio,
                p99Ratio, kTargetRatio, met ? "met" : "MISSED", percentile(roundTripMicros, 0.5),
                percentile(roundTripMicros, 0.99), percentile(libraryMicros, 0.5),
                percentile(libraryMicros, 0.99));
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.app.info=false"));
    {
        QSettings store;
        store.setValue(QStringLiteral("acti"), true);
        store.sync();
    }

    Encoder encoder;
    if (!encoder.server.listen()) {
        std::fprintf(stderr, "could not listen on 127.0.0.1\n");
        return 1;
    }

    // The window connects the way the operator does: the ACTi entry, the
    // stand-in's loopback address, the connect button.
    WindowHarness harness;
    if (!harness.choosePortEntry(QStringLiteral("ACTi"))) {
        std::fprintf(stderr, "the port menu offers no ACTi entry\n");
        return 1;
    }
    harness.find<QLineEdit>(QStringLiteral("lineEditActiIP"))->setText(encoder.server.authority());
    harness.find<QPushButton>(QStringLiteral("pushButtonActiConnect"))->click();
    const QString status = harness.find<QLabel>(QStringLiteral("labelActiStatus"))->text();
    if (status != QLatin1String("Connected")) {
        std::fprintf(stderr, "the window did not connect to the encoder: %s\n", qPrintable(status));
        return 1;
    }

    RawClient client(encoder);
    if (!client.open()) {
        std::fprintf(stderr, "the raw client could not connect\n");
        return 1;
    }

    LibraryClient library(encoder);

    const std::vector<Command> commands = encoderCommands();
    // Every connection open and every code path taken before timing.
    for (int i = 0; i < kWarmUpCommands; ++i) {
        const Command &command = commands[size_t(i) % commands.size()];
        harness.window().sendCommand(command.group, command.action);
        client.send(command.target);
        library.send(command.target);
    }

    return runTimedBenchmarks(benchmark::RegisterBenchmark(
                                  "encoder/sendCommand_to_request_line_vs_raw_client",
                                  windowAgainstRawClient,
                                  Setup{&encoder, &harness.window(), &client, &library, &commands}),
                              kTimedCommands);
}

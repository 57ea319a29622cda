// Encoder command -> request line: how long a camera command takes on the
// encoder route, from the window's sendCommand until the encoder has read
// the request line of its GET.
//
// The encoder is stampserver, a process of its own on 127.0.0.1: it stamps
// each complete request line with CLOCK_MONOTONIC as it reads it and reports
// the stamps over a pipe. The clients are stamped with the steady clock
// (CLOCK_MONOTONIC too) right before their call, so neither end's event loop
// decides when a request counts as seen.
//
// Four clients, command by command in turn (the order turns with every
// command), each sending the same request target:
//  - the window, connected through its ACTi entry as the operator connects
//    it; it sends every request with "Connection: close" on a connection of
//    its own, so that a pass-through reaches the camera at most once. Its
//    call returns at once; the benchmark's own event loop then waits for the
//    answer (the window never waits for one);
//  - a bare QNetworkAccessManager issuing a plain get(), which keeps its
//    connection open between requests as any minimal Qt client does;
//  - the same access manager sending the window's own at-most-once request
//    (MYHTTP::sendOnce) and nothing else of the window: what is left of the
//    window's time beyond it is the program's own;
//  - a POSIX socket kept open, the same GET written with one send(2).
// Target: the window's median at most 1.1 times the bare access manager's.
// The socket row has no target: it shows what Qt's network stack costs.
// Also printed: each client's full round trip, until its call returned with
// the encoder's answer.
#include "appstart.h"
#include "myhttp.h"
#include "operatormix.h"
#include "tarndeck.h"
#include "windowharness.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLoggingCategory>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QPushButton>
#include <QSettings>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {

constexpr int kTimedCommands = 3000;
constexpr int kWarmUpCommands = 50;
constexpr double kTargetMedianRatio = 1.1;

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

long long nanosecondsOf(Clock::time_point moment)
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(moment.time_since_epoch()).count();
}

// The steady clock must count on the encoder's clock for the two to be
// compared.
bool steadyClockIsMonotonic()
{
    timespec now{};
    const long long before = nanosecondsOf(Clock::now());
    clock_gettime(CLOCK_MONOTONIC, &now);
    const long long monotonic = now.tv_sec * 1000000000LL + now.tv_nsec;
    const long long after = nanosecondsOf(Clock::now());
    return before <= monotonic && monotonic <= after;
}

// The encoder process: started with pipes on its standard input (closed to
// end it) and output (its port, then one stamp a request).
class StampServer
{
public:
    ~StampServer()
    {
        if (toServer >= 0)
            ::close(toServer);
        if (fromServer >= 0)
            ::close(fromServer);
        if (pid > 0)
            ::waitpid(pid, nullptr, 0);
    }

    bool start(const QByteArray &program)
    {
        int input[2];
        int output[2];
        if (::pipe2(input, O_CLOEXEC) != 0)
            return false;
        if (::pipe2(output, O_CLOEXEC) != 0) {
            ::close(input[0]);
            ::close(input[1]);
            return false;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, input[0], STDIN_FILENO);
        posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
        char *const arguments[] = {const_cast<char *>(program.constData()), nullptr};
        const bool spawned
            = ::posix_spawn(&pid, program.constData(), &actions, nullptr, arguments, environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        ::close(input[0]);
        ::close(output[1]);
        toServer = input[1];
        fromServer = output[0];
        QByteArray line;
        if (!spawned || !readLine(&line, kWaitLimitMs) || !line.startsWith("PORT "))
            return false;
        listening = quint16(line.mid(5).toUInt());
        return listening != 0;
    }

    quint16 port() const { return listening; }

    // The next stamp: the request target and when its line was read, in
    // nanoseconds of CLOCK_MONOTONIC.
    bool nextStamp(QByteArray *target, long long *ns, int timeoutMs)
    {
        QByteArray line;
        if (!readLine(&line, timeoutMs) || !line.startsWith("STAMP "))
            return false;
        const int blank = line.indexOf(' ', 6);
        *ns = line.mid(6, blank - 6).toLongLong();
        *target = line.mid(blank + 1);
        return blank > 0;
    }

    // Forgets the stamps of requests nobody times (the connect flow's).
    void skipStamps()
    {
        QByteArray line;
        while (readLine(&line, 50)) {
        }
    }

private:
    bool readLine(QByteArray *line, int timeoutMs)
    {
        while (true) {
            const int end = pending.indexOf('\n');
            if (end >= 0) {
                *line = pending.left(end);
                pending.remove(0, end + 1);
                return true;
            }
            pollfd readable{fromServer, POLLIN, 0};
            if (::poll(&readable, 1, timeoutMs) <= 0)
                return false;
            char chunk[4096];
            const ssize_t n = ::read(fromServer, chunk, sizeof chunk);
            if (n <= 0)
                return false;
            pending.append(chunk, int(n));
        }
    }

    pid_t pid = -1;
    int toServer = -1;
    int fromServer = -1;
    quint16 listening = 0;
    QByteArray pending;
};

QByteArray encoderUrl(const StampServer &server, const QByteArray &target)
{
    return "http://127.0.0.1:" + QByteArray::number(server.port()) + target;
}

// An access manager of its own, waited for in an event loop: a plain get(),
// or the window's at-most-once request without anything else of the window.
class AccessManagerClient
{
public:
    AccessManagerClient(const StampServer &server, bool atMostOnce)
        : server(server)
        , atMostOnce(atMostOnce)
    {
    }

    bool send(const QByteArray &target)
    {
        const QNetworkRequest request(QUrl(QString::fromLatin1(encoderUrl(server, target))));
        QNetworkReply *reply = atMostOnce ? MYHTTP::sendOnce(manager, request) : manager.get(request);
        QEventLoop wait;
        QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
        QTimer::singleShot(kWaitLimitMs, &wait, &QEventLoop::quit);
        if (!reply->isFinished())
            wait.exec();
        const bool ok = reply->isFinished() && reply->error() == QNetworkReply::NoError
            && reply->readAll().startsWith("OK: ");
        reply->deleteLater();
        return ok;
    }

private:
    const StampServer &server;
    const bool atMostOnce;
    QNetworkAccessManager manager;
};

// One connection kept open; each GET written whole with one send(2), then
// the answer read back completely before the next one.
class SocketClient
{
public:
    explicit SocketClient(const StampServer &server)
        : host("127.0.0.1:" + QByteArray::number(server.port()))
    {
        fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(server.port());
        const int on = 1;
        connected = fd >= 0
            && ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on) == 0
            && ::connect(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    ~SocketClient()
    {
        if (fd >= 0)
            ::close(fd);
    }

    bool isConnected() const { return connected; }

    bool send(const QByteArray &target)
    {
        const QByteArray request = "GET " + target + " HTTP/1.1\r\nHost: " + host + "\r\n\r\n";
        if (::send(fd, request.constData(), size_t(request.size()), MSG_NOSIGNAL)
            != request.size())
            return false;
        return readAnswer();
    }

private:
    bool readAnswer()
    {
        while (true) {
            const int headEnd = buffer.indexOf("\r\n\r\n");
            const int at = buffer.indexOf("Content-Length: ");
            if (headEnd >= 0 && at >= 0 && at < headEnd) {
                const int length = buffer.mid(at + 16, buffer.indexOf("\r\n", at) - at - 16).toInt();
                if (buffer.size() >= headEnd + 4 + length) {
                    const bool ok = buffer.mid(headEnd + 4, length).startsWith("OK: ");
                    buffer.remove(0, headEnd + 4 + length);
                    return ok;
                }
            }
            pollfd readable{fd, POLLIN, 0};
            if (::poll(&readable, 1, kWaitLimitMs) <= 0)
                return false;
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n <= 0)
                return false;
            buffer.append(chunk, int(n));
        }
    }

    QByteArray host;
    int fd = -1;
    bool connected = false;
    QByteArray buffer;
};

struct Setup
{
    StampServer *server;
    tarnDeck *window;
    AccessManagerClient *manager;
    AccessManagerClient *managerOnce;
    SocketClient *socket;
    const std::vector<Command> *commands;
};

enum Client { Window, AccessManager, AccessManagerOnce, Socket, ClientCount };

// One send: microseconds until the encoder read the request line and until
// the call returned; negative when the encoder saw no request or another
// one.
struct Timing
{
    double untilLine = -1;
    double untilReturn = -1;
};

template<typename Send>
Timing timed(StampServer &server, const QByteArray &target, const Send &send)
{
    const Clock::time_point start = Clock::now();
    const bool sent = send();
    const Clock::time_point returned = Clock::now();
    QByteArray seen;
    long long lineAt = 0;
    if (!server.nextStamp(&seen, &lineAt, kWaitLimitMs) || !sent || seen != target)
        return Timing();
    return {double(lineAt - nanosecondsOf(start)) / 1e3, microseconds(returned - start)};
}

Timing sendWith(const Setup &setup, int client, const Command &command)
{
    switch (client) {
    case Window:
        return timed(*setup.server, command.target, [&] {
            // The window hands the command over and returns; its request
            // goes from the event loop, and the camera's status line shows
            // the command once the encoder's answer has been judged.
            Camera *camera = setup.window->cameraList().current();
            if (setup.window->sendCommand(command.group, command.action) != 1)
                return false;
            // (The request's own time-out ends the wait at the latest.)
            QEventLoop answered;
            QObject::connect(camera, &Camera::statusChanged, &answered, &QEventLoop::quit);
            answered.exec();
            return camera->statusText() == camera->lastCommand();
        });
    case AccessManager:
        return timed(*setup.server, command.target,
                     [&] { return setup.manager->send(command.target); });
    case AccessManagerOnce:
        return timed(*setup.server, command.target,
                     [&] { return setup.managerOnce->send(command.target); });
    default:
        return timed(*setup.server, command.target,
                     [&] { return setup.socket->send(command.target); });
    }
}

void commandToRequestLine(benchmark::State &state, Setup setup)
{
    const std::vector<Command> &commands = *setup.commands;
    for (int i = 0; i < kWarmUpCommands; ++i) {
        for (int client = 0; client < ClientCount; ++client)
            sendWith(setup, client, commands[size_t(i) % commands.size()]);
    }

    std::vector<double> untilLine[ClientCount];
    std::vector<double> untilReturn[ClientCount];
    for (int client = 0; client < ClientCount; ++client) {
        untilLine[client].reserve(size_t(state.max_iterations));
        untilReturn[client].reserve(size_t(state.max_iterations));
    }
    size_t next = 0;
    for (auto _ : state) {
        const Command &command = commands[next % commands.size()];
        Timing taken[ClientCount];
        bool received = true;
        for (int turn = 0; turn < ClientCount; ++turn) {
            const int client = int((next + size_t(turn)) % ClientCount);
            taken[client] = sendWith(setup, client, command);
            received = received && taken[client].untilLine >= 0;
        }
        ++next;
        if (!received) {
            state.SkipWithError("the encoder did not receive every request");
            return;
        }
        state.SetIterationTime(taken[Window].untilLine / 1e6);
        for (int client = 0; client < ClientCount; ++client) {
            untilLine[client].push_back(taken[client].untilLine);
            untilReturn[client].push_back(taken[client].untilReturn);
        }
    }

    reportAgainstFloors(state, "encoder command -> request line", untilLine[Window],
                        {"QNetworkAccessManager::get", "qnam", untilLine[AccessManager]},
                        kTargetMedianRatio, "median",
                        {"keep-alive socket", "socket", untilLine[Socket]});
    benchTableRow("encoder command -> request line", "us", figuresOf(untilLine[Window]),
                  "QNetworkAccessManager, the same at-most-once request",
                  figuresOf(untilLine[AccessManagerOnce]), 0);
    const char *const names[ClientCount] = {"window", "access manager", "access manager, once",
                                            "socket"};
    for (int client = 0; client < ClientCount; ++client) {
        const BenchFigures roundTrip = figuresOf(untilReturn[client]);
        std::printf("  round trip until the call returned, %s: median %.1f us, p99 %.1f us\n",
                    names[client], roundTrip.median, roundTrip.p99);
    }
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    prepareApplication(); // the network stack set up as the program sets it up
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.app.info=false"));
    if (!steadyClockIsMonotonic()) {
        std::fprintf(stderr, "the steady clock is not CLOCK_MONOTONIC: stamps cannot be compared\n");
        return 1;
    }
    {
        QSettings store;
        store.setValue(QStringLiteral("acti"), true);
        store.sync();
    }

    StampServer server;
    const QByteArray program = QFile::encodeName(QCoreApplication::applicationDirPath()
                                                 + QStringLiteral("/stampserver"));
    if (!server.start(program)) {
        std::fprintf(stderr, "could not start %s\n", program.constData());
        return 1;
    }

    // The window connects the way the operator does: the ACTi entry, the
    // encoder's loopback address, the connect button.
    WindowHarness harness;
    if (!harness.choosePortEntry(QStringLiteral("ACTi"))) {
        std::fprintf(stderr, "the port menu offers no ACTi entry\n");
        return 1;
    }
    harness.find<QLineEdit>(QStringLiteral("lineEditActiIP"))
        ->setText(QStringLiteral("127.0.0.1:") + QString::number(server.port()));
    harness.find<QPushButton>(QStringLiteral("pushButtonActiConnect"))->click();
    QLabel *const statusLabel = harness.find<QLabel>(QStringLiteral("labelActiStatus"));
    QElapsedTimer wait;
    wait.start();
    while (statusLabel->text() == QLatin1String("Connecting..") && wait.elapsed() < kWaitLimitMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    const QString status = statusLabel->text();
    if (status != QLatin1String("Connected")) {
        std::fprintf(stderr, "the window did not connect to the encoder: %s\n", qPrintable(status));
        return 1;
    }
    server.skipStamps();

    AccessManagerClient manager(server, false);
    AccessManagerClient managerOnce(server, true);
    SocketClient socket(server);
    if (!socket.isConnected()) {
        std::fprintf(stderr, "the socket client could not connect\n");
        return 1;
    }

    const std::vector<Command> commands = encoderCommands();
    return runTimedBenchmarks(
        benchmark::RegisterBenchmark(
            "encoder/sendCommand_to_request_line_vs_qnam_and_socket", commandToRequestLine,
            Setup{&server, &harness.window(), &manager, &managerOnce, &socket, &commands}),
        kTimedCommands);
}

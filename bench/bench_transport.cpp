// Serial command -> wire: how long a camera command takes from the window's
// sendCommand until all its bytes are readable on the pty master, the side
// the camera would read. The window has its port open on a pseudo-terminal
// through the port menu, as the operator opens it.
//
// Two floors, command by command in turn with the window (the order turns
// with every command), each timed from its call until the same bytes are
// readable on a pty master, polled the same way:
//  - QSerialPort::write of the bytes followed by waitForBytesWritten, the
//    least a blocking Qt program does to put bytes on a serial line. The
//    window's port holds the slave exclusively (lock file and TIOCEXCL), so
//    this port is opened on a second pty pair made the same way, with the
//    window's line settings (9600 8N1, no flow control); the benchmark
//    refuses to run unless both slaves report the same termios.
//  - write(2) of the bytes on a descriptor of the window's own slave,
//    opened before the window took the port: the kernel's part alone.
//
// Target: the window's p99 at most 1.2 times QSerialPort::write's. The
// write(2) row has no target; it shows what Qt itself costs. Also timed:
// the same commands with no route up, and the vocabulary and hex decoding
// alone.
#include "operatormix.h"
#include "ptypair.h"
#include "tarndeck.h"
#include "viscavocabulary.h"
#include "windowharness.h"

#include <QByteArray>
#include <QSerialPort>
#include <QString>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kTimedCommands = 20000;
constexpr int kWarmUpCommands = 200;
constexpr double kTargetP99Ratio = 1.2;

using Request = OperatorRequest;

// The window's port, the floor port and the plain descriptor, each with the
// master its bytes arrive on.
struct Lines
{
    WindowHarness *window;
    PtyPair *floorLine;
    QSerialPort *floorPort;
    int slaveFd; // the window's slave, opened before the window's port
};

// One path: from the call until `bytes` are readable on `master`; negative
// when the bytes did not all arrive, or others did.
template<typename Send>
double untilOnWire(PtyPair &master, const QByteArray &bytes, const Send &send)
{
    const Clock::time_point start = Clock::now();
    const bool sent = send();
    const QByteArray received = master.read(int(bytes.size()), kWaitLimitMs);
    const Clock::time_point end = Clock::now();
    return sent && received == bytes ? microseconds(end - start) : -1.0;
}

void commandToWire(benchmark::State &state, Lines lines, const std::vector<Request> *requests)
{
    enum Path { Window, SerialPort, PlainWrite, PathCount };
    const auto sendOn = [&lines](int path, const Request &request) {
        switch (path) {
        case Window:
            return untilOnWire(lines.window->pty(), request.bytes, [&] {
                return lines.window->window().sendCommand(request.group, request.action) > 0;
            });
        case SerialPort:
            return untilOnWire(*lines.floorLine, request.bytes, [&] {
                return lines.floorPort->write(request.bytes) == request.bytes.size()
                    && lines.floorPort->waitForBytesWritten(kWaitLimitMs);
            });
        default:
            return untilOnWire(lines.window->pty(), request.bytes, [&] {
                return ::write(lines.slaveFd, request.bytes.constData(),
                               size_t(request.bytes.size()))
                    == request.bytes.size();
            });
        }
    };

    std::vector<double> micros[PathCount];
    for (std::vector<double> &path : micros)
        path.reserve(size_t(state.max_iterations));
    lines.window->pty().drain();
    lines.floorLine->drain();
    for (int i = 0; i < kWarmUpCommands; ++i) {
        for (int path = 0; path < PathCount; ++path)
            sendOn(path, (*requests)[size_t(i) % requests->size()]);
    }

    size_t next = 0;
    for (auto _ : state) {
        const Request &request = (*requests)[next % requests->size()];
        double taken[PathCount];
        bool arrived = true;
        for (int turn = 0; turn < PathCount; ++turn) {
            const int path = int((next + size_t(turn)) % PathCount);
            taken[path] = sendOn(path, request);
            arrived = arrived && taken[path] >= 0;
        }
        ++next;
        if (!arrived) {
            state.SkipWithError("a line did not receive the command's bytes");
            return;
        }
        state.SetIterationTime(taken[Window] / 1e6);
        for (int path = 0; path < PathCount; ++path)
            micros[path].push_back(taken[path]);
    }

    reportAgainstFloors(state, "serial command -> wire", micros[Window],
                        {"QSerialPort::write", "qserialport", micros[SerialPort]}, kTargetP99Ratio,
                        "p99", {"write(2)", "write2", micros[PlainWrite]});
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

// Whether two terminals are set up alike: modes, control characters and
// speeds.
bool sameLineSettings(int a, int b)
{
    termios first{};
    termios second{};
    if (::tcgetattr(a, &first) != 0 || ::tcgetattr(b, &second) != 0)
        return false;
    return first.c_iflag == second.c_iflag && first.c_oflag == second.c_oflag
        && first.c_cflag == second.c_cflag && first.c_lflag == second.c_lflag
        && std::memcmp(first.c_cc, second.c_cc, sizeof first.c_cc) == 0
        && ::cfgetispeed(&first) == ::cfgetispeed(&second)
        && ::cfgetospeed(&first) == ::cfgetospeed(&second);
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;

    const std::vector<Request> requests = operatorRequests();

    WindowHarness connected;
    const int slaveFd
        = ::open(qPrintable(connected.pty().slavePath()), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slaveFd < 0 || !connected.openPort()) {
        std::fprintf(stderr, "could not open the pseudo-terminal through the port menu\n");
        return 1;
    }

    PtyPair floorLine;
    QSerialPort floorPort;
    floorPort.setPortName(floorLine.slavePath());
    const bool floorOpen = floorLine.isValid() && floorPort.open(QIODevice::ReadWrite)
        && floorPort.setBaudRate(QSerialPort::Baud9600) && floorPort.setDataBits(QSerialPort::Data8)
        && floorPort.setParity(QSerialPort::NoParity) && floorPort.setStopBits(QSerialPort::OneStop)
        && floorPort.setFlowControl(QSerialPort::NoFlowControl);
    if (!floorOpen || !sameLineSettings(slaveFd, int(floorPort.handle()))) {
        std::fprintf(stderr, "the floor's port is not set up like the window's\n");
        return 1;
    }
    WindowHarness unconnected;

    benchmark::RegisterBenchmark("transport/sendCommand_no_route", commandWithoutRoute,
                                 &unconnected.window(), &requests)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("transport/vocabulary_and_bytes", vocabularyAndBytes, &requests)
        ->Unit(benchmark::kMicrosecond);
    const int status = runTimedBenchmarks(
        benchmark::RegisterBenchmark("transport/sendCommand_to_wire_vs_qserialport_and_write2",
                                     commandToWire,
                                     Lines{&connected, &floorLine, &floorPort, slaveFd},
                                     &requests),
        kTimedCommands);
    ::close(slaveFd);
    return status;
}

// What a camera's stream costs the window: cutting it into packets, and how
// long the event loop is held while a camera floods the link.
//
//  - Splitting: 400k completions (90 51 FF) against 200k, fed in the link's
//    read portions and read as the link reads them, in turns. The target is
//    linear work: the median of 400k at most 2 times that of 200k. The
//    front-removing split the link used before is timed once beside it, for
//    the record (no target).
//  - Flood: a camera on a TCP stream, its writer on a thread of its own,
//    sends completions as fast as the connection takes them for a few
//    seconds while a 1 ms heartbeat on the link's thread records the longest
//    gap. Target: at most 16 ms. The same heartbeat with no flood is the
//    floor.
#include "operatormix.h"
#include "packetsplitter.h"
#include "viscaipframing.h"
#include "viscaiplink.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <arpa/inet.h>
#include <atomic>
#include <cstdio>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

constexpr int kSplitRounds = 60;
constexpr double kSplitRatio = 2.0;
constexpr int kFloodSeconds = 3;
constexpr double kStallTargetMs = 16;

QByteArray completions(int count)
{
    return QByteArray::fromHex("9051FF").repeated(count);
}

// The link's way: the stream arrives in read portions of at most
// kReadChunkBytes (never held whole), each packet read as an answer. Returns
// the answers counted, so nothing is optimised away.
int splitAsTheLinkDoes(int count)
{
    static const QByteArray portion = completions(ViscaIpLink::kReadChunkBytes / 3);
    const int perPortion = int(portion.size()) / 3;
    PacketSplitter splitter;
    int answers = 0;
    const auto take = [&answers](const QByteArray &packet) {
        answers += ViscaIp::readAnswer(packet).kind == ViscaIp::Answer::Completion ? 1 : 0;
    };
    for (int left = count; left > 0; left -= perPortion)
        splitter.feed(portion.constData(), 3 * qMin(left, perPortion), take);
    return answers;
}

// The link's earlier way: the whole buffer, each packet taken off its front.
int splitFromTheFront(QByteArray stream)
{
    int answers = 0;
    for (QByteArray packet = ViscaIp::takePacket(&stream); !packet.isEmpty();
         packet = ViscaIp::takePacket(&stream))
        answers += ViscaIp::readAnswer(packet).kind == ViscaIp::Answer::Completion ? 1 : 0;
    return answers;
}

template<typename Split, typename Input>
double millisecondsOf(const Split &split, const Input &input, int expected)
{
    const Clock::time_point start = Clock::now();
    const int answers = split(input);
    const double ms = microseconds(Clock::now() - start) / 1000.0;
    return answers == expected ? ms : -1.0;
}

void splitting(benchmark::State &state)
{
    std::vector<double> smallMs;
    std::vector<double> largeMs;
    bool smallFirst = true;
    for (auto _ : state) {
        // In turns, each size first every other round.
        double a = 0;
        double b = 0;
        if (smallFirst)
            a = millisecondsOf(splitAsTheLinkDoes, 200000, 200000);
        b = millisecondsOf(splitAsTheLinkDoes, 400000, 400000);
        if (!smallFirst)
            a = millisecondsOf(splitAsTheLinkDoes, 200000, 200000);
        smallFirst = !smallFirst;
        if (a < 0 || b < 0) {
            state.SkipWithError("the splitter lost completions");
            return;
        }
        smallMs.push_back(a);
        largeMs.push_back(b);
        state.SetIterationTime(b / 1000.0);
    }
    benchTableRow("split 400k completions", "ms", figuresOf(largeMs), "split 200k completions",
                  figuresOf(smallMs), kSplitRatio);

    // The whole stream in one buffer, as it piled up there.
    const double before200 = millisecondsOf(splitFromTheFront, completions(200000), 200000);
    const double before400 = millisecondsOf(splitFromTheFront, completions(400000), 400000);
    benchTableRow("front-removing split (before), 400k completions", "ms", {before400, before400},
                  "the same, 200k", {before200, before200}, 0);
}

// A camera on loopback TCP, served from a thread of its own with plain
// sockets: answers the version inquiry, then pours completions until told
// to stop.
class FloodingCamera
{
public:
    bool listen()
    {
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof address;
        if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr *>(&address), size) != 0
            || ::listen(listener, 1) != 0
            || ::getsockname(listener, reinterpret_cast<sockaddr *>(&address), &size) != 0)
            return false;
        port = ntohs(address.sin_port);
        worker = std::thread([this] { serve(); });
        return true;
    }
    void startFlood() { flooding = true; }
    void stop()
    {
        done = true;
        if (worker.joinable())
            worker.join();
        if (listener >= 0)
            ::close(listener);
    }
    quint16 port = 0;
    std::atomic<qint64> poured{0};

private:
    void serve()
    {
        const int peer = ::accept(listener, nullptr, nullptr);
        if (peer < 0)
            return;
        char inquiry[64];
        if (::read(peer, inquiry, sizeof inquiry) > 0) {
            const QByteArray answer = QByteArray::fromHex("9050AAAA0B0C010202FF");
            if (::send(peer, answer.constData(), size_t(answer.size()), MSG_NOSIGNAL) < 0)
                done = true;
        }
        const QByteArray block = completions(4096);
        while (!done) {
            if (!flooding) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            const ssize_t n = ::send(peer, block.constData(), size_t(block.size()), MSG_NOSIGNAL);
            if (n <= 0)
                break;
            poured += n;
        }
        ::close(peer);
    }

    int listener = -1;
    std::thread worker;
    std::atomic<bool> flooding{false};
    std::atomic<bool> done{false};
};

bool measureFlood()
{
    FloodingCamera camera;
    if (!camera.listen()) {
        std::fprintf(stderr, "could not listen on loopback\n");
        return false;
    }
    ViscaIpLink link;
    link.connectTo(QHostAddress::LocalHost, camera.port, ViscaIp::Protocol::Tcp);
    QElapsedTimer wait;
    wait.start();
    while (!link.isConnected() && wait.elapsed() < kWaitLimitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    if (!link.isConnected()) {
        std::fprintf(stderr, "the link did not connect\n");
        camera.stop();
        return false;
    }
    const double idleMs = longestGapMs(1);
    camera.startFlood();
    const double floodMs = longestGapMs(kFloodSeconds);
    const bool stillUp = link.isConnected();
    // The writer may wait for the link to read: closing ends its write.
    link.close();
    camera.stop();
    std::printf("completion flood: %.1f MB in %d s\n", double(camera.poured) / 1e6, kFloodSeconds);
    benchTableCount("longest stall under a completion flood", "ms", floodMs,
                    "longest stall, no flood", idleMs, "<= " + benchtable::number(kStallTargetMs));
    return stillUp;
}

} // namespace

int main(int argc, char **argv)
{
    BenchmarkProcess process(argc, argv);
    if (!process.ok() || !measureFlood())
        return 1;
    return runTimedBenchmarks(
        benchmark::RegisterBenchmark("stream/split_400k_and_200k_completions", splitting),
        kSplitRounds);
}

// What the panel costs while nobody touches it: the panel (started as the
// program starts it) with its serial port open on a pseudo-terminal, next to
// a bare Qt window with an open QSerialPort (the floor), both on one private
// Xvfb server. After a settling time, both are watched for 30 s at once:
// context switches of all their threads (every wake-up is one), CPU time,
// and system calls (counted by perf on the raw_syscalls tracepoint, which
// does not disturb the process; reported as unknown when perf cannot count).
// Target: 0 wake-ups and 0 system calls in the 30 s. Then the panel's
// adapter is unplugged (its by-id link, a symbolic link here, goes with the
// line) and the panel, waiting for it to come back, is watched for 10 s:
// target 0 wake-ups there too.
//
// Health checks cost: two panels, each with one UDP network camera at one
// simulator process, health checks off and on, watched over the same 30 s;
// the difference is what the keep-alives cost.
#include "benchtable.h"
#include "privatexserver.h"
#include "processwatch.h"
#include "ptypair.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

constexpr int kWatchSeconds = 30;
constexpr int kSettleMs = 3000;
constexpr int kWaitWatchSeconds = 10;

// Counts the system calls `pid` makes over `seconds` with perf, in a child
// process; read the result with syscallsCounted().
struct SyscallCount
{
    pid_t counter = -1;
    std::string output;
};

SyscallCount countSyscalls(pid_t pid, int seconds)
{
    SyscallCount count;
    char name[] = "/tmp/tarndeck-perf-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0)
        return count;
    ::close(fd);
    count.output = name;
    count.counter = ::fork();
    if (count.counter == 0) {
        const std::string target = std::to_string(pid);
        const std::string duration = std::to_string(seconds);
        ::execlp("perf", "perf", "stat", "-x", ",", "-e", "raw_syscalls:sys_enter", "-o",
                 count.output.c_str(), "-p", target.c_str(), "--", "sleep", duration.c_str(),
                 static_cast<char *>(nullptr));
        ::_exit(127);
    }
    return count;
}

// The count, or -1 when perf could not count.
double syscallsCounted(SyscallCount &count)
{
    if (count.counter <= 0)
        return -1;
    int status = 0;
    ::waitpid(count.counter, &status, 0);
    std::ifstream file(count.output);
    std::string line;
    double result = -1;
    while (std::getline(file, line)) {
        if (line.find("raw_syscalls:sys_enter") == std::string::npos)
            continue;
        // "<not counted>": the process never ran, so it made no call.
        result = line.compare(0, 14, "<not counted>,") == 0 ? 0 : std::atof(line.c_str());
    }
    ::unlink(count.output.c_str());
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? result : -1;
}

// A loopback UDP port free just now, for the simulator to listen on.
int freeUdpPort()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    int port = 0;
    if (fd >= 0 && ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0
        && ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length) == 0)
        port = ntohs(address.sin_port);
    if (fd >= 0)
        ::close(fd);
    return port;
}

} // namespace

int main(int, char *argv[])
{
    PrivateXServer server;
    if (server.display().isEmpty()) {
        std::printf("bench_idle: skipped, %s\n", qPrintable(server.failure()));
        return 0;
    }
    const std::string display = server.display().toStdString();
    PtyPair panelLine, floorLine;
    char folder[] = "/tmp/tarndeck-byid-XXXXXX";
    if (!::mkdtemp(folder))
        return 1;
    const std::string byId = std::string(folder) + "/usb-Tarn_Fixture_0001-if00-port0";
    if (::symlink(panelLine.slavePath().toStdString().c_str(), byId.c_str()) != 0)
        return 1;
    WindowProcess panel(besideSelf(argv[0], "panelwindow"), {"--serial", byId}, display);
    WindowProcess floor(besideSelf(argv[0], "floorwindow"),
                        {"--serial", floorLine.slavePath().toStdString()}, display);
    const std::string camera = "127.0.0.1:" + std::to_string(freeUdpPort());
    WindowProcess sim(TARNDECK_SIM_PATH, {"--headless", "--visca-udp", camera}, display);
    if (!panel.waitReady(15000) || !floor.waitReady(15000) || !sim.waitReady(15000)) {
        std::fprintf(stderr, "bench_idle: a window did not start with its port open\n");
        return 1;
    }
    WindowProcess checksOff(besideSelf(argv[0], "panelwindow"), {"--network", camera}, display);
    WindowProcess checksOn(besideSelf(argv[0], "panelwindow"),
                           {"--network", camera, "--health-checks"}, display);
    if (!checksOff.waitReady(15000) || !checksOn.waitReady(15000)) {
        std::fprintf(stderr, "bench_idle: a panel did not connect its network camera\n");
        return 1;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));

    const ProcessCounters panelBefore = processCounters(panel.pid());
    const ProcessCounters floorBefore = processCounters(floor.pid());
    const ProcessCounters offBefore = processCounters(checksOff.pid());
    const ProcessCounters onBefore = processCounters(checksOn.pid());
    SyscallCount panelCalls = countSyscalls(panel.pid(), kWatchSeconds);
    SyscallCount floorCalls = countSyscalls(floor.pid(), kWatchSeconds);
    std::this_thread::sleep_for(std::chrono::seconds(kWatchSeconds));
    const double panelSyscalls = syscallsCounted(panelCalls);
    const double floorSyscalls = syscallsCounted(floorCalls);
    const ProcessCounters panelAfter = processCounters(panel.pid());
    const ProcessCounters floorAfter = processCounters(floor.pid());
    const ProcessCounters offAfter = processCounters(checksOff.pid());
    const ProcessCounters onAfter = processCounters(checksOn.pid());

    const std::string floorName = "bare Qt window + open QSerialPort";
    const std::string over = " in " + std::to_string(kWatchSeconds) + " s idle";
    benchTableCount("wake-ups" + over, "switches", double(panelAfter.switches - panelBefore.switches),
                    floorName, double(floorAfter.switches - floorBefore.switches), "= 0");
    if (panelSyscalls < 0 || floorSyscalls < 0)
        std::printf("system calls%s: not counted (perf could not attach)\n", over.c_str());
    else
        benchTableCount("system calls" + over, "calls", panelSyscalls, floorName, floorSyscalls,
                        "= 0");
    benchTableCount("CPU time" + over, "ms", panelAfter.cpuMs - panelBefore.cpuMs, floorName,
                    floorAfter.cpuMs - floorBefore.cpuMs, "-");
    benchTableCount("threads while idle", "threads", panelAfter.threads, floorName,
                    floorAfter.threads, "-");

    panelLine.closeMaster();
    ::unlink(byId.c_str());
    std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
    const ProcessCounters waitBefore = processCounters(panel.pid());
    const ProcessCounters floorWaitBefore = processCounters(floor.pid());
    std::this_thread::sleep_for(std::chrono::seconds(kWaitWatchSeconds));
    const ProcessCounters waitAfter = processCounters(panel.pid());
    const ProcessCounters floorWaitAfter = processCounters(floor.pid());
    ::rmdir(folder);
    benchTableCount("wake-ups in " + std::to_string(kWaitWatchSeconds)
                        + " s waiting for an unplugged adapter",
                    "switches", double(waitAfter.switches - waitBefore.switches), floorName,
                    double(floorWaitAfter.switches - floorWaitBefore.switches), "= 0");
    const std::string offName = "the same, health checks off";
    benchTableCount("wake-ups" + over + ", 1 UDP camera, health checks on", "switches",
                    double(onAfter.switches - onBefore.switches), offName,
                    double(offAfter.switches - offBefore.switches), "off: = 0");
    benchTableCount("CPU time" + over + ", 1 UDP camera, health checks on", "ms",
                    onAfter.cpuMs - onBefore.cpuMs, offName, offAfter.cpuMs - offBefore.cpuMs, "-");
    return 0;
}

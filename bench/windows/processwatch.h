// What the benchmarks that run a window as a process of its own need: start
// it on a display with a fresh settings folder, learn when its window is
// mapped, and read what the kernel counts for it (CPU time, context
// switches, peak resident memory) from /proc.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include <sys/types.h>

struct ProcessCounters
{
    double cpuMs = 0;         // run time of all its threads
    long long switches = 0;   // context switches of all its threads: its wake-ups
    long long peakRssKb = 0;  // VmHWM
    int threads = 0;
};

// The counters of a running process, or all zero when it is gone.
ProcessCounters processCounters(pid_t pid);

class WindowProcess
{
public:
    // Starts `program` with `arguments` on `display`, its settings in a
    // temporary folder of its own and `environment` ("NAME=value") added;
    // stdout is kept for waitReady().
    WindowProcess(const std::string &program, const std::vector<std::string> &arguments,
                  const std::string &display, const std::vector<std::string> &environment = {});
    ~WindowProcess();
    WindowProcess(const WindowProcess &) = delete;
    WindowProcess &operator=(const WindowProcess &) = delete;

    pid_t pid() const { return child; }
    std::chrono::steady_clock::time_point startedAt() const { return started; }
    // Waits until the program prints "ready"; false at the time-out or exit.
    bool waitReady(int timeoutMs);
    // Ends the program (SIGTERM, then SIGKILL) and reaps it.
    void stop();

private:
    pid_t child = -1;
    int output = -1;
    std::string settingsFolder;
    std::chrono::steady_clock::time_point started;
};

// The path of `relative` seen from the folder the running benchmark
// executable `argv0` lies in.
std::string besideSelf(const char *argv0, const std::string &relative);

// Watches the display for top-level windows being mapped. Built before the
// program starts, so no map can pass unseen.
class MapWatch
{
public:
    explicit MapWatch(const std::string &display);
    ~MapWatch();
    MapWatch(const MapWatch &) = delete;
    MapWatch &operator=(const MapWatch &) = delete;

    bool ok() const { return connection != nullptr; }
    // Waits for a window of process `pid` to be mapped; returns its id
    // (0 at the time-out).
    unsigned long waitMapped(pid_t pid, int timeoutMs);

private:
    void *connection = nullptr; // Display *
};

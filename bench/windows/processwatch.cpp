#include "processwatch.h"

#include <QDir>
#include <QString>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

int remainingMs(Clock::time_point deadline)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    return left.count() > 0 ? int(left.count()) : 0;
}

// "name:   value kB" lines of a /proc status file.
long long statusField(const std::string &path, const char *name)
{
    std::ifstream file(path);
    std::string line;
    const size_t length = std::strlen(name);
    while (std::getline(file, line)) {
        if (line.compare(0, length, name) == 0 && line.size() > length && line[length] == ':')
            return std::atoll(line.c_str() + length + 1);
    }
    return 0;
}

} // namespace

ProcessCounters processCounters(pid_t pid)
{
    ProcessCounters counters;
    const std::string base = "/proc/" + std::to_string(pid);
    counters.peakRssKb = statusField(base + "/status", "VmHWM");
    DIR *tasks = ::opendir((base + "/task").c_str());
    if (!tasks)
        return ProcessCounters();
    while (dirent *task = ::readdir(tasks)) {
        if (task->d_name[0] == '.')
            continue;
        const std::string dir = base + "/task/" + task->d_name;
        ++counters.threads;
        counters.switches += statusField(dir + "/status", "voluntary_ctxt_switches")
            + statusField(dir + "/status", "nonvoluntary_ctxt_switches");
        // schedstat: time on the CPU in ns, time waiting, time slices.
        std::ifstream schedstat(dir + "/schedstat");
        long long runNs = 0;
        if (schedstat >> runNs)
            counters.cpuMs += double(runNs) / 1e6;
    }
    ::closedir(tasks);
    return counters;
}

std::string besideSelf(const char *argv0, const std::string &relative)
{
    const std::string self(argv0);
    const size_t slash = self.rfind('/');
    return (slash == std::string::npos ? std::string(".") : self.substr(0, slash)) + '/' + relative;
}

WindowProcess::WindowProcess(const std::string &program, const std::vector<std::string> &arguments,
                             const std::string &display, const std::vector<std::string> &environment)
{
    char folder[] = "/tmp/tarndeck-bench-XXXXXX";
    if (::mkdtemp(folder))
        settingsFolder = folder;
    int fds[2];
    if (::pipe(fds) != 0)
        return;
    started = Clock::now();
    child = ::fork();
    if (child == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::close(fds[0]);
        ::close(fds[1]);
        ::setenv("DISPLAY", display.c_str(), 1);
        ::setenv("QT_QPA_PLATFORM", "xcb", 1);
        ::setenv("XDG_CONFIG_HOME", settingsFolder.c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", settingsFolder.c_str(), 1);
        for (const std::string &variable : environment)
            ::putenv(const_cast<char *>(variable.c_str()));
        std::vector<char *> argv;
        argv.push_back(const_cast<char *>(program.c_str()));
        for (const std::string &argument : arguments)
            argv.push_back(const_cast<char *>(argument.c_str()));
        argv.push_back(nullptr);
        const int quiet = ::open("/dev/null", O_WRONLY);
        if (quiet >= 0)
            ::dup2(quiet, STDERR_FILENO);
        ::execv(program.c_str(), argv.data());
        std::fprintf(stderr, "cannot start %s: %s\n", program.c_str(), std::strerror(errno));
        ::_exit(127);
    }
    ::close(fds[1]);
    output = fds[0];
}

WindowProcess::~WindowProcess()
{
    stop();
    if (output >= 0)
        ::close(output);
    if (!settingsFolder.empty())
        QDir(QString::fromStdString(settingsFolder)).removeRecursively();
}

bool WindowProcess::waitReady(int timeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    std::string seen;
    pollfd p{output, POLLIN, 0};
    while (seen.find("ready\n") == std::string::npos) {
        if (::poll(&p, 1, remainingMs(deadline)) <= 0)
            return false;
        char buffer[256];
        const ssize_t n = ::read(output, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        seen.append(buffer, size_t(n));
    }
    return true;
}

void WindowProcess::stop()
{
    if (child <= 0)
        return;
    ::kill(child, SIGTERM);
    for (int i = 0; i < 200; ++i) {
        if (::waitpid(child, nullptr, WNOHANG) == child) {
            child = -1;
            return;
        }
        ::usleep(10000);
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    child = -1;
}

MapWatch::MapWatch(const std::string &display)
{
    Display *x = XOpenDisplay(display.c_str());
    if (!x)
        return;
    XSelectInput(x, DefaultRootWindow(x), SubstructureNotifyMask);
    XSync(x, False);
    connection = x;
}

MapWatch::~MapWatch()
{
    if (connection)
        XCloseDisplay(static_cast<Display *>(connection));
}

unsigned long MapWatch::waitMapped(pid_t pid, int timeoutMs)
{
    auto *x = static_cast<Display *>(connection);
    if (!x)
        return 0;
    const Atom pidAtom = XInternAtom(x, "_NET_WM_PID", False);
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    pollfd p{ConnectionNumber(x), POLLIN, 0};
    for (;;) {
        while (XPending(x)) {
            XEvent event;
            XNextEvent(x, &event);
            if (event.type != MapNotify)
                continue;
            Atom type;
            int format;
            unsigned long count, after;
            unsigned char *value = nullptr;
            if (XGetWindowProperty(x, event.xmap.window, pidAtom, 0, 1, False, XA_CARDINAL, &type,
                                   &format, &count, &after, &value)
                    == Success
                && value && count == 1) {
                const long owner = *reinterpret_cast<long *>(value);
                XFree(value);
                if (owner == pid)
                    return event.xmap.window;
            } else if (value) {
                XFree(value);
            }
        }
        if (::poll(&p, 1, remainingMs(deadline)) <= 0)
            return 0;
    }
}

// The bytes a program writes to a serial line, read off the far side of a
// pseudo-terminal by a thread of their own, each packet (up to its
// terminator FF) with the moment it arrived.
#pragma once

#include <QByteArray>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include <poll.h>
#include <unistd.h>

// Waits on the camera's end of the line in a thread of its own and notes
// each packet (up to its FF) with the moment it was whole.
class LineWatch
{
public:
    explicit LineWatch(int masterFd)
        : fd(masterFd)
        , reader([this] { run(); })
    {
    }
    ~LineWatch()
    {
        done = true;
        reader.join();
    }

    int count() const { return packets.load(); }
    // Packet n (from 0) and when it arrived.
    std::pair<QByteArray, std::chrono::steady_clock::time_point> packet(int n)
    {
        const std::lock_guard<std::mutex> lock(guard);
        return arrived.at(size_t(n));
    }

private:
    void run()
    {
        QByteArray partial;
        while (!done) {
            pollfd wait{fd, POLLIN, 0};
            if (::poll(&wait, 1, 20) <= 0)
                continue;
            char bytes[256];
            const ssize_t n = ::read(fd, bytes, sizeof bytes);
            const std::chrono::steady_clock::time_point now = std::chrono::steady_clock::now();
            for (ssize_t i = 0; i < n; ++i) {
                partial += bytes[i];
                if (quint8(bytes[i]) != 0xFF)
                    continue;
                {
                    const std::lock_guard<std::mutex> lock(guard);
                    arrived.emplace_back(partial, now);
                }
                partial.clear();
                ++packets;
            }
        }
    }

    int fd;
    std::atomic<bool> done{false};
    std::atomic<int> packets{0};
    std::mutex guard;
    std::vector<std::pair<QByteArray, std::chrono::steady_clock::time_point>> arrived;
    std::thread reader;
};


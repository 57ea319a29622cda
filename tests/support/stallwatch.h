// How long the event loop of this thread was held: a timer that should tick
// every few milliseconds, and the longest gap between two of its ticks. Also
// the process's resident memory, for tests that feed a peer's flood in.
#pragma once

#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <unistd.h>

class StallWatch
{
public:
    explicit StallWatch(int intervalMs = 5)
    {
        timer.setInterval(intervalMs);
        timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&timer, &QTimer::timeout, &timer, [this] { tick(); });
        restart();
    }

    void restart()
    {
        clock.start();
        last = 0;
        longest = 0;
        timer.start();
    }
    // Counts the wait since the last tick too.
    qint64 longestMs()
    {
        tick();
        return longest;
    }

    // How much resident memory a flood the code must not keep may leave
    // behind: 64 MiB, and in an AddressSanitizer build also the quarantine
    // where it holds freed memory (256 MiB by default).
    static qint64 floodSlackBytes()
    {
#if defined(__SANITIZE_ADDRESS__)
        return qint64(64 + 256) << 20;
#else
        return qint64(64) << 20;
#endif
    }

    // Resident memory of this process in bytes, 0 where it cannot be read.
    static qint64 residentBytes()
    {
        QFile statm(QStringLiteral("/proc/self/statm"));
        if (!statm.open(QIODevice::ReadOnly))
            return 0;
        const QList<QByteArray> fields = statm.readAll().split(' ');
        return fields.size() > 1 ? fields.at(1).toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
    }

private:
    void tick()
    {
        const qint64 now = clock.elapsed();
        longest = qMax(longest, now - last);
        last = now;
    }

    QTimer timer;
    QElapsedTimer clock;
    qint64 last = 0;
    qint64 longest = 0;
};

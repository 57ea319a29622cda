#include "ptypair.h"

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

PtyPair::PtyPair()
{
    char name[256] = {};
    int m = -1;
    int s = -1;
    if (::openpty(&m, &s, name, nullptr, nullptr) != 0)
        return;
    // Raw mode on both sides: no echo, no line discipline between the bytes
    // the program writes and the bytes the test reads.
    termios tio{};
    if (::tcgetattr(s, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::tcsetattr(s, TCSANOW, &tio);
    }
    ::fcntl(m, F_SETFL, ::fcntl(m, F_GETFL) | O_NONBLOCK);
    masterFd = m;
    slaveFd = s;
    slave = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
    if (slaveFd >= 0)
        ::close(slaveFd);
}

QByteArray PtyPair::read(int expected, int timeoutMs)
{
    QByteArray out;
    if (masterFd < 0)
        return out;
    QElapsedTimer clock;
    clock.start();
    while (true) {
        out += drain();
        if (expected > 0 && out.size() >= expected)
            break;
        const qint64 left = timeoutMs - clock.elapsed();
        if (left <= 0)
            break;
        pollfd p{masterFd, POLLIN, 0};
        ::poll(&p, 1, int(left));
    }
    return out;
}

void PtyPair::skipOnce(const QByteArray &bytes)
{
    if (bytes.isEmpty())
        skips.clear();
    else
        skips.append(bytes);
}

QByteArray PtyPair::drain()
{
    QByteArray out;
    if (masterFd < 0)
        return out;
    char buf[4096];
    while (true) {
        const ssize_t n = ::read(masterFd, buf, sizeof buf);
        if (n > 0) {
            out.append(buf, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        break;
    }
    for (auto skip = skips.begin(); skip != skips.end();) {
        const int at = int(out.indexOf(*skip));
        if (at < 0) {
            ++skip;
            continue;
        }
        out.remove(at, int(skip->size()));
        skip = skips.erase(skip);
    }
    return out;
}

bool PtyPair::write(const QByteArray &bytes)
{
    if (masterFd < 0)
        return false;
    return ::write(masterFd, bytes.constData(), size_t(bytes.size())) == bytes.size();
}

void PtyPair::closeMaster()
{
    if (masterFd >= 0) {
        ::close(masterFd);
        masterFd = -1;
    }
}

bool PtyPair::holdOutput(bool hold)
{
    return slaveFd >= 0 && ::tcflow(slaveFd, hold ? TCOOFF : TCOON) == 0;
}

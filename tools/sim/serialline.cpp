#include "serialline.h"

#include <QFile>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {

QString systemError(const char *what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what),
                                        QString::fromLocal8Bit(std::strerror(errno)));
}

// Raw bytes, 9600 baud, 8 data bits, no parity, one stop bit, no flow control.
bool makeRaw(int fd)
{
    termios line{};
    if (::tcgetattr(fd, &line) != 0)
        return false;
    ::cfmakeraw(&line);
    line.c_cflag &= ~tcflag_t(CSTOPB | PARENB | CRTSCTS | CSIZE);
    line.c_cflag |= CS8 | CLOCAL | CREAD;
    line.c_iflag &= ~tcflag_t(IXON | IXOFF | IXANY);
    line.c_cc[VMIN] = 1;
    line.c_cc[VTIME] = 0;
    ::cfsetispeed(&line, B9600);
    ::cfsetospeed(&line, B9600);
    return ::tcsetattr(fd, TCSANOW, &line) == 0;
}

} // namespace

SerialLine::SerialLine(QObject *parent)
    : QObject(parent)
{
}

SerialLine::~SerialLine()
{
    close();
}

bool SerialLine::openDevice(const QString &device, QString *error)
{
    close();
    const int fd
        = ::open(QFile::encodeName(device).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = systemError(qPrintable(device));
        return false;
    }
    if (!makeRaw(fd)) {
        *error = systemError("not a serial line");
        ::close(fd);
        return false;
    }
    devicePath = device;
    start(fd);
    return true;
}

bool SerialLine::openPty(QString *error)
{
    close();
    int master = -1;
    int slave = -1;
    char name[128] = {};
    if (::openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        *error = systemError("openpty");
        return false;
    }
    makeRaw(slave);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    ::fcntl(master, F_SETFD, FD_CLOEXEC);
    ::fcntl(slave, F_SETFD, FD_CLOEXEC);
    holdFd = slave;
    devicePath = QString::fromLocal8Bit(name);
    start(master);
    return true;
}

void SerialLine::start(int fd)
{
    readFd = fd;
    notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SerialLine::readAvailable);
}

void SerialLine::close()
{
    if (notifier) {
        // close() may run inside the notifier's own signal.
        notifier->setEnabled(false);
        notifier->deleteLater();
        notifier = nullptr;
    }
    for (int *fd : {&readFd, &holdFd}) {
        if (*fd >= 0)
            ::close(*fd);
        *fd = -1;
    }
}

bool SerialLine::write(const QByteArray &bytes, QString *error)
{
    if (readFd < 0) {
        *error = QStringLiteral("the line is closed");
        return false;
    }
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(readFd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        *error = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)
            ? QStringLiteral("%1 of %2 bytes lost: nobody reads the line")
                  .arg(bytes.size() - done)
                  .arg(bytes.size())
            : systemError("write");
        return false;
    }
    return true;
}

void SerialLine::readAvailable()
{
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(readFd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, int(n));
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // 0 or an error such as EIO: the other side is gone.
        const QString why = n == 0 ? QStringLiteral("end of line") : systemError("read");
        if (!bytes.isEmpty())
            emit received(bytes);
        close();
        emit closed(why);
        return;
    }
    if (!bytes.isEmpty())
        emit received(bytes);
}

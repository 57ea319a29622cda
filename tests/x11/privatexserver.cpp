#include "privatexserver.h"

#include <cerrno>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

PrivateXServer::PrivateXServer()
{
    int fds[2];
    if (::pipe(fds) != 0) {
        why = QStringLiteral("no pipe for Xvfb");
        return;
    }
    pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        const QByteArray fd = QByteArray::number(fds[1]);
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.constData(), "-noreset", "-nolisten", "tcp",
                 "-screen", "0", "1280x1024x24", static_cast<char *>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid < 0) {
        ::close(fds[0]);
        why = QStringLiteral("cannot fork for Xvfb");
        return;
    }
    // Xvfb writes its display number, then a newline, once it is ready.
    QByteArray number;
    pollfd p{fds[0], POLLIN, 0};
    while (!number.endsWith('\n') && ::poll(&p, 1, 15000) > 0) {
        char c;
        const ssize_t n = ::read(fds[0], &c, 1);
        if (n == 1)
            number.append(c);
        else if (n == 0 || errno != EINTR)
            break;
    }
    ::close(fds[0]);
    if (number.trimmed().isEmpty()) {
        why = QStringLiteral("Xvfb did not start (is the package xvfb installed?)");
        return;
    }
    name = QLatin1Char(':') + QString::fromLatin1(number.trimmed());
}

PrivateXServer::~PrivateXServer()
{
    if (pid > 0) {
        ::kill(pid, SIGTERM);
        ::waitpid(pid, nullptr, 0);
    }
}

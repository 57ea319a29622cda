// A pseudo-terminal pair that stands in for the camera's serial line: the
// program opens the slave side as its serial port, the test reads the exact
// bytes from the master side.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

class PtyPair
{
public:
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair &) = delete;
    PtyPair &operator=(const PtyPair &) = delete;

    bool isValid() const { return masterFd >= 0; }
    // Path of the slave side, e.g. "/dev/pts/7".
    QString slavePath() const { return slave; }

    // Everything readable on the master within timeoutMs; returns as soon as
    // `expected` bytes arrived (0: wait the whole time-out for stragglers).
    QByteArray read(int expected, int timeoutMs = 2000);
    // Whatever is readable right now, without waiting.
    QByteArray drain();
    // The next read or drain that meets these bytes drops them, once (the
    // program's own packets at an open, such as its version inquiry); each
    // call adds one such packet, empty bytes forget them all.
    void skipOnce(const QByteArray &bytes);
    // Bytes sent towards the program (the camera's replies).
    bool write(const QByteArray &bytes);
    // Closes the master: to the program it looks like an unplugged adapter.
    void closeMaster();
    // Suspends (or resumes) the line's output, as a far end holding flow
    // control does: what the program writes stays with it meanwhile.
    bool holdOutput(bool hold);

    int master() const { return masterFd; }

private:
    int masterFd = -1;
    int slaveFd = -1; // kept open so the line stays up between opens
    QString slave;
    QList<QByteArray> skips;
};

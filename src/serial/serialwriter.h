// Puts packets on a serial port without letting a line that does not drain
// (far end not reading, flow control holding) freeze the window once per
// packet: the first write that does not drain within the wait marks the line
// blocked, and until those bytes have gone every further packet is refused
// at once. The port's own output buffer is the one record of what is still
// pending, so it never holds more than one packet.
#pragma once

#include <QByteArray>

class QSerialPort;

class SerialWriter
{
public:
    // What became of one packet.
    enum class Outcome {
        Sent,    // the bytes left within the wait
        Blocked, // the line holds earlier bytes (or these): nothing more queued
        Failed,  // the port refused the write, or closed while draining
    };

    explicit SerialWriter(QSerialPort &port, int drainWaitMs = 1000);

    Outcome write(const QByteArray &bytes);
    // The outcome of the latest write.
    Outcome lastOutcome() const { return latest; }

private:
    Outcome judge(const QByteArray &bytes);

    QSerialPort &port;
    int drainWaitMs;
    Outcome latest = Outcome::Sent;
};

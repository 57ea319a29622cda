#include "serialwriter.h"

#include <QSerialPort>

SerialWriter::SerialWriter(QSerialPort &port, int drainWaitMs)
    : port(port)
    , drainWaitMs(drainWaitMs)
{
}

SerialWriter::Outcome SerialWriter::write(const QByteArray &bytes)
{
    latest = judge(bytes);
    return latest;
}

SerialWriter::Outcome SerialWriter::judge(const QByteArray &bytes)
{
    // Bytes of an earlier packet still waiting: give them a chance to go
    // without waiting, and refuse this packet if they cannot.
    if (port.bytesToWrite() > 0) {
        port.waitForBytesWritten(0);
        if (port.bytesToWrite() > 0)
            return Outcome::Blocked;
    }
    if (port.write(bytes) != bytes.size())
        return Outcome::Failed;
    port.waitForBytesWritten(drainWaitMs);
    // The line can break while the bytes drain (the port is then closed):
    // what was buffered never left.
    if (!port.isOpen())
        return Outcome::Failed;
    return port.bytesToWrite() > 0 ? Outcome::Blocked : Outcome::Sent;
}

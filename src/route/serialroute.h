// The local serial port as a route: the bytes written as they are, through
// the writer that refuses while the line is blocked.
#pragma once

#include "packetroute.h"

class QSerialPort;
class SerialWriter;

class SerialRoute : public PacketRoute
{
public:
    // lineBrokenError: the port's own words for the error that broke the
    // line, kept by the window because closing the port forgets them.
    SerialRoute(QSerialPort &port, SerialWriter &writer, const QString &lineBrokenError)
        : port(port)
        , writer(writer)
        , lineBrokenError(lineBrokenError)
    {
    }
    int sendPacket(const QString &commandText, const QByteArray &bytes,
                   const QString &request) override;

private:
    QSerialPort &port;
    SerialWriter &writer;
    const QString &lineBrokenError;
};

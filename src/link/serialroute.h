// The local serial port as a route: the bytes written as they are, through
// the link that never waits for the line (seriallink.h).
#pragma once

#include "packetroute.h"

class QSerialPort;
class SerialLink;

class SerialRoute : public PacketRoute
{
    Q_OBJECT

public:
    // lineBrokenError: the port's own words for the error that broke the
    // line, kept by the window because closing the port forgets them.
    SerialRoute(QSerialPort &port, SerialLink &link, const QString &lineBrokenError);
    int sendPacket(const QString &commandText, const QByteArray &bytes,
                   const QString &request) override;
    void dropWaiting() override;

private:
    QString writeFailure() const;

    QSerialPort &port;
    SerialLink &link;
    const QString &lineBrokenError;
};

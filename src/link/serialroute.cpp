#include "serialroute.h"

#include "logcategories.h"
#include "sendfailure.h"
#include "seriallink.h"

#include <QSerialPort>

SerialRoute::SerialRoute(QSerialPort &port, SerialLink &link, const QString &lineBrokenError)
    : port(port)
    , link(link)
    , lineBrokenError(lineBrokenError)
{
    connect(&link, &SerialLink::packetFailed, this, &PacketRoute::packetFailed);
    connect(&link, &SerialLink::trouble, this, &PacketRoute::trouble);
}

int SerialRoute::sendPacket(const QString &, const QByteArray &bytes, const QString &request)
{
    if (!port.isOpen()) {
        lastFailure.clear();
        return 0;
    }
    const SerialLink::Outcome outcome = link.send(bytes, request);
    int written = int(bytes.size());
    switch (outcome) {
    case SerialLink::Outcome::Accepted:
        lastFailure.clear();
        break;
    case SerialLink::Outcome::Busy:
        written = 0;
        lastFailure = SendFailure::reason({SendFailure::Kind::CameraBusy, QString()});
        break;
    case SerialLink::Outcome::Failed:
        written = -1;
        lastFailure = writeFailure();
        break;
    }
    qCDebug(lcCamera) << "serialSendCommand():" << bytes.toHex() << written;
    return written;
}

void SerialRoute::dropWaiting()
{
    link.reset();
}

// A line that broke while draining has closed the port, which forgets its
// error text: the text kept at the loss says why.
QString SerialRoute::writeFailure() const
{
    return SendFailure::serialWriteFailed(port.isOpen() ? port.errorString()
                                                        : QStringLiteral("port lost (")
                                                  + lineBrokenError + QLatin1Char(')'));
}

#include "serialbus.h"

#include "logcategories.h"
#include "sendfailure.h"

SerialBus::SerialBus(const QString &location, QObject *parent)
    : PacketLink(parent)
    , path(location)
{
    port.setPortName(location);
    connect(&link, &SerialLink::packetFailed, this, &PacketLink::packetFailed);
    connect(&link, &SerialLink::trouble, this, &PacketLink::trouble);
    connect(&link, &SerialLink::packetAnswered, this, &PacketLink::packetAnswered);
    connect(&link, &SerialLink::hearingChanged, this, &PacketLink::hearingChanged);
    connect(&link, &SerialLink::heldChanged, this, &PacketLink::silenceChanged);
    connect(&port, &QSerialPort::errorOccurred, this, &SerialBus::onPortError);
}

SerialBus::~SerialBus()
{
    close();
}

bool SerialBus::open(const SerialSettings &settings)
{
    if (port.isOpen())
        return true;
    settings.applyTo(port);
    link.reset();
    brokenError.clear();
    port.open(QIODevice::ReadWrite);
    qCDebug(lcSerial).noquote() << (port.isOpen() ? "Connected to:" : "Could not open:")
                                << port.portName() << port.baudRate();
    qCDebug(lcSerial) << port.dataBits();
    qCDebug(lcSerial) << port.stopBits();
    qCDebug(lcSerial) << port.parity();
    qCDebug(lcSerial) << port.flowControl();
    return port.isOpen();
}

QString SerialBus::openFailure(const QString &shownName) const
{
    return SendFailure::serialOpenFailedText(shownName, port.error(), port.errorString());
}

void SerialBus::close()
{
    if (!port.isOpen())
        return;
    const QString name = port.portName();
    port.close();
    link.reset();
    qCDebug(lcSerial).noquote() << "Closed:" << name;
}

SerialSettings SerialBus::setParameter(SerialParameter parameter, int value)
{
    // A value the port refuses leaves its old one: the report says which.
    applySerialParameter(port, parameter, value);
    return SerialSettings::of(port);
}

PacketLink::Handover SerialBus::send(const Packet &packet)
{
    Handover handover;
    if (!port.isOpen())
        return handover;
    handover.result = int(packet.bytes.size());
    switch (link.send(packet.bytes, packet.tag)) {
    case SerialLink::Outcome::Accepted:
        break;
    case SerialLink::Outcome::Busy:
        handover.result = 0;
        handover.failure = SendFailure::reason({SendFailure::Kind::CameraBusy, QString()});
        break;
    case SerialLink::Outcome::Failed:
        handover.result = -1;
        handover.failure = writeFailure();
        break;
    }
    qCDebug(lcCamera) << "serialSendCommand():" << packet.bytes.toHex() << handover.result;
    return handover;
}

// An adapter unplugged while open: the port is closed instead of being left
// open on nothing. A hang-up shows up as a resource error or, when the line
// ends, as a read error.
void SerialBus::onPortError(QSerialPort::SerialPortError error)
{
    const bool lineBroken = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!lineBroken || !port.isOpen())
        return;
    brokenError = port.errorString();
    qCWarning(lcSerial).noquote() << "Port lost:" << port.portName() << "error" << int(error)
                                  << brokenError;
    emit lost();
}

// A line that broke while draining has closed the port, which forgets its
// error text: the text kept at the loss says why.
QString SerialBus::writeFailure() const
{
    return SendFailure::serialWriteFailed(port.isOpen() ? port.errorString()
                                                        : QStringLiteral("port lost (")
                                                  + brokenError + QLatin1Char(')'));
}

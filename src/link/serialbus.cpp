#include "serialbus.h"

#include "logcategories.h"
#include "sendfailure.h"

SerialBus::SerialBus(const QString &location, QObject *parent)
    : PacketLink(parent)
    , path(location)
    , watch(location, this)
{
    port.setPortName(location);
    connect(&link, &SerialLink::packetFailed, this, &PacketLink::packetFailed);
    connect(&link, &SerialLink::trouble, this, &PacketLink::trouble);
    connect(&link, &SerialLink::packetAnswered, this, &PacketLink::packetAnswered);
    connect(&link, &SerialLink::hearingChanged, this, &PacketLink::hearingChanged);
    connect(&link, &SerialLink::heldChanged, this, &PacketLink::silenceChanged);
    connect(&link, &SerialLink::answerRead, this, &SerialBus::onAnswerRead);
    connect(&port, &QSerialPort::errorOccurred, this, &SerialBus::onPortError);
    powerUpGather.setSingleShot(true);
    powerUpGather.setInterval(kPowerUpGatherMs);
    connect(&powerUpGather, &QTimer::timeout, this, [this] {
        qCInfo(lcSerial).noquote() << "a camera came up on" << port.portName()
                                   << "- numbering the chain again";
        numberChain();
    });
    connect(&watch, &PortWatch::present, this, &SerialBus::reopen);
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
    // A camera that opens a port the bus waited for brings the others back.
    if (port.isOpen() && watch.isWatching()) {
        watch.stop();
        reopenFailure.clear();
        emit reopened();
    }
    return port.isOpen();
}

QString SerialBus::openFailure(const QString &shownName) const
{
    return SendFailure::serialOpenFailedText(shownName, port.error(), port.errorString());
}

void SerialBus::close()
{
    watch.stop();
    if (!port.isOpen())
        return;
    const QString name = port.portName();
    port.close();
    link.reset();
    powerUpGather.stop();
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

bool SerialBus::numberChain()
{
    if (!port.isOpen())
        return false;
    const PacketTag tag{this, 0, QStringLiteral("address set")};
    link.send(QByteArray::fromHex("883001FF"), tag);
    link.send(QByteArray::fromHex("88010001FF"),
              {this, 0, QStringLiteral("interface clear")});
    return true;
}

void SerialBus::onAnswerRead(const SerialAnswers::Heard &heard)
{
    switch (heard.kind) {
    case SerialAnswers::Heard::Inquiry:
        emit inquiryAnswered(heard.tag, heard.data);
        break;
    case SerialAnswers::Heard::PowerUp:
        if (!powerUpGather.isActive())
            powerUpGather.start();
        break;
    case SerialAnswers::Heard::Numbered:
        qCInfo(lcSerial).noquote() << "chain on" << port.portName() << "numbered:" << heard.count
                                   << "camera(s)";
        emit chainNumbered(heard.count);
        break;
    case SerialAnswers::Heard::Cleared:
    case SerialAnswers::Heard::Answered:
    case SerialAnswers::Heard::Refused:
    case SerialAnswers::Heard::Nothing:
        break;
    }
}

// An adapter unplugged while open: the port is closed instead of being left
// open on nothing, and the path watched for its return. A hang-up shows up
// as a resource error or, when the line ends, as a read error.
void SerialBus::onPortError(QSerialPort::SerialPortError error)
{
    const bool lineBroken = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!lineBroken || !port.isOpen())
        return;
    brokenError = port.errorString();
    qCWarning(lcSerial).noquote() << "Port lost:" << port.portName() << "error" << int(error)
                                  << brokenError << "- waiting for" << path << "to come back";
    // The port keeps its parameters while closed; they apply at the reopen.
    port.close();
    link.reset();
    powerUpGather.stop();
    watch.start();
    emit lost();
}

// The path is there again: opened with the parameters the port had. One
// that does not open (permission, busy, a device that is not ready) is said
// once, and waited for again: a change of it, or the watch's next look.
void SerialBus::reopen()
{
    if (port.isOpen())
        return;
    link.reset();
    brokenError.clear();
    if (port.open(QIODevice::ReadWrite)) {
        watch.stop();
        reopenFailure.clear();
        qCInfo(lcSerial).noquote() << "Reopened:" << path << port.baudRate();
        emit reopened();
        return;
    }
    const QString why = SendFailure::serialOpenFailedText(port.portName(), port.error(),
                                                         port.errorString());
    if (why != reopenFailure)
        qCWarning(lcSerial).noquote() << why << "- trying again when" << path
                                      << "changes, and after a back-off (1, 2, 4 ... 30 s)";
    reopenFailure = why;
    watch.openFailed();
    emit reopenFailed(why);
}

// A line that broke while draining has closed the port, which forgets its
// error text: the text kept at the loss says why.
QString SerialBus::writeFailure() const
{
    return SendFailure::serialWriteFailed(port.isOpen() ? port.errorString()
                                                        : QStringLiteral("port lost (")
                                                  + brokenError + QLatin1Char(')'));
}

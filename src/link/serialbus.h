// One serial port and the cameras behind it (a daisy chain answers to the
// addresses 1 ... 7): the port, its parameters, and the link that writes the
// packets without ever waiting for the line (seriallink.h). An open port is
// a link that is up: a serial line has no handshake.
//
// A camera that announces its power-up (y0 38 FF) has lost its address: the
// chain is numbered again (address set, then interface clear), once for a
// burst of announcements.
//
// An adapter unplugged closes the port, and the bus waits for the same path
// to be there again (portwatch.h): then it opens it by itself with the
// parameters it had, and every camera on it comes back together.
#pragma once

#include "packetlink.h"
#include "portwatch.h"
#include "seriallink.h"
#include "serialsettings.h"

#include <QSerialPort>
#include <QTimer>
#include <QString>

class SerialBus : public PacketLink
{
    Q_OBJECT

public:
    // location: what the port is opened with, e.g. "/dev/ttyUSB0".
    explicit SerialBus(const QString &location, QObject *parent = nullptr);
    ~SerialBus() override;

    const QString &location() const { return path; }
    // The port's own name ("ttyUSB0"), as the title shows it.
    QString portName() const { return port.portName(); }

    // Opens the port with these parameters; false when it would not open
    // (openFailure() then says why, for the name the operator chose).
    bool open(const SerialSettings &settings);
    QString openFailure(const QString &shownName) const;
    // Closes the port; a bus that waited for its adapter stops waiting.
    void close();
    bool isOpen() const { return port.isOpen(); }
    // The adapter went and the bus waits for it to come back.
    bool isWaiting() const { return watch.isWatching(); }

    // Sets one parameter on the port, open or closed, and returns what the
    // port then reports: an open port may refuse a value.
    SerialSettings setParameter(SerialParameter parameter, int value);
    SerialSettings settings() const { return SerialSettings::of(port); }

    Handover send(const Packet &packet) override;
    bool isUp() const override { return port.isOpen(); }
    void dropWaiting(const QObject *origin) override { link.dropWaiting(origin); }

    const SerialLink &line() const { return link; }
    // The port's own words for the error that broke the line.
    const QString &lineError() const { return brokenError; }

    // Numbers the chain: address set (88 30 01 FF), then interface clear
    // (88 01 00 01 FF). The count of cameras that took an address comes as
    // chainNumbered() where the line answers. False when the port is closed.
    bool numberChain();
    // How long announcements of a power-up are gathered before the chain is
    // numbered again.
    static constexpr int kPowerUpGatherMs = 200;

signals:
    // The adapter was unplugged or the line hung up while open: the port is
    // closed and the bus waits for the path to come back (isWaiting()).
    void lost();
    // The path came back and opened with the parameters the port had.
    void reopened();
    // The path came back but did not open: why, in the operator's words.
    // The bus keeps waiting.
    void reopenFailed(const QString &why);
    // The address set came round: `cameras` took an address.
    void chainNumbered(int cameras);

private:
    void onPortError(QSerialPort::SerialPortError error);
    void onAnswerRead(const SerialAnswers::Heard &heard);
    void reopen();
    QString writeFailure() const;

    QString path;
    QSerialPort port;
    SerialLink link{port};
    // The port's own words for the error that broke the line, kept because
    // closing the port forgets them.
    QString brokenError;
    QTimer powerUpGather;
    PortWatch watch;
    QString reopenFailure; // the last one, logged once
};

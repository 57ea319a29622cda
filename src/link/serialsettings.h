// The five parameters of a serial line as one value: what a camera's route
// asks of its line, what a port reports back, what the encoder's own serial
// port is set to.
#pragma once

#include "serialparameters.h"

#include <QSerialPort>
#include <QString>

#include <array>

class SerialSettings
{
public:
    // 9600 baud, 8 data bits, no parity, one stop bit, no flow control.
    SerialSettings() = default;

    // The value as QSerialPort numbers it (and the settings store keeps it).
    int value(SerialParameter parameter) const;
    void set(SerialParameter parameter, int value);

    // Sets every parameter on the port, open or closed (a closed port keeps
    // them for its next open).
    void applyTo(QSerialPort &port) const;
    // What the port reports, which is what it took.
    static SerialSettings of(const QSerialPort &port);

    // The encoder's form: "8N1,9600" (flow control is not part of it).
    QString encoderText() const;

    bool operator==(const SerialSettings &other) const { return values == other.values; }
    bool operator!=(const SerialSettings &other) const { return !(*this == other); }

private:
    // By SerialParameter, in its order: baud rate, data bits, parity, stop
    // bits, flow control.
    std::array<int, 5> values{9600, QSerialPort::Data8, QSerialPort::NoParity, QSerialPort::OneStop,
                              QSerialPort::NoFlowControl};
};

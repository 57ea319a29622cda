#include "serialsettings.h"

#include "acticgi.h"

int SerialSettings::value(SerialParameter parameter) const
{
    switch (parameter) {
    case SerialParameter::BaudRate:
        return baudRate;
    case SerialParameter::DataBits:
        return dataBits;
    case SerialParameter::Parity:
        return parity;
    case SerialParameter::StopBits:
        return stopBits;
    case SerialParameter::FlowControl:
        return flowControl;
    }
    return 0;
}

void SerialSettings::set(SerialParameter parameter, int newValue)
{
    switch (parameter) {
    case SerialParameter::BaudRate:
        baudRate = newValue;
        break;
    case SerialParameter::DataBits:
        dataBits = newValue;
        break;
    case SerialParameter::Parity:
        parity = newValue;
        break;
    case SerialParameter::StopBits:
        stopBits = newValue;
        break;
    case SerialParameter::FlowControl:
        flowControl = newValue;
        break;
    }
}

void SerialSettings::applyTo(QSerialPort &port) const
{
    for (SerialParameter parameter : serialParametersInRestoreOrder)
        applySerialParameter(port, parameter, value(parameter));
}

SerialSettings SerialSettings::of(const QSerialPort &port)
{
    SerialSettings settings;
    for (SerialParameter parameter : serialParametersInRestoreOrder)
        settings.set(parameter, serialParameterValue(port, parameter));
    return settings;
}

QString SerialSettings::encoderText() const
{
    return ActiCgi::serialSettingText(QSerialPort::DataBits(dataBits), QSerialPort::Parity(parity),
                                      QSerialPort::StopBits(stopBits), baudRate);
}

bool SerialSettings::operator==(const SerialSettings &other) const
{
    for (SerialParameter parameter : serialParametersInRestoreOrder) {
        if (value(parameter) != other.value(parameter))
            return false;
    }
    return true;
}

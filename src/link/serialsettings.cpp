#include "serialsettings.h"

#include "acticgi.h"

static_assert(int(SerialParameter::FlowControl) == 4, "one value for each parameter");

int SerialSettings::value(SerialParameter parameter) const
{
    return values.at(size_t(parameter));
}

void SerialSettings::set(SerialParameter parameter, int newValue)
{
    values.at(size_t(parameter)) = newValue;
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
    return ActiCgi::serialSettingText(QSerialPort::DataBits(value(SerialParameter::DataBits)),
                                      QSerialPort::Parity(value(SerialParameter::Parity)),
                                      QSerialPort::StopBits(value(SerialParameter::StopBits)),
                                      value(SerialParameter::BaudRate));
}

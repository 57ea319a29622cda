#include "serialparameters.h"

#include <iterator>

namespace {

// Within a group the first entry is the default.
constexpr SerialParameterChoice choices[] = {
    {"action9600", SerialParameter::BaudRate, 9600},
    {"action4800", SerialParameter::BaudRate, 4800},
    {"action14400", SerialParameter::BaudRate, 14400},
    {"action19200", SerialParameter::BaudRate, 19200},
    {"action28800", SerialParameter::BaudRate, 28800},
    {"action38400", SerialParameter::BaudRate, 38400},
    {"action57600", SerialParameter::BaudRate, 57600},
    {"action115200", SerialParameter::BaudRate, 115200},
    {"actionDatabits8", SerialParameter::DataBits, QSerialPort::Data8},
    {"actionDatabits7", SerialParameter::DataBits, QSerialPort::Data7},
    {"actionParityNone", SerialParameter::Parity, QSerialPort::NoParity},
    {"actionParityOdd", SerialParameter::Parity, QSerialPort::OddParity},
    {"actionParityEven", SerialParameter::Parity, QSerialPort::EvenParity},
    {"actionStopbits1", SerialParameter::StopBits, QSerialPort::OneStop},
    {"actionStopbits1_5", SerialParameter::StopBits, QSerialPort::OneAndHalfStop},
    {"actionStopbits2", SerialParameter::StopBits, QSerialPort::TwoStop},
    {"actionFlowcontrolNone", SerialParameter::FlowControl, QSerialPort::NoFlowControl},
    {"actionFlowcontrolHardware", SerialParameter::FlowControl, QSerialPort::HardwareControl},
    {"actionFlowcontrolSoftware", SerialParameter::FlowControl, QSerialPort::SoftwareControl},
};

} // namespace

const SerialParameterChoice *serialParameterChoicesBegin()
{
    return std::begin(choices);
}

const SerialParameterChoice *serialParameterChoicesEnd()
{
    return std::end(choices);
}

const SerialParameterChoice *findSerialParameterChoice(const QString &actionName)
{
    for (const SerialParameterChoice &choice : choices) {
        if (actionName == QLatin1String(choice.actionName))
            return &choice;
    }
    return nullptr;
}

const char *serialParameterKey(SerialParameter parameter)
{
    switch (parameter) {
    case SerialParameter::BaudRate:
        return "baudrate";
    case SerialParameter::DataBits:
        return "databits";
    case SerialParameter::Parity:
        return "parity";
    case SerialParameter::StopBits:
        return "stopbits";
    case SerialParameter::FlowControl:
        return "flowcontrol";
    }
    return "";
}

const char *restoredSerialParameterAction(SerialParameter parameter, int storedValue)
{
    const char *fallback = nullptr;
    for (const SerialParameterChoice &choice : choices) {
        if (choice.parameter != parameter)
            continue;
        if (!fallback)
            fallback = choice.actionName;
        if (choice.value == storedValue)
            return choice.actionName;
    }
    return fallback;
}

bool applySerialParameter(QSerialPort &port, SerialParameter parameter, int value)
{
    switch (parameter) {
    case SerialParameter::BaudRate:
        return port.setBaudRate(value, QSerialPort::AllDirections);
    case SerialParameter::DataBits:
        return port.setDataBits(QSerialPort::DataBits(value));
    case SerialParameter::Parity:
        return port.setParity(QSerialPort::Parity(value));
    case SerialParameter::StopBits:
        return port.setStopBits(QSerialPort::StopBits(value));
    case SerialParameter::FlowControl:
        return port.setFlowControl(QSerialPort::FlowControl(value));
    }
    return false;
}

int serialParameterValue(const QSerialPort &port, SerialParameter parameter)
{
    switch (parameter) {
    case SerialParameter::BaudRate:
        return port.baudRate(QSerialPort::AllDirections);
    case SerialParameter::DataBits:
        return port.dataBits();
    case SerialParameter::Parity:
        return port.parity();
    case SerialParameter::StopBits:
        return port.stopBits();
    case SerialParameter::FlowControl:
        return port.flowControl();
    }
    return 0;
}

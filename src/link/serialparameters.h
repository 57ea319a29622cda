// The serial parameters the "&Baudrate" and "&Protocol" menus offer: one
// table of menu entries, each naming the parameter it sets and the value the
// serial port then reports (which is also the value the settings store keeps).
#pragma once

#include <QSerialPort>
#include <QString>

enum class SerialParameter { BaudRate, DataBits, Parity, StopBits, FlowControl };

struct SerialParameterChoice
{
    const char *actionName; // object name of the menu entry
    SerialParameter parameter;
    int value; // QSerialPort's own enumeration value (baud rates as numbers)
};

// All nineteen entries, grouped by parameter.
const SerialParameterChoice *serialParameterChoicesBegin();
const SerialParameterChoice *serialParameterChoicesEnd();

// The entry behind a menu entry's object name, or nullptr.
const SerialParameterChoice *findSerialParameterChoice(const QString &actionName);

// The settings key of a parameter ("baudrate", "databits", ...).
const char *serialParameterKey(SerialParameter parameter);

// The parameters in the order the settings are restored.
constexpr SerialParameter serialParametersInRestoreOrder[]
    = {SerialParameter::BaudRate, SerialParameter::DataBits, SerialParameter::Parity,
       SerialParameter::StopBits, SerialParameter::FlowControl};

// Which entry a stored value selects: the entry with that value, else the
// parameter's default entry (9600, 8 data bits, no parity, one stop bit, no
// flow control).
const char *restoredSerialParameterAction(SerialParameter parameter, int storedValue);

// Sets the parameter on the port, open or closed; the port's verdict.
bool applySerialParameter(QSerialPort &port, SerialParameter parameter, int value);

// The value the port reports for the parameter.
int serialParameterValue(const QSerialPort &port, SerialParameter parameter);

// The serial ports the "&Connect" menu offers.
#pragma once

#include <QList>
#include <QString>

#include <functional>

struct SerialPortEntry
{
    QString portName;       // what the menu shows, e.g. "ttyUSB0"
    QString systemLocation; // what the port is opened with, e.g. "/dev/ttyUSB0"
};

using SerialPortLister = std::function<QList<SerialPortEntry>()>;

// The ports the system reports (QSerialPortInfo::availablePorts()).
QList<SerialPortEntry> systemSerialPorts();

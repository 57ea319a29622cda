// The serial ports the "&Connect" menu offers.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

struct SerialPortEntry
{
    QString portName;       // what the menu shows, e.g. "ttyUSB0"
    QString systemLocation; // what the port is opened with, e.g. "/dev/ttyUSB0"
};

using SerialPortLister = std::function<QList<SerialPortEntry>()>;

// The ports the system reports (QSerialPortInfo::availablePorts()).
QList<SerialPortEntry> systemSerialPorts();

// The menu's ports: `found` (what the system reports), then each device path
// of `configured` (the settings key "serialPorts": adapters that enumerate
// under odd names, /dev/serial/by-id links, a simulator's pseudo-terminal)
// that names no port already listed. Such an entry shows its path; a path
// that does not exist shows "(not present)" after it and cannot be opened.
QList<SerialPortEntry> withConfiguredPorts(QList<SerialPortEntry> found,
                                           const QStringList &configured);

// Whether a listed entry is the port a QSerialPort reports as `openPortName`
// (a name such as "ttyUSB0" stands for /dev/ttyUSB0; a path for itself).
bool isSerialPort(const SerialPortEntry &entry, const QString &openPortName);

// The suffix withConfiguredPorts() gives an entry whose path is missing.
extern const QString serialPortMissingSuffix;

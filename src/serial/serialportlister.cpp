#include "serialportlister.h"

#include <QSerialPortInfo>

QList<SerialPortEntry> systemSerialPorts()
{
    QList<SerialPortEntry> entries;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        entries.append({info.portName(), info.systemLocation()});
    return entries;
}

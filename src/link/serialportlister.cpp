#include "serialportlister.h"

#include <algorithm>

#include <QFileInfo>
#include <QSerialPortInfo>

const QString serialPortMissingSuffix = QStringLiteral(" (not present)");

QList<SerialPortEntry> systemSerialPorts()
{
    QList<SerialPortEntry> entries;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        entries.append({info.portName(), info.systemLocation()});
    return entries;
}

QList<SerialPortEntry> withConfiguredPorts(QList<SerialPortEntry> found,
                                           const QStringList &configured)
{
    for (const QString &raw : configured) {
        const QString path = raw.trimmed();
        if (path.isEmpty())
            continue;
        const bool listed = std::any_of(found.cbegin(), found.cend(), [&path](const auto &entry) {
            return entry.systemLocation == path || entry.portName == path;
        });
        if (listed)
            continue;
        const QString shown = QFileInfo::exists(path) ? path : path + serialPortMissingSuffix;
        found.append({shown, path});
    }
    return found;
}

bool isSerialPort(const SerialPortEntry &entry, const QString &openPortName)
{
    if (entry.portName == openPortName || entry.systemLocation == openPortName)
        return true;
    return !openPortName.startsWith(QLatin1Char('/'))
        && entry.systemLocation == QLatin1String("/dev/") + openPortName;
}

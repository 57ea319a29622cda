#include "remotelog.h"

Q_LOGGING_CATEGORY(lcRemote, "tarndeck.remote", QtInfoMsg)

QString remoteClientName(const char *kind, const QHostAddress &address, quint16 port)
{
    bool mapped = false;
    const quint32 v4 = address.toIPv4Address(&mapped);
    const QHostAddress shown = mapped ? QHostAddress(v4) : address;
    const QString host = shown.protocol() == QAbstractSocket::IPv6Protocol
        ? QLatin1Char('[') + shown.toString() + QLatin1Char(']')
        : shown.toString();
    return QStringLiteral("%1 %2:%3").arg(QLatin1String(kind), host).arg(port);
}

#include "endpoint.h"

namespace Endpoint {

QString authority(const QHostAddress &address, quint16 port, quint16 implicitPort)
{
    QString host = address.toString();
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    if (port != implicitPort)
        host += QLatin1Char(':') + QString::number(port);
    return host;
}

bool parse(const QString &text, QHostAddress *address, quint16 *port, quint16 implicitPort)
{
    const QString trimmed = text.trimmed();
    QString host = trimmed;
    QString portText;
    bool bracketed = false;

    if (trimmed.startsWith(QLatin1Char('['))) {
        const int close = trimmed.indexOf(QLatin1Char(']'));
        if (close < 0)
            return false;
        host = trimmed.mid(1, close - 1);
        const QString rest = trimmed.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':')))
                return false;
            portText = rest.mid(1);
            if (portText.isEmpty())
                return false;
        }
        bracketed = true;
    } else if (trimmed.count(QLatin1Char(':')) == 1) {
        const int colon = trimmed.indexOf(QLatin1Char(':'));
        host = trimmed.left(colon);
        portText = trimmed.mid(colon + 1);
        if (portText.isEmpty())
            return false;
    }

    QHostAddress parsed;
    if (host.isEmpty() || !parsed.setAddress(host))
        return false;
    if (bracketed && parsed.protocol() != QAbstractSocket::IPv6Protocol)
        return false;

    quint16 parsedPort = implicitPort;
    if (!portText.isEmpty()) {
        bool ok = false;
        const uint value = portText.toUInt(&ok, 10);
        // toUInt accepts a leading "+" and blanks; a port is ASCII digits only.
        for (const QChar c : portText) {
            if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                ok = false;
        }
        if (!ok || value < 1 || value > 65535)
            return false;
        parsedPort = quint16(value);
    }

    *address = parsed;
    *port = parsedPort;
    return true;
}

QString text(const QHostAddress &address, quint16 port, quint16 implicitPort)
{
    if (port == implicitPort)
        return address.toString();
    return authority(address, port, implicitPort);
}

} // namespace Endpoint

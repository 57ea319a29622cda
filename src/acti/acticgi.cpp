#include "acticgi.h"

#include <QUrl>

namespace ActiCgi {

namespace {

QString percentEncoded(const QString &value)
{
    return QString::fromLatin1(QUrl::toPercentEncoding(value));
}

} // namespace

QString credentialsText(const QString &user, const QString &password)
{
    return QLatin1String("USER=") + percentEncoded(user) + QLatin1String("&PWD=")
        + percentEncoded(password);
}

namespace {

QString authority(const QHostAddress &address, quint16 port, quint16 implicitPort)
{
    QString host = address.toString();
    if (address.protocol() == QAbstractSocket::IPv6Protocol)
        host = QLatin1Char('[') + host + QLatin1Char(']');
    if (port != implicitPort)
        host += QLatin1Char(':') + QString::number(port);
    return host;
}

} // namespace

QString urlAuthority(const QHostAddress &address, quint16 port)
{
    return authority(address, port, defaultPort);
}

QString cgiUrl(const QHostAddress &address, quint16 port, const QString &command,
               const QString &credentials, const QString &parameters)
{
    return QLatin1String("http://") + urlAuthority(address, port) + QLatin1String("/cgi-bin/")
        + command + QLatin1Char('?') + credentials + QLatin1Char('&') + parameters;
}

bool parseEndpoint(const QString &text, QHostAddress *address, quint16 *port, quint16 implicitPort)
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

QString endpointText(const QHostAddress &address, quint16 port, quint16 implicitPort)
{
    if (port == implicitPort)
        return address.toString();
    return authority(address, port, implicitPort);
}

QString serialSettingText(QSerialPort::DataBits dataBits, QSerialPort::Parity parity,
                          QSerialPort::StopBits stopBits, qint32 baudRate)
{
    QChar parityLetter = QLatin1Char('N');
    if (parity == QSerialPort::EvenParity)
        parityLetter = QLatin1Char('E');
    else if (parity == QSerialPort::OddParity)
        parityLetter = QLatin1Char('O');

    return QString::number(int(dataBits)) + parityLetter + QString::number(int(stopBits))
        + QLatin1Char(',') + QString::number(baudRate);
}

QString serialSettingText(const QSerialPort &port)
{
    return serialSettingText(port.dataBits(), port.parity(), port.stopBits(), port.baudRate());
}

} // namespace ActiCgi

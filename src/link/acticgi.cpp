#include "acticgi.h"

#include "endpoint.h"

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

QString urlAuthority(const QHostAddress &address, quint16 port)
{
    return Endpoint::authority(address, port, defaultPort);
}

QString cgiUrl(const QHostAddress &address, quint16 port, const QString &command,
               const QString &credentials, const QString &parameters)
{
    return QLatin1String("http://") + urlAuthority(address, port) + QLatin1String("/cgi-bin/")
        + command + QLatin1Char('?') + credentials + QLatin1Char('&') + parameters;
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

// Texts of the ACTi encoder's CGI interface: request URLs and the serial
// setting text. Plain functions, so that tests and the simulator use exactly
// what the panel sends.
#pragma once

#include <QHostAddress>
#include <QSerialPort>
#include <QString>

namespace ActiCgi {

// The encoder's port when the operator names none.
constexpr quint16 defaultPort = 80;

// "USER=<user>&PWD=<password>", both values percent-encoded: letters, digits
// and "-._~" stay as they are, everything else ("&", "#", "=", "+", "%",
// blanks, non-ASCII as UTF-8) becomes %XX.
QString credentialsText(const QString &user, const QString &password);

// "host" or "host:port" for a URL: an IPv6 address in brackets, the port
// only when it is not 80.
QString urlAuthority(const QHostAddress &address, quint16 port);

// "http://<authority>/cgi-bin/<command>?<credentials>&<parameters>".
QString cgiUrl(const QHostAddress &address, quint16 port, const QString &command,
               const QString &credentials, const QString &parameters);

// The encoder's serial setting: data bits, parity letter (N, E, O; mark and
// space give N), stop bits (1, 2, or 3 for one and a half), ",", baud rate.
// For example "8N1,9600". Flow control is not part of it.
QString serialSettingText(QSerialPort::DataBits dataBits, QSerialPort::Parity parity,
                          QSerialPort::StopBits stopBits, qint32 baudRate);
QString serialSettingText(const QSerialPort &port);

} // namespace ActiCgi

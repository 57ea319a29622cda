// The simulated ACTi video encoder: answers its CGI requests the way the
// device does and puts SERIAL_HEX bytes on its serial port, towards the
// camera.
//
//   /cgi-bin/system?USER=u&PWD=p&SYSTEM_INFO_XML        system information (XML)
//   /cgi-bin/ENCODER?USER=u&PWD=p&SERIAL_SETTING=8N1,9600   "OK: SERIAL_SETTING='8N1,9600'"
//   /cgi-bin/ENCODER?USER=u&PWD=p&SERIAL_SETTING        "SERIAL_SETTING='8N1,9600'" (a read)
//   /cgi-bin/ENCODER?USER=u&PWD=p&SERIAL_HEX=8101040700FF  "OK: SERIAL_HEX='8101040700FF'"
//
// Every refusal is an "ERROR: ..." body with HTTP status 200, as the device
// gives it: wrong user or password, a value it cannot take, an unknown
// command or CGI. Several commands in one request are answered one a line.
#pragma once

#include "loophttpserver.h"

#include <QByteArray>
#include <QString>

#include <functional>

class EncoderFront
{
public:
    // The panel's factory defaults.
    static const char *const kDefaultUser;
    static const char *const kDefaultPassword;
    // What the serial port starts with, and what the camera listens at.
    static const char *const kFactorySerialSetting;

    // bytes: what goes out of the serial port; log: one line per request
    // that changed something or was refused.
    using SerialOut = std::function<void(const QByteArray &bytes)>;
    using Log = std::function<void(const QString &line)>;

    EncoderFront(SerialOut serialOut, Log log);

    void setCredentials(const QString &user, const QString &password);
    QString user() const { return userName; }
    QString password() const { return pass; }
    QString serialSetting() const { return setting; }

    // The answer to one request below /cgi-bin/.
    LoopHttpServer::Response answer(const LoopHttpServer::Request &request);

    // The system-information document: one element per fact, its value in
    // the first attribute.
    static QByteArray systemInfoXml();
    // "8n1,9600" -> "8N1,9600"; an empty text for a setting the port cannot
    // take (data bits 5..8, parity N/O/E/M/S, stop bits 1, 2 or 3 for
    // one and a half, a standard baud rate from 1200 to 115200).
    static QString normalisedSerialSetting(const QString &setting);
    // Non-empty, even length, hex digits only.
    static bool validHex(const QString &text);

private:
    QByteArray command(const QString &cgi, const QString &key, const QString &value);

    SerialOut serialOut;
    Log log;
    QString userName;
    QString pass;
    QString setting;
};

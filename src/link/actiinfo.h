// Everything the panel knows about one ACTi video encoder: where it is, how
// to log in, the request object that talks to it, and the system information
// it reports about itself. One request at a time: a request is sent, and its
// answer, judged, comes later as answered().
#pragma once

#include "myhttp.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QStringList>

class ACTIINFO : public QObject
{
    Q_OBJECT

public:
    // The reader of the system-information XML (actixmlhandler.h). Declared
    // here only, so that the deprecated SAX classes stay out of every file
    // that merely uses the link.
    class ACTIXMLHANDLER;

    explicit ACTIINFO(QObject *parent = nullptr);

    bool parseReply(const QByteArray &body);
    void clearSystemInfo();

    QString credentials() const;
    // Whether an address is set that requests can go to (not null, not
    // the unspecified address).
    bool hasAddress() const;
    // Each sends one request and returns whether it went; false, and
    // nothing sent, without an address or while a request is under way.
    bool cgiRequest(const QString &command, const QString &parameters);
    bool httpRequest(const QString &url);
    // Clears the system information first; `valid` tells, once answered,
    // whether the answer was the encoder's system information.
    bool readSystemInfo();
    bool isWaiting() const { return http.isWaiting(); }
    // Forgets address, credentials and system information, and gives up
    // the request under way.
    void resetLink();

    // Takes the encoder address as the operator typed it: "host", "host:port"
    // or "[v6]:port". Returns false (address left null) when it does not parse.
    bool setEndpoint(const QString &text);
    // The address as the title and status line show it: the port only when
    // it is not 80.
    QString endpointText() const;

    bool valid = false;
    QByteArray lastReply;
    QHostAddress address;
    quint16 port = 80;
    QString user;
    QString password;
    QString modelNumber;
    QString unitType;
    QString digitalInputs;
    QString digitalOutputs;
    QString encoderSerialPort;
    QString platform;
    QString channel;
    QStringList videoResolutionCaps;
    QStringList videoFpsCaps;
    QStringList videoBitrateCaps;
    QStringList encoderCaps;
    QString videoResolutionCurrent;
    QString videoFpsCurrent;
    QString videoBitrateCurrent;
    QString encoderCurrent;
    QString streamingMethodCurrent;
    QString protocol;
    QString streamingMode;
    QStringList streamingModeCaps;
    MYHTTP http;

signals:
    // The request has ended; its answer judged (http.error and lastReply
    // tell more).
    void answered(bool accepted);
};

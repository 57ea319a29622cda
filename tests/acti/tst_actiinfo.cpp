// The encoder link object: request texts, reply judging and the
// system-information reader, against a real HTTP server on loopback.
#include "acticgi.h"
#include "actiinfo.h"
#include "encoderanswer.h"
#include "hostilereplies.h"
#include "loophttpserver.h"
#include "testsettings.h"

#include <QRegularExpression>
#include <QSerialPort>
#include <QtTest>

using Request = LoopHttpServer::Request;
using Response = LoopHttpServer::Response;

namespace {

// An encoder stand-in: system information as XML, "OK:" for ENCODER writes.
Response encoderAnswer(const Request &request)
{
    if (request.path() == "/cgi-bin/system")
        return Response::xml("<?xml version=\"1.0\"?><SYSTEM_INFO>"
                             "<MODEL_NUMBER value=\"TDE-3300\"/></SYSTEM_INFO>");
    if (request.path() == "/cgi-bin/ENCODER") {
        const QList<QPair<QString, QString>> items = request.queryItems();
        const auto &last = items.last();
        return Response::text("OK: " + last.first.toUtf8() + "='" + last.second.toUtf8() + "'");
    }
    return Response::text("ERROR: unknown command", 200);
}

QString settingText(int dataBits, int parity, int stopBits, int baud)
{
    return ActiCgi::serialSettingText(QSerialPort::DataBits(dataBits), QSerialPort::Parity(parity),
                                      QSerialPort::StopBits(stopBits), baud);
}

} // namespace

class TestActiInfo : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void requestLines_data();
    void requestLines();
    void serialSettingText_data();
    void serialSettingText();
    void noAddressSendsNothing_data();
    void noAddressSendsNothing();
    void credentialsAreEscaped_data();
    void credentialsAreEscaped();
    void ipv6Encoder();
    void endpoint_data();
    void endpoint();

    void parseReply_data();
    void parseReply();
    void readerRules_data();
    void readerRules();
    void readerFillsEveryField();
    void clearAndResetLink();
    void readSystemInfo_data();
    void readSystemInfo();

private:
    LoopHttpServer *server = nullptr;
    ACTIINFO *info = nullptr;
};

void TestActiInfo::initTestCase()
{
    TestSettings::useTemporaryStore();
}

void TestActiInfo::init()
{
    server = new LoopHttpServer;
    QVERIFY(server->listen());
    server->setHandler(encoderAnswer);
    info = new ACTIINFO;
    QVERIFY(info->setEndpoint(server->authority()));
    info->user = QStringLiteral("Admin");
    info->password = QStringLiteral("418275");
}

void TestActiInfo::cleanup()
{
    delete info;
    info = nullptr;
    delete server;
    server = nullptr;
}

// --- What goes over the wire ---------------------------------------------------

void TestActiInfo::requestLines_data()
{
    QTest::addColumn<bool>("systemInfo");
    QTest::addColumn<QString>("parameters");
    QTest::addColumn<QString>("requestLine");

    QTest::newRow("system information, credentials twice")
        << true << QString()
        << "GET /cgi-bin/system?USER=Admin&PWD=418275&USER=Admin&PWD=418275&SYSTEM_INFO_XML "
           "HTTP/1.1";
    QTest::newRow("serial setting 8N1,9600")
        << false
        << "SERIAL_SETTING=" + settingText(8, QSerialPort::NoParity, QSerialPort::OneStop, 9600)
        << "GET /cgi-bin/ENCODER?USER=Admin&PWD=418275&SERIAL_SETTING=8N1,9600 HTTP/1.1";
    QTest::newRow("serial setting 7E2,19200")
        << false
        << "SERIAL_SETTING=" + settingText(7, QSerialPort::EvenParity, QSerialPort::TwoStop, 19200)
        << "GET /cgi-bin/ENCODER?USER=Admin&PWD=418275&SERIAL_SETTING=7E2,19200 HTTP/1.1";
    QTest::newRow("serial setting, one and a half stop bits")
        << false
        << "SERIAL_SETTING="
            + settingText(8, QSerialPort::OddParity, QSerialPort::OneAndHalfStop, 4800)
        << "GET /cgi-bin/ENCODER?USER=Admin&PWD=418275&SERIAL_SETTING=8O3,4800 HTTP/1.1";
    QTest::newRow("pass-through hex unchanged")
        << false << "SERIAL_HEX=8201060100010301ff"
        << "GET /cgi-bin/ENCODER?USER=Admin&PWD=418275&SERIAL_HEX=8201060100010301ff HTTP/1.1";
}

void TestActiInfo::requestLines()
{
    QFETCH(bool, systemInfo);
    QFETCH(QString, parameters);
    QFETCH(QString, requestLine);

    if (systemInfo)
        QVERIFY(encoderAccepted(*info, info->readSystemInfo()));
    else
        QVERIFY(encoderAccepted(*info, info->cgiRequest(QStringLiteral("ENCODER"), parameters)));
    QCOMPARE(server->requestLines(), QStringList{requestLine});
}

void TestActiInfo::serialSettingText_data()
{
    QTest::addColumn<int>("dataBits");
    QTest::addColumn<int>("parity");
    QTest::addColumn<int>("stopBits");
    QTest::addColumn<int>("baud");
    QTest::addColumn<QString>("expected");

    QTest::newRow("default") << 8 << int(QSerialPort::NoParity) << int(QSerialPort::OneStop) << 9600
                             << "8N1,9600";
    QTest::newRow("even, two stop bits")
        << 7 << int(QSerialPort::EvenParity) << int(QSerialPort::TwoStop) << 19200 << "7E2,19200";
    QTest::newRow("odd, one and a half")
        << 7 << int(QSerialPort::OddParity) << int(QSerialPort::OneAndHalfStop) << 115200
        << "7O3,115200";
    QTest::newRow("mark parity gives N")
        << 8 << int(QSerialPort::MarkParity) << int(QSerialPort::OneStop) << 4800 << "8N1,4800";
    QTest::newRow("space parity gives N")
        << 8 << int(QSerialPort::SpaceParity) << int(QSerialPort::OneStop) << 38400 << "8N1,38400";
}

void TestActiInfo::serialSettingText()
{
    QFETCH(int, dataBits);
    QFETCH(int, parity);
    QFETCH(int, stopBits);
    QFETCH(int, baud);
    QFETCH(QString, expected);

    QCOMPARE(settingText(dataBits, parity, stopBits, baud), expected);

    // The same from a port object, as the window holds it (never opened).
    QSerialPort port;
    QVERIFY(port.setDataBits(QSerialPort::DataBits(dataBits)));
    QVERIFY(port.setParity(QSerialPort::Parity(parity)));
    QVERIFY(port.setStopBits(QSerialPort::StopBits(stopBits)));
    QVERIFY(port.setBaudRate(baud));
    QCOMPARE(ActiCgi::serialSettingText(port), expected);
}

void TestActiInfo::noAddressSendsNothing_data()
{
    QTest::addColumn<QString>("addressText");
    QTest::newRow("empty") << QString();
    QTest::newRow("unparsable") << QStringLiteral("encoder.local");
    QTest::newRow("0.0.0.0") << QStringLiteral("0.0.0.0");
    QTest::newRow("::") << QStringLiteral("::");
}

void TestActiInfo::noAddressSendsNothing()
{
    QFETCH(QString, addressText);
    info->setEndpoint(addressText);
    info->http.error = QNetworkReply::ConnectionRefusedError;

    QVERIFY(
        !info->cgiRequest(QStringLiteral("ENCODER"), QStringLiteral("SERIAL_HEX=8101040700FF")));
    QVERIFY(
        !info->cgiRequest(QStringLiteral("ENCODER"), QStringLiteral("SERIAL_SETTING=8N1,9600")));
    QVERIFY(!info->readSystemInfo());
    QTest::qWait(20);
    QVERIFY(server->requestLines().isEmpty());
    QCOMPARE(info->http.error, int(QNetworkReply::ConnectionRefusedError));
}

void TestActiInfo::credentialsAreEscaped_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("encodedUser");
    QTest::addColumn<QString>("encodedPassword");

    QTest::newRow("plain stays as typed") << "Admin"
                                          << "418275"
                                          << "Admin"
                                          << "418275";
    QTest::newRow("ampersand") << "a&b"
                               << "p#w"
                               << "a%26b"
                               << "p%23w";
    QTest::newRow("equals, plus") << "x=y"
                                  << "a+b"
                                  << "x%3Dy"
                                  << "a%2Bb";
    QTest::newRow("percent") << "100%"
                             << "%41"
                             << "100%25"
                             << "%2541";
    QTest::newRow("blank") << "with blank"
                           << ""
                           << "with%20blank"
                           << "";
    QTest::newRow("non-ASCII") << QString::fromUtf8("Ünïcødé") << "-._~"
                               << "%C3%9Cn%C3%AFc%C3%B8d%C3%A9"
                               << "-._~";
}

void TestActiInfo::credentialsAreEscaped()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, encodedUser);
    QFETCH(QString, encodedPassword);

    info->user = user;
    info->password = password;
    QVERIFY(encoderAccepted(*info, info->readSystemInfo()));

    const QString pair = "USER=" + encodedUser + "&PWD=" + encodedPassword;
    QCOMPARE(server->requestLines(),
             QStringList{"GET /cgi-bin/system?" + pair + "&" + pair + "&SYSTEM_INFO_XML HTTP/1.1"});
    const Request request = server->requests().first();
    QCOMPARE(request.queryValues(QStringLiteral("USER")), (QStringList{user, user}));
    QCOMPARE(request.queryValues(QStringLiteral("PWD")), (QStringList{password, password}));
    QVERIFY(request.hasQueryItem(QStringLiteral("SYSTEM_INFO_XML")));
}

void TestActiInfo::ipv6Encoder()
{
    LoopHttpServer v6;
    if (!v6.listen(QHostAddress(QHostAddress::LocalHostIPv6)))
        QSKIP("::1 cannot be bound on this machine");
    v6.setHandler(encoderAnswer);

    QVERIFY(info->setEndpoint(QStringLiteral("[::1]:%1").arg(v6.port())));
    QCOMPARE(info->endpointText(), QStringLiteral("[::1]:%1").arg(v6.port()));
    QVERIFY(encoderAccepted(
        *info,
        info->cgiRequest(QStringLiteral("ENCODER"), QStringLiteral("SERIAL_HEX=8101040700FF"))));
    QCOMPARE(
        v6.requestLines(),
        QStringList{"GET /cgi-bin/ENCODER?USER=Admin&PWD=418275&SERIAL_HEX=8101040700FF HTTP/1.1"});
    QCOMPARE(v6.requests().first().header("Host"),
             QStringLiteral("[::1]:%1").arg(v6.port()).toLatin1());
}

void TestActiInfo::endpoint_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("url");

    const QString cgi = QStringLiteral("/cgi-bin/ENCODER?USER=u&PWD=p&SERIAL_HEX=81");
    QTest::newRow("IPv4") << "127.0.0.1" << true << "127.0.0.1"
                          << "http://127.0.0.1" + cgi;
    QTest::newRow("IPv4, blanks around") << " 127.0.0.1 " << true << "127.0.0.1"
                                         << "http://127.0.0.1" + cgi;
    QTest::newRow("IPv4, port") << "127.0.0.2:8080" << true << "127.0.0.2:8080"
                                << "http://127.0.0.2:8080" + cgi;
    QTest::newRow("IPv4, port 80 not shown") << "127.0.0.1:80" << true << "127.0.0.1"
                                             << "http://127.0.0.1" + cgi;
    QTest::newRow("IPv6") << "::1" << true << "::1"
                          << "http://[::1]" + cgi;
    QTest::newRow("IPv6 bracketed") << "[::1]" << true << "::1"
                                    << "http://[::1]" + cgi;
    QTest::newRow("IPv6, port") << "[::1]:8080" << true << "[::1]:8080"
                                << "http://[::1]:8080" + cgi;
    QTest::newRow("IPv6 written in full") << "0:0:0:0:0:0:0:1" << true << "::1"
                                          << "http://[::1]" + cgi;
    QTest::newRow("empty") << "" << false << ""
                           << "";
    QTest::newRow("host name") << "encoder.local" << false << ""
                               << "";
    QTest::newRow("host name, port") << "encoder.local:80" << false << ""
                                     << "";
    QTest::newRow("empty port") << "127.0.0.1:" << false << ""
                                << "";
    QTest::newRow("port 0") << "127.0.0.1:0" << false << ""
                            << "";
    QTest::newRow("port too large") << "127.0.0.1:65536" << false << ""
                                    << "";
    QTest::newRow("port not a number") << "127.0.0.1:http" << false << ""
                                       << "";
    QTest::newRow("port with sign") << "127.0.0.1:+80" << false << ""
                                    << "";
    QTest::newRow("unclosed bracket") << "[::1:8080" << false << ""
                                      << "";
    QTest::newRow("IPv4 in brackets") << "[127.0.0.1]:80" << false << ""
                                      << "";
    QTest::newRow("junk after bracket") << "[::1]8080" << false << ""
                                        << "";
}

void TestActiInfo::endpoint()
{
    QFETCH(QString, text);
    QFETCH(bool, accepted);
    QFETCH(QString, shown);
    QFETCH(QString, url);

    // Start from a port other than 80, so that a refused text must reset it.
    QVERIFY(info->setEndpoint(QStringLiteral("127.0.0.9:81")));
    QCOMPARE(info->setEndpoint(text), accepted);
    if (!accepted) {
        QVERIFY(info->address.isNull());
        QCOMPARE(info->port, quint16(80));
        return;
    }
    QCOMPARE(info->endpointText(), shown);
    QCOMPARE(ActiCgi::cgiUrl(info->address, info->port, QStringLiteral("ENCODER"),
                             ActiCgi::credentialsText(QStringLiteral("u"), QStringLiteral("p")),
                             QStringLiteral("SERIAL_HEX=81")),
             url);
}

// --- Judging replies ---------------------------------------------------------

void TestActiInfo::parseReply_data()
{
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<bool>("validBefore");
    QTest::addColumn<bool>("result");
    QTest::addColumn<bool>("validAfter");
    QTest::addColumn<QString>("warning"); // start of the expected warning, if any

    const QString acti = QStringLiteral("^ACTi error:");
    const QString xmlFailed = QStringLiteral("^XML parser failed:");

    QTest::newRow("ERROR, no XML: valid kept")
        << QByteArray("ERROR: invalid parameters") << true << false << true << acti;
    QTest::newRow("error lower case, no XML")
        << QByteArray("login error") << true << false << true << acti;
    QTest::newRow("ERROR with XML: not valid")
        << QByteArray("<?xml version=\"1.0\"?><ERROR/>") << true << false << false << acti;
    QTest::newRow("error hidden in an attribute")
        << QByteArray("<?xml version=\"1.0\"?><R><MODEL_NUMBER v=\"eRRoR\"/></R>") << true << false
        << false << acti;
    QTest::newRow("OK: and error together")
        << QByteArray("OK: SERIAL_SETTING='8N1,9600' Error") << true << false << true << acti;
    QTest::newRow("OK: leaves valid false")
        << QByteArray("OK: SERIAL_HEX='8101040700FF'") << false << true << false << "";
    QTest::newRow("OK: leaves valid true")
        << QByteArray("OK: SERIAL_SETTING='8N1,9600'") << true << true << true << "";
    QTest::newRow("ok: in lower case")
        << QByteArray("ok: SERIAL_HEX='81'") << true << false << true << "";
    QTest::newRow("OK without colon") << QByteArray("OK") << false << false << false << "";
    QTest::newRow("XML that parses")
        << QByteArray("<?xml version=\"1.0\"?><SYSTEM_INFO/>") << false << true << true << "";
    QTest::newRow("xml marker in any case")
        << QByteArray("<info xmlns=\"urn:x\"><PROTOCOL p=\"TCP\"/></info>") << false << true << true
        << "";
    QTest::newRow("XML that does not parse, valid kept")
        << QByteArray("<?xml version=\"1.0\"?><SYSTEM_INFO><UNIT_TYPE") << true << false << true
        << xmlFailed;
    QTest::newRow("XML that does not parse, still not valid")
        << QByteArray("<?xml version=\"1.0\"?><a></b>") << false << false << false << xmlFailed;
    // Hostile documents: refused whole, as a reply that does not parse.
    QTest::newRow("nesting at the limit parses")
        << HostileReplies::nestedElements(64) << false << true << true << "";
    QTest::newRow("nesting one past the limit")
        << HostileReplies::nestedElements(65) << true << false << true << xmlFailed;
    QTest::newRow("nesting 25,000 deep")
        << HostileReplies::nestedElements(25000) << false << false << false << xmlFailed;
    QTest::newRow("entity declared and repeated")
        << HostileReplies::entityExpansion(6, 10) << false << false << false << xmlFailed;
    QTest::newRow("document type without entities")
        << QByteArray("<?xml version=\"1.0\"?><!DOCTYPE S><S/>") << true << false << true
        << xmlFailed;
    QTest::newRow("1 MiB document parses")
        << HostileReplies::largeDocument(1024 * 1024) << false << true << true << "";
    QTest::newRow("empty") << QByteArray() << true << false << true << "";
    QTest::newRow("plain text") << QByteArray("hello encoder") << true << false << true << "";
}

void TestActiInfo::parseReply()
{
    QFETCH(QByteArray, body);
    QFETCH(bool, validBefore);
    QFETCH(bool, result);
    QFETCH(bool, validAfter);
    QFETCH(QString, warning);

    info->valid = validBefore;
    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
    if (warning.contains(QLatin1String("XML parser")))
        QTest::ignoreMessage(QtWarningMsg, QString::fromUtf8(body).toUtf8().constData());

    QCOMPARE(info->parseReply(body), result);
    QCOMPARE(info->valid, validAfter);
    QCOMPARE(info->lastReply, body);
}

void TestActiInfo::readerRules_data()
{
    QTest::addColumn<QByteArray>("elements");
    QTest::addColumn<QString>("modelNumber");
    QTest::addColumn<QStringList>("resolutionCaps");
    QTest::addColumn<QString>("fpsCurrent");

    QTest::newRow("names in lower case")
        << QByteArray("<model_number v=\"m1\"/><Video_Resolution_Cap v=\"N720,N480\"/>"
                      "<video_fps_current v=\"30\"/>")
        << "m1" << QStringList{"N720", "N480"} << "30";
    QTest::newRow("first attribute by position, whatever its name")
        << QByteArray("<MODEL_NUMBER zz=\"first\" value=\"second\"/>"
                      "<VIDEO_FPS_CURRENT value=\"25\" a=\"5\"/>")
        << "first" << QStringList() << "25";
    QTest::newRow("doubled separators dropped")
        << QByteArray("<VIDEO_RESOLUTION_CAP v=\"a--b\"/><VIDEO_FPS_CURRENT v=\";;12,-\"/>") << ""
        << QStringList{"a", "b"} << "12";
    QTest::newRow("every separator kind") << QByteArray("<VIDEO_RESOLUTION_CAP v=\"A,B;;C-D\"/>")
                                          << "" << QStringList{"A", "B", "C", "D"} << "";
    QTest::newRow("pieces not trimmed") << QByteArray("<VIDEO_RESOLUTION_CAP v=\" a , b\"/>") << ""
                                        << QStringList{" a ", " b"} << "";
    QTest::newRow("later element overwrites")
        << QByteArray("<MODEL_NUMBER v=\"old\"/><VIDEO_RESOLUTION_CAP v=\"x,y,z\"/>"
                      "<VIDEO_FPS_CURRENT v=\"30\"/><MODEL_NUMBER v=\"new\"/>"
                      "<VIDEO_RESOLUTION_CAP v=\"w\"/><VIDEO_FPS_CURRENT v=\"15\"/>")
        << "new" << QStringList{"w"} << "15";
    QTest::newRow("no attribute gives empty")
        << QByteArray("<MODEL_NUMBER/><VIDEO_RESOLUTION_CAP/><VIDEO_FPS_CURRENT/>") << ""
        << QStringList() << "";
    QTest::newRow("only separators gives empty")
        << QByteArray("<MODEL_NUMBER v=\",;-\"/><VIDEO_RESOLUTION_CAP v=\";;\"/>"
                      "<VIDEO_FPS_CURRENT v=\",;-\"/>")
        << ",;-" << QStringList() << "";
    QTest::newRow("mode prefixes removed")
        << QByteArray("<VIDEO_FPS_CURRENT v=\"mode2,15;mode3,7\"/>") << "" << QStringList() << "15";
    QTest::newRow("mode prefixes in any case")
        << QByteArray("<VIDEO_FPS_CURRENT v=\"MoDe1,25\"/>") << "" << QStringList() << "25";
    QTest::newRow("text and nesting ignored")
        << QByteArray("<A><B><MODEL_NUMBER v=\"deep\">text</MODEL_NUMBER></B></A>") << "deep"
        << QStringList() << "";
    QTest::newRow("namespace prefix ignored")
        << QByteArray("<n:MODEL_NUMBER xmlns:n=\"urn:acti\" v=\"ns\"/>") << "ns" << QStringList()
        << "";
    QTest::newRow("unknown elements ignored")
        << QByteArray("<MODEL v=\"x\"/><MODEL_NUMBERS v=\"y\"/>") << "" << QStringList() << "";
}

void TestActiInfo::readerRules()
{
    QFETCH(QByteArray, elements);
    QFETCH(QString, modelNumber);
    QFETCH(QStringList, resolutionCaps);
    QFETCH(QString, fpsCurrent);

    QVERIFY(info->parseReply("<?xml version=\"1.0\"?><SYSTEM_INFO>" + elements + "</SYSTEM_INFO>"));
    QVERIFY(info->valid);
    QCOMPARE(info->modelNumber, modelNumber);
    QCOMPARE(info->videoResolutionCaps, resolutionCaps);
    QCOMPARE(info->videoFpsCurrent, fpsCurrent);
}

static const QByteArray fullSystemInfo
    = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<SYSTEM_INFO>\n"
      " <MODEL_NUMBER value=\"TDE-3300\"/>\n"
      " <UNIT_TYPE value=\"ENCODER\"/>\n"
      " <DI value=\"2\"/>\n"
      " <DO value=\"1\"/>\n"
      " <SERIAL_PORT value=\"RS485\"/>\n"
      " <PLATFORM value=\"TDP-330\"/>\n"
      " <CHANNEL value=\"1\"/>\n"
      " <VIDEO_RESOLUTION_CAP value=\"N720x480,N352x240;N176x120\"/>\n"
      " <VIDEO_FPS_CAP value=\"30,15,5\"/>\n"
      " <VIDEO_BITRATE_CAP value=\"3M;2M-1M\"/>\n"
      " <ENCODER_CAP value=\"MPEG4,MJPEG\"/>\n"
      " <VIDEO_RESOLUTION_CURRENT value=\"N720x480,N352x240\"/>\n"
      " <VIDEO_FPS_CURRENT value=\"MODE1,30;MODE2,15\"/>\n"
      " <VIDEO_BITRATE_CURRENT value=\"2M;1M\"/>\n"
      " <ENCODER_CURRENT value=\"MPEG4-MJPEG\"/>\n"
      " <STREAMING_METHOD_CURRENT value=\"TCP-UDP,RTP\"/>\n"
      " <PROTOCOL value=\"TCP;UDP\"/>\n"
      " <STREAMING_MODE value=\"DUAL-STREAM\"/>\n"
      " <STREAMING_MODE_CAP value=\"SINGLE,DUAL\"/>\n"
      "</SYSTEM_INFO>\n";

void TestActiInfo::readerFillsEveryField()
{
    QVERIFY(info->parseReply(fullSystemInfo));
    QVERIFY(info->valid);
    QCOMPARE(info->modelNumber, QStringLiteral("TDE-3300"));
    QCOMPARE(info->unitType, QStringLiteral("ENCODER"));
    QCOMPARE(info->digitalInputs, QStringLiteral("2"));
    QCOMPARE(info->digitalOutputs, QStringLiteral("1"));
    QCOMPARE(info->encoderSerialPort, QStringLiteral("RS485"));
    QCOMPARE(info->platform, QStringLiteral("TDP-330"));
    QCOMPARE(info->channel, QStringLiteral("1"));
    QCOMPARE(info->videoResolutionCaps, (QStringList{"N720x480", "N352x240", "N176x120"}));
    QCOMPARE(info->videoFpsCaps, (QStringList{"30", "15", "5"}));
    QCOMPARE(info->videoBitrateCaps, (QStringList{"3M", "2M", "1M"}));
    QCOMPARE(info->encoderCaps, (QStringList{"MPEG4", "MJPEG"}));
    QCOMPARE(info->videoResolutionCurrent, QStringLiteral("N720x480"));
    QCOMPARE(info->videoFpsCurrent, QStringLiteral("30"));
    QCOMPARE(info->videoBitrateCurrent, QStringLiteral("2M"));
    QCOMPARE(info->encoderCurrent, QStringLiteral("MPEG4"));
    QCOMPARE(info->streamingMethodCurrent, QStringLiteral("TCP-UDP,RTP"));
    QCOMPARE(info->protocol, QStringLiteral("TCP;UDP"));
    QCOMPARE(info->streamingMode, QStringLiteral("DUAL-STREAM"));
    QCOMPARE(info->streamingModeCaps, (QStringList{"SINGLE", "DUAL"}));
}

void TestActiInfo::clearAndResetLink()
{
    QVERIFY(info->parseReply(fullSystemInfo));
    info->clearSystemInfo();
    QVERIFY(!info->valid);
    for (const QString *text :
         {&info->modelNumber, &info->unitType, &info->digitalInputs, &info->digitalOutputs,
          &info->encoderSerialPort, &info->platform, &info->channel, &info->videoResolutionCurrent,
          &info->videoFpsCurrent, &info->videoBitrateCurrent, &info->encoderCurrent,
          &info->streamingMethodCurrent, &info->protocol, &info->streamingMode})
        QVERIFY(text->isEmpty());
    for (const QStringList *list :
         {&info->videoResolutionCaps, &info->videoFpsCaps, &info->videoBitrateCaps,
          &info->encoderCaps, &info->streamingModeCaps})
        QVERIFY(list->isEmpty());
    // Clearing the information keeps where the encoder is and how to log in.
    QCOMPARE(info->endpointText(), server->authority());
    QCOMPARE(info->user, QStringLiteral("Admin"));
    QCOMPARE(info->lastReply, fullSystemInfo);

    QVERIFY(info->parseReply(fullSystemInfo));
    info->resetLink();
    QVERIFY(info->address.isNull());
    QCOMPARE(info->port, quint16(80));
    QVERIFY(info->user.isEmpty());
    QVERIFY(info->password.isEmpty());
    QVERIFY(!info->valid);
    QVERIFY(info->modelNumber.isEmpty());
    QCOMPARE(info->lastReply, fullSystemInfo);
}

void TestActiInfo::readSystemInfo_data()
{
    QTest::addColumn<Response>("answer");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<int>("error");

    QTest::newRow("system information")
        << Response::xml(fullSystemInfo) << false << true << int(QNetworkReply::NoError);
    QTest::newRow("log-in refused") << Response::text("ERROR: authentication failed") << false
                                    << false << int(QNetworkReply::NoError);
    QTest::newRow("not XML") << Response::text("SYSTEM_INFO='TDE-3300'") << false << false
                             << int(QNetworkReply::NoError);
    QTest::newRow("HTTP 401") << Response::text("", 401) << false << false
                              << int(QNetworkReply::AuthenticationRequiredError);
    QTest::newRow("connection refused")
        << Response() << true << false << int(QNetworkReply::ConnectionRefusedError);
}

void TestActiInfo::readSystemInfo()
{
    QFETCH(Response, answer);
    QFETCH(bool, refuse);
    QFETCH(bool, valid);
    QFETCH(int, error);

    server->setHandler([&answer](const Request &) { return answer; });
    if (refuse)
        server->close();
    // What an earlier connect left behind must not survive a failed one.
    info->parseReply(fullSystemInfo);
    QVERIFY(info->valid);

    if (answer.body.contains("ERROR"))
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral("^ACTi error:")));
    QCOMPARE(encoderAccepted(*info, info->readSystemInfo()), valid);
    QCOMPARE(info->valid, valid);
    QCOMPARE(info->http.error, error);
    QCOMPARE(info->modelNumber, valid ? QStringLiteral("TDE-3300") : QString());
    QCOMPARE(info->videoFpsCaps.isEmpty(), !valid);
}

QTEST_GUILESS_MAIN(TestActiInfo)
#include "tst_actiinfo.moc"

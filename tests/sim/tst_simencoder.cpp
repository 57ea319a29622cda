// The simulated encoder on a real loopback port: what it answers to each
// request, what reaches the camera model behind it, and that the panel's own
// encoder link connects to it and drives the camera through it. The serial
// side is read from a pseudo-terminal.
#include "actiinfo.h"
#include "ptypair.h"
#include "simscript.h"
#include "simulator.h"
#include "testsettings.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QSerialPort>
#include <QXmlStreamReader>
#include <QtTest>

class tst_SimEncoder : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void requests_data();
    void requests();
    void systemInformation();
    void serialSettingReadBack();
    void mismatchedSerialSettingIsNoise();
    void stateEndpoint();
    void panelLinkDrivesTheCamera();
    void panelLinkRefusedWithWrongPassword();
    void serialDevice();
    void serialDeviceUnplugged();
    void pseudoTerminal();

private:
    struct Reply
    {
        int status = 0;
        QByteArray body;
    };
    Reply get(const QString &pathAndQuery);

    QNetworkAccessManager network;
    Simulator *sim = nullptr;
};

namespace {

const QString kLogin = QStringLiteral("USER=Admin&PWD=418275");
} // namespace

using SimScript::verifyState;

void tst_SimEncoder::initTestCase()
{
    TestSettings::useTemporaryStore();
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.sim.info=false"));
}

void tst_SimEncoder::init()
{
    sim = new Simulator(this);
    QVERIFY(sim->listen(QHostAddress(QHostAddress::LocalHost), 0));
}

void tst_SimEncoder::cleanup()
{
    delete sim;
    sim = nullptr;
}

tst_SimEncoder::Reply tst_SimEncoder::get(const QString &pathAndQuery)
{
    const QUrl url(QStringLiteral("http://") + sim->encoderAuthority() + pathAndQuery,
                   QUrl::TolerantMode);
    QNetworkReply *reply = network.get(QNetworkRequest(url));
    QSignalSpy done(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        done.wait(5000);
    Reply out;
    out.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    out.body = reply->readAll();
    reply->deleteLater();
    return out;
}

// One request each: the body the encoder answers (always with status 200)
// and what the camera behind it made of it.
void tst_SimEncoder::requests_data()
{
    QTest::addColumn<QString>("request");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("state"); // key=value pairs afterwards

    const QString encoder = QStringLiteral("/cgi-bin/ENCODER?") + kLogin;
    const QString untouched = QStringLiteral("packets=0 zoomDrive=stop");

    QTest::newRow("serial setting echoed")
        << encoder + "&SERIAL_SETTING=8N1,9600" << QByteArray("OK: SERIAL_SETTING='8N1,9600'")
        << untouched;
    QTest::newRow("serial setting 7E2 at 19200")
        << encoder + "&SERIAL_SETTING=7E2,19200" << QByteArray("OK: SERIAL_SETTING='7E2,19200'")
        << untouched;
    QTest::newRow("one and a half stop bits")
        << encoder + "&SERIAL_SETTING=8N3,4800" << QByteArray("OK: SERIAL_SETTING='8N3,4800'")
        << untouched;
    QTest::newRow("serial setting with no such baud rate")
        << encoder + "&SERIAL_SETTING=8N1,9601" << QByteArray("ERROR: invalid parameters")
        << untouched;
    QTest::newRow("serial setting without baud rate")
        << encoder + "&SERIAL_SETTING=8N1" << QByteArray("ERROR: invalid parameters") << untouched;

    QTest::newRow("zoom tele reaches the camera")
        << encoder + "&SERIAL_HEX=8101040727FF" << QByteArray("OK: SERIAL_HEX='8101040727FF'")
        << "packets=1 zoomDrive=tele7";
    QTest::newRow("lamp up, lower-case terminator")
        << encoder + "&SERIAL_HEX=8201060100010301ff"
        << QByteArray("OK: SERIAL_HEX='8201060100010301ff'") << "packets=1 lampDrive=up1";
    QTest::newRow("two packets in one request")
        << encoder + "&SERIAL_HEX=8101043D02FF8101043E02FF"
        << QByteArray("OK: SERIAL_HEX='8101043D02FF8101043E02FF'") << "packets=2 wdr=on expComp=on";
    QTest::newRow("percent-encoded parameters")
        << "/cgi-bin/ENCODER?USER=Ad%6Din&PWD=%34%318275&SERIAL_HEX=%38101043D02FF"
        << QByteArray("OK: SERIAL_HEX='8101043D02FF'") << "wdr=on";
    QTest::newRow("a bad packet is still delivered")
        << encoder + "&SERIAL_HEX=81FF" << QByteArray("OK: SERIAL_HEX='81FF'") << "packets=1";

    QTest::newRow("odd-length hex") << encoder + "&SERIAL_HEX=8101040727F"
                                    << QByteArray("ERROR: invalid parameters") << untouched;
    QTest::newRow("not hex") << encoder + "&SERIAL_HEX=81010407ZZFF"
                             << QByteArray("ERROR: invalid parameters") << untouched;
    QTest::newRow("empty hex") << encoder + "&SERIAL_HEX="
                               << QByteArray("ERROR: invalid parameters") << untouched;
    QTest::newRow("hex with a blank") << encoder + "&SERIAL_HEX=81%2001040727FF"
                                      << QByteArray("ERROR: invalid parameters") << untouched;

    QTest::newRow("wrong password")
        << "/cgi-bin/ENCODER?USER=Admin&PWD=418276&SERIAL_HEX=8101040727FF"
        << QByteArray("ERROR: authentication failed") << untouched;
    QTest::newRow("wrong user") << "/cgi-bin/ENCODER?USER=admin&PWD=418275&SERIAL_HEX=8101040727FF"
                                << QByteArray("ERROR: authentication failed") << untouched;
    QTest::newRow("no password") << "/cgi-bin/ENCODER?USER=Admin&SERIAL_HEX=8101040727FF"
                                 << QByteArray("ERROR: authentication failed") << untouched;
    QTest::newRow("second pair wrong")
        << "/cgi-bin/system?" + kLogin + "&USER=Admin&PWD=x&SYSTEM_INFO_XML"
        << QByteArray("ERROR: authentication failed") << untouched;
    QTest::newRow("wrong password, system information")
        << "/cgi-bin/system?USER=Admin&PWD=1&SYSTEM_INFO_XML"
        << QByteArray("ERROR: authentication failed") << untouched;

    QTest::newRow("unknown CGI") << "/cgi-bin/PTZ?" + kLogin + "&SERIAL_HEX=8101040727FF"
                                 << QByteArray("ERROR: unknown CGI 'PTZ'") << untouched;
    QTest::newRow("unknown command")
        << encoder + "&VIDEO_BRIGHTNESS=5" << QByteArray("ERROR: unknown command VIDEO_BRIGHTNESS")
        << untouched;
    QTest::newRow("serial command on the system CGI")
        << "/cgi-bin/system?" + kLogin + "&SERIAL_HEX=8101040727FF"
        << QByteArray("ERROR: unknown command SERIAL_HEX") << untouched;
    QTest::newRow("no command") << encoder << QByteArray("ERROR: no command") << untouched;
}

void tst_SimEncoder::requests()
{
    QFETCH(QString, request);
    QFETCH(QByteArray, body);
    QFETCH(QString, state);

    const Reply reply = get(request);
    QCOMPARE(reply.status, 200);
    QCOMPARE(reply.body, body);
    verifyState(sim->state(), state);
}

// The request the panel sends at connect: an XML document, with no word the
// panel would take for an encoder error, whose named elements carry their
// values in their first attribute.
void tst_SimEncoder::systemInformation()
{
    const Reply reply = get("/cgi-bin/system?" + kLogin + "&" + kLogin + "&SYSTEM_INFO_XML");
    QCOMPARE(reply.status, 200);
    QVERIFY(reply.body.toLower().contains("xml"));
    QVERIFY(!reply.body.toLower().contains("error"));
    QVERIFY(!reply.body.contains("OK:"));

    QMap<QString, QString> firstAttribute;
    QXmlStreamReader xml(reply.body);
    while (!xml.atEnd()) {
        if (xml.readNext() == QXmlStreamReader::StartElement && !xml.attributes().isEmpty())
            firstAttribute.insert(xml.name().toString(),
                                  xml.attributes().first().value().toString());
    }
    QVERIFY2(!xml.hasError(), qPrintable(xml.errorString()));

    const QStringList names = {
        "MODEL_NUMBER",
        "UNIT_TYPE",
        "DI",
        "DO",
        "SERIAL_PORT",
        "PLATFORM",
        "CHANNEL",
        "VIDEO_RESOLUTION_CAP",
        "VIDEO_FPS_CAP",
        "VIDEO_BITRATE_CAP",
        "ENCODER_CAP",
        "VIDEO_RESOLUTION_CURRENT",
        "VIDEO_FPS_CURRENT",
        "VIDEO_BITRATE_CURRENT",
        "ENCODER_CURRENT",
        "STREAMING_METHOD_CURRENT",
        "PROTOCOL",
        "STREAMING_MODE",
        "STREAMING_MODE_CAP",
    };
    for (const QString &name : names)
        QVERIFY2(!firstAttribute.value(name).isEmpty(), qPrintable(name));
    QCOMPARE(sim->state().packets, 0);
}

void tst_SimEncoder::serialSettingReadBack()
{
    const QString encoder = QStringLiteral("/cgi-bin/ENCODER?") + kLogin;
    QCOMPARE(get(encoder + "&SERIAL_SETTING").body, QByteArray("SERIAL_SETTING='8N1,9600'"));
    QCOMPARE(get(encoder + "&SERIAL_SETTING=8e2,38400").body,
             QByteArray("OK: SERIAL_SETTING='8e2,38400'"));
    QCOMPARE(get(encoder + "&SERIAL_SETTING").body, QByteArray("SERIAL_SETTING='8E2,38400'"));
    QCOMPARE(get(encoder + "&SERIAL_SETTING=9N1,9600").body,
             QByteArray("ERROR: invalid parameters"));
    QCOMPARE(sim->encoder().serialSetting(), QStringLiteral("8E2,38400"));
}

// The camera listens at 9600 8N1: bytes the encoder sends at another setting
// do not reach it as packets, and do again once the setting is back.
void tst_SimEncoder::mismatchedSerialSettingIsNoise()
{
    const QString encoder = QStringLiteral("/cgi-bin/ENCODER?") + kLogin;
    QCOMPARE(get(encoder + "&SERIAL_SETTING=8N1,19200").body,
             QByteArray("OK: SERIAL_SETTING='8N1,19200'"));
    QCOMPARE(get(encoder + "&SERIAL_HEX=8101043D02FF").body,
             QByteArray("OK: SERIAL_HEX='8101043D02FF'"));
    verifyState(sim->state(), QStringLiteral("packets=0 wdr=off"));
    QVERIFY(sim->recentLog().last().contains(QStringLiteral("noise")));

    get(encoder + "&SERIAL_SETTING=8N1,9600");
    get(encoder + "&SERIAL_HEX=8101043D02FF");
    verifyState(sim->state(), QStringLiteral("packets=1 wdr=on"));
}

void tst_SimEncoder::stateEndpoint()
{
    get("/cgi-bin/ENCODER?" + kLogin + "&SERIAL_HEX=8101043803FF8101043501FF8201060100010301ff");
    const Reply reply = get(QStringLiteral("/sim/state"));
    QCOMPARE(reply.status, 200);
    const QJsonObject state = QJsonDocument::fromJson(reply.body).object();
    QCOMPARE(state.value("focusMode").toString(), QStringLiteral("manual"));
    QCOMPARE(state.value("wb").toString(), QStringLiteral("indoor"));
    QCOMPARE(state.value("lampDrive").toString(), QStringLiteral("up1"));
    QCOMPARE(state.value("packets").toInt(), 3);
    QCOMPARE(state.value("encoderSerial").toString(), QStringLiteral("8N1,9600"));
    for (const auto &pair : ViscaModel::stateValues(sim->state()))
        QVERIFY2(state.contains(pair.first), qPrintable(pair.first));

    QVERIFY(get(QStringLiteral("/sim/log")).body.contains("[81 01 04 38 03 FF] manual focus"));
    QCOMPARE(get(QStringLiteral("/favicon.ico")).status, 404);

    // However long it runs, it remembers only the latest requests.
    for (int i = 0; i < Simulator::kRequestHistory; ++i)
        get(QStringLiteral("/sim/state"));
    QCOMPARE(sim->requestsKept(), Simulator::kRequestHistory);
}

// The panel's own encoder link against the simulator: it connects, sets the
// serial line and its camera commands arrive, in order.
void tst_SimEncoder::panelLinkDrivesTheCamera()
{
    ACTIINFO link;
    QVERIFY(link.setEndpoint(sim->encoderAuthority()));
    link.user = QStringLiteral("Admin");
    link.password = QStringLiteral("418275");
    QVERIFY(link.readSystemInfo());
    QCOMPARE(link.modelNumber, QStringLiteral("SIM-2100"));
    QCOMPARE(link.videoFpsCurrent, QStringLiteral("30"));
    QVERIFY(link.streamingModeCaps.size() > 1);

    QVERIFY(link.cgiRequest("ENCODER", "SERIAL_SETTING=8N1,9600"));
    for (const char *text :
         {"8101040725FF", "8101040700FF", "8101043F0103FF", "8201060100010301ff"})
        QVERIFY2(link.cgiRequest("ENCODER", QStringLiteral("SERIAL_HEX=") + text), text);
    verifyState(sim->state(), QStringLiteral("packets=4 zoomDrive=stop memory=3 lampDrive=up1"));
    const QString log = sim->recentLog().join(QLatin1Char('\n'));
    const int tele = log.indexOf(QStringLiteral("] zoom tele, speed 5 |"));
    QVERIFY(tele >= 0 && tele < log.indexOf(QStringLiteral("] zoom stop |")));
}

void tst_SimEncoder::panelLinkRefusedWithWrongPassword()
{
    sim->encoder().setCredentials(QStringLiteral("operator"), QStringLiteral("s3cret"));
    ACTIINFO link;
    QVERIFY(link.setEndpoint(sim->encoderAuthority()));
    link.user = QStringLiteral("Admin");
    link.password = QStringLiteral("418275");
    QVERIFY(!link.readSystemInfo());
    QVERIFY(!link.cgiRequest("ENCODER", "SERIAL_HEX=8101043D02FF"));

    link.user = QStringLiteral("operator");
    link.password = QStringLiteral("s3cret");
    QVERIFY(link.readSystemInfo());
    QVERIFY(link.cgiRequest("ENCODER", "SERIAL_HEX=8101043D02FF"));
    verifyState(sim->state(), QStringLiteral("packets=1 wdr=on"));
}

// --serial: the simulator reads one side of a pseudo-terminal pair, the test
// writes the panel's bytes into the other, in pieces.
void tst_SimEncoder::serialDevice()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QString error;
    QVERIFY2(sim->serial().openDevice(pty.slavePath(), &error), qPrintable(error));

    QSignalSpy packets(sim, &Simulator::packetDecoded);
    QVERIFY(pty.write(QByteArray::fromHex("81010407")));
    QVERIFY(pty.write(QByteArray::fromHex("27FF8101043E02FF8101040E02")));
    QVERIFY(pty.write(QByteArray::fromHex("FF")));
    QTRY_COMPARE(packets.count(), 3);
    verifyState(sim->state(), QStringLiteral("zoomDrive=tele7 expComp=on expLevel=8"));
}

// The far side goes away with a packet half sent: the simulator reports it
// and stops reading.
void tst_SimEncoder::serialDeviceUnplugged()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    QString error;
    QVERIFY2(sim->serial().openDevice(pty.slavePath(), &error), qPrintable(error));

    QSignalSpy packets(sim, &Simulator::packetDecoded);
    QVERIFY(pty.write(QByteArray::fromHex("8101043D02FF810104")));
    QTRY_COMPARE(packets.count(), 1);
    pty.closeMaster();
    QTRY_COMPARE(packets.count(), 2);
    QVERIFY(packets.last().first().value<ViscaModel::Packet>().kind
            == ViscaModel::Packet::Kind::Truncated);
    QTRY_VERIFY(!sim->serial().isOpen());
    QVERIFY(sim->recentLog().join('\n').contains(QStringLiteral("closed")));
}

// --pty: the simulator makes the pair; the panel's side opens the printed
// path as an ordinary serial port.
void tst_SimEncoder::pseudoTerminal()
{
    QString error;
    QVERIFY2(sim->serial().openPty(&error), qPrintable(error));
    QVERIFY(sim->serial().path().startsWith(QStringLiteral("/dev/")));

    QSignalSpy packets(sim, &Simulator::packetDecoded);
    QSerialPort port(sim->serial().path());
    QVERIFY2(port.open(QIODevice::ReadWrite), qPrintable(port.errorString()));
    QVERIFY(port.setBaudRate(9600));
    QCOMPARE(port.write(QByteArray::fromHex("8101043F0102FF8101043D02FF8101043F0202FF")),
             qint64(20));
    QVERIFY(port.waitForBytesWritten(1000));
    QTRY_COMPARE(packets.count(), 3);
    verifyState(sim->state(), QStringLiteral("memory=2 wdr=off"));

    // The panel closes its port and opens it again: the line stays up.
    port.close();
    QVERIFY(port.open(QIODevice::ReadWrite));
    port.write(QByteArray::fromHex("8101043D02FF"));
    QVERIFY(port.waitForBytesWritten(1000));
    QTRY_COMPARE(packets.count(), 4);
    QVERIFY(sim->serial().isOpen());
}

QTEST_MAIN(tst_SimEncoder)
#include "tst_simencoder.moc"

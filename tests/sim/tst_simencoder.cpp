// The simulated encoder on a real loopback port: what it answers to each
// request, what reaches the camera model behind it, and that the panel's own
// encoder link connects to it and drives the camera through it. The serial
// side is read from a pseudo-terminal; the cameras answer alike on it and on
// their UDP and TCP ports.
#include "actiinfo.h"
#include "encoderanswer.h"
#include "ptypair.h"
#include "simscript.h"
#include "simulator.h"
#include "testsettings.h"

#include <QNetworkAccessManager>
#include <QNetworkDatagram>
#include <QNetworkReply>
#include <QSerialPort>
#include <QTcpSocket>
#include <QUdpSocket>
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
    void routesAnswerAlike_data();
    void routesAnswerAlike();
    void completionWhenTheHeadArrives();
    void networkCamerasOnConsecutivePorts();

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
    QCOMPARE(QJsonDocument::fromJson(get(QStringLiteral("/sim/state?camera=1")).body)
                 .object()
                 .value("wb"),
             QJsonValue(QStringLiteral("indoor")));
    QCOMPARE(get(QStringLiteral("/sim/state?camera=2")).status, 404); // one camera here
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
    QVERIFY(encoderAccepted(link, link.readSystemInfo()));
    QCOMPARE(link.modelNumber, QStringLiteral("SIM-2100"));
    QCOMPARE(link.videoFpsCurrent, QStringLiteral("30"));
    QVERIFY(link.streamingModeCaps.size() > 1);

    QVERIFY(encoderAccepted(link, link.cgiRequest("ENCODER", "SERIAL_SETTING=8N1,9600")));
    for (const char *text :
         {"8101040725FF", "8101040700FF", "8101043F0103FF", "8201060100010301ff"})
        QVERIFY2(
            encoderAccepted(link, link.cgiRequest("ENCODER", QStringLiteral("SERIAL_HEX=") + text)),
            text);
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
    QVERIFY(!encoderAccepted(link, link.readSystemInfo()));
    QVERIFY(!encoderAccepted(link, link.cgiRequest("ENCODER", "SERIAL_HEX=8101043D02FF")));

    link.user = QStringLiteral("operator");
    link.password = QStringLiteral("s3cret");
    QVERIFY(encoderAccepted(link, link.readSystemInfo()));
    QVERIFY(encoderAccepted(link, link.cgiRequest("ENCODER", "SERIAL_HEX=8101043D02FF")));
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

namespace {

const int kWaitMs = 5000;

// A controller on each of the simulator's routes: sends one packet, collects
// what comes back.
class Controller
{
public:
    explicit Controller(Simulator *sim)
        : sim(sim)
    {
    }

    bool attach(int k = 1)
    {
        QString error;
        if (!pty.isValid() || !sim->serial().openDevice(pty.slavePath(), &error))
            return false;
        udp.bind(QHostAddress(QHostAddress::LocalHost), 0);
        tcp.connectToHost(QHostAddress::LocalHost, sim->network(k).tcpPort());
        udpPort = sim->network(k).udpPort();
        return tcp.waitForConnected(5000);
    }

    // The answers to `packet` on a route, split at FF, once `count` arrived.
    QList<QByteArray> udpAnswers(const QByteArray &packet, int count, quint32 sequence = 1)
    {
        udp.writeDatagram(ViscaIp::message(ViscaIp::payloadTypeFor(packet), sequence, packet),
                          QHostAddress(QHostAddress::LocalHost), udpPort);
        return udpLater(count, sequence);
    }
    QList<QByteArray> tcpAnswers(const QByteArray &packet, int count)
    {
        tcp.write(packet);
        return split(&tcp, count);
    }
    QList<QByteArray> serialAnswers(const QByteArray &packet, int count)
    {
        pty.write(packet);
        QByteArray stream;
        (void)QTest::qWaitFor([&] { return (stream += pty.drain()).count(char(0xFF)) >= count; },
                              kWaitMs);
        QList<QByteArray> answers;
        for (QByteArray one = ViscaIp::takePacket(&stream); !one.isEmpty();
             one = ViscaIp::takePacket(&stream))
            answers << one;
        return answers;
    }
    // More answers on TCP, after the ones already read.
    QList<QByteArray> tcpLater(int count) { return split(&tcp, count); }
    QList<QByteArray> udpLater(int count, quint32 sequence)
    {
        QList<QByteArray> answers;
        (void)QTest::qWaitFor([&] { return collectUdp(&answers, sequence) >= count; }, kWaitMs);
        return answers;
    }

private:
    int collectUdp(QList<QByteArray> *answers, quint32 sequence)
    {
        while (udp.hasPendingDatagrams()) {
            ViscaIp::Message read;
            if (ViscaIp::parseMessage(udp.receiveDatagram().data(), &read)
                && read.sequence == sequence)
                *answers << read.payload;
        }
        return answers->size();
    }
    QList<QByteArray> split(QTcpSocket *socket, int count)
    {
        QList<QByteArray> answers;
        (void)QTest::qWaitFor(
            [&] {
                stream += socket->readAll();
                for (QByteArray one = ViscaIp::takePacket(&stream); !one.isEmpty();
                     one = ViscaIp::takePacket(&stream))
                    answers << one;
                return answers.size() >= count;
            },
            kWaitMs);
        return answers;
    }

    Simulator *sim;
    PtyPair pty;
    QUdpSocket udp;
    quint16 udpPort = 0;
    QTcpSocket tcp;
    QByteArray stream;
};

QString hexList(const QList<QByteArray> &packets)
{
    QStringList out;
    for (const QByteArray &packet : packets)
        out << ViscaModel::hexBytes(packet);
    return out.join(QStringLiteral(", "));
}

} // namespace

// The same packet to camera 1 on UDP, on TCP and on the serial line: the
// same answers, byte for byte.
void tst_SimEncoder::routesAnswerAlike_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("answers");
    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };
    QTest::newRow("version inquiry") << hex("81090002FF") << "90 50 7A 21 0D 15 01 03 02 FF";
    QTest::newRow("zoom position inquiry") << hex("81090447FF") << "90 50 00 00 00 00 FF";
    QTest::newRow("focus mode inquiry") << hex("81090438FF") << "90 50 02 FF";
    QTest::newRow("unknown inquiry") << hex("81090455FF") << "90 60 02 FF";
    QTest::newRow("zoom stop") << hex("8101040700FF") << "90 41 FF, 90 51 FF";
    QTest::newRow("zoom speed 8") << hex("8101040728FF") << "90 60 02 FF";
    QTest::newRow("command cancel, nothing running") << hex("8121FF") << "90 61 05 FF";
}

void tst_SimEncoder::routesAnswerAlike()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, answers);
    QString error;
    QVERIFY2(sim->listenNetwork(ViscaIp::Protocol::Udp, QHostAddress(QHostAddress::LocalHost), 0,
                                &error),
             qPrintable(error));
    QVERIFY(sim->listenNetwork(ViscaIp::Protocol::Tcp, QHostAddress(QHostAddress::LocalHost), 0,
                               &error));
    Controller controller(sim);
    QVERIFY(controller.attach());
    const int count = answers.count(QLatin1Char(',')) + 1;
    QCOMPARE(hexList(controller.udpAnswers(packet, count)), answers);
    QCOMPARE(hexList(controller.tcpAnswers(packet, count)), answers);
    QCOMPARE(hexList(controller.serialAnswers(packet, count)), answers);
}

// A recall is acknowledged at once and completed when the head arrives,
// to whoever sent it: on UDP with the sequence number of its message.
void tst_SimEncoder::completionWhenTheHeadArrives()
{
    QString error;
    QVERIFY(sim->listenNetwork(ViscaIp::Protocol::Udp, QHostAddress(QHostAddress::LocalHost), 0,
                               &error));
    QVERIFY(sim->listenNetwork(ViscaIp::Protocol::Tcp, QHostAddress(QHostAddress::LocalHost), 0,
                               &error));
    Controller controller(sim);
    QVERIFY(controller.attach());
    const QByteArray storeHome = QByteArray::fromHex("8101043F0100FF");
    const QByteArray panTo10 = QByteArray::fromHex("8101060218140000090000000000FF");
    const QByteArray recallHome = QByteArray::fromHex("8101043F0200FF");
    const QString ack = QStringLiteral("90 41 FF");
    const QString completed = QStringLiteral("90 51 FF");

    QCOMPARE(hexList(controller.udpAnswers(storeHome, 2, 1)), ack + ", " + completed);
    QCOMPARE(hexList(controller.udpAnswers(panTo10, 1, 2)), ack);
    QCOMPARE(hexList(controller.udpLater(1, 2)), completed);
    QCOMPARE(qRound(sim->state().pan), 10);
    QCOMPARE(hexList(controller.udpAnswers(recallHome, 1, 3)), ack);
    QCOMPARE(hexList(controller.udpLater(1, 3)), completed);
    QCOMPARE(qRound(sim->state().pan), 0);

    QCOMPARE(hexList(controller.tcpAnswers(panTo10, 1)), ack);
    QCOMPARE(hexList(controller.tcpLater(1)), completed);
    QCOMPARE(hexList(controller.tcpAnswers(recallHome, 1)), ack);
    QCOMPARE(hexList(controller.tcpLater(1)), completed);
    QCOMPARE(qRound(sim->state().pan), 0);
}

// Network cameras 1..3 on consecutive ports: camera 2 is a camera of its own.
void tst_SimEncoder::networkCamerasOnConsecutivePorts()
{
    ViscaModel::Config config;
    config.networkCameras = 3;
    Simulator three(config);
    QString error;
    for (const auto protocol : {ViscaIp::Protocol::Udp, ViscaIp::Protocol::Tcp})
        QVERIFY2(three.listenNetwork(protocol, QHostAddress(QHostAddress::LocalHost), 0, &error),
                 qPrintable(error));
    for (int k = 2; k <= 3; ++k) {
        QCOMPARE(three.network(k).udpPort(), quint16(three.network(1).udpPort() + k - 1));
        QCOMPARE(three.network(k).tcpPort(), quint16(three.network(1).tcpPort() + k - 1));
    }
    Controller controller(&three);
    QVERIFY(controller.attach(2));
    QCOMPARE(hexList(controller.tcpAnswers(QByteArray::fromHex("8101040727FF"), 2)),
             QStringLiteral("90 41 FF, 90 51 FF"));
    QCOMPARE(hexList(controller.udpAnswers(QByteArray::fromHex("81090002FF"), 1)),
             QStringLiteral("90 50 7A 21 0D 15 01 03 02 FF"));
    verifyState(three.state(2), QStringLiteral("zoomDrive=tele7"));
    verifyState(three.state(1), QStringLiteral("zoomDrive=stop"));
    QCOMPARE(three.cameras(), 3);
}

QTEST_MAIN(tst_SimEncoder)
#include "tst_simencoder.moc"

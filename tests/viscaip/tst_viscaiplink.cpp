// The network camera link on real loopback sockets: the exact datagrams a
// camera receives, the flow rules (one packet in flight, merged drives,
// retries, resends) and the answers in words, against a scripted camera
// socket and against the simulator's camera.
#include "endpoint.h"
#include "packetsplitter.h"
#include "simulator.h"
#include "stallwatch.h"
#include "testsettings.h"
#include "viscaiplink.h"
#include "viscaudpport.h"

#include <QNetworkDatagram>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

using namespace ViscaIp;

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

// A camera the test scripts: records every datagram and answers with what
// the test says, at once or when asked.
class ScriptedCamera : public QObject
{
public:
    ScriptedCamera()
    {
        socket.bind(QHostAddress(QHostAddress::LocalHost), 0);
        connect(&socket, &QUdpSocket::readyRead, this, [this] {
            while (socket.hasPendingDatagrams()) {
                const QNetworkDatagram datagram = socket.receiveDatagram();
                peer = datagram.senderAddress();
                peerPort = quint16(datagram.senderPort());
                received << datagram.data();
                Message read;
                parseMessage(datagram.data(), &read);
                if (read.type == Control) {
                    reply(ControlReply, read.sequence, resetPayload());
                } else if (read.payload == versionInquiry()) {
                    reply(Reply, read.sequence, hex("9050AAAA0B0C0102 02FF"));
                } else if (autoAnswer) {
                    const QList<QByteArray> answers = scripted.isEmpty()
                        ? QList<QByteArray>{hex("9041FF"), hex("9051FF")}
                        : scripted.takeFirst();
                    for (const QByteArray &answer : answers)
                        reply(Reply, read.sequence, answer);
                }
            }
        });
    }

    // Connects the link to this camera, the reset and inquiry answered.
    bool attach(ViscaIpLink &link)
    {
        QSignalSpy connected(&link, &ViscaIpLink::connected);
        link.connectTo(QHostAddress::LocalHost, socket.localPort(), Protocol::Udp);
        return connected.wait();
    }

    void reply(quint16 type, quint32 sequence, const QByteArray &payload)
    {
        socket.writeDatagram(message(type, sequence, payload), peer,
                             answerPort != 0 ? answerPort : peerPort);
    }

    // The VISCA payloads received after the connect flow, resends dropped.
    QList<QByteArray> payloads() const
    {
        QList<QByteArray> out;
        quint32 last = 0;
        for (int i = 2; i < received.size(); ++i) {
            Message read;
            parseMessage(received.at(i), &read);
            if (i > 2 && read.sequence == last)
                continue;
            last = read.sequence;
            out << read.payload;
        }
        return out;
    }

    QUdpSocket socket;
    QHostAddress peer;
    quint16 peerPort = 0;
    QList<QByteArray> received;
    QList<QList<QByteArray>> scripted; // answers for the next commands
    bool autoAnswer = true;
    quint16 answerPort = 0; // answers go to this port, whatever port sent
};

// A camera on a TCP stream that answers the version inquiry, then does what
// the test says: floods the link, stops reading, or reads and records.
class StreamCamera : public QObject
{
public:
    StreamCamera()
    {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            peer = server.nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [this] { take(); });
            connect(peer, &QTcpSocket::bytesWritten, this, [this] { pour(); });
        });
    }

    bool attach(ViscaIpLink &link)
    {
        QSignalSpy connected(&link, &ViscaIpLink::connected);
        link.connectTo(QHostAddress::LocalHost, server.serverPort(), Protocol::Tcp);
        return connected.wait();
    }

    // Sends `total` bytes of `pattern` over and over, as fast as the
    // connection takes them, never more than 256 KiB queued.
    void flood(const QByteArray &pattern, qint64 total)
    {
        block = pattern.repeated(qMax(1, 16384 / int(pattern.size())));
        left = total;
        pour();
    }
    bool flooded() const { return left <= 0 && peer && peer->bytesToWrite() == 0; }

    // Stops taking bytes off the connection: they stay in the kernel.
    void stopReading()
    {
        peer->setReadBufferSize(1);
        reading = false;
    }
    void readAgain()
    {
        reading = true;
        peer->setReadBufferSize(0);
        take();
    }

    QTcpServer server;
    QTcpSocket *peer = nullptr;
    QByteArray received; // what it read after the connect flow
    bool reading = true;

private:
    void take()
    {
        if (!reading)
            return;
        const QByteArray bytes = peer->readAll();
        if (bytes == versionInquiry())
            peer->write(hex("9050AAAA0B0C010202FF"));
        else
            received += bytes;
    }
    void pour()
    {
        while (left > 0 && peer && peer->bytesToWrite() < 256 * 1024) {
            const QByteArray piece = block.left(int(qMin<qint64>(block.size(), left)));
            peer->write(piece);
            left -= piece.size();
        }
    }

    QByteArray block;
    qint64 left = 0;
};

QList<QByteArray> packetsOf(const QByteArray &bytes)
{
    QList<QByteArray> packets;
    PacketSplitter splitter;
    splitter.feed(bytes, [&packets](const QByteArray &packet) { packets << packet; });
    return packets;
}

} // namespace

class tst_ViscaIpLink : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answers_data();
    void answers();
    void endpoints_data();
    void endpoints();
    void udpScenarioDatagrams();
    void zoomDragMergedStopDelivered();
    void closeSendsTheWaitingStops();
    void cameraErrors_data();
    void cameraErrors();
    void silentCameraResendsThenFails();
    void connectWithoutCamera();
    void droppedDatagramsResentNotRepeated();
    void tcpStreamAgainstSimulator();
    void splitStream_data();
    void splitStream();
    void tcpFloodStaysBounded_data();
    void tcpFloodStaysBounded();
    void cameraThatStopsReading();
    void udpAnswersFromAnotherSender();
    void sharedPortKeepsCamerasApart_data();
    void sharedPortKeepsCamerasApart();
};

void tst_ViscaIpLink::initTestCase()
{
    TestSettings::useTemporaryStore();
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.sim.info=false"));
}

void tst_ViscaIpLink::answers_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("socket");
    QTest::addColumn<QString>("words");
    QTest::newRow("ack") << hex("9041FF") << int(Answer::Ack) << 1 << QString();
    QTest::newRow("completion") << hex("9052FF") << int(Answer::Completion) << 2 << QString();
    QTest::newRow("length") << hex("906001FF") << int(Answer::Error) << 0 << "message length error";
    QTest::newRow("syntax") << hex("906002FF") << int(Answer::Error) << 0 << "syntax error";
    QTest::newRow("full") << hex("906003FF") << int(Answer::Error) << 0 << "command buffer full";
    QTest::newRow("cancelled") << hex("906104FF") << int(Answer::Error) << 1 << "command cancelled";
    QTest::newRow("no socket") << hex("906205FF") << int(Answer::Error) << 2 << "no socket";
    QTest::newRow("not executable")
        << hex("906141FF") << int(Answer::Error) << 1 << "command not executable";
    QTest::newRow("unknown code") << hex("90607EFF") << int(Answer::Error) << 0 << "error 7E";
    QTest::newRow("no terminator") << hex("9041") << int(Answer::Other) << 0 << QString();
    QTest::newRow("a command") << hex("8101040700FF") << int(Answer::Other) << 0 << QString();
}

void tst_ViscaIpLink::answers()
{
    QFETCH(QByteArray, packet);
    QFETCH(int, kind);
    QFETCH(int, socket);
    QFETCH(QString, words);
    const Answer answer = readAnswer(packet);
    QCOMPARE(int(answer.kind), kind);
    if (kind == Answer::Other)
        return;
    QCOMPARE(answer.socket, socket);
    if (kind == Answer::Error)
        QCOMPARE(errorWords(answer.error), words);
}

void tst_ViscaIpLink::endpoints_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("protocol");
    QTest::addColumn<QString>("address");
    QTest::addColumn<int>("port");
    QTest::addColumn<QString>("shown");
    QTest::newRow("udp, no port") << "192.168.0.90" << int(Protocol::Udp) << "192.168.0.90" << 52381
                                  << "192.168.0.90";
    QTest::newRow("udp, its port")
        << "192.168.0.90:52381" << int(Protocol::Udp) << "192.168.0.90" << 52381 << "192.168.0.90";
    QTest::newRow("tcp, no port") << "192.168.0.90" << int(Protocol::Tcp) << "192.168.0.90" << 5678
                                  << "192.168.0.90";
    QTest::newRow("v6 with port") << "[fe80::1]:5678" << int(Protocol::Udp) << "fe80::1" << 5678
                                  << "[fe80::1]:5678";
}

void tst_ViscaIpLink::endpoints()
{
    QFETCH(QString, text);
    QFETCH(int, protocol);
    QFETCH(QString, address);
    QFETCH(int, port);
    QFETCH(QString, shown);
    QHostAddress parsed;
    quint16 parsedPort = 0;
    const quint16 implicit = defaultPort(Protocol(protocol));
    QVERIFY(Endpoint::parse(text, &parsed, &parsedPort, implicit));
    QCOMPARE(parsed, QHostAddress(address));
    QCOMPARE(int(parsedPort), port);
    QCOMPARE(Endpoint::text(parsed, parsedPort, implicit), shown);
}

// Connect, then zoom tele at speed 3, stop, recall memory 2, focus auto:
// the header, the sequence numbers and the payloads on the wire.
void tst_ViscaIpLink::udpScenarioDatagrams()
{
    ScriptedCamera camera;
    ViscaIpLink link;
    QSignalSpy connected(&link, &ViscaIpLink::connected);
    QSignalSpy answered(&link, &ViscaIpLink::packetAnswered);
    link.connectTo(QHostAddress::LocalHost, camera.socket.localPort(), Protocol::Udp);
    QVERIFY(connected.wait());
    QCOMPARE(connected.at(0).at(0).toString(), QStringLiteral("0B0C"));

    for (const char *packet : {"8101040723FF", "8101040700FF", "8101043F0202FF", "8101043802FF"})
        QVERIFY(link.send(hex(packet)));
    QTRY_COMPARE(answered.size(), 4);

    const QList<QByteArray> expected{
        hex("020000010000000001"),
        hex("01100005000000018109000 2FF"),
        hex("0100000600000002 8101040723FF"),
        hex("0100000600000003 8101040700FF"),
        hex("0100000700000004 8101043F0202FF"),
        hex("0100000600000005 8101043802FF"),
    };
    QList<QByteArray> distinct;
    for (const QByteArray &datagram : qAsConst(camera.received)) {
        if (distinct.isEmpty() || distinct.constLast() != datagram)
            distinct << datagram; // a resend on a slow machine repeats the same bytes
    }
    QCOMPARE(distinct, expected);
}

// The camera holds its acknowledgement while a drag sends drive after
// drive, a memory recall among them, then the release: the stop goes next
// and takes every waiting speed with it; the recall follows.
void tst_ViscaIpLink::zoomDragMergedStopDelivered()
{
    ScriptedCamera camera;
    ViscaIpLink link;
    QVERIFY(camera.attach(link));
    camera.autoAnswer = false;
    for (const char *packet : {"8101040721FF", "8101040722FF", "8101040724FF", "8101043F0201FF",
                               "8101040725FF", "8101040727FF"})
        QVERIFY(link.send(hex(packet)));
    QCOMPARE(link.waiting(), 2); // the recall, and only the newest speed
    QVERIFY(link.send(hex("8101040700FF")));
    QCOMPARE(link.waiting(), 2); // the stop, then the recall
    QSignalSpy answered(&link, &ViscaIpLink::packetAnswered);
    for (int i = 0; i < 3; ++i) {
        QTRY_COMPARE(camera.payloads().size(), i + 1);
        Message last;
        parseMessage(camera.received.constLast(), &last);
        camera.reply(Reply, last.sequence, hex("9041FF"));
        QTRY_COMPARE(answered.size(), i + 1);
    }
    const QList<QByteArray> expected{hex("8101040721FF"), hex("8101040700FF"),
                                     hex("8101043F0201FF")};
    QCOMPARE(camera.payloads(), expected);
}

// The link goes while the camera still owes an answer: the stops waiting
// leave at once (a program that closes must not leave the camera moving);
// nothing else does.
void tst_ViscaIpLink::closeSendsTheWaitingStops()
{
    ScriptedCamera camera;
    ViscaIpLink link;
    QVERIFY(camera.attach(link));
    camera.autoAnswer = false;
    for (const char *packet : {"8101040727FF", "8101060118010203FF", "8101043F0201FF",
                               "8101040700FF", "8101060101010303FF"})
        QVERIFY(link.send(hex(packet)));
    QTRY_COMPARE(camera.payloads().size(), 1);
    link.close();
    const QList<QByteArray> expected{hex("8101040727FF"), hex("8101040700FF"),
                                     hex("8101060101010303FF")};
    QTRY_COMPARE(camera.payloads(), expected);
    QTest::qWait(50);
    QCOMPARE(camera.payloads(), expected);
}

void tst_ViscaIpLink::cameraErrors_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QList<QList<QByteArray>>>("script");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<int>("sent");
    using Answers = QList<QList<QByteArray>>;
    const QByteArray drive = hex("8101040723FF");
    const QList<QByteArray> full{hex("906003FF")};
    QTest::newRow("syntax error") << drive << Answers{{hex("906002FF")}}
                                  << QStringLiteral("camera: syntax error") << 1;
    QTest::newRow("buffer full once, then taken")
        << drive << Answers{full, {hex("9041FF")}} << QString() << 2;
    QTest::newRow("buffer full until it gives up")
        << drive << QVector<QList<QByteArray>>(ViscaIpLink::kBusyRetries + 1, full).toList()
        << QStringLiteral("camera: command buffer full") << ViscaIpLink::kBusyRetries + 1;
    QTest::newRow("a stop: buffer full until it is taken")
        << hex("8101040700FF")
        << (QVector<QList<QByteArray>>(ViscaIpLink::kBusyRetries + 3, full).toList()
            + Answers{{hex("9041FF")}})
        << QString() << ViscaIpLink::kBusyRetries + 4;
    QTest::newRow("not executable after the acknowledgement")
        << drive << Answers{{hex("9041FF"), hex("906141FF")}}
        << QStringLiteral("camera: command not executable") << 1;
}

void tst_ViscaIpLink::cameraErrors()
{
    QFETCH(QByteArray, packet);
    QFETCH(QList<QList<QByteArray>>, script);
    QFETCH(QString, failure);
    QFETCH(int, sent);
    ScriptedCamera camera;
    ViscaIpLink link;
    QVERIFY(camera.attach(link));
    camera.scripted = script;
    QSignalSpy failed(&link, &ViscaIpLink::packetFailed);
    QSignalSpy answered(&link, &ViscaIpLink::packetAnswered);
    QVERIFY(link.send(packet, QStringLiteral("zoom,3")));
    if (failure.isEmpty()) {
        QTRY_COMPARE(answered.size(), 1);
    } else {
        QTRY_COMPARE(failed.size(), 1);
        QCOMPARE(failed.at(0).at(1).toString(), QStringLiteral("zoom,3"));
        QCOMPARE(failed.at(0).at(2).toString(), failure);
    }
    QTRY_COMPARE(camera.payloads().size(), sent);
}

void tst_ViscaIpLink::silentCameraResendsThenFails()
{
    ScriptedCamera camera;
    ViscaIpLink link;
    QVERIFY(camera.attach(link));
    camera.autoAnswer = false;
    QSignalSpy failed(&link, &ViscaIpLink::packetFailed);
    QVERIFY(link.send(hex("8101040700FF")));
    QVERIFY(failed.wait(3000));
    QCOMPARE(failed.at(0).at(2).toString(), QStringLiteral("camera did not answer"));
    const QByteArray once = hex("0100000600000002 8101040700FF");
    QCOMPARE(camera.received.mid(2), QVector<QByteArray>(1 + ViscaIpLink::kResends, once).toList());
}

void tst_ViscaIpLink::connectWithoutCamera()
{
    QUdpSocket nobody; // bound, never answers
    nobody.bind(QHostAddress(QHostAddress::LocalHost), 0);
    ViscaIpLink link;
    QSignalSpy failed(&link, &ViscaIpLink::connectFailed);
    QElapsedTimer clock;
    clock.start();
    link.connectTo(QHostAddress::LocalHost, nobody.localPort(), Protocol::Udp);
    QVERIFY(failed.wait(3000));
    QCOMPARE(failed.at(0).at(0).toString(), QStringLiteral("no answer"));
    QVERIFY(clock.elapsed() >= ViscaIpLink::kConnectTimeoutMs - 50);
    QVERIFY(!link.send(hex("8101040700FF")));

    QTcpServer closed; // a port where nobody listens
    closed.listen(QHostAddress::LocalHost, 0);
    const quint16 port = closed.serverPort();
    closed.close();
    link.connectTo(QHostAddress::LocalHost, port, Protocol::Tcp);
    QVERIFY(failed.wait(3000));
    QCOMPARE(failed.at(1).at(0).toString(), QStringLiteral("could not connect"));
}

// Every third datagram is lost on the way: each command still arrives,
// and the camera carries out each one once.
void tst_ViscaIpLink::droppedDatagramsResentNotRepeated()
{
    Simulator sim;
    QVERIFY(sim.network().listenUdp(QHostAddress::LocalHost, 0));
    ViscaIpFront::Faults faults;
    faults.dropEvery = 3;
    sim.network().setFaults(faults);
    ViscaIpLink link;
    QSignalSpy connected(&link, &ViscaIpLink::connected);
    QSignalSpy answered(&link, &ViscaIpLink::packetAnswered);
    QSignalSpy decoded(&sim, &Simulator::packetDecoded);
    const QString authority = sim.network().udpAuthority();
    link.connectTo(QHostAddress::LocalHost, quint16(authority.section(':', 1).toUInt()),
                   Protocol::Udp);
    QVERIFY(connected.wait());
    QCOMPARE(connected.at(0).at(0).toString(), QStringLiteral("0D15"));
    for (const char *packet : {"8101040E00FF", "8101040E02FF", "8101040E02FF", "8101040E02FF",
                               "8101040E03FF", "8101043E02FF"})
        QVERIFY(link.send(hex(packet)));
    QTRY_COMPARE(answered.size(), 6);
    QCOMPARE(decoded.size(), 6);
    QCOMPARE(sim.state().picture.expLevel, ViscaModel::kExpLevelNeutral + 2);
    QVERIFY(sim.recentLog().join('\n').contains(QStringLiteral("answered, not carried out")));
}

// TCP: plain packets on the stream; a packet for the lamp never leaves.
void tst_ViscaIpLink::tcpStreamAgainstSimulator()
{
    Simulator sim;
    QVERIFY(sim.network().listenTcp(QHostAddress::LocalHost, 0));
    ViscaIpLink link;
    QSignalSpy connected(&link, &ViscaIpLink::connected);
    QSignalSpy answered(&link, &ViscaIpLink::packetAnswered);
    QSignalSpy failed(&link, &ViscaIpLink::packetFailed);
    QSignalSpy decoded(&sim, &Simulator::packetDecoded);
    const QString authority = sim.network().tcpAuthority();
    link.connectTo(QHostAddress::LocalHost, quint16(authority.section(':', 1).toUInt()),
                   Protocol::Tcp);
    QVERIFY(connected.wait());
    QVERIFY(!link.send(hex("8201060101010301FF"))); // lamp up
    QVERIFY(link.send(hex("8101040727FF")));
    QVERIFY(link.send(hex("81010499FF"))); // no such command
    QVERIFY(link.send(hex("8101040700FF")));
    QTRY_COMPARE(answered.size() + failed.size(), 3);
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.at(0).at(2).toString(), QStringLiteral("camera: syntax error"));
    QCOMPARE(decoded.size(), 3);
    QCOMPARE(decoded.at(0).at(0).value<ViscaModel::Packet>().bytes, hex("8101040727FF"));
    QCOMPARE(sim.state().lamp, 0.0);
    QCOMPARE(sim.state().zoomDrive.direction, 0);
}

void tst_ViscaIpLink::splitStream_data()
{
    QTest::addColumn<QList<QByteArray>>("reads");
    QTest::addColumn<QList<QByteArray>>("packets");
    QTest::addColumn<int>("dropped");
    using Bytes = QList<QByteArray>;
    const QByteArray sixteen = hex("90500102030405060708090A0B0C0DFF");
    QTest::newRow("answers in one read")
        << Bytes{hex("9041FF9051FF")} << Bytes{hex("9041FF"), hex("9051FF")} << 0;
    QTest::newRow("a packet across reads") << Bytes{hex("90"), hex("41"), hex("FF90"), hex("51FF")}
                                           << Bytes{hex("9041FF"), hex("9051FF")} << 0;
    QTest::newRow("the longest packet")
        << Bytes{sixteen.left(7), sixteen.mid(7)} << Bytes{sixteen} << 0;
    QTest::newRow("no FF within 16 bytes: dropped up to the next FF")
        << Bytes{QByteArray(20, '\x11') + hex("FF9041FF")} << Bytes{hex("9041FF")} << 21;
    QTest::newRow("junk across reads")
        << Bytes{QByteArray(10, '\0'), QByteArray(10, '\0'), hex("22FF9051FF")}
        << Bytes{hex("9051FF")} << 22;
}

void tst_ViscaIpLink::splitStream()
{
    QFETCH(QList<QByteArray>, reads);
    QFETCH(QList<QByteArray>, packets);
    QFETCH(int, dropped);
    PacketSplitter splitter;
    QList<QByteArray> taken;
    int droppedNow = 0;
    for (const QByteArray &read : reads)
        droppedNow += splitter.feed(read, [&taken](const QByteArray &p) { taken << p; });
    QCOMPARE(taken, packets);
    QCOMPARE(droppedNow, dropped);
    QCOMPARE(splitter.dropped(), qint64(dropped));
    QCOMPARE(splitter.pending(), 0);
}

void tst_ViscaIpLink::tcpFloodStaysBounded_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<qint64>("total"); // MiB
    QTest::addColumn<bool>("unreadable");
    QTest::newRow("bytes that never end in FF") << QByteArray(1, '\0') << qint64(64) << true;
    QTest::newRow("completions") << hex("9051FF") << qint64(3) << false;
    QTest::newRow("junk between answers")
        << (QByteArray(20, '\x11') + hex("FF9041FF")) << qint64(8) << true;
}

// A camera that floods the link: the window's loop keeps turning, memory
// stays put, and the link still carries the next command.
void tst_ViscaIpLink::tcpFloodStaysBounded()
{
    QFETCH(QByteArray, pattern);
    QFETCH(qint64, total);
    QFETCH(bool, unreadable);
    total <<= 20;
    StreamCamera camera;
    ViscaIpLink link;
    QVERIFY(camera.attach(link));
    QSignalSpy reported(&link, &ViscaIpLink::unreadable);
    QElapsedTimer clock;
    clock.start();
    const qint64 before = StallWatch::residentBytes();
    StallWatch stalls;
    camera.flood(pattern, total);
    QTRY_VERIFY_WITH_TIMEOUT(camera.flooded(), 60000);
    // Everything read: a last answer after the flood comes back.
    QVERIFY(link.send(hex("81090400FF")));
    QTRY_VERIFY_WITH_TIMEOUT(camera.received.endsWith(hex("81090400FF")), 60000);
    camera.peer->write(hex("9050 02FF"));
    QTRY_VERIFY_WITH_TIMEOUT(link.idle(), 60000);
    if (unreadable)
        QVERIFY(link.unreadableBytes() >= total / 2);
    QVERIFY2(stalls.longestMs() < 500, qPrintable(QString::number(stalls.longestMs())));
    QVERIFY(StallWatch::residentBytes() - before < StallWatch::floodSlackBytes());
    // Said once, and again at most once a second while it goes on.
    if (unreadable)
        QVERIFY(reported.size() >= 1 && reported.size() <= 1 + clock.elapsed() / 1000);
    else
        QCOMPARE(reported.size(), 0);

    QVERIFY(link.isConnected());
    QVERIFY(link.send(hex("8101040700FF")));
    QTRY_VERIFY(camera.received.endsWith(hex("8101040700FF")));
}

// A TCP camera that stops reading while the operator drives and lets go
// for over two seconds: when it reads again it finds the one packet it left
// unanswered and stops, never a drive sent after a stop.
void tst_ViscaIpLink::cameraThatStopsReading()
{
    StreamCamera camera;
    ViscaIpLink link;
    QVERIFY(camera.attach(link));
    camera.stopReading();
    QSignalSpy failed(&link, &ViscaIpLink::packetFailed);
    for (int i = 0; i < 50; ++i) {
        QVERIFY(link.send(hex(QByteArray("810104072") + QByteArray::number(i % 7) + "FF")));
        QTest::qWait(25);
        if (i % 5 == 4)
            QVERIFY(link.send(hex("8101040700FF")));
        QTest::qWait(25);
    }
    QTest::qWait(200);
    camera.readAgain();
    QTest::qWait(200);

    const QList<QByteArray> packets = packetsOf(camera.received);
    QVERIFY2(packets.size() >= 2 && packets.size() <= 6,
             qPrintable(QString::number(packets.size())));
    QCOMPARE(packets.first().left(4), hex("81010407"));
    for (const QByteArray &packet : packets.mid(1))
        QCOMPARE(packet, hex("8101040700FF"));
    QVERIFY(!failed.isEmpty());
    QCOMPARE(failed.at(0).at(0).toByteArray(), packets.first());
    QCOMPARE(failed.at(0).at(2).toString(), QStringLiteral("camera did not answer"));
}

// A connected camera that answers from another port: its datagrams are
// named once, and the link, which gets no answers, sends nothing for long
// after the operator let go.
void tst_ViscaIpLink::udpAnswersFromAnotherSender()
{
    QUdpSocket in;
    QUdpSocket out;
    QVERIFY(in.bind(QHostAddress(QHostAddress::LocalHost), 0));
    QVERIFY(out.bind(QHostAddress(QHostAddress::LocalHost), 0));
    bool answerFromIn = true;
    QList<QByteArray> commands;
    connect(&in, &QUdpSocket::readyRead, this, [&] {
        while (in.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = in.receiveDatagram();
            Message read;
            parseMessage(datagram.data(), &read);
            QByteArray answer = hex("9041FF");
            if (read.type == Control)
                answer = resetPayload();
            else if (read.payload == versionInquiry())
                answer = hex("9050AAAA0B0C010202FF");
            else
                commands << read.payload;
            (answerFromIn ? in : out)
                .writeDatagram(
                    message(read.type == Control ? ControlReply : Reply, read.sequence, answer),
                    datagram.senderAddress(), quint16(datagram.senderPort()));
        }
    });

    ViscaIpLink link;
    QSignalSpy connected(&link, &ViscaIpLink::connected);
    QSignalSpy named(&link, &ViscaIpLink::strangerAnswered);
    link.connectTo(QHostAddress::LocalHost, in.localPort(), Protocol::Udp);
    QVERIFY(connected.wait());
    answerFromIn = false;
    for (int i = 0; i < 50; ++i)
        QVERIFY(link.send(hex(QByteArray("810104072") + QByteArray::number(i % 7) + "FF")));
    QVERIFY(link.send(hex("8101040700FF")));
    QTest::qWait(3000);
    // The first drive and the stop, each with its resends; nothing after.
    QVERIFY2(commands.size() <= 2 * (1 + ViscaIpLink::kResends),
             qPrintable(QString::number(commands.size())));
    QCOMPARE(commands.constLast(), hex("8101040700FF"));
    QVERIFY(link.idle());
    QCOMPARE(named.size(), 1);
    QCOMPARE(named.at(0).at(0).toString(), QStringLiteral("127.0.0.1:%1").arg(out.localPort()));
}

void tst_ViscaIpLink::sharedPortKeepsCamerasApart_data()
{
    QTest::addColumn<bool>("fixedLocalPort");
    QTest::addColumn<bool>("sameCameraTwice");
    QTest::newRow("two cameras, each answering the port that sent") << false << false;
    QTest::newRow("two cameras answering to the fixed local port") << true << false;
    QTest::newRow("one camera listed twice") << false << true;
}

// Two links through one local port: each hears its own camera's answers
// (told apart by sender), also from cameras that answer to the local port
// whatever port sent; a second link to a camera already driven is refused.
void tst_ViscaIpLink::sharedPortKeepsCamerasApart()
{
    QFETCH(bool, fixedLocalPort);
    QFETCH(bool, sameCameraTwice);

    quint16 local = 0;
    if (fixedLocalPort) {
        // A port free a moment ago stands for 52381, which tests must not take.
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress(QHostAddress::LocalHost), 0));
        local = probe.localPort();
    }
    ViscaUdpPort port(local);
    ScriptedCamera first;
    ScriptedCamera second;
    first.answerPort = second.answerPort = local;
    ViscaIpLink one;
    ViscaIpLink two;
    one.useSharedPort(&port);
    two.useSharedPort(&port);
    QVERIFY(first.attach(one));
    if (local != 0)
        QCOMPARE(port.boundPort(), local);
    QCOMPARE(first.peerPort, port.boundPort());

    if (sameCameraTwice) {
        QSignalSpy failed(&two, &ViscaIpLink::connectFailed);
        two.connectTo(QHostAddress::LocalHost, first.socket.localPort(), Protocol::Udp);
        QVERIFY(failed.wait());
        QCOMPARE(failed.at(0).at(0).toString(),
                 QStringLiteral("another camera of the list drives 127.0.0.1:%1")
                     .arg(first.socket.localPort()));
        QCOMPARE(port.attached(), 1);
        return;
    }
    QVERIFY(second.attach(two));
    QCOMPARE(port.attached(), 2);
    // One camera holds its answers: the other's link goes on alone.
    second.autoAnswer = false;
    QSignalSpy oneAnswered(&one, &ViscaIpLink::packetAnswered);
    QSignalSpy twoAnswered(&two, &ViscaIpLink::packetAnswered);
    QSignalSpy twoNamed(&two, &ViscaIpLink::strangerAnswered);
    QVERIFY(one.send(hex("8101040723FF")));
    QVERIFY(two.send(hex("8101040733FF")));
    QVERIFY(one.send(hex("8101040700FF")));
    QTRY_COMPARE(oneAnswered.size(), 2);
    QCOMPARE(twoAnswered.size(), 0);
    QCOMPARE(first.payloads(), (QList<QByteArray>{hex("8101040723FF"), hex("8101040700FF")}));
    QCOMPARE(second.payloads().value(0), hex("8101040733FF"));
    Message last;
    parseMessage(second.received.constLast(), &last);
    second.reply(Reply, last.sequence, hex("9041FF"));
    QTRY_COMPARE(twoAnswered.size(), 1);
    QCOMPARE(oneAnswered.size(), 2);
    QCOMPARE(twoNamed.size(), 0);

    one.close();
    two.close();
    QCOMPARE(port.attached(), 0);
    QCOMPARE(port.boundPort(), quint16(0));
}

QTEST_GUILESS_MAIN(tst_ViscaIpLink)
#include "tst_viscaiplink.moc"

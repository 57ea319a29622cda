// Remote control on real loopback sockets, as Companion, TouchOSC or a web
// page meet it: OSC sent with liblo over UDP and over TCP (SLIP), and a
// QWebSocket client, against a target that records what the cameras would
// be asked.
#include "logcapture.h"
#include "recordingtarget.h"
#include "remoteclient.h"
#include "remotecontrol.h"
#include "remotesettings.h"
#include "testsettings.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QUdpSocket>
#include <QWebSocket>
#include <QtTest>

#include <lo/lo.h>

#include <cmath>
#include <memory>

namespace {

RemoteSettings onLoopback(int leaseMs = RemoteSettings::defaultLeaseMs, const QString &token = {})
{
    RemoteSettings settings;
    settings.enabled = true;
    settings.oscPort = 0;
    settings.webSocketPort = 0;
    settings.leaseMs = leaseMs;
    settings.token = token;
    return settings;
}

QByteArray slipFrame(const char *path, const QVariantList &args)
{
    lo_message message = oscMessage(args);
    size_t size = 0;
    void *data = lo_message_serialise(message, path, nullptr, &size);
    QByteArray frame = QByteArray(static_cast<const char *>(data), int(size));
    free(data);
    lo_message_free(message);
    frame.replace('\xDB', QByteArray("\xDB\xDD")).replace('\xC0', QByteArray("\xDB\xDC"));
    return '\xC0' + frame + '\xC0';
}

QStringList calls(std::initializer_list<const char *> list)
{
    QStringList out;
    for (const char *call : list)
        out << QLatin1String(call);
    return out;
}

} // namespace

class tst_RemoteServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void moveEnds_data();
    void moveEnds();
    void leaseRunsOutUnlessRenewed();
    void stopStopsEverything();
    void webSocketDoor_data();
    void webSocketDoor();
    void malformedInputIsDropped();
    void floodIsDroppedAndTold();
    void stateIsPushed();
    void offUntilSwitchedOn();
};

void tst_RemoteServer::initTestCase()
{
    TestSettings::useTemporaryStore();
}

void tst_RemoteServer::moveEnds_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("leased");
    QTest::addColumn<bool>("released"); // else the client disconnects
    QTest::newRow("OSC over UDP, released") << "osc-udp" << true << true;
    QTest::newRow("OSC over TCP, released") << "osc-tcp" << true << true;
    QTest::newRow("WebSocket, released") << "websocket" << false << true;
    QTest::newRow("OSC over TCP, disconnected mid-move") << "osc-tcp" << true << false;
    QTest::newRow("WebSocket, disconnected mid-move") << "websocket" << false << false;
}

void tst_RemoteServer::moveEnds()
{
    QFETCH(QString, kind);
    QFETCH(bool, leased);
    QFETCH(bool, released);

    RecordingTarget target;
    RemoteControl remote(&target);
    QVERIFY(remote.start(onLoopback()));
    RemoteClient client(kind, remote);
    QVERIFY(client.ready());

    client.send("/tarndeck/camera/2/zoom", {3});
    QTRY_COMPARE(target.calls, calls({"zoom 2 3"}));
    QVERIFY2(target.clients.first().startsWith(kind + " 127.0.0.1:"),
             qPrintable(target.clients.first()));
    const RemoteLeases::Move *move = remote.dispatcher().leases().find(2, RemoteAxis::Zoom);
    QVERIFY(move);
    QCOMPARE(move->deadline >= 0, leased);

    if (released)
        client.send("/tarndeck/camera/2/zoom", {0});
    else
        client.close();
    QTRY_COMPARE(target.calls, calls({"zoom 2 3", "zoom 2 0"}));
    QCOMPARE(target.clients.at(1), target.clients.at(0));
    QCOMPARE(remote.dispatcher().leases().count(), 0);
    QCOMPARE(remote.counts().taken, quint64(released ? 2 : 1));
}

void tst_RemoteServer::leaseRunsOutUnlessRenewed()
{
    const int leaseMs = 1000;
    LogCapture log("tarndeck.remote");
    RecordingTarget target;
    RemoteControl remote(&target);
    QVERIFY(remote.start(onLoopback(leaseMs)));
    RemoteClient client(QStringLiteral("osc-udp"), remote);

    // A TouchOSC pad held still repeats its value: each repeat renews the
    // lease, and the move runs on past one lease.
    QElapsedTimer sinceLast;
    for (int repeat = 0; repeat < 8; ++repeat) {
        client.send("/tarndeck/selected/pantilt", {0.5, 0.0});
        sinceLast.start();
        QTest::qWait(leaseMs / 5);
    }
    QCOMPARE(target.calls, calls({"pantilt 1 0.5 0"}));

    // Then the release is lost: the lease ends the move.
    QTRY_COMPARE_WITH_TIMEOUT(target.calls, calls({"pantilt 1 0.5 0", "pantilt 1 0 0"}), 10000);
    QVERIFY2(sinceLast.elapsed() >= leaseMs - 20, qPrintable(QString::number(sinceLast.elapsed())));
    QVERIFY(log.lines(QtInfoMsg).join('\n').contains("its lease ran out"));
    QVERIFY(!remote.dispatcher().leases().timerRunning());

    // The release that comes late sends nothing more.
    client.send("/tarndeck/selected/pantilt", {0, 0});
    QTRY_COMPARE(remote.counts().taken, quint64(9));
    QCOMPARE(target.calls.size(), 2);
}

void tst_RemoteServer::stopStopsEverything()
{
    RecordingTarget target;
    RemoteControl remote(&target);
    QVERIFY(remote.start(onLoopback()));
    RemoteClient udp(QStringLiteral("osc-udp"), remote);
    RemoteClient web(QStringLiteral("websocket"), remote);
    RemoteClient tcp(QStringLiteral("osc-tcp"), remote);
    QVERIFY(web.ready());

    udp.send("/tarndeck/camera/1/zoom", {5});
    web.send("/tarndeck/camera/2/pantilt", {-1, 0.5});
    QTRY_COMPARE(target.calls.size(), 2);
    tcp.send("/tarndeck/stop");
    QTRY_COMPARE(target.calls.size(), 3);
    QCOMPARE(target.calls.last(), QStringLiteral("stop-all"));
    QCOMPARE(remote.dispatcher().leases().count(), 0);

    // Their releases and the WebSocket's close find nothing left to stop.
    udp.send("/tarndeck/camera/1/zoom", {0});
    web.send("/tarndeck/camera/2/pantilt", {0, 0});
    QTRY_COMPARE(remote.counts().taken, quint64(5));
    web.close();
    udp.send("/tarndeck/camera/1/zoom", {0});
    QTRY_COMPARE(remote.counts().taken, quint64(6));
    QCOMPARE(target.calls.size(), 3);
}

void tst_RemoteServer::webSocketDoor_data()
{
    QTest::addColumn<QString>("token");  // the server's
    QTest::addColumn<QString>("given");  // in the URL
    QTest::addColumn<QString>("origin"); // a browser's page
    QTest::addColumn<QString>("refusal");

    const QString token = QStringLiteral("sesame-open");
    const QString page = QStringLiteral("http://page.example");
    QTest::newRow("no token given") << token << QString() << QString() << "did not give the token";
    QTest::newRow("a wrong token")
        << token << "sesame-opem" << QString() << "did not give the token";
    QTest::newRow("the token") << token << token << QString() << QString();
    QTest::newRow("a web page with the token") << token << token << page << QString();
    QTest::newRow("a web page, no token set") << QString() << QString() << page << "a web page";
    QTest::newRow("a program, no token set") << QString() << QString() << QString() << QString();
}

void tst_RemoteServer::webSocketDoor()
{
    QFETCH(QString, token);
    QFETCH(QString, given);
    QFETCH(QString, origin);
    QFETCH(QString, refusal);

    LogCapture log("tarndeck.remote");
    RecordingTarget target;
    RemoteControl remote(&target);
    QVERIFY(remote.start(onLoopback(RemoteSettings::defaultLeaseMs, token)));
    QCOMPARE(remote.status().contains("token required"), !token.isEmpty());
    RemoteClient client(QStringLiteral("websocket"), remote, given, origin);
    if (refusal.isEmpty()) {
        QVERIFY(client.ready());
        QTRY_VERIFY(!client.received.isEmpty());
        client.send("/tarndeck/stop");
        QTRY_COMPARE(target.calls, calls({"stop-all"}));
        return;
    }
    QTRY_COMPARE(client.webSocket.closeCode(), QWebSocketProtocol::CloseCodePolicyViolated);
    client.send("/tarndeck/stop");
    QTest::qWait(50);
    QVERIFY(client.received.isEmpty());
    QVERIFY(target.calls.isEmpty());
    QCOMPARE(remote.counts().strangers, quint64(1));
    QVERIFY(log.lines(QtWarningMsg).join('\n').contains(refusal));
}

void tst_RemoteServer::malformedInputIsDropped()
{
    LogCapture log("tarndeck.remote");
    RecordingTarget target;
    RemoteControl remote(&target);
    QVERIFY(remote.start(onLoopback()));
    const QHostAddress loopback(QHostAddress::LocalHost);

    // UDP: bytes that are no OSC, a datagram too large, an argument type not taken.
    QUdpSocket udp;
    udp.writeDatagram(QByteArray("hello"), loopback, remote.oscPort());
    udp.writeDatagram(QByteArray(5000, '/'), loopback, remote.oscPort());
    lo_message blob = lo_message_new();
    lo_blob b = lo_blob_new(3, "abc");
    lo_message_add_blob(blob, b);
    size_t size = 0;
    void *data = lo_message_serialise(blob, "/tarndeck/stop", nullptr, &size);
    udp.writeDatagram(static_cast<const char *>(data), qint64(size), loopback, remote.oscPort());
    free(data);
    lo_message_free(blob);
    lo_blob_free(b);

    // TCP: a bad escape, a packet too long, then a good one on the same line.
    QTcpSocket tcp;
    tcp.connectToHost(loopback, remote.oscPort());
    QVERIFY(tcp.waitForConnected(5000));
    tcp.write(QByteArray::fromHex("C02FDB41C0") + QByteArray(5000, 'x') + '\xC0'
              + slipFrame("/tarndeck/camera/1/zoom", {2}));

    // WebSocket: no JSON, a binary message, then one too large closes it.
    RemoteClient web(QStringLiteral("websocket"), remote);
    QVERIFY(web.ready());
    web.webSocket.sendTextMessage(QStringLiteral("{\"address\": "));
    web.webSocket.sendBinaryMessage(QByteArray("\x01\x02"));

    QTRY_COMPARE(remote.counts().malformed, quint64(7));
    QTRY_COMPARE(target.calls, calls({"zoom 1 2"}));
    QTRY_VERIFY(web.received.size() >= 2);
    QVERIFY(web.received.last().contains("refused"));
    web.webSocket.sendTextMessage(QString(5000, QLatin1Char(' ')));
    QTRY_COMPARE(web.webSocket.state(), QAbstractSocket::UnconnectedState);

    const QString warnings = log.lines(QtWarningMsg).join('\n');
    for (const char *reason : {"not a multiple of 4", "a datagram of more than 4096 bytes",
                               "type 'b'", "SLIP escape", "longer than 4096", "not JSON", "binary"})
        QVERIFY2(warnings.contains(QLatin1String(reason)), reason);
    QCOMPARE(remote.counts().taken, quint64(1));
    // The same line goes on working.
    tcp.write(slipFrame("/tarndeck/camera/1/zoom", {0}));
    QTRY_COMPARE(target.calls, calls({"zoom 1 2", "zoom 1 0"}));
}

void tst_RemoteServer::floodIsDroppedAndTold()
{
    LogCapture log("tarndeck.remote");
    RecordingTarget target;
    RemoteControl remote(&target);
    QVERIFY(remote.start(onLoopback()));

    // 2000 pan-tilt speeds at once, each its own, in turn.
    const int sent = 2000;
    QByteArray flood;
    for (int i = 1; i <= sent; ++i)
        flood += slipFrame("/tarndeck/camera/1/pantilt", {i / 2048.0, 0.0});
    QTcpSocket tcp;
    tcp.connectToHost(QHostAddress::LocalHost, remote.oscPort());
    QVERIFY(tcp.waitForConnected(5000));
    QElapsedTimer clock;
    clock.start();
    tcp.write(flood);
    QTRY_COMPARE_WITH_TIMEOUT(remote.counts().taken + remote.counts().flooded, quint64(sent),
                              20000);
    const double seconds = clock.elapsed() / 1000.0;

    // What the rate allows was taken, each once and in order; the rest dropped.
    const quint64 taken = remote.counts().taken;
    QVERIFY(remote.counts().flooded > 0);
    QVERIFY2(taken <= quint64(ClientLimiter::burst + ClientLimiter::rate * seconds + 1),
             qPrintable(QString::number(taken)));
    QCOMPARE(quint64(target.calls.size()), taken);
    long last = 0;
    for (const QString &call : qAsConst(target.calls)) {
        const long index = std::lround(call.section(QLatin1Char(' '), 2, 2).toDouble() * 2048);
        QVERIFY2(index > last, qPrintable(call));
        last = index;
    }
    const QStringList warnings = log.lines(QtWarningMsg);
    QVERIFY(warnings.join('\n').contains("sends more than 200 messages a second"));
    QVERIFY2(warnings.size() <= 10, qPrintable(QString::number(warnings.size())));

    // Another client is not held back by the flood.
    RemoteClient other(QStringLiteral("osc-udp"), remote);
    other.send("/tarndeck/camera/2/tally", {QStringLiteral("program")});
    QTRY_COMPARE(target.calls.last(), QStringLiteral("tally 2 program"));
}

void tst_RemoteServer::stateIsPushed()
{
    RecordingTarget target;
    RemoteControl remote(&target);
    QVERIFY(remote.start(onLoopback()));
    RemoteClient web(QStringLiteral("websocket"), remote);
    QVERIFY(web.ready());
    QTRY_COMPARE(web.received, QStringList{R"({"state":{"cameras":3,"selected":1}})"});

    // Two selections in one bundle: the clients are told once, the outcome.
    lo_address osc = lo_address_new("127.0.0.1", QByteArray::number(remote.oscPort()).constData());
    lo_bundle bundle = lo_bundle_new(LO_TT_IMMEDIATE);
    lo_bundle_add_message(bundle, "/tarndeck/select", oscMessage({2}));
    lo_bundle_add_message(bundle, "/tarndeck/select", oscMessage({3}));
    QVERIFY(lo_send_bundle(osc, bundle) >= 0);
    lo_bundle_free_recursive(bundle);
    lo_address_free(osc);
    QTRY_COMPARE(target.calls, calls({"select 2", "select 3"}));
    QTRY_COMPARE(web.received.size(), 2);
    QCOMPARE(web.received.last(), QStringLiteral(R"({"state":{"cameras":3,"selected":3}})"));
    QTest::qWait(50);
    QCOMPARE(web.received.size(), 2);
}

void tst_RemoteServer::offUntilSwitchedOn()
{
    RecordingTarget target;
    RemoteControl remote(&target);
    RemoteSettings settings = onLoopback();
    settings.enabled = false;
    QVERIFY(!remote.start(settings));
    QCOMPARE(remote.oscPort(), quint16(0));
    QCOMPARE(remote.webSocketPort(), quint16(0));
    QVERIFY(remote.status().contains("off"));

    // Switched on, then off with a move running: the move stops.
    QVERIFY(remote.start(onLoopback()));
    RemoteClient client(QStringLiteral("osc-udp"), remote);
    client.send("/tarndeck/camera/1/zoom", {-3});
    QTRY_COMPARE(target.calls, calls({"zoom 1 -3"}));
    remote.stop();
    QCOMPARE(target.calls, calls({"zoom 1 -3", "zoom 1 0"}));
    QCOMPARE(remote.oscPort(), quint16(0));
}

QTEST_GUILESS_MAIN(tst_RemoteServer)
#include "tst_remoteserver.moc"

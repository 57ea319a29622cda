// Remote control of the real window, as the store switches it on: liblo's
// OSC (UDP and TCP) and a QWebSocket client on loopback drive camera 1 on a
// pseudo-terminal (its packets read off the line) and camera 2, a network
// camera at the simulator. Press and release, the lease, a client gone
// mid-move, /tarndeck/stop, a client without the token, the tally on the
// strip, the panels and the simulator's lamp, and the operator's own
// controls winning over a remote move.
#include "camerastrip.h"
#include "packettext.h"
#include "remoteclient.h"
#include "simulator.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QPushButton>
#include <QSettings>
#include <QTcpServer>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

namespace {

// A port free for UDP and TCP alike (OSC), and another for TCP.
QPair<quint16, quint16> freePorts()
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QUdpSocket udp;
        QTcpServer tcp;
        QTcpServer web;
        if (udp.bind(QHostAddress(QHostAddress::LocalHost), 0)
            && tcp.listen(QHostAddress::LocalHost, udp.localPort())
            && web.listen(QHostAddress::LocalHost, 0))
            return {udp.localPort(), web.serverPort()};
    }
    return {0, 0};
}

// Rates 1 ... 8 are the speeds 0 ... 7 of the packet.
const QString zoomTele4 = QStringLiteral("8101040723FF");
const QString zoomStop = QStringLiteral("8101040700FF");

} // namespace

class tst_RemoteWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void pressAndRelease_data();
    void pressAndRelease();
    void moveEndsWithoutRelease_data();
    void moveEndsWithoutRelease();
    void stopStopsEveryCamera();
    void tokenRefusesAClient();
    void tallyShows_data();
    void tallyShows();
    void operatorWins_data();
    void operatorWins();

private:
    // Camera 1 on the harness's pty, and with `networkCamera` camera 2 at
    // the simulator over UDP; remote control on, with these extra keys.
    void start(bool networkCamera, const QMap<QString, QVariant> &keys = {});
    // The packets on camera 1's line until `expectedHex` came (or 3 s),
    // and what follows within a moment.
    QString received(const QString &expectedHex, int waitMs = 3000);

    std::unique_ptr<WindowHarness> harness;
    std::unique_ptr<Simulator> sim;
};

void tst_RemoteWindow::initTestCase()
{
    TestSettings::useTemporaryStore();
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.sim.info=false"));
}

void tst_RemoteWindow::cleanup()
{
    harness.reset();
    sim.reset();
}

void tst_RemoteWindow::start(bool networkCamera, const QMap<QString, QVariant> &keys)
{
    auto line = std::make_unique<PtyPair>();
    QVERIFY(line->isValid());
    const auto ports = freePorts();
    QVERIFY(ports.first != 0);
    TestSettings::clear();
    {
        QSettings store;
        store.setValue(QStringLiteral("remoteControl"), true);
        store.setValue(QStringLiteral("remoteOscPort"), ports.first);
        store.setValue(QStringLiteral("remoteWebSocketPort"), ports.second);
        store.setValue(QStringLiteral("pantilt"), true);
        store.setValue(QStringLiteral("pantiltDrive"), true);
        for (auto it = keys.cbegin(); it != keys.cend(); ++it)
            store.setValue(it.key(), it.value());
        store.beginWriteArray(QStringLiteral("cameras"), networkCamera ? 2 : 1);
        store.setArrayIndex(0);
        store.setValue(QStringLiteral("name"), QStringLiteral("Stage"));
        store.setValue(QStringLiteral("route"), QStringLiteral("serial"));
        store.setValue(QStringLiteral("serialPort"), line->slavePath());
        store.setValue(QStringLiteral("lampAddress"), 0);
        store.setValue(QStringLiteral("connectAtStart"), true);
        if (networkCamera) {
            sim = std::make_unique<Simulator>();
            QVERIFY(sim->network().listenUdp(QHostAddress::LocalHost, 0));
            store.setArrayIndex(1);
            store.setValue(QStringLiteral("name"), QStringLiteral("Pulpit"));
            store.setValue(QStringLiteral("route"), QStringLiteral("udp"));
            store.setValue(QStringLiteral("address"), sim->network().udpAuthority());
            store.setValue(QStringLiteral("connectAtStart"), true);
        }
        store.endArray();
    }
    harness = std::make_unique<WindowHarness>(std::move(line));
    tarnDeck &window = harness->window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    QVERIFY(window.remote());
    QVERIFY2(window.remote()->oscPort() == ports.first, qPrintable(window.remote()->status()));
    CameraList &cameras = window.cameraList();
    QTRY_VERIFY(cameras.at(0)->carriesCommands());
    if (networkCamera)
        QTRY_VERIFY(cameras.at(1)->carriesCommands());
    QTest::qWait(50);
    harness->pty().drain();
}

QString tst_RemoteWindow::received(const QString &expectedHex, int waitMs)
{
    QByteArray got;
    const QString expected = PacketText::fromHex(expectedHex);
    (void)QTest::qWaitFor(
        [&] {
            got += harness->pty().drain();
            return !expected.isEmpty() && PacketText::fromBytes(got).contains(expected);
        },
        waitMs);
    QTest::qWait(50);
    got += harness->pty().drain();
    return PacketText::fromBytes(got);
}

void tst_RemoteWindow::pressAndRelease_data()
{
    QTest::addColumn<QString>("kind");
    QTest::newRow("osc-udp") << QStringLiteral("osc-udp");
    QTest::newRow("osc-tcp") << QStringLiteral("osc-tcp");
    QTest::newRow("websocket") << QStringLiteral("websocket");
}

// Press and release, as a Companion button sends them: the zoom, the
// selected camera's pan-tilt in speed steps (half of 24 right, a quarter
// of 20 down), the network camera's zoom at the simulator, a preset
// recalled with its memory number (preset 3 is memory 2).
void tst_RemoteWindow::pressAndRelease()
{
    QFETCH(QString, kind);
    start(true);
    tarnDeck &window = harness->window();
    RemoteClient client(kind, *window.remote());
    QVERIFY(client.ready());

    client.send("/tarndeck/camera/1/zoom", {4});
    QCOMPARE(received(zoomTele4), PacketText::fromHex(zoomTele4));
    client.send("/tarndeck/camera/1/zoom", {0});
    QCOMPARE(received(zoomStop), PacketText::fromHex(zoomStop));

    client.send("/tarndeck/selected/pantilt", {0.5, -0.25});
    QCOMPARE(received(QStringLiteral("810106010C050202FF")),
             PacketText::fromHex(QStringLiteral("810106010C050202FF")));
    client.send("/tarndeck/selected/pantilt", {0, 0});
    const QString stop = received(QStringLiteral("0303FF"));
    QVERIFY2(stop.startsWith(QStringLiteral("81010601")) && stop.endsWith(QStringLiteral("0303FF")),
             qPrintable(stop));

    client.send("/tarndeck/camera/2/zoom", {-3.4});
    QTRY_VERIFY(sim->state(1).zoomDrive.direction < 0);
    client.send("/tarndeck/camera/2/zoom", {0});
    QTRY_COMPARE(sim->state(1).zoomDrive.direction, 0);

    client.send("/tarndeck/camera/1/preset/recall", {3});
    QCOMPARE(received(QStringLiteral("8101043F0202FF")), PacketText::fromHex("8101043F0202FF"));
}

void tst_RemoteWindow::moveEndsWithoutRelease_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<bool>("disconnect");
    // The lease only where the connection does not end first.
    QTest::newRow("osc-udp: the lease runs out") << QStringLiteral("osc-udp") << false;
    QTest::newRow("osc-tcp: the connection closes") << QStringLiteral("osc-tcp") << true;
    QTest::newRow("websocket: the connection closes") << QStringLiteral("websocket") << true;
}

// A move whose release never comes: the lease (half a second here) or the
// client's connection closing stops it, once.
void tst_RemoteWindow::moveEndsWithoutRelease()
{
    QFETCH(QString, kind);
    QFETCH(bool, disconnect);
    start(false, {{QStringLiteral("remoteLease"), disconnect ? 30 : 0.5}});
    RemoteClient client(kind, *harness->window().remote());
    QVERIFY(client.ready());
    client.send("/tarndeck/selected/zoom", {4});
    QCOMPARE(received(zoomTele4), PacketText::fromHex(zoomTele4));
    if (disconnect)
        client.close();
    QCOMPARE(received(zoomStop, 5000), PacketText::fromHex(zoomStop));
    // A release after the end sends nothing more.
    if (!disconnect)
        client.send("/tarndeck/selected/zoom", {0});
    QCOMPARE(received(QString(), 300), QString());
}

// /tarndeck/stop: camera 1's remote zoom, the operator's focus held on the
// slider, and camera 2's remote pan stop at once.
void tst_RemoteWindow::stopStopsEveryCamera()
{
    start(true);
    tarnDeck &window = harness->window();
    RemoteClient client(QStringLiteral("osc-udp"), *window.remote());
    QVERIFY(client.ready());
    client.send("/tarndeck/camera/1/zoom", {4});
    QCOMPARE(received(zoomTele4), PacketText::fromHex(zoomTele4));
    harness->find<QSlider>(QStringLiteral("verticalSliderFocus"))->setValue(2);
    // Manual focus first, as always from the slider.
    QCOMPARE(received(QStringLiteral("8101040821FF")), PacketText::fromHex("8101043803FF8101040821FF"));
    client.send("/tarndeck/camera/2/pantilt", {-1.0, 0});
    QTRY_VERIFY(sim->state(1).panDrive.direction < 0);

    client.send("/tarndeck/stop");
    const QString stops = received(QStringLiteral("8101040800FF"));
    QVERIFY2(stops.contains(PacketText::fromHex(zoomStop))
                 && stops.contains(PacketText::fromHex("8101040800FF")),
             qPrintable(stops));
    QTRY_COMPARE(sim->state(1).panDrive.direction, 0);
    QCOMPARE(harness->find<QSlider>(QStringLiteral("verticalSliderFocus"))->value(), 0);
}

// Beyond what the library's own tests cover: the window's store sets the
// token, and a WebSocket client without it drives nothing.
void tst_RemoteWindow::tokenRefusesAClient()
{
    start(false, {{QStringLiteral("remoteToken"), QStringLiteral("s3cret-token")}});
    tarnDeck &window = harness->window();
    RemoteClient stranger(QStringLiteral("websocket"), *window.remote());
    stranger.ready();
    stranger.send("/tarndeck/camera/1/zoom", {4});
    QTRY_VERIFY(stranger.webSocket.state() == QAbstractSocket::UnconnectedState);
    QCOMPARE(received(QString(), 300), QString());

    RemoteClient given(QStringLiteral("websocket"), *window.remote(),
                       QStringLiteral("s3cret-token"));
    QVERIFY(given.ready());
    given.send("/tarndeck/camera/1/zoom", {4});
    QCOMPARE(received(zoomTele4), PacketText::fromHex(zoomTele4));
    given.send("/tarndeck/camera/1/zoom", {0});
    QCOMPARE(received(zoomStop), PacketText::fromHex(zoomStop));
}

void tst_RemoteWindow::tallyShows_data()
{
    QTest::addColumn<bool>("several");
    QTest::newRow("two cameras: the strip and the simulator's lamp") << true;
    QTest::newRow("one camera: the panels' frame and the lamp on the line") << false;
}

// Program lights the camera's tally lamp and frames it red, preview
// darkens the lamp and frames it green; WebSocket clients are told.
void tst_RemoteWindow::tallyShows()
{
    QFETCH(bool, several);
    start(several);
    tarnDeck &window = harness->window();
    RemoteClient client(QStringLiteral("websocket"), *window.remote());
    QVERIFY(client.ready());
    const char *program = several ? "/tarndeck/camera/2/tally" : "/tarndeck/camera/1/tally";

    client.send(program, {QStringLiteral("program")});
    if (several) {
        QTRY_VERIFY(sim->state(1).tally);
        auto *strip = harness->find<CameraStrip>(QStringLiteral("cameraStrip"));
        QTRY_VERIFY2(strip->describe().contains(QStringLiteral("2 Pulpit [ ] connected program")),
                     qPrintable(strip->describe()));
    } else {
        QCOMPARE(received(QStringLiteral("81017E010A0002FF")), PacketText::fromHex("81017E010A0002FF"));
        const QImage shot = window.grab().toImage();
        const QPoint corner = window.centralWidget()->geometry().topLeft() + QPoint(1, 1);
        const QColor seen = shot.pixelColor(corner * shot.devicePixelRatio());
        QVERIFY2(seen.red() > 180 && seen.green() < 80, qPrintable(seen.name()));
    }
    QTRY_VERIFY2(client.received.join(QString()).contains(QStringLiteral("\"tally\":\"program\"")),
                 qPrintable(client.received.join(QLatin1Char('\n'))));

    client.send(program, {QStringLiteral("preview")});
    if (several) {
        QTRY_VERIFY(!sim->state(1).tally);
        QTRY_VERIFY(harness->find<QPushButton>(QStringLiteral("cameraButton2"))
                        ->property("tally")
                        .toString()
                    == QLatin1String("preview"));
    } else {
        QCOMPARE(received(QStringLiteral("81017E010A0003FF")), PacketText::fromHex("81017E010A0003FF"));
        QTRY_COMPARE(harness->find<QWidget>(QStringLiteral("tallyFrame"))->property("tally").toString(),
                     QStringLiteral("preview"));
    }
}

void tst_RemoteWindow::operatorWins_data()
{
    QTest::addColumn<bool>("lockout");
    QTest::addColumn<bool>("standby");
    QTest::newRow("the operator's key takes the zoom") << false << false;
    QTest::newRow("a camera on program, locked") << true << false;
    QTest::newRow("a camera in standby") << false << true;
}

// The operator's zoom key during a remote zoom ends the remote move: its
// release sends nothing, and a remote zoom while the key is held is
// refused. A camera on program with the live lockout, or in standby,
// refuses remote moves and recalls, and its client is told why.
void tst_RemoteWindow::operatorWins()
{
    QFETCH(bool, lockout);
    QFETCH(bool, standby);
    start(false);
    tarnDeck &window = harness->window();
    RemoteClient client(QStringLiteral("websocket"), *window.remote());
    QVERIFY(client.ready());
    if (standby) {
        window.cameraList().at(0)->setPower(false);
        QCOMPARE(received(QStringLiteral("8101040003FF")), PacketText::fromHex("8101040003FF"));
        QTRY_VERIFY2(
            client.received.join(QString()).contains(QStringLiteral("\"power\":\"standby\"")),
            qPrintable(client.received.join(QLatin1Char('\n'))));
        client.send("/tarndeck/camera/1/zoom", {4});
        client.send("/tarndeck/camera/1/preset/recall", {2});
        QTRY_VERIFY2(client.received.join(QString()).count(QStringLiteral(" is in standby: ")) == 2,
                     qPrintable(client.received.join(QLatin1Char('\n'))));
        QCOMPARE(received(QString(), 300), QString());
        return;
    }
    if (lockout) {
        CameraConfig config = window.cameraList().at(0)->config();
        config.liveLockout = true;
        window.cameraList().at(0)->setConfig(config);
        client.send("/tarndeck/camera/1/tally", {QStringLiteral("program")});
        received(QStringLiteral("81017E010A0002FF"));
        client.send("/tarndeck/camera/1/zoom", {4});
        client.send("/tarndeck/camera/1/preset/recall", {2});
        QTRY_VERIFY2(client.received.join(QString()).count(QStringLiteral("on program and locked")) == 2,
                     qPrintable(client.received.join(QLatin1Char('\n'))));
        QCOMPARE(received(QString(), 300), QString());
        // The operator still moves it.
        QTest::keyPress(&window, Qt::Key_PageUp);
        QCOMPARE(received(QStringLiteral("8101040722FF")), PacketText::fromHex("8101040722FF"));
        QTest::keyRelease(&window, Qt::Key_PageUp);
        QCOMPARE(received(zoomStop), PacketText::fromHex(zoomStop));
        return;
    }
    client.send("/tarndeck/camera/1/zoom", {-4});
    QCOMPARE(received(QStringLiteral("8101040733FF")), PacketText::fromHex("8101040733FF"));
    QTest::keyPress(&window, Qt::Key_PageUp);
    QCOMPARE(received(QStringLiteral("8101040722FF")), PacketText::fromHex("8101040722FF"));
    QVERIFY(!window.remoteCameras()->movesRemotely(window.cameraList().at(0), Camera::Axis::Zoom));
    client.send("/tarndeck/camera/1/zoom", {0});
    client.send("/tarndeck/camera/1/zoom", {3});
    QTRY_VERIFY2(client.received.join(QString()).contains(
                     QStringLiteral("the operator is moving the zoom of camera 1 (Stage)")),
                 qPrintable(client.received.join(QLatin1Char('\n'))));
    QCOMPARE(received(QString(), 300), QString());
    QTest::keyRelease(&window, Qt::Key_PageUp);
    QCOMPARE(received(zoomStop), PacketText::fromHex(zoomStop));
}

QTEST_MAIN(tst_RemoteWindow)
#include "tst_remotewindow.moc"

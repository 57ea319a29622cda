// Cameras without a window, on real parts: a pseudo-terminal for the serial
// line, the loopback HTTP server for the encoder, the simulator's network
// camera on loopback UDP and TCP. A camera drives its link; one route that
// waits holds up neither another camera nor the event loop; cameras sharing
// a line or an encoder each hear of their own packets.
#include "backoff.h"
#include "camera.h"
#include "cameralist.h"
#include "linkpool.h"
#include "loophttpserver.h"
#include "packettext.h"
#include "ptypair.h"
#include "serialbus.h"
#include "simulator.h"
#include "stallwatch.h"
#include "testsettings.h"

#include <QPointer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <memory>

using Request = LoopHttpServer::Request;
using Response = LoopHttpServer::Response;

namespace {

enum class Route { Serial, Encoder, Udp, Tcp };
enum class Operation { Zoom3, FocusTrigger, LampUp, PanRight, PanLeftUpFastestSteps };

const char *const encoderUser = "Admin";
const char *const encoderPassword = "418275";

// An encoder on loopback that connects, takes the serial setting and then
// answers each pass-through as `answer` says.
class Encoder
{
public:
    Encoder()
    {
        listening = server.listen();
        server.setHandler([this](const Request &request) {
            if (request.hasQueryItem(QStringLiteral("SYSTEM_INFO_XML")))
                return Response::xml("<?xml version=\"1.0\"?>\n<SYSTEM_INFO>"
                                     "<MODEL_NUMBER value=\"QB-1\"/></SYSTEM_INFO>\n");
            if (!request.hasQueryItem(QStringLiteral("SERIAL_HEX")))
                return Response::text("OK: SERIAL_SETTING");
            const QString hex = request.queryValue(QStringLiteral("SERIAL_HEX"));
            hexes << hex;
            return answer(hex);
        });
    }
    LoopHttpServer server;
    bool listening = false;
    QStringList hexes;
    std::function<Response(const QString &hex)> answer
        = [](const QString &) { return Response::text("OK: SERIAL_HEX"); };
};

// The far end of one route, and what it received as packet text.
class FarEnd
{
public:
    explicit FarEnd(Route route)
        : route(route)
    {
        if (route == Route::Udp)
            sim.network().listenUdp(QHostAddress::LocalHost, 0);
        if (route == Route::Tcp)
            sim.network().listenTcp(QHostAddress::LocalHost, 0);
        QObject::connect(&sim, &Simulator::packetDecoded,
                         [this](const ViscaModel::Packet &packet) { decoded += packet.bytes; });
    }

    // The camera on this route, connected.
    bool connect(Camera &camera)
    {
        switch (route) {
        case Route::Serial: {
            // The camera asks for its version as the port opens; the rows
            // list what the operations send.
            QByteArray inquiry = QByteArray::fromHex("81090002FF");
            inquiry[0] = char(0x80 + camera.addresses().camera);
            line.skipOnce(inquiry);
            return camera.openSerial({QStringLiteral("pty"), line.slavePath()});
        }
        case Route::Encoder:
            camera.connectEncoder(encoder.server.authority(), QLatin1String(encoderUser),
                                  QLatin1String(encoderPassword));
            break;
        case Route::Udp:
        case Route::Tcp: {
            const bool tcp = route == Route::Tcp;
            const quint16 port = tcp ? sim.network().tcpPort() : sim.network().udpPort();
            camera.connectNetworkCamera(QHostAddress(QHostAddress::LocalHost), port,
                                        tcp ? ViscaIp::Protocol::Tcp : ViscaIp::Protocol::Udp,
                                        QStringLiteral("camera"));
            break;
        }
        }
        // A network camera is asked its power and lens at connect: the
        // rows' packets follow those answers.
        return QTest::qWaitFor(
            [this, &camera] {
                return camera.carriesCommands()
                    && (route == Route::Encoder || camera.readback().focusPosition() >= 0);
            },
            5000);
    }

    // Packets as text, once `expectedHex` has arrived (or the wait is over).
    QString received(const QString &expectedHex)
    {
        const QString expected = PacketText::fromHex(expectedHex);
        (void)QTest::qWaitFor([&] { return text() == expected; }, 3000);
        return text();
    }

    QString text()
    {
        switch (route) {
        case Route::Serial:
            bytes += line.drain();
            return PacketText::fromBytes(bytes);
        case Route::Encoder:
            return PacketText::fromHex(encoder.hexes.join(QString()));
        case Route::Udp:
        case Route::Tcp:
            break;
        }
        return PacketText::fromBytes(decoded);
    }

    Route route;
    PtyPair line;
    Encoder encoder;
    Simulator sim;
    QByteArray bytes;
    QByteArray decoded;
};

void operate(Camera &camera, Operation operation)
{
    switch (operation) {
    case Operation::Zoom3:
        camera.zoom(3);
        break;
    case Operation::FocusTrigger:
        camera.setFocusMode(FocusMode::Trigger);
        break;
    case Operation::LampUp:
        camera.lamp(+1);
        break;
    case Operation::PanRight:
        camera.panTilt(2, 0);
        break;
    case Operation::PanLeftUpFastestSteps:
        camera.panTilt(-24, 20, PanTiltUnit::SpeedStep);
        break;
    }
}

} // namespace

Q_DECLARE_METATYPE(Route)
Q_DECLARE_METATYPE(Operation)

class tst_Camera : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cameraDrivesItsLink_data();
    void cameraDrivesItsLink();
    void silentEncoderDoesNotDelayASerialCamera();
    void heldLineDoesNotFreezeTheLoop();
    void sharedLinkKeepsCamerasApart_data();
    void sharedLinkKeepsCamerasApart();
    void healthFollowsTheLink_data();
    void healthFollowsTheLink();
    void reconnectBacksOff_data();
    void reconnectBacksOff();
    void tallyRepeatKeepsTheStatusLine();
    void listSelectsAndEdits();
};

void tst_Camera::initTestCase()
{
    TestSettings::useTemporaryStore();
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.*.warning=false\n"
                                                    "tarndeck.sim.info=false"));
}

void tst_Camera::cameraDrivesItsLink_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<int>("address");
    QTest::addColumn<int>("lamp");
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<QString>("packets"); // ends with the zoom stop sent after it

    QTest::newRow("serial: zoom") << Route::Serial << 1 << 2 << Operation::Zoom3
                                  << "8101040722FF 8101040700FF";
    QTest::newRow("serial, camera 3: focus trigger")
        << Route::Serial << 3 << 2 << Operation::FocusTrigger
        << "8301043803FF 8301041801FF 8301040700FF";
    QTest::newRow("serial, lamp at 4")
        << Route::Serial << 1 << 4 << Operation::LampUp << "8401060100010301FF 8101040700FF";
    QTest::newRow("serial, no lamp: nothing")
        << Route::Serial << 1 << 0 << Operation::LampUp << "8101040700FF";
    QTest::newRow("encoder, camera 2: zoom")
        << Route::Encoder << 2 << 0 << Operation::Zoom3 << "8201040722FF 8201040700FF";
    QTest::newRow("encoder: lamp")
        << Route::Encoder << 1 << 2 << Operation::LampUp << "8201060100010301FF 8101040700FF";
    QTest::newRow("encoder: pan right")
        << Route::Encoder << 1 << 2 << Operation::PanRight << "8101060107010203FF 8101040700FF";
    QTest::newRow("encoder: pan left and tilt up, fastest speed steps")
        << Route::Encoder << 1 << 2 << Operation::PanLeftUpFastestSteps
        << "8101060118140101FF 8101040700FF";
    QTest::newRow("udp: pan left and tilt up, fastest speed steps")
        << Route::Udp << 1 << 2 << Operation::PanLeftUpFastestSteps
        << "8101060118140101FF 8101040700FF";
    // The trigger waits for the manual mode's answer; the stop goes ahead.
    QTest::newRow("udp: focus trigger") << Route::Udp << 1 << 2 << Operation::FocusTrigger
                                        << "8101043803FF 8101040700FF 8101041801FF";
    QTest::newRow("tcp: zoom") << Route::Tcp << 1 << 2 << Operation::Zoom3
                               << "8101040722FF 8101040700FF";
    QTest::newRow("tcp: a network camera has no lamp")
        << Route::Tcp << 1 << 2 << Operation::LampUp << "8101040700FF";
}

// An operation, then a zoom stop: exactly their packets reach the camera,
// and the status line shows the last request once the route took it.
void tst_Camera::cameraDrivesItsLink()
{
    QFETCH(Route, route);
    QFETCH(int, address);
    QFETCH(int, lamp);
    QFETCH(Operation, operation);
    QFETCH(QString, packets);

    LinkPool pool;
    Camera camera(pool);
    camera.setAddresses({address, lamp});
    FarEnd far(route);
    QVERIFY(far.connect(camera));
    QCOMPARE(camera.linkState(), Camera::LinkState::Connected);

    operate(camera, operation);
    camera.zoom(0);
    QCOMPARE(far.received(packets), PacketText::fromHex(packets));
    QTRY_COMPARE(camera.statusText(), camera.lastCommand());
    QVERIFY(camera.lastCommand().startsWith(QLatin1String("zoom,0 [")));
}

// Two cameras side by side: the encoder's never answers; the serial camera's
// packet leaves at once all the same, and the event loop keeps turning.
void tst_Camera::silentEncoderDoesNotDelayASerialCamera()
{
    LinkPool pool;
    Camera encoderCamera(pool);
    Camera serialCamera(pool);
    FarEnd encoder(Route::Encoder);
    encoder.encoder.answer = [](const QString &) { return Response::hold(); };
    FarEnd serial(Route::Serial);
    QVERIFY(encoder.connect(encoderCamera));
    QVERIFY(serial.connect(serialCamera));
    StallWatch stalls;

    encoderCamera.zoom(3);
    serialCamera.zoom(-3);
    // Read without running the event loop: the packet is on the line already.
    QCOMPARE(serial.line.read(6, 1000), QByteArray::fromHex("8101040732FF"));
    QCOMPARE(serialCamera.statusText(), QStringLiteral("zoom,-3 [8101040732FF]"));
    QTRY_COMPARE(encoder.encoder.server.heldCount(), 1);
    QVERIFY(stalls.longestMs() < 500);

    // The encoder's camera says so once the request's time-out has passed.
    QTRY_COMPARE_WITH_TIMEOUT(
        encoderCamera.statusText(),
        QStringLiteral("Not sent: zoom,3 \u2013 encoder did not answer in 5 s"), 10000);
    QCOMPARE(encoderCamera.linkState(), Camera::LinkState::Failing);
    QCOMPARE(serialCamera.statusText(), QStringLiteral("zoom,-3 [8101040732FF]"));
    QVERIFY(stalls.longestMs() < 500);
}

// A far end that holds the line for longer than the drain wait while the
// operator keeps driving: the loop never stalls, and once the line moves
// again no zoom drive reaches the camera after the zoom's stop.
void tst_Camera::heldLineDoesNotFreezeTheLoop()
{
    LinkPool pool;
    Camera camera(pool);
    FarEnd far(Route::Serial);
    QVERIFY(far.connect(camera));
    QVERIFY(far.line.holdOutput(true));
    StallWatch stalls;

    int step = 0;
    QTimer driving;
    connect(&driving, &QTimer::timeout, this, [&] {
        camera.zoom(++step % 8 - 4);
        camera.setWhiteBalance(WhiteBalance::Auto);
    });
    driving.start(5);
    QTest::qWait(SerialLink::defaultDrainWaitMs + 500);
    driving.stop();
    camera.zoom(0);
    QVERIFY2(stalls.longestMs() < 500, qPrintable(QString::number(stalls.longestMs())));

    // The zoom's last word is its stop: no drive follows it (the colour
    // commands that waited may).
    QVERIFY(far.line.holdOutput(false));
    const auto driveAfterStop = [&far] {
        const QString afterStop = far.text().section(QStringLiteral("8101040700FF"), -1);
        return afterStop.contains(QLatin1String("810104072"))
            || afterStop.contains(QLatin1String("810104073"));
    };
    QTRY_VERIFY(far.text().contains(QLatin1String("8101040700FF")));
    QTest::qWait(200);
    QVERIFY2(!driveAfterStop(), qPrintable(far.text().right(200)));
}

void tst_Camera::sharedLinkKeepsCamerasApart_data()
{
    QTest::addColumn<Route>("route");
    QTest::newRow("a serial daisy chain") << Route::Serial;
    QTest::newRow("two cameras behind one encoder") << Route::Encoder;
}

// Cameras 1 and 2 on one line: one link, each packet with its camera's
// address; a refusal reaches the camera that sent the packet, nobody else;
// the link goes when the last camera leaves it.
void tst_Camera::sharedLinkKeepsCamerasApart()
{
    QFETCH(Route, route);
    LinkPool pool;
    Camera first(pool);
    Camera second(pool);
    second.setAddresses({2, 0});
    FarEnd far(route);
    far.encoder.answer = [](const QString &hex) {
        return hex.startsWith(QLatin1String("81")) ? Response::text("ERROR: camera 1 is busy")
                                                   : Response::text("OK: SERIAL_HEX");
    };
    QVERIFY(far.connect(first));
    QVERIFY(far.connect(second));
    QPointer<SerialBus> bus = pool.findChild<SerialBus *>();
    if (route == Route::Serial) {
        QVERIFY(bus);
        QCOMPARE(pool.users(bus), 2);
    } else {
        // One connect flow for both.
        QCOMPARE(far.encoder.server.requestLines().size(), 2);
    }

    first.zoom(3);
    second.zoom(-3);
    QCOMPARE(far.received(QStringLiteral("8101040722FF 8201040732FF")),
             PacketText::fromHex(QStringLiteral("8101040722FF 8201040732FF")));
    if (route == Route::Encoder) {
        QTRY_COMPARE(first.statusText(),
                     QStringLiteral("Not sent: zoom,3 \u2013 encoder answered ERROR: camera 1 is "
                                    "busy"));
        QTRY_COMPARE(second.statusText(), QStringLiteral("zoom,-3 [8201040732FF]"));
    } else {
        QCOMPARE(first.statusText(), QStringLiteral("zoom,3 [8101040722FF]"));
        QCOMPARE(second.statusText(), QStringLiteral("zoom,-3 [8201040732FF]"));
    }

    first.leaveRoute();
    second.zoom(0);
    QCOMPARE(far.received(QStringLiteral("8101040722FF 8201040732FF 8201040700FF")),
             PacketText::fromHex(QStringLiteral("8101040722FF 8201040732FF 8201040700FF")));
    second.leaveRoute();
    if (route == Route::Serial)
        QTRY_VERIFY(!bus);
    QTRY_VERIFY(pool.findChildren<PacketLink *>().isEmpty());
}

enum class Fault { None, Mute, Checks, Close, NoAddress };
Q_DECLARE_METATYPE(Fault)
Q_DECLARE_METATYPE(Camera::Health)

void tst_Camera::healthFollowsTheLink_data()
{
    QTest::addColumn<Route>("route");
    QTest::addColumn<Fault>("fault");
    QTest::addColumn<Camera::Health>("health"); // after the fault
    QTest::addColumn<QString>("reason");        // its start; empty: stays healthy

    const QString notAnswering
        = QStringLiteral("Not answering: VISCA <camera> \u2013 camera did not answer");
    QTest::newRow("serial: connected")
        << Route::Serial << Fault::None << Camera::Health::Connected << QString();
    QTest::newRow("udp: a camera that stops answering")
        << Route::Udp << Fault::Mute << Camera::Health::Failing << notAnswering;
    QTest::newRow("tcp: a camera that stops answering")
        << Route::Tcp << Fault::Mute << Camera::Health::Failing << notAnswering;
    QTest::newRow("udp: health checks, no command")
        << Route::Udp << Fault::Checks << Camera::Health::Failing << notAnswering;
    QTest::newRow("tcp: health checks, no command")
        << Route::Tcp << Fault::Checks << Camera::Health::Failing << notAnswering;
    QTest::newRow("tcp: a camera that closes")
        << Route::Tcp << Fault::Close << Camera::Health::Reconnecting
        << QStringLiteral("Reconnecting: VISCA <camera> \u2013 ");
    QTest::newRow("encoder: no address") << Route::Encoder << Fault::NoAddress
                                         << Camera::Health::Failing << "no address entered";
}

// A camera's health as a glance shows it: connected once its route is up,
// failing (with the reason) when the far end stops answering (at the third
// packet in a row without an answer, or by the keep-alives where health
// checks are on), reconnecting when it went; back by itself when it answers
// again.
void tst_Camera::healthFollowsTheLink()
{
    QFETCH(Route, route);
    QFETCH(Fault, fault);
    QFETCH(Camera::Health, health);
    QFETCH(QString, reason);

    LinkPool pool;
    Camera camera(pool);
    camera.setNumber(3);
    QCOMPARE(camera.health(), Camera::Health::NotConnected);
    FarEnd far(route);
    QSignalSpy changed(&camera, &Camera::healthChanged);
    if (fault == Fault::NoAddress) {
        camera.connectEncoder(QString(), QString(), QString());
        QCOMPARE(camera.health(), Camera::Health::Connecting);
        QTRY_COMPARE(camera.health(), Camera::Health::Failing);
        QCOMPARE(camera.healthReason(), reason);
        return;
    }
    // A camera of the test's that answers the version inquiry, and later
    // closes its connection.
    QTcpServer closing;
    QPointer<QTcpSocket> peer;
    if (fault == Fault::Close) {
        QVERIFY(closing.listen(QHostAddress::LocalHost));
        connect(&closing, &QTcpServer::newConnection, this, [&] {
            peer = closing.nextPendingConnection();
            connect(peer, &QTcpSocket::readyRead, this, [&] {
                peer->readAll(), peer->write(QByteArray::fromHex("9050AAAA0B0C010202FF"));
            });
        });
        camera.connectNetworkCamera(QHostAddress(QHostAddress::LocalHost), closing.serverPort(),
                                    ViscaIp::Protocol::Tcp, QStringLiteral("camera"));
        QTRY_VERIFY(camera.carriesCommands());
    } else {
        camera.setHealthChecks(fault == Fault::Checks);
        QVERIFY(far.connect(camera));
    }
    QCOMPARE(camera.health(), Camera::Health::Connected);
    QVERIFY(camera.healthReason().startsWith(QLatin1String("connected to ")));
    const int healthy = changed.size();

    QElapsedTimer clock;
    ViscaIpFront::Faults mute;
    mute.mute = true;
    switch (fault) {
    case Fault::None:
        camera.zoom(3);
        camera.zoom(0);
        QCOMPARE(changed.size(), healthy);
        return;
    case Fault::Mute: {
        far.sim.network().setFaults(mute);
        // Each command waits for its outcome; two misses are not yet a
        // failing camera. Over TCP the third waits behind the silence.
        QSignalSpy status(&camera, &Camera::statusChanged);
        for (int i = 0; i < 3; ++i) {
            QCOMPARE(camera.health(), Camera::Health::Connected);
            status.clear();
            camera.command(QStringLiteral("focus"), i == 1 ? QStringLiteral("0") : QStringLiteral("auto"));
            QTRY_VERIFY_WITH_TIMEOUT(!status.isEmpty() && status.last().at(1).toBool(), 5000);
        }
        break;
    }
    case Fault::Checks:
        clock.start();
        far.sim.network().setFaults(mute);
        break;
    case Fault::Close:
        peer->abort();
        break;
    case Fault::NoAddress:
        break;
    }
    QTRY_COMPARE_WITH_TIMEOUT(camera.health(), health, 10000);
    if (clock.isValid())
        qInfo("keep-alives: failing %lld ms after the camera went silent", clock.elapsed());
    QVERIFY2(camera.healthReason().startsWith(reason), qPrintable(camera.healthReason()));
    QVERIFY(changed.size() > healthy);
    if (fault == Fault::Close) {
        // Left by the operator: no reconnect waits any more.
        camera.leaveRoute();
        QCOMPARE(camera.health(), Camera::Health::NotConnected);
        QVERIFY(!camera.healthWatch().reconnecting());
        QCOMPARE(camera.healthWatch().nextAttemptInMs(), -1);
        return;
    }
    // It answers again: healthy without anything asked of the operator.
    far.sim.network().setFaults({});
    QTRY_COMPARE_WITH_TIMEOUT(camera.health(), Camera::Health::Connected, 10000);
    QVERIFY2(camera.statusText().startsWith(QLatin1String("Connected to VISCA <camera>")),
             qPrintable(camera.statusText()));
}

void tst_Camera::reconnectBacksOff_data()
{
    QTest::addColumn<int>("attempt");
    QTest::addColumn<int>("waitMs");
    const int rows[][2] = {{0, 1000}, {1, 1000}, {2, 2000}, {3, 4000}, {4, 8000},
                           {5, 16000}, {6, 30000}, {7, 30000}, {1000, 30000}};
    for (const auto &row : rows)
        QTest::addRow("attempt %d", row[0]) << row[0] << row[1];
}

void tst_Camera::reconnectBacksOff()
{
    QFETCH(int, attempt);
    QFETCH(int, waitMs);
    QCOMPARE(BackOff::delayMs(attempt), waitMs);
}

// A lit lamp is told again over the network while the status line keeps
// what the operator last did; a camera in standby (which refuses most
// commands) is not told, so it is neither shown failing nor written over.
void tst_Camera::tallyRepeatKeepsTheStatusLine()
{
    LinkPool pool;
    Camera driven(pool);
    Camera sleeping(pool);
    FarEnd drivenEnd(Route::Udp);
    FarEnd sleepingEnd(Route::Udp);
    QVERIFY(drivenEnd.connect(driven));
    QVERIFY(sleepingEnd.connect(sleeping));
    const QByteArray tallyOn = QByteArray::fromHex("81017E010A0002FF");
    driven.setTally(Camera::Tally::Program);
    sleeping.setTally(Camera::Tally::Program);
    QTRY_VERIFY(drivenEnd.decoded.contains(tallyOn));
    QTRY_VERIFY(sleepingEnd.decoded.contains(tallyOn));
    driven.zoom(3);
    driven.zoom(0);
    sleeping.setPower(false);
    QTRY_VERIFY2(driven.statusText().startsWith(QLatin1String("zoom,0 [")),
                 qPrintable(driven.statusText()));
    QTRY_VERIFY(sleeping.statusText().startsWith(QLatin1String("Standby: ")));
    const QString drivenShows = driven.statusText();
    const QString sleepingShows = sleeping.statusText();

    drivenEnd.decoded.clear();
    sleepingEnd.decoded.clear();
    QTRY_VERIFY_WITH_TIMEOUT(drivenEnd.decoded.contains(tallyOn), Camera::tallyRepeatMs + 2000);
    QTest::qWait(100); // its answer is in
    QCOMPARE(driven.statusText(), drivenShows);
    QCOMPARE(driven.health(), Camera::Health::Connected);
    QVERIFY(!sleepingEnd.decoded.contains(tallyOn));
    QCOMPARE(sleeping.statusText(), sleepingShows);
    QCOMPARE(sleeping.health(), Camera::Health::Connected);
}

// Selecting says leaving() for the camera left before currentChanged() for
// the next; an edit keeps the current camera, numbers the list again, and
// hands back a camera reached elsewhere now, its route left.
void tst_Camera::listSelectsAndEdits()
{
    CameraList list;
    CameraConfig second;
    second.name = QStringLiteral("Pulpit");
    second.viscaAddress = 2;
    list.load({list.at(0)->config(), second, CameraConfig()}, true);
    QCOMPARE(list.count(), 3);
    QCOMPARE(list.at(1)->shownName(), QStringLiteral("Pulpit"));
    QCOMPARE(list.at(2)->shownName(), QStringLiteral("Camera 3"));

    QStringList said;
    connect(&list, &CameraList::leaving, this,
            [&](Camera *camera) { said << QStringLiteral("leaving %1").arg(camera->number()); });
    connect(&list, &CameraList::currentChanged, this,
            [&](Camera *camera) { said << QStringLiteral("now %1").arg(camera->number()); });
    QVERIFY(list.select(1));
    QVERIFY(!list.select(1));
    QVERIFY(list.selectNext(+1));
    QVERIFY(list.selectNext(+1));
    QVERIFY(list.selectNext(-1));
    QCOMPARE(said,
             (QStringList{"leaving 1", "now 2", "leaving 2", "now 3", "leaving 3", "now 1",
                          "leaving 1", "now 3"}));

    // Camera 2 on a line now, camera 3 first; camera 1 taken out.
    PtyPair line;
    QVERIFY(list.at(1)->openSerial({QStringLiteral("pty"), line.slavePath()}));
    CameraConfig moved = list.at(1)->config();
    moved.viscaAddress = 4;
    said.clear();
    const QList<Camera *> again
        = list.apply({{list.at(2), list.at(2)->config()}, {list.at(1), moved}});
    QCOMPARE(again.size(), 1);
    QCOMPARE(again.constFirst()->config().viscaAddress, 4);
    QCOMPARE(again.constFirst()->route(), Camera::Route::None);
    QCOMPARE(list.count(), 2);
    QCOMPARE(list.currentIndex(), 0);
    QCOMPARE(list.current()->number(), 1);
    QCOMPARE(list.at(1)->shownName(), QStringLiteral("Pulpit"));
    QVERIFY(said.isEmpty());
}

QTEST_MAIN(tst_Camera)
#include "tst_camera.moc"

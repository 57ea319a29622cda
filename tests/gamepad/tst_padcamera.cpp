// The pad driving the camera, all real parts: a virtual pad inside SDL, the
// program's window built as the program builds it (pad input switched on in
// its store), and the packets the camera gets, on a pseudo-terminal or at
// the simulator's network camera over UDP.
#include "gamepaddialog.h"
#include "encodersetup.h"
#include "loophttpserver.h"
#include "packettext.h"
#include "simulator.h"
#include "testsettings.h"
#include "virtualpad.h"
#include "windowharness.h"

#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

Q_DECLARE_METATYPE(Pad::Control)

namespace {

using Pad::Control;
using Request = LoopHttpServer::Request;
using Response = LoopHttpServer::Response;

const char kStop[] = "8101060101010303FF";
const char kZoomStop[] = "8101040700FF";
const char kFocusStop[] = "8101040800FF";
const char kManualFocus[] = "8101043803FF";
const QString padName = QStringLiteral("Tarnwick Duo");

enum class Line { Pty, Udp };

// One control moved to a value.
struct Move
{
    Control control;
    int value;
};
using Moves = QVector<Move>;

} // namespace

Q_DECLARE_METATYPE(Line)
Q_DECLARE_METATYPE(Move)
Q_DECLARE_METATYPE(Moves)

class tst_PadCamera : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void stickToPackets_data();
    void stickToPackets();
    void slowPushFromRestToFullAndBack();
    void stopsWhenThePadCannotDrive_data();
    void stopsWhenThePadCannotDrive();
    void busyRouteKeepsTheNewest_data();
    void busyRouteKeepsTheNewest();
    void windowLosesTheKeyboard_data();
    void windowLosesTheKeyboard();
    void shouldersSwitchCameras();

private:
    // The window on a fresh store with pad input on and this layout.
    void buildWindow(const PadLayout &layout = PadLayout());
    // Its camera on the line, nothing received yet.
    void connectLine(Line line);
    // A pad plugged in and in use.
    void plug();
    // Moves a control; true once a pump has taken the change.
    bool move(Control control, int value);
    // The packets the camera got: as many as `expectedHex` holds or, when
    // nothing is expected, whatever arrives within 50 ms.
    QString received(const QString &expectedHex);
    QString status() const;
    GamepadControl &control() { return harness->window().gamepad(); }

    Line line = Line::Pty;
    std::unique_ptr<WindowHarness> harness;
    std::unique_ptr<Simulator> sim;
    QByteArray decoded; // what the camera got: the pty's bytes, or what the simulator decoded
    std::unique_ptr<VirtualPad> pad;
    std::unique_ptr<QSignalSpy> pumps;
};

void tst_PadCamera::initTestCase()
{
    TestSettings::useTemporaryStore();
    VirtualPad::isolate();
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.sim.info=false"));
}

void tst_PadCamera::cleanup()
{
    pumps.reset();
    harness.reset();
    pad.reset();
    sim.reset();
    decoded.clear();
}

void tst_PadCamera::buildWindow(const PadLayout &layout)
{
    TestSettings::clear();
    {
        QSettings store;
        PadSettings settings;
        settings.enabled = true;
        settings.layout = layout;
        settings.save(store);
        store.setValue(QStringLiteral("acti"), true);
        // The keys drive the window's pad too.
        store.setValue(QStringLiteral("pantiltDrive"), true);
        store.sync();
    }
    harness = std::make_unique<WindowHarness>();
    harness->window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&harness->window()));
    QVERIFY(control().gamepad().isEnabled());
    pumps = std::make_unique<QSignalSpy>(
        control().gamepad().findChild<PadInput *>(QStringLiteral("padInput")), &PadInput::pumped);
}

void tst_PadCamera::connectLine(Line chosen)
{
    line = chosen;
    if (line == Line::Pty) {
        QVERIFY(harness->openPort());
        harness->pty().drain();
        return;
    }
    sim = std::make_unique<Simulator>();
    QVERIFY(sim->network().listenUdp(QHostAddress::LocalHost, 0));
    connect(sim.get(), &Simulator::packetDecoded,
            [this](const ViscaModel::Packet &packet) { decoded += packet.bytes; });
    QVERIFY(harness->choosePortEntry(QStringLiteral("VISCA over IP")));
    harness->find<QLineEdit>(QStringLiteral("lineEditViscaIpAddress"))
        ->setText(sim->network().udpAuthority());
    harness->find<QComboBox>(QStringLiteral("comboBoxViscaIpProtocol"))->setCurrentIndex(0);
    harness->find<QPushButton>(QStringLiteral("pushButtonViscaIpConnect"))->click();
    QTRY_VERIFY(harness->window().cameraList().current()->carriesCommands());
    decoded.clear();
}

void tst_PadCamera::plug()
{
    pad = std::make_unique<VirtualPad>(padName);
    QTRY_COMPARE(control().gamepad().padName(), padName);
}

bool tst_PadCamera::move(Control control, int value)
{
    const int before = pumps->count();
    pad->set(control, value);
    return QTest::qWaitFor([&] { return pumps->count() > before; });
}

// The event loop runs meanwhile: the pad's pump may still be due.
QString tst_PadCamera::received(const QString &expectedHex)
{
    const auto arrived = [this] {
        if (line == Line::Pty)
            decoded += harness->pty().drain();
        return decoded.size();
    };
    const int expected = QByteArray::fromHex(expectedHex.toLatin1()).size();
    if (expected > 0)
        (void)QTest::qWaitFor([&] { return arrived() >= expected; }, 3000);
    else
        QTest::qWait(50);
    arrived();
    return PacketText::fromBytes(std::exchange(decoded, QByteArray()));
}

QString tst_PadCamera::status() const
{
    return harness->find<QLabel>(QStringLiteral("labelLastCommand"))->text();
}

void tst_PadCamera::stickToPackets_data()
{
    QTest::addColumn<Line>("line");
    QTest::addColumn<Control>("control");
    QTest::addColumn<double>("curve"); // the axis's exponent (0: the default layout's)
    QTest::addColumn<int>("deadZone"); // per cent (-1: the default layout's)
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("packets"); // then, back at rest, the stop of what moved
    QTest::addColumn<QString>("stop");

    const auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };
    // The sticks: dead zone 8 % (of 32767: up to 2621), exponent 2.
    row("pty: inside the dead zone: nothing")
        << Line::Pty << Control::LeftX << 0.0 << -1 << 2621 << "" << "";
    row("pty: just past the dead zone: pan right at 01")
        << Line::Pty << Control::LeftX << 0.0 << -1 << 2622 << "8101060101010203FF" << kStop;
    row("pty: half right: pan 06") << Line::Pty << Control::LeftX << 0.0 << -1 << 16384
                                   << "8101060106010203FF" << kStop;
    row("pty: half right, linear: pan 0B") << Line::Pty << Control::LeftX << 1.0 << -1 << 16384
                                           << "810106010B010203FF" << kStop;
    row("pty: full left: pan 18h") << Line::Pty << Control::LeftX << 0.0 << -1 << -32768
                                   << "8101060118010103FF" << kStop;
    row("pty: full up: tilt 14h") << Line::Pty << Control::LeftY << 0.0 << -1 << -32768
                                  << "8101060101140301FF" << kStop;
    row("pty: half down, linear: tilt 0A") << Line::Pty << Control::LeftY << 1.0 << -1 << 16384
                                           << "81010601010A0302FF" << kStop;
    row("pty: dead zone 20 %, at 15 %: nothing")
        << Line::Pty << Control::LeftX << 0.0 << 20 << 4915 << "" << "";
    row("pty: right trigger full: zoom in at 7")
        << Line::Pty << Control::RightTrigger << 0.0 << -1 << 32767 << "8101040727FF"
        << kZoomStop;
    row("pty: left trigger half: zoom out at 3")
        << Line::Pty << Control::LeftTrigger << 0.0 << -1 << 16384 << "8101040733FF" << kZoomStop;
    row("pty: right stick half up: manual focus, far at 1")
        << Line::Pty << Control::RightY << 0.0 << -1 << -16384
        << QString(kManualFocus) + "8101040821FF" << kFocusStop;
    row("pty: D-pad left held: pan left at 01")
        << Line::Pty << Control::DpadLeft << 0.0 << -1 << 1 << "8101060101010103FF" << kStop;
    // The face buttons recall presets 1 ... 4 (memories 0 ... 3); the
    // release sends nothing.
    row("pty: A pressed: preset 1") << Line::Pty << Control::A << 0.0 << -1 << 1
                                    << "8101043F0200FF" << "";
    row("udp: Y pressed: preset 4") << Line::Udp << Control::Y << 0.0 << -1 << 1
                                    << "8101043F0203FF" << "";
    row("udp: just past the dead zone: pan right at 01")
        << Line::Udp << Control::LeftX << 0.0 << -1 << 2622 << "8101060101010203FF" << kStop;
    row("udp: full up, exponent 3: tilt 14h") << Line::Udp << Control::LeftY << 3.0 << -1
                                              << -32768 << "8101060101140301FF" << kStop;
    row("udp: inside the dead zone: nothing")
        << Line::Udp << Control::LeftY << 0.0 << -1 << -2621 << "" << "";
    row("udp: right trigger half: zoom in at 3")
        << Line::Udp << Control::RightTrigger << 0.0 << -1 << 16384 << "8101040723FF" << kZoomStop;
}

// A control pushed: its packets reach the camera; back at rest, exactly one
// stop follows (nothing where nothing moved).
void tst_PadCamera::stickToPackets()
{
    QFETCH(Line, line);
    QFETCH(Control, control);
    QFETCH(double, curve);
    QFETCH(int, deadZone);
    QFETCH(int, value);
    QFETCH(QString, packets);
    QFETCH(QString, stop);

    PadLayout layout;
    if (Pad::isAxis(control)) {
        Pad::AxisBinding binding = layout.axis(control);
        if (curve > 0)
            binding.shape.curve = curve;
        if (deadZone >= 0)
            binding.shape.deadZonePercent = deadZone;
        layout.setAxis(control, binding);
    }
    buildWindow(layout);
    if (QTest::currentTestFailed())
        return;
    connectLine(line);
    if (QTest::currentTestFailed())
        return;
    plug();
    QVERIFY(status().startsWith(QStringLiteral("Gamepad Tarnwick Duo drives camera 1 on ")));

    QVERIFY(move(control, value));
    QCOMPARE(received(packets), PacketText::fromHex(packets));
    QVERIFY(move(control, 0));
    QCOMPARE(received(stop), PacketText::fromHex(stop));
    QCOMPARE(received(QString()), QString());
}

// The stick pushed slowly right from rest to full and back, 1/128 of the
// travel a pump: every pan speed 01 ... 18h goes on the wire once on the way
// out, each slower one once on the way back, then exactly one stop.
void tst_PadCamera::slowPushFromRestToFullAndBack()
{
    buildWindow();
    connectLine(Line::Pty);
    plug();
    if (QTest::currentTestFailed())
        return;
    QStringList wire; // packet@position
    const auto step = [&](int value) {
        const bool taken = move(Control::LeftX, value);
        // The pump wrote them to the line before it ended.
        const QString packets = PacketText::fromBytes(harness->pty().drain());
        if (!packets.isEmpty())
            wire << QStringLiteral("%1@%2").arg(packets).arg(value);
        return taken;
    };
    for (int value = 256; value <= 32768; value += 256)
        QVERIFY(step(qMin(value, 32767)));
    for (int value = 32768 - 256; value >= 0; value -= 256)
        QVERIFY(step(value));
    qInfo().noquote() << "on the wire:" << wire.join(' ');

    const auto panRight = [](int speed) {
        return QStringLiteral("81010601") + QString::number(speed, 16).rightJustified(2, '0').toUpper()
            + QStringLiteral("010203FF");
    };
    QStringList expected;
    for (int speed = 1; speed <= 24; ++speed)
        expected << panRight(speed);
    for (int speed = 23; speed >= 1; --speed)
        expected << panRight(speed);
    expected << kStop;
    QStringList packets;
    for (const QString &w : qAsConst(wire))
        packets << w.section('@', 0, 0);
    QCOMPARE(packets, expected);
}

void tst_PadCamera::stopsWhenThePadCannotDrive_data()
{
    QTest::addColumn<Line>("line");
    QTest::addColumn<QString>("how");
    QTest::newRow("pty: pad unplugged") << Line::Pty << "unplug";
    QTest::newRow("pty: pad input switched off in the dialog") << Line::Pty << "dialog";
    QTest::newRow("pty: window closed") << Line::Pty << "close";
    QTest::newRow("udp: pad unplugged") << Line::Udp << "unplug";
    QTest::newRow("udp: window closed") << Line::Udp << "close";
}

// Pan, zoom and focus running: whatever ends the pad's driving stops all
// three on the wire, within a bound far above the benchmark's 250 ms.
void tst_PadCamera::stopsWhenThePadCannotDrive()
{
    QFETCH(Line, line);
    QFETCH(QString, how);

    buildWindow();
    connectLine(line);
    plug();
    if (QTest::currentTestFailed())
        return;
    QVERIFY(move(Control::LeftX, 32767));
    QVERIFY(move(Control::RightTrigger, 32767));
    QVERIFY(move(Control::RightY, 32767));
    const QString running = QStringLiteral("8101060118010203FF 8101040727FF ") + kManualFocus
        + QStringLiteral("8101040837FF");
    QCOMPARE(received(running), PacketText::fromHex(running));

    QElapsedTimer clock;
    clock.start();
    if (how == QLatin1String("unplug")) {
        pad->unplug();
    } else if (how == QLatin1String("dialog")) {
        harness->find<QAction>(QStringLiteral("actionGamepad"))->trigger();
        auto *dialog = harness->window().findChild<GamepadDialog *>();
        QVERIFY(dialog);
        QTRY_VERIFY(dialog->isVisible());
        dialog->findChild<QCheckBox *>(QStringLiteral("checkBoxEnabled"))->setChecked(false);
        dialog->accept();
    } else {
        harness->window().close();
    }
    const QString stops = QString(kStop) + kZoomStop + kFocusStop;
    QCOMPARE(received(stops), PacketText::fromHex(stops));
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(received(QString()), QString());

    if (how == QLatin1String("unplug")) {
        QCOMPARE(status(), QStringLiteral("Gamepad Tarnwick Duo unplugged: its moves stopped"));
        // Plugged in again, it is used at once.
        plug();
        QVERIFY(status().startsWith(QStringLiteral("Gamepad Tarnwick Duo drives camera 1")));
    } else if (how == QLatin1String("dialog")) {
        QCOMPARE(status(), QStringLiteral("Gamepad input off"));
        QVERIFY(!control().gamepad().isEnabled());
        QSettings store;
        QCOMPARE(store.value(QStringLiteral("gamepad/enabled")).toString(),
                 QStringLiteral("false"));
    }
}

void tst_PadCamera::busyRouteKeepsTheNewest_data()
{
    QTest::addColumn<Move>("first"); // its request is held back by the encoder
    QTest::addColumn<Moves>("burst"); // one pump each, while the request is held
    QTest::addColumn<QStringList>("sent"); // SERIAL_HEX values, in order

    QTest::newRow("pan: a sweep leaves its last speed")
        << Move{Control::LeftX, 32767}
        << Moves{{Control::LeftX, 8000}, {Control::LeftX, 20000}, {Control::LeftX, 16384}}
        << QStringList{"8101060118010203FF", "8101060106010203FF"};
    QTest::newRow("pan: a sweep back to rest leaves the stop")
        << Move{Control::LeftX, 32767}
        << Moves{{Control::LeftX, 20000}, {Control::LeftX, 8000}, {Control::LeftX, 0}}
        << QStringList{"8101060118010203FF", kStop};
    QTest::newRow("zoom: a sweep leaves its last rate")
        << Move{Control::RightTrigger, 32767}
        << Moves{{Control::RightTrigger, 8000},
                 {Control::RightTrigger, 24000},
                 {Control::RightTrigger, 16384}}
        << QStringList{"8101040727FF", "8101040723FF"};
}

// On the encoder route one request is under way at a time; the pad's moves
// meanwhile leave only each axis's newest speed.
void tst_PadCamera::busyRouteKeepsTheNewest()
{
    QFETCH(Move, first);
    QFETCH(Moves, burst);
    QFETCH(QStringList, sent);

    buildWindow();
    plug();
    if (QTest::currentTestFailed())
        return;
    LoopHttpServer encoder;
    QVERIFY(encoder.listen());
    QStringList hex;
    bool holding = false;
    encoder.setHandler([&](const Request &request) {
        if (const auto setup = encoderSetupAnswer(request))
            return *setup;
        hex << request.queryValue(QStringLiteral("SERIAL_HEX"));
        if (hex.size() > 1)
            return Response::text("OK: SERIAL_HEX");
        holding = true;
        return Response::hold();
    });
    QVERIFY(harness->choosePortEntry(QStringLiteral("ACTi")));
    harness->find<QLineEdit>(QStringLiteral("lineEditActiIP"))->setText(encoder.authority());
    harness->find<QPushButton>(QStringLiteral("pushButtonActiConnect"))->click();
    QTRY_VERIFY(harness->window().cameraList().current()->carriesCommands());

    QVERIFY(move(first.control, first.value));
    QTRY_VERIFY(holding);
    for (const Move &m : burst)
        QVERIFY(move(m.control, m.value));
    QCOMPARE(hex.size(), 1); // nothing overtook the held request
    encoder.answerHeld(Response::text("OK: SERIAL_HEX"));
    QTRY_COMPARE(hex, sent);
    QTest::qWait(100);
    QCOMPARE(hex, sent);
}

void tst_PadCamera::windowLosesTheKeyboard_data()
{
    QTest::addColumn<bool>("keysFirst"); // Right held before the pad moves
    QTest::addColumn<Moves>("padMoves");
    QTest::addColumn<QString>("whenTheWindowLosesTheKeyboard");
    QTest::addColumn<QString>("afterwards"); // the pad moves the stick to half right

    QTest::newRow("the pad drives: it keeps driving")
        << false << Moves{{Control::LeftX, 32767}} << "" << "8101060106010203FF";
    QTest::newRow("keys drove, the pad took over: it keeps driving")
        << true << Moves{{Control::LeftX, 32767}} << "" << "8101060106010203FF";
    QTest::newRow("keys pan while the pad zooms: the keys' pan stops, the zoom runs")
        << true << Moves{{Control::RightTrigger, 32767}} << kStop << "8101060106010203FF";
}

// Another window takes the keyboard: what the keys started stops, the pad's
// moves do not, and the pad still drives.
void tst_PadCamera::windowLosesTheKeyboard()
{
    QFETCH(bool, keysFirst);
    QFETCH(Moves, padMoves);
    QFETCH(QString, whenTheWindowLosesTheKeyboard);
    QFETCH(QString, afterwards);

    buildWindow();
    connectLine(Line::Pty);
    plug();
    if (QTest::currentTestFailed())
        return;
    if (keysFirst) {
        QTest::keyPress(&harness->window(), Qt::Key_Right);
        QCOMPARE(received("810106010D010203FF"), PacketText::fromHex("810106010D010203FF"));
    }
    for (const Move &m : padMoves)
        QVERIFY(move(m.control, m.value));
    QVERIFY(!received(QString()).isEmpty());

    QWidget other;
    other.show();
    other.activateWindow();
    QTRY_VERIFY(!harness->window().isActiveWindow());
    QCOMPARE(received(whenTheWindowLosesTheKeyboard),
             PacketText::fromHex(whenTheWindowLosesTheKeyboard));
    QCOMPARE(received(QString()), QString());
    if (keysFirst)
        QTest::keyRelease(&harness->window(), Qt::Key_Right);
    QCOMPARE(received(QString()), QString());

    QVERIFY(move(Control::LeftX, 16384));
    QCOMPARE(received(afterwards), PacketText::fromHex(afterwards));
}


// Two cameras on one line (addresses 1 and 2): a shoulder button selects the
// other camera, the pad's pan stops on the camera left first, and the stick
// still pushed drives the new camera only after it has been back at rest.
void tst_PadCamera::shouldersSwitchCameras()
{
    TestSettings::clear();
    auto chain = std::make_unique<PtyPair>();
    {
        QSettings store;
        PadSettings settings;
        settings.enabled = true;
        settings.save(store);
        store.beginWriteArray(QStringLiteral("cameras"), 2);
        for (int i = 0; i < 2; ++i) {
            store.setArrayIndex(i);
            store.setValue(QStringLiteral("route"), QStringLiteral("serial"));
            store.setValue(QStringLiteral("serialPort"), chain->slavePath());
            store.setValue(QStringLiteral("viscaAddress"), i + 1);
            store.setValue(QStringLiteral("lampAddress"), 0);
            store.setValue(QStringLiteral("connectAtStart"), true);
        }
        store.endArray();
        store.sync();
    }
    harness = std::make_unique<WindowHarness>(std::move(chain));
    harness->window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&harness->window()));
    CameraList &cameras = harness->window().cameraList();
    QTRY_VERIFY(cameras.count() == 2 && cameras.at(1)->carriesCommands());
    pumps = std::make_unique<QSignalSpy>(
        control().gamepad().findChild<PadInput *>(QStringLiteral("padInput")), &PadInput::pumped);
    plug();
    if (QTest::currentTestFailed())
        return;
    harness->pty().drain();

    QVERIFY(move(Control::LeftX, 32767));
    QCOMPARE(received("8101060118010203FF"), PacketText::fromHex("8101060118010203FF"));
    QVERIFY(move(Control::RightShoulder, 1));
    QCOMPARE(cameras.currentIndex(), 1);
    QCOMPARE(received(kStop), PacketText::fromHex(kStop));
    QVERIFY(move(Control::RightShoulder, 0));
    QVERIFY(move(Control::LeftX, 30000));
    QCOMPARE(received(QString()), QString());
    QVERIFY(move(Control::LeftX, 0));
    QCOMPARE(received(QString()), QString());
    QVERIFY(move(Control::LeftX, 32767));
    QCOMPARE(received("8201060118010203FF"), PacketText::fromHex("8201060118010203FF"));
    QVERIFY(move(Control::LeftShoulder, 1));
    QCOMPARE(cameras.currentIndex(), 0);
    QCOMPARE(received("8201060101010303FF"), PacketText::fromHex("8201060101010303FF"));
    QVERIFY(control().statusText().startsWith(QStringLiteral("Gamepad Tarnwick Duo drives camera 1")));
}

QTEST_MAIN(tst_PadCamera)
#include "tst_padcamera.moc"

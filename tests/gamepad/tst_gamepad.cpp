// The pad as the operator holds it: a virtual pad inside SDL moves its
// sticks, triggers and buttons, and the gamepad's operation signals are
// what the camera would be asked to do.
#include "gamepad.h"
#include "testsettings.h"
#include "virtualpad.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <SDL.h>

#include <memory>
#include <utility>

Q_DECLARE_METATYPE(Pad::Control)
Q_DECLARE_METATYPE(AxisShape)
Q_DECLARE_METATYPE(PadLimits)

namespace {

using Pad::Control;

// Every signal of the gamepad, as text in the order they came.
class Recorder : public QObject
{
public:
    explicit Recorder(Gamepad *pad)
    {
        const auto add = [this](const QString &line) { lines << line; };
        connect(pad, &Gamepad::panTilt, this,
                [add](int p, int t) { add(QStringLiteral("panTilt %1 %2").arg(p).arg(t)); });
        connect(pad, &Gamepad::zoom, this, [add](int r) { add(QStringLiteral("zoom %1").arg(r)); });
        connect(pad, &Gamepad::focus, this,
                [add](int r) { add(QStringLiteral("focus %1").arg(r)); });
        connect(pad, &Gamepad::focusAuto, this, [add] { add(QStringLiteral("focusAuto")); });
        connect(pad, &Gamepad::selectCamera, this,
                [add](int d) { add(QStringLiteral("camera %1").arg(d)); });
        connect(pad, &Gamepad::recallPreset, this,
                [add](int n) { add(QStringLiteral("preset %1").arg(n)); });
        connect(pad, &Gamepad::padChanged, this,
                [add](const QString &name) { add(QStringLiteral("pad ") + name); });
        connect(pad, &Gamepad::padGone, this, [add] { add(QStringLiteral("gone")); });
    }
    // What came since the last call.
    QStringList take() { return std::exchange(lines, {}); }

    QStringList lines;
};

// A gamepad switched on, with a recorder and its pumps to wait for.
struct Rig
{
    explicit Rig(const PadLayout &layout = PadLayout(), const PadLimits &limits = PadLimits())
        : gamepad(new Gamepad)
        , recorder(gamepad.get())
        , pumps(gamepad->findChild<PadInput *>(QStringLiteral("padInput")), &PadInput::pumped)
    {
        PadSettings settings;
        settings.enabled = true;
        settings.layout = layout;
        gamepad->setLimits(limits);
        gamepad->apply(settings);
    }

    // Plugs a pad in and waits until it is in use (null if it never is).
    std::unique_ptr<VirtualPad> plug(const QString &name)
    {
        auto pad = std::make_unique<VirtualPad>(name);
        if (!QTest::qWaitFor([&] { return gamepad->padName() == name; }))
            pad.reset();
        recorder.take();
        return pad;
    }

    // Moves a control; true once a pump has taken the change.
    bool move(VirtualPad &pad, Control control, int value)
    {
        const int before = pumps.count();
        pad.set(control, value);
        return QTest::qWaitFor([&] { return pumps.count() > before; });
    }

    std::unique_ptr<Gamepad> gamepad;
    Recorder recorder;
    QSignalSpy pumps;
};

} // namespace

class tst_Gamepad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void sdlOnlyWhileSwitchedOn();
    void stickToSpeed_data();
    void stickToSpeed();
    void slowPushFromRestToFullAndBack();
    void buttons_data();
    void buttons();
    void stopsWhenThePadCannotDrive_data();
    void stopsWhenThePadCannotDrive();
    void burstLeavesTheNewestSpeed();
    void receiverSwitchingOffGetsNothingStale();
    void padPluggedInLastIsUsed();
};

void tst_Gamepad::initTestCase()
{
    TestSettings::useTemporaryStore();
    VirtualPad::isolate();
}

void tst_Gamepad::sdlOnlyWhileSwitchedOn()
{
    Gamepad gamepad;
    PadSettings off;
    off.background = false;
    gamepad.apply(off);
    QCOMPARE(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
    QVERIFY(!SDL_GetHint(SDL_HINT_JOYSTICK_ALLOW_BACKGROUND_EVENTS));
    QCOMPARE(gamepad.pumpInterval(), 0);

    gamepad.setEnabled(true);
    QVERIFY(gamepad.isEnabled());
    QCOMPARE(gamepad.pumpInterval(), PadInput::searchInterval);
    QSignalSpy changed(&gamepad, &Gamepad::padChanged);
    QSignalSpy gone(&gamepad, &Gamepad::padGone);
    {
        VirtualPad pad(QStringLiteral("Tarnwick Duo"));
        QTRY_COMPARE(changed.count(), 1);
        QCOMPARE(changed.at(0).at(0).toString(), QStringLiteral("Tarnwick Duo"));
        QCOMPARE(gamepad.pumpInterval(), PadInput::openInterval);

        gamepad.setEnabled(false);
        QCOMPARE(gone.count(), 1);
        QCOMPARE(gamepad.padName(), QString());
        QCOMPARE(gamepad.pumpInterval(), 0);
        QCOMPARE(SDL_WasInit(SDL_INIT_EVERYTHING), 0u);
    }
}

void tst_Gamepad::stickToSpeed_data()
{
    QTest::addColumn<Control>("control");
    QTest::addColumn<AxisShape>("shape");
    QTest::addColumn<PadLimits>("limits");
    QTest::addColumn<int>("value");
    QTest::addColumn<QStringList>("expected");

    const AxisShape stick{8, 2.0, 0, false};
    const AxisShape linear{8, 1.0, 0, false};
    const PadLimits tops;
    const auto row = [](const char *name) -> QTestData & { return QTest::newRow(name); };
    // Dead zone 8 % of 32767 ends at 2621.4.
    row("inside the dead zone") << Control::LeftX << stick << tops << 2621 << QStringList();
    row("just past the dead zone: slowest")
        << Control::LeftX << stick << tops << 2622 << QStringList{"panTilt 1 0"};
    row("half right, exponent 2") << Control::LeftX << stick << tops << 16384
                                  << QStringList{"panTilt 6 0"};
    row("half right, linear") << Control::LeftX << linear << tops << 16384
                              << QStringList{"panTilt 11 0"};
    row("half right, exponent 3") << Control::LeftX << AxisShape{8, 3.0, 0, false} << tops << 16384
                                  << QStringList{"panTilt 3 0"};
    row("full left") << Control::LeftX << stick << tops << -32768 << QStringList{"panTilt -24 0"};
    row("full right, top speed 10") << Control::LeftX << AxisShape{8, 2.0, 10, false} << tops
                                    << 32767 << QStringList{"panTilt 10 0"};
    row("full right, camera's pan top 18") << Control::LeftX << stick << PadLimits{18, 20, 8, 8}
                                           << 32767 << QStringList{"panTilt 18 0"};
    row("full right, inverted") << Control::LeftX << AxisShape{8, 2.0, 0, true} << tops << 32767
                                << QStringList{"panTilt -24 0"};
    row("dead zone 20 %, at 15 %")
        << Control::LeftX << AxisShape{20, 2.0, 0, false} << tops << 4915 << QStringList();
    row("stick up full: tilt up") << Control::LeftY << stick << tops << -32768
                                  << QStringList{"panTilt 0 20"};
    row("right stick half up: focus far")
        << Control::RightY << stick << tops << -16384 << QStringList{"focus 2"};
    row("right trigger full: zoom in")
        << Control::RightTrigger << linear << tops << 32767 << QStringList{"zoom 8"};
    row("left trigger half: zoom out") << Control::LeftTrigger << AxisShape{8, 1.0, 0, true} << tops
                                       << 16384 << QStringList{"zoom -4"};
}

void tst_Gamepad::stickToSpeed()
{
    QFETCH(Control, control);
    QFETCH(AxisShape, shape);
    QFETCH(PadLimits, limits);
    QFETCH(int, value);
    QFETCH(QStringList, expected);

    PadLayout layout;
    Pad::AxisBinding binding = layout.axis(control);
    binding.shape = shape;
    layout.setAxis(control, binding);
    Rig rig(layout, limits);
    auto pad = rig.plug(QStringLiteral("Tarnwick Duo"));
    QVERIFY(pad);
    QVERIFY(rig.move(*pad, control, value));
    QCOMPARE(rig.recorder.take(), expected);

    // Back to rest: one stop, or nothing where nothing moved.
    QVERIFY(rig.move(*pad, control, 0));
    QStringList stop;
    if (!expected.isEmpty())
        stop << QString(expected.first()).replace(QRegularExpression("-?\\d+"), "0");
    QCOMPARE(rig.recorder.take(), stop);
}

// The packets-to-be of a stick pushed slowly right from rest to full and
// back, one pump per step of 1/128 of the travel: every pan speed 1 ... 24
// on the way out, each once, then down again and exactly one stop.
void tst_Gamepad::slowPushFromRestToFullAndBack()
{
    Rig rig;
    auto pad = rig.plug(QStringLiteral("Tarnwick Duo"));
    QVERIFY(pad);
    QStringList where; // the position at which each speed began
    const auto step = [&](int value) {
        const bool taken = rig.move(*pad, Control::LeftX, value);
        for (const QString &line : rig.recorder.take())
            where << QStringLiteral("%1@%2").arg(line.section(' ', 1, 1)).arg(value);
        return taken;
    };
    for (int value = 256; value <= 32768; value += 256)
        QVERIFY(step(qMin(value, 32767)));
    for (int value = 32768 - 256; value >= 0; value -= 256)
        QVERIFY(step(value));
    qInfo().noquote() << "pan speed@position:" << where.join(' ');

    QList<int> speeds;
    for (const QString &w : qAsConst(where))
        speeds << w.section('@', 0, 0).toInt();
    QList<int> expected;
    for (int s = 1; s <= 24; ++s)
        expected << s;
    for (int s = 23; s >= 0; --s)
        expected << s;
    QCOMPARE(speeds, expected);
}

void tst_Gamepad::buttons_data()
{
    QTest::addColumn<Control>("button");
    QTest::addColumn<QStringList>("pressed");
    QTest::addColumn<QStringList>("released");

    QTest::newRow("A: preset 1") << Control::A << QStringList{"preset 1"} << QStringList();
    QTest::newRow("Y: preset 4") << Control::Y << QStringList{"preset 4"} << QStringList();
    QTest::newRow("left shoulder: previous camera")
        << Control::LeftShoulder << QStringList{"camera -1"} << QStringList();
    QTest::newRow("right shoulder: next camera")
        << Control::RightShoulder << QStringList{"camera 1"} << QStringList();
    QTest::newRow("Start: auto focus")
        << Control::Start << QStringList{"focusAuto"} << QStringList();
    QTest::newRow("D-pad up: tilt up at speed 1 while held")
        << Control::DpadUp << QStringList{"panTilt 0 1"} << QStringList{"panTilt 0 0"};
    QTest::newRow("D-pad left: pan left at speed 1 while held")
        << Control::DpadLeft << QStringList{"panTilt -1 0"} << QStringList{"panTilt 0 0"};
    QTest::newRow("Back: nothing by default") << Control::Back << QStringList() << QStringList();
}

void tst_Gamepad::buttons()
{
    QFETCH(Control, button);
    QFETCH(QStringList, pressed);
    QFETCH(QStringList, released);

    Rig rig;
    auto pad = rig.plug(QStringLiteral("Tarnwick Duo"));
    QVERIFY(pad);
    QVERIFY(rig.move(*pad, button, 1));
    QCOMPARE(rig.recorder.take(), pressed);
    QVERIFY(rig.move(*pad, button, 0));
    QCOMPARE(rig.recorder.take(), released);
}

void tst_Gamepad::stopsWhenThePadCannotDrive_data()
{
    QTest::addColumn<QString>("how");
    QTest::addColumn<QStringList>("after");
    const QStringList stops{"panTilt 0 0", "zoom 0", "focus 0"};
    QTest::newRow("pad unplugged") << "unplug" << (stops + QStringList{"gone"});
    QTest::newRow("pad input switched off") << "off" << (stops + QStringList{"gone"});
    QTest::newRow("gamepad destroyed (program closing)") << "destroy" << stops;
}

void tst_Gamepad::stopsWhenThePadCannotDrive()
{
    QFETCH(QString, how);
    QFETCH(QStringList, after);

    Rig rig;
    auto pad = rig.plug(QStringLiteral("Tarnwick Duo"));
    QVERIFY(pad);
    QVERIFY(rig.move(*pad, Control::LeftX, 32767));
    QVERIFY(rig.move(*pad, Control::RightTrigger, 32767));
    QVERIFY(rig.move(*pad, Control::RightY, 32767));
    QCOMPARE(rig.recorder.take(), (QStringList{"panTilt 24 0", "zoom 8", "focus -8"}));

    QElapsedTimer clock;
    clock.start();
    if (how == "unplug")
        pad->unplug();
    else if (how == "off")
        rig.gamepad->setEnabled(false);
    else
        rig.gamepad.reset();
    QTRY_COMPARE(rig.recorder.lines.size(), after.size());
    QCOMPARE(rig.recorder.take(), after);
    QVERIFY2(clock.elapsed() < 2000, qPrintable(QString::number(clock.elapsed())));
}

// Many axis events waiting in SDL's queue when the pump comes: one signal,
// with the newest speed.
void tst_Gamepad::burstLeavesTheNewestSpeed()
{
    Rig rig;
    auto pad = rig.plug(QStringLiteral("Tarnwick Duo"));
    QVERIFY(pad);
    const int before = rig.pumps.count();
    for (int value = 1000; value <= 32000; value += 1000) {
        pad->set(Control::RightTrigger, value);
        VirtualPad::readNow();
    }
    pad->set(Control::RightTrigger, 16384);
    QTRY_VERIFY(rig.pumps.count() > before);
    QCOMPARE(rig.recorder.take(), QStringList{"zoom 4"});
}

// A receiver that switches pad input off on the first move it gets, while
// the same pump still holds a zoom: the stop is the last word, nothing of
// the pump follows it.
void tst_Gamepad::receiverSwitchingOffGetsNothingStale()
{
    Rig rig;
    auto pad = rig.plug(QStringLiteral("Tarnwick Duo"));
    QVERIFY(pad);
    connect(rig.gamepad.get(), &Gamepad::panTilt, rig.gamepad.get(), [&](int pan) {
        if (pan)
            rig.gamepad->setEnabled(false);
    });
    pad->set(Control::LeftX, 32767);
    pad->set(Control::RightTrigger, 32767);
    QTRY_VERIFY(!rig.gamepad->isEnabled());
    QCOMPARE(rig.recorder.take(), (QStringList{"panTilt 24 0", "panTilt 0 0", "gone"}));
}

void tst_Gamepad::padPluggedInLastIsUsed()
{
    Rig rig;
    auto first = rig.plug(QStringLiteral("Tarnwick Duo"));
    QVERIFY(first);
    QVERIFY(rig.move(*first, Control::LeftX, 32767));
    QCOMPARE(rig.recorder.take(), QStringList{"panTilt 24 0"});

    // A second pad plugged in takes over at once; the first one's move stops.
    auto second = std::make_unique<VirtualPad>(QStringLiteral("Quillon Mini"));
    QTRY_COMPARE(rig.gamepad->padName(), QStringLiteral("Quillon Mini"));
    QCOMPARE(rig.recorder.take(), (QStringList{"panTilt 0 0", "gone", "pad Quillon Mini"}));
    QVERIFY(rig.move(*second, Control::LeftY, -32768));
    QCOMPARE(rig.recorder.take(), QStringList{"panTilt 0 20"});

    // Unplugged: its move stops and the first pad, still present, is used
    // again, its stick as it is held now.
    second->unplug();
    QTRY_COMPARE(rig.gamepad->padName(), QStringLiteral("Tarnwick Duo"));
    QTRY_COMPARE(rig.recorder.lines,
                 (QStringList{"panTilt 0 0", "gone", "pad Tarnwick Duo", "panTilt 24 0"}));
}

QTEST_MAIN(tst_Gamepad)
#include "tst_gamepad.moc"

// The camera panels driven as an operator drives them: mouse presses, clicks,
// drags and hovers on a shown window, and the keys that hold the same buttons.
// The window's serial port is a pseudo-terminal; every scenario names the
// exact bytes the camera receives, in order, and that nothing else follows.

// Route QTest's mouse helpers through the window system, so a press grabs the
// pointer and the moves of a drag reach the slider that was pressed.
#define QTEST_QPA_MOUSE_HANDLING

#include "packettext.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QGroupBox>
#include <QHoverEvent>
#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>
#include <QWheelEvent>
#include <QtTest>

#include <memory>

namespace {

// The packets the panels send, as the camera receives them.
namespace Packet {
const char focusAuto[] = "8101043802FF";
const char focusManual[] = "8101043803FF";
const char focusTrigger[] = "8101041801FF";
const char focusStop[] = "8101040800FF";
const char brightnessReset[] = "8101040E00FF";
const char brightnessOff[] = "8101043E03FF";
const char brightnessOn[] = "8101043E02FF";
const char brightnessUp[] = "8101040E02FF";
const char brightnessDown[] = "8101040E03FF";
const char wdrOn[] = "8101043D02FF";
const char wdrOff[] = "8101043D03FF";
const char colorAuto[] = "8101043500FF";
const char color2700k[] = "8101043508FF";
const char color3200k[] = "8101043501FF";
const char color5800k[] = "8101043502FF";
const char ledUp[] = "8201060100010301FF";
const char ledDown[] = "8201060100010302FF";
const char ledStop[] = "8201060100000303FF";
const char ledOff[] = "8201060100180302FF";

} // namespace Packet

// The buttons of the panels, by object name.
const QStringList focusButtons
    = {"pushButtonFocusAuto", "pushButtonFocusTrigger", "pushButtonFocusManual"};
const QStringList brightnessButtons = {"pushButtonBrightnessAuto", "pushButtonBrightnessUp",
                                       "pushButtonBrightnessDown", "pushButtonBrightnessWDR"};
const QStringList colorButtons = {"pushButtonColorAuto", "pushButtonColor2700K",
                                  "pushButtonColor3200K", "pushButtonColor5800K"};
const QStringList ledButtons = {"pushButtonLEDUp", "pushButtonLEDDown", "pushButtonLEDOff"};

// What a rate slider (by object name) sends at a value; every focus change
// clicks Manual first.
QString ratePackets(const QString &slider, int value)
{
    if (slider == QLatin1String("verticalSliderZoom"))
        return PacketText::zoom(value);
    return Packet::focusManual + PacketText::focus(value);
}

enum class Input { Mouse, Keyboard };
enum class SpringBack { Release, HoverLeave };

} // namespace

Q_DECLARE_METATYPE(Input)
Q_DECLARE_METATYPE(SpringBack)

class TstControls : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void buttonClicks_data();
    void buttonClicks();
    void holdToRun_data();
    void holdToRun();
    void focusSliderSendsManualFirst_data();
    void focusSliderSendsManualFirst();
    void sliderSpringsBack_data();
    void sliderSpringsBack();
    void grooveAndWheel_data();
    void grooveAndWheel();
    void hoverHighlight_data();
    void hoverHighlight();
    void pointerPassingOver_data();
    void pointerPassingOver();
    void levelSlidersSendNothing();
    void defaultButtonsClearMarks_data();
    void defaultButtonsClearMarks();
    void controlMenuShowsPanels_data();
    void controlMenuShowsPanels();
    void panTiltEntryRecentresPad();

private:
    tarnDeck &window() { return harness->window(); }
    template<typename T>
    T *widget(const QString &name) const
    {
        T *found = harness->find<T>(name);
        if (!found)
            qFatal("no widget %s", qPrintable(name));
        return found;
    }
    QPushButton *button(const QString &name) const { return widget<QPushButton>(name); }
    QSlider *slider(const QString &name) const { return widget<QSlider>(name); }

    // What the camera got: as many bytes as `expectedHex` holds or, when
    // nothing is expected, whatever arrives within 50 ms.
    QString cameraReceived(const QString &expectedHex);
    QStringList checked(const QStringList &buttons) const;
    void hover(QSlider *target, QEvent::Type type);
    // Presses the handle of `target` and moves the pointer one pixel at a time
    // until the slider shows `value`; the button stays down at `pointer`.
    void grabAndDrag(QSlider *target, int value);
    // Lets go where the pointer is (a release elsewhere would move it first).
    void letGo(QSlider *target)
    {
        QTest::mouseRelease(target, Qt::LeftButton, Qt::NoModifier, pointer);
    }
    void keyRelease(int key, Qt::KeyboardModifiers modifiers);

    std::unique_ptr<WindowHarness> harness;
    QPoint pointer;
};

void TstControls::initTestCase()
{
    TestSettings::useTemporaryStore();
}

// Every row gets a fresh window with all five camera panels shown, large
// enough for real pointer events, connected to a fresh pseudo-terminal.
void TstControls::init()
{
    TestSettings::clear();
    harness = std::make_unique<WindowHarness>();
    QVERIFY(harness->pty().isValid());
    for (const char *entry : {"actionBrightness", "actionColor", "actionLED"}) {
        QAction *action = harness->find<QAction>(QLatin1String(entry));
        QVERIFY(action && !action->isChecked());
        action->trigger();
    }
    window().resize(900, 700);
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    QVERIFY(harness->openPort());
    harness->pty().drain();
}

void TstControls::cleanup()
{
    harness.reset();
}

QString TstControls::cameraReceived(const QString &expectedHex)
{
    return PacketText::received(harness->pty(), expectedHex);
}

QStringList TstControls::checked(const QStringList &buttons) const
{
    QStringList marked;
    for (const QString &name : buttons) {
        if (button(name)->isChecked())
            marked << name;
    }
    return marked;
}

void TstControls::hover(QSlider *target, QEvent::Type type)
{
    const QPoint inside = target->rect().center();
    const QPoint outside(-1, -1);
    const QPoint at = type == QEvent::HoverEnter ? inside : outside;
    const QPoint before = type == QEvent::HoverEnter ? outside : inside;
#if QT_VERSION >= QT_VERSION_CHECK(6, 3, 0)
    QHoverEvent event(type, at, target->mapToGlobal(at), before);
#else
    QHoverEvent event(type, at, before);
#endif
    QApplication::sendEvent(target, &event);
}

void TstControls::grabAndDrag(QSlider *target, int value)
{
    pointer = target->rect().center();
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, pointer);
    QVERIFY2(target->isSliderDown(), "the press did not take the handle");
    // Higher values lie towards the top of a vertical slider.
    const int step = value < target->value() ? 1 : -1;
    for (int moves = 0; target->value() != value && moves < 2 * target->height(); ++moves) {
        pointer.ry() += step;
        QTest::mouseMove(target, pointer);
    }
    QCOMPARE(target->value(), value);
}

void TstControls::keyRelease(int key, Qt::KeyboardModifiers modifiers)
{
    // A single release: QTest::keyRelease would release the modifiers too.
    QKeyEvent release(QEvent::KeyRelease, key, modifiers);
    QApplication::sendEvent(&window(), &release);
}

void TstControls::buttonClicks_data()
{
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QStringList>("panel");
    QTest::addColumn<QStringList>("checkedAfter");

    const QString manual = Packet::focusManual;
    QTest::newRow("focus Auto") << QStringList{"pushButtonFocusAuto"} << QString(Packet::focusAuto)
                                << focusButtons << QStringList{"pushButtonFocusAuto"};
    QTest::newRow("focus Trigger: Manual first")
        << QStringList{"pushButtonFocusTrigger"} << manual + Packet::focusTrigger << focusButtons
        << QStringList{"pushButtonFocusTrigger"};
    QTest::newRow("focus Manual") << QStringList{"pushButtonFocusManual"} << manual << focusButtons
                                  << QStringList{"pushButtonFocusManual"};
    QTest::newRow("focus Auto then Trigger")
        << QStringList{"pushButtonFocusAuto", "pushButtonFocusTrigger"}
        << QString(Packet::focusAuto) + manual + Packet::focusTrigger << focusButtons
        << QStringList{"pushButtonFocusTrigger"};

    const QString autoBrightness = QString(Packet::brightnessReset) + Packet::brightnessOff;
    QTest::newRow("brightness Auto twice stays checked")
        << QStringList{"pushButtonBrightnessAuto", "pushButtonBrightnessAuto"}
        << autoBrightness + autoBrightness << brightnessButtons
        << QStringList{"pushButtonBrightnessAuto"};
    QTest::newRow("WDR on, off, on")
        << QStringList{"pushButtonBrightnessWDR", "pushButtonBrightnessWDR",
                       "pushButtonBrightnessWDR"}
        << QString(Packet::wdrOn) + Packet::wdrOff + Packet::wdrOn << brightnessButtons
        << QStringList{"pushButtonBrightnessWDR"};
    QTest::newRow("WDR leaves brightness Auto alone")
        << QStringList{"pushButtonBrightnessAuto", "pushButtonBrightnessWDR"}
        << autoBrightness + Packet::wdrOn << brightnessButtons
        << QStringList{"pushButtonBrightnessAuto", "pushButtonBrightnessWDR"};

    QTest::newRow("color Auto") << QStringList{"pushButtonColorAuto"} << QString(Packet::colorAuto)
                                << colorButtons << QStringList{"pushButtonColorAuto"};
    QTest::newRow("color 2700K") << QStringList{"pushButtonColor2700K"}
                                 << QString(Packet::color2700k) << colorButtons
                                 << QStringList{"pushButtonColor2700K"};
    QTest::newRow("color 5800K then 3200K")
        << QStringList{"pushButtonColor5800K", "pushButtonColor3200K"}
        << QString(Packet::color5800k) + Packet::color3200k << colorButtons
        << QStringList{"pushButtonColor3200K"};
    QTest::newRow("color 3200K again sends again")
        << QStringList{"pushButtonColor3200K", "pushButtonColor3200K"}
        << QString(Packet::color3200k) + Packet::color3200k << colorButtons
        << QStringList{"pushButtonColor3200K"};

    QTest::newRow("LED Off twice stays checked")
        << QStringList{"pushButtonLEDOff", "pushButtonLEDOff"}
        << QString(Packet::ledOff) + Packet::ledOff << ledButtons
        << QStringList{"pushButtonLEDOff"};
}

void TstControls::buttonClicks()
{
    QFETCH(QStringList, clicks);
    QFETCH(QString, bytes);
    QFETCH(QStringList, panel);
    QFETCH(QStringList, checkedAfter);

    for (const QString &name : clicks)
        QTest::mouseClick(button(name), Qt::LeftButton);

    QCOMPARE(cameraReceived(bytes), PacketText::fromHex(bytes));
    QCOMPARE(cameraReceived(QString()), QString());
    QCOMPARE(checked(panel), checkedAfter);
}

void TstControls::holdToRun_data()
{
    QTest::addColumn<QString>("held");
    QTest::addColumn<Input>("input");
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("clickedBefore");
    QTest::addColumn<QStringList>("panel");
    QTest::addColumn<QString>("pressBytes");
    QTest::addColumn<QStringList>("checkedWhileHeld");
    QTest::addColumn<QString>("releaseBytes");
    QTest::addColumn<QStringList>("checkedAfter");

    struct Held
    {
        const char *name;
        int key;
        Qt::KeyboardModifiers modifiers;
    };
    const Held ledUp{"pushButtonLEDUp", Qt::Key_Plus, Qt::NoModifier};
    const Held ledDown{"pushButtonLEDDown", Qt::Key_Minus, Qt::NoModifier};
    const Held bright{"pushButtonBrightnessUp", Qt::Key_PageUp, Qt::ShiftModifier};
    const Held dark{"pushButtonBrightnessDown", Qt::Key_PageDown, Qt::ShiftModifier};
    const QString brightUp = QString(Packet::brightnessOn) + Packet::brightnessUp;
    const QString darkDown = QString(Packet::brightnessOn) + Packet::brightnessDown;
    const QString autoBrightness = QString(Packet::brightnessReset) + Packet::brightnessOff;

    for (const Input input : {Input::Mouse, Input::Keyboard}) {
        const char *by = input == Input::Mouse ? "mouse" : "keyboard";
        const auto row = [&](const char *what, const Held &held) -> QTestData & {
            return QTest::addRow("%s, %s", what, by)
                << QString(held.name) << input << held.key << held.modifiers;
        };
        row("LED Up", ledUp) << QString() << ledButtons << QString(Packet::ledUp)
                             << QStringList{ledUp.name} << QString(Packet::ledStop)
                             << QStringList();
        row("LED Down", ledDown) << QString() << ledButtons << QString(Packet::ledDown)
                                 << QStringList{ledDown.name} << QString(Packet::ledStop)
                                 << QStringList();
        row("LED Up unmarks Off", ledUp)
            << "pushButtonLEDOff" << ledButtons << QString(Packet::ledOff) + Packet::ledUp
            << QStringList{ledUp.name} << QString(Packet::ledStop) << QStringList();
        row("LED Down keeps Off", ledDown)
            << "pushButtonLEDOff" << ledButtons << QString(Packet::ledOff) + Packet::ledDown
            << QStringList{ledDown.name, "pushButtonLEDOff"} << QString(Packet::ledStop)
            << QStringList{"pushButtonLEDOff"};
        row("Bright", bright) << QString() << brightnessButtons << brightUp
                              << QStringList{bright.name} << QString() << QStringList();
        row("Dark", dark) << QString() << brightnessButtons << darkDown << QStringList{dark.name}
                          << QString() << QStringList();
        row("Bright unmarks Auto", bright)
            << "pushButtonBrightnessAuto" << brightnessButtons << autoBrightness + brightUp
            << QStringList{bright.name} << QString() << QStringList();
        row("Dark unmarks Auto", dark)
            << "pushButtonBrightnessAuto" << brightnessButtons << autoBrightness + darkDown
            << QStringList{dark.name} << QString() << QStringList();
    }
}

void TstControls::holdToRun()
{
    QFETCH(QString, held);
    QFETCH(Input, input);
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, clickedBefore);
    QFETCH(QStringList, panel);
    QFETCH(QString, pressBytes);
    QFETCH(QStringList, checkedWhileHeld);
    QFETCH(QString, releaseBytes);
    QFETCH(QStringList, checkedAfter);

    if (!clickedBefore.isEmpty())
        QTest::mouseClick(button(clickedBefore), Qt::LeftButton);

    if (input == Input::Mouse) {
        QTest::mousePress(button(held), Qt::LeftButton);
    } else {
        QTest::keyPress(&window(), Qt::Key(key), modifiers);
        // Held down: the keyboard repeats the key, and a second press of the
        // same key arrives while the button is still checked.
        QKeyEvent repeat(QEvent::KeyPress, key, modifiers, QString(), true);
        QApplication::sendEvent(&window(), &repeat);
        QKeyEvent again(QEvent::KeyPress, key, modifiers);
        QApplication::sendEvent(&window(), &again);
    }
    QCOMPARE(cameraReceived(pressBytes), PacketText::fromHex(pressBytes));
    QCOMPARE(cameraReceived(QString()), QString());
    QCOMPARE(checked(panel), checkedWhileHeld);

    if (input == Input::Mouse)
        QTest::mouseRelease(button(held), Qt::LeftButton);
    else
        keyRelease(key, modifiers);
    QCOMPARE(cameraReceived(releaseBytes), PacketText::fromHex(releaseBytes));
    QCOMPARE(cameraReceived(QString()), QString());
    QCOMPARE(checked(panel), checkedAfter);
}

void TstControls::focusSliderSendsManualFirst_data()
{
    QTest::addColumn<QString>("clickedBefore");
    QTest::addColumn<int>("value");

    QTest::newRow("from Auto, one step far") << "pushButtonFocusAuto" << 1;
    QTest::newRow("from Trigger, one step near") << "pushButtonFocusTrigger" << -1;
    QTest::newRow("nothing marked, three steps far") << QString() << 3;
}

// Every change of the focus slider clicks Manual before the value goes out.
void TstControls::focusSliderSendsManualFirst()
{
    QFETCH(QString, clickedBefore);
    QFETCH(int, value);

    if (!clickedBefore.isEmpty()) {
        QTest::mouseClick(button(clickedBefore), Qt::LeftButton);
        harness->pty().read(0, 50);
    }
    QSlider *focus = slider("verticalSliderFocus");
    grabAndDrag(focus, value);

    QString expected;
    for (int v = value > 0 ? 1 : -1; qAbs(v) <= qAbs(value); v += value > 0 ? 1 : -1)
        expected += Packet::focusManual + PacketText::focus(v);
    QCOMPARE(cameraReceived(expected), PacketText::fromHex(expected));
    QCOMPARE(checked(focusButtons), QStringList{"pushButtonFocusManual"});

    letGo(focus);
    const QString stop = QString(Packet::focusManual) + Packet::focusStop;
    QCOMPARE(cameraReceived(stop), PacketText::fromHex(stop));
    QCOMPARE(cameraReceived(QString()), QString());
    QCOMPARE(focus->value(), 0);
    QCOMPARE(checked(focusButtons), QStringList{"pushButtonFocusManual"});
}

void TstControls::sliderSpringsBack_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("value");
    QTest::addColumn<SpringBack>("how");

    for (const SpringBack how : {SpringBack::Release, SpringBack::HoverLeave}) {
        const char *by = how == SpringBack::Release ? "released" : "pointer leaves";
        QTest::addRow("zoom down to the end, %s", by) << "verticalSliderZoom" << -8 << how;
        QTest::addRow("zoom up to the end, %s", by) << "verticalSliderZoom" << 8 << how;
        QTest::addRow("zoom up 3, %s", by) << "verticalSliderZoom" << 3 << how;
        QTest::addRow("focus down to the end, %s", by) << "verticalSliderFocus" << -8 << how;
        QTest::addRow("focus up 2, %s", by) << "verticalSliderFocus" << 2 << how;
    }
}

// A drag sends every value the handle passes; letting go, or leaving the
// slider with the pointer, snaps it back to 0, which sends the stop once.
void TstControls::sliderSpringsBack()
{
    QFETCH(QString, name);
    QFETCH(int, value);
    QFETCH(SpringBack, how);

    const auto packets = [&name](int v) { return ratePackets(name, v); };
    QSlider *target = slider(name);
    hover(target, QEvent::HoverEnter);
    grabAndDrag(target, value);

    QString dragged;
    const int step = value > 0 ? 1 : -1;
    for (int v = step; qAbs(v) <= qAbs(value); v += step)
        dragged += packets(v);
    QCOMPARE(cameraReceived(dragged), PacketText::fromHex(dragged));

    if (how == SpringBack::HoverLeave) {
        hover(target, QEvent::HoverLeave);
        QCOMPARE(target->value(), 0);
        QCOMPARE(cameraReceived(packets(0)), PacketText::fromHex(packets(0)));
        QCOMPARE(target->styleSheet(), QStringLiteral("border: 2px solid rgb( 31, 31, 31 )"));
        // Letting go afterwards finds the handle at rest already.
        letGo(target);
        QCOMPARE(cameraReceived(QString()), QString());
    } else {
        letGo(target);
        QCOMPARE(cameraReceived(packets(0)), PacketText::fromHex(packets(0)));
        QCOMPARE(cameraReceived(QString()), QString());
    }
    QCOMPARE(target->value(), 0);
    QCOMPARE(target->sliderPosition(), 0);
}

void TstControls::grooveAndWheel_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("notches"); // 0: a click on the groove instead
    QTest::addColumn<int>("paged");   // the value the groove click pages to

    QTest::newRow("zoom, groove above the handle") << "verticalSliderZoom" << 0 << 1;
    QTest::newRow("zoom, groove below the handle") << "verticalSliderZoom" << 0 << -1;
    QTest::newRow("focus, groove above the handle") << "verticalSliderFocus" << 0 << 1;
    QTest::newRow("zoom, wheel up") << "verticalSliderZoom" << 3 << 0;
    QTest::newRow("focus, wheel down") << "verticalSliderFocus" << -2 << 0;
}

// A click on the groove pages the slider without taking the handle; the
// release still springs it back. A wheel turn over a rate slider drives
// nothing.
void TstControls::grooveAndWheel()
{
    QFETCH(QString, name);
    QFETCH(int, notches);
    QFETCH(int, paged);

    const auto packets = [&name](int v) { return ratePackets(name, v); };
    QSlider *target = slider(name);
    if (notches != 0) {
        const QPoint at = target->rect().center();
        QWheelEvent wheel(at, target->mapToGlobal(at), QPoint(), QPoint(0, 120 * notches),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(target, &wheel);
        QCOMPARE(target->value(), 0);
        QCOMPARE(cameraReceived(QString()), QString());
        return;
    }
    pointer = QPoint(target->width() / 2, paged > 0 ? 2 : target->height() - 3);
    QTest::mousePress(target, Qt::LeftButton, Qt::NoModifier, pointer);
    QVERIFY(!target->isSliderDown());
    QCOMPARE(target->value(), paged);
    QCOMPARE(cameraReceived(packets(paged)), PacketText::fromHex(packets(paged)));
    letGo(target);
    QCOMPARE(target->value(), 0);
    QCOMPARE(cameraReceived(packets(0)), PacketText::fromHex(packets(0)));
    // The page repeat ended with the press.
    QTest::qWait(700);
    QCOMPARE(target->value(), 0);
    QCOMPARE(cameraReceived(QString()), QString());
}

void TstControls::hoverHighlight_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<bool>("springsBack");
    QTest::addColumn<bool>("lightsUp");

    QTest::newRow("zoom") << "verticalSliderZoom" << true << true << true;
    QTest::newRow("focus") << "verticalSliderFocus" << true << true << true;
    QTest::newRow("brightness") << "verticalSliderBrightness" << true << false << true;
    QTest::newRow("LED") << "verticalSliderLED" << true << false << true;
    // Without a route the zoom and focus panels are disabled: their sliders
    // neither light up nor move; the level sliders do not look at the panel.
    QTest::newRow("zoom, port closed") << "verticalSliderZoom" << false << false << false;
    QTest::newRow("focus, port closed") << "verticalSliderFocus" << false << false << false;
    QTest::newRow("brightness, port closed")
        << "verticalSliderBrightness" << false << false << true;
}

void TstControls::hoverHighlight()
{
    QFETCH(QString, name);
    QFETCH(bool, portOpen);
    QFETCH(bool, springsBack);
    QFETCH(bool, lightsUp);

    const QString highlight = QStringLiteral("border : 2px solid rgb( 223, 148, 0 )");
    const QString plain = QStringLiteral("border: 2px solid rgb( 31, 31, 31 )");
    QSlider *target = slider(name);
    if (!portOpen)
        harness->closePort();
    // Displaced without a pointer on it, so that only the hover events below
    // can bring it back.
    target->setValue(2);
    harness->pty().read(0, 50);
    const QString styleBefore = target->styleSheet();

    hover(target, QEvent::HoverEnter);
    QCOMPARE(target->styleSheet(), lightsUp ? highlight : styleBefore);
    QCOMPARE(target->value(), 2);

    hover(target, QEvent::HoverLeave);
    QCOMPARE(target->styleSheet(), lightsUp ? plain : styleBefore);
    QCOMPARE(target->value(), springsBack ? 0 : 2);
}

void TstControls::pointerPassingOver_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("stopBytes");

    QTest::newRow("zoom") << "verticalSliderZoom" << PacketText::zoom(0);
    QTest::newRow("focus") << "verticalSliderFocus" << Packet::focusManual + PacketText::focus(0);
}

// The real pointer, moved over a displaced rate slider and off it again: the
// slider lights up, then snaps back to 0 (sending the stop) and goes plain.
void TstControls::pointerPassingOver()
{
    QFETCH(QString, name);
    QFETCH(QString, stopBytes);

    QSlider *target = slider(name);
    const QPoint away = window().rect().bottomRight() - QPoint(2, 2);
    QVERIFY(!target->geometry().contains(target->parentWidget()->mapFrom(&window(), away)));
    // Two moves: a move to where the pointer already is (left there by an
    // earlier window) is dropped, and the window must see the pointer once
    // before it can tell which widget the pointer enters.
    QTest::mouseMove(&window(), away - QPoint(1, 1));
    QTest::mouseMove(&window(), away);
    target->setValue(2);
    harness->pty().read(0, 50);

    QTest::mouseMove(target, target->rect().center());
    QTRY_COMPARE(target->styleSheet(), QStringLiteral("border : 2px solid rgb( 223, 148, 0 )"));
    QCOMPARE(target->value(), 2);
    QCOMPARE(cameraReceived(QString()), QString());

    QTest::mouseMove(&window(), away);
    QTRY_COMPARE(target->styleSheet(), QStringLiteral("border: 2px solid rgb( 31, 31, 31 )"));
    QCOMPARE(target->value(), 0);
    QCOMPARE(cameraReceived(stopBytes), PacketText::fromHex(stopBytes));
    QCOMPARE(cameraReceived(QString()), QString());
}

// The brightness and LED sliders are hidden and drive nothing.
void TstControls::levelSlidersSendNothing()
{
    for (const char *name : {"verticalSliderBrightness", "verticalSliderLED"}) {
        QSlider *level = slider(QLatin1String(name));
        QVERIFY(level->isHidden());
        for (int value : {level->minimum(), level->maximum(), 3})
            level->setValue(value);
    }
    QCOMPARE(cameraReceived(QString()), QString());
}

void TstControls::defaultButtonsClearMarks_data()
{
    QTest::addColumn<QString>("clicked");
    QTest::addColumn<QString>("defaultBytes");
    QTest::addColumn<QStringList>("thenClicked");
    QTest::addColumn<QStringList>("group");

    QTest::newRow("nothing marked") << QString() << QString() << QStringList() << QStringList();
    for (const QString &name : focusButtons) {
        QTest::addRow("%s", qPrintable(name))
            << name << QString() << QStringList{"pushButtonFocusTrigger", "pushButtonFocusManual"}
            << focusButtons;
    }
    for (const QString &name : colorButtons) {
        QTest::addRow("%s", qPrintable(name))
            << name << QString() << QStringList{"pushButtonColor2700K", "pushButtonColorAuto"}
            << colorButtons;
    }
    QTest::newRow("brightness Auto")
        << "pushButtonBrightnessAuto" << QString() << QStringList() << QStringList();
    // The buttons toggle as usual: an unchecked WDR sends its "off".
    QTest::newRow("WDR") << "pushButtonBrightnessWDR" << QString(Packet::wdrOff) << QStringList()
                         << QStringList();
    QTest::newRow("LED Off") << "pushButtonLEDOff" << QString() << QStringList() << QStringList();
}

// setPushButtonDefault clears every mark, exclusive groups included, and
// leaves those groups exclusive.
void TstControls::defaultButtonsClearMarks()
{
    QFETCH(QString, clicked);
    QFETCH(QString, defaultBytes);
    QFETCH(QStringList, thenClicked);
    QFETCH(QStringList, group);

    if (!clicked.isEmpty()) {
        QTest::mouseClick(button(clicked), Qt::LeftButton);
        QVERIFY(button(clicked)->isChecked());
        harness->pty().read(0, 50);
    }

    QVERIFY(QMetaObject::invokeMethod(&window(), "setPushButtonDefault"));
    QCOMPARE(cameraReceived(defaultBytes), PacketText::fromHex(defaultBytes));
    QCOMPARE(cameraReceived(QString()), QString());
    const QStringList all = focusButtons + brightnessButtons + colorButtons + ledButtons;
    QCOMPARE(checked(all), QStringList());
    for (const QString &name : focusButtons + colorButtons)
        QVERIFY2(button(name)->autoExclusive(), qPrintable(name));

    for (const QString &name : thenClicked)
        QTest::mouseClick(button(name), Qt::LeftButton);
    if (!thenClicked.isEmpty())
        QCOMPARE(checked(group), QStringList{thenClicked.constLast()});
}

void TstControls::controlMenuShowsPanels_data()
{
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("panel");
    QTest::addColumn<bool>("shownAtStart");

    QTest::newRow("Zoom") << "actionZoom"
                          << "groupBoxZoom" << true;
    QTest::newRow("Focus") << "actionFocus"
                           << "groupBoxFocus" << true;
    QTest::newRow("Brightness") << "actionBrightness"
                                << "groupBoxBrightness" << false;
    QTest::newRow("Color") << "actionColor"
                           << "groupBoxColor" << false;
    QTest::newRow("LED") << "actionLED"
                         << "groupBoxLED" << false;
    QTest::newRow("Pan-Tilt") << "actionPanTilt"
                              << "groupBoxPanTilt" << false;
}

// A panel is shown exactly while its "Control" entry is checked; the other
// panels stay as they are.
void TstControls::controlMenuShowsPanels()
{
    QFETCH(QString, action);
    QFETCH(QString, panel);
    QFETCH(bool, shownAtStart);

    // A window of its own: the one of init() has shown extra panels.
    harness.reset();
    harness = std::make_unique<WindowHarness>();
    const QStringList panels = {"groupBoxPanTilt",    "groupBoxZoom",  "groupBoxFocus",
                                "groupBoxBrightness", "groupBoxColor", "groupBoxLED"};
    const auto shown = [this, &panels] {
        QStringList visible;
        for (const QString &name : panels) {
            if (!widget<QGroupBox>(name)->isHidden())
                visible << name;
        }
        return visible;
    };
    const QStringList atStart = {"groupBoxZoom", "groupBoxFocus"};
    QCOMPARE(shown(), atStart);
    QAction *entry = harness->find<QAction>(action);
    QVERIFY(entry);
    QCOMPARE(entry->isChecked(), shownAtStart);

    QStringList toggled = atStart;
    for (int round = 0; round < 2; ++round) {
        entry->trigger();
        if (toggled.contains(panel))
            toggled.removeOne(panel);
        else
            toggled << panel;
        QStringList expected;
        for (const QString &name : panels) {
            if (toggled.contains(name))
                expected << name;
        }
        QCOMPARE(shown(), expected);
        QCOMPARE(entry->isChecked(), expected.contains(panel));
    }
}

// The pan-tilt entry is hidden from the menu, yet triggering it shows the
// panel and, once the event loop has run, the square pad sits in its middle.
void TstControls::panTiltEntryRecentresPad()
{
    QAction *entry = harness->find<QAction>(QStringLiteral("actionPanTilt"));
    QGroupBox *panel = widget<QGroupBox>(QStringLiteral("groupBoxPanTilt"));
    QWidget *pad = widget<QWidget>(QStringLiteral("widgetPT"));
    QVERIFY(!entry->isVisible());
    QVERIFY(panel->isHidden());

    entry->trigger();
    QVERIFY(!panel->isHidden());
    const auto centredIn = [panel, pad] {
        const QRect r = panel->contentsRect();
        return pad->width() == pad->height()
            && pad->pos()
            == QPoint(r.left() + (r.width() - pad->width()) / 2,
                      r.top() + (r.height() - pad->height()) / 2);
    };
    QTRY_VERIFY(centredIn());
    QVERIFY(pad->width() > 0);

    entry->trigger();
    QVERIFY(panel->isHidden());
}

QTEST_MAIN(TstControls)
#include "tst_controls.moc"

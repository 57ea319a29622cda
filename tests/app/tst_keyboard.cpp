// Keyboard control of the camera. First the key table on its own: which
// action a key gives with which modifiers, on a first press, an auto-repeat
// and a release. Then the real window, shown, with a pseudo-terminal as its
// serial port, driven by key events: for every step of a key sequence, the
// bytes the camera receives, the zoom and focus slider values and the state
// of the pan-tilt pad.
#include "heldkeys.h"
#include "keyboardmap.h"
#include "packettext.h"
#include "ptmath.h"
#include "ptwidget.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>
#include <QtTest>

#include <climits>
#include <memory>

namespace {

constexpr Qt::KeyboardModifiers none = Qt::NoModifier;
constexpr Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
constexpr Qt::KeyboardModifiers alt = Qt::AltModifier;
constexpr Qt::KeyboardModifiers shift = Qt::ShiftModifier;

// ---- the key table -------------------------------------------------------

QString actionName(KeyActionKind kind)
{
    using K = KeyActionKind;
    static const QMap<K, QString> names = {
        {K::PressLedUp, "PressLedUp"},
        {K::PressLedDown, "PressLedDown"},
        {K::ReleaseLedUp, "ReleaseLedUp"},
        {K::ReleaseLedDown, "ReleaseLedDown"},
        {K::ClickLedOff, "ClickLedOff"},
        {K::ClickBrightnessAuto, "ClickBrightnessAuto"},
        {K::ClickFocusAuto, "ClickFocusAuto"},
        {K::ClickFocusTrigger, "ClickFocusTrigger"},
        {K::PadSetSpeed, "PadSetSpeed"},
        {K::PadChangeSpeed, "PadChangeSpeed"},
        {K::PadKeepSpeed, "PadKeepSpeed"},
        {K::PadRest, "PadRest"},
        {K::ZoomStep, "ZoomStep"},
        {K::ZoomSet, "ZoomSet"},
        {K::FocusSet, "FocusSet"},
        {K::PressBrightnessUp, "PressBrightnessUp"},
        {K::PressBrightnessDown, "PressBrightnessDown"},
        {K::ReleaseBrightness, "ReleaseBrightness"},
        {K::PresetDigit, "PresetDigit"},
        {K::PresetStoreKey, "PresetStoreKey"},
        {K::PresetCancel, "PresetCancel"},
        {K::SelectCamera, "SelectCamera"},
        {K::NextCamera, "NextCamera"},
    };
    return names.value(kind, QStringLiteral("?"));
}

// "ZoomStep 1", "PadSetSpeed -3 0": the numbers only where the action has
// them.
QString describe(const QVector<KeyAction> &actions)
{
    using K = KeyActionKind;
    QStringList words;
    for (const KeyAction &action : actions) {
        QString word = actionName(action.kind);
        switch (action.kind) {
        case K::PadSetSpeed:
        case K::PadChangeSpeed:
            word += QStringLiteral(" %1 %2").arg(action.x).arg(action.y);
            break;
        case K::ZoomStep:
        case K::ZoomSet:
        case K::FocusSet:
        case K::PresetDigit:
        case K::SelectCamera:
        case K::NextCamera:
            word += QStringLiteral(" %1").arg(action.x);
            break;
        default:
            break;
        }
        words << word;
    }
    return words.join(QStringLiteral(", "));
}

void addKeyTableColumns()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("autoRepeat");
    QTest::addColumn<QString>("actions");
}

void keyTableRow(const char *name, int key, Qt::KeyboardModifiers modifiers, bool autoRepeat,
                 const char *actions)
{
    QTest::newRow(name) << key << modifiers << autoRepeat << QString(actions);
}

using KeyTable = QVector<KeyAction> (*)(int, Qt::KeyboardModifiers, bool);

void checkKeyTable(KeyTable table)
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, autoRepeat);
    QFETCH(QString, actions);

    QCOMPARE(describe(table(key, modifiers, autoRepeat)), actions);
}

// ---- the window ----------------------------------------------------------

// The packets the keys lead to, as the camera receives them.
namespace Packet {
const char focusAuto[] = "8101043802FF";
const char focusManual[] = "8101043803FF";
const char focusTrigger[] = "8101041801FF";
const char brightnessReset[] = "8101040E00FF";
const char brightnessOff[] = "8101043E03FF";
const char brightnessOn[] = "8101043E02FF";
const char brightnessUp[] = "8101040E02FF";
const char brightnessDown[] = "8101040E03FF";
const char ledUp[] = "8201060100010301FF";
const char ledDown[] = "8201060100010302FF";
const char ledStop[] = "8201060100000303FF";
const char ledOff[] = "8201060100180302FF";

using PacketText::zoom;
// Every change of the focus slider clicks Manual first.
QString focus(int value)
{
    return focusManual + PacketText::focus(value);
}
} // namespace Packet

QString stepBytesText(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QStringLiteral("nothing sent") : PacketText::fromBytes(bytes);
}

// One key event of a sequence and what it should lead to. The sliders and
// the pad are looked at only where a step names them.
struct KeyStep
{
    enum Kind { Press, Repeat, Release };
    Kind kind;
    int key;
    Qt::KeyboardModifiers modifiers;
    QString bytes; // the packets the camera receives, concatenated

    static constexpr int unchecked = INT_MIN;
    int zoom = unchecked;
    int focus = unchecked;
    bool checkPad = false;
    QPoint padSpeed;
    bool padActive = false;

    KeyStep zoomAt(int value) const
    {
        KeyStep step = *this;
        step.zoom = value;
        return step;
    }
    KeyStep focusAt(int value) const
    {
        KeyStep step = *this;
        step.focus = value;
        return step;
    }
    // The pad's speed and whether it is running; at rest the ring is at the
    // centre, while running it lies speed steps away from it.
    KeyStep padAt(int pan, int tilt, bool running) const
    {
        KeyStep step = *this;
        step.checkPad = true;
        step.padSpeed = QPoint(pan, tilt);
        step.padActive = running;
        return step;
    }
};

KeyStep makeStep(KeyStep::Kind kind, int key, Qt::KeyboardModifiers modifiers, const QString &bytes)
{
    KeyStep step{};
    step.kind = kind;
    step.key = key;
    step.modifiers = modifiers;
    step.bytes = bytes;
    step.zoom = KeyStep::unchecked;
    step.focus = KeyStep::unchecked;
    return step;
}
KeyStep press(int key, Qt::KeyboardModifiers modifiers = none, const QString &bytes = QString())
{
    return makeStep(KeyStep::Press, key, modifiers, bytes);
}
KeyStep repeat(int key, Qt::KeyboardModifiers modifiers = none, const QString &bytes = QString())
{
    return makeStep(KeyStep::Repeat, key, modifiers, bytes);
}
KeyStep release(int key, Qt::KeyboardModifiers modifiers = none, const QString &bytes = QString())
{
    return makeStep(KeyStep::Release, key, modifiers, bytes);
}

using KeySequence = QVector<KeyStep>;

// One native key event for the held-keys bookkeeping, or (scanCode 0, key 0)
// a loss of focus that forgets every hold.
struct NativeKey
{
    bool press;
    quint32 scanCode;
    ulong time;
    int key;
    Qt::KeyboardModifiers modifiers;
    bool toolkitRepeat;
};
using NativeKeys = QVector<NativeKey>;
NativeKey nativePress(quint32 code, ulong time, int key, Qt::KeyboardModifiers m = none,
                      bool toolkitRepeat = false)
{
    return {true, code, time, key, m, toolkitRepeat};
}
NativeKey nativeRelease(quint32 code, ulong time, int key, Qt::KeyboardModifiers m = none,
                        bool toolkitRepeat = false)
{
    return {false, code, time, key, m, toolkitRepeat};
}
const NativeKey focusLost{false, 0, 0, 0, none, false};

QString padText(const QPoint &speed, bool running, const QPoint &ring)
{
    return QStringLiteral(" | pad %1,%2 %3 ring %4,%5")
        .arg(speed.x())
        .arg(speed.y())
        .arg(running ? QStringLiteral("running") : QStringLiteral("at rest"))
        .arg(ring.x())
        .arg(ring.y());
}

} // namespace

Q_DECLARE_METATYPE(KeySequence)
Q_DECLARE_METATYPE(NativeKeys)
Q_DECLARE_METATYPE(RepeatSource)

class TstKeyboard : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void pressTable_data();
    void pressTable();
    void releaseTable_data();
    void releaseTable();

    void heldKeys_data();
    void heldKeys();
    void keySequences_data();
    void keySequences();
    void padSequences_data();
    void padSequences();
    void padDrivesTheCamera_data();
    void padDrivesTheCamera();
    void noRouteNoKeyEffect_data();
    void noRouteNoKeyEffect();
    void disabledCentralWidgetIgnoresKeys();

private:
    tarnDeck &window() { return harness->window(); }
    void send(const KeyStep &step);
    // What one step did, in the words of the step's expectations.
    QString observed(const KeyStep &step);
    QString expected(const KeyStep &step) const;
    void runSequence(const KeySequence &steps);

    std::unique_ptr<WindowHarness> harness;
    PTWidget *pad = nullptr;
    QSlider *zoomSlider = nullptr;
    QSlider *focusSlider = nullptr;
};

void TstKeyboard::initTestCase()
{
    TestSettings::useTemporaryStore();
}

// Every row gets a fresh window, shown with the pan-tilt panel as well, and
// connected to a fresh pseudo-terminal.
void TstKeyboard::init()
{
    TestSettings::clear();
    harness = std::make_unique<WindowHarness>();
    QVERIFY(harness->pty().isValid());
    pad = harness->find<PTWidget>(QStringLiteral("widgetPT"));
    zoomSlider = harness->find<QSlider>(QStringLiteral("verticalSliderZoom"));
    focusSlider = harness->find<QSlider>(QStringLiteral("verticalSliderFocus"));
    QVERIFY(pad && zoomSlider && focusSlider);
    harness->find<QAction>(QStringLiteral("actionPanTilt"))->trigger();
    window().resize(700, 500);
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    QVERIFY(harness->openPort());
    harness->pty().drain();
}

void TstKeyboard::cleanup()
{
    harness.reset();
}

void TstKeyboard::pressTable_data()
{
    addKeyTableColumns();
    keyTableRow("+", Qt::Key_Plus, none, false, "PressLedUp");
    keyTableRow("+ with Ctrl", Qt::Key_Plus, ctrl, false, "PressLedUp");
    keyTableRow("+ repeated", Qt::Key_Plus, none, true, "");
    keyTableRow("- with Shift", Qt::Key_Minus, shift, false, "PressLedDown");
    keyTableRow("- repeated", Qt::Key_Minus, none, true, "");
    keyTableRow("0 with Alt", Qt::Key_0, alt, false, "ClickLedOff");
    keyTableRow("0 repeated", Qt::Key_0, none, true, "");
    // The keypad with NumLock on: presets; with NumLock off its keys are
    // Home, End, arrows and pages and keep their rows.
    constexpr Qt::KeyboardModifiers keypad = Qt::KeypadModifier;
    keyTableRow("keypad 3", Qt::Key_3, keypad, false, "PresetDigit 3");
    keyTableRow("keypad 9 with Shift", Qt::Key_9, keypad | shift, false, "PresetDigit 9");
    keyTableRow("keypad 0", Qt::Key_0, keypad, false, "PresetDigit 10");
    keyTableRow("keypad 3 repeated", Qt::Key_3, keypad, true, "");
    keyTableRow("keypad 3 with Ctrl", Qt::Key_3, keypad | ctrl, false, "");
    keyTableRow("keypad 3 with Alt", Qt::Key_3, keypad | alt, false, "");
    keyTableRow("keypad 0 with Ctrl", Qt::Key_0, keypad | ctrl, false, "ClickLedOff");
    keyTableRow("keypad *", Qt::Key_Asterisk, keypad, false, "PresetStoreKey");
    keyTableRow("keypad * repeated", Qt::Key_Asterisk, keypad, true, "");
    keyTableRow("main-row 3", Qt::Key_3, none, false, "");
    keyTableRow("Escape", Qt::Key_Escape, none, false, "PresetCancel");
    keyTableRow("keypad Home (NumLock off)", Qt::Key_Home, keypad, false, "ClickFocusAuto");
    keyTableRow("keypad Page Up (NumLock off)", Qt::Key_PageUp, keypad, false, "ZoomSet 3");

    keyTableRow("Home", Qt::Key_Home, none, false, "ClickFocusAuto");
    keyTableRow("Home+Shift", Qt::Key_Home, shift, false, "ClickBrightnessAuto");
    keyTableRow("Home+Ctrl", Qt::Key_Home, ctrl, false, "ClickFocusAuto");
    keyTableRow("Home+Alt", Qt::Key_Home, alt, false, "ClickFocusAuto");
    keyTableRow("Home+Ctrl+Shift", Qt::Key_Home, ctrl | shift, false, "ClickBrightnessAuto");
    keyTableRow("Home+Alt+Shift", Qt::Key_Home, alt | shift, false, "ClickBrightnessAuto");
    keyTableRow("Home repeated", Qt::Key_Home, none, true, "");
    keyTableRow("End+Ctrl+Alt+Shift", Qt::Key_End, ctrl | alt | shift, false, "ClickFocusTrigger");
    keyTableRow("End repeated", Qt::Key_End, none, true, "");

    keyTableRow("Left", Qt::Key_Left, none, false, "PadSetSpeed -3 0");
    keyTableRow("Left repeated", Qt::Key_Left, none, true, "PadKeepSpeed");
    keyTableRow("Left+Ctrl", Qt::Key_Left, ctrl, false, "PadChangeSpeed -1 0");
    keyTableRow("Left+Ctrl repeated", Qt::Key_Left, ctrl, true, "PadChangeSpeed -1 0");
    keyTableRow("Left+Alt: Alt does not count", Qt::Key_Left, alt, false, "PadSetSpeed -3 0");
    keyTableRow("Left+Shift repeated", Qt::Key_Left, shift, true, "PadKeepSpeed");
    keyTableRow("Up", Qt::Key_Up, none, false, "PadSetSpeed 0 -3");
    keyTableRow("Up+Ctrl", Qt::Key_Up, ctrl, false, "PadChangeSpeed 0 -1");
    keyTableRow("Right", Qt::Key_Right, none, false, "PadSetSpeed 3 0");
    keyTableRow("Right+Ctrl+Alt", Qt::Key_Right, ctrl | alt, false, "PadChangeSpeed 1 0");
    keyTableRow("Down", Qt::Key_Down, none, false, "PadSetSpeed 0 3");
    keyTableRow("Down+Ctrl+Shift", Qt::Key_Down, ctrl | shift, false, "PadChangeSpeed 0 1");

    keyTableRow("PageUp", Qt::Key_PageUp, none, false, "ZoomSet 3");
    keyTableRow("PageUp+Ctrl", Qt::Key_PageUp, ctrl, false, "ZoomStep 1");
    keyTableRow("PageUp+Alt", Qt::Key_PageUp, alt, false, "FocusSet 1");
    keyTableRow("PageUp+Shift", Qt::Key_PageUp, shift, false, "PressBrightnessUp");
    keyTableRow("PageUp+Ctrl+Alt: Ctrl first", Qt::Key_PageUp, ctrl | alt, false, "ZoomStep 1");
    keyTableRow("PageUp+Ctrl+Shift: Ctrl first", Qt::Key_PageUp, ctrl | shift, false, "ZoomStep 1");
    keyTableRow("PageUp+Alt+Shift: Alt first", Qt::Key_PageUp, alt | shift, false, "FocusSet 1");
    keyTableRow("PageUp+Meta: no listed modifier", Qt::Key_PageUp, Qt::MetaModifier, false,
                "ZoomSet 3");
    keyTableRow("PageUp repeated", Qt::Key_PageUp, none, true, "");
    keyTableRow("PageUp+Ctrl repeated", Qt::Key_PageUp, ctrl, true, "");
    keyTableRow("PageUp+Shift repeated", Qt::Key_PageUp, shift, true, "");
    keyTableRow("PageDown", Qt::Key_PageDown, none, false, "ZoomSet -3");
    keyTableRow("PageDown+Ctrl", Qt::Key_PageDown, ctrl, false, "ZoomStep -1");
    keyTableRow("PageDown+Alt", Qt::Key_PageDown, alt, false, "FocusSet -1");
    keyTableRow("PageDown+Shift", Qt::Key_PageDown, shift, false, "PressBrightnessDown");
    keyTableRow("PageDown+Ctrl+Alt+Shift", Qt::Key_PageDown, ctrl | alt | shift, false,
                "ZoomStep -1");
    keyTableRow("PageDown+Alt repeated", Qt::Key_PageDown, alt, true, "");

    keyTableRow("Ctrl itself", Qt::Key_Control, ctrl, false, "");
    keyTableRow("A", Qt::Key_A, none, false, "");
    keyTableRow("Space+Ctrl", Qt::Key_Space, ctrl, false, "");

    keyTableRow("1+Ctrl: camera 1", Qt::Key_1, ctrl, false, "SelectCamera 1");
    keyTableRow("9+Ctrl+Shift: camera 9", Qt::Key_9, ctrl | shift, false, "SelectCamera 9");
    keyTableRow("2+Ctrl repeated", Qt::Key_2, ctrl, true, "");
    keyTableRow("2 alone", Qt::Key_2, none, false, "");
    keyTableRow("2+Alt", Qt::Key_2, alt, false, "");
    keyTableRow("keypad 2+Ctrl: the presets'", Qt::Key_2, ctrl | Qt::KeypadModifier, false, "");
    keyTableRow("0+Ctrl stays the lamp's", Qt::Key_0, ctrl, false, "ClickLedOff");
    keyTableRow("Tab+Ctrl: next camera", Qt::Key_Tab, ctrl, false, "NextCamera 1");
    keyTableRow("Backtab+Ctrl: previous camera", Qt::Key_Backtab, ctrl | shift, false,
                "NextCamera -1");
    keyTableRow("Tab+Ctrl+Shift: previous camera", Qt::Key_Tab, ctrl | shift, false,
                "NextCamera -1");
    keyTableRow("Tab alone: the focus chain's", Qt::Key_Tab, none, false, "");
}

void TstKeyboard::pressTable()
{
    checkKeyTable(keyPressActions);
}

void TstKeyboard::releaseTable_data()
{
    addKeyTableColumns();
    keyTableRow("+", Qt::Key_Plus, none, false, "ReleaseLedUp");
    keyTableRow("+ with Ctrl", Qt::Key_Plus, ctrl, false, "ReleaseLedUp");
    keyTableRow("+ repeated", Qt::Key_Plus, none, true, "");
    keyTableRow("-", Qt::Key_Minus, alt, false, "ReleaseLedDown");
    keyTableRow("0", Qt::Key_0, none, false, "");
    keyTableRow("Home+Shift", Qt::Key_Home, shift, false, "");
    keyTableRow("End", Qt::Key_End, none, false, "");

    keyTableRow("Left", Qt::Key_Left, none, false, "PadRest");
    keyTableRow("Left+Ctrl: speed kept", Qt::Key_Left, ctrl, false, "");
    keyTableRow("Left repeated", Qt::Key_Left, none, true, "");
    keyTableRow("Up+Alt", Qt::Key_Up, alt, false, "PadRest");
    keyTableRow("Right+Shift", Qt::Key_Right, shift, false, "PadRest");
    keyTableRow("Down+Ctrl+Shift", Qt::Key_Down, ctrl | shift, false, "");

    keyTableRow("PageUp", Qt::Key_PageUp, none, false, "ZoomSet 0");
    keyTableRow("PageUp+Ctrl: zoom kept", Qt::Key_PageUp, ctrl, false, "");
    keyTableRow("PageUp+Alt", Qt::Key_PageUp, alt, false, "ZoomSet 0, FocusSet 0");
    keyTableRow("PageUp+Shift", Qt::Key_PageUp, shift, false, "ZoomSet 0, ReleaseBrightness");
    keyTableRow("PageDown+Alt+Shift", Qt::Key_PageDown, alt | shift, false,
                "ZoomSet 0, FocusSet 0, ReleaseBrightness");
    keyTableRow("PageDown+Ctrl+Alt+Shift", Qt::Key_PageDown, ctrl | alt | shift, false,
                "FocusSet 0, ReleaseBrightness");
    keyTableRow("PageUp repeated", Qt::Key_PageUp, none, true, "");

    keyTableRow("Ctrl", Qt::Key_Control, none, false, "ZoomSet 0, FocusSet 0, PadRest");
    keyTableRow("Ctrl with Ctrl still reported", Qt::Key_Control, ctrl, false,
                "ZoomSet 0, FocusSet 0, PadRest");
    keyTableRow("Ctrl repeated", Qt::Key_Control, ctrl, true, "ZoomSet 0, FocusSet 0, PadRest");
    keyTableRow("Alt", Qt::Key_Alt, alt, false, "ZoomSet 0, FocusSet 0, PadRest");
    keyTableRow("Shift", Qt::Key_Shift, shift, false, "");
    keyTableRow("A", Qt::Key_A, none, false, "");
}

void TstKeyboard::releaseTable()
{
    checkKeyTable(keyReleaseActions);
}

void TstKeyboard::heldKeys_data()
{
    QTest::addColumn<RepeatSource>("source");
    QTest::addColumn<NativeKeys>("events");
    QTest::addColumn<QString>("seen");
    const int pgUp = Qt::Key_PageUp;
    const int shiftKey = Qt::Key_Shift;

    QTest::newRow("detectable: a press of a key already down is a repeat")
        << RepeatSource::Detectable
        << NativeKeys{nativePress(112, 100, pgUp), nativePress(112, 760, pgUp),
                      nativePress(112, 800, pgUp), nativeRelease(112, 900, pgUp)}
        << "PageUp first, PageUp repeat, PageUp repeat, PageUp release";
    QTest::newRow("detectable: + as Shift+=, Shift let go first")
        << RepeatSource::Detectable
        << NativeKeys{nativePress(50, 100, shiftKey), nativePress(21, 150, Qt::Key_Plus, shift),
                      nativeRelease(50, 300, shiftKey, shift),
                      nativeRelease(21, 350, Qt::Key_Equal)}
        << "Shift first, Plus+Shift first, Shift release, Plus+Shift release";
    QTest::newRow("detectable: Ctrl joins a held Page Up")
        << RepeatSource::Detectable
        << NativeKeys{nativePress(112, 100, pgUp), nativePress(112, 760, pgUp, ctrl),
                      nativeRelease(112, 900, pgUp, ctrl)}
        << "PageUp first, PageUp repeat, PageUp release";
    QTest::newRow("detectable: focus lost, the next press is a first press")
        << RepeatSource::Detectable
        << NativeKeys{nativePress(112, 100, pgUp), focusLost, nativePress(112, 900, pgUp)}
        << "PageUp first, PageUp first";
    QTest::newRow("paired: the release leaves at once, its press is a repeat")
        << RepeatSource::Paired
        << NativeKeys{nativePress(112, 100, pgUp),
                      nativeRelease(112, 760, pgUp),
                      nativePress(112, 760, pgUp),
                      nativeRelease(112, 800, pgUp, none, true),
                      nativePress(112, 800, pgUp, none, true),
                      nativeRelease(112, 900, pgUp),
                      nativePress(112, 1500, pgUp)}
        << "PageUp first, PageUp release, PageUp repeat, PageUp release repeat, PageUp repeat, "
           "PageUp release, PageUp first";
    QTest::newRow("toolkit: events without a scan code keep their own key and flag")
        << RepeatSource::Toolkit
        << NativeKeys{nativePress(0, 100, Qt::Key_Plus, shift),
                      nativePress(0, 150, pgUp, none, true), nativeRelease(0, 200, Qt::Key_Equal)}
        << "Plus+Shift first, PageUp repeat, Equal release";
}

// The held keys as the key table sees them: which key, modifiers and
// repeat flag each native event turns into.
void TstKeyboard::heldKeys()
{
    QFETCH(RepeatSource, source);
    QFETCH(NativeKeys, events);
    QFETCH(QString, seen);

    const auto name = [](const KeyEventView &view) {
        static const QMap<int, QString> names = {{Qt::Key_PageUp, "PageUp"},
                                                 {Qt::Key_Plus, "Plus"},
                                                 {Qt::Key_Equal, "Equal"},
                                                 {Qt::Key_Shift, "Shift"}};
        return names.value(view.key, QStringLiteral("?"))
            + (view.modifiers & Qt::ShiftModifier ? QStringLiteral("+Shift") : QString());
    };
    HeldKeys held(source);
    QStringList words;
    for (const NativeKey &e : events) {
        if (e.key == 0) {
            held.forget();
            continue;
        }
        const KeyEventView view = e.press
            ? held.press(e.scanCode, e.time, e.key, e.modifiers, e.toolkitRepeat)
            : held.release(e.scanCode, e.time, e.key, e.modifiers, e.toolkitRepeat);
        words << name(view) + (e.press ? QString() : QStringLiteral(" release"))
                + (view.autoRepeat ? QStringLiteral(" repeat")
                                   : (e.press ? QStringLiteral(" first") : QString()));
    }
    QCOMPARE(words.join(QStringLiteral(", ")), seen);
}

void TstKeyboard::send(const KeyStep &step)
{
    switch (step.kind) {
    case KeyStep::Press:
        // Presses the modifiers first, as a keyboard does.
        QTest::keyPress(&window(), Qt::Key(step.key), step.modifiers);
        break;
    case KeyStep::Repeat: {
        QKeyEvent event(QEvent::KeyPress, step.key, step.modifiers, QString(), true);
        QApplication::sendEvent(&window(), &event);
        break;
    }
    case KeyStep::Release: {
        // One release only: QTest::keyRelease would let go of the modifiers
        // as well, and the sequences hold them across several keys.
        QKeyEvent event(QEvent::KeyRelease, step.key, step.modifiers);
        QApplication::sendEvent(&window(), &event);
        break;
    }
    }
}

QString TstKeyboard::observed(const KeyStep &step)
{
    const int expectedBytes = QByteArray::fromHex(step.bytes.toLatin1()).size();
    // The window writes synchronously: what a step sends is already there.
    QString text = stepBytesText(expectedBytes > 0 ? harness->pty().read(expectedBytes)
                                                   : harness->pty().drain());
    if (step.zoom != KeyStep::unchecked)
        text += QStringLiteral(" | zoom %1").arg(zoomSlider->value());
    if (step.focus != KeyStep::unchecked)
        text += QStringLiteral(" | focus %1").arg(focusSlider->value());
    if (step.checkPad) {
        const int unit = PtMath::stepForWidth(pad->width());
        const QPoint offset = pad->currentPosition() - pad->currentCenter();
        text += padText(pad->currentSpeed(), pad->isActive(), unit > 0 ? offset / unit : offset);
        // A key that starts the pad measures from the middle of the pad.
        if (pad->isActive() && pad->currentCenter() != QPoint(pad->width() / 2, pad->height() / 2))
            text += QStringLiteral(" off-centre");
    }
    return text;
}

QString TstKeyboard::expected(const KeyStep &step) const
{
    QString text = stepBytesText(QByteArray::fromHex(step.bytes.toLatin1()));
    if (step.zoom != KeyStep::unchecked)
        text += QStringLiteral(" | zoom %1").arg(step.zoom);
    if (step.focus != KeyStep::unchecked)
        text += QStringLiteral(" | focus %1").arg(step.focus);
    if (step.checkPad)
        text += padText(step.padSpeed, step.padActive,
                        step.padActive ? step.padSpeed : QPoint(0, 0));
    return text;
}

// Sends the steps one by one and compares, step by step, what happened.
void TstKeyboard::runSequence(const KeySequence &steps)
{
    QStringList actual;
    QStringList wanted;
    for (const KeyStep &step : steps) {
        send(step);
        actual << observed(step);
        wanted << expected(step);
    }
    QCOMPARE(actual, wanted);
    QCOMPARE(PacketText::received(harness->pty(), QString()), QString());
}

void TstKeyboard::keySequences_data()
{
    QTest::addColumn<KeySequence>("steps");
    using namespace Packet;
    const int pgUp = Qt::Key_PageUp;
    const int pgDn = Qt::Key_PageDown;
    const QString brightnessAuto = QString(brightnessReset) + brightnessOff;

    QTest::newRow("Page Up held: zoom 3 until release")
        << KeySequence{press(pgUp, none, zoom(3)).zoomAt(3), repeat(pgUp).zoomAt(3),
                       repeat(pgUp).zoomAt(3), release(pgUp, none, zoom(0)).zoomAt(0)};
    QTest::newRow("Page Down held: zoom -3 until release")
        << KeySequence{press(pgDn, none, zoom(-3)).zoomAt(-3), repeat(pgDn),
                       release(pgDn, none, zoom(0)).zoomAt(0)};
    QTest::newRow("Ctrl+Page Up twice: 1, 2, kept, stop at Ctrl release") << KeySequence{
        press(Qt::Key_Control, ctrl).zoomAt(0), press(pgUp, ctrl, zoom(1)).zoomAt(1),
        release(pgUp, ctrl).zoomAt(1),          press(pgUp, ctrl, zoom(2)).zoomAt(2),
        release(pgUp, ctrl).zoomAt(2),          release(Qt::Key_Control, ctrl, zoom(0)).zoomAt(0)};
    QTest::newRow("Ctrl+Page Up held: one step only")
        << KeySequence{press(pgUp, ctrl, zoom(1)).zoomAt(1), repeat(pgUp, ctrl).zoomAt(1),
                       repeat(pgUp, ctrl).zoomAt(1), release(pgUp, ctrl).zoomAt(1),
                       release(Qt::Key_Control, none, zoom(0)).zoomAt(0)};
    QTest::newRow("Ctrl+Page Up then Ctrl+Page Down: back at 0, Ctrl sends nothing") << KeySequence{
        press(pgUp, ctrl, zoom(1)), release(pgUp, ctrl), press(pgDn, ctrl, zoom(0)).zoomAt(0),
        release(pgDn, ctrl), release(Qt::Key_Control, ctrl).zoomAt(0)};
    {
        // Nine steps down: the slider stops at its end, the ninth sends nothing.
        KeySequence steps{press(Qt::Key_Control, ctrl)};
        for (int n = 1; n <= 9; ++n) {
            const int value = qMax(-n, -8);
            steps << press(pgDn, ctrl, n <= 8 ? zoom(value) : QString()).zoomAt(value)
                  << release(pgDn, ctrl);
        }
        steps << release(Qt::Key_Control, none, zoom(0)).zoomAt(0);
        QTest::newRow("Ctrl+Page Down past the end") << steps;
    }
    QTest::newRow("Page Up after Ctrl steps sets 3") << KeySequence{
        press(pgUp, ctrl, zoom(1)), release(pgUp, ctrl), release(Qt::Key_Control, none, zoom(0)),
        press(pgUp, none, zoom(3)).zoomAt(3), release(pgUp, none, zoom(0)).zoomAt(0)};

    QTest::newRow("Alt+Page Up held: focus 1 until release") << KeySequence{
        press(pgUp, alt, focus(1)).focusAt(1).zoomAt(0), repeat(pgUp, alt).focusAt(1),
        release(pgUp, alt, focus(0)).focusAt(0), release(Qt::Key_Alt, none).focusAt(0)};
    QTest::newRow("Alt+Page Down, Alt let go first") << KeySequence{
        press(pgDn, alt, focus(-1)).focusAt(-1), release(Qt::Key_Alt, alt, focus(0)).focusAt(0),
        release(pgDn, none).focusAt(0)};
    QTest::newRow("Ctrl release stops zoom, then focus")
        << KeySequence{press(pgUp, alt, focus(1)).focusAt(1),
                       press(pgUp, ctrl | alt, zoom(1)).zoomAt(1).focusAt(1),
                       release(Qt::Key_Control, alt, zoom(0) + focus(0)).zoomAt(0).focusAt(0),
                       release(pgUp, alt), release(Qt::Key_Alt, none)};

    QTest::newRow("Shift+Page Up holds Bright")
        << KeySequence{press(pgUp, shift, QString(brightnessOn) + brightnessUp).zoomAt(0),
                       repeat(pgUp, shift), release(pgUp, shift), release(Qt::Key_Shift, none)};
    QTest::newRow("Shift+Page Down holds Dark")
        << KeySequence{press(pgDn, shift, QString(brightnessOn) + brightnessDown),
                       repeat(pgDn, shift), release(pgDn, shift), release(Qt::Key_Shift, none)};
    QTest::newRow("Shift+Page Up twice presses twice") << KeySequence{
        press(pgUp, shift, QString(brightnessOn) + brightnessUp), release(pgUp, shift),
        press(pgUp, shift, QString(brightnessOn) + brightnessUp), release(pgUp, shift)};
    QTest::newRow("Ctrl before Alt on Page Up")
        << KeySequence{press(pgUp, ctrl | alt, zoom(1)).zoomAt(1).focusAt(0),
                       release(pgUp, ctrl | alt).zoomAt(1).focusAt(0),
                       release(Qt::Key_Control, alt, zoom(0)).zoomAt(0)};
    QTest::newRow("Alt before Shift on Page Up")
        << KeySequence{press(pgUp, alt | shift, focus(1)).focusAt(1),
                       release(pgUp, alt | shift, focus(0)).focusAt(0)};
    QTest::newRow("Ctrl before Shift on Page Down")
        << KeySequence{press(pgDn, ctrl | shift, zoom(-1)).zoomAt(-1), release(pgDn, ctrl | shift),
                       release(Qt::Key_Control, shift, zoom(0))};

    QTest::newRow("+ held: LED up until release")
        << KeySequence{press(Qt::Key_Plus, none, ledUp), repeat(Qt::Key_Plus), repeat(Qt::Key_Plus),
                       release(Qt::Key_Plus, none, ledStop)};
    QTest::newRow("- held: LED down until release")
        << KeySequence{press(Qt::Key_Minus, none, ledDown), repeat(Qt::Key_Minus),
                       release(Qt::Key_Minus, none, ledStop)};
    QTest::newRow("+ with Ctrl") << KeySequence{press(Qt::Key_Plus, ctrl, ledUp),
                                                release(Qt::Key_Plus, ctrl, ledStop),
                                                release(Qt::Key_Control, none)};
    QTest::newRow("0: LED off") << KeySequence{press(Qt::Key_0, none, ledOff), repeat(Qt::Key_0),
                                               release(Qt::Key_0)};

    QTest::newRow("Home: focus Auto") << KeySequence{press(Qt::Key_Home, none, focusAuto),
                                                     repeat(Qt::Key_Home), release(Qt::Key_Home)};
    QTest::newRow("Shift+Home: brightness Auto")
        << KeySequence{press(Qt::Key_Home, shift, brightnessAuto), repeat(Qt::Key_Home, shift),
                       release(Qt::Key_Home, shift)};
    QTest::newRow("Ctrl+Home: focus Auto")
        << KeySequence{press(Qt::Key_Home, ctrl, focusAuto), release(Qt::Key_Home, ctrl)};
    QTest::newRow("Alt+Home: focus Auto")
        << KeySequence{press(Qt::Key_Home, alt, focusAuto), release(Qt::Key_Home, alt)};
    QTest::newRow("Ctrl+Shift+Home: brightness Auto")
        << KeySequence{press(Qt::Key_Home, ctrl | shift, brightnessAuto)};
    QTest::newRow("Alt+Shift+Home: brightness Auto")
        << KeySequence{press(Qt::Key_Home, alt | shift, brightnessAuto)};
    QTest::newRow("End: Manual, then Trigger")
        << KeySequence{press(Qt::Key_End, none, QString(focusManual) + focusTrigger),
                       repeat(Qt::Key_End), release(Qt::Key_End)};
    QTest::newRow("Alt+End: Manual, then Trigger")
        << KeySequence{press(Qt::Key_End, alt, QString(focusManual) + focusTrigger)};

    QTest::newRow("arrows drive the pad only") << KeySequence{
        press(Qt::Key_Left),     repeat(Qt::Key_Left),      release(Qt::Key_Left),
        press(Qt::Key_Up, ctrl), release(Qt::Key_Up, ctrl), release(Qt::Key_Control, none)};
    QTest::newRow("keys outside the table") << KeySequence{press(Qt::Key_A),
                                                           release(Qt::Key_A),
                                                           press(Qt::Key_Space, ctrl),
                                                           release(Qt::Key_Space, ctrl),
                                                           press(Qt::Key_F1),
                                                           press(Qt::Key_Return),
                                                           press(Qt::Key_Shift, shift),
                                                           release(Qt::Key_Shift)};
}

void TstKeyboard::keySequences()
{
    QFETCH(KeySequence, steps);
    runSequence(steps);
}

void TstKeyboard::padSequences_data()
{
    QTest::addColumn<KeySequence>("steps");
    const int left = Qt::Key_Left;
    const int up = Qt::Key_Up;
    const int right = Qt::Key_Right;
    const int down = Qt::Key_Down;

    QTest::newRow("Ctrl+Right three times, kept until Ctrl is released")
        << KeySequence{press(Qt::Key_Control, ctrl).padAt(0, 0, false),
                       press(right, ctrl).padAt(1, 0, true),
                       release(right, ctrl).padAt(1, 0, true),
                       press(right, ctrl).padAt(2, 0, true),
                       release(right, ctrl).padAt(2, 0, true),
                       press(right, ctrl).padAt(3, 0, true),
                       release(right, ctrl).padAt(3, 0, true),
                       release(Qt::Key_Control, ctrl).padAt(0, 0, false)};
    QTest::newRow("Left held: -3 at once, repeats keep it, release rests")
        << KeySequence{press(left).padAt(-3, 0, true), repeat(left).padAt(-3, 0, true),
                       repeat(left).padAt(-3, 0, true), release(left).padAt(0, 0, false)};
    QTest::newRow("Up held") << KeySequence{press(up).padAt(0, -3, true),
                                            repeat(up).padAt(0, -3, true),
                                            release(up).padAt(0, 0, false)};
    QTest::newRow("Down with Alt acts as plain Down")
        << KeySequence{press(down, alt).padAt(0, 3, true), release(down, alt).padAt(0, 0, false)};
    QTest::newRow("Right with Shift, repeated") << KeySequence{
        press(right, shift).padAt(3, 0, true), repeat(right, shift).padAt(3, 0, true),
        release(right, shift).padAt(0, 0, false)};
    QTest::newRow("Ctrl+Up repeats step and stop at -5") << KeySequence{
        press(up, ctrl).padAt(0, -1, true),   repeat(up, ctrl).padAt(0, -2, true),
        repeat(up, ctrl).padAt(0, -3, true),  repeat(up, ctrl).padAt(0, -4, true),
        repeat(up, ctrl).padAt(0, -5, true),  repeat(up, ctrl).padAt(0, -5, true),
        release(up, ctrl).padAt(0, -5, true), release(Qt::Key_Control, none).padAt(0, 0, false)};
    QTest::newRow("Ctrl+Left and Ctrl+Down add up") << KeySequence{
        press(left, ctrl).padAt(-1, 0, true),   press(down, ctrl).padAt(-1, 1, true),
        press(down, ctrl).padAt(-1, 2, true),   release(down, ctrl).padAt(-1, 2, true),
        release(left, ctrl).padAt(-1, 2, true), release(Qt::Key_Control, none).padAt(0, 0, false)};
    QTest::newRow("Right, then Ctrl+Left steps from 3") << KeySequence{
        press(right).padAt(3, 0, true), press(left, ctrl).padAt(2, 0, true),
        release(left, ctrl).padAt(2, 0, true), release(Qt::Key_Control, none).padAt(0, 0, false),
        release(right).padAt(0, 0, false)};
    QTest::newRow("Alt release rests the pad too")
        << KeySequence{press(left, ctrl).padAt(-1, 0, true), release(left, ctrl).padAt(-1, 0, true),
                       release(Qt::Key_Alt, none).padAt(0, 0, false)};
    QTest::newRow("a second plain arrow replaces the speed")
        << KeySequence{press(left).padAt(-3, 0, true), press(up).padAt(0, -3, true),
                       release(up).padAt(0, 0, false), release(left).padAt(0, 0, false)};
}

// The pad follows the arrows; its speeds never become commands.
void TstKeyboard::padSequences()
{
    QFETCH(KeySequence, steps);
    QVERIFY(pad->isVisible());
    QVERIFY(PtMath::stepForWidth(pad->width()) > 0);
    runSequence(steps);
}

void TstKeyboard::padDrivesTheCamera_data()
{
    QTest::addColumn<KeySequence>("steps");
    const int left = Qt::Key_Left;
    const int up = Qt::Key_Up;
    const int right = Qt::Key_Right;
    const int down = Qt::Key_Down;
    const char *const stop = "8101060101010303FF";

    QTest::newRow("Left held: one drive, repeats send nothing, stop on release")
        << KeySequence{press(left, none, "810106010D010103FF").padAt(-3, 0, true), repeat(left),
                       repeat(left), release(left, none, stop).padAt(0, 0, false)};
    QTest::newRow("Down with Alt tilts down")
        << KeySequence{press(down, alt, "81010601010B0302FF"), release(down, alt, stop)};
    QTest::newRow("Ctrl+Right twice: each step a packet, Ctrl release stops") << KeySequence{
        press(right, ctrl, "8101060101010203FF"), press(right, ctrl, "8101060107010203FF"),
        release(right, ctrl), release(Qt::Key_Control, none, stop)};
    QTest::newRow("Ctrl+Up past the fastest: the sixth step sends nothing") << KeySequence{
        press(up, ctrl, "8101060101010301FF"),  repeat(up, ctrl, "8101060101060301FF"),
        repeat(up, ctrl, "81010601010B0301FF"), repeat(up, ctrl, "81010601010F0301FF"),
        repeat(up, ctrl, "8101060101140301FF"), repeat(up, ctrl),
        release(Qt::Key_Alt, none, stop)};
    QTest::newRow("a second plain arrow replaces the drive") << KeySequence{
        press(left, none, "810106010D010103FF"), press(up, none, "81010601010B0301FF"),
        release(up, none, stop), release(left)};
}

// With "Pan-tilt drives the camera" on, the same keys reach the camera.
void TstKeyboard::padDrivesTheCamera()
{
    QFETCH(KeySequence, steps);
    harness->find<QAction>(QStringLiteral("actionPanTiltDrive"))->trigger();
    runSequence(steps);
}

void TstKeyboard::noRouteNoKeyEffect_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<bool>("wasConnected");
    QTest::addColumn<int>("restKey");

    const struct
    {
        const char *name;
        int key;
        Qt::KeyboardModifiers modifiers;
    } keys[] = {
        {"Page Up", Qt::Key_PageUp, none},
        {"Ctrl+Page Up", Qt::Key_PageUp, ctrl},
        {"Alt+Page Up", Qt::Key_PageUp, alt},
        {"Shift+Page Up", Qt::Key_PageUp, shift},
        {"Page Down", Qt::Key_PageDown, none},
        {"Ctrl+Page Down", Qt::Key_PageDown, ctrl},
        {"Alt+Page Down", Qt::Key_PageDown, alt},
        {"Shift+Page Down", Qt::Key_PageDown, shift},
        {"+", Qt::Key_Plus, none},
        {"-", Qt::Key_Minus, none},
        {"0", Qt::Key_0, none},
        {"Home", Qt::Key_Home, none},
        {"Shift+Home", Qt::Key_Home, shift},
        {"End", Qt::Key_End, none},
        {"Left", Qt::Key_Left, none},
        {"Ctrl+Right", Qt::Key_Right, ctrl},
    };
    for (const auto &k : keys) {
        QTest::addRow("%s, never connected", k.name)
            << k.key << k.modifiers << false << int(Qt::Key_Control);
        QTest::addRow("%s, port closed again", k.name)
            << k.key << k.modifiers << true << int(Qt::Key_Control);
    }
    QTest::newRow("Page Up, rest by Alt")
        << int(Qt::Key_PageUp) << none << false << int(Qt::Key_Alt);
}

// Without a route a key press changes nothing, but letting go of Ctrl or
// Alt still returns the zoom and focus sliders and the pad to rest.
void TstKeyboard::noRouteNoKeyEffect()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(bool, wasConnected);
    QFETCH(int, restKey);

    harness->closePort();
    if (wasConnected) {
        QVERIFY(harness->openPort());
        harness->closePort();
    }
    QVERIFY(window().windowTitle().endsWith(QStringLiteral(" - Not connected")));
    harness->pty().drain();

    // Displaced by other means than the keys under test.
    zoomSlider->setValue(2);
    focusSlider->setValue(-1);
    pad->recenter();
    pad->setSpeed(2, 1);
    pad->setActive(true);
    const QList<QPushButton *> buttons = window().findChildren<QPushButton *>();
    const auto checkedButtons = [&buttons] {
        QStringList names;
        for (const QPushButton *button : buttons) {
            if (button->isChecked())
                names << button->objectName();
        }
        return names;
    };
    const QStringList checkedBefore = checkedButtons();

    QTest::keyPress(&window(), Qt::Key(key), modifiers);
    QCOMPARE(zoomSlider->value(), 2);
    QCOMPARE(focusSlider->value(), -1);
    QCOMPARE(pad->currentSpeed(), QPoint(2, 1));
    QVERIFY(pad->isActive());
    QCOMPARE(checkedButtons(), checkedBefore);

    QTest::keyRelease(&window(), Qt::Key(restKey));
    QCOMPARE(zoomSlider->value(), 0);
    QCOMPARE(focusSlider->value(), 0);
    QCOMPARE(pad->currentSpeed(), QPoint(0, 0));
    QVERIFY(!pad->isActive());
    QCOMPARE(pad->currentPosition(), pad->currentCenter());
    QCOMPARE(PacketText::received(harness->pty(), QString()), QString());
}

// With the central widget disabled neither presses nor releases act, even
// with the port open.
void TstKeyboard::disabledCentralWidgetIgnoresKeys()
{
    window().centralWidget()->setEnabled(false);
    QTest::keyPress(&window(), Qt::Key_PageUp);
    QCOMPARE(zoomSlider->value(), 0);
    QCOMPARE(PacketText::received(harness->pty(), QString()), QString());

    zoomSlider->setValue(2);
    QCOMPARE(PacketText::received(harness->pty(), Packet::zoom(2)),
             PacketText::fromHex(Packet::zoom(2)));
    QTest::keyPress(&window(), Qt::Key_Plus);
    QTest::keyRelease(&window(), Qt::Key_Control);
    QTest::keyRelease(&window(), Qt::Key_PageUp);
    QCOMPARE(zoomSlider->value(), 2);
    QVERIFY(!harness->find<QPushButton>(QStringLiteral("pushButtonLEDUp"))->isChecked());
    QCOMPARE(PacketText::received(harness->pty(), QString()), QString());
}

QTEST_MAIN(TstKeyboard)
#include "tst_keyboard.moc"

// The main window as an object: what a first start looks like, what the
// settings store gives back at the next start (through a real store file),
// what closing writes, the two start-up log lines, and the style chosen for
// the desktop's composition state.
#include "appstart.h"
#include "pixmapcachesweep.h"
#include "desktopcomposition.h"
#include "settingsguard.h"
#include "tarndeck.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPixmapCache>
#include <QPushButton>
#include <QScopeGuard>
#include <QSettings>
#include <QSlider>
#include <QStyle>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/stat.h>
#include <termios.h>

namespace {

// One log line as the message handler saw it.
struct LogLine
{
    QtMsgType type;
    QByteArray category;
    QString text;
};

// Collects every message while it lives.
class LogCapture
{
public:
    LogCapture()
    {
        lines().clear();
        previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture() { qInstallMessageHandler(previous); }

    static QList<LogLine> &lines()
    {
        static QList<LogLine> captured;
        return captured;
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        lines().append({type, QByteArray(context.category), text});
    }

    QtMessageHandler previous = nullptr;
};

// The entries of one serial parameter group, as the "&Baudrate" and
// "&Protocol" menus offer them (hidden entries included).
const QHash<QString, QStringList> &serialGroups()
{
    static const QHash<QString, QStringList> groups = {
        {"baudrate",
         {"action4800", "action9600", "action14400", "action19200", "action28800", "action38400",
          "action57600", "action115200"}},
        {"databits", {"actionDatabits7", "actionDatabits8"}},
        {"parity", {"actionParityNone", "actionParityOdd", "actionParityEven"}},
        {"stopbits", {"actionStopbits1", "actionStopbits1_5", "actionStopbits2"}},
        {"flowcontrol",
         {"actionFlowcontrolNone", "actionFlowcontrolHardware", "actionFlowcontrolSoftware"}},
    };
    return groups;
}

// What the store holds for the serial parameters after a first start.
const QHash<QString, int> &serialDefaults()
{
    static const QHash<QString, int> defaults = {
        {"baudrate", 9600}, {"databits", 8}, {"parity", 0}, {"stopbits", 1}, {"flowcontrol", 0},
    };
    return defaults;
}

QStringList checkedEntries(const tarnDeck &window, const QString &group)
{
    QStringList checked;
    const QStringList names = serialGroups().value(group);
    for (const QString &name : names) {
        const QAction *action = window.findChild<QAction *>(name);
        if (action && action->isChecked())
            checked << name;
    }
    return checked;
}

QStringList menuBarTitles(const tarnDeck &window)
{
    QStringList titles;
    const QList<QAction *> items = window.findChild<QMenuBar *>("menuBar")->actions();
    for (const QAction *item : items)
        titles << item->text();
    return titles;
}

QVariant storedValue(const QString &key)
{
    QSettings store;
    return store.value(key);
}

// The file's permission bits as the system keeps them.
int permissionBits(const QString &path)
{
    struct stat info
    {
    };
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return -1;
    return int(info.st_mode & 07777);
}

// The output speed the line behind a pty master is set to (a B constant).
speed_t lineSpeed(int master)
{
    termios line{};
    if (::tcgetattr(master, &line) != 0)
        return speed_t(-1);
    return ::cfgetospeed(&line);
}

} // namespace

Q_DECLARE_METATYPE(DesktopComposition)

class tst_MainWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void firstStartFlags_data();
    void firstStartFlags();
    void firstStartTexts_data();
    void firstStartTexts();
    void firstStartMenuBarHasNoParameterMenus();
    void everyMenuTitleFits_data();
    void everyMenuTitleFits();
    void everyControlIsDescribed();
    void tooltipNamesTheKey_data();
    void tooltipNamesTheKey();
    void tabMovesThroughTheEncoderFieldsOnly();
    void startUpLogsIdentityAndQtVersion();

    void storedSerialParameter_data();
    void storedSerialParameter();
    void storedPanelChoice_data();
    void storedPanelChoice();
    void storedPortSettings_data();
    void storedPortSettings();
    void storedPanTiltDrive_data();
    void storedPanTiltDrive();
    void encoderEntryFollowsActiKey_data();
    void encoderEntryFollowsActiKey();
    void unreadableGeometryKeepsTheFormSize();
    void implausibleLayoutIsSkipped_data();
    void implausibleLayoutIsSkipped();
    void untrustedStoreIsSetAside_data();
    void untrustedStoreIsSetAside();
    void symlinkedStoreIsNeverFollowed_data();
    void symlinkedStoreIsNeverFollowed();
    void trustedValuesSurviveTheGuard_data();
    void trustedValuesSurviveTheGuard();
    void unreadStoreIsNeverWritten();

    void fullRoundTrip();
    void passwordIsStoredAsPlainText();
    void storeFileIsOwnerOnlyAfterSave();
    void closingWithThePortOpenClosesItAndKeepsItsParameters();
    void disablingPanelsClearsProfileAndStatus();

    void styleForComposition_data();
    void styleForComposition();
    void sessionBusAutolaunch_data();
    void sessionBusAutolaunch();
    void pixmapCacheEmptiedAfterRepaints();
};

void tst_MainWindow::initTestCase()
{
    TestSettings::useTemporaryStore();
    // Closing a window in a test must never end the application.
    QApplication::setQuitOnLastWindowClosed(false);
    // Every window logs its two start-up lines; only one test reads them.
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.app.info=false"));
}

void tst_MainWindow::init()
{
    TestSettings::clear();
}

void tst_MainWindow::firstStartFlags_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("aspect"); // "checked", "visible" or "enabled"
    QTest::addColumn<bool>("expected");

    const auto row = [](const char *name, const char *aspect, bool expected) {
        QTest::addRow("%s %s", name, aspect)
            << QString::fromLatin1(name) << QString::fromLatin1(aspect) << expected;
    };

    // Panels shown by the form's check marks; brightness, colour and lamp off.
    row("actionZoom", "checked", true);
    row("actionFocus", "checked", true);
    row("actionBrightness", "checked", false);
    row("actionColor", "checked", false);
    row("actionLED", "checked", false);
    row("groupBoxZoom", "visible", true);
    row("groupBoxFocus", "visible", true);
    row("groupBoxBrightness", "visible", false);
    row("groupBoxColor", "visible", false);
    row("groupBoxLED", "visible", false);
    // Nothing to drive without a link.
    row("groupBoxZoom", "enabled", false);
    row("groupBoxFocus", "enabled", false);
    row("groupBoxBrightness", "enabled", false);
    row("groupBoxColor", "enabled", false);
    row("groupBoxLED", "enabled", false);
    row("menuCameraProfiles", "enabled", false);
    // The pad and the encoder panel are out of sight.
    row("groupBoxPanTilt", "visible", false);
    row("actionPanTilt", "visible", false);
    row("actionPanTilt", "checked", false);
    row("groupBoxActi", "visible", false);
    row("actionACTi", "visible", false);
    row("actionACTi", "checked", false);
    row("verticalSliderBrightness", "visible", false);
    row("verticalSliderLED", "visible", false);
    row("verticalSliderZoom", "visible", true);
    row("verticalSliderFocus", "visible", true);
    // Parameter menus hidden; the rarely used values not offered.
    row("actionPortSettings", "checked", false);
    row("action14400", "visible", false);
    row("action28800", "visible", false);
    row("actionStopbits1_5", "visible", false);
    row("action9600", "visible", true);
    row("actionStopbits2", "visible", true);
    // The defaults of every parameter group.
    row("action9600", "checked", true);
    row("actionDatabits8", "checked", true);
    row("actionParityNone", "checked", true);
    row("actionStopbits1", "checked", true);
    row("actionFlowcontrolNone", "checked", true);
    // Profiles 0 to 5 offered, none chosen; saving and resetting need one.
    for (const char *name :
         {"actionCameraProfile0", "actionCameraProfile1", "actionCameraProfile2",
          "actionCameraProfile3", "actionCameraProfile4", "actionCameraProfile5"}) {
        row(name, "visible", true);
        row(name, "checked", false);
    }
    for (const char *name : {"actionCameraProfile6", "actionCameraProfile7", "actionCameraProfile8",
                             "actionCameraProfile9"})
        row(name, "visible", false);
    row("actionCameraSave", "enabled", false);
    row("actionCameraReset", "enabled", false);
    row("actionCameraSaveCustom", "enabled", true);
}

void tst_MainWindow::firstStartFlags()
{
    QFETCH(QString, name);
    QFETCH(QString, aspect);
    QFETCH(bool, expected);

    tarnDeck window;
    QObject *object = window.findChild<QObject *>(name);
    QVERIFY2(object, qPrintable(name));

    bool actual = false;
    if (auto *action = qobject_cast<QAction *>(object)) {
        if (aspect == QLatin1String("checked"))
            actual = action->isChecked();
        else if (aspect == QLatin1String("visible"))
            actual = action->isVisible();
        else
            actual = action->isEnabled();
    } else {
        auto *widget = qobject_cast<QWidget *>(object);
        QVERIFY(widget);
        QVERIFY(aspect != QLatin1String("checked"));
        // The window is not shown: ask whether it would be visible with it.
        actual = aspect == QLatin1String("visible") ? widget->isVisibleTo(&window)
                                                    : widget->isEnabled();
    }
    QCOMPARE(actual, expected);
}

void tst_MainWindow::firstStartTexts_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");

    QTest::newRow("window title") << QString() << "Veltrane - tarnDeck 1.0 - Not connected";
    QTest::newRow("status line empty") << "labelLastCommand" << QString();
    QTest::newRow("encoder status") << "labelActiStatus"
                                    << "Not connected";
    QTest::newRow("encoder user") << "lineEditActiUser"
                                  << "Admin";
    QTest::newRow("encoder password") << "lineEditActiPassword"
                                      << "418275";
}

void tst_MainWindow::firstStartTexts()
{
    QFETCH(QString, name);
    QFETCH(QString, expected);

    tarnDeck window;
    QString actual;
    if (name.isEmpty())
        actual = window.windowTitle();
    else if (auto *label = window.findChild<QLabel *>(name))
        actual = label->text();
    else if (auto *field = window.findChild<QLineEdit *>(name))
        actual = field->text();
    else
        QFAIL(qPrintable(QStringLiteral("no such widget: ") + name));
    QCOMPARE(actual, expected);
}

void tst_MainWindow::firstStartMenuBarHasNoParameterMenus()
{
    tarnDeck window;
    // The size asked for, unless the menu bar needs more width.
    QCOMPARE(window.size(), QSize(qMax(240, window.minimumWidth()), 140));
    QCOMPARE(menuBarTitles(window),
             (QStringList{"&Connect", "Control", "Camera profiles", "Options"}));
}

void tst_MainWindow::everyMenuTitleFits_data()
{
    QTest::addColumn<bool>("portSettings");
    QTest::addColumn<bool>("toggleAfterShow");
    QTest::newRow("first start") << false << false;
    QTest::newRow("parameter menus stored shown") << true << false;
    QTest::newRow("parameter menus shown while running") << false << true;
}

// No menu title hides behind the menu bar's overflow button.
void tst_MainWindow::everyMenuTitleFits()
{
    QFETCH(bool, portSettings);
    QFETCH(bool, toggleAfterShow);
    QSettings().setValue(QStringLiteral("portSettings"), portSettings);
    tarnDeck window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    if (toggleAfterShow)
        window.findChild<QAction *>("actionPortSettings")->trigger();
    QTest::qWait(50);
    const auto *bar = window.findChild<QMenuBar *>("menuBar");
    const auto *overflow = bar->findChild<QWidget *>("qt_menubar_ext_button");
    QVERIFY(overflow);
    QVERIFY(!overflow->isVisible());
    const QList<QAction *> items = bar->actions();
    for (QAction *item : items)
        QVERIFY2(bar->rect().contains(bar->actionGeometry(item)), qPrintable(item->text()));
}

// Screen readers find a name and a description on every slider and button.
void tst_MainWindow::everyControlIsDescribed()
{
    tarnDeck window;
    QList<QWidget *> controls;
    for (QAbstractSlider *slider : window.findChildren<QAbstractSlider *>())
        controls << slider;
    for (QAbstractButton *button : window.findChildren<QAbstractButton *>()) {
        if (!button->objectName().startsWith(QLatin1String("qt_")))
            controls << button;
    }
    QVERIFY(controls.size() >= 20);
    for (const QWidget *control : qAsConst(controls)) {
        const char *name = qPrintable(control->objectName());
        QVERIFY2(!control->accessibleName().isEmpty(), name);
        QVERIFY2(!control->accessibleDescription().isEmpty(), name);
        QVERIFY2(control->toolTip().startsWith(control->accessibleDescription()), name);
    }
}

void tst_MainWindow::tooltipNamesTheKey_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("key"); // empty: no key drives it
    const auto row = [](const char *control, const char *name, const char *key) {
        QTest::newRow(control) << QString(control) << QString(name) << QString(key);
    };
    row("verticalSliderZoom", "Zoom rate", "Page Up / Page Down (hold)");
    row("verticalSliderFocus", "Focus rate", "Alt+Page Up");
    row("pushButtonFocusAuto", "Focus auto", "Key: Home");
    row("pushButtonFocusTrigger", "Focus one-push", "Key: End");
    row("pushButtonBrightnessAuto", "Brightness auto", "Key: Shift+Home");
    row("pushButtonLEDUp", "Lamp up (hold)", "Key: + (hold)");
    row("pushButtonLEDOff", "Lamp off", "Key: 0");
    row("pushButtonBrightnessWDR", "Wide dynamic range", "");
}

void tst_MainWindow::tooltipNamesTheKey()
{
    QFETCH(QString, control);
    QFETCH(QString, name);
    QFETCH(QString, key);
    tarnDeck window;
    const auto *widget = window.findChild<QWidget *>(control);
    QVERIFY(widget);
    QCOMPARE(widget->accessibleName(), name);
    if (key.isEmpty())
        QVERIFY(!widget->toolTip().contains(QLatin1String("Key:")));
    else
        QVERIFY2(widget->toolTip().contains(key), qPrintable(widget->toolTip()));
}

// Tab cycles through the encoder's address, user, password and "Connect";
// the camera controls keep taking focus by click only.
void tst_MainWindow::tabMovesThroughTheEncoderFieldsOnly()
{
    QSettings().setValue(QStringLiteral("acti"), true);
    tarnDeck window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.findChild<QAction *>("actionACTi")->trigger();
    window.activateWindow();
    auto *first = window.findChild<QWidget *>("lineEditActiIP");
    first->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), first);
    const QStringList chain{"lineEditActiUser", "lineEditActiPassword", "pushButtonActiConnect",
                            "lineEditActiIP"};
    for (const QString &next : chain) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget()->objectName(), next);
    }
    // A click on the panels' background takes the keys out of the field;
    // Tab leads back into it.
    auto *panels = window.findChild<QWidget *>("centralWidget");
    QTest::mouseClick(panels, Qt::LeftButton, Qt::NoModifier, QPoint(1, panels->height() - 2));
    QCOMPARE(QApplication::focusWidget(), panels);
    QTest::keyClick(panels, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), first);
    for (const char *control : {"verticalSliderZoom", "pushButtonFocusAuto", "pushButtonLEDUp"})
        QVERIFY(!(window.findChild<QWidget *>(control)->focusPolicy() & Qt::TabFocus));
}

void tst_MainWindow::startUpLogsIdentityAndQtVersion()
{
    QList<LogLine> infoLines;
    {
        QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.app.info=true"));
        LogCapture capture;
        tarnDeck window;
        for (const LogLine &line : qAsConst(LogCapture::lines())) {
            if (line.type == QtInfoMsg)
                infoLines << line;
        }
        QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.app.info=false"));
    }
    QCOMPARE(infoLines.size(), 2);
    QCOMPARE(infoLines.at(0).text, QStringLiteral("Veltrane - tarnDeck 1.0"));
    QCOMPARE(infoLines.at(1).text, QStringLiteral("QT: " QT_VERSION_STR));
    for (const LogLine &line : qAsConst(infoLines))
        QCOMPARE(line.category, QByteArray("tarndeck.app"));
}

void tst_MainWindow::storedSerialParameter_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored"); // invalid: the key is missing
    QTest::addColumn<QString>("entry");   // the entry checked after the start
    QTest::addColumn<int>("saved");       // what the next close stores

    const QVariant missing;
    const auto row = [](const char *name, const char *key, const QVariant &stored,
                        const char *entry, int saved) {
        QTest::newRow(name) << QString::fromLatin1(key) << stored << QString::fromLatin1(entry)
                            << saved;
    };

    row("baud missing", "baudrate", missing, "action9600", 9600);
    row("baud 4800", "baudrate", 4800, "action4800", 4800);
    row("baud 9600", "baudrate", 9600, "action9600", 9600);
    row("baud 14400 (hidden entry)", "baudrate", 14400, "action14400", 14400);
    row("baud 19200", "baudrate", 19200, "action19200", 19200);
    row("baud 28800 (hidden entry)", "baudrate", 28800, "action28800", 28800);
    row("baud 38400", "baudrate", 38400, "action38400", 38400);
    row("baud 57600", "baudrate", 57600, "action57600", 57600);
    row("baud 115200", "baudrate", 115200, "action115200", 115200);
    row("baud 1200 not offered", "baudrate", 1200, "action9600", 9600);
    row("baud not a number", "baudrate", "fast", "action9600", 9600);

    row("databits missing", "databits", missing, "actionDatabits8", 8);
    row("databits 7", "databits", 7, "actionDatabits7", 7);
    row("databits 8", "databits", 8, "actionDatabits8", 8);
    row("databits 5 not offered", "databits", 5, "actionDatabits8", 8);
    row("databits not a number", "databits", "seven", "actionDatabits8", 8);

    row("parity missing", "parity", missing, "actionParityNone", 0);
    row("parity none", "parity", 0, "actionParityNone", 0);
    row("parity even", "parity", 2, "actionParityEven", 2);
    row("parity odd", "parity", 3, "actionParityOdd", 3);
    row("parity space not offered", "parity", 4, "actionParityNone", 0);
    row("parity not a number", "parity", "odd", "actionParityNone", 0);

    row("stopbits missing", "stopbits", missing, "actionStopbits1", 1);
    row("stopbits 1", "stopbits", 1, "actionStopbits1", 1);
    row("stopbits 2", "stopbits", 2, "actionStopbits2", 2);
    row("stopbits 1.5 (hidden entry)", "stopbits", 3, "actionStopbits1_5", 3);
    row("stopbits 0 not offered", "stopbits", 0, "actionStopbits1", 1);
    row("stopbits not a number", "stopbits", "two", "actionStopbits1", 1);

    row("flowcontrol missing", "flowcontrol", missing, "actionFlowcontrolNone", 0);
    row("flowcontrol none", "flowcontrol", 0, "actionFlowcontrolNone", 0);
    row("flowcontrol hardware", "flowcontrol", 1, "actionFlowcontrolHardware", 1);
    row("flowcontrol software", "flowcontrol", 2, "actionFlowcontrolSoftware", 2);
    row("flowcontrol 3 not offered", "flowcontrol", 3, "actionFlowcontrolNone", 0);
    row("flowcontrol not a number", "flowcontrol", "rts", "actionFlowcontrolNone", 0);
}

void tst_MainWindow::storedSerialParameter()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QString, entry);
    QFETCH(int, saved);

    if (stored.isValid()) {
        QSettings store;
        store.setValue(key, stored);
        store.sync();
    }

    {
        tarnDeck window;
        // The restored entry is checked alone in its group, hidden or not;
        // every other group keeps its default.
        QCOMPARE(checkedEntries(window, key), QStringList{entry});
        for (auto it = serialDefaults().cbegin(); it != serialDefaults().cend(); ++it) {
            if (it.key() == key)
                continue;
            QCOMPARE(checkedEntries(window, it.key()).size(), 1);
        }
        window.close();
    }

    // The store now holds what the serial port reports, for every group.
    for (auto it = serialDefaults().cbegin(); it != serialDefaults().cend(); ++it) {
        const QVariant value = storedValue(it.key());
        QVERIFY2(value.isValid(), qPrintable(it.key()));
        QCOMPARE(value.toInt(), it.key() == key ? saved : it.value());
    }
}

void tst_MainWindow::storedPanelChoice_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<QString>("actionName");
    QTest::addColumn<QString>("panelName");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<bool>("panelShown");

    const QVariant missing;
    QTest::newRow("zoom off") << "zoomControl" << QVariant(false) << "actionZoom"
                              << "groupBoxZoom" << false << false;
    QTest::newRow("zoom missing") << "zoomControl" << missing << "actionZoom"
                                  << "groupBoxZoom" << true << true;
    QTest::newRow("focus off") << "focusControl" << QVariant(false) << "actionFocus"
                               << "groupBoxFocus" << false << false;
    QTest::newRow("brightness on") << "brightnessControl" << QVariant(true) << "actionBrightness"
                                   << "groupBoxBrightness" << true << true;
    QTest::newRow("brightness missing") << "brightnessControl" << missing << "actionBrightness"
                                        << "groupBoxBrightness" << false << false;
    QTest::newRow("colour on") << "colorControl" << QVariant(true) << "actionColor"
                               << "groupBoxColor" << true << true;
    QTest::newRow("lamp on") << "ledControl" << QVariant(true) << "actionLED"
                             << "groupBoxLED" << true << true;
    // The pad's entry takes the stored mark, but the pad stays hidden.
    QTest::newRow("pan-tilt on") << "pantiltControl" << QVariant(true) << "actionPanTilt"
                                 << "groupBoxPanTilt" << true << false;
}

void tst_MainWindow::storedPanelChoice()
{
    QFETCH(QString, key);
    QFETCH(QVariant, stored);
    QFETCH(QString, actionName);
    QFETCH(QString, panelName);
    QFETCH(bool, checked);
    QFETCH(bool, panelShown);

    if (stored.isValid()) {
        QSettings store;
        store.setValue(key, stored);
        store.sync();
    }

    tarnDeck window;
    QCOMPARE(window.findChild<QAction *>(actionName)->isChecked(), checked);
    QCOMPARE(window.findChild<QGroupBox *>(panelName)->isVisibleTo(&window), panelShown);
    window.close();
    QCOMPARE(storedValue(key).toBool(), checked);
}

void tst_MainWindow::storedPortSettings_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QStringList>("menuBar");

    const QStringList without{"&Connect", "Control", "Camera profiles", "Options"};
    const QStringList with{"&Connect", "&Baudrate",       "&Protocol",
                           "Control",  "Camera profiles", "Options"};
    QTest::newRow("missing") << QVariant() << false << without;
    QTest::newRow("false") << QVariant(false) << false << without;
    QTest::newRow("true") << QVariant(true) << true << with;
}

void tst_MainWindow::storedPortSettings()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, checked);
    QFETCH(QStringList, menuBar);

    if (stored.isValid()) {
        QSettings store;
        store.setValue(QStringLiteral("portSettings"), stored);
        store.sync();
    }

    tarnDeck window;
    QCOMPARE(window.findChild<QAction *>("actionPortSettings")->isChecked(), checked);
    QCOMPARE(menuBarTitles(window), menuBar);
    window.close();
    QCOMPARE(storedValue(QStringLiteral("portSettings")).toBool(), checked);
}

void tst_MainWindow::storedPanTiltDrive_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("panelStored"); // "pantiltControl"
    QTest::addColumn<bool>("on");

    QTest::newRow("missing: off") << QVariant() << true << false;
    QTest::newRow("false") << QVariant(false) << true << false;
    QTest::newRow("true, panel stored shown") << QVariant(true) << true << true;
    QTest::newRow("true, panel stored hidden") << QVariant(true) << false << true;
}

// The option is restored at start and saved at close; while it is on the
// "Pan-Tilt" entry is offered and the panel follows it.
void tst_MainWindow::storedPanTiltDrive()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, panelStored);
    QFETCH(bool, on);

    {
        QSettings store;
        if (stored.isValid())
            store.setValue(QStringLiteral("pantiltDrive"), stored);
        store.setValue(QStringLiteral("pantiltControl"), panelStored);
        store.sync();
    }

    tarnDeck window;
    auto *option = window.findChild<QAction *>("actionPanTiltDrive");
    auto *entry = window.findChild<QAction *>("actionPanTilt");
    auto *panel = window.findChild<QGroupBox *>("groupBoxPanTilt");
    QCOMPARE(option->isChecked(), on);
    QCOMPARE(entry->isVisible(), on);
    QCOMPARE(panel->isVisibleTo(&window), on && panelStored);

    option->trigger();
    QCOMPARE(entry->isVisible(), !on);
    QCOMPARE(panel->isVisibleTo(&window), !on && panelStored);
    window.close();
    QCOMPARE(storedValue(QStringLiteral("pantiltDrive")).toBool(), !on);
}

void tst_MainWindow::encoderEntryFollowsActiKey_data()
{
    QTest::addColumn<QVariant>("stored");
    QTest::addColumn<bool>("visible");

    QTest::newRow("absent") << QVariant() << false;
    QTest::newRow("false") << QVariant(false) << false;
    QTest::newRow("true") << QVariant(true) << true;
}

void tst_MainWindow::encoderEntryFollowsActiKey()
{
    QFETCH(QVariant, stored);
    QFETCH(bool, visible);

    if (stored.isValid()) {
        QSettings store;
        store.setValue(QStringLiteral("acti"), stored);
        store.sync();
    }

    tarnDeck window;
    QCOMPARE(window.findChild<QAction *>("actionACTi")->isVisible(), visible);
    window.close();

    // The program never writes the key: it stays as the operator left it.
    QCOMPARE(storedValue(QStringLiteral("acti")).isValid(), stored.isValid());
    if (stored.isValid())
        QCOMPARE(storedValue(QStringLiteral("acti")).toBool(), stored.toBool());
}

void tst_MainWindow::unreadableGeometryKeepsTheFormSize()
{
    {
        QSettings store;
        store.setValue(QStringLiteral("geometry"), QByteArray("not a geometry"));
        store.setValue(QStringLiteral("windowState"), QByteArray("not a state"));
        store.sync();
    }
    tarnDeck window;
    // The key is there, so there is no first-start resize; the unreadable
    // value is ignored and the form's size stands.
    QCOMPARE(window.size(), QSize(1209, 370));
    QCOMPARE(window.windowTitle(), QStringLiteral("Veltrane - tarnDeck 1.0 - Not connected"));
}

// A main-window state with a valid header and a count that drives the
// restore's loop (an endless spin before states were checked).
static QByteArray stateWithCount(quint8 section, qint32 count)
{
    QByteArray state;
    QDataStream out(&state, QIODevice::WriteOnly);
    out << qint32(0xff) << qint32(0) << section << count;
    return state;
}

void tst_MainWindow::implausibleLayoutIsSkipped_data()
{
    QTest::addColumn<QByteArray>("state");
    QTest::newRow("tool bar lines") << stateWithCount(0xfc, 0x7fffffff);
    QTest::newRow("old tool bar lines") << stateWithCount(0xfe, 0x7fffffff);
    QTest::newRow("dock areas") << stateWithCount(0xfd, 0x7fffffff);
    QTest::newRow("header only") << stateWithCount(0xfd, 0).left(8);
}

void tst_MainWindow::implausibleLayoutIsSkipped()
{
    QFETCH(QByteArray, state);
    {
        // What a real window writes passes the checks.
        tarnDeck window;
        window.resize(500, 300);
        QVERIFY(SettingsGuard::plausibleGeometry(window.saveGeometry()));
        QVERIFY(SettingsGuard::plausibleWindowState(window.saveState(0)));
        window.close();
    }
    QSettings().setValue(QStringLiteral("windowState"), state);
    QSettings().sync();
    QElapsedTimer clock;
    clock.start();
    tarnDeck window;
    QVERIFY2(clock.elapsed() < 5000, "the start-up spun on the stored state");
    QCOMPARE(window.size(), QSize(500, 300));
}

void tst_MainWindow::untrustedStoreIsSetAside_data()
{
    QTest::addColumn<QByteArray>("text");
    const QByteArray variant = "@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\bQPixmap\\0\\0\\0\\0\\x1)";
    QTest::newRow("variant") << QByteArray("[General]\nactiIP=10.0.0.1\nactiUser=" + variant
                                           + "\n");
    QTest::newRow("quoted") << QByteArray("[General]\nactiUser=\"" + variant + "\"\n");
    QTest::newRow("list item") << QByteArray("[General]\nactiUser=a, " + variant + "\n");
    QTest::newRow("hex escape") << QByteArray("[General]\nactiUser=\\x40Variant(\\0)\n");
    QTest::newRow("continued") << QByteArray("[General]\nactiUser=a,\\\n " + variant + "\n");
    QTest::newRow("rectangle") << QByteArray("[General]\ngeometry=@Rect(0 0 10 10)\n");
    QTest::newRow("oversized") << QByteArray("[General]\nactiUser=") + QByteArray(1 << 20, 'a');
}

void tst_MainWindow::untrustedStoreIsSetAside()
{
    QFETCH(QByteArray, text);
    const QString path = TestSettings::storeFile();
    QFile::remove(path + ".bad");
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    tarnDeck window;
    QVERIFY(window.findChild<QLabel *>("labelLastCommand")->text().contains("tarnDeck.conf.bad"));
    const tarnDeck defaults;
    QCOMPARE(window.findChild<QLineEdit *>("lineEditActiUser")->text(),
             defaults.findChild<QLineEdit *>("lineEditActiUser")->text());
    QFile aside(path + ".bad");
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), text);
    QVERIFY(!QFile::exists(path));
}

void tst_MainWindow::symlinkedStoreIsNeverFollowed_data()
{
    QTest::addColumn<bool>("targetExists");
    QTest::newRow("to a file others may read") << true;
    QTest::newRow("leading nowhere") << false;
}

// The store is a link to a file elsewhere: it is moved aside, and neither the
// start (tightening) nor the close (writing) reaches what it leads to.
void tst_MainWindow::symlinkedStoreIsNeverFollowed()
{
    QFETCH(bool, targetExists);
    const QString path = TestSettings::storeFile();
    QFile::remove(path + ".bad");
    QTemporaryDir elsewhere;
    const QString target = elsewhere.filePath(QStringLiteral("target.conf"));
    const QByteArray text = "[General]\nactiUser=Elsewhere\n";
    if (targetExists) {
        QFile file(target);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(text);
        file.close();
        QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0644), 0);
    }
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile::remove(path);
    QVERIFY(QFile::link(target, path));
    {
        tarnDeck window;
        const QString status = window.findChild<QLabel *>("labelLastCommand")->text();
        QVERIFY2(status.contains(QLatin1String("symbolic link"))
                     && status.contains(QLatin1String("tarnDeck.conf.bad")),
                 qPrintable(status));
        QVERIFY(window.findChild<QLineEdit *>("lineEditActiUser")->text() != "Elsewhere");
        window.close();
    }
    QVERIFY(QFileInfo(path + ".bad").isSymLink());
    QVERIFY(QFileInfo(path).isFile() && !QFileInfo(path).isSymLink());
    QCOMPARE(QFileInfo::exists(target), targetExists);
    if (targetExists) {
        QCOMPARE(permissionBits(target), 0644);
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), text);
    }
    QFile::remove(path + ".bad");
}

void tst_MainWindow::trustedValuesSurviveTheGuard_data()
{
    QTest::addColumn<QString>("password");
    QTest::newRow("leading at") << QStringLiteral("@Variant(x)");
    QTest::newRow("list-like") << QStringLiteral("a, @Variant(b)");
    QTest::newRow("backslashes") << QStringLiteral("\\x40\\100\\");
    QTest::newRow("quotes") << QStringLiteral("\"@\", \"@Invalid()");
}

void tst_MainWindow::trustedValuesSurviveTheGuard()
{
    QFETCH(QString, password);
    QSettings().setValue(QStringLiteral("actiPassword"), password);
    QSettings().sync();
    tarnDeck window;
    QCOMPARE(window.findChild<QLineEdit *>("lineEditActiPassword")->text(), password);
    QVERIFY(window.findChild<QLabel *>("labelLastCommand")->text().isEmpty());
}

// The store reaches the window empty although the file holds values: as it
// did when the path probe left the settings library an empty copy of the
// file (a format that reads nothing, on the store's own path). The close and
// a profile recall must leave the file as the operator left it.
void tst_MainWindow::unreadStoreIsNeverWritten()
{
    const QString path = TestSettings::storeFile();
    const QByteArray text = "[General]\nbaudrate=19200\nactiUser=operator\n";
    // A changed file is parsed afresh: the next tests get the real store.
    const auto forget = qScopeGuard([path] { QFile::remove(path); });
    QDir().mkpath(QFileInfo(path).path());
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    }
    const auto readNothing = [](QIODevice &, QSettings::SettingsMap &) { return true; };
    const auto writeNothing = [](QIODevice &, const QSettings::SettingsMap &) { return true; };
    const QSettings::Format blind
        = QSettings::registerFormat(QStringLiteral("conf"), readNothing, writeNothing);
    QCOMPARE(QSettings(blind, QSettings::UserScope, QCoreApplication::organizationName(),
                       QCoreApplication::applicationName())
                 .fileName(),
             path);
    {
        tarnDeck window;
        QLabel *status = window.findChild<QLabel *>("labelLastCommand");
        QCOMPARE(status->text(), QStringLiteral("Settings file could not be read: left as it is, "
                                                "nothing is stored at close"));
        QVERIFY(status->property("failed").toBool());
        window.findChild<QAction *>("action38400")->trigger();
        window.findChild<QAction *>("actionCameraProfile2")->trigger();
        window.close();
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), text);
}

void tst_MainWindow::fullRoundTrip()
{
    const QStringList chosenParameters{"action38400", "actionDatabits7", "actionParityOdd",
                                       "actionStopbits2", "actionFlowcontrolSoftware"};
    {
        tarnDeck window;
        for (const char *name :
             {"actionZoom", "actionBrightness", "actionLED", "actionPortSettings"})
            window.findChild<QAction *>(name)->trigger();
        for (const QString &name : chosenParameters)
            window.findChild<QAction *>(name)->trigger();
        window.findChild<QLineEdit *>("lineEditActiIP")->setText(QStringLiteral("127.0.0.1:8080"));
        window.findChild<QLineEdit *>("lineEditActiUser")->setText(QStringLiteral("operator"));
        window.findChild<QLineEdit *>("lineEditActiPassword")->setText(QStringLiteral("Pl4inText"));
        // Wider than the menu bar with the parameter menus needs.
        window.resize(700, 300);
        window.close();
    }

    const QHash<QString, QVariant> expectedStore = {
        {"zoomControl", false},
        {"focusControl", true},
        {"brightnessControl", true},
        {"colorControl", false},
        {"ledControl", true},
        {"pantiltControl", false},
        {"portSettings", true},
        {"pantiltDrive", false},
        {"baudrate", 38400},
        {"databits", 7},
        {"parity", 3},
        {"stopbits", 2},
        {"flowcontrol", 2},
        {"actiIP", "127.0.0.1:8080"},
        {"actiUser", "operator"},
        {"actiPassword", "Pl4inText"},
    };
    const auto verifyStore = [&expectedStore] {
        QSettings store;
        for (auto it = expectedStore.cbegin(); it != expectedStore.cend(); ++it) {
            QVERIFY2(store.contains(it.key()), qPrintable(it.key()));
            QCOMPARE(store.value(it.key()).toString(), it.value().toString());
        }
        QVERIFY(store.contains(QStringLiteral("geometry")));
        QVERIFY(store.contains(QStringLiteral("windowState")));
        QVERIFY(!store.contains(QStringLiteral("acti")));
    };
    verifyStore();
    if (QTest::currentTestFailed())
        return;

    {
        tarnDeck window;
        QCOMPARE(window.size(), QSize(700, 300));
        QVERIFY(!window.findChild<QAction *>("actionZoom")->isChecked());
        QVERIFY(window.findChild<QAction *>("actionFocus")->isChecked());
        QVERIFY(window.findChild<QAction *>("actionBrightness")->isChecked());
        QVERIFY(!window.findChild<QAction *>("actionColor")->isChecked());
        QVERIFY(window.findChild<QAction *>("actionLED")->isChecked());
        QVERIFY(!window.findChild<QGroupBox *>("groupBoxZoom")->isVisibleTo(&window));
        QVERIFY(window.findChild<QGroupBox *>("groupBoxBrightness")->isVisibleTo(&window));
        QVERIFY(window.findChild<QGroupBox *>("groupBoxLED")->isVisibleTo(&window));
        QCOMPARE(menuBarTitles(window),
                 (QStringList{"&Connect", "&Baudrate", "&Protocol", "Control", "Camera profiles",
                              "Options"}));
        QStringList checked;
        for (const char *group : {"baudrate", "databits", "parity", "stopbits", "flowcontrol"})
            checked << checkedEntries(window, group);
        QCOMPARE(checked, chosenParameters);
        QCOMPARE(window.findChild<QLineEdit *>("lineEditActiIP")->text(),
                 QStringLiteral("127.0.0.1:8080"));
        QCOMPARE(window.findChild<QLineEdit *>("lineEditActiUser")->text(),
                 QStringLiteral("operator"));
        QCOMPARE(window.findChild<QLineEdit *>("lineEditActiPassword")->text(),
                 QStringLiteral("Pl4inText"));
        // Restored, still unconnected.
        QCOMPARE(window.windowTitle(), QStringLiteral("Veltrane - tarnDeck 1.0 - Not connected"));
        QVERIFY(!window.findChild<QGroupBox *>("groupBoxBrightness")->isEnabled());
        window.close();
    }

    // A second close without changes writes the same values.
    verifyStore();
}

void tst_MainWindow::passwordIsStoredAsPlainText()
{
    {
        tarnDeck window;
        window.findChild<QLineEdit *>("lineEditActiPassword")
            ->setText(QStringLiteral("Op3nSesame"));
        window.close();
    }
    QFile file(TestSettings::storeFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QVERIFY(lines.contains(QByteArray("actiPassword=Op3nSesame")));
}

void tst_MainWindow::storeFileIsOwnerOnlyAfterSave()
{
    const QString path = TestSettings::storeFile();
    {
        // A store left readable by everybody, e.g. by an earlier version.
        QSettings store;
        store.setValue(QStringLiteral("actiPassword"), QStringLiteral("secret"));
        store.sync();
    }
    QVERIFY(QFile::exists(path));
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0644), 0);
    QCOMPARE(permissionBits(path), 0644);

    {
        tarnDeck window;
        // Tightened at start, and what the process creates from now on (the
        // store's temporary file among it) is private from the first moment.
        QCOMPARE(permissionBits(path), 0600);
        QFile created(path + ".created");
        QVERIFY(created.open(QIODevice::WriteOnly));
        QCOMPARE(permissionBits(created.fileName()), 0600);
        created.remove();
        QCOMPARE(window.findChild<QLineEdit *>("lineEditActiPassword")->text(),
                 QStringLiteral("secret"));
        window.close();
    }
    QCOMPARE(permissionBits(path), 0600);
}

void tst_MainWindow::closingWithThePortOpenClosesItAndKeepsItsParameters()
{
    WindowHarness harness;
    for (const char *name : {"action19200", "actionDatabits7", "actionParityEven",
                             "actionStopbits2", "actionFlowcontrolHardware"})
        harness.find<QAction>(name)->trigger();

    // The serial library puts the line's own settings back when it closes
    // the port: that is how the line tells the port was closed.
    const int master = harness.pty().master();
    const speed_t before = lineSpeed(master);
    QVERIFY(before != B19200);
    QVERIFY(harness.openPort());
    QCOMPARE(lineSpeed(master), speed_t(B19200));

    harness.window().close();
    QCOMPARE(lineSpeed(master), before);
    // The window no longer counts the port as open.
    const QList<QAction *> entries = harness.showPortMenu();
    QCOMPARE(entries.size(), 4);
    QVERIFY(!entries.last()->isChecked());

    QCOMPARE(storedValue(QStringLiteral("baudrate")).toInt(), 19200);
    QCOMPARE(storedValue(QStringLiteral("databits")).toInt(), 7);
    QCOMPARE(storedValue(QStringLiteral("parity")).toInt(), 2);
    QCOMPARE(storedValue(QStringLiteral("stopbits")).toInt(), 2);
    QCOMPARE(storedValue(QStringLiteral("flowcontrol")).toInt(), 1);
}

void tst_MainWindow::disablingPanelsClearsProfileAndStatus()
{
    WindowHarness harness;
    QVERIFY(harness.openPort());
    auto *profile = harness.find<QAction>("actionCameraProfile2");
    profile->trigger();
    QVERIFY(profile->isChecked());
    auto *status = harness.find<QLabel>("labelLastCommand");
    QVERIFY(!status->text().isEmpty());

    QVERIFY(QMetaObject::invokeMethod(&harness.window(), "enablePanels", Q_ARG(bool, false)));
    for (const char *name :
         {"groupBoxZoom", "groupBoxFocus", "groupBoxBrightness", "groupBoxColor", "groupBoxLED"})
        QVERIFY2(!harness.find<QGroupBox>(name)->isEnabled(), name);
    QVERIFY(!harness.find<QMenu>("menuCameraProfiles")->isEnabled());
    QVERIFY(!profile->isChecked());
    QVERIFY(!harness.find<QAction>("actionCameraSave")->isEnabled());
    QVERIFY(!harness.find<QAction>("actionCameraReset")->isEnabled());
    QCOMPARE(status->text(), QString());

    QVERIFY(QMetaObject::invokeMethod(&harness.window(), "enablePanels", Q_ARG(bool, true)));
    for (const char *name :
         {"groupBoxZoom", "groupBoxFocus", "groupBoxBrightness", "groupBoxColor", "groupBoxLED"})
        QVERIFY2(harness.find<QGroupBox>(name)->isEnabled(), name);
    QVERIFY(harness.find<QMenu>("menuCameraProfiles")->isEnabled());
    // The pad is not one of the switched panels.
    QVERIFY(harness.find<QGroupBox>("groupBoxPanTilt")->isHidden());
}

void tst_MainWindow::styleForComposition_data()
{
    QTest::addColumn<DesktopComposition>("state");
    QTest::addColumn<QString>("style");

    QTest::newRow("composition off: fusion") << DesktopComposition::Disabled << "fusion";
    QTest::newRow("composition on: default") << DesktopComposition::Enabled << QString();
    QTest::newRow("query failed: default") << DesktopComposition::Unknown << QString();
}

void tst_MainWindow::styleForComposition()
{
    QFETCH(DesktopComposition, state);
    QFETCH(QString, style);

    const QString chosen = QString::fromLatin1(::styleForComposition(state));
    QCOMPARE(chosen, style);
    // A chosen name must be one the toolkit can build.
    if (!chosen.isEmpty())
        QVERIFY(std::unique_ptr<QStyle>(QStyleFactory::create(chosen)));
}

QTEST_MAIN(tst_MainWindow)
// The start-up keeps the D-Bus library from forking a session bus of its own
// exactly where it would: no address given, no bus in the runtime folder.
void tst_MainWindow::sessionBusAutolaunch_data()
{
    QTest::addColumn<QByteArray>("address");
    QTest::addColumn<QString>("busInFolder"); // "socket", "folder" or "none"
    QTest::addColumn<bool>("autolaunch");
    QTest::newRow("address given") << QByteArray("unix:path=/run/user/1000/bus") << "none" << false;
    QTest::newRow("bus in the runtime folder") << QByteArray() << "socket" << false;
    QTest::newRow("nothing") << QByteArray() << "none" << true;
    QTest::newRow("a folder named bus") << QByteArray() << "folder" << true;
}

void tst_MainWindow::sessionBusAutolaunch()
{
    QFETCH(QByteArray, address);
    QFETCH(QString, busInFolder);
    QFETCH(bool, autolaunch);
    QTemporaryDir runtime;
    const QString bus = runtime.filePath(QStringLiteral("bus"));
    if (busInFolder == QLatin1String("socket"))
        QVERIFY(QFile(bus).open(QIODevice::WriteOnly));
    else if (busInFolder == QLatin1String("folder"))
        QVERIFY(QDir().mkdir(bus));
    QCOMPARE(wouldAutolaunchSessionBus(address, runtime.path()), autolaunch);
}

// What the styles cached while drawing is let go once repaints stop, so the
// cache's own timer does not keep waking an untouched window.
void tst_MainWindow::pixmapCacheEmptiedAfterRepaints()
{
    std::unique_ptr<PixmapCacheSweep> sweep(new PixmapCacheSweep(qApp, 1000));
    QPixmap drawn(8, 8);
    drawn.fill(Qt::red);
    const QPixmapCache::Key key = QPixmapCache::insert(drawn);
    QWidget window;
    window.show();
    window.update();
    QTRY_VERIFY(sweep->pending());
    QPixmap found;
    QVERIFY(QPixmapCache::find(key, &found));
    QTRY_VERIFY(!sweep->pending());
    QVERIFY(!QPixmapCache::find(key, &found));
}

#include "tst_mainwindow.moc"

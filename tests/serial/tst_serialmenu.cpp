// The serial side of the window, driven through its menus against real
// pseudo-terminals: the "&Connect" menu rebuilt from the ports present, the
// two routes excluding each other, opening and closing the port, a port that
// is gone, the parameter entries reaching the line, the parameter menus
// leaving and rejoining the menu bar, and an adapter pulled while open.
#include "logcapture.h"
#include "ptypair.h"
#include "tarndeck.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <sys/ioctl.h>
#include <termios.h>

namespace {

const QString notConnectedTitle = QStringLiteral("Veltrane - tarnDeck 1.0 - Not connected");

// Every window logs its start-up lines; these tests do not read them.
const QString quietRules = QStringLiteral("tarndeck.app.info=false");

const char *const panelNames[]
    = {"groupBoxZoom", "groupBoxFocus", "groupBoxBrightness", "groupBoxColor", "groupBoxLED"};

// The kernel's line settings with the speeds as plain numbers (what
// TCGETS2 reports): the only way to see a baud rate that has no B constant.
struct LineSettingsWithSpeeds
{
    tcflag_t iflag;
    tcflag_t oflag;
    tcflag_t cflag;
    tcflag_t lflag;
    cc_t line;
    cc_t cc[19];
    speed_t ispeed;
    speed_t ospeed;
};

// The output speed of the line behind fd in baud, -1 when unreadable.
long lineSpeed(int fd)
{
    LineSettingsWithSpeeds settings{};
    if (::ioctl(fd, _IOR('T', 0x2A, LineSettingsWithSpeeds), &settings) != 0)
        return -1;
    return long(settings.ospeed);
}

// How many descriptors of this process are open on the given device.
int descriptorsOn(const QString &device)
{
    const QString target = QFileInfo(device).canonicalFilePath();
    int count = 0;
    const QFileInfoList fds
        = QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::Files | QDir::System);
    for (const QFileInfo &fd : fds) {
        if (fd.symLinkTarget() == target)
            ++count;
    }
    return count;
}

// Whether this process has loaded the plugins of the network access layer:
// Qt 5's bearer plugins, which come with the first access manager, or Qt 6's
// TLS backends (it has no bearer plugins), which its first request loads,
// even one for a plain http address.
bool networkStackLoaded()
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly))
        return false;
    const QByteArray mapped = maps.readAll();
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    return mapped.contains("/plugins/tls/") || mapped.contains("/plugins/networkinformation/");
#else
    return mapped.contains("/plugins/bearer/");
#endif
}

// The operator's switch for the encoder route: the "acti" key, set by hand.
void offerEncoderEntry()
{
    QSettings store;
    store.setValue(QStringLiteral("acti"), true);
}

// The entries of one parameter group, hidden ones included.
QStringList groupOf(const QString &entry)
{
    static const QList<QStringList> groups = {
        {"action4800", "action9600", "action14400", "action19200", "action28800", "action38400",
         "action57600", "action115200"},
        {"actionDatabits7", "actionDatabits8"},
        {"actionParityNone", "actionParityOdd", "actionParityEven"},
        {"actionStopbits1", "actionStopbits1_5", "actionStopbits2"},
        {"actionFlowcontrolNone", "actionFlowcontrolHardware", "actionFlowcontrolSoftware"},
    };
    for (const QStringList &group : groups) {
        if (group.contains(entry))
            return group;
    }
    return {};
}

QStringList menuBarTitles(WindowHarness &harness)
{
    QStringList titles;
    const QList<QAction *> items = harness.find<QMenuBar>("menuBar")->actions();
    for (const QAction *item : items)
        titles << item->text();
    return titles;
}

// Text, check mark and state of each "&Connect" entry after the fixed two.
struct PortEntry
{
    QString text;
    bool checkable;
    bool checked;
    bool enabled;
};

QList<PortEntry> portEntries(const QList<QAction *> &menu)
{
    QList<PortEntry> entries;
    for (int i = 3; i < menu.size(); ++i) {
        const QAction *a = menu.at(i);
        entries.append({a->text(), a->isCheckable(), a->isChecked(), a->isEnabled()});
    }
    return entries;
}

// What the window shows the operator about its link.
struct LinkView
{
    QString title;
    QString status;
    QList<bool> panelsEnabled;
    bool profilesEnabled;

    bool operator==(const LinkView &other) const
    {
        return title == other.title && status == other.status
            && panelsEnabled == other.panelsEnabled && profilesEnabled == other.profilesEnabled;
    }
};

LinkView linkView(WindowHarness &harness)
{
    LinkView view;
    view.title = harness.window().windowTitle();
    view.status = harness.find<QLabel>("labelLastCommand")->text();
    for (const char *name : panelNames)
        view.panelsEnabled << harness.find<QGroupBox>(name)->isEnabled();
    view.profilesEnabled = harness.find<QMenu>("menuCameraProfiles")->isEnabled();
    return view;
}

char *describe(const LinkView &view)
{
    QStringList panels;
    for (bool enabled : view.panelsEnabled)
        panels << (enabled ? "on" : "off");
    return QTest::toString(
        QStringLiteral("title \"%1\", status \"%2\", panels %3, profiles %4")
            .arg(view.title, view.status, panels.join(','), view.profilesEnabled ? "on" : "off"));
}

void verifyIdle(WindowHarness &harness, const QString &status)
{
    QCOMPARE(harness.window().windowTitle(), notConnectedTitle);
    QCOMPARE(harness.find<QLabel>("labelLastCommand")->text(), status);
    for (const char *name : panelNames)
        QVERIFY2(!harness.find<QGroupBox>(name)->isEnabled(), name);
    QVERIFY(!harness.find<QMenu>("menuCameraProfiles")->isEnabled());
}

// Collects the serial log lines while it lives, debug lines switched on.
class SerialLog
{
public:
    SerialLog()
    {
        QLoggingCategory::setFilterRules(quietRules
                                         + QStringLiteral("\ntarndeck.serial.debug=true"));
    }
    ~SerialLog() { QLoggingCategory::setFilterRules(quietRules); }
    static QStringList lines() { return LogCapture::lines(QtDebugMsg); }
    static QStringList warnings() { return LogCapture::lines(QtWarningMsg); }

private:
    LogCapture capture{"tarndeck.serial"};
};

} // namespace

namespace QTest {
template<>
char *toString(const LinkView &view)
{
    return describe(view);
}
} // namespace QTest

class tst_SerialMenu : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void portMenuNeverAccumulates_data();
    void portMenuNeverAccumulates();
    void choosingNoPortsAvailableChangesNothing();
    void openPortIsMarkedAndAnotherEntryClosesIt();
    void encoderEntryBlocksThePortEntries();
    void vanishedPortLeavesTheWindowIdle_data();
    void vanishedPortLeavesTheWindowIdle();
    void choosingTheOpenPortClosesIt();
    void configuredPathsFollowThePorts_data();
    void configuredPathsFollowThePorts();
    void configuredPathOpensAndCarriesCommands();

    void parameterReachesTheLine_data();
    void parameterReachesTheLine();
    void parameterMenusLeaveAndRejoinTheMenuBar_data();
    void parameterMenusLeaveAndRejoinTheMenuBar();

    void unpluggedAdapterWaitsForItsReturn_data();
    void unpluggedAdapterWaitsForItsReturn();
};

void tst_SerialMenu::initTestCase()
{
    TestSettings::useTemporaryStore();
    QApplication::setQuitOnLastWindowClosed(false);
    QLoggingCategory::setFilterRules(quietRules);
}

void tst_SerialMenu::init()
{
    TestSettings::clear();
}

void tst_SerialMenu::portMenuNeverAccumulates_data()
{
    QTest::addColumn<int>("ports");
    QTest::newRow("no ports") << 0;
    QTest::newRow("one port") << 1;
    QTest::newRow("three ports") << 3;
}

void tst_SerialMenu::portMenuNeverAccumulates()
{
    QFETCH(int, ports);

    WindowHarness harness;
    std::vector<std::unique_ptr<PtyPair>> lines;
    QList<SerialPortEntry> listed;
    for (int i = 0; i < ports; ++i) {
        lines.push_back(std::make_unique<PtyPair>());
        listed.append({QStringLiteral("ttyUSB%1").arg(i), lines.back()->slavePath()});
    }
    harness.window().setPortLister([listed] { return listed; });

    QList<PortEntry> expected;
    for (const SerialPortEntry &port : qAsConst(listed))
        expected.append({port.portName, true, false, true});
    if (expected.isEmpty())
        expected.append({QStringLiteral("No ports available"), false, false, true});

    for (int opening = 0; opening < 3; ++opening) {
        const QList<QAction *> menu = harness.showPortMenu();
        QCOMPARE(menu.size(), 3 + expected.size());
        QCOMPARE(menu.at(0), harness.find<QAction>("actionACTi"));
        QCOMPARE(menu.at(1), harness.find<QAction>("actionViscaIp"));
        QVERIFY(menu.at(2)->isSeparator());
        const QList<PortEntry> entries = portEntries(menu);
        for (int i = 0; i < entries.size(); ++i) {
            QCOMPARE(entries.at(i).text, expected.at(i).text);
            QCOMPARE(entries.at(i).checkable, expected.at(i).checkable);
            QCOMPARE(entries.at(i).checked, expected.at(i).checked);
            QCOMPARE(entries.at(i).enabled, expected.at(i).enabled);
        }
    }

    // The list follows the ports present at each opening.
    harness.window().setPortLister([] { return QList<SerialPortEntry>{}; });
    QCOMPARE(portEntries(harness.showPortMenu()).size(), 1);
    QCOMPARE(harness.showPortMenu().size(), 4);
}

void tst_SerialMenu::choosingNoPortsAvailableChangesNothing()
{
    WindowHarness harness;
    harness.window().setPortLister([] { return QList<SerialPortEntry>{}; });
    const LinkView before = linkView(harness);

    SerialLog log;
    QVERIFY(harness.choosePortEntry(QStringLiteral("No ports available")));
    QCOMPARE(linkView(harness), before);
    QCOMPARE(SerialLog::lines(), QStringList{"No ports to connect"});
    QCOMPARE(descriptorsOn(harness.pty().slavePath()), 1);
}

void tst_SerialMenu::openPortIsMarkedAndAnotherEntryClosesIt()
{
    offerEncoderEntry();
    WindowHarness harness;
    PtyPair other;
    const QString first = harness.portName();
    const QString firstPath = harness.pty().slavePath();
    const QString second = QStringLiteral("ttyUSB1");
    const QString secondPath = other.slavePath();
    harness.window().setPortLister([=] {
        return QList<SerialPortEntry>{{first, firstPath}, {second, secondPath}};
    });

    QVERIFY(harness.openPort());
    QCOMPARE(descriptorsOn(firstPath), 2);
    // Serial use leaves the network stack unloaded: nothing of it polls.
    QVERIFY(!networkStackLoaded());
    QCOMPARE(harness.window().windowTitle(), QStringLiteral("Veltrane - tarnDeck 1.0 - ") + first);
    QCOMPARE(harness.find<QLabel>("labelLastCommand")->text(),
             QStringLiteral("Connected to ") + first);
    for (const char *name : panelNames)
        QVERIFY2(harness.find<QGroupBox>(name)->isEnabled(), name);
    QVERIFY(harness.find<QMenu>("menuCameraProfiles")->isEnabled());

    // Its entry checked, the other port free, the encoder entry blocked.
    QList<QAction *> menu = harness.showPortMenu();
    QVERIFY(menu.at(0)->isVisible());
    QVERIFY(!menu.at(0)->isEnabled());
    QList<PortEntry> entries = portEntries(menu);
    QCOMPARE(entries.size(), 2);
    QCOMPARE(entries.at(0).text, first);
    QVERIFY(entries.at(0).checked);
    QVERIFY(entries.at(0).enabled);
    QCOMPARE(entries.at(1).text, second);
    QVERIFY(!entries.at(1).checked);
    QVERIFY(entries.at(1).enabled);

    // Choosing the other port closes the open one and opens nothing.
    QVERIFY(harness.choosePortEntry(second));
    QCOMPARE(descriptorsOn(firstPath), 1);
    QCOMPARE(descriptorsOn(secondPath), 1);
    verifyIdle(harness, QStringLiteral("Not connected"));
    menu = harness.showPortMenu();
    QVERIFY(menu.at(0)->isEnabled());
    entries = portEntries(menu);
    QVERIFY(!entries.at(0).checked);
    QVERIFY(!entries.at(1).checked);
}

void tst_SerialMenu::encoderEntryBlocksThePortEntries()
{
    offerEncoderEntry();
    WindowHarness harness;
    auto *acti = harness.find<QAction>("actionACTi");
    QVERIFY(acti->isVisible());
    auto *encoderPanel = harness.find<QGroupBox>("groupBoxActi");
    const LinkView idle = linkView(harness);

    QVERIFY(harness.choosePortEntry(QStringLiteral("ACTi")));
    QVERIFY(acti->isChecked());
    QVERIFY(encoderPanel->isVisibleTo(&harness.window()));
    // Choosing the route loads it, so the connect flow does not wait for it.
    QVERIFY(networkStackLoaded());
    QVERIFY(harness.find<QPushButton>("pushButtonActiConnect")->isEnabled());
    QCOMPARE(harness.find<QLabel>("labelActiStatus")->text(), QStringLiteral("Not connected"));
    // Choosing the route alone changes nothing else.
    QCOMPARE(linkView(harness), idle);

    const QList<QAction *> menu = harness.showPortMenu();
    QVERIFY(menu.at(0)->isEnabled());
    const QList<PortEntry> entries = portEntries(menu);
    QCOMPARE(entries.size(), 1);
    QCOMPARE(entries.at(0).text, harness.portName());
    QVERIFY(!entries.at(0).enabled);
    QVERIFY(!entries.at(0).checked);

    // Leaving the route frees the port entries again.
    QVERIFY(harness.choosePortEntry(QStringLiteral("ACTi")));
    QVERIFY(!acti->isChecked());
    QVERIFY(!encoderPanel->isVisibleTo(&harness.window()));
    verifyIdle(harness, QStringLiteral("Not connected"));
    QVERIFY(portEntries(harness.showPortMenu()).at(0).enabled);
    QCOMPARE(descriptorsOn(harness.pty().slavePath()), 1);
}

void tst_SerialMenu::vanishedPortLeavesTheWindowIdle_data()
{
    QTest::addColumn<bool>("listedPathExisted");
    QTest::newRow("path never existed") << false;
    QTest::newRow("line gone after listing") << true;
}

void tst_SerialMenu::vanishedPortLeavesTheWindowIdle()
{
    QFETCH(bool, listedPathExisted);

    WindowHarness harness;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    // The adapter's name lives in this test's own folder, as a link to a
    // live line: a freed /dev/pts number may be taken by another process at
    // once, a name in this folder cannot.
    const QString path = dir.filePath(QStringLiteral("ttyGone"));
    if (listedPathExisted)
        QVERIFY(QFile::link(harness.pty().slavePath(), path));
    harness.window().setPortLister([path] {
        return QList<SerialPortEntry>{{QStringLiteral("ttyGone"), path}};
    });
    const QList<QAction *> menu = harness.showPortMenu();
    QCOMPARE(portEntries(menu).size(), 1);
    // The adapter disappears between showing the menu and choosing it.
    QFile::remove(path);
    QVERIFY(!QFileInfo::exists(path));

    LinkView expected = linkView(harness);
    SerialLog log;
    menu.at(3)->trigger();
    // The status line says why, in the warning colour, and so does the log.
    const QString why = QStringLiteral("Could not open ttyGone: No such file or directory");
    expected.status = why;
    QCOMPARE(linkView(harness), expected);
    QVERIFY(harness.find<QLabel>("labelLastCommand")->property("failed").toBool());
    QCOMPARE(SerialLog::warnings(), QStringList{why});
    QVERIFY(!harness.find<QAction>("actionACTi")->isChecked());
    // The five lines about the attempt, which do not claim a connection.
    QCOMPARE(SerialLog::lines().size(), 5);
    QVERIFY(SerialLog::lines().at(0).startsWith(QLatin1String("Could not open:")));

    QVERIFY(!portEntries(harness.showPortMenu()).at(0).checked);

    // Opening a port that is there restores the normal colour.
    const QString present = harness.pty().slavePath();
    const QString name = harness.portName();
    harness.window().setPortLister([present, name] {
        return QList<SerialPortEntry>{{name, present}};
    });
    QVERIFY(harness.openPort());
    QVERIFY(!harness.find<QLabel>("labelLastCommand")->property("failed").toBool());
}

void tst_SerialMenu::choosingTheOpenPortClosesIt()
{
    WindowHarness harness;
    QVERIFY(harness.openPort());
    auto *profile = harness.find<QAction>("actionCameraProfile3");
    profile->trigger();
    QVERIFY(profile->isChecked());
    harness.pty().drain();
    const QStringList buttons{"pushButtonBrightnessWDR", "pushButtonBrightnessAuto",
                              "pushButtonFocusAuto", "pushButtonColor3200K", "pushButtonLEDOff"};
    for (const QString &name : buttons)
        harness.find<QPushButton>(name)->setChecked(true);
    harness.pty().drain();

    harness.closePort();
    verifyIdle(harness, QStringLiteral("Not connected"));
    QVERIFY(!profile->isChecked());
    QVERIFY(!harness.find<QAction>("actionCameraSave")->isEnabled());
    for (const QString &name : buttons)
        QVERIFY2(!harness.find<QPushButton>(name)->isChecked(), qPrintable(name));
    QCOMPARE(descriptorsOn(harness.pty().slavePath()), 1);
    QVERIFY(!portEntries(harness.showPortMenu()).at(0).checked);

    // Nothing reaches the line any more, and the port opens again.
    QCOMPARE(harness.window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 0);
    QCOMPARE(harness.pty().drain(), QByteArray());
    QVERIFY(harness.openPort());
    QCOMPARE(harness.window().sendCommand(QStringLiteral("zoom"), QStringLiteral("0")), 6);
    QCOMPARE(harness.pty().read(6), QByteArray::fromHex("8101040700FF"));
}

// The settings key "serialPorts": paths after the enumerated ports, each
// shown by its path, none twice, a missing one marked and not choosable.
void tst_SerialMenu::configuredPathsFollowThePorts_data()
{
    QTest::addColumn<QVariant>("stored"); // "@pty": the harness's own line, "@other": a second pty
    QTest::addColumn<QStringList>("texts"); // after the harness's entry; "@other" as above
    QTest::addColumn<QList<bool>>("enabled");
    const QString gone = QStringLiteral("/dev/tarndeck-test-absent");
    QTest::newRow("key missing") << QVariant() << QStringList{} << QList<bool>{};
    QTest::newRow("one path as a string")
        << QVariant("@other") << QStringList{"@other"} << QList<bool>{true};
    QTest::newRow("listed port, blanks, repeats")
        << QVariant(QStringList{"@pty", " ", "@other", "@other"}) << QStringList{"@other"}
        << QList<bool>{true};
    QTest::newRow("missing path") << QVariant(QStringList{gone, "@other"})
                                  << QStringList{gone + " (not present)", "@other"}
                                  << QList<bool>{false, true};
    QTest::newRow("not a list") << QVariant(42) << QStringList{} << QList<bool>{};
}

void tst_SerialMenu::configuredPathsFollowThePorts()
{
    QFETCH(QVariant, stored);
    QFETCH(QStringList, texts);
    QFETCH(QList<bool>, enabled);

    WindowHarness harness;
    PtyPair other;
    const auto resolve = [&](QString text) {
        return text.replace(QLatin1String("@pty"), harness.pty().slavePath())
            .replace(QLatin1String("@other"), other.slavePath());
    };
    if (stored.userType() == QMetaType::QStringList) {
        QStringList paths;
        for (const QString &path : stored.toStringList())
            paths << resolve(path);
        stored = paths;
    } else if (stored.userType() == QMetaType::QString) {
        stored = resolve(stored.toString());
    }
    if (stored.isValid())
        QSettings().setValue(QStringLiteral("serialPorts"), stored);

    const QList<PortEntry> entries = portEntries(harness.showPortMenu());
    QCOMPARE(entries.size(), 1 + texts.size());
    QCOMPARE(entries.at(0).text, harness.portName());
    for (int i = 0; i < texts.size(); ++i) {
        QCOMPARE(entries.at(1 + i).text, resolve(texts.at(i)));
        QCOMPARE(entries.at(1 + i).enabled, enabled.at(i));
    }
}

void tst_SerialMenu::configuredPathOpensAndCarriesCommands()
{
    WindowHarness harness;
    PtyPair other;
    QSettings().setValue(QStringLiteral("serialPorts"), QStringList{other.slavePath()});
    QVERIFY(harness.choosePortEntry(other.slavePath()));
    QVERIFY(harness.window().windowTitle().endsWith(other.slavePath().mid(5)));
    const QList<PortEntry> entries = portEntries(harness.showPortMenu());
    QVERIFY(!entries.at(0).checked);
    QVERIFY(entries.at(1).checked);
    QCOMPARE(harness.window().sendCommand(QStringLiteral("zoom"), QStringLiteral("0")), 6);
    // The version inquiry as the port opened, then the command.
    QCOMPARE(other.read(11), QByteArray::fromHex("81090002FF8101040700FF"));
    QCOMPARE(harness.pty().drain(), QByteArray());
}

void tst_SerialMenu::parameterReachesTheLine_data()
{
    QTest::addColumn<QString>("from"); // chosen first, so the entry must change something
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("when");      // "before opening", "while open" or "reopened"
    QTest::addColumn<long>("speed");        // baud on the line, 0: not this row's concern
    QTest::addColumn<int>("standardSpeed"); // the B constant, -1: none exists
    QTest::addColumn<uint>("cflagMask");
    QTest::addColumn<uint>("cflagValue");
    QTest::addColumn<uint>("iflagMask");
    QTest::addColumn<uint>("iflagValue");
    QTest::addColumn<QString>("key"); // what the port reports, as the store keeps it
    QTest::addColumn<int>("saved");

    // A pseudo-terminal always reports 8 data bits and no parity enable (its
    // driver forces CS8 and clears PARENB whatever is asked), so data bits
    // show only in what the port reports, parity through PARODD. For the
    // same reason the serial library refuses 7 data bits and even parity on
    // an open pseudo-terminal: those rows are checked before opening only.
    struct Row
    {
        const char *name;
        const char *from;
        const char *entry;
        long speed;
        int standardSpeed;
        uint cflagMask;
        uint cflagValue;
        uint iflagMask;
        uint iflagValue;
        const char *key;
        int saved;
        bool whileOpenToo = true;
    };
    const uint softFlow = IXON | IXOFF;
    const Row rows[] = {
        {"4800", "action9600", "action4800", 4800, B4800, 0, 0, 0, 0, "baudrate", 4800},
        {"9600", "action115200", "action9600", 9600, B9600, 0, 0, 0, 0, "baudrate", 9600},
        {"14400 (hidden)", "action9600", "action14400", 14400, -1, 0, 0, 0, 0, "baudrate", 14400},
        {"19200", "action9600", "action19200", 19200, B19200, 0, 0, 0, 0, "baudrate", 19200},
        {"28800 (hidden)", "action9600", "action28800", 28800, -1, 0, 0, 0, 0, "baudrate", 28800},
        {"38400", "action9600", "action38400", 38400, B38400, 0, 0, 0, 0, "baudrate", 38400},
        {"57600", "action9600", "action57600", 57600, B57600, 0, 0, 0, 0, "baudrate", 57600},
        {"115200", "action9600", "action115200", 115200, B115200, 0, 0, 0, 0, "baudrate", 115200},
        {"7 data bits", "actionDatabits8", "actionDatabits7", 0, 0, 0, 0, 0, 0, "databits", 7,
         false},
        {"8 data bits", "actionDatabits7", "actionDatabits8", 0, 0, 0, 0, 0, 0, "databits", 8,
         false},
        {"no parity", "actionParityOdd", "actionParityNone", 0, 0, 0, 0, 0, 0, "parity", 0, false},
        {"even parity", "actionParityOdd", "actionParityEven", 0, 0, PARODD, 0, 0, 0, "parity", 2,
         false},
        {"odd parity", "actionParityEven", "actionParityOdd", 0, 0, PARODD, PARODD, 0, 0, "parity",
         3},
        {"one stop bit", "actionStopbits2", "actionStopbits1", 0, 0, CSTOPB, 0, 0, 0, "stopbits",
         1},
        {"two stop bits", "actionStopbits1", "actionStopbits2", 0, 0, CSTOPB, CSTOPB, 0, 0,
         "stopbits", 2},
        // A terminal line cannot express 1.5 stop bits: the port keeps the
        // value, the line shows nothing of it.
        {"1.5 stop bits (hidden)", "actionStopbits2", "actionStopbits1_5", 0, 0, 0, 0, 0, 0,
         "stopbits", 3},
        {"no flow control", "actionFlowcontrolHardware", "actionFlowcontrolNone", 0, 0, CRTSCTS, 0,
         softFlow, 0, "flowcontrol", 0},
        {"hardware flow control", "actionFlowcontrolSoftware", "actionFlowcontrolHardware", 0, 0,
         CRTSCTS, CRTSCTS, softFlow, 0, "flowcontrol", 1},
        {"software flow control", "actionFlowcontrolHardware", "actionFlowcontrolSoftware", 0, 0,
         CRTSCTS, 0, softFlow, softFlow, "flowcontrol", 2},
    };
    for (const char *when : {"before opening", "while open", "reopened"}) {
        for (const Row &row : rows) {
            if (!row.whileOpenToo && qstrcmp(when, "before opening") != 0)
                continue;
            QTest::addRow("%s, %s", row.name, when)
                << QString::fromLatin1(row.from) << QString::fromLatin1(row.entry)
                << QString::fromLatin1(when) << row.speed << row.standardSpeed << row.cflagMask
                << row.cflagValue << row.iflagMask << row.iflagValue << QString::fromLatin1(row.key)
                << row.saved;
        }
    }
}

void tst_SerialMenu::parameterReachesTheLine()
{
    QFETCH(QString, from);
    QFETCH(QString, entry);
    QFETCH(QString, when);
    QFETCH(long, speed);
    QFETCH(int, standardSpeed);
    QFETCH(uint, cflagMask);
    QFETCH(uint, cflagValue);
    QFETCH(uint, iflagMask);
    QFETCH(uint, iflagValue);
    QFETCH(QString, key);
    QFETCH(int, saved);

    WindowHarness harness;
    const auto choose = [&harness](const QString &name) {
        QAction *action = harness.find<QAction>(name);
        QVERIFY2(action, qPrintable(name));
        action->trigger();
    };

    if (when == QLatin1String("before opening")) {
        choose(from);
        choose(entry);
        QVERIFY(harness.openPort());
    } else {
        QVERIFY(harness.openPort());
        choose(from);
        choose(entry);
        if (when == QLatin1String("reopened")) {
            harness.closePort();
            QVERIFY(harness.openPort());
        }
    }

    // The chosen entry alone carries the mark in its group, hidden or not.
    for (const QString &name : groupOf(entry))
        QCOMPARE(harness.find<QAction>(name)->isChecked(), name == entry);

    termios line{};
    QCOMPARE(::tcgetattr(harness.pty().master(), &line), 0);
    if (speed != 0) {
        QCOMPARE(lineSpeed(harness.pty().master()), speed);
        if (standardSpeed >= 0)
            QCOMPARE(int(::cfgetospeed(&line)), standardSpeed);
    }
    QCOMPARE(uint(line.c_cflag) & cflagMask, cflagValue);
    QCOMPARE(uint(line.c_iflag) & iflagMask, iflagValue);

    // The port still carries commands with the new setting.
    QCOMPARE(harness.window().sendCommand(QStringLiteral("focus"), QStringLiteral("auto")), 6);
    QCOMPARE(harness.pty().read(6), QByteArray::fromHex("8101043802FF"));

    harness.window().close();
    QCOMPARE(QSettings().value(key).toInt(), saved);
}

void tst_SerialMenu::parameterMenusLeaveAndRejoinTheMenuBar_data()
{
    // t: the operator chooses "Serial port settings"; 1 / 0: the slot is
    // called with true / false (as the settings restore does).
    QTest::addColumn<QString>("steps");
    QTest::addColumn<bool>("shown");

    QTest::newRow("first start") << "" << false;
    QTest::newRow("checked") << "t" << true;
    QTest::newRow("checked, unchecked") << "tt" << false;
    QTest::newRow("checked, unchecked, checked") << "ttt" << true;
    QTest::newRow("four times") << "tttt" << false;
    QTest::newRow("shown twice") << "t1" << true;
    QTest::newRow("hidden twice, shown") << "t001" << true;
    QTest::newRow("hidden twice") << "t00" << false;
}

void tst_SerialMenu::parameterMenusLeaveAndRejoinTheMenuBar()
{
    QFETCH(QString, steps);
    QFETCH(bool, shown);

    WindowHarness harness;
    for (const QChar step : steps) {
        if (step == QLatin1Char('t')) {
            harness.find<QAction>("actionPortSettings")->trigger();
        } else {
            QVERIFY(QMetaObject::invokeMethod(&harness.window(), "on_actionPortSettings_triggered",
                                              Q_ARG(bool, step == QLatin1Char('1'))));
        }
    }

    const QStringList expected = shown
        ? QStringList{"&Connect", "&Baudrate", "&Protocol", "Control", "Camera profiles", "Options"}
        : QStringList{"&Connect", "Control", "Camera profiles", "Options"};
    QCOMPARE(menuBarTitles(harness), expected);
    if (shown) {
        const QList<QAction *> bar = harness.find<QMenuBar>("menuBar")->actions();
        QCOMPARE(bar.at(1), harness.find<QMenu>("menuBaudrate")->menuAction());
        QCOMPARE(bar.at(2), harness.find<QMenu>("menuProtocol")->menuAction());
    }

    // Wherever the menus are, their entries still set the port.
    harness.find<QAction>("action57600")->trigger();
    QVERIFY(harness.openPort());
    QCOMPARE(lineSpeed(harness.pty().master()), 57600L);
}

void tst_SerialMenu::unpluggedAdapterWaitsForItsReturn_data()
{
    QTest::addColumn<bool>("sendAfterUnplug");
    QTest::newRow("event loop runs") << false;
    QTest::newRow("command sent") << true;
}

void tst_SerialMenu::unpluggedAdapterWaitsForItsReturn()
{
    QFETCH(bool, sendAfterUnplug);

    WindowHarness harness;
    harness.find<QAction>("action19200")->trigger();
    harness.find<QAction>("actionParityEven")->trigger();
    QVERIFY(harness.openPort());
    harness.find<QAction>("actionCameraProfile1")->trigger();

    harness.pty().closeMaster();
    if (sendAfterUnplug)
        harness.window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3"));

    // The route stays chosen: the port is reopened when it is back.
    const QString reconnectingTitle = QStringLiteral("Veltrane - tarnDeck 1.0 - ")
        + harness.portName() + QStringLiteral(" (reconnecting)");
    QTRY_COMPARE_WITH_TIMEOUT(harness.window().windowTitle(), reconnectingTitle, 5000);
    // A command caught by the loss did not leave, and says so; otherwise the
    // loss itself is the news. Both in the warning colour.
    QLabel *status = harness.find<QLabel>("labelLastCommand");
    const QString expected = sendAfterUnplug
        ? QStringLiteral("Not sent: zoom,3 \u2013 serial write failed: port lost (")
        : QStringLiteral("Port lost: ") + harness.portName()
            + QStringLiteral(" \u2013 reconnecting when it is back");
    QVERIFY2(status->text().startsWith(expected), qPrintable(status->text()));
    if (sendAfterUnplug)
        QVERIFY(status->text().size() > expected.size());
    QVERIFY(status->property("failed").toBool());
    for (const char *name : panelNames)
        QVERIFY2(!harness.find<QGroupBox>(name)->isEnabled(), name);
    QVERIFY(!harness.find<QAction>("actionCameraProfile1")->isChecked());

    // Further commands find no route; the window keeps working.
    QCOMPARE(harness.window().sendCommand(QStringLiteral("zoom"), QStringLiteral("0")), 0);
    // Its entry, still checked, closes the port: nothing waits any more.
    const QList<PortEntry> entries = portEntries(harness.showPortMenu());
    QVERIFY(!entries.isEmpty() && entries.constLast().checked && entries.constLast().enabled);
    QVERIFY(harness.choosePortEntry(entries.constLast().text));
    QCOMPARE(harness.window().windowTitle(), notConnectedTitle);
    QTRY_VERIFY(harness.window().cameraList().pool().findChildren<QFileSystemWatcher *>().isEmpty());

    // The parameters survive the loss.
    QVERIFY(harness.find<QAction>("action19200")->isChecked());
    QVERIFY(harness.find<QAction>("actionParityEven")->isChecked());
    harness.window().close();
    QSettings store;
    QCOMPARE(store.value(QStringLiteral("baudrate")).toInt(), 19200);
    QCOMPARE(store.value(QStringLiteral("parity")).toInt(), 2);
}

QTEST_MAIN(tst_SerialMenu)
#include "tst_serialmenu.moc"

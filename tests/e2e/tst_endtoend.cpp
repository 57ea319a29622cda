// The panel and the simulated camera joined the ways an installation joins
// them. The panel's main window is built in this process exactly as the
// program builds it and is driven as the operator drives it: the "&Connect"
// menu, the encoder fields and button, keys held and released, the "Camera
// profiles" menu. The camera is the tarndeck-sim program in a process of its
// own; it decodes what reaches it and reports its state on its HTTP port.
//
// The same operator session runs over three lines: the encoder on a loopback
// port, the simulator's own pseudo-terminal, and a "null-modem cable" (two
// pseudo-terminals joined by this test) into the simulator's --serial side.
// The camera has to end up in the same state, step by step, on every line.
#include "ptypair.h"
#include "serialbus.h"
#include "tarndeck.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QSocketNotifier>
#include <QtTest>

#include <memory>

namespace {

// Generous: the machine may be busy with other builds.
const int kWaitMs = 10000;

// How long a key is held down: long enough for a drive to move the camera
// visibly, whatever the clock granularity.
const int kZoomHoldMs = 200;
const int kFocusHoldMs = 200;
const int kLampHoldMs = 300;
const int kHeadHoldMs = 200;

// The state keys that do not depend on how long a key was held: what the
// two routes must agree on after every step.
const char *const kExactKeys[]
    = {"focusMode",  "wb",        "expComp",  "expLevel",  "wdr",    "zoomDrive",
       "focusDrive", "lampDrive", "panDrive", "tiltDrive", "memory", "packets"};

QString text(const QJsonObject &state, const char *key)
{
    return state.value(QLatin1String(key)).toVariant().toString();
}

int number(const QJsonObject &state, const char *key)
{
    return state.value(QLatin1String(key)).toInt(-1);
}

QString describe(const QJsonObject &state)
{
    return state.isEmpty() ? QStringLiteral("(no state from the simulator)")
                           : QString::fromUtf8(QJsonDocument(state).toJson(QJsonDocument::Compact));
}

// The tarndeck-sim program for the length of one test. It is stopped when
// this goes out of scope, whatever the outcome; when the test failed, the
// simulator's own log of the decoded packets is printed first.
class SimProcess
{
public:
    explicit SimProcess(const QStringList &arguments)
    {
        process.setProcessChannelMode(QProcess::SeparateChannels);
        process.start(QStringLiteral(TARNDECK_SIM_PATH),
                      QStringList{QStringLiteral("--headless")} + arguments);
        if (!process.waitForStarted(kWaitMs))
            return;
        QDeadlineTimer deadline(kWaitMs);
        for (QString line = nextLine(deadline); !line.isNull(); line = nextLine(deadline)) {
            if (line.startsWith(QLatin1String("tarndeck-sim: encoder at ")))
                encoderAuthority = line.section(QLatin1Char(' '), 3);
            else if (line.startsWith(QLatin1String("tarndeck-sim: serial at ")))
                serial = line.section(QLatin1Char(' '), 3);
            else if (line.startsWith(QLatin1String("tarndeck-sim: visca ")))
                network[line.section(QLatin1Char(' '), 2, 2)] = line.section(QLatin1Char(' '), 4);
            else if (line == QLatin1String("tarndeck-sim: ready"))
                break;
        }
        ready = encoderAuthority.startsWith(QLatin1String("127.0.0.1:"));
    }

    ~SimProcess()
    {
        if (QTest::currentTestFailed()) {
            const QList<QByteArray> log = process.readAllStandardError().split('\n');
            for (const QByteArray &line : log.mid(qMax(0, log.size() - 60))) {
                if (!line.isEmpty())
                    qInfo("sim: %s", line.constData());
            }
        }
        if (process.state() != QProcess::NotRunning) {
            process.terminate();
            if (!process.waitForFinished(5000))
                process.kill();
            process.waitForFinished(5000);
        }
    }

    SimProcess(const SimProcess &) = delete;
    SimProcess &operator=(const SimProcess &) = delete;

    bool isReady() const { return ready; }
    QString encoder() const { return encoderAuthority; } // "127.0.0.1:port"
    QString serialPath() const { return serial; }
    // The network camera's address: protocol "udp" or "tcp".
    QString networkCamera(const QString &protocol) const { return network.value(protocol); }

    // The model state as the simulator's /sim/state answers it; empty when
    // it cannot be read.
    QJsonObject state()
    {
        return QJsonDocument::fromJson(get(QStringLiteral("/sim/state"))).object();
    }
    // The simulator's recent log lines (/sim/log).
    QString log() { return QString::fromUtf8(get(QStringLiteral("/sim/log"))); }

    // Polls the state until the camera has decoded at least `packets`
    // packets; false on time-out. *state is the last state read.
    bool reached(int packets, QJsonObject *state)
    {
        QDeadlineTimer deadline(kWaitMs);
        for (;;) {
            *state = this->state();
            if (number(*state, "packets") >= packets)
                return true;
            if (deadline.hasExpired() || process.state() != QProcess::Running)
                return false;
            QTest::qWait(20);
        }
    }

private:
    QByteArray get(const QString &path)
    {
        QNetworkRequest request(QUrl(QStringLiteral("http://") + encoderAuthority + path));
        request.setTransferTimeout(5000);
        std::unique_ptr<QNetworkReply> reply(access.get(request));
        if (!reply->isFinished()) {
            QSignalSpy finished(reply.get(), &QNetworkReply::finished);
            finished.wait(kWaitMs);
        }
        return reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray();
    }

    // The next whole line of standard output; a null string when the
    // program ended or the deadline passed.
    QString nextLine(QDeadlineTimer deadline)
    {
        while (!process.canReadLine()) {
            if (deadline.hasExpired() || process.state() != QProcess::Running)
                return QString();
            process.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        }
        return QString::fromUtf8(process.readLine()).trimmed();
    }

    QProcess process;
    bool ready = false;
    QString encoderAuthority;
    QString serial;
    QMap<QString, QString> network;
    QNetworkAccessManager access;
};

// A null-modem cable between two pseudo-terminals: what the panel writes to
// its side comes out at the camera's side.
class NullModem
{
public:
    NullModem(PtyPair &panelSide, PtyPair &cameraSide)
        : notifier(panelSide.master(), QSocketNotifier::Read)
    {
        QObject::connect(&notifier, &QSocketNotifier::activated,
                         [&panelSide, &cameraSide] { cameraSide.write(panelSide.drain()); });
    }

private:
    QSocketNotifier notifier;
};

// A null-modem cable that carries both ways: the panel's commands to the
// camera's side, the camera's answers back.
class DuplexCable
{
public:
    DuplexCable(PtyPair &panelSide, PtyPair &cameraSide)
        : toCamera(panelSide.master(), QSocketNotifier::Read)
        , toPanel(cameraSide.master(), QSocketNotifier::Read)
    {
        QObject::connect(&toCamera, &QSocketNotifier::activated,
                         [&panelSide, &cameraSide] { cameraSide.write(panelSide.drain()); });
        QObject::connect(&toPanel, &QSocketNotifier::activated,
                         [&panelSide, &cameraSide] { panelSide.write(cameraSide.drain()); });
    }

private:
    QSocketNotifier toCamera;
    QSocketNotifier toPanel;
};

enum class Line {
    SimulatorPty, // the simulator makes the pair (--pty), the panel opens its path
    NullModem,    // the test makes two pairs, the simulator reads one (--serial)
};

} // namespace

Q_DECLARE_METATYPE(Line)

class tst_EndToEnd : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void throughTheEncoder();
    void throughTheSerialLine_data();
    void throughTheSerialLine();
    void throughANetworkCamera_data();
    void throughANetworkCamera();
    void presetRecalledByItsKey();
    void serialLineHeard_data();
    void serialLineHeard();

private:
    struct Key
    {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
    };
    // Presses the key, keeps it down until the camera reports `drive` as
    // `running` and for holdMs more, then lets it go.
    void holdKey(tarnDeck &window, SimProcess &sim, Key key, const char *drive,
                 const QString &running, int holdMs);
    // The operator session, from a freshly connected panel. Each step ends
    // with the state the camera reports, and the exact part of it is added
    // to *trace.
    void runSession(tarnDeck &window, SimProcess &sim, QStringList *trace);

    QStringList encoderTrace; // the session as the encoder route left it
};

void tst_EndToEnd::initTestCase()
{
    TestSettings::useTemporaryStore();
    QApplication::setQuitOnLastWindowClosed(false);
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.app.info=false"));
    QVERIFY2(QFileInfo(QStringLiteral(TARNDECK_SIM_PATH)).isExecutable(), TARNDECK_SIM_PATH);
}

void tst_EndToEnd::init()
{
    TestSettings::clear();
    // The encoder entry is offered only when the store asks for it, and the
    // window reads the store as it is built.
    QSettings store;
    store.setValue(QStringLiteral("acti"), true);
    store.setValue(QStringLiteral("pantiltDrive"), true);
    store.sync();
}

void tst_EndToEnd::holdKey(tarnDeck &window, SimProcess &sim, Key key, const char *drive,
                           const QString &running, int holdMs)
{
    QTest::keyPress(&window, key.key, key.modifiers);
    QTRY_COMPARE_WITH_TIMEOUT(text(sim.state(), drive), running, kWaitMs);
    QTest::qWait(holdMs);
    QTest::keyRelease(&window, key.key, key.modifiers);
}

void tst_EndToEnd::runSession(tarnDeck &window, SimProcess &sim, QStringList *trace)
{
    QAction *profile3 = window.findChild<QAction *>(QStringLiteral("actionCameraProfile3"));
    QAction *save = window.findChild<QAction *>(QStringLiteral("actionCameraSave"));
    QVERIFY(profile3 && save);

    QJsonObject state;
    int packets = 0; // what the camera has decoded so far
    const auto record = [&](const QString &step) {
        QStringList exact;
        for (const char *key : kExactKeys)
            exact << QLatin1String(key) + QLatin1Char('=') + text(state, key);
        trace->append(step + QStringLiteral(": ") + exact.join(QLatin1Char(' ')));
    };
#define REACH(count)                                                                               \
    do {                                                                                           \
        if (QTest::currentTestFailed())                                                            \
            return;                                                                                \
        packets += (count);                                                                        \
        QVERIFY2(sim.reached(packets, &state), qPrintable(describe(state)));                       \
        QVERIFY2(number(state, "packets") == packets, qPrintable(describe(state)));                \
    } while (false)

    // A fresh camera: factory picture, nothing stored, nothing decoded.
    state = sim.state();
    QCOMPARE(number(state, "packets"), 0);
    QCOMPARE(text(state, "memory"), QStringLiteral("none"));

    // Profile 3 chosen: the panel recalls it; slot 3 is still empty, so the
    // camera keeps its factory picture.
    profile3->trigger();
    REACH(1);
    QVERIFY(profile3->isChecked());
    QVERIFY(save->isEnabled());
    QCOMPARE(number(state, "zoom"), 0);
    QCOMPARE(text(state, "focusMode"), QStringLiteral("auto"));
    record(QStringLiteral("profile 3 chosen"));

    // Page Up held: the zoom runs tele while the key is down, stops on release.
    holdKey(window, sim, {Qt::Key_PageUp, Qt::NoModifier}, "zoomDrive", QStringLiteral("tele2"),
            kZoomHoldMs);
    REACH(2);
    QCOMPARE(text(state, "zoomDrive"), QStringLiteral("stop"));
    QVERIFY2(number(state, "zoom") > 0, qPrintable(describe(state)));
    record(QStringLiteral("Page Up held"));

    // Alt+Page Up held: manual focus, a slow far drive while held, stopped
    // on release (Alt is let go after Page Up, as fingers do).
    const int sharpFocus = number(state, "focus");
    holdKey(window, sim, {Qt::Key_PageUp, Qt::AltModifier}, "focusDrive", QStringLiteral("far0"),
            kFocusHoldMs);
    REACH(4); // manual + far, then manual + stop: each slider change clicks Manual
    QCOMPARE(text(state, "focusMode"), QStringLiteral("manual"));
    QCOMPARE(text(state, "focusDrive"), QStringLiteral("stop"));
    QVERIFY2(number(state, "focus") > sharpFocus, qPrintable(describe(state)));
    record(QStringLiteral("Alt+Page Up"));

    // Shift+Page Up twice: compensation on, two steps up from the neutral 7.
    QTest::keyClick(&window, Qt::Key_PageUp, Qt::ShiftModifier);
    QTest::keyClick(&window, Qt::Key_PageUp, Qt::ShiftModifier);
    REACH(4);
    QCOMPARE(text(state, "expComp"), QStringLiteral("on"));
    QCOMPARE(number(state, "expLevel"), 9);
    record(QStringLiteral("Shift+Page Up twice"));

    // "+" held: the lamp brightens while the key is down and holds on release.
    holdKey(window, sim, {Qt::Key_Plus, Qt::NoModifier}, "lampDrive", QStringLiteral("up1"),
            kLampHoldMs);
    REACH(2);
    QCOMPARE(text(state, "lampDrive"), QStringLiteral("stop"));
    QVERIFY2(number(state, "lamp") > 0, qPrintable(describe(state)));
    const int lamp = number(state, "lamp");
    record(QStringLiteral("+ held"));

    // Right held, then Up held: the pad drives the camera's head at speed 3
    // (0Dh pan, 0Bh tilt) while the key is down and stops it on release.
    holdKey(window, sim, {Qt::Key_Right, Qt::NoModifier}, "panDrive", QStringLiteral("right13"),
            kHeadHoldMs);
    REACH(2);
    QCOMPARE(text(state, "panDrive"), QStringLiteral("stop"));
    const int pan = number(state, "pan");
    QVERIFY2(pan > 0, qPrintable(describe(state)));
    holdKey(window, sim, {Qt::Key_Up, Qt::NoModifier}, "tiltDrive", QStringLiteral("up11"),
            kHeadHoldMs);
    REACH(2);
    QCOMPARE(text(state, "tiltDrive"), QStringLiteral("stop"));
    QVERIFY2(number(state, "tilt") > 0, qPrintable(describe(state)));
    QCOMPARE(number(state, "pan"), pan);
    // Stopped means stopped: nothing moves on.
    QTest::qWait(100);
    QCOMPARE(number(sim.state(), "pan"), pan);
    record(QStringLiteral("Right held, Up held"));

    // Save: the picture goes into slot 3.
    save->trigger();
    REACH(1);
    QCOMPARE(text(state, "memory"), QStringLiteral("3"));
    const QJsonObject stored = state;
    record(QStringLiteral("profile 3 saved"));

    // The picture changes: more zoom, one step darker, auto focus.
    holdKey(window, sim, {Qt::Key_PageUp, Qt::NoModifier}, "zoomDrive", QStringLiteral("tele2"),
            kZoomHoldMs);
    QTest::keyClick(&window, Qt::Key_PageDown, Qt::ShiftModifier);
    QTest::keyClick(&window, Qt::Key_Home);
    REACH(2 + 2 + 1);
    QVERIFY2(number(state, "zoom") > number(stored, "zoom"), qPrintable(describe(state)));
    QCOMPARE(number(state, "expLevel"), 8);
    QCOMPARE(text(state, "focusMode"), QStringLiteral("auto"));
    record(QStringLiteral("picture changed"));

    // Profile 3 recalled: the stored picture is back; the lamp, another
    // device, is not part of it.
    profile3->trigger();
    REACH(1);
    for (const char *key :
         {"zoom", "focus", "focusMode", "wb", "expComp", "expLevel", "wdr", "memory"})
        QVERIFY2(state.value(QLatin1String(key)) == stored.value(QLatin1String(key)),
                 qPrintable(QStringLiteral("%1 after the recall: %2")
                                .arg(QLatin1String(key), describe(state))));
    QCOMPARE(text(state, "zoomDrive"), QStringLiteral("stop"));
    QCOMPARE(number(state, "lamp"), lamp);
    record(QStringLiteral("profile 3 recalled"));
#undef REACH
}

// The encoder route: the ACTi entry, the simulator's address, Connect.
void tst_EndToEnd::throughTheEncoder()
{
    SimProcess sim({});
    QVERIFY(sim.isReady());
    WindowHarness harness;
    tarnDeck &window = harness.window();

    auto *entry = harness.find<QAction>(QStringLiteral("actionACTi"));
    auto *address = harness.find<QLineEdit>(QStringLiteral("lineEditActiIP"));
    auto *status = harness.find<QLabel>(QStringLiteral("labelActiStatus"));
    QVERIFY(entry && address && status);
    QVERIFY(entry->isVisible());
    QVERIFY(harness.choosePortEntry(QStringLiteral("ACTi")));
    QVERIFY(entry->isChecked());
    QVERIFY(harness.find<QGroupBox>(QStringLiteral("groupBoxActi"))->isVisibleTo(&window));

    // Only the simulator is ever contacted, never the form's own address.
    address->setText(sim.encoder());
    QVERIFY(address->text().startsWith(QLatin1String("127.0.0.1:")));
    harness.find<QPushButton>(QStringLiteral("pushButtonActiConnect"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(status->text(), QStringLiteral("Connected"), kWaitMs);
    // The panel set the encoder's serial port to the camera's line.
    QVERIFY2(sim.log().contains(QLatin1String("encoder: serial port 8N1,9600 -> 8N1,9600")),
             qPrintable(sim.log()));

    QStringList trace;
    runSession(window, sim, &trace);
    if (QTest::currentTestFailed())
        return;
    encoderTrace = trace;
}

void tst_EndToEnd::throughTheSerialLine_data()
{
    QTest::addColumn<Line>("line");
    QTest::newRow("the simulator's pseudo-terminal") << Line::SimulatorPty;
    QTest::newRow("null-modem cable to its serial side") << Line::NullModem;
}

// The serial route: the panel opens a port through the "&Connect" menu; the
// camera must go through the same states as through the encoder.
void tst_EndToEnd::throughTheSerialLine()
{
    QFETCH(Line, line);

    PtyPair cameraSide; // the null-modem's far end, read by the simulator
    QVERIFY(cameraSide.isValid());
    const QStringList arguments = line == Line::SimulatorPty
        ? QStringList{QStringLiteral("--pty")}
        : QStringList{QStringLiteral("--serial"), cameraSide.slavePath()};
    SimProcess sim(arguments);
    QVERIFY(sim.isReady());
    QVERIFY(sim.serialPath().startsWith(QLatin1String("/dev/")));

    WindowHarness harness;
    tarnDeck &window = harness.window();
    std::unique_ptr<NullModem> cable;
    QString portName = harness.portName();
    if (line == Line::SimulatorPty) {
        const QString path = sim.serialPath();
        portName = path.mid(int(qstrlen("/dev/")));
        window.setPortLister([path, portName] { return QList<SerialPortEntry>{{portName, path}}; });
    } else {
        QCOMPARE(sim.serialPath(), cameraSide.slavePath());
        cable = std::make_unique<NullModem>(harness.pty(), cameraSide);
    }
    QVERIFY(harness.choosePortEntry(portName));
    QVERIFY2(window.windowTitle().endsWith(QStringLiteral(" - ") + portName),
             qPrintable(window.windowTitle()));

    QStringList trace;
    runSession(window, sim, &trace);
    if (QTest::currentTestFailed())
        return;
    // Nothing went through the encoder.
    QVERIFY2(!sim.log().contains(QLatin1String("encoder:")), qPrintable(sim.log()));
    if (encoderTrace.isEmpty())
        QSKIP("no encoder-route session to compare with (run throughTheEncoder first)");
    QCOMPARE(trace, encoderTrace);
}

// The network camera route: "VISCA over IP", the simulator's address for the
// protocol, Connect. The zoom and the memory behave as on the other routes;
// the lamp, which a network camera does not have, is never sent.
void tst_EndToEnd::throughANetworkCamera_data()
{
    QTest::addColumn<QString>("protocol");
    QTest::newRow("udp") << QStringLiteral("udp");
    QTest::newRow("tcp") << QStringLiteral("tcp");
}

void tst_EndToEnd::throughANetworkCamera()
{
    QFETCH(QString, protocol);
    SimProcess sim({QStringLiteral("--visca-") + protocol, QStringLiteral("127.0.0.1:0")});
    QVERIFY(sim.isReady());
    const QString address = sim.networkCamera(protocol);
    QVERIFY(address.startsWith(QLatin1String("127.0.0.1:")));
    WindowHarness harness;
    tarnDeck &window = harness.window();
    QVERIFY(harness.choosePortEntry(QStringLiteral("VISCA over IP")));
    harness.find<QLineEdit>(QStringLiteral("lineEditViscaIpAddress"))->setText(address);
    harness.find<QComboBox>(QStringLiteral("comboBoxViscaIpProtocol"))
        ->setCurrentIndex(protocol == QLatin1String("tcp") ? 1 : 0);
    harness.find<QPushButton>(QStringLiteral("pushButtonViscaIpConnect"))->click();
    QTRY_COMPARE_WITH_TIMEOUT(harness.find<QLabel>(QStringLiteral("labelViscaIpStatus"))->text(),
                              QStringLiteral("Connected"), kWaitMs);

    QJsonObject state;
    holdKey(window, sim, {Qt::Key_PageUp, Qt::NoModifier}, "zoomDrive", QStringLiteral("tele2"),
            kZoomHoldMs);
    QVERIFY2(sim.reached(2, &state), qPrintable(describe(state)));
    QCOMPARE(text(state, "zoomDrive"), QStringLiteral("stop"));
    QVERIFY2(number(state, "zoom") > 0, qPrintable(describe(state)));

    QTest::keyPress(&window, Qt::Key_Plus);
    QTest::qWait(kLampHoldMs);
    QTest::keyRelease(&window, Qt::Key_Plus);
    window.findChild<QAction *>(QStringLiteral("actionCameraProfile3"))->trigger();
    QVERIFY2(sim.reached(3, &state), qPrintable(describe(state)));
    QCOMPARE(number(state, "packets"), 3); // the recall only: no lamp packet
    QCOMPARE(number(state, "lamp"), 0);
    QVERIFY(!sim.log().contains(QLatin1String("refused")));
}

// A preset as an operator uses it on the simulator's line: the head panned
// and the zoom run in, "*" and 3 on the keypad store preset 3, the head and
// the zoom moved away, keypad 3 brings them back (the head at its recall
// speed, so it arrives a little later).
void tst_EndToEnd::presetRecalledByItsKey()
{
    SimProcess sim({QStringLiteral("--pty")});
    QVERIFY(sim.isReady());
    WindowHarness harness;
    tarnDeck &window = harness.window();
    const QString path = sim.serialPath();
    const QString portName = path.mid(int(qstrlen("/dev/")));
    window.setPortLister([path, portName] { return QList<SerialPortEntry>{{portName, path}}; });
    QVERIFY(harness.choosePortEntry(portName));

    holdKey(window, sim, {Qt::Key_Right, Qt::NoModifier}, "panDrive", QStringLiteral("right13"),
            kHeadHoldMs);
    holdKey(window, sim, {Qt::Key_PageUp, Qt::NoModifier}, "zoomDrive", QStringLiteral("tele2"),
            kZoomHoldMs);
    QJsonObject stored;
    QVERIFY2(sim.reached(4, &stored), qPrintable(describe(stored)));
    QTest::keyClick(&window, Qt::Key_Asterisk, Qt::KeypadModifier);
    QTest::keyClick(&window, Qt::Key_3, Qt::KeypadModifier);
    QJsonObject state;
    QVERIFY2(sim.reached(5, &state), qPrintable(describe(state)));
    QVERIFY2(sim.log().contains(QLatin1String("memory set")), qPrintable(sim.log()));
    QVERIFY2(number(stored, "pan") > 0 && number(stored, "zoom") > 0, qPrintable(describe(stored)));

    holdKey(window, sim, {Qt::Key_Left, Qt::NoModifier}, "panDrive", QStringLiteral("left13"),
            2 * kHeadHoldMs);
    holdKey(window, sim, {Qt::Key_PageDown, Qt::NoModifier}, "zoomDrive", QStringLiteral("wide2"),
            2 * kZoomHoldMs);
    QVERIFY2(sim.reached(9, &state), qPrintable(describe(state)));
    QVERIFY2(number(state, "pan") < number(stored, "pan"), qPrintable(describe(state)));
    QVERIFY2(number(state, "zoom") < number(stored, "zoom"), qPrintable(describe(state)));

    QTest::keyClick(&window, Qt::Key_3, Qt::KeypadModifier);
    QVERIFY2(sim.reached(10, &state), qPrintable(describe(state)));
    QCOMPARE(number(state, "zoom"), number(stored, "zoom"));
    QTRY_COMPARE_WITH_TIMEOUT(number(sim.state(), "pan"), number(stored, "pan"), kWaitMs);
    state = sim.state();
    QCOMPARE(number(state, "tilt"), number(stored, "tilt"));
    QCOMPARE(text(state, "panDrive"), QStringLiteral("stop"));
}

// The serial line is read: a camera that answers is matched by its address
// and stays healthy; a line that answers nothing is named "sending only" and
// still driven; a camera that answered and goes away is failing at the third
// command without an answer, and healthy again once it answers.
void tst_EndToEnd::serialLineHeard_data()
{
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<bool>("answers");
    QTest::addColumn<bool>("checks"); // health checks, nothing sent by the operator

    QTest::newRow("answering line")
        << QStringList{QStringLiteral("--wake-time"), QStringLiteral("300")} << true << false;
    QTest::newRow("answering line, health checks")
        << QStringList{QStringLiteral("--wake-time"), QStringLiteral("300")} << true << true;
    QTest::newRow("write-only line")
        << QStringList{QStringLiteral("--serial-silent")} << false << false;
}

void tst_EndToEnd::serialLineHeard()
{
    QFETCH(QStringList, options);
    QFETCH(bool, answers);
    QFETCH(bool, checks);
    const QString sendingOnly = QStringLiteral("sending only (no answers on this line)");

    PtyPair cameraSide;
    QVERIFY(cameraSide.isValid());
    const QStringList arguments = QStringList{QStringLiteral("--serial"), cameraSide.slavePath()}
        + options;
    auto sim = std::make_unique<SimProcess>(arguments);
    QVERIFY(sim->isReady());
    WindowHarness harness;
    tarnDeck &window = harness.window();
    DuplexCable cable(harness.pty(), cameraSide);
    QVERIFY(harness.choosePortEntry(harness.portName()));
    harness.pty().skipOnce(QByteArray()); // the version inquiry goes to the camera
    Camera *camera = window.cameraList().current();
    auto *status = harness.find<QLabel>(QStringLiteral("labelLastCommand"));
    QVERIFY(status);

    // At connect the version inquiry: the model, or a line that answers
    // nothing.
    const QString connected = QStringLiteral("Connected to ") + harness.portName();
    QTRY_COMPARE_WITH_TIMEOUT(status->text(),
                              answers ? connected + QStringLiteral(" (model 0D15)")
                                      : connected + QStringLiteral(", ") + sendingOnly,
                              kWaitMs);

    QVERIFY(window.sendCommand(QStringLiteral("zoom"), QStringLiteral("3")) > 0);
    QJsonObject state;
    QVERIFY2(sim->reached(1, &state), qPrintable(describe(state)));
    QVERIFY(window.sendCommand(QStringLiteral("zoom"), QStringLiteral("0")) > 0);
    QVERIFY2(sim->reached(2, &state), qPrintable(describe(state)));
    if (!answers) {
        QTRY_COMPARE_WITH_TIMEOUT(camera->hearing(), SerialAnswers::Hearing::SendingOnly, kWaitMs);
        QCOMPARE(camera->health(), Camera::Health::Connected);
        QVERIFY2(camera->healthReason().endsWith(sendingOnly), qPrintable(camera->healthReason()));
        // Named, not a failure: the status line keeps the last command.
        QCOMPARE(status->text(), QStringLiteral("zoom,0 [8101040700FF]"));
        QVERIFY2(status->toolTip().endsWith(sendingOnly), qPrintable(status->toolTip()));
        // Still driven as before.
        QVERIFY(window.sendCommand(QStringLiteral("zoom"), QStringLiteral("-3")) > 0);
        QVERIFY2(sim->reached(3, &state), qPrintable(describe(state)));
        QCOMPARE(camera->health(), Camera::Health::Connected);
        return;
    }
    QTRY_COMPARE_WITH_TIMEOUT(camera->hearing(), SerialAnswers::Hearing::Answers, kWaitMs);
    QCOMPARE(camera->health(), Camera::Health::Connected);
    QCOMPARE(status->text(), QStringLiteral("zoom,0 [8101040700FF]"));

    // A camera that comes up again announces it: the chain is numbered
    // again (address set, then interface clear).
    auto *bus = window.cameraList().pool().findChild<SerialBus *>();
    QVERIFY(bus);
    QSignalSpy numbered(bus, &SerialBus::chainNumbered);
    QVERIFY(window.serialSendCommand(QStringLiteral("8101040003FF")) > 0);
    QVERIFY(window.serialSendCommand(QStringLiteral("8101040002FF")) > 0);
    QTRY_COMPARE_WITH_TIMEOUT(numbered.size(), 1, kWaitMs);
    QCOMPARE(numbered.constFirst().constFirst().toInt(), 1);

    // The camera goes away: the third command without an answer shows it,
    // or with health checks on the keep-alives do, nothing else sent.
    camera->setHealthChecks(checks);
    sim.reset();
    QElapsedTimer clock;
    clock.start();
    for (int i = 0; i < 3 && !checks; ++i)
        window.sendCommand(QStringLiteral("focus"), QStringLiteral("0"));
    QTRY_COMPARE_WITH_TIMEOUT(camera->health(), Camera::Health::Failing, kWaitMs);
    qInfo("serial: failing shown %lld ms after the %s", clock.elapsed(),
          checks ? "camera went (keep-alives)" : "third command");
    QVERIFY2(status->text().contains(QLatin1String("camera did not answer")),
             qPrintable(status->text()));
    QCOMPARE(camera->healthReason(), status->text());

    // Back on the same line: its first answer makes it healthy again.
    sim = std::make_unique<SimProcess>(arguments);
    QVERIFY(sim->isReady());
    window.sendCommand(QStringLiteral("focus"), QStringLiteral("0"));
    QTRY_COMPARE_WITH_TIMEOUT(camera->health(), Camera::Health::Connected, kWaitMs);
    QCOMPARE(camera->hearing(), SerialAnswers::Hearing::Answers);
    QVERIFY2(!status->property("failed").toBool(), qPrintable(status->text()));
}

QTEST_MAIN(tst_EndToEnd)
#include "tst_endtoend.moc"

// Several cameras in the real window: two on one pseudo-terminal (a daisy
// chain, addresses 1 and 2) and network cameras at the simulator on loopback.
// Switching stops what the keys and pointer started on the camera left
// before the next one hears anything; the strip shows every camera's health;
// a one-camera store stays one camera and is written back as it was; no text
// of the window is cut, up to the most cameras the strip lays out.
#include "camerarecords.h"
#include "camerastrip.h"
#include "linkpool.h"
#include "logcapture.h"
#include "packettext.h"
#include "presetpanel.h"
#include "serialbus.h"
#include "serialprobe.h"
#include "simulator.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QDialog>
#include <QListWidget>
#include <QSpinBox>
#include <QStyle>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

struct Listed
{
    QString name;
    QString route;
    QString serialPort;
    QString address;
    int viscaAddress = 1;
    bool connectAtStart = true;
};

// The store holds these cameras (camera 1 first) and nothing else.
void storeCameras(const QList<Listed> &list)
{
    TestSettings::clear();
    QSettings store;
    store.beginWriteArray(QStringLiteral("cameras"), int(list.size()));
    for (int i = 0; i < list.size(); ++i) {
        const Listed &each = list.at(i);
        store.setArrayIndex(i);
        store.setValue(QStringLiteral("name"), each.name);
        if (!each.route.isEmpty())
            store.setValue(QStringLiteral("route"), each.route);
        if (!each.serialPort.isEmpty())
            store.setValue(QStringLiteral("serialPort"), each.serialPort);
        if (!each.address.isEmpty())
            store.setValue(QStringLiteral("address"), each.address);
        store.setValue(QStringLiteral("viscaAddress"), each.viscaAddress);
        store.setValue(QStringLiteral("lampAddress"), 0);
        store.setValue(QStringLiteral("connectAtStart"), each.connectAtStart);
    }
    store.endArray();
    store.sync();
}

QMap<QString, QString> keysOf(const QString &file)
{
    QSettings store(file, QSettings::IniFormat);
    QMap<QString, QString> keys;
    for (const QString &key : store.allKeys())
        keys.insert(key, store.value(key).toString());
    return keys;
}

} // namespace

class tst_Cameras : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void switchingStopsFirst_data();
    void switchingStopsFirst();
    void stripShowsEveryCamerasHealth();
    void oneCameraStoreStaysOneCamera();
    void editorBuildsTheList();
    void editorAsksTheSerialLine_data();
    void editorAsksTheSerialLine();
    void presetsStayWithTheirCamera();
    void noTextIsCut_data();
    void noTextIsCut();

private:
    QString received(const QString &expectedHex);

    std::unique_ptr<WindowHarness> harness;
    std::unique_ptr<Simulator> sim;
};

void tst_Cameras::initTestCase()
{
    TestSettings::useTemporaryStore();
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.sim.info=false"));
}

void tst_Cameras::cleanup()
{
    harness.reset();
    sim.reset();
}

QString tst_Cameras::received(const QString &expectedHex)
{
    QByteArray got;
    const int expected = QByteArray::fromHex(expectedHex.toLatin1()).size();
    (void)QTest::qWaitFor(
        [&] {
            got += harness->pty().drain();
            return got.size() >= expected;
        },
        3000);
    QTest::qWait(30);
    got += harness->pty().drain();
    return PacketText::fromBytes(got);
}

void tst_Cameras::switchingStopsFirst_data()
{
    QTest::addColumn<int>("key");
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("how");
    QTest::addColumn<QString>("started");
    QTest::addColumn<QString>("stop");
    QTest::addColumn<QString>("again");

    const Qt::KeyboardModifiers none = Qt::NoModifier;
    QTest::newRow("zoom, Ctrl+2") << int(Qt::Key_PageUp) << none << "Ctrl+2"
                                  << "8101040722FF"
                                  << "8101040700FF"
                                  << "8201040722FF";
    QTest::newRow("zoom, Ctrl+Shift+Tab round the end")
        << int(Qt::Key_PageUp) << none << "Ctrl+Shift+Tab"
        << "8101040722FF"
        << "8101040700FF"
        << "8201040722FF";
    QTest::newRow("focus, Ctrl+Tab") << int(Qt::Key_PageUp) << Qt::KeyboardModifiers(Qt::AltModifier)
                                     << "Ctrl+Tab"
                                     << "8101043803FF 8101040820FF"
                                     << "8101043803FF 8101040800FF"
                                     << "8201043803FF 8201040820FF";
    QTest::newRow("pan-tilt, strip button")
        << int(Qt::Key_Left) << none << "click" << "810106010D010103FF"
        << "8101060101010303FF"
        << "820106010D010103FF";
}

// A move running on camera 1 (address 1), another camera chosen while its
// key is still held: camera 1's stop is on the line before camera 2's first
// packet (address 2), and the key held starts nothing on camera 2 until it
// is pressed again.
void tst_Cameras::switchingStopsFirst()
{
    QFETCH(int, key);
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, how);
    QFETCH(QString, started);
    QFETCH(QString, stop);
    QFETCH(QString, again);

    // The pty exists before the store names it.
    auto line = std::make_unique<PtyPair>();
    QVERIFY(line->isValid());
    storeCameras({{"Stage left", "serial", line->slavePath(), QString(), 1, true},
                  {"Pulpit", "serial", line->slavePath(), QString(), 2, true}});
    {
        QSettings store;
        store.setValue(QStringLiteral("pantilt"), true);
        store.setValue(QStringLiteral("pantiltDrive"), true);
    }
    harness = std::make_unique<WindowHarness>(std::move(line));
    tarnDeck &window = harness->window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    CameraList &cameras = window.cameraList();
    QCOMPARE(cameras.count(), 2);
    QTRY_VERIFY(cameras.at(0)->carriesCommands() && cameras.at(1)->carriesCommands());
    auto *strip = harness->find<CameraStrip>(QStringLiteral("cameraStrip"));
    QVERIFY(strip && strip->isVisible());
    QVERIFY(window.windowTitle().contains(QStringLiteral(" - 1 Stage left - ")));
    harness->pty().drain();

    QTest::keyPress(&window, Qt::Key(key), modifiers);
    QCOMPARE(received(started), PacketText::fromHex(started));

    if (how == QLatin1String("Ctrl+2"))
        QTest::keyClick(&window, Qt::Key_2, Qt::ControlModifier);
    else if (how == QLatin1String("Ctrl+Tab"))
        QTest::keyClick(&window, Qt::Key_Tab, Qt::ControlModifier);
    else if (how == QLatin1String("Ctrl+Shift+Tab"))
        QTest::keyClick(&window, Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    else
        QTest::mouseClick(harness->find<QPushButton>(QStringLiteral("cameraButton2")),
                          Qt::LeftButton);
    QCOMPARE(cameras.currentIndex(), 1);
    QCOMPARE(received(stop), PacketText::fromHex(stop));
    QVERIFY2(window.windowTitle().contains(QStringLiteral(" - 2 Pulpit - ")),
             qPrintable(window.windowTitle()));
    QVERIFY2(strip->describe().contains(QStringLiteral("2 Pulpit [x] connected")),
             qPrintable(strip->describe()));

    // The key still held, then let go: nothing reaches camera 2.
    QTest::keyRelease(&window, Qt::Key(key), modifiers);
    QCOMPARE(received(QString()), QString());
    QTest::keyPress(&window, Qt::Key(key), modifiers);
    QCOMPARE(received(again), PacketText::fromHex(again));
    QTest::keyRelease(&window, Qt::Key(key), modifiers);
    QVERIFY(received(QStringLiteral("82")).startsWith(QStringLiteral("82")));
}

// Camera 2 a TCP camera at the simulator, camera 1 current: the simulator
// going marks camera 2 reconnecting on the strip at once, with the reason in its
// tooltip and in the log; selecting it puts the reason on the status line.
void tst_Cameras::stripShowsEveryCamerasHealth()
{
    sim = std::make_unique<Simulator>();
    QVERIFY(sim->network().listenTcp(QHostAddress::LocalHost, 0));
    auto line = std::make_unique<PtyPair>();
    storeCameras({{"Stage left", "serial", line->slavePath(), QString(), 1, true},
                  {"Balcony", "tcp", QString(), sim->network().tcpAuthority(), 1, true},
                  {"Spare", "udp", QString(), QStringLiteral("127.0.0.1:9"), 1, false}});
    harness = std::make_unique<WindowHarness>(std::move(line));
    tarnDeck &window = harness->window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *strip = harness->find<CameraStrip>(QStringLiteral("cameraStrip"));
    QVERIFY(strip);
    QTRY_COMPARE(strip->describe(),
                 QStringLiteral("strip 1 Stage left [x] connected | 2 Balcony [ ] connected | "
                                "3 Spare [ ] not connected"));

    LogCapture log("tarndeck.camera");
    sim.reset();
    QTRY_VERIFY2(strip->describe().contains(QStringLiteral("2 Balcony [ ] reconnecting")),
                 qPrintable(strip->describe()));
    auto *button = harness->find<QPushButton>(QStringLiteral("cameraButton2"));
    const QString reason = window.cameraList().at(1)->healthReason();
    QVERIFY(!reason.isEmpty());
    QVERIFY2(button->toolTip().contains(reason), qPrintable(button->toolTip()));
    const QString logged = LogCapture::lines(QtInfoMsg).join(QLatin1Char('\n'));
    QVERIFY2(logged.contains(QStringLiteral("camera 2 (Balcony) reconnecting")), qPrintable(logged));

    QTest::keyClick(&window, Qt::Key_2, Qt::ControlModifier);
    QTRY_VERIFY2(harness->find<QLabel>(QStringLiteral("labelLastCommand"))->text().contains(reason),
                 qPrintable(harness->find<QLabel>(QStringLiteral("labelLastCommand"))->text()));
    // Camera 1 stayed connected meanwhile.
    QVERIFY(window.cameraList().at(0)->carriesCommands());
}

// A store as an earlier version wrote it: one camera, no strip, the title
// as ever, and after a close every key as it was, no camera array added.
void tst_Cameras::oneCameraStoreStaysOneCamera()
{
    TestSettings::clear();
    {
        QFile file(TestSettings::storeFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("[General]\nacti=true\nactiIP=127.0.0.1:8099\nactiUser=Operator\n"
                   "baudrate=19200\nviscaIpAddress=127.0.0.1:52999\nviscaIpProtocol=tcp\n");
    }
    const QMap<QString, QString> before = keysOf(TestSettings::storeFile());
    harness = std::make_unique<WindowHarness>();
    harness->window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&harness->window()));
    QCOMPARE(harness->window().cameraList().count(), 1);
    QVERIFY(!harness->find<CameraStrip>(QStringLiteral("cameraStrip"))->isVisible());
    QVERIFY(harness->window().windowTitle().endsWith(QStringLiteral(" - Not connected")));
    QCOMPARE(harness->find<QLineEdit>(QStringLiteral("lineEditActiIP"))->text(),
             QStringLiteral("127.0.0.1:8099"));
    harness->window().close();
    harness.reset();

    const QMap<QString, QString> after = keysOf(TestSettings::storeFile());
    for (auto it = before.cbegin(); it != before.cend(); ++it)
        QCOMPARE(after.value(it.key()), it.value());
    for (const QString &key : after.keys())
        QVERIFY2(!key.startsWith(QLatin1String("cameras")), qPrintable(key));
}

// Options → Cameras…: a camera added over UDP, "Test" asks the simulator
// for its version, a failing test says why; another added, moved up,
// renamed, one removed; OK gives the strip, the title and the store the
// edited list, camera 1 still current.
void tst_Cameras::editorBuildsTheList()
{
    sim = std::make_unique<Simulator>();
    QVERIFY(sim->network().listenUdp(QHostAddress::LocalHost, 0));
    TestSettings::clear();
    harness = std::make_unique<WindowHarness>();
    tarnDeck &window = harness->window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    harness->find<QAction>(QStringLiteral("actionCameras"))->trigger();
    auto *editor = window.findChild<QDialog *>(QStringLiteral("cameraEditor"));
    QVERIFY(editor);
    QTRY_VERIFY(editor->isVisible());
    const auto field = [editor](const char *name) {
        return editor->findChild<QWidget *>(QLatin1String(name));
    };
    auto *list = qobject_cast<QListWidget *>(field("listCameras"));
    auto *route = qobject_cast<QComboBox *>(field("comboRoute"));
    auto *name = qobject_cast<QLineEdit *>(field("lineEditName"));
    auto *address = qobject_cast<QLineEdit *>(field("lineEditAddress"));
    auto *result = qobject_cast<QLabel *>(field("labelTest"));
    QVERIFY(list && route && name && address && result);
    QCOMPARE(list->count(), 1);

    qobject_cast<QPushButton *>(field("buttonAdd"))->click();
    QCOMPARE(list->count(), 2);
    name->setText(QStringLiteral("Gallery"));
    route->setCurrentIndex(route->findText(QStringLiteral("network camera (UDP)")));
    QVERIFY(address->isVisible());
    address->setText(QStringLiteral("no such place"));
    qobject_cast<QPushButton *>(field("buttonTest"))->click();
    QCOMPARE(result->text(), QStringLiteral("Failed: not an IP address"));
    address->setText(sim->network().udpAuthority());
    qobject_cast<QPushButton *>(field("buttonTest"))->click();
    QTRY_VERIFY2(result->text().startsWith(QStringLiteral("Answers: model ")),
                 qPrintable(result->text()));

    qobject_cast<QPushButton *>(field("buttonAdd"))->click();
    name->setText(QStringLiteral("Organ loft"));
    qobject_cast<QPushButton *>(field("buttonUp"))->click();
    QCOMPARE(list->currentRow(), 1);
    qobject_cast<QPushButton *>(field("buttonAdd"))->click();
    qobject_cast<QPushButton *>(field("buttonRemove"))->click();
    QCOMPARE(list->count(), 3);
    editor->accept();

    CameraList &cameras = window.cameraList();
    QCOMPARE(cameras.count(), 3);
    QCOMPARE(cameras.currentIndex(), 0);
    auto *strip = harness->find<CameraStrip>(QStringLiteral("cameraStrip"));
    QTRY_VERIFY(strip->isVisible());
    QCOMPARE(strip->describe(),
             QStringLiteral("strip 1 Camera 1 [x] not connected | 2 Organ loft [ ] not connected | "
                            "3 Gallery [ ] not connected"));
    QVERIFY2(window.windowTitle().contains(QStringLiteral(" - 1 Camera 1 - Not connected")),
             qPrintable(window.windowTitle()));
    QCOMPARE(cameras.at(2)->config().networkAddress, sim->network().udpAuthority());
    window.close();
    QSettings store;
    QCOMPARE(store.value(QStringLiteral("cameras/size")).toInt(), 3);
    QCOMPARE(store.value(QStringLiteral("cameras/3/route")).toString(), QStringLiteral("udp"));
    QCOMPARE(store.value(QStringLiteral("cameras/2/name")).toString(), QStringLiteral("Organ loft"));
}

// Each camera keeps its own presets: selecting camera 2 draws its presets
// in the panel; the editor taking camera 2 out and moving camera 3 up moves
// the presets' keys (names, order) in the store with their cameras; a
// camera shown before a switch still writes a preset renamed after it.
void tst_Cameras::presetsStayWithTheirCamera()
{
    storeCameras({{"A", QString(), QString(), QString(), 1, false},
                  {"B", QString(), QString(), QString(), 2, false},
                  {"C", QString(), QString(), QString(), 3, false}});
    {
        QSettings store;
        for (int n = 1; n <= 3; ++n)
            store.setValue(QStringLiteral("cameras/%1/presets/1/name").arg(n),
                           QStringLiteral("Shot %1").arg(QChar(QLatin1Char('A' + n - 1))));
        store.setValue(QStringLiteral("cameras/3/presetOrder"), QStringLiteral("2"));
    }
    harness = std::make_unique<WindowHarness>();
    tarnDeck &window = harness->window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto *panel = window.findChild<PresetPanel *>();
    QVERIFY(panel);
    const auto firstPreset = [panel] { return panel->button(0)->text(); };
    QVERIFY2(firstPreset().contains(QStringLiteral("Shot A")), qPrintable(firstPreset()));
    QTest::keyClick(&window, Qt::Key_2, Qt::ControlModifier);
    QVERIFY2(firstPreset().contains(QStringLiteral("Shot B")), qPrintable(firstPreset()));
    QTest::keyClick(&window, Qt::Key_1, Qt::ControlModifier);

    harness->find<QAction>(QStringLiteral("actionCameras"))->trigger();
    auto *editor = window.findChild<QDialog *>(QStringLiteral("cameraEditor"));
    QVERIFY(editor);
    auto *list = editor->findChild<QListWidget *>(QStringLiteral("listCameras"));
    list->setCurrentRow(1);
    editor->findChild<QPushButton *>(QStringLiteral("buttonRemove"))->click();
    list->setCurrentRow(1);
    editor->findChild<QPushButton *>(QStringLiteral("buttonUp"))->click();
    editor->accept();

    CameraList &cameras = window.cameraList();
    QCOMPARE(cameras.count(), 2);
    QCOMPARE(cameras.at(0)->config().name, QStringLiteral("C"));
    QCOMPARE(cameras.current(), cameras.at(1));
    QVERIFY2(firstPreset().contains(QStringLiteral("Shot A")), qPrintable(firstPreset()));
    PresetBook book = cameras.at(1)->presets();
    book.setName(2, QStringLiteral("Wide"));
    cameras.at(1)->setPresets(book);
    window.close();
    harness.reset();

    const QMap<QString, QString> keys = keysOf(TestSettings::storeFile());
    QCOMPARE(keys.value(QStringLiteral("cameras/1/presets/1/name")), QStringLiteral("Shot C"));
    QCOMPARE(keys.value(QStringLiteral("cameras/2/presets/1/name")), QStringLiteral("Shot A"));
    QCOMPARE(keys.value(QStringLiteral("cameras/2/presets/2/name")), QStringLiteral("Wide"));
    QVERIFY(!keys.contains(QStringLiteral("cameras/3/presets/1/name")));
    QVERIFY(keys.value(QStringLiteral("cameras/1/presetOrder")).startsWith(QStringLiteral("2,1,3,")));
    QVERIFY(!keys.contains(QStringLiteral("cameras/3/presetOrder")));
}

void tst_Cameras::noTextIsCut_data()
{
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("route");
    QTest::newRow("one camera, network panel") << 1 << "udp";
    QTest::newRow("four cameras, network panel") << 4 << "udp";
    QTest::newRow("twenty cameras, encoder panel") << CameraRecords::kMaxCameras << "encoder";
}

// At the first-start size (and, run with QT_SCALE_FACTOR=2, at twice the
// pixels) every label and button shows its whole text: the width its text
// needs fits the widget.
void tst_Cameras::noTextIsCut()
{
    QFETCH(int, count);
    QFETCH(QString, route);

    QList<Listed> list;
    for (int i = 0; i < count; ++i)
        list.append({QStringLiteral("Camera at the %1 door").arg(i + 1), route, QString(),
                     QStringLiteral("192.168.100.%1:52381").arg(230 + i), 1, false});
    storeCameras(list);
    harness = std::make_unique<WindowHarness>();
    tarnDeck &window = harness->window();
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    const Camera *camera = window.cameraList().current();
    QVERIFY(!camera->carriesCommands());
    // One camera: its route chosen as ever, from "&Connect".
    if (count == 1) {
        QVERIFY(harness->choosePortEntry(QStringLiteral("VISCA over IP")));
        harness->find<QLineEdit>(QStringLiteral("lineEditViscaIpAddress"))
            ->setText(QStringLiteral("255.255.255.255:65535"));
    }

    // The route panel as it says why a connect failed; the window at the
    // size it takes for it.
    auto *status = harness->find<QLabel>(route == QLatin1String("udp")
                                             ? QStringLiteral("labelViscaIpStatus")
                                             : QStringLiteral("labelActiStatus"));
    QVERIFY(status && status->isVisible());
    status->setText(QStringLiteral("Failed, could not connect"));
    // The readouts at their widest.
    harness->find<QLabel>(QStringLiteral("labelZoomPosition"))->setText(QStringLiteral("100 % +"));
    harness->find<QLabel>(QStringLiteral("labelFocusPosition"))->setText(QStringLiteral("100 %"));
    window.resize(window.minimumSizeHint().boundedTo(window.size()));
    QCoreApplication::processEvents();
    QTest::qWait(20);

    QStringList cut;
    for (QWidget *widget : window.findChildren<QWidget *>()) {
        if (!widget->isVisible() || widget->width() <= 0)
            continue;
        int needed = 0;
        int room = widget->contentsRect().width();
        if (auto *label = qobject_cast<QLabel *>(widget)) {
            if (label->text().isEmpty())
                continue;
            const QFontMetrics metrics = label->fontMetrics();
            if (label->wordWrap()) {
                // Every word on a line of its own at worst, all lines shown.
                for (const QString &word : label->text().split(QLatin1Char(' ')))
                    needed = qMax(needed, metrics.horizontalAdvance(word));
                if (label->heightForWidth(label->width()) > label->height())
                    cut << QStringLiteral("%1 '%2' needs %3 pixels' height, has %4")
                               .arg(label->objectName(), label->text())
                               .arg(label->heightForWidth(label->width()))
                               .arg(label->height());
            } else {
                needed = metrics.horizontalAdvance(label->text());
            }
            needed += 2 * label->margin() + 2 * qMax(label->indent(), 0);
        } else if (auto *button = qobject_cast<QAbstractButton *>(widget)) {
            if (button->text().isEmpty())
                continue;
            // The style's own minimum for this text (icon and frame).
            needed = button->minimumSizeHint().width();
            room = button->width();
        } else if (auto *edit = qobject_cast<QLineEdit *>(widget)) {
            if (edit->text().isEmpty())
                continue;
            // Its text, 2 pixels either side, the cursor, and the frame.
            needed = edit->fontMetrics().horizontalAdvance(edit->text()) + 2 * 2 + 1
                + 2 * edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, edit);
            room = edit->width();
        } else {
            continue;
        }
        if (needed > room)
            cut << QStringLiteral("%1 '%2' %3 > %4")
                       .arg(widget->objectName(),
                            widget->property("text").toString())
                       .arg(needed)
                       .arg(room);
    }
    QVERIFY2(cut.isEmpty(), qPrintable(cut.join(QStringLiteral("; "))));
}

enum class Line { InUse, Silent, Missing };
Q_DECLARE_METATYPE(Line)

void tst_Cameras::editorAsksTheSerialLine_data()
{
    QTest::addColumn<Line>("line");
    QTest::addColumn<QString>("test");
    QTest::addColumn<QString>("numbered");
    QTest::newRow("chain of two answering, port in use")
        << Line::InUse << "Answers: model 0D15" << "2 cameras answered";
    QTest::newRow("silent line, opened for the question")
        << Line::Silent << "sending only (no answers on this line)"
        << "no camera answered (sending only line)";
    QTest::newRow("no such port") << Line::Missing << "Could not open /nonexistent/ttyTarn0: "
                                  << "Could not open /nonexistent/ttyTarn0: ";
}

// "Test" and "Number the chain" for a serial camera, on the simulator's
// serial line: on the running port or one opened for the question and given
// back; the answer comes without the dialog waiting.
void tst_Cameras::editorAsksTheSerialLine()
{
    QFETCH(Line, line);
    QFETCH(QString, test);
    QFETCH(QString, numbered);
    ViscaModel::Config config;
    config.serialCameras = 2;
    sim = std::make_unique<Simulator>(config);
    QString error;
    QVERIFY2(sim->serial().openPty(&error), qPrintable(error));
    sim->setSerialAnswers(line == Line::InUse);
    const QString path = line == Line::Missing ? QStringLiteral("/nonexistent/ttyTarn0")
                                               : sim->serial().path();
    TestSettings::clear();
    harness = std::make_unique<WindowHarness>();
    tarnDeck &window = harness->window();
    LinkPool &pool = window.cameraList().pool();
    Camera *camera = window.cameraList().current();
    if (line == Line::InUse)
        QVERIFY(camera->openSerial({QStringLiteral("sim"), path}));
    harness->find<QAction>(QStringLiteral("actionCameras"))->trigger();
    auto *editor = window.findChild<QDialog *>(QStringLiteral("cameraEditor"));
    QVERIFY(editor);
    const auto field = [editor](const char *name) {
        return editor->findChild<QWidget *>(QLatin1String(name));
    };
    auto *route = qobject_cast<QComboBox *>(field("comboRoute"));
    auto *port = qobject_cast<QComboBox *>(field("comboSerialPort"));
    auto *result = qobject_cast<QLabel *>(field("labelTest"));
    auto *testButton = qobject_cast<QPushButton *>(field("buttonTest"));
    auto *numberButton = qobject_cast<QPushButton *>(field("buttonNumberChain"));
    QVERIFY(route && port && result && testButton && numberButton);
    route->setCurrentIndex(route->findText(QStringLiteral("serial line")));
    port->setCurrentText(path);
    QVERIFY(testButton->isEnabled() && numberButton->isEnabled());

    for (auto [button, expected] : {std::pair{testButton, test}, std::pair{numberButton, numbered}}) {
        button->click();
        if (line != Line::Missing)
            QVERIFY(!testButton->isEnabled() && !numberButton->isEnabled());
        QTRY_VERIFY2_WITH_TIMEOUT(result->text().startsWith(expected), qPrintable(result->text()),
                                  SerialProbe::kWaitMs + 1000);
        QVERIFY(testButton->isEnabled() && numberButton->isEnabled());
    }
    // A port opened for the questions is given back; one in use stays.
    QTRY_COMPARE(pool.findChildren<SerialBus *>().size(), line == Line::InUse ? 1 : 0);
    editor->reject();
}

QTEST_MAIN(tst_Cameras)
#include "tst_cameras.moc"

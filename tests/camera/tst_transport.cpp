// The road of a command to the camera: a real window with its serial port
// open on a pseudo-terminal, every (group, action) of the vocabulary sent
// through sendCommand, and the exact bytes read on the far side of the line.
// Also what the window records and shows, and what happens when no route is
// up.
#include "logcapture.h"
#include "packettext.h"
#include "stallwatch.h"
#include "tarndeck.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QAction>
#include <QLabel>
#include <QtTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

// Zoom stop, sent after a request to mark the end of its bytes.
const QByteArray marker = QByteArray::fromHex("8101040700FF");

QLabel *statusLine(WindowHarness &harness)
{
    return harness.find<QLabel>("labelLastCommand");
}

// The bytes the camera must receive for a list of command texts.
QByteArray bytesOf(const QStringList &packets)
{
    QByteArray bytes;
    for (const QString &packet : packets)
        bytes += QByteArray::fromHex(packet.toLatin1());
    return bytes;
}

// Fills the line until it takes nothing more, as a camera that does not
// read leaves it: the bytes written go nowhere until the far end reads.
qint64 fillLine(const QString &slavePath)
{
    const int filler
        = ::open(QFile::encodeName(slavePath).constData(), O_WRONLY | O_NOCTTY | O_NONBLOCK);
    if (filler < 0)
        return -1;
    const QByteArray block(512, '\0');
    qint64 filled = 0;
    // The line moves bytes on to the far end in the background: fill until
    // a round after a pause takes nothing more.
    for (qint64 round = -1; round != 0;) {
        round = 0;
        for (size_t chunk = size_t(block.size()); chunk > 0; chunk /= 2) {
            for (ssize_t n; (n = ::write(filler, block.constData(), chunk)) > 0;)
                round += n;
        }
        filled += round;
        QThread::msleep(50);
    }
    ::close(filler);
    return filled;
}

// What the camera reads once it reads again, past the filler's zeros.
QString afterTheFiller(PtyPair &line)
{
    QByteArray received;
    for (QByteArray more = line.read(0, 200); !more.isEmpty(); more = line.read(0, 200))
        received += more;
    int first = 0;
    while (first < received.size() && received.at(first) == '\0')
        ++first;
    return PacketText::fromBytes(received.mid(first));
}

// lastCommand after a request: the pair, then each packet in brackets.
QString recordOf(const QString &pair, const QStringList &packets)
{
    QString record = pair;
    for (const QString &packet : packets)
        record += QStringLiteral(" [") + packet + QLatin1Char(']');
    return record;
}

} // namespace

class tst_Transport : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();

    void vocabularyReachesTheLine_data();
    void vocabularyReachesTheLine();
    void commandTextBecomesBytes_data();
    void commandTextBecomesBytes();
    void commandsLeaveInOrder();
    void noRouteSendsNothing_data();
    void noRouteSendsNothing();
    void serialPortWinsOverEncoderRoute();
    void unreadLineGetsNoStaleDrive_data();
    void unreadLineGetsNoStaleDrive();
    void heldLineKeepsStopsDropsTheRest();
    void answersAreReadAndDropped_data();
    void answersAreReadAndDropped();
};

void tst_Transport::initTestCase()
{
    TestSettings::useTemporaryStore();
    QApplication::setQuitOnLastWindowClosed(false);
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.app.info=false"));
}

void tst_Transport::init()
{
    TestSettings::clear();
}

void tst_Transport::vocabularyReachesTheLine_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QString>("pair");        // the words as lastCommand records them
    QTest::addColumn<QStringList>("packets"); // command texts, in sending order

    const auto row = [](const QString &name, const QString &group, const QString &action,
                        const QString &pair, const QStringList &packets) {
        QTest::newRow(qPrintable(name)) << group << action << pair << packets;
    };
    const auto one = [&row](const char *group, const char *action, const char *packet) {
        row(QStringLiteral("%1 %2").arg(group, action), group, action,
            QStringLiteral("%1,%2").arg(group, action), {packet});
    };

    // Zoom: 0 stops, the sign picks tele / wide, |n| - 1 the speed (at most 7).
    one("zoom", "0", "8101040700FF");
    one("zoom", "1", "8101040720FF");
    one("zoom", "3", "8101040722FF");
    one("zoom", "8", "8101040727FF");
    one("zoom", "9", "8101040727FF");
    one("zoom", "1000", "8101040727FF");
    one("zoom", "-1", "8101040730FF");
    one("zoom", "-3", "8101040732FF");
    one("zoom", "-8", "8101040737FF");
    one("zoom", "-9", "8101040737FF");
    row("zoom with blanks and capitals", " Zoom ", "3", "zoom,3", {"8101040722FF"});
    row("zoom action with blanks", "ZOOM", " -2 ", "zoom,-2", {"8101040731FF"});

    // Focus: three words, then the same speed rule as zoom.
    one("focus", "auto", "8101043802FF");
    one("focus", "manual", "8101043803FF");
    one("focus", "trigger", "8101041801FF");
    one("focus", "0", "8101040800FF");
    one("focus", "1", "8101040820FF");
    one("focus", "8", "8101040827FF");
    one("focus", "9", "8101040827FF");
    one("focus", "-1", "8101040830FF");
    one("focus", "-8", "8101040837FF");
    one("focus", "-9", "8101040837FF");
    row("focus AUTO in capitals with blanks", " FOCUS", " AUTO ", "focus,auto", {"8101043802FF"});
    row("focus Manual mixed case", "Focus", "Manual", "focus,manual", {"8101043803FF"});

    // The lamp on device 2; "up" keeps its lower-case terminator.
    for (const char *group : {"led", "pt"}) {
        one(group, "up", "8201060100010301ff");
        one(group, "down", "8201060100010302FF");
        one(group, "stop", "8201060100000303FF");
        one(group, "off", "8201060100180302FF");
    }
    row("led Up in capitals", "LED", " Up ", "led,up", {"8201060100010301ff"});

    one("color", "auto", "8101043500FF");
    one("color", "2700k", "8101043508FF");
    one("color", "3200k", "8101043501FF");
    one("color", "5800k", "8101043502FF");
    row("color 2700K in capitals", "Color", "2700K", "color,2700k", {"8101043508FF"});

    one("brightness", "off", "8101043E03FF");
    one("brightness", "on", "8101043E02FF");
    one("brightness", "reset", "8101040E00FF");
    one("brightness", "up", "8101040E02FF");
    one("brightness", "down", "8101040E03FF");
    one("wdr", "off", "8101043D03FF");
    one("wdr", "on", "8101043D02FF");

    // Camera memories: 81 01 04 3F, operation (00 reset, 01 set, 02 recall),
    // memory number, FF.
    const struct
    {
        const char *word;
        const char *operation;
    } memories[] = {{"recall", "02"}, {"set", "01"}, {"reset", "00"}};
    for (const auto &memory : memories) {
        for (int n = 0; n <= 9; ++n) {
            const QString action = QString::fromLatin1(memory.word) + QString::number(n);
            const QString packet = QStringLiteral("8101043F%1%2FF")
                                       .arg(QLatin1String(memory.operation))
                                       .arg(n, 2, 10, QLatin1Char('0'));
            row("profile " + action, "profile", action, "profile," + action, {packet});
        }
    }
    one("profile", "setcustom", "8101043F017FFF");
    row("profile reset: reset 7F, then recall 7F", "profile", "reset", "profile,reset",
        {"8101043F007FFF", "8101043F027FFF"});

    // Pairs outside the vocabulary send nothing.
    row("zoom not a number", "zoom", "fast", "zoom,fast", {});
    row("zoom with a fraction", "zoom", "3.5", "zoom,3.5", {});
    row("zoom with hex", "zoom", "0x3", "zoom,0x3", {});
    row("zoom without action", "zoom", "", "zoom,", {});
    row("focus unknown word", "focus", "near", "focus,near", {});
    row("led unknown word", "led", "on", "led,on", {});
    row("color unknown preset", "color", "6500k", "color,6500k", {});
    row("profile beyond 9", "profile", "recall10", "profile,recall10", {});
    row("profile unknown word", "profile", "save", "profile,save", {});
    row("unknown group", "iris", "open", "iris,open", {});
    row("unknown group with number", "Iris", " 3 ", "iris,3", {});
    row("empty words", "", "", ",", {});
}

void tst_Transport::vocabularyReachesTheLine()
{
    QFETCH(QString, group);
    QFETCH(QString, action);
    QFETCH(QString, pair);
    QFETCH(QStringList, packets);

    WindowHarness harness;
    QVERIFY(harness.openPort());
    const QString statusBefore = statusLine(harness)->text();
    QCOMPARE(statusBefore, QStringLiteral("Connected to ") + harness.portName());

    const int result = harness.window().sendCommand(group, action);
    QCOMPARE(harness.window().lastCommandText(), recordOf(pair, packets));
    if (packets.isEmpty()) {
        QCOMPARE(result, 0);
        QCOMPARE(statusLine(harness)->text(), statusBefore);
    } else {
        // The result is the last packet's byte count.
        QCOMPARE(result, QByteArray::fromHex(packets.constLast().toLatin1()).size());
        QCOMPARE(statusLine(harness)->text(), recordOf(pair, packets));
    }

    // A zoom stop behind it marks the end: whatever arrives before the
    // marker is exactly what the request put on the line.
    QCOMPARE(harness.window().sendCommand(QStringLiteral("zoom"), QStringLiteral("0")), 6);
    const QByteArray expected = bytesOf(packets) + marker;
    QCOMPARE(harness.pty().read(expected.size()), expected);
}

void tst_Transport::commandTextBecomesBytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("focus auto") << "8101043802FF" << QByteArray::fromHex("8101043802FF");
    QTest::newRow("lower-case terminator")
        << "8201060100010301ff" << QByteArray("\x82\x01\x06\x01\x00\x01\x03\x01\xff", 9);
    QTest::newRow("all lower case") << "8101043e02ff" << QByteArray::fromHex("8101043E02FF");
    QTest::newRow("blanks around") << "  8101040700FF\t" << QByteArray::fromHex("8101040700FF");
    QTest::newRow("reset memory 7F") << "8101043F007FFF" << QByteArray::fromHex("8101043F007FFF");
}

void tst_Transport::commandTextBecomesBytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, bytes);

    WindowHarness harness;
    QVERIFY(harness.openPort());
    QCOMPARE(harness.window().serialSendCommand(text), bytes.size());
    // The record keeps the text exactly as it came.
    QCOMPARE(harness.window().lastCommandText(), QStringLiteral(" [") + text + QLatin1Char(']'));
    QCOMPARE(harness.window().serialSendCommand(QStringLiteral("8101040700FF")), 6);
    QCOMPARE(harness.pty().read(bytes.size() + marker.size()), bytes + marker);
}

void tst_Transport::commandsLeaveInOrder()
{
    WindowHarness harness;
    QVERIFY(harness.openPort());

    // A slider pull and release, a lamp press and release, then a profile
    // reset: the camera sees the packets back to back, in order.
    const QList<QPair<QString, QString>> requests = {
        {"zoom", "5"}, {"zoom", "0"}, {"led", "up"}, {"led", "stop"}, {"profile", "reset"},
    };
    for (const auto &request : requests)
        QVERIFY(harness.window().sendCommand(request.first, request.second) > 0);
    const QByteArray expected = QByteArray::fromHex("8101040724FF"
                                                    "8101040700FF"
                                                    "8201060100010301FF"
                                                    "8201060100000303FF"
                                                    "8101043F007FFF"
                                                    "8101043F027FFF");
    QCOMPARE(harness.pty().read(expected.size()), expected);
    QCOMPARE(statusLine(harness)->text(),
             QStringLiteral("profile,reset [8101043F007FFF] [8101043F027FFF]"));
}

void tst_Transport::noRouteSendsNothing_data()
{
    QTest::addColumn<bool>("openedBefore");
    QTest::newRow("port never opened") << false;
    QTest::newRow("port opened and closed") << true;
}

void tst_Transport::noRouteSendsNothing()
{
    QFETCH(bool, openedBefore);

    WindowHarness harness;
    if (openedBefore) {
        QVERIFY(harness.openPort());
        harness.closePort();
    }
    QVERIFY(!harness.find<QAction>("actionACTi")->isChecked());
    const QString statusBefore = statusLine(harness)->text();
    QCOMPARE(statusBefore, openedBefore ? QStringLiteral("Not connected") : QString());

    QCOMPARE(harness.window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 0);
    QCOMPARE(harness.window().lastCommandText(), QStringLiteral("zoom,3 [8101040722FF]"));
    QCOMPARE(harness.window().sendCommand(QStringLiteral("profile"), QStringLiteral("reset")), 0);
    QCOMPARE(harness.window().lastCommandText(),
             QStringLiteral("profile,reset [8101043F007FFF] [8101043F027FFF]"));
    QCOMPARE(harness.window().serialSendCommand(QStringLiteral("8101043802FF")), 0);
    QCOMPARE(harness.window().lastCommandText(),
             QStringLiteral("profile,reset [8101043F007FFF] [8101043F027FFF] [8101043802FF]"));

    QCOMPARE(harness.pty().drain(), QByteArray());
    QCOMPARE(statusLine(harness)->text(), statusBefore);
}

void tst_Transport::serialPortWinsOverEncoderRoute()
{
    WindowHarness harness;
    QVERIFY(harness.openPort());
    // The route flag set while the port is open: the open port still wins.
    // (The encoder link has no address here, so the encoder route would
    // have answered 0 and written nothing to the line.)
    harness.find<QAction>("actionACTi")->setChecked(true);

    QCOMPARE(harness.window().sendCommand(QStringLiteral("led"), QStringLiteral("up")), 9);
    QCOMPARE(harness.pty().read(9), QByteArray::fromHex("8201060100010301FF"));
    QCOMPARE(statusLine(harness)->text(), QStringLiteral("led,up [8201060100010301ff]"));
}

void tst_Transport::unreadLineGetsNoStaleDrive_data()
{
    QTest::addColumn<bool>("heldPastDrainWait");
    QTest::newRow("let go before the drain wait") << false;
    QTest::newRow("held past the drain wait") << true;
}

// A camera that does not read its line: the zoom drive cannot leave the
// port. Letting go discards it (or the drain wait already did); the camera
// then reads the guard FF and the stop, never the drive.
void tst_Transport::unreadLineGetsNoStaleDrive()
{
    QFETCH(bool, heldPastDrainWait);
    WindowHarness harness;
    QVERIFY(harness.openPort());
    QVERIFY(fillLine(harness.pty().slavePath()) > 0);
    StallWatch stalls;

    QCOMPARE(harness.window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 6);
    if (heldPastDrainWait) {
        QTRY_COMPARE_WITH_TIMEOUT(statusLine(harness)->text(),
                                  QStringLiteral("Not sent: zoom,3 \u2013 serial line blocked"),
                                  5000);
    }
    QCOMPARE(harness.window().sendCommand(QStringLiteral("zoom"), QStringLiteral("0")), 6);
    QCOMPARE(statusLine(harness)->text(), QStringLiteral("zoom,0 [8101040700FF]"));
    QVERIFY(stalls.longestMs() < 500);

    QCOMPARE(afterTheFiller(harness.pty()), PacketText::fromHex("FF 8101040700FF"));
}

// A far end that holds the line (flow control): the stops wait in the port
// and leave when it lets go, what else waited is dropped as stale.
void tst_Transport::heldLineKeepsStopsDropsTheRest()
{
    WindowHarness harness;
    QVERIFY(harness.openPort());
    QVERIFY(harness.pty().holdOutput(true));
    LogCapture log("tarndeck.camera");
    StallWatch stalls;
    tarnDeck &window = harness.window();

    QCOMPARE(window.sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 6);
    QCOMPARE(window.sendCommand(QStringLiteral("color"), QStringLiteral("auto")), 6);
    QCOMPARE(window.sendCommand(QStringLiteral("focus"), QStringLiteral("-2")), 6);
    QCOMPARE(window.sendCommand(QStringLiteral("zoom"), QStringLiteral("0")), 6);
    QCOMPARE(window.sendCommand(QStringLiteral("focus"), QStringLiteral("0")), 6);
    QCOMPARE(window.sendCommand(QStringLiteral("focus"), QStringLiteral("0")), 6);

    const QString stale = QStringLiteral("Not sent: color,auto \u2013 camera busy");
    const QString waiting = QStringLiteral("Waiting: focus,0 \u2013 serial line blocked");
    QTRY_VERIFY_WITH_TIMEOUT(LogCapture::lines(QtWarningMsg).contains(stale)
                                 && LogCapture::lines(QtWarningMsg).contains(waiting),
                             5000);
    QVERIFY(stalls.longestMs() < 500);
    QCOMPARE(harness.pty().drain(), QByteArray());

    QVERIFY(harness.pty().holdOutput(false));
    QByteArray received;
    QTRY_COMPARE(PacketText::fromBytes(received += harness.pty().drain()),
                 PacketText::fromHex("FF 8101040700FF 8101040800FF"));
    QTest::qWait(100);
    QCOMPARE(harness.pty().drain(), QByteArray());
}

void tst_Transport::answersAreReadAndDropped_data()
{
    QTest::addColumn<QByteArray>("pattern");
    QTest::addColumn<QString>("status"); // empty: the last command's
    QTest::addColumn<QByteArray>("readBack"); // asked once the line answers
    QTest::newRow("answers") << QByteArray::fromHex("9041FF9051FF") << QString()
                             << QByteArray::fromHex("81090400FF81090447FF81090448FF");
    QTest::newRow("bytes that never end in FF")
        << QByteArray(1, '\x11') << QStringLiteral("camera sends unreadable data") << QByteArray();
}

// What the camera sends back is read as it comes and dropped: answers pass
// unseen, bytes that are no packets are said once; the window's loop keeps
// turning and memory stays put while 8 MiB come in.
void tst_Transport::answersAreReadAndDropped()
{
    QFETCH(QByteArray, pattern);
    QFETCH(QString, status);
    QFETCH(QByteArray, readBack);
    WindowHarness harness;
    QVERIFY(harness.openPort());
    QCOMPARE(harness.window().sendCommand(QStringLiteral("focus"), QStringLiteral("auto")), 6);
    const qint64 before = StallWatch::residentBytes();
    StallWatch stalls;

    const QByteArray block = pattern.repeated(65536 / pattern.size());
    const int master = harness.pty().master();
    for (qint64 left = 8 << 20; left > 0;) {
        const ssize_t n
            = ::write(master, block.constData(), size_t(qMin<qint64>(left, block.size())));
        if (n > 0)
            left -= n;
        else
            QTest::qWait(1);
    }
    QTest::qWait(200);

    QCOMPARE(statusLine(harness)->text(),
             status.isEmpty() ? QStringLiteral("focus,auto [8101043802FF]") : status);
    QVERIFY2(stalls.longestMs() < 500, qPrintable(QString::number(stalls.longestMs())));
    QVERIFY(StallWatch::residentBytes() - before < StallWatch::floodSlackBytes());
    QCOMPARE(harness.window().sendCommand(QStringLiteral("zoom"), QStringLiteral("0")), 6);
    QCOMPARE(harness.pty().read(12 + readBack.size()),
             QByteArray::fromHex("8101043802FF") + readBack + marker);
}

QTEST_MAIN(tst_Transport)
#include "tst_transport.moc"

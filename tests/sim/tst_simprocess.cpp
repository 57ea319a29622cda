// The tarndeck-sim program as a test or a script drives it: started as a
// process, it names its encoder port and serial path on standard output,
// prints a state line after every packet, answers on its serial line, and
// refuses options it cannot honour before it listens anywhere.
#include "ptypair.h"
#include "testsettings.h"

#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QSerialPort>
#include <QTcpServer>
#include <QtTest>

class tst_SimProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void encoderAndSerialDriveOneCamera();
    void windowOnOffscreenScreen();
    void chosenPortAndCredentials();
    void refusedOptions_data();
    void refusedOptions();
    void serialConversation_data();
    void serialConversation();
    void helpListsTheOptions();

private:
    // Starts the simulator; true once it printed "ready".
    bool start(const QStringList &arguments);
    // Waits for the next standard-output line that starts with `prefix`.
    QString waitForLine(const QString &prefix, int timeoutMs = 5000);
    QByteArray get(const QString &pathAndQuery);

    QProcess sim;
    QString pending; // standard output not yet handed out as lines
    QString encoder; // "127.0.0.1:port"
    QString serial;  // pseudo-terminal path
    QNetworkAccessManager network;
};

namespace {
const QString kLogin = QStringLiteral("USER=Admin&PWD=418275");
}

void tst_SimProcess::initTestCase()
{
    TestSettings::useTemporaryStore();
    QVERIFY(QFileInfo(QStringLiteral(TARNDECK_SIM_PATH)).isExecutable());
}

void tst_SimProcess::cleanup()
{
    if (sim.state() != QProcess::NotRunning) {
        sim.terminate();
        if (!sim.waitForFinished(5000))
            sim.kill();
        sim.waitForFinished(5000);
    }
    pending.clear();
    encoder.clear();
    serial.clear();
}

bool tst_SimProcess::start(const QStringList &arguments)
{
    sim.setProcessChannelMode(QProcess::SeparateChannels);
    sim.start(QStringLiteral(TARNDECK_SIM_PATH), arguments);
    if (!sim.waitForStarted(5000))
        return false;
    for (QString line = waitForLine(QStringLiteral("tarndeck-sim: ")); !line.isEmpty();
         line = waitForLine(QStringLiteral("tarndeck-sim: "))) {
        if (line.startsWith(QStringLiteral("tarndeck-sim: encoder at ")))
            encoder = line.section(QLatin1Char(' '), 3);
        else if (line.startsWith(QStringLiteral("tarndeck-sim: serial at ")))
            serial = line.section(QLatin1Char(' '), 3);
        else if (line == QStringLiteral("tarndeck-sim: ready"))
            return true;
    }
    return false;
}

QString tst_SimProcess::waitForLine(const QString &prefix, int timeoutMs)
{
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        pending += QString::fromUtf8(sim.readAllStandardOutput());
        int end;
        while ((end = pending.indexOf(QLatin1Char('\n'))) >= 0) {
            const QString line = pending.left(end);
            pending.remove(0, end + 1);
            if (line.startsWith(prefix))
                return line;
        }
        if (deadline.hasExpired() || sim.state() == QProcess::NotRunning)
            return QString();
        sim.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
    }
}

QByteArray tst_SimProcess::get(const QString &pathAndQuery)
{
    QNetworkReply *reply
        = network.get(QNetworkRequest(QUrl(QStringLiteral("http://") + encoder + pathAndQuery)));
    QSignalSpy done(reply, &QNetworkReply::finished);
    if (!reply->isFinished())
        done.wait(5000);
    const QByteArray body = reply->readAll();
    reply->deleteLater();
    return body;
}

// One camera, two ways in: the encoder port and the pseudo-terminal.
void tst_SimProcess::encoderAndSerialDriveOneCamera()
{
    QVERIFY(start({QStringLiteral("--headless"), QStringLiteral("--pty")}));
    QVERIFY2(encoder.startsWith(QStringLiteral("127.0.0.1:")), qPrintable(encoder));
    QVERIFY(encoder.section(QLatin1Char(':'), 1).toInt() > 0);
    QVERIFY2(serial.startsWith(QStringLiteral("/dev/")), qPrintable(serial));

    QCOMPARE(get("/cgi-bin/ENCODER?" + kLogin + "&SERIAL_HEX=8101040727FF"),
             QByteArray("OK: SERIAL_HEX='8101040727FF'"));
    QString state = waitForLine(QStringLiteral("state "));
    QVERIFY2(state.contains(QStringLiteral(" zoomDrive=tele7 ")), qPrintable(state));

    QSerialPort port(serial);
    QVERIFY2(port.open(QIODevice::WriteOnly), qPrintable(port.errorString()));
    port.write(QByteArray::fromHex("8101040700FF"));
    QVERIFY(port.waitForBytesWritten(1000));
    state = waitForLine(QStringLiteral("state "));
    QVERIFY2(state.contains(QStringLiteral(" zoomDrive=stop ")), qPrintable(state));
    QVERIFY2(state.contains(QStringLiteral(" packets=2")), qPrintable(state));

    // The state the lines report is the one /sim/state answers.
    const QJsonObject json = QJsonDocument::fromJson(get(QStringLiteral("/sim/state"))).object();
    QCOMPARE(QStringLiteral("state zoom=%1").arg(json.value("zoom").toInt()),
             state.section(QLatin1Char(' '), 0, 1));
}

// Without --headless the window opens (here on the offscreen platform) and
// the simulator works the same.
void tst_SimProcess::windowOnOffscreenScreen()
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    sim.setProcessEnvironment(environment);
    QVERIFY(start({}));
    sim.setProcessEnvironment(QProcessEnvironment::systemEnvironment());
    QCOMPARE(get("/cgi-bin/ENCODER?" + kLogin + "&SERIAL_HEX=8101043803FF8101040827FF"),
             QByteArray("OK: SERIAL_HEX='8101043803FF8101040827FF'"));
    QVERIFY(waitForLine(QStringLiteral("state ")).contains(QStringLiteral("focusMode=manual")));
    QVERIFY(waitForLine(QStringLiteral("state ")).contains(QStringLiteral("focusDrive=far7")));
    QTest::qWait(200); // a few frames of a moving, blurring picture
    QCOMPARE(sim.state(), QProcess::Running);
}

void tst_SimProcess::chosenPortAndCredentials()
{
    QTcpServer probe; // a port that is free right now
    QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
    const quint16 port = probe.serverPort();
    probe.close();

    QVERIFY(
        start({QStringLiteral("--headless"), QStringLiteral("--listen"),
               QStringLiteral("127.0.0.1:%1").arg(port), QStringLiteral("--user"),
               QStringLiteral("operator"), QStringLiteral("--password"), QStringLiteral("pa ss")}));
    QCOMPARE(encoder, QStringLiteral("127.0.0.1:%1").arg(port));
    QCOMPARE(get("/cgi-bin/system?" + kLogin + "&" + kLogin + "&SYSTEM_INFO_XML"),
             QByteArray("ERROR: authentication failed"));
    QVERIFY(get(QStringLiteral("/cgi-bin/system?USER=operator&PWD=pa%20ss&SYSTEM_INFO_XML"))
                .startsWith("<?xml"));
    QVERIFY(serial.isEmpty());
}

// Options the simulator cannot honour stop it with a message, before it
// listens or opens anything.
void tst_SimProcess::refusedOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("message");

    QTest::newRow("address beyond loopback")
        << QStringList{"--listen", "192.0.2.1:8080"} << "loopback";
    QTest::newRow("not an address") << QStringList{"--listen", "camera:8080"} << "loopback";
    QTest::newRow("no such port") << QStringList{"--listen", "127.0.0.1:70000"} << "port";
    QTest::newRow("serial and pty") << QStringList{"--serial", "/dev/null", "--pty"} << "exclude";
    QTest::newRow("no such device")
        << QStringList{"--serial", "/nonexistent/ttyX"} << "/nonexistent/ttyX";
    QTest::newRow("not a serial line")
        << QStringList{"--serial", "/dev/null"} << "not a serial line";
    QTest::newRow("eight serial cameras") << QStringList{"--serial-cameras", "8"} << "1..7";
    QTest::newRow("serial cameras in words")
        << QStringList{"--serial-cameras", "two"} << "takes a number";
    QTest::newRow("21 network cameras")
        << QStringList{"--ip-cameras", "21", "--visca-udp", "127.0.0.1:0"} << "1..20";
    QTest::newRow("network cameras without a network port")
        << QStringList{"--ip-cameras", "2"} << "needs --visca-udp";
    QTest::newRow("the lamp on camera 2's address")
        << QStringList{"--serial-cameras", "2", "--lamp-address", "2"} << "address 2 already";
    QTest::newRow("the lamp at 9") << QStringList{"--lamp-address", "9"} << "2..7";
    QTest::newRow("128 presets") << QStringList{"--presets", "16,128"} << "1..127";
    QTest::newRow("a minute and more to wake") << QStringList{"--wake-time", "60001"} << "0..60000";
    QTest::newRow("a recall speed form of its own")
        << QStringList{"--recall-speed-form", "per-preset,fast"} << "per-preset or global";
    QTest::newRow("power-up announced on no line")
        << QStringList{"--announce-power-up"} << "a serial line that answers";
}

void tst_SimProcess::refusedOptions()
{
    QFETCH(QStringList, arguments);
    QFETCH(QString, message);

    sim.start(QStringLiteral(TARNDECK_SIM_PATH), QStringList{"--headless"} + arguments);
    QVERIFY(sim.waitForFinished(5000));
    QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
    QVERIFY(sim.exitCode() != 0);
    const QString errors = QString::fromUtf8(sim.readAllStandardError());
    QVERIFY2(errors.contains(message), qPrintable(errors));
    QVERIFY(!sim.readAllStandardOutput().contains("ready"));
}

// The serial line answers a controller byte for byte: the address set
// comes back counting the cameras, each camera answers from its own
// address. With --serial-silent nothing comes back, and the commands are
// still carried out. A camera that comes up says so unasked (y0 38 FF).
void tst_SimProcess::serialConversation_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QStringList>("conversation"); // "sent > answered", hex; " > x": x unasked

    const QString version = QStringLiteral("50 7A 21 0D 15 01 03 02 FF");
    QTest::newRow("one camera") << QStringList{}
                                << QStringList{
                                       "88 30 01 FF > 88 30 02 FF",
                                       "81 09 00 02 FF > 90 " + version,
                                       "81 01 04 07 23 FF > 90 41 FF 90 51 FF",
                                       "81 01 04 07 00 FF > 90 41 FF 90 51 FF",
                                   };
    QTest::newRow("two cameras") << QStringList{"--serial-cameras", "2"}
                                 << QStringList{
                                        "88 30 01 FF > 88 30 03 FF",
                                        "82 09 00 02 FF > A0 " + version,
                                        "82 01 04 07 23 FF > A0 41 FF A0 51 FF",
                                        "82 01 04 07 00 FF > A0 41 FF A0 51 FF",
                                        "81 01 04 07 00 FF > 90 41 FF 90 51 FF",
                                    };
    QTest::newRow("two cameras numbered from 5") << QStringList{"--serial-cameras", "2"}
                                                 << QStringList{
                                                        "88 30 05 FF > 88 30 07 FF",
                                                        "86 09 00 02 FF > E0 " + version,
                                                        "86 01 04 07 23 FF > E0 41 FF E0 51 FF",
                                                        "86 01 04 07 00 FF > E0 41 FF E0 51 FF",
                                                    };
    QTest::newRow("power-up announced at start")
        << QStringList{"--announce-power-up", "--serial-cameras", "2"}
        << QStringList{
               " > 90 38 FF A0 38 FF",
               "88 30 01 FF > 88 30 03 FF",
           };
    QTest::newRow("back from standby, announced") << QStringList{"--wake-time", "300"}
                                                  << QStringList{
                                                         "81 01 04 00 03 FF > 90 41 FF 90 51 FF",
                                                         "81 01 04 00 02 FF > 90 41 FF",
                                                         " > 90 51 FF 90 38 FF",
                                                         "81 09 04 00 FF > 90 50 02 FF",
                                                     };
    QTest::newRow("write-only line") << QStringList{"--serial-silent"}
                                     << QStringList{
                                            "81 01 04 07 23 FF >",
                                            "81 01 04 07 00 FF >",
                                        };
}

void tst_SimProcess::serialConversation()
{
    QFETCH(QStringList, arguments);
    QFETCH(QStringList, conversation);

    PtyPair line;
    QVERIFY(line.isValid());
    QVERIFY(start(QStringList{"--headless", "--serial", line.slavePath()} + arguments));
    for (const QString &step : conversation) {
        const QByteArray sent
            = QByteArray::fromHex(step.section(QLatin1Char('>'), 0, 0).toLatin1());
        const QByteArray answer = QByteArray::fromHex(step.section(QLatin1Char('>'), 1).toLatin1());
        if (!sent.isEmpty())
            QVERIFY(line.write(sent));
        if (answer.isEmpty()) {
            // Carried out (its state line is out), and nothing came back.
            QVERIFY(!waitForLine(QStringLiteral("state ")).isEmpty());
            QCOMPARE(line.drain().toHex(' ').toUpper(), QByteArray());
        } else {
            QCOMPARE(line.read(answer.size(), 5000).toHex(' ').toUpper(),
                     answer.toHex(' ').toUpper());
        }
    }
}

void tst_SimProcess::helpListsTheOptions()
{
    sim.start(QStringLiteral(TARNDECK_SIM_PATH), {QStringLiteral("--help")});
    QVERIFY(sim.waitForFinished(5000));
    const QString help = QString::fromUtf8(sim.readAllStandardOutput());
    for (const char *option :
         {"--listen", "--user", "--password", "--serial ", "--pty", "--serial-silent",
          "--serial-cameras", "--lamp-address", "--visca-udp", "--visca-tcp", "--ip-cameras",
          "--presets", "--recall-speed-form", "--wake-time", "--announce-power-up", "--visca-drop",
          "--visca-late", "--visca-mute", "--headless"})
        QVERIFY2(help.contains(QLatin1String(option)), option);
}

QTEST_GUILESS_MAIN(tst_SimProcess)
#include "tst_simprocess.moc"

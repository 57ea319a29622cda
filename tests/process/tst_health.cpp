// A network camera that goes and comes back, with the real program and the
// real simulator each a process of its own: the store (written here, as
// another program would) connects a TCP camera at start with health checks
// on; the simulator is killed and started again on the same loopback port.
// The program shows "reconnecting" and is connected again by itself, is
// driven by keys and reads the zoom back; its
// store keeps the setting and the camera across a close and a start. A
// camera put on program by a remote client has its lamp told again, and the
// status line keeps what the operator last did.
#include "programprocess.h"

#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QUdpSocket>
#include <QtTest>

#include <X11/keysym.h>

namespace {

using Match = ProgramProcess::Match;

#define SHOWS(...) PROGRAM_SHOWS(program, __VA_ARGS__)

constexpr int kWaitMs = 10000;

// tarndeck-sim as a network camera on TCP at `authority` ("127.0.0.1:0"
// for a free port); the address it listens on, empty when it did not come
// up.
QString startSim(QProcess &sim, const QString &authority)
{
    sim.setProcessChannelMode(QProcess::SeparateChannels);
    sim.start(QStringLiteral(TARNDECK_SIM_PATH),
              {QStringLiteral("--headless"), QStringLiteral("--visca-tcp"), authority});
    if (!sim.waitForStarted(kWaitMs))
        return QString();
    QString listening;
    QByteArray pending;
    QDeadlineTimer deadline(kWaitMs);
    while (!deadline.hasExpired() && sim.state() == QProcess::Running) {
        if (!sim.canReadLine() && !sim.waitForReadyRead(100))
            continue;
        while (sim.canReadLine()) {
            const QString line = QString::fromUtf8(sim.readLine()).trimmed();
            if (line.startsWith(QLatin1String("tarndeck-sim: visca tcp at ")))
                listening = line.section(QLatin1Char(' '), 4);
            else if (line == QLatin1String("tarndeck-sim: ready"))
                return listening;
        }
    }
    return QString();
}

void stopSim(QProcess &sim)
{
    sim.kill();
    sim.waitForFinished(kWaitMs);
}

// A loopback port free for UDP and TCP at the moment of asking.
quint16 freePort()
{
    for (int tries = 0; tries < 20; ++tries) {
        QTcpServer tcp;
        if (!tcp.listen(QHostAddress::LocalHost, 0))
            continue;
        QUdpSocket udp;
        if (udp.bind(QHostAddress::LocalHost, tcp.serverPort()))
            return tcp.serverPort();
    }
    return 0;
}

// One OSC message of string arguments, as a client sends it in a datagram.
QByteArray oscMessage(const QByteArray &address, const QList<QByteArray> &strings)
{
    const auto padded = [](QByteArray text) {
        text.append('\0');
        while (text.size() % 4)
            text.append('\0');
        return text;
    };
    QByteArray message = padded(address) + padded(',' + QByteArray(strings.size(), 's'));
    for (const QByteArray &text : strings)
        message += padded(text);
    return message;
}

} // namespace

class tst_Health : public QObject
{
    Q_OBJECT

public:
    explicit tst_Health(const PrivateXServer &server)
        : server(server)
    {
    }

private slots:
    void tcpCameraReconnectsAcrossASimulatorRestart();
    void tallyRepeatKeepsTheStatusLine();

private:
    const PrivateXServer &server;
};

void tst_Health::tcpCameraReconnectsAcrossASimulatorRestart()
{
    QProcess sim;
    const QString address = startSim(sim, QStringLiteral("127.0.0.1:0"));
    QVERIFY2(address.startsWith(QLatin1String("127.0.0.1:")), qPrintable(sim.readAllStandardError()));
    ProgramProcess program(server);
    program.writeStore("[General]\nviscaIpAddress=" + address.toUtf8()
                       + "\nviscaIpProtocol=tcp\nhealthChecks=true\n\n"
                         "[cameras]\nsize=1\n1\\route=tcp\n1\\connectAtStart=true\n");

    const QString title = QStringLiteral("title Veltrane - tarnDeck 1.0 - VISCA <") + address + '>';
    QVERIFY2(program.start(), qPrintable(program.why()));
    SHOWS(title);
    SHOWS(QStringLiteral("label labelLastCommand Connected to VISCA <") + address
          + QStringLiteral("> (model 0D15)"));
    SHOWS(QStringLiteral("menu Options: "), Match::Start);
    SHOWS(QStringLiteral("Health checks [x]"), Match::Part);

    QElapsedTimer clock;
    clock.start();
    stopSim(sim);
    SHOWS(title + QStringLiteral(" (reconnecting)"));
    qInfo("reconnecting shown %lld ms after the simulator was killed", clock.elapsed());
    SHOWS(QStringLiteral("label labelLastCommand Reconnecting: VISCA <") + address + '>',
          Match::Start);
    const QByteArray shots = qgetenv("TARNDECK_SHOT_DIR");
    if (!shots.isEmpty() && QDir().mkpath(QString::fromLocal8Bit(shots)))
        program.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/reconnecting.png"));

    QVERIFY(!startSim(sim, address).isEmpty());
    clock.restart();
    SHOWS(title);
    SHOWS(QStringLiteral("label labelLastCommand Connected to VISCA <") + address
          + QStringLiteral("> (model 0D15)"));
    qInfo("connected again %lld ms after the simulator was started again", clock.elapsed());
    // Driven as before, and the lens read back: Page Up held zooms, and the
    // readout under the zoom slider leaves the wide end once the key is up.
    SHOWS(QStringLiteral("label labelZoomPosition 0 %"));
    program.down(XK_Page_Up);
    QTest::qWait(600);
    program.up(XK_Page_Up);
    QString zoomed;
    const bool zoomedIn = QTest::qWaitFor(
        [&] {
            for (const QString &line : program.state())
                if (line.startsWith(QLatin1String("label labelZoomPosition ")))
                    zoomed = line;
            return !zoomed.isEmpty() && !zoomed.endsWith(QLatin1String(" 0 %"));
        },
        10000);
    QVERIFY2(zoomedIn, qPrintable(zoomed));
    qInfo("%s after Page Up held 0.6 s", qPrintable(zoomed));
    if (!shots.isEmpty())
        program.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/back-and-zoomed.png"));

    QVERIFY2(program.close(), qPrintable(program.why()));
    const QByteArray store = program.readStore();
    for (const QByteArray &line :
         {QByteArray("healthChecks=true\n"), "viscaIpAddress=" + address.toUtf8() + '\n',
          QByteArray("viscaIpProtocol=tcp\n"), QByteArray("1\\connectAtStart=true\n"),
          QByteArray("1\\route=tcp\n"), QByteArray("size=1\n")})
        QVERIFY2(store.contains(line), store.constData());

    QVERIFY2(program.start(), qPrintable(program.why()));
    SHOWS(title);
    QVERIFY2(program.close(), qPrintable(program.why()));
    stopSim(sim);
}

void tst_Health::tallyRepeatKeepsTheStatusLine()
{
    QProcess sim;
    const QString address = startSim(sim, QStringLiteral("127.0.0.1:0"));
    QVERIFY2(address.startsWith(QLatin1String("127.0.0.1:")),
             qPrintable(sim.readAllStandardError()));
    const quint16 osc = freePort();
    quint16 webSocket = freePort();
    while (webSocket == osc)
        webSocket = freePort();
    QVERIFY(osc != 0 && webSocket != 0);
    ProgramProcess program(server);
    program.writeStore("[General]\nviscaIpAddress=" + address.toUtf8()
                       + "\nviscaIpProtocol=tcp\nremoteControl=true\nremoteListen=127.0.0.1\n"
                         "remoteOscPort="
                       + QByteArray::number(osc)
                       + "\nremoteWebSocketPort=" + QByteArray::number(webSocket)
                       + "\n\n[cameras]\nsize=1\n1\\route=tcp\n1\\connectAtStart=true\n");
    QVERIFY2(program.start(), qPrintable(program.why()));
    SHOWS(QStringLiteral("label labelLastCommand Connected to VISCA <") + address
          + QStringLiteral("> (model 0D15)"));

    QUdpSocket client;
    client.writeDatagram(oscMessage("/tarndeck/camera/1/tally", {"program"}),
                         QHostAddress::LocalHost, osc);
    SHOWS(QStringLiteral("label labelLastCommand tally,on"), Match::Start);
    program.tap(XK_Page_Up);
    SHOWS(QStringLiteral("label labelLastCommand zoom,0"), Match::Start);
    QString shown;
    for (const QString &line : program.state())
        if (line.startsWith(QLatin1String("label labelLastCommand ")))
            shown = line;

    // The lamp is told again within the repeat time, and the line stays.
    QByteArray log;
    const QByteArray tallyOn("[81 01 7E 01 0A 00 02 FF]");
    const bool repeated = QTest::qWaitFor(
        [&] {
            log += sim.readAllStandardError();
            return log.count(tallyOn) >= 2;
        },
        15000);
    QVERIFY2(repeated, log.constData());
    QTest::qWait(200);
    QVERIFY(program.waitForLine(shown));
    if (const QByteArray shots = qgetenv("TARNDECK_SHOT_DIR");
        !shots.isEmpty() && QDir().mkpath(QString::fromLocal8Bit(shots)))
        program.grab().save(QString::fromLocal8Bit(shots) + QStringLiteral("/tally-repeat.png"));
    QVERIFY2(program.close(), qPrintable(program.why()));
    stopSim(sim);
}

PROGRAM_PROCESS_TEST_MAIN(tst_Health)

#include "tst_health.moc"

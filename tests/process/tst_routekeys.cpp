// Keys on the real program once a route is up: the operator chooses the
// route from "&Connect", clicks its Connect button, and reaches for the keys
// without touching anything else. The simulated camera runs in this process,
// behind its encoder on a loopback port or as a network camera; what it
// decodes is what left the program.
#include "programprocess.h"
#include "simulator.h"

#include <QSignalSpy>
#include <QtTest>

#include <X11/keysym.h>

namespace {

using Match = ProgramProcess::Match;

#define SHOWS(...) PROGRAM_SHOWS(program, __VA_ARGS__)

const QByteArray focusAuto = QByteArray::fromHex("8101043802FF");
const QByteArray lampUp = QByteArray::fromHex("8201060100010301FF");
const QByteArray lampStop = QByteArray::fromHex("8201060100000303FF");

QList<QByteArray> packets(const QSignalSpy &decoded)
{
    QList<QByteArray> bytes;
    for (const QList<QVariant> &signal : decoded)
        bytes << signal.at(0).value<ViscaModel::Packet>().bytes;
    return bytes;
}

} // namespace

class tst_RouteKeys : public QObject
{
    Q_OBJECT

public:
    explicit tst_RouteKeys(const PrivateXServer &server)
        : server(server)
    {
    }

private slots:
    void initTestCase();
    void keysReachTheEncoderAfterConnect();
    void homeReachesTheNetworkCameraAfterConnect();
    void presetsByKeypadAndNamesAcrossARestart();

private:
    const PrivateXServer &server;
};

void tst_RouteKeys::initTestCase()
{
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.sim.info=false"));
}

void tst_RouteKeys::keysReachTheEncoderAfterConnect()
{
    Simulator sim;
    QVERIFY(sim.listen(QHostAddress(QHostAddress::LocalHost), 0));
    QSignalSpy decoded(&sim, &Simulator::packetDecoded);
    ProgramProcess program(server);
    program.writeStore("[General]\nacti=true\nactiIP=" + sim.encoderAuthority().toUtf8()
                       + "\nactiUser=Admin\nactiPassword=418275\n");

    QVERIFY2(program.start(), qPrintable(program.why()));
    program.chord({XK_Alt_L, XK_c});
    program.tap(XK_Return);
    QVERIFY(program.clickWidget(QStringLiteral("pushButtonActiConnect")));
    SHOWS(QStringLiteral("title Veltrane - tarnDeck 1.0 - ACTi <") + sim.encoderAuthority() + '>');
    QCOMPARE(packets(decoded), QList<QByteArray>());

    // Each key reaches the encoder as one pass-through request; "+" held
    // past the keyboard's repeat delay sends the lamp once, its release the
    // stop.
    program.tap(XK_Home);
    QTRY_COMPARE(packets(decoded), QList<QByteArray>{focusAuto});
    program.down(XK_KP_Add);
    QTest::qWait(1000);
    program.up(XK_KP_Add);
    QTRY_COMPARE(packets(decoded), (QList<QByteArray>{focusAuto, lampUp, lampStop}));
    QVERIFY2(program.close(), qPrintable(program.why()));
}

void tst_RouteKeys::homeReachesTheNetworkCameraAfterConnect()
{
    Simulator sim;
    QVERIFY(sim.network().listenUdp(QHostAddress(QHostAddress::LocalHost), 0));
    const QString address = sim.network().udpAuthority();
    QSignalSpy decoded(&sim, &Simulator::packetDecoded);
    ProgramProcess program(server);
    program.writeStore("[General]\nviscaIpAddress=" + address.toUtf8() + "\nviscaIpProtocol=udp\n");

    QVERIFY2(program.start(), qPrintable(program.why()));
    program.chord({XK_Alt_L, XK_c});
    program.tap(XK_Return);
    // The operator picks the protocol, then connects with Return from the
    // box, which keeps the focus until the camera answers.
    QVERIFY(program.clickWidget(QStringLiteral("comboBoxViscaIpProtocol")));
    program.tap(XK_Return);
    SHOWS(QStringLiteral("focus comboBoxViscaIpProtocol"));
    program.tap(XK_Return);
    SHOWS(QStringLiteral("title Veltrane - tarnDeck 1.0 - VISCA <") + address + '>');
    const int connectPackets = decoded.size();

    program.tap(XK_Home);
    QTRY_COMPARE(packets(decoded).mid(connectPackets), QList<QByteArray>{focusAuto});
    QVERIFY2(program.close(), qPrintable(program.why()));
}

// NumLock on, keypad 3 recalls preset 3; a preset renamed through its context
// menu keeps its name, written at once, across a restart, beside the name
// the store already held.
void tst_RouteKeys::presetsByKeypadAndNamesAcrossARestart()
{
    Simulator sim;
    QVERIFY(sim.listen(QHostAddress(QHostAddress::LocalHost), 0));
    QSignalSpy decoded(&sim, &Simulator::packetDecoded);
    ProgramProcess program(server);
    program.writeStore("[General]\nacti=true\npresetsControl=true\nactiIP="
                       + sim.encoderAuthority().toUtf8()
                       + "\nactiUser=Admin\nactiPassword=418275\n\n[cameras]\n1\\presets\\1\\name=Wide\n");

    QVERIFY2(program.start(), qPrintable(program.why()));
    // Room for the grid: the window's first size is small.
    QTRY_VERIFY(program.resized(QSize(900, 420)));
    SHOWS(QStringLiteral("button pushButtonPreset1 1 / Wide"));
    program.chord({XK_Alt_L, XK_c});
    program.tap(XK_Return);
    QVERIFY(program.clickWidget(QStringLiteral("pushButtonActiConnect")));
    SHOWS(QStringLiteral("title Veltrane - tarnDeck 1.0 - ACTi <") + sim.encoderAuthority() + '>');

    program.tap(XK_Num_Lock);
    program.tap(XK_KP_3);
    program.tap(XK_Num_Lock);
    QTRY_COMPARE(packets(decoded), QList<QByteArray>{QByteArray::fromHex("8101043F0202FF")});

    QVERIFY(program.clickWidget(QStringLiteral("pushButtonPreset2"), 3));
    SHOWS(QStringLiteral("popup menuPreset"));
    program.tap(XK_n); // "Re&name..."
    SHOWS(QStringLiteral("dialog presetName Rename preset"));
    for (unsigned long letter : {XK_p, XK_u, XK_l, XK_p, XK_i, XK_t})
        program.tap(letter);
    program.tap(XK_Return);
    SHOWS(QStringLiteral("button pushButtonPreset2 2 / pulpit"));
    QVERIFY2(program.close(), qPrintable(program.why()));
    const QByteArray store = program.readStore();
    for (const char *line : {"1\\presets\\1\\name=Wide\n", "1\\presets\\2\\name=pulpit\n"})
        QVERIFY2(store.contains(line), store.constData());

    QVERIFY2(program.start(), qPrintable(program.why()));
    SHOWS(QStringLiteral("button pushButtonPreset1 1 / Wide"));
    SHOWS(QStringLiteral("button pushButtonPreset2 2 / pulpit"));
    QVERIFY2(program.close(), qPrintable(program.why()));
}

PROGRAM_PROCESS_TEST_MAIN(tst_RouteKeys)

#include "tst_routekeys.moc"

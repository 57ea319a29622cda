// What the route reads back, in the real window against the simulator: the
// zoom and focus readouts at connect and after a zoom (over UDP, TCP and the
// simulator's answering serial line), standby greying out the panels and
// power on bringing them back, and a line that carries commands only asked
// nothing beyond the version at connect.
#include "packettext.h"
#include "simulator.h"
#include "testsettings.h"
#include "viscainquiry.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QSettings>
#include <QtTest>

#include <memory>

class tst_Readback : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void positionsAfterAZoom_data();
    void positionsAfterAZoom();
    void standbyGreysOutThePanels_data();
    void standbyGreysOutThePanels();
    void sendingOnlyLineIsNotAsked();

private:
    // The window on camera 1 of the simulator by `route` ("udp", "tcp",
    // "serial"), connected at start.
    bool startOn(const QString &route, qint64 wakeMs = 0);
    QString readout(const char *name) const
    {
        return harness->find<QLabel>(QLatin1String(name))->text();
    }
    // What the readouts should say of the simulator's lens.
    QString simZoom() const
    {
        return ViscaInquiry::zoomReadout(qRound(sim->state().picture.zoom
                                                * ViscaModel::kZoomTelePosition
                                                / ViscaModel::kRange));
    }
    QString simFocus() const
    {
        const double span = ViscaModel::kFocusNearPosition - ViscaModel::kFocusFarPosition;
        return ViscaInquiry::focusReadout(qRound(ViscaModel::kFocusNearPosition
                                                 - sim->state().picture.focus * span
                                                     / ViscaModel::kRange));
    }
    void shoot(const QString &name);

    std::unique_ptr<Simulator> sim;
    std::unique_ptr<WindowHarness> harness;
};

void tst_Readback::initTestCase()
{
    TestSettings::useTemporaryStore();
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.sim.info=false"));
}

void tst_Readback::cleanup()
{
    harness.reset();
    sim.reset();
}

bool tst_Readback::startOn(const QString &route, qint64 wakeMs)
{
    ViscaModel::Config config;
    config.wakeMs = wakeMs;
    sim = std::make_unique<Simulator>(config);
    QString address;
    QString port;
    if (route == QLatin1String("udp") && sim->network().listenUdp(QHostAddress::LocalHost, 0))
        address = sim->network().udpAuthority();
    else if (route == QLatin1String("tcp") && sim->network().listenTcp(QHostAddress::LocalHost, 0))
        address = sim->network().tcpAuthority();
    else if (route == QLatin1String("serial") && sim->serial().openPty(nullptr))
        port = sim->serial().path();
    if (address.isEmpty() && port.isEmpty())
        return false;
    TestSettings::clear();
    QSettings store;
    store.beginWriteArray(QStringLiteral("cameras"), 1);
    store.setArrayIndex(0);
    store.setValue(QStringLiteral("name"), QStringLiteral("Lectern"));
    store.setValue(QStringLiteral("route"), route);
    if (!port.isEmpty())
        store.setValue(QStringLiteral("serialPort"), port);
    store.setValue(QStringLiteral("lampAddress"), 0);
    store.setValue(QStringLiteral("connectAtStart"), true);
    store.endArray();
    // Camera 1's network address is the panel's own field.
    if (!address.isEmpty())
        store.setValue(QStringLiteral("viscaIpAddress"), address);
    store.sync();
    harness = std::make_unique<WindowHarness>();
    harness->window().show();
    return QTest::qWaitForWindowExposed(&harness->window());
}

void tst_Readback::shoot(const QString &name)
{
    const QString dir = qEnvironmentVariable("TARNDECK_SHOTS");
    if (!dir.isEmpty())
        harness->window().grab().save(dir + QLatin1Char('/') + name);
}

void tst_Readback::positionsAfterAZoom_data()
{
    QTest::addColumn<QString>("route");
    QTest::newRow("udp") << "udp";
    QTest::newRow("tcp") << "tcp";
    QTest::newRow("serial line that answers") << "serial";
}

// At connect the readouts show the simulator's lens; after a zoom they show
// where it stopped, as the simulator has it.
void tst_Readback::positionsAfterAZoom()
{
    QFETCH(QString, route);
    QVERIFY(startOn(route));
    QTRY_COMPARE(readout("labelFocusPosition"), simFocus());
    QCOMPARE(readout("labelZoomPosition"), simZoom());
    QCOMPARE(readout("labelZoomPosition"), QStringLiteral("0 %"));

    Camera *camera = harness->window().cameraList().current();
    camera->zoom(8);
    QTRY_VERIFY(sim->state().picture.zoom > 100);
    QCOMPARE(readout("labelZoomPosition"), QStringLiteral("0 %"));
    QElapsedTimer clock;
    clock.start();
    camera->zoom(0);
    QTRY_VERIFY(readout("labelZoomPosition") != QStringLiteral("0 %"));
    qInfo().noquote() << route << "zoom stop to readout:" << clock.nsecsElapsed() / 1e6 << "ms";
    QCOMPARE(readout("labelZoomPosition"), simZoom());
    QVERIFY(!camera->lastCommand().contains(QLatin1String("position")));
    QCOMPARE(harness->find<QLabel>(QStringLiteral("labelZoomPosition"))->focusPolicy(),
             Qt::NoFocus);
    if (route == QLatin1String("udp"))
        shoot(QStringLiteral("readback.png"));
}

void tst_Readback::standbyGreysOutThePanels_data()
{
    QTest::addColumn<QString>("route");
    QTest::newRow("udp") << "udp";
    QTest::newRow("serial line that answers") << "serial";
}

// Standby greys out the panels at once and the status line says why; a move
// asked meanwhile is not sent; power on brings the panels back once the
// simulator says it is up.
void tst_Readback::standbyGreysOutThePanels()
{
    QFETCH(QString, route);
    QVERIFY(startOn(route, 300));
    tarnDeck &window = harness->window();
    Camera *camera = window.cameraList().current();
    QTRY_COMPARE(camera->readback().power(), CameraReadback::Power::On);
    auto *zoomPanel = harness->find<QGroupBox>(QStringLiteral("groupBoxZoom"));
    QVERIFY(zoomPanel->isEnabled());

    QElapsedTimer clock;
    clock.start();
    harness->find<QAction>(QStringLiteral("actionStandby"))->trigger();
    QTRY_VERIFY(!zoomPanel->isEnabled());
    qInfo().noquote() << route << "standby to panels greyed:" << clock.nsecsElapsed() / 1e6 << "ms";
    QCOMPARE(harness->find<QLabel>(QStringLiteral("labelLastCommand"))->text(),
             QStringLiteral("Standby: Lectern \u2013 Power on to drive it"));
    QTRY_COMPARE(sim->state().power, ViscaModel::Power::Standby);
    QTest::qWait(300); // the read-back's first check
    QVERIFY(!zoomPanel->isEnabled());
    shoot(QStringLiteral("standby.png"));
    QByteArray decoded;
    connect(sim.get(), &Simulator::packetDecoded, this,
            [&decoded](const ViscaModel::Packet &packet) { decoded += packet.bytes; });
    camera->zoom(3);
    QVERIFY2(camera->statusText().contains(QStringLiteral("zoom,3 \u2013 camera in standby")),
             qPrintable(camera->statusText()));
    camera->zoom(0);
    camera->panTilt(2, 0);
    QVERIFY2(camera->statusText().contains(QStringLiteral("camera in standby")),
             qPrintable(camera->statusText()));
    camera->panTilt(0, 0);

    harness->find<QAction>(QStringLiteral("actionPowerOn"))->trigger();
    QTRY_VERIFY_WITH_TIMEOUT(zoomPanel->isEnabled(), 10000);
    QCOMPARE(sim->state().power, ViscaModel::Power::On);
    QCOMPARE(camera->statusText(), QStringLiteral("Power on: Lectern"));
    // The zoom drive never reached the camera: its stop and the power on did.
    QVERIFY(!decoded.contains(QByteArray::fromHex("8101040722FF")));
    QVERIFY(!decoded.contains(QByteArray::fromHex("8101060107010203FF")));
    QVERIFY(decoded.contains(QByteArray::fromHex("8101040700FF")));
    QVERIFY(decoded.contains(QByteArray::fromHex("8101040002FF")));
}

// A line that answers nothing: after the version inquiry at connect (the
// harness's pty takes it), only the operator's packets go, however many
// moves end.
void tst_Readback::sendingOnlyLineIsNotAsked()
{
    TestSettings::clear();
    harness = std::make_unique<WindowHarness>();
    QVERIFY(harness->openPort());
    Camera *camera = harness->window().cameraList().current();
    QByteArray line;
    for (int round = 0; round < 2; ++round) {
        camera->zoom(3);
        camera->zoom(0);
        camera->focus(-2);
        camera->focus(0);
        // Long enough for the line to be judged sending only.
        QTRY_VERIFY_WITH_TIMEOUT((line += harness->pty().drain(), camera->hearing()
                                  == SerialAnswers::Hearing::SendingOnly),
                                 3000);
    }
    line += harness->pty().read(-1, 200);
    QCOMPARE(PacketText::fromBytes(line),
             PacketText::fromHex(
                 QStringLiteral("8101040722FF 8101040700FF 8101040831FF 8101040800FF ").repeated(2)));
    QCOMPARE(harness->find<QLabel>(QStringLiteral("labelZoomPosition"))->text(),
             QStringLiteral("\u2013"));
}

QTEST_MAIN(tst_Readback)
#include "tst_readback.moc"

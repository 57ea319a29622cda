// The panel on the network camera route, against the simulator's camera on
// loopback, over both protocols: choosing the entry, connecting, the title
// and the status line, keys that reach the camera, the lamp that never
// does, and a camera that stops answering.
#include "simulator.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QNetworkDatagram>
#include <QPushButton>
#include <QSignalSpy>
#include <QUdpSocket>
#include <QtTest>

#include <memory>

class tst_ViscaIpWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void connectDriveAndFail_data();
    void connectDriveAndFail();
    void noCameraAtTheAddress();
    void answersFromElsewhereAreNamed();
    void tcpCameraComesBack();
};

void tst_ViscaIpWindow::initTestCase()
{
    TestSettings::useTemporaryStore();
    QLoggingCategory::setFilterRules(
        QStringLiteral("tarndeck.sim.info=false\ntarndeck.viscaip.warning=false"));
}

void tst_ViscaIpWindow::connectDriveAndFail_data()
{
    QTest::addColumn<bool>("tcp");
    QTest::newRow("udp") << false;
    QTest::newRow("tcp") << true;
}

void tst_ViscaIpWindow::connectDriveAndFail()
{
    QFETCH(bool, tcp);
    Simulator sim;
    QVERIFY(tcp ? sim.network().listenTcp(QHostAddress::LocalHost, 0)
                : sim.network().listenUdp(QHostAddress::LocalHost, 0));
    const QString address = tcp ? sim.network().tcpAuthority() : sim.network().udpAuthority();
    QSignalSpy decoded(&sim, &Simulator::packetDecoded);

    WindowHarness harness;
    tarnDeck &window = harness.window();
    window.show();
    QVERIFY(harness.choosePortEntry(QStringLiteral("VISCA over IP")));
    QVERIFY(harness.find<QGroupBox>("groupBoxViscaIp")->isVisible());
    harness.find<QLineEdit>("lineEditViscaIpAddress")->setText(address);
    harness.find<QComboBox>("comboBoxViscaIpProtocol")->setCurrentIndex(tcp ? 1 : 0);
    harness.find<QPushButton>("pushButtonViscaIpConnect")->click();
    QTRY_COMPARE(harness.find<QLabel>("labelViscaIpStatus")->text(), QStringLiteral("Connected"));
    QVERIFY(window.windowTitle().endsWith(QStringLiteral(" - VISCA <") + address + '>'));
    QLabel *status = harness.find<QLabel>("labelLastCommand");
    QCOMPARE(status->text(),
             QStringLiteral("Connected to VISCA <") + address + QStringLiteral("> (model 0D15)"));
    QVERIFY(harness.find<QGroupBox>("groupBoxZoom")->isEnabled());
    QGroupBox *lamp = harness.find<QGroupBox>("groupBoxLED");
    QVERIFY(!lamp->isEnabled());
    QCOMPARE(lamp->toolTip(), QStringLiteral("No lamp on this route"));

    // Page Up zooms while held; "+" would run the lamp, which is not there.
    QTest::keyPress(&window, Qt::Key_Plus);
    QVERIFY(!harness.find<QPushButton>("pushButtonLEDUp")->isChecked());
    QTest::keyRelease(&window, Qt::Key_Plus);
    QTest::keyPress(&window, Qt::Key_PageUp);
    QTest::qWait(100);
    QTest::keyRelease(&window, Qt::Key_PageUp);
    QTRY_COMPARE(decoded.size(), 2);
    QCOMPARE(decoded.at(0).at(0).value<ViscaModel::Packet>().bytes,
             QByteArray::fromHex("8101040722FF"));
    QCOMPARE(decoded.at(1).at(0).value<ViscaModel::Packet>().bytes,
             QByteArray::fromHex("8101040700FF"));
    QVERIFY(sim.state().picture.zoom > 0);
    QCOMPARE(sim.state().lamp, 0.0);
    // The zoom position asked after the stop is in (an inquiry still on its
    // way when the camera goes mute would hold the TCP route back).
    QTRY_VERIFY(window.cameraList().current()->readback().zoomPosition() > 0);

    // A camera that stops answering: each command said in the status line;
    // the third in a row without an answer shows it failing, in the title
    // too. Answering again (or reconnected) it is healthy by itself.
    ViscaIpFront::Faults faults;
    faults.mute = true;
    sim.network().setFaults(faults);
    QCOMPARE(window.sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(
        status->text(), QStringLiteral("Not sent: zoom,3 \u2013 camera did not answer"), 3000);
    QVERIFY(window.windowTitle().endsWith('>'));
    QCOMPARE(window.sendCommand(QStringLiteral("zoom"), QStringLiteral("0")), 1);
    QTRY_COMPARE_WITH_TIMEOUT(
        status->text(), QStringLiteral("Not sent: zoom,0 \u2013 camera did not answer"), 3000);
    QCOMPARE(window.sendCommand(QStringLiteral("focus"), QStringLiteral("auto")), 1);
    QElapsedTimer clock;
    clock.start();
    QTRY_COMPARE_WITH_TIMEOUT(
        status->text(),
        QStringLiteral("Not answering: VISCA <") + address + QStringLiteral("> \u2013 camera did not answer"),
        3000);
    qInfo("%s: failing shown %lld ms after the third command", tcp ? "tcp" : "udp", clock.elapsed());
    QVERIFY(window.windowTitle().endsWith(address + QStringLiteral("> (failing)")));
    sim.network().setFaults({});
    QTRY_VERIFY_WITH_TIMEOUT(status->text().startsWith(QStringLiteral("Connected to VISCA <")), 5000);
    QVERIFY(window.windowTitle().endsWith(address + '>'));
    QTRY_VERIFY(harness.find<QGroupBox>("groupBoxZoom")->isEnabled());
    QCOMPARE(window.sendCommand(QStringLiteral("zoom"), QStringLiteral("0")), 1);
    QTRY_COMPARE(status->text(), QStringLiteral("zoom,0"));

    // Leaving the route as the encoder's is left.
    QVERIFY(harness.choosePortEntry(QStringLiteral("VISCA over IP")));
    QVERIFY(window.windowTitle().endsWith(QStringLiteral(" - Not connected")));
    QVERIFY(!harness.find<QGroupBox>("groupBoxZoom")->isEnabled());
    QCOMPARE(window.sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 0);
}

void tst_ViscaIpWindow::noCameraAtTheAddress()
{
    QUdpSocket nobody;
    nobody.bind(QHostAddress(QHostAddress::LocalHost), 0);
    WindowHarness harness;
    QVERIFY(harness.choosePortEntry(QStringLiteral("VISCA over IP")));
    harness.find<QLineEdit>("lineEditViscaIpAddress")
        ->setText(QStringLiteral("127.0.0.1:%1").arg(nobody.localPort()));
    QPushButton *connectButton = harness.find<QPushButton>("pushButtonViscaIpConnect");
    connectButton->click();
    QVERIFY(!connectButton->isEnabled());
    QTRY_COMPARE_WITH_TIMEOUT(harness.find<QLabel>("labelViscaIpStatus")->text(),
                              QStringLiteral("Failed, no answer"), 3000);
    QVERIFY(connectButton->isEnabled());
    QVERIFY(!harness.find<QGroupBox>("groupBoxZoom")->isEnabled());
}

// The camera's answers come from another address: the connect fails naming
// it, and the keys then send nothing and show nothing.
void tst_ViscaIpWindow::answersFromElsewhereAreNamed()
{
    QUdpSocket camera;
    QUdpSocket elsewhere;
    QVERIFY(camera.bind(QHostAddress(QHostAddress::LocalHost), 0));
    if (!elsewhere.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0))
        QSKIP("127.0.0.2 cannot be bound on this machine");
    int received = 0;
    connect(&camera, &QUdpSocket::readyRead, this, [&] {
        while (camera.hasPendingDatagrams()) {
            const QNetworkDatagram datagram = camera.receiveDatagram();
            ViscaIp::Message read;
            ViscaIp::parseMessage(datagram.data(), &read);
            ++received;
            elsewhere.writeDatagram(
                ViscaIp::message(ViscaIp::ControlReply, read.sequence, ViscaIp::resetPayload()),
                datagram.senderAddress(), quint16(datagram.senderPort()));
        }
    });
    WindowHarness harness;
    QVERIFY(harness.choosePortEntry(QStringLiteral("VISCA over IP")));
    harness.find<QLineEdit>("lineEditViscaIpAddress")
        ->setText(QStringLiteral("127.0.0.1:%1").arg(camera.localPort()));
    harness.find<QPushButton>("pushButtonViscaIpConnect")->click();
    const QString stranger = QStringLiteral("127.0.0.2:%1").arg(elsewhere.localPort());
    QLabel *status = harness.find<QLabel>("labelLastCommand");
    QTRY_COMPARE(status->text(),
                 QStringLiteral("answers come from %1, not the camera's address").arg(stranger));
    QTRY_COMPARE_WITH_TIMEOUT(
        harness.find<QLabel>("labelViscaIpStatus")->text(),
        QStringLiteral("Failed, answers come from %1, not the camera's address").arg(stranger),
        3000);

    const int connectDatagrams = received;
    QTest::keyPress(&harness.window(), Qt::Key_PageUp);
    QTest::keyRelease(&harness.window(), Qt::Key_PageUp);
    QCOMPARE(harness.window().sendCommand(QStringLiteral("focus"), QStringLiteral("auto")), 0);
    QTest::qWait(100);
    QCOMPARE(received, connectDatagrams);
    QVERIFY(status->text().startsWith(QStringLiteral("answers come from")));
}

// The TCP camera goes while a zoom is held: the title and the status line
// say it reconnects; the camera back on the same port is connected again
// without a click, and the zoom that ran when it went is not sent again.
void tst_ViscaIpWindow::tcpCameraComesBack()
{
    auto sim = std::make_unique<Simulator>();
    QVERIFY(sim->network().listenTcp(QHostAddress::LocalHost, 0));
    const quint16 port = sim->network().tcpPort();
    const QString address = sim->network().tcpAuthority();
    WindowHarness harness;
    tarnDeck &window = harness.window();
    window.show();
    QVERIFY(harness.choosePortEntry(QStringLiteral("VISCA over IP")));
    harness.find<QLineEdit>("lineEditViscaIpAddress")->setText(address);
    harness.find<QComboBox>("comboBoxViscaIpProtocol")->setCurrentIndex(1);
    harness.find<QPushButton>("pushButtonViscaIpConnect")->click();
    const QString connectedTitle = QStringLiteral(" - VISCA <") + address + '>';
    QTRY_VERIFY(window.windowTitle().endsWith(connectedTitle));
    QLabel *status = harness.find<QLabel>("labelLastCommand");
    QTest::keyPress(&window, Qt::Key_PageUp);
    QTRY_VERIFY(sim->state().picture.zoom > 0);

    QElapsedTimer clock;
    clock.start();
    sim.reset();
    QTRY_VERIFY2(window.windowTitle().endsWith(connectedTitle + " (reconnecting)"),
                 qPrintable(window.windowTitle()));
    qInfo("tcp: reconnecting shown %lld ms after the camera went", clock.elapsed());
    QVERIFY2(status->text().startsWith(QStringLiteral("Reconnecting: VISCA <") + address + '>'),
             qPrintable(status->text()));
    QVERIFY(!harness.find<QGroupBox>("groupBoxZoom")->isEnabled());

    sim = std::make_unique<Simulator>();
    QVERIFY(sim->network().listenTcp(QHostAddress::LocalHost, port));
    QSignalSpy decoded(sim.get(), &Simulator::packetDecoded);
    clock.restart();
    QTRY_COMPARE_WITH_TIMEOUT(status->text(),
                              QStringLiteral("Connected to VISCA <") + address
                                  + QStringLiteral("> (model 0D15)"),
                              10000);
    qInfo("tcp: connected again %lld ms after the camera came back", clock.elapsed());
    QVERIFY(window.windowTitle().endsWith(connectedTitle));
    QVERIFY(harness.find<QGroupBox>("groupBoxZoom")->isEnabled());
    // What reaches it first is what the operator asks now.
    QCOMPARE(window.sendCommand(QStringLiteral("focus"), QStringLiteral("auto")), 1);
    QTRY_VERIFY(!decoded.isEmpty());
    QCOMPARE(decoded.constFirst().at(0).value<ViscaModel::Packet>().bytes,
             QByteArray::fromHex("8101043802FF"));
    QCOMPARE(sim->state().picture.zoom, 0.0);
    QTest::keyRelease(&window, Qt::Key_PageUp);
}

QTEST_MAIN(tst_ViscaIpWindow)
#include "tst_viscaipwindow.moc"

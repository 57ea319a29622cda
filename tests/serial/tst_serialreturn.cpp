// An adapter unplugged and plugged back, on pseudo-terminals: a symbolic
// link stands for its /dev/serial/by-id path (a pseudo-terminal comes back
// under another number), a pseudo-terminal's own path for a port name that
// comes back as it was. The cameras behind the port show "reconnecting",
// then come back together with the port's parameters, by themselves.
#include "camera.h"
#include "linkpool.h"
#include "ptypair.h"
#include "testsettings.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <termios.h>

class tst_SerialReturn : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void adapterComesBack_data();
    void adapterComesBack();
};

namespace {

speed_t lineSpeed(int fd)
{
    termios settings{};
    tcgetattr(fd, &settings);
    return cfgetospeed(&settings);
}

} // namespace

void tst_SerialReturn::initTestCase()
{
    TestSettings::useTemporaryStore();
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.*.warning=false"));
}

void tst_SerialReturn::adapterComesBack_data()
{
    QTest::addColumn<bool>("byId");
    QTest::addColumn<bool>("busy");
    QTest::newRow("by-id link, its folder gone meanwhile") << true << false;
    QTest::newRow("same port name") << false << false;
    // Held by another program when it is back: nothing on the file system
    // says when that program lets it go.
    QTest::newRow("by-id link, busy when it is back") << true << true;
}

void tst_SerialReturn::adapterComesBack()
{
    QFETCH(bool, byId);
    QFETCH(bool, busy);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("serial/by-id"));
    const QString link = folder + QStringLiteral("/usb-Tarn_Fixture_0001-if00-port0");
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    QVERIFY(QDir().mkpath(folder));
    QVERIFY(QFile::link(pty->slavePath(), link));
    const QString path = byId ? link : pty->slavePath();

    // A chain of two behind one port, at a speed of the operator's.
    LinkPool pool;
    Camera first(pool);
    Camera second(pool);
    second.setAddresses({2, 0});
    first.setSerialParameter(SerialParameter::BaudRate, 19200);
    QVERIFY(first.openSerial({QStringLiteral("port"), path}));
    QVERIFY(second.openSerial({QStringLiteral("port"), path}));
    QCOMPARE(pty->read(10), QByteArray::fromHex("81090002FF82090002FF"));
    const QString connected = first.statusText();

    // Unplugged: the port goes, and so does the by-id link (udev takes its
    // folder with the last adapter).
    QElapsedTimer clock;
    clock.start();
    QSignalSpy lost(&first, &Camera::lost);
    pty->closeMaster();
    QVERIFY(lost.wait(5000));
    const qint64 lostAt = clock.nsecsElapsed() / 1000;
    QCOMPARE(first.health(), Camera::Health::Reconnecting);
    QTRY_COMPARE(second.health(), Camera::Health::Reconnecting);
    QCOMPARE(Camera::healthWord(first.health()), "reconnecting");
    QVERIFY2(first.statusText().contains(QLatin1String("reconnecting when it is back")),
             qPrintable(first.statusText()));
    QCOMPARE(first.route(), Camera::Route::Serial);
    qInfo("reconnecting shown %lld µs after the line hung up", lostAt);
    QVERIFY(QFile::remove(link));
    QVERIFY(QDir(dir.filePath(QStringLiteral("serial"))).removeRecursively());
    const QString oldSlave = pty->slavePath();
    pty.reset();

    // Plugged back.
    pty = std::make_unique<PtyPair>();
    QVERIFY(pty->isValid());
    if (!byId && pty->slavePath() != oldSlave)
        QSKIP("the new pseudo-terminal got another number (another program took it)");
    clock.restart();
    QSignalSpy back(&first, &Camera::connected);
    if (byId) {
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::link(pty->slavePath(), link));
    }
    // Taken under the same name before the panel hears of its return.
    QSerialPort other(path);
    if (busy) {
        QVERIFY(other.open(QIODevice::ReadWrite));
        QTRY_VERIFY2(
            first.statusText().startsWith(QLatin1String("Could not open"))
                && first.statusText().endsWith(QLatin1String("(another program holds its lock)")),
            qPrintable(first.statusText()));
        QCOMPARE(first.health(), Camera::Health::Reconnecting);
        other.close();
        clock.restart();
    }
    QVERIFY(back.wait(5000));
    const qint64 backAt = clock.nsecsElapsed() / 1000;
    QCOMPARE(first.health(), Camera::Health::Connected);
    QTRY_COMPARE(second.health(), Camera::Health::Connected);
    qInfo("connected again %lld µs after the path came back", backAt);
    QCOMPARE(first.statusText(), connected);
    QCOMPARE(lineSpeed(pty->master()), speed_t(B19200));
    QCOMPARE(first.serialSettings().value(SerialParameter::BaudRate), 19200);
    // Each asks its version as at any connect; commands reach the new line.
    QCOMPARE(pty->read(10), QByteArray::fromHex("81090002FF82090002FF"));
    first.zoom(3);
    QCOMPARE(pty->read(6), QByteArray::fromHex("8101040722FF"));

    // Left: nothing of the port, nothing watching.
    first.leaveRoute();
    second.leaveRoute();
    QTRY_VERIFY(pool.findChildren<QObject *>().isEmpty());
}

QTEST_MAIN(tst_SerialReturn)
#include "tst_serialreturn.moc"

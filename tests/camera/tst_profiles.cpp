// The "Camera profiles" menu on a real window whose serial port is a
// pseudo-terminal: recalling, storing and resetting the camera's memory
// profiles, the menu's check marks and enabled entries, the half-second wait
// of a reset during which the window stays live, and the profile number in
// the settings file.
#include "packettext.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QMenu>
#include <QSettings>
#include <QtTest>

#include <functional>
#include <memory>

namespace {

// Memory recall, set and reset of profile n, and set of the camera default.
QString recall(int n)
{
    return QStringLiteral("8101043F020%1FF").arg(n);
}
QString store(int n)
{
    return QStringLiteral("8101043F010%1FF").arg(n);
}
QString reset(int n)
{
    return QStringLiteral("8101043F000%1FF").arg(n);
}
const QString storeDefault = QStringLiteral("8101043F017FFF");

// What may happen while a reset waits before its recall.
enum class DuringWait { Nothing, PortClosed, PortClosedAndReopened, Deselected, OtherProfile };

} // namespace

Q_DECLARE_METATYPE(DuringWait)

class TstProfiles : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void menuAtStart();
    void recallTwice_data();
    void recallTwice();
    void saveAndResetActOnSelection_data();
    void saveAndResetActOnSelection();
    void saveToCameraDefault_data();
    void saveToCameraDefault();
    void resetWait_data();
    void resetWait();
    void closingThePortClearsSelection();
    void selectionNotRestored();

private:
    tarnDeck &window() { return harness->window(); }
    QAction *entry(const QString &name) const
    {
        QAction *found = harness->find<QAction>(name);
        if (!found)
            qFatal("no action %s", qPrintable(name));
        return found;
    }
    QAction *profileEntry(int n) const
    {
        return entry(QStringLiteral("actionCameraProfile%1").arg(n));
    }
    QList<int> selectedProfiles() const;
    QString cameraReceived(const QString &expectedHex);
    QVariant storedProfile() const;

    std::unique_ptr<WindowHarness> harness;
};

void TstProfiles::initTestCase()
{
    TestSettings::useTemporaryStore();
}

// Every test function (and row) gets an empty settings store and a fresh
// window connected to a fresh pseudo-terminal.
void TstProfiles::init()
{
    TestSettings::clear();
    harness = std::make_unique<WindowHarness>();
    QVERIFY(harness->pty().isValid());
    QVERIFY(harness->openPort());
    harness->pty().drain();
}

void TstProfiles::cleanup()
{
    harness.reset();
}

QList<int> TstProfiles::selectedProfiles() const
{
    QList<int> selected;
    for (int n = 0; n <= 9; ++n) {
        if (profileEntry(n)->isChecked())
            selected << n;
    }
    return selected;
}

// The camera reads while the program's event loop runs: a reset's recall
// leaves when its wait is over.
QString TstProfiles::cameraReceived(const QString &expectedHex)
{
    const int expected = QByteArray::fromHex(expectedHex.toLatin1()).size();
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < (expected > 0 ? 2000 : 50)
           && (expected == 0 || received.size() < expected)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        received += harness->pty().drain();
    }
    return PacketText::fromBytes(received);
}

// "cameraProfile" as the settings file on disk holds it.
QVariant TstProfiles::storedProfile() const
{
    QSettings file(TestSettings::storeFile(), QSettings::IniFormat);
    return file.value(QStringLiteral("cameraProfile"));
}

void TstProfiles::menuAtStart()
{
    harness.reset();
    harness = std::make_unique<WindowHarness>();
    QMenu *menu = harness->find<QMenu>(QStringLiteral("menuCameraProfiles"));
    QVERIFY(menu);
    QVERIFY(!menu->isEnabled());
    QCOMPARE(selectedProfiles(), QList<int>());
    for (int n = 0; n <= 9; ++n)
        QCOMPARE(profileEntry(n)->isVisible(), n <= 5);
    QVERIFY(!entry(QStringLiteral("actionCameraSave"))->isEnabled());
    QVERIFY(!entry(QStringLiteral("actionCameraReset"))->isEnabled());
    QVERIFY(entry(QStringLiteral("actionCameraSaveCustom"))->isEnabled());

    QVERIFY(harness->openPort());
    QVERIFY(menu->isEnabled());
    QVERIFY(!entry(QStringLiteral("actionCameraSave"))->isEnabled());
    QVERIFY(!entry(QStringLiteral("actionCameraReset"))->isEnabled());
}

void TstProfiles::recallTwice_data()
{
    QTest::addColumn<int>("selectedBefore");
    QTest::addColumn<int>("profile");

    for (int n = 0; n <= 9; ++n)
        QTest::addRow("Profile %d%s", n, n >= 6 ? " (hidden)" : "") << -1 << n;
    QTest::newRow("Profile 1, then Profile 3") << 1 << 3;
    QTest::newRow("Profile 9, then Profile 0") << 9 << 0;
}

// Choosing a profile, and choosing it again, recalls it each time; only it
// stays checked, Save and Reset are offered and the number is stored.
void TstProfiles::recallTwice()
{
    QFETCH(int, selectedBefore);
    QFETCH(int, profile);

    QString expected;
    if (selectedBefore >= 0) {
        profileEntry(selectedBefore)->trigger();
        expected += recall(selectedBefore);
    }
    profileEntry(profile)->trigger();
    profileEntry(profile)->trigger();
    expected += recall(profile) + recall(profile);

    QCOMPARE(cameraReceived(expected), PacketText::fromHex(expected));
    QCOMPARE(cameraReceived(QString()), QString());
    QCOMPARE(selectedProfiles(), QList<int>{profile});
    QVERIFY(entry(QStringLiteral("actionCameraSave"))->isEnabled());
    QVERIFY(entry(QStringLiteral("actionCameraReset"))->isEnabled());
    QTRY_COMPARE(storedProfile(), QVariant(QString::number(profile)));
}

void TstProfiles::saveAndResetActOnSelection_data()
{
    QTest::addColumn<QList<int>>("chosen");

    QTest::newRow("Profile 2") << QList<int>{2};
    QTest::newRow("Profile 0, then 4") << QList<int>{0, 4};
    QTest::newRow("Profile 5, then hidden 8") << QList<int>{5, 8};
    QTest::newRow("Profile 7, then 1") << QList<int>{7, 1};
}

// Save stores into the selected profile and Reset resets it and recalls it
// again; neither moves the check mark nor writes the setting.
void TstProfiles::saveAndResetActOnSelection()
{
    QFETCH(QList<int>, chosen);

    for (int n : chosen)
        profileEntry(n)->trigger();
    const int selected = chosen.constLast();
    QTRY_COMPARE(storedProfile(), QVariant(QString::number(selected)));
    harness->pty().read(0, 50);

    entry(QStringLiteral("actionCameraSave"))->trigger();
    QCOMPARE(cameraReceived(store(selected)), store(selected));
    QCOMPARE(cameraReceived(QString()), QString());

    entry(QStringLiteral("actionCameraReset"))->trigger();
    const QString resetThenRecall = reset(selected) + recall(selected);
    QCOMPARE(cameraReceived(resetThenRecall), reset(selected) + ' ' + recall(selected));
    QCOMPARE(cameraReceived(QString()), QString());

    QCOMPARE(selectedProfiles(), QList<int>{selected});
    // Written by the recalls only: a value put there now stays.
    QSettings(TestSettings::storeFile(), QSettings::IniFormat)
        .setValue(QStringLiteral("cameraProfile"), 99);
    entry(QStringLiteral("actionCameraSave"))->trigger();
    entry(QStringLiteral("actionCameraReset"))->trigger();
    harness->pty().read(0, 50);
    QCoreApplication::processEvents();
    QCOMPARE(storedProfile(), QVariant(QStringLiteral("99")));
}

void TstProfiles::saveToCameraDefault_data()
{
    QTest::addColumn<int>("selected");

    QTest::newRow("no profile selected") << -1;
    QTest::newRow("Profile 3 selected") << 3;
}

void TstProfiles::saveToCameraDefault()
{
    QFETCH(int, selected);

    if (selected >= 0) {
        profileEntry(selected)->trigger();
        harness->pty().read(0, 50);
    }
    entry(QStringLiteral("actionCameraSaveCustom"))->trigger();
    QCOMPARE(cameraReceived(storeDefault), storeDefault);
    QCOMPARE(cameraReceived(QString()), QString());
    QCOMPARE(selectedProfiles(), selected >= 0 ? QList<int>{selected} : QList<int>());
}

void TstProfiles::resetWait_data()
{
    QTest::addColumn<DuringWait>("duringWait");
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<QList<int>>("selectedAfter");
    QTest::addColumn<QString>("lastCommand");

    const QString resetSent = QStringLiteral("profile,reset2 [8101043F0002FF]");
    QTest::newRow("nothing happens: recall follows")
        << DuringWait::Nothing << reset(2) + recall(2) << QList<int>{2}
        << QStringLiteral("profile,recall2 [8101043F0202FF]");
    // The port is gone, so the camera could not get a recall anyway: that
    // none was even attempted shows in the last command.
    QTest::newRow("port closed") << DuringWait::PortClosed << reset(2) << QList<int>() << resetSent;
    QTest::newRow("port closed and opened again")
        << DuringWait::PortClosedAndReopened << reset(2) << QList<int>() << resetSent;
    QTest::newRow("selection cleared")
        << DuringWait::Deselected << reset(2) << QList<int>() << resetSent;
    // The recall goes to the profile checked when the wait ends.
    QTest::newRow("another profile chosen")
        << DuringWait::OtherProfile << reset(2) + recall(4) + recall(4) << QList<int>{4}
        << QStringLiteral("profile,recall4 [8101043F0204FF]");
}

// The reset waits half a second with the window live before it recalls the
// selected profile; what happens meanwhile decides what is recalled.
void TstProfiles::resetWait()
{
    QFETCH(DuringWait, duringWait);
    QFETCH(QString, bytes);
    QFETCH(QList<int>, selectedAfter);
    QFETCH(QString, lastCommand);

    profileEntry(2)->trigger();
    QCOMPARE(cameraReceived(recall(2)), recall(2));

    bool ranDuringWait = duringWait == DuringWait::Nothing;
    const std::function<void()> act = [&] {
        switch (duringWait) {
        case DuringWait::Nothing:
            return;
        case DuringWait::PortClosed:
            harness->closePort();
            break;
        case DuringWait::PortClosedAndReopened:
            harness->closePort();
            harness->openPort();
            break;
        case DuringWait::Deselected:
            QMetaObject::invokeMethod(&window(), "cameraProfileDeselect");
            break;
        case DuringWait::OtherProfile:
            profileEntry(4)->trigger();
            break;
        }
        ranDuringWait = true;
    };
    QTimer::singleShot(100, &window(), act);
    entry(QStringLiteral("actionCameraReset"))->trigger();
    QTRY_VERIFY2(ranDuringWait, "the reset did not keep the window live during its wait");

    QCOMPARE(cameraReceived(bytes), PacketText::fromHex(bytes));
    QCOMPARE(cameraReceived(QString()), QString());
    QCOMPARE(selectedProfiles(), selectedAfter);
    QCOMPARE(window().lastCommandText(), lastCommand);
    const bool offered = !selectedAfter.isEmpty();
    QCOMPARE(entry(QStringLiteral("actionCameraSave"))->isEnabled(), offered);
    QCOMPARE(entry(QStringLiteral("actionCameraReset"))->isEnabled(), offered);
}

// Closing the port clears the selection and takes Save and Reset away; the
// next opening starts with nothing selected.
void TstProfiles::closingThePortClearsSelection()
{
    profileEntry(6)->trigger();
    QCOMPARE(selectedProfiles(), QList<int>{6});

    harness->closePort();
    QCOMPARE(selectedProfiles(), QList<int>());
    QVERIFY(!entry(QStringLiteral("actionCameraSave"))->isEnabled());
    QVERIFY(!entry(QStringLiteral("actionCameraReset"))->isEnabled());
    QVERIFY(entry(QStringLiteral("actionCameraSaveCustom"))->isEnabled());
    QVERIFY(!harness->find<QMenu>(QStringLiteral("menuCameraProfiles"))->isEnabled());

    QVERIFY(harness->openPort());
    QCOMPARE(selectedProfiles(), QList<int>());
    QVERIFY(!entry(QStringLiteral("actionCameraSave"))->isEnabled());
    QVERIFY(!entry(QStringLiteral("actionCameraReset"))->isEnabled());
}

// The number is written for the record; the next start selects nothing.
void TstProfiles::selectionNotRestored()
{
    profileEntry(3)->trigger();
    QTRY_COMPARE(storedProfile(), QVariant(QStringLiteral("3")));
    window().close();
    harness.reset();

    harness = std::make_unique<WindowHarness>();
    QVERIFY(harness->openPort());
    QCOMPARE(selectedProfiles(), QList<int>());
    QVERIFY(!entry(QStringLiteral("actionCameraSave"))->isEnabled());
    QCOMPARE(storedProfile(), QVariant(QStringLiteral("3")));
}

QTEST_MAIN(TstProfiles)
#include "tst_profiles.moc"

// The "Camera profiles" menu on a real window whose serial port is a
// pseudo-terminal: recalling, storing and resetting the camera's memory
// profiles, the menu's check marks and enabled entries, the half-second wait
// of a reset during which the window stays live, and the profile number in
// the settings file. The presets beside them: the panel's grid and its pages,
// the keypad's recall and store, the confirmation before a store, a recall
// stopping what drives first, the presets' names and order in the store.
#include "packettext.h"
#include "presetpanel.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QElapsedTimer>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
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

// A key as the test presses it.
struct Press
{
    Qt::Key key;
    Qt::KeyboardModifiers modifiers;
};
using Presses = QList<Press>;
using StoreLines = QMap<QString, QString>;
constexpr Qt::KeyboardModifiers keypad = Qt::KeypadModifier;

// What may happen while a reset waits before its recall.
enum class DuringWait { Nothing, PortClosed, PortClosedAndReopened, Deselected, OtherProfile };

} // namespace

Q_DECLARE_METATYPE(DuringWait)
Q_DECLARE_METATYPE(Presses)
Q_DECLARE_METATYPE(StoreLines)
Q_DECLARE_METATYPE(Press)

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

    void presetKeys_data();
    void presetKeys();
    void recallStopsWhatDrives_data();
    void recallStopsWhatDrives();
    void gridPages_data();
    void gridPages();
    void storeAsksFirst();
    void namesInTheStore();
    void gridAndMenuShareTheSelection();
    void reorderFromTheMenu();

private:
    // A fresh window on a store holding `lines`, its port open.
    void restartWith(const StoreLines &lines);
    PresetPanel *panel() const { return harness->find<PresetPanel>(QStringLiteral("presetPanel")); }
    QString storedValue(const QString &key) const
    {
        QSettings file(TestSettings::storeFile(), QSettings::IniFormat);
        return file.value(key).toString();
    }
    tarnDeck &window() { return harness->window(); }
    Camera *camera() { return window().cameraList().current(); }
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

void TstProfiles::restartWith(const StoreLines &lines)
{
    harness.reset();
    TestSettings::clear();
    {
        QSettings store;
        for (auto line = lines.begin(); line != lines.end(); ++line)
            store.setValue(line.key(), line.value());
    }
    harness = std::make_unique<WindowHarness>();
    window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&window()));
    QVERIFY(harness->openPort());
    harness->pty().drain();
}

void TstProfiles::presetKeys_data()
{
    QTest::addColumn<StoreLines>("store");
    QTest::addColumn<Presses>("presses");
    QTest::addColumn<QString>("expected");

    const Press kp3{Qt::Key_3, keypad};
    const Press star{Qt::Key_Asterisk, keypad};
    const QString recall3 = QStringLiteral("8101043F0202FF");
    QTest::newRow("keypad 3 recalls preset 3") << StoreLines() << Presses{kp3} << recall3;
    QTest::newRow("keypad 0 recalls preset 10")
        << StoreLines() << Presses{{Qt::Key_0, keypad}} << QStringLiteral("8101043F0209FF");
    QTest::newRow("keypad 3 recalls preset 3 wherever the grid shows it")
        << StoreLines{{"cameras/1/presetOrder", "3,1,2"}} << Presses{kp3} << recall3;
    QTest::newRow("* then 3 stores preset 3")
        << StoreLines() << Presses{star, kp3} << QStringLiteral("8101043F0102FF");
    QTest::newRow("* twice cancels") << StoreLines() << Presses{star, star, kp3} << recall3;
    QTest::newRow("* and Escape cancel")
        << StoreLines() << Presses{star, {Qt::Key_Escape, Qt::NoModifier}, kp3} << recall3;
    QTest::newRow("Ctrl with keypad 3: no preset")
        << StoreLines() << Presses{{Qt::Key_3, keypad | Qt::ControlModifier}} << QString();
    QTest::newRow("main-row 0 still switches the lamp off")
        << StoreLines() << Presses{{Qt::Key_0, Qt::NoModifier}}
        << QStringLiteral("8201060100180302FF");
    QTest::newRow("per-preset speed, then the recall")
        << StoreLines{{"cameras/1/recallSpeedForm", "per-preset"},
                      {"cameras/1/presets/3/recallSpeed", "12"}}
        << Presses{kp3} << QStringLiteral("81017E010B020CFF") + recall3;
    QTest::newRow("per-preset form, no speed of its own")
        << StoreLines{{"cameras/1/recallSpeedForm", "per-preset"}} << Presses{kp3} << recall3;
    QTest::newRow("one speed for all: the top speed when the preset has none")
        << StoreLines{{"cameras/1/recallSpeedForm", "global"}} << Presses{kp3}
        << QStringLiteral("8101060118FF") + recall3;
    QTest::newRow("a preset the camera does not have")
        << StoreLines{{"cameras/1/presetCount", "8"}} << Presses{{Qt::Key_9, keypad}} << QString();
}

void TstProfiles::presetKeys()
{
    QFETCH(StoreLines, store);
    QFETCH(Presses, presses);
    QFETCH(QString, expected);
    restartWith(store);
    for (const Press &press : qAsConst(presses))
        QTest::keyClick(&window(), press.key, press.modifiers);
    QCOMPARE(cameraReceived(expected), PacketText::fromHex(expected));
    QCOMPARE(cameraReceived(QString()), QString());
}

void TstProfiles::recallStopsWhatDrives_data()
{
    QTest::addColumn<Press>("held");
    QTest::addColumn<QString>("running");
    QTest::addColumn<QString>("stop");

    QTest::newRow("zoom") << Press{Qt::Key_PageUp, Qt::NoModifier}
                          << QStringLiteral("8101040722FF") << QStringLiteral("8101040700FF");
    QTest::newRow("pan") << Press{Qt::Key_Right, Qt::NoModifier}
                         << QStringLiteral("810106010D010203FF")
                         << QStringLiteral("8101060101010303FF");
}

// A recall while a key drives: the drive's stop first, then the recall; the
// key's release sends nothing more.
void TstProfiles::recallStopsWhatDrives()
{
    QFETCH(Press, held);
    QFETCH(QString, running);
    QFETCH(QString, stop);
    restartWith({{"pantiltDrive", "true"}, {"pantiltControl", "true"}});
    QTest::keyPress(&window(), held.key, held.modifiers);
    QCOMPARE(cameraReceived(running), PacketText::fromHex(running));
    QTest::keyClick(&window(), Qt::Key_3, keypad);
    const QString expected = stop + QStringLiteral("8101043F0202FF");
    QCOMPARE(cameraReceived(expected), PacketText::fromHex(expected));
    QTest::keyRelease(&window(), held.key, held.modifiers);
    QCOMPARE(cameraReceived(QString()), QString());
}

void TstProfiles::gridPages_data()
{
    QTest::addColumn<QString>("count");
    QTest::addColumn<int>("presets");
    QTest::addColumn<int>("pages");

    QTest::newRow("default") << QString() << 16 << 1;
    QTest::newRow("40") << QStringLiteral("40") << 40 << 3;
    // Memory 7F is the camera default: 127 presets at most.
    QTest::newRow("128") << QStringLiteral("128") << 127 << 8;
    QTest::newRow("not a number") << QStringLiteral("many") << 16 << 1;
}

void TstProfiles::gridPages()
{
    QFETCH(QString, count);
    QFETCH(int, presets);
    QFETCH(int, pages);
    StoreLines store{{"presetsControl", "true"}};
    if (!count.isEmpty())
        store.insert(QStringLiteral("cameras/1/presetCount"), count);
    restartWith(store);
    PresetPanel *grid = panel();
    QVERIFY(grid && grid->isVisible());
    QCOMPARE(grid->pageCount(), pages);
    QCOMPARE(camera()->presets().count(), presets);
    auto *next = harness->find<QPushButton>(QStringLiteral("pushButtonPresetsNext"));
    QCOMPARE(next->isVisible(), pages > 1);
    for (int page = 1; page < pages; ++page)
        next->click();
    QCOMPARE(grid->page(), pages - 1);
    QVERIFY(!next->isEnabled());
    const int last = presets - (pages - 1) * PresetPanel::kPerPage;
    for (int slot = 0; slot < PresetPanel::kPerPage; ++slot)
        QCOMPARE(grid->button(slot)->isEnabled(), slot < last);
    // The last one recalls from its page.
    grid->button(last - 1)->click();
    const QString expected = QStringLiteral("8101043F02%1FF").arg(presets - 1, 2, 16, QLatin1Char('0')).toUpper();
    QCOMPARE(cameraReceived(expected), PacketText::fromHex(expected));
}

// Storing from the grid names the preset being overwritten and waits for the
// operator's word: cancelled, nothing is sent.
void TstProfiles::storeAsksFirst()
{
    restartWith({{"presetsControl", "true"}, {"cameras/1/presets/3/name", "Pulpit"}});
    auto *store = harness->find<QPushButton>(QStringLiteral("pushButtonPresetsStore"));
    for (const bool confirmed : {false, true}) {
        store->click();
        panel()->button(2)->click();
        QMessageBox *question = nullptr;
        QTRY_VERIFY((question = window().findChild<QMessageBox *>(QStringLiteral("presetQuestion"))));
        QVERIFY2(question->text().contains(QStringLiteral("preset 3 \u201CPulpit\u201D")),
                 qPrintable(question->text()));
        QCOMPARE(cameraReceived(QString()), QString());
        QAbstractButton *answer = nullptr;
        for (QAbstractButton *button : question->buttons()) {
            if ((question->buttonRole(button) == QMessageBox::AcceptRole) == confirmed)
                answer = button;
        }
        QVERIFY(answer);
        answer->click();
        const QString expected = confirmed ? QStringLiteral("8101043F0102FF") : QString();
        QCOMPARE(cameraReceived(expected), PacketText::fromHex(expected));
        QVERIFY(!store->isChecked());
    }
}

// A rename and a clear are written at once, only the keys they change; the
// keys nobody changed stay as the store had them, also a hostile one.
void TstProfiles::namesInTheStore()
{
    restartWith({{"presetsControl", "true"},
                 {"cameras/1/presetCount", "500"},
                 {"cameras/1/presets/4/name", "Lectern"},
                 {"cameras/size", "3"},
                 {"cameras/2/name", "Balcony"}});
    panel()->askName(2);
    QInputDialog *dialog = nullptr;
    QTRY_VERIFY((dialog = window().findChild<QInputDialog *>(QStringLiteral("presetName"))));
    dialog->setTextValue(QStringLiteral("  Stage   left "));
    dialog->accept();
    QTRY_COMPARE(storedValue(QStringLiteral("cameras/1/presets/2/name")), QStringLiteral("Stage left"));
    // The button names it whole to assistive tools and the tooltip; its own
    // text is shortened to its width, never cut at the edge.
    const QPushButton *renamed = panel()->button(1);
    QCOMPARE(renamed->accessibleName(), QStringLiteral("2 Stage left"));
    const QStringList shown = renamed->text().split(QLatin1Char('\n'));
    QCOMPARE(shown.size(), 2);
    QVERIFY2(shown.at(1) == QLatin1String("Stage left") || shown.at(1).endsWith(QChar(0x2026)),
             qPrintable(shown.at(1)));
    QVERIFY(renamed->fontMetrics().horizontalAdvance(shown.at(1)) < renamed->width());

    panel()->confirmClear(4);
    QMessageBox *question = nullptr;
    QTRY_VERIFY((question = window().findChild<QMessageBox *>(QStringLiteral("presetQuestion"))));
    QVERIFY(question->text().contains(QStringLiteral("Lectern")));
    for (QAbstractButton *button : question->buttons()) {
        if (question->buttonRole(button) == QMessageBox::AcceptRole)
            button->click();
    }
    QCOMPARE(cameraReceived(QStringLiteral("8101043F0003FF")), PacketText::fromHex("8101043F0003FF"));
    QTRY_VERIFY(!QSettings(TestSettings::storeFile(), QSettings::IniFormat)
                     .contains(QStringLiteral("cameras/1/presets/4/name")));
    window().close();
    for (const auto &[key, value] : {std::pair{"cameras/1/presetCount", "500"},
                                     std::pair{"cameras/size", "3"},
                                     std::pair{"cameras/2/name", "Balcony"},
                                     std::pair{"cameras/1/presets/2/name", "Stage left"}})
        QCOMPARE(storedValue(QLatin1String(key)), QLatin1String(value));
}

// The grid and the "Camera profiles" menu show one selection: profile k is
// preset k + 1. The grid does not write the menu's "cameraProfile".
void TstProfiles::gridAndMenuShareTheSelection()
{
    restartWith({{"presetsControl", "true"}});
    panel()->button(4)->click();
    QCOMPARE(cameraReceived(QStringLiteral("8101043F0204FF")), PacketText::fromHex("8101043F0204FF"));
    QCOMPARE(selectedProfiles(), QList<int>{4});
    QVERIFY(panel()->button(4)->isChecked());
    QVERIFY(!storedProfile().isValid());
    profileEntry(2)->trigger();
    QVERIFY(panel()->button(2)->isChecked());
    QVERIFY(!panel()->button(4)->isChecked());
    // Save acts on the shared selection, also beyond the menu's ten.
    panel()->button(11)->click();
    entry(QStringLiteral("actionCameraSave"))->trigger();
    const QString expected = QStringLiteral("8101043F0202FF8101043F020BFF8101043F010BFF");
    QCOMPARE(cameraReceived(expected), PacketText::fromHex(expected));
    QCOMPARE(selectedProfiles(), QList<int>());
}

// The context menu moves a preset in the grid: the buttons show the new
// order, the store keeps it, the moved button still recalls its own memory;
// a move past the page's end takes the page along.
void TstProfiles::reorderFromTheMenu()
{
    restartWith({{"presetsControl", "true"}, {"cameras/1/presetCount", "20"}});
    const auto move = [this](int slot, const QString &action) {
        qDeleteAll(panel()->findChildren<QMenu *>(QStringLiteral("menuPreset")));
        emit panel()->button(slot)->customContextMenuRequested(QPoint(4, 4));
        auto *menu = panel()->findChild<QMenu *>(QStringLiteral("menuPreset"));
        QVERIFY(menu);
        QAction *chosen = menu->findChild<QAction *>(action);
        QVERIFY(chosen && chosen->isEnabled());
        chosen->trigger();
        menu->close();
    };
    move(2, QStringLiteral("actionPresetEarlier"));
    QCOMPARE(panel()->button(1)->text(), QStringLiteral("3"));
    QCOMPARE(panel()->button(2)->text(), QStringLiteral("2"));
    QTRY_VERIFY(storedValue(QStringLiteral("cameras/1/presetOrder")).startsWith(QStringLiteral("1,3,2,4,")));
    panel()->button(1)->click();
    QCOMPARE(cameraReceived(QStringLiteral("8101043F0202FF")), PacketText::fromHex("8101043F0202FF"));
    QVERIFY(panel()->button(1)->isChecked());

    move(PresetPanel::kPerPage - 1, QStringLiteral("actionPresetLater"));
    QCOMPARE(panel()->page(), 1);
    QCOMPARE(panel()->presetAt(0), 16);
    QCOMPARE(panel()->presetAt(1), 18);
}

QTEST_MAIN(TstProfiles)
#include "tst_profiles.moc"

// The pan-tilt pad driving the camera: which way the camera turns for what
// the pad shows, then the real window with the option switched on, its pad
// dragged with the pointer, on a pseudo-terminal and on an encoder whose
// answers the test holds back.

// Route QTest's mouse helpers through the window system, so the pad's
// pointer grab applies.
#define QTEST_QPA_MOUSE_HANDLING

#include "encodersetup.h"
#include "loophttpserver.h"
#include "packettext.h"
#include "pantiltdrive.h"
#include "ptmath.h"
#include "ptwidget.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QtTest>

#include <memory>

namespace {

// Packets of the camera's pan-tilt drive.
const char kStop[] = "8101060101010303FF";

// One pointer position of a drag, in speed steps from the pad's centre (x
// right, y down), and the packets the camera receives after it.
struct DragStep
{
    QPoint offset;
    QString packets;
};
using Drag = QVector<DragStep>;

using Request = LoopHttpServer::Request;
using Response = LoopHttpServer::Response;

} // namespace

Q_DECLARE_METATYPE(Drag)

class tst_PanTiltDrive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();

    void direction_data();
    void direction();
    void drag_data();
    void drag();
    void stopBeforeTheRouteGoes_data();
    void stopBeforeTheRouteGoes();
    void busyEncoderKeepsTheNewest_data();
    void busyEncoderKeepsTheNewest();

private:
    // A window on a fresh store, shown with the pad's panel; the option as
    // asked.
    void buildWindow(bool driveOn);
    // The same, its port open on the pseudo-terminal, nothing read yet.
    void openWindow(bool driveOn);
    QPoint padPoint(const QPoint &steps) const;

    std::unique_ptr<WindowHarness> harness;
    PTWidget *pad = nullptr;
};

void tst_PanTiltDrive::initTestCase()
{
    TestSettings::useTemporaryStore();
}

void tst_PanTiltDrive::cleanup()
{
    harness.reset();
}

void tst_PanTiltDrive::buildWindow(bool driveOn)
{
    TestSettings::clear();
    {
        QSettings store;
        store.setValue(QStringLiteral("pantiltDrive"), driveOn);
        store.setValue(QStringLiteral("pantiltControl"), true);
        store.setValue(QStringLiteral("acti"), true);
        store.sync();
    }
    harness = std::make_unique<WindowHarness>();
    pad = harness->find<PTWidget>(QStringLiteral("widgetPT"));
    QVERIFY(pad);
    // Without the option the panel stays hidden; the pad still works.
    if (!driveOn)
        harness->find<QGroupBox>(QStringLiteral("groupBoxPanTilt"))->show();
    harness->window().resize(900, 500);
    harness->window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&harness->window()));
    QCursor::setPos(harness->window().mapToGlobal(QPoint(5, 5)));
    QCoreApplication::processEvents();
    QVERIFY(PtMath::stepForWidth(pad->width()) >= 8);
}

void tst_PanTiltDrive::openWindow(bool driveOn)
{
    buildWindow(driveOn);
    if (QTest::currentTestFailed())
        return;
    QVERIFY(harness->openPort());
    harness->pty().drain();
}

QPoint tst_PanTiltDrive::padPoint(const QPoint &steps) const
{
    return PtMath::centerOf(pad->size()) + steps * PtMath::stepForWidth(pad->width());
}

void tst_PanTiltDrive::direction_data()
{
    QTest::addColumn<QPoint>("speed");
    QTest::addColumn<QPoint>("ringOffset");
    QTest::addColumn<QString>("action");

    // The pointer path gives speeds the sign opposite to the ring's side,
    // the keys the same sign: the camera turns toward the ring either way.
    QTest::newRow("pointer right") << QPoint(-2, 0) << QPoint(40, 0) << "2 0";
    QTest::newRow("key right") << QPoint(3, 0) << QPoint(60, 0) << "3 0";
    QTest::newRow("pointer above") << QPoint(0, 3) << QPoint(0, -60) << "0 3";
    QTest::newRow("key up") << QPoint(0, -3) << QPoint(0, -60) << "0 3";
    QTest::newRow("pointer below left") << QPoint(4, -1) << QPoint(-80, 20) << "-4 -1";
    QTest::newRow("keys down left") << QPoint(-5, 5) << QPoint(-100, 100) << "-5 -5";
    QTest::newRow("within half a step: holds") << QPoint(0, 0) << QPoint(9, -9) << "0 0";
    QTest::newRow("ring on the centre line holds that axis")
        << QPoint(2, 2) << QPoint(40, 0) << "2 0";
}

void tst_PanTiltDrive::direction()
{
    QFETCH(QPoint, speed);
    QFETCH(QPoint, ringOffset);
    QFETCH(QString, action);
    QCOMPARE(PanTiltMove::action(speed, ringOffset), action);
}

void tst_PanTiltDrive::drag_data()
{
    QTest::addColumn<bool>("driveOn");
    QTest::addColumn<Drag>("steps");

    QTest::newRow("right, up-right, no change, down-left, back to rest")
        << true
        << Drag{{{2, 0}, "8101060107010203FF"},
                {{2, -3}, "81010601070B0201FF"},
                {{2, -3}, ""},
                {{-4, 1}, "8101060112010102FF"},
                {{0, 0}, kStop}};
    QTest::newRow("beyond the pad saturates at the fastest speeds")
        << true << Drag{{{9, 9}, "8101060118140202FF"}, {{-9, -9}, "8101060118140101FF"}};
    QTest::newRow("inside half a step sends nothing") << true << Drag{{{0, 0}, ""}, {{0, 0}, ""}};
    QTest::newRow("option off: the pad sends nothing")
        << false << Drag{{{2, 0}, ""}, {{-4, 1}, ""}, {{0, 0}, ""}};
}

// A drag on the pad, step by step: the packets after each pointer move, and
// the stop (only when the camera moves) on release.
void tst_PanTiltDrive::drag()
{
    QFETCH(bool, driveOn);
    QFETCH(Drag, steps);

    openWindow(driveOn);
    if (QTest::currentTestFailed())
        return;

    QStringList actual;
    QStringList wanted;
    QTest::mousePress(pad, Qt::LeftButton, {}, padPoint({3, 3}));
    actual << PacketText::received(harness->pty(), QString());
    wanted << QString();
    bool moving = false;
    QString last;
    for (const DragStep &step : steps) {
        // A small wiggle first when the position repeats, so that a move
        // event really arrives.
        QTest::mouseMove(pad, padPoint(step.offset) + (last.isNull() ? QPoint() : QPoint(1, 0)));
        actual << PacketText::received(harness->pty(), step.packets);
        wanted << PacketText::fromHex(step.packets);
        if (!step.packets.isEmpty())
            moving = step.packets != QLatin1String(kStop);
        last = step.packets;
    }
    QTest::mouseRelease(pad, Qt::LeftButton, {}, padPoint(steps.last().offset));
    const QString stop = moving ? QString(kStop) : QString();
    actual << PacketText::received(harness->pty(), stop);
    wanted << PacketText::fromHex(stop);
    QCOMPARE(actual, wanted);
    QCOMPARE(PacketText::received(harness->pty(), QString()), QString());
}

void tst_PanTiltDrive::stopBeforeTheRouteGoes_data()
{
    QTest::addColumn<QString>("how");
    QTest::newRow("port closed from the menu") << "close port";
    QTest::newRow("option switched off") << "option off";
    QTest::newRow("window closed") << "close window";
    QTest::newRow("window lost the keyboard") << "focus lost";
}

// A held arrow key drives the camera; whatever ends the drive from outside
// sends the stop while the line still carries it.
void tst_PanTiltDrive::stopBeforeTheRouteGoes()
{
    QFETCH(QString, how);

    std::unique_ptr<QWidget> other;
    openWindow(true);
    if (QTest::currentTestFailed())
        return;

    const QString right3 = QStringLiteral("810106010D010203FF");
    QTest::keyPress(&harness->window(), Qt::Key_Right);
    QCOMPARE(PacketText::received(harness->pty(), right3), PacketText::fromHex(right3));

    if (how == QLatin1String("close port"))
        harness->closePort();
    else if (how == QLatin1String("option off"))
        harness->find<QAction>(QStringLiteral("actionPanTiltDrive"))->trigger();
    else if (how == QLatin1String("focus lost")) {
        // Another window takes the keyboard: no key release will come.
        other = std::make_unique<QWidget>();
        other->show();
        other->activateWindow();
        QTRY_VERIFY(!harness->window().isActiveWindow());
    } else
        harness->window().close();
    QCOMPARE(PacketText::received(harness->pty(), kStop), PacketText::fromHex(kStop));
    QVERIFY(!pad->isActive());

    // The key's release finds the camera at rest already.
    QTest::keyRelease(&harness->window(), Qt::Key_Right);
    QCOMPARE(PacketText::received(harness->pty(), QString()), QString());
}

void tst_PanTiltDrive::busyEncoderKeepsTheNewest_data()
{
    QTest::addColumn<Drag>("whileHeld");    // pointer moves while the first request waits
    QTest::addColumn<QString>("then");      // "let go", "hold on" or "option off"
    QTest::addColumn<QStringList>("sent");  // SERIAL_HEX values, in order
    QTest::addColumn<QByteArray>("answer"); // to every SERIAL_HEX request
    const QByteArray ok = "OK: SERIAL_HEX";

    const Drag sweep{{{2, 0}, ""}, {{3, -1}, ""}, {{-1, 4}, ""}};
    QTest::newRow("a sweep, then let go: only the stop follows")
        << sweep << "let go" << QStringList{"810106010D010203FF", kStop} << ok;
    QTest::newRow("a sweep: only its last speed follows")
        << sweep << "hold on" << QStringList{"810106010D010203FF", "81010601010F0102FF"} << ok;
    QTest::newRow("back where it was: nothing follows")
        << Drag{{{-2, 0}, ""}, {{3, 0}, ""}} << "hold on" << QStringList{"810106010D010203FF"}
        << ok;
    QTest::newRow("a sweep, then the option off: only the stop follows")
        << sweep << "option off" << QStringList{"810106010D010203FF", kStop} << ok;
    // A refused packet is not repeated, but the stop still follows it.
    QTest::newRow("refused: the stop follows, nothing is repeated")
        << sweep << "let go" << QStringList{"810106010D010203FF", kStop}
        << QByteArray("ERROR: busy");
}

// On the encoder route the window waits for each request's answer; pointer
// moves meanwhile must not start requests of their own. The first drive
// request is held until the moves are done.
void tst_PanTiltDrive::busyEncoderKeepsTheNewest()
{
    QFETCH(Drag, whileHeld);
    QFETCH(QString, then);
    const bool release = then == QLatin1String("let go");
    QFETCH(QStringList, sent);
    QFETCH(QByteArray, answer);

    buildWindow(true);
    if (QTest::currentTestFailed())
        return;

    LoopHttpServer encoder;
    QVERIFY(encoder.listen());
    QStringList hex;
    bool holdNext = true;
    encoder.setHandler([&](const Request &request) {
        if (const auto setup = encoderSetupAnswer(request))
            return *setup;
        hex << request.queryValue(QStringLiteral("SERIAL_HEX"));
        if (!holdNext)
            return Response::text(answer);
        holdNext = false;
        // Moves while the window waits for this answer, then the answer.
        QTimer::singleShot(0, [&] {
            for (const DragStep &step : whileHeld)
                QTest::mouseMove(pad, padPoint(step.offset));
            if (release)
                QTest::mouseRelease(pad, Qt::LeftButton, {}, padPoint(whileHeld.last().offset));
            if (then == QLatin1String("option off"))
                harness->find<QAction>(QStringLiteral("actionPanTiltDrive"))->trigger();
            QCOMPARE(hex.size(), 1); // nothing overtook the held request
            encoder.answerHeld(Response::text(answer));
        });
        return Response::hold();
    });

    QVERIFY(harness->choosePortEntry(QStringLiteral("ACTi")));
    harness->find<QLineEdit>(QStringLiteral("lineEditActiIP"))->setText(encoder.authority());
    harness->find<QPushButton>(QStringLiteral("pushButtonActiConnect"))->click();
    QTRY_VERIFY2(harness->window().windowTitle().contains(QLatin1String("ACTi <127.0.0.1")),
                 qPrintable(harness->window().windowTitle()));
    // The encoder panel has gone: let the pad settle in its new place.
    QTest::qWait(50);

    QTest::mousePress(pad, Qt::LeftButton, {}, padPoint({1, 1}));
    QTest::mouseMove(pad, padPoint({3, 0}));
    QTRY_COMPARE(hex, sent);
    QTest::qWait(100);
    QCOMPARE(hex, sent);
    const QString status = harness->find<QLabel>(QStringLiteral("labelLastCommand"))->text();
    if (!answer.startsWith("OK"))
        QCOMPARE(status, QStringLiteral("Not sent: pantilt,0 0 [%1]").arg(kStop));
    if (!release)
        QTest::mouseRelease(pad, Qt::LeftButton, {}, padPoint({0, 0}));
}

QTEST_MAIN(tst_PanTiltDrive)
#include "tst_pantiltdrive.moc"

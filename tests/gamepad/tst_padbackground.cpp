// The background choice on a real X server: another program's window takes
// the keyboard while a stick is held. Without the choice the pad's moves
// stop and the pad is deaf until this program's window is active again; with
// it the pad drives whatever window is in front. Once with the gamepad
// alone, once with the program's window and the packets on its line.
#include "gamepad.h"
#include "packettext.h"
#include "privatexserver.h"
#include "testsettings.h"
#include "virtualpad.h"
#include "windowharness.h"

#include <QApplication>
#include <QSettings>
#include <QSignalSpy>
#include <QWidget>
#include <QtTest>

namespace {

// What reaches the camera's line: `expectedHex`'s bytes or, when nothing is
// expected, whatever comes within 100 ms. The event loop runs meanwhile.
QString onTheLine(PtyPair &line, const QString &expectedHex)
{
    QByteArray got;
    const int expected = QByteArray::fromHex(expectedHex.toLatin1()).size();
    const auto arrived = [&] { return (got += line.drain()).size(); };
    if (expected > 0)
        (void)QTest::qWaitFor([&] { return arrived() >= expected; }, 3000);
    else
        QTest::qWait(100);
    arrived();
    return PacketText::fromBytes(got);
}

} // namespace

#include <X11/Xlib.h>

class tst_PadBackground : public QObject
{
    Q_OBJECT

public:
    explicit tst_PadBackground(const PrivateXServer &server)
        : server(server)
    {
    }

private slots:
    void initTestCase();
    void cleanupTestCase();
    void anotherWindowInFront();
    void windowBehindAnotherProgram_data();
    void windowBehindAnotherProgram();

private:
    // A window of another X client takes the keyboard.
    void otherWindowInFront();

    const PrivateXServer &server;
    Display *other = nullptr;
};

void tst_PadBackground::initTestCase()
{
    if (server.display().isEmpty())
        QSKIP(qPrintable(server.failure()));
    TestSettings::useTemporaryStore();
    VirtualPad::isolate();
    other = XOpenDisplay(server.display().toLatin1().constData());
    QVERIFY(other);
}

void tst_PadBackground::cleanupTestCase()
{
    if (other)
        XCloseDisplay(other);
}

void tst_PadBackground::otherWindowInFront()
{
    const Window window
        = XCreateSimpleWindow(other, DefaultRootWindow(other), 0, 0, 200, 200, 0, 0, 0);
    XMapRaised(other, window);
    XSync(other, False);
    QVERIFY(QTest::qWaitFor([&] {
        XWindowAttributes attributes{};
        XGetWindowAttributes(other, window, &attributes);
        return attributes.map_state == IsViewable;
    }));
    XSetInputFocus(other, window, RevertToPointerRoot, CurrentTime);
    XSync(other, False);
    QTRY_COMPARE(qGuiApp->applicationState(), Qt::ApplicationInactive);
}

void tst_PadBackground::anotherWindowInFront()
{
    QWidget window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));

    Gamepad gamepad;
    QSignalSpy drives(&gamepad, &Gamepad::panTilt);
    QSignalSpy presets(&gamepad, &Gamepad::recallPreset);
    QSignalSpy pumps(gamepad.findChild<PadInput *>(QStringLiteral("padInput")), &PadInput::pumped);
    PadSettings settings;
    settings.enabled = true;
    settings.background = false;
    gamepad.apply(settings);
    VirtualPad pad(QStringLiteral("Tarnwick Duo"));
    QTRY_COMPARE(gamepad.padName(), QStringLiteral("Tarnwick Duo"));
    pad.set(Pad::Control::LeftX, 32767);
    QTRY_COMPARE(drives.count(), 1);
    QCOMPARE(drives.takeFirst(), (QVariantList{24, 0}));

    otherWindowInFront();
    QCOMPARE(drives.count(), 1);
    QCOMPARE(drives.takeFirst(), (QVariantList{0, 0}));
    const int before = pumps.count();
    pad.set(Pad::Control::A, 1);
    QTRY_VERIFY(pumps.count() > before);
    QCOMPARE(presets.count(), 0);

    // This program's window in front again (the operator clicks it): the
    // stick still held drives.
    XSetInputFocus(other, Window(window.winId()), RevertToPointerRoot, CurrentTime);
    XSync(other, False);
    QTRY_COMPARE(drives.count(), 1);
    QCOMPARE(drives.takeFirst(), (QVariantList{24, 0}));

    // Chosen: the pad keeps driving behind another window.
    gamepad.setBackgroundAllowed(true);
    otherWindowInFront();
    pad.set(Pad::Control::LeftX, -32768);
    QTRY_COMPARE(drives.count(), 1);
    QCOMPARE(drives.takeFirst(), (QVariantList{-24, 0}));
}

void tst_PadBackground::windowBehindAnotherProgram_data()
{
    QTest::addColumn<bool>("background");
    QTest::addColumn<QString>("behind"); // when another program's window comes to the front
    QTest::addColumn<QString>("moved");  // the stick to half right meanwhile
    QTest::newRow("allowed (the default): the pad keeps driving")
        << true << "" << "8101060106010203FF";
    QTest::newRow("not allowed: its moves stop, the pad is deaf")
        << false << "8101060101010303FF" << "";
}

// The program's window on its camera's line, the pad driving it; then
// another program's window takes the keyboard.
void tst_PadBackground::windowBehindAnotherProgram()
{
    QFETCH(bool, background);
    QFETCH(QString, behind);
    QFETCH(QString, moved);

    TestSettings::clear();
    {
        QSettings store;
        store.setValue(QStringLiteral("gamepad/enabled"), true);
        store.setValue(QStringLiteral("gamepad/background"), background);
    }
    WindowHarness harness;
    harness.window().show();
    harness.window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness.window()));
    QVERIFY(harness.openPort());
    harness.pty().drain();
    VirtualPad pad(QStringLiteral("Tarnwick Duo"));
    QTRY_COMPARE(harness.window().gamepad().gamepad().padName(), QStringLiteral("Tarnwick Duo"));
    pad.set(Pad::Control::LeftX, 32767);
    const QString full = QStringLiteral("8101060118010203FF");
    QCOMPARE(onTheLine(harness.pty(), full), PacketText::fromHex(full));

    otherWindowInFront();
    QCOMPARE(onTheLine(harness.pty(), behind), PacketText::fromHex(behind));
    pad.set(Pad::Control::LeftX, 16384);
    QCOMPARE(onTheLine(harness.pty(), moved), PacketText::fromHex(moved));
}

int main(int argc, char **argv)
{
    // The window runs on the private server as the program runs there
    // (without OpenGL); with no server, offscreen, only to report the skip.
    const PrivateXServer server;
    const bool onServer = !server.display().isEmpty();
    qputenv("QT_QPA_PLATFORM", onServer ? "xcb" : "offscreen");
    if (onServer) {
        qputenv("DISPLAY", server.display().toLatin1());
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
    QApplication app(argc, argv);
    tst_PadBackground test(server);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_padbackground.moc"

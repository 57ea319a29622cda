// Held keys on a real X server: keys go down and up through XTest, and the
// server repeats held keys exactly as it does for a physical keyboard. For
// each sequence, the packets the camera receives on the pseudo-terminal,
// checked at each point the sequence names.
#include "packettext.h"
#include "privatexserver.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QApplication>
#include <QtTest>

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <memory>

namespace {

// Exposure compensation on, then one step up; the lamp up and its stop.
const QString brightnessStepUp = QStringLiteral("8101043E02FF8101040E02FF");
const QString ledUp = QStringLiteral("8201060100010301FF");
const QString ledStop = QStringLiteral("8201060100000303FF");
const QString focusManual = QStringLiteral("8101043803FF");

// One step of a sequence: a key goes down or up, time passes, another X
// client's window takes the keyboard, or the packets since the last check
// are compared.
struct Step
{
    enum Kind { Down, Up, Wait, OtherWindow, Expect };
    Kind kind;
    KeySym sym = 0;
    int ms = 0;
    QString hex;
};

Step down(KeySym sym)
{
    return {Step::Down, sym, 0, {}};
}
Step up(KeySym sym)
{
    return {Step::Up, sym, 0, {}};
}
Step wait(int ms)
{
    return {Step::Wait, 0, ms, {}};
}
Step otherWindow()
{
    return {Step::OtherWindow, 0, 0, {}};
}
Step expect(const QString &hex)
{
    return {Step::Expect, 0, 0, hex};
}

using Sequence = QVector<Step>;

} // namespace

Q_DECLARE_METATYPE(Sequence)

class TstX11Keys : public QObject
{
    Q_OBJECT

public:
    explicit TstX11Keys(const PrivateXServer &server)
        : server(server)
    {
    }

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();

    void heldKeys_data();
    void heldKeys();

private:
    void run(const Step &step);

    const PrivateXServer &server;
    Display *input = nullptr; // the test's own connection: XTest and the other window
    Window other = 0;
    QSet<KeySym> pressed; // let go after a failed row, so the next row starts clean
    std::unique_ptr<WindowHarness> harness;
};

void TstX11Keys::initTestCase()
{
    if (server.display().isEmpty())
        QSKIP(qPrintable(server.failure()));
    TestSettings::useTemporaryStore();
    input = XOpenDisplay(server.display().toLatin1().constData());
    QVERIFY(input);
    int event, error, major, minor;
    QVERIFY2(XTestQueryExtension(input, &event, &error, &major, &minor), "no XTest");
}

void TstX11Keys::init()
{
    TestSettings::clear();
    harness = std::make_unique<WindowHarness>();
    QVERIFY(harness->pty().isValid());
    harness->window().show();
    harness->window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&harness->window()));
    QVERIFY(harness->openPort());
    harness->pty().drain();
}

void TstX11Keys::cleanup()
{
    const QSet<KeySym> stillDown = pressed;
    for (const KeySym sym : stillDown)
        run(up(sym));
    harness.reset();
    if (other) {
        XDestroyWindow(input, other);
        XSync(input, False);
        other = 0;
    }
}

void TstX11Keys::cleanupTestCase()
{
    if (input)
        XCloseDisplay(input);
}

void TstX11Keys::run(const Step &step)
{
    switch (step.kind) {
    case Step::Down:
    case Step::Up:
        XTestFakeKeyEvent(input, XKeysymToKeycode(input, step.sym), step.kind == Step::Down,
                          CurrentTime);
        XFlush(input);
        if (step.kind == Step::Down)
            pressed.insert(step.sym);
        else
            pressed.remove(step.sym);
        QTest::qWait(30);
        break;
    case Step::Wait:
        QTest::qWait(step.ms);
        break;
    case Step::OtherWindow: {
        other = XCreateSimpleWindow(input, DefaultRootWindow(input), 0, 0, 200, 200, 0, 0, 0);
        XMapRaised(input, other);
        XSync(input, False);
        XWindowAttributes attributes{};
        for (int i = 0; i < 100; ++i) {
            XGetWindowAttributes(input, other, &attributes);
            if (attributes.map_state == IsViewable)
                break;
            QTest::qWait(10);
        }
        XSetInputFocus(input, other, RevertToPointerRoot, CurrentTime);
        XSync(input, False);
        QTRY_VERIFY(!harness->window().isActiveWindow());
        break;
    }
    case Step::Expect:
        // The serial writes are synchronous: what the keys sent is on the
        // line once the events are handled.
        QTest::qWait(100);
        QCOMPARE(PacketText::fromBytes(harness->pty().read(0, 50)), PacketText::fromHex(step.hex));
        break;
    }
}

void TstX11Keys::heldKeys_data()
{
    QTest::addColumn<Sequence>("steps");
    using PacketText::zoom;

    QTest::newRow("Page Up held 1 s: zoom once, stop at the release")
        << Sequence{down(XK_Prior), wait(1000), expect(zoom(3)), up(XK_Prior), expect(zoom(0))};
    QTest::newRow("Shift+Page Up held 1 s: one exposure step")
        << Sequence{down(XK_Shift_L), down(XK_Prior), wait(1000),
                    up(XK_Prior),     up(XK_Shift_L), expect(brightnessStepUp)};
    QTest::newRow("Ctrl+Page Up held 1 s: one zoom step, stop with Ctrl")
        << Sequence{down(XK_Control_L), down(XK_Prior),   wait(1000),     up(XK_Prior),
                    expect(zoom(1)),    up(XK_Control_L), expect(zoom(0))};
    QTest::newRow("+ held 1 s as Shift+=, Shift let go first; then + again")
        << Sequence{down(XK_Shift_L), down(XK_equal), wait(1000),      expect(ledUp),
                    up(XK_Shift_L),   up(XK_equal),   expect(ledStop), down(XK_Shift_L),
                    down(XK_equal),   up(XK_equal),   up(XK_Shift_L),  expect(ledUp + ledStop)};
    QTest::newRow("Page Up held, another window takes the keyboard")
        << Sequence{down(XK_Prior),  wait(800), expect(zoom(3)), otherWindow(),
                    expect(zoom(0)), wait(300), up(XK_Prior),    expect(QString())};
    QTest::newRow("+ and Alt+Page Up held, another window takes the keyboard")
        << Sequence{down(XK_Shift_L),
                    down(XK_equal),
                    up(XK_Shift_L),
                    down(XK_Alt_L),
                    down(XK_Next),
                    wait(800),
                    expect(ledUp + focusManual + PacketText::focus(-1)),
                    otherWindow(),
                    expect(focusManual + PacketText::focus(0) + ledStop),
                    up(XK_Next),
                    up(XK_Alt_L),
                    up(XK_equal),
                    expect(QString())};
}

void TstX11Keys::heldKeys()
{
    QFETCH(Sequence, steps);
    for (const Step &step : steps) {
        run(step);
        if (QTest::currentTestFailed())
            return;
    }
}

int main(int argc, char **argv)
{
    const PrivateXServer server;
    if (server.display().isEmpty()) {
        // Only to run the test object, which then skips with the reason.
        qputenv("QT_QPA_PLATFORM", "offscreen");
    } else {
        qputenv("QT_QPA_PLATFORM", "xcb");
        qputenv("DISPLAY", server.display().toLatin1());
        // As the program runs: without OpenGL (Mesa's GLX set-up leaves an
        // allocation LeakSanitizer reports).
        qputenv("QT_XCB_GL_INTEGRATION", "none");
    }
    QApplication app(argc, argv);
    TstX11Keys test(server);
    return QTest::qExec(&test, argc, argv);
}

#include "tst_x11keys.moc"

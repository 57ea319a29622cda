// The pan-tilt pad: its arithmetic on its own, then the widget driven by real
// mouse events (through the window system, so the pad's pointer grab applies),
// by the keyboard operations the main window calls, by resizes and by painting.

// Route QTest's mouse helpers through the window system: only then do mouse
// moves reach widgets on the offscreen platform.
#define QTEST_QPA_MOUSE_HANDLING

#include "ptmath.h"
#include "ptwidget.h"
#include "testsettings.h"

#include <QImage>
#include <QLoggingCategory>
#include <QScreen>
#include <QTemporaryFile>
#include <QWheelEvent>
#include <QtTest>

#include <climits>
#include <cstdio>
#include <unistd.h>

namespace {

// The look the main window's style sheet gives the pad.
const char *const padStyle = "#widgetPT { background: rgb(48, 48, 48);"
                             " border: 2px solid rgb(31, 31, 31); border-radius: 6px; }";
const QColor padBackground(48, 48, 48);

// Collects the pad's debug lines while alive; other messages go on to QTest.
class PadLog
{
public:
    PadLog()
    {
        lines().clear();
        previous() = qInstallMessageHandler(&PadLog::handle);
    }
    ~PadLog() { qInstallMessageHandler(previous()); }
    PadLog(const PadLog &) = delete;
    PadLog &operator=(const PadLog &) = delete;

    QStringList take()
    {
        const QStringList taken = lines();
        lines().clear();
        return taken;
    }

private:
    static QStringList &lines()
    {
        static QStringList list;
        return list;
    }
    static QtMessageHandler &previous()
    {
        static QtMessageHandler handler = nullptr;
        return handler;
    }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (type == QtDebugMsg && qstrcmp(context.category, "tarndeck.ptpad") == 0)
            lines().append(text);
        else if (previous())
            previous()(type, context, text);
    }
};

// Redirects the process's standard output into a file until finish().
class StdoutCapture
{
public:
    StdoutCapture()
    {
        ok = file.open();
        std::fflush(stdout);
        saved = ::dup(STDOUT_FILENO);
        ok = ok && saved >= 0 && ::dup2(file.handle(), STDOUT_FILENO) >= 0;
    }
    ~StdoutCapture() { restore(); }
    StdoutCapture(const StdoutCapture &) = delete;
    StdoutCapture &operator=(const StdoutCapture &) = delete;

    bool isValid() const { return ok; }

    QByteArray finish()
    {
        restore();
        file.seek(0);
        return file.readAll();
    }

private:
    void restore()
    {
        if (saved < 0)
            return;
        std::fflush(stdout);
        ::dup2(saved, STDOUT_FILENO);
        ::close(saved);
        saved = -1;
    }

    QTemporaryFile file;
    int saved = -1;
    bool ok = false;
};

// A shown window with the pad placed as the main window's form sets it up.
// The pad sits at (300, 200), so pointer positions up to 300 px left or right
// and 200 px above or below its centre still fall inside the window.
struct PadHost
{
    explicit PadHost(int side)
    {
        window.resize(800, 600);
        pad = new PTWidget(&window);
        pad->setObjectName(QStringLiteral("widgetPT"));
        pad->setMinimumSize(80, 80);
        pad->setCursor(Qt::CrossCursor);
        pad->setMouseTracking(true);
        pad->setFocusPolicy(Qt::StrongFocus);
        pad->setStyleSheet(QLatin1String(padStyle));
        pad->setGeometry(300, 200, side, side);
        window.show();
        exposed = QTest::qWaitForWindowExposed(&window);
        // Start with the screen pointer in a corner of the window, away from
        // the pad's centre, so that the pad's pointer jump on a press is
        // always a real movement (which the platform reports as a mouse move).
        QCursor::setPos(window.mapToGlobal(QPoint(5, 5)));
        QCoreApplication::processEvents();
    }

    QWidget window;
    PTWidget *pad = nullptr;
    bool exposed = false;
};

QString pointText(const QPoint &p)
{
    return QStringLiteral("QPoint(%1,%2)").arg(p.x()).arg(p.y());
}

QString padLine(const QPoint &speed, const QPoint &center, const QPoint &position)
{
    return pointText(speed) + ' ' + pointText(center) + ' ' + pointText(position);
}

// One row per arrow direction, as a unit step in pad coordinates.
void addDirectionRows(const char *column)
{
    QTest::addColumn<QPoint>(column);

    QTest::newRow("right") << QPoint(1, 0);
    QTest::newRow("left") << QPoint(-1, 0);
    QTest::newRow("down") << QPoint(0, 1);
    QTest::newRow("up") << QPoint(0, -1);
}

// The colours of the dot, the line and the ring, also when blended with the
// pad's background at their antialiased edges.
bool isStickColour(const QColor &c)
{
    return c.red() >= 90 && c.red() <= 200 && c.green() >= 30 && c.green() <= 70 && c.blue() <= 30;
}

// The brighter colour of the dot and the ring.
bool isDotColour(const QColor &c)
{
    return c.red() >= 150 && c.green() >= 30 && c.green() <= 70 && c.blue() <= 30;
}

bool stickNear(const QImage &image, const QPoint &at)
{
    for (int y = at.y() - 2; y <= at.y() + 2; ++y)
        for (int x = at.x() - 2; x <= at.x() + 2; ++x)
            if (image.valid(x, y) && isStickColour(image.pixelColor(x, y)))
                return true;
    return false;
}

bool stickAnywhere(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (isStickColour(image.pixelColor(x, y)))
                return true;
    return false;
}

} // namespace

class TestPTWidget : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    // Arithmetic, no widget.
    void geometry_data();
    void geometry();
    void rounding_data();
    void rounding();
    void speedFromPointer_data();
    void speedFromPointer();

    // Keyboard operations.
    void setSpeed_data();
    void setSpeed();
    void changeSpeedSteps_data();
    void changeSpeedSteps();

    // Mouse.
    void pressWarpsPointerAndKeepsRing();
    void drag_data();
    void drag();
    void releaseReturnsToIdle_data();
    void releaseReturnsToIdle();
    void keyboardAndMouseUseOppositeSigns_data();
    void keyboardAndMouseUseOppositeSigns();
    void eventsWithoutEffect_data();
    void eventsWithoutEffect();

    // Resize and paint.
    void resizeKeepsSquare_data();
    void resizeKeepsSquare();
    void paint_data();
    void paint();
};

void TestPTWidget::initTestCase()
{
    TestSettings::useTemporaryStore();
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.*.debug=true"));
}

void TestPTWidget::geometry_data()
{
    QTest::addColumn<QSize>("size");
    QTest::addColumn<QPoint>("center");
    QTest::addColumn<int>("step");

    QTest::newRow("200 square") << QSize(200, 200) << QPoint(100, 100) << 20;
    QTest::newRow("201 odd, centre rounds down") << QSize(201, 201) << QPoint(100, 100) << 20;
    QTest::newRow("89 odd, step truncates") << QSize(89, 89) << QPoint(44, 44) << 8;
    QTest::newRow("80 minimum size") << QSize(80, 80) << QPoint(40, 40) << 8;
    QTest::newRow("99 just below 10") << QSize(99, 99) << QPoint(49, 49) << 9;
    QTest::newRow("not square, step from width") << QSize(300, 120) << QPoint(150, 60) << 30;
    QTest::newRow("narrower than 10") << QSize(9, 9) << QPoint(4, 4) << 0;
}

void TestPTWidget::geometry()
{
    QFETCH(QSize, size);
    QFETCH(QPoint, center);
    QFETCH(int, step);

    QCOMPARE(PtMath::centerOf(size), center);
    QCOMPARE(PtMath::stepForWidth(size.width()), step);
}

void TestPTWidget::rounding_data()
{
    QTest::addColumn<double>("q");
    QTest::addColumn<int>("rounded");

    QTest::newRow("zero") << 0.0 << 0;
    QTest::newRow("+2.5 half goes up") << 2.5 << 3;
    QTest::newRow("-2.5 half goes up") << -2.5 << -2;
    QTest::newRow("-2.6 below the half") << -2.6 << -3;
    QTest::newRow("-1.75") << -1.75 << -2;
    QTest::newRow("+0.49") << 0.49 << 0;
    QTest::newRow("-0.49") << -0.49 << 0;
    QTest::newRow("-0.5 half goes up to zero") << -0.5 << 0;
    QTest::newRow("-0.51") << -0.51 << -1;
    QTest::newRow("+1.5") << 1.5 << 2;
    QTest::newRow("-1.5") << -1.5 << -1;
    QTest::newRow("-3 whole") << -3.0 << -3;
    QTest::newRow("+15 whole") << 15.0 << 15;
    QTest::newRow("-15 whole") << -15.0 << -15;
}

void TestPTWidget::rounding()
{
    QFETCH(double, q);
    QFETCH(int, rounded);

    QCOMPARE(PtMath::roundHalfUp(q), rounded);
}

void TestPTWidget::speedFromPointer_data()
{
    QTest::addColumn<QPoint>("center");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<int>("step");
    QTest::addColumn<QPoint>("speed");

    const QPoint c(100, 100);
    QTest::newRow("at the centre") << c << c << 20 << QPoint(0, 0);
    QTest::newRow("35 right: -1.75") << c << QPoint(135, 100) << 20 << QPoint(-2, 0);
    QTest::newRow("50 left: 2.5 half up") << c << QPoint(50, 100) << 20 << QPoint(3, 0);
    QTest::newRow("50 right: -2.5 half up") << c << QPoint(150, 100) << 20 << QPoint(-2, 0);
    QTest::newRow("below is negative tilt") << c << QPoint(100, 140) << 20 << QPoint(0, -2);
    QTest::newRow("above is positive tilt") << c << QPoint(100, 60) << 20 << QPoint(0, 2);
    QTest::newRow("300 right clamps") << c << QPoint(400, 100) << 20 << QPoint(-5, 0);
    QTest::newRow("300 left clamps") << c << QPoint(-200, 100) << 20 << QPoint(5, 0);
    QTest::newRow("300 above clamps") << c << QPoint(100, -200) << 20 << QPoint(0, 5);
    QTest::newRow("300 below clamps") << c << QPoint(100, 400) << 20 << QPoint(0, -5);
    QTest::newRow("5.45 rounds to 5") << c << QPoint(-9, 100) << 20 << QPoint(5, 0);
    QTest::newRow("diagonal, axes apart") << c << QPoint(61, 171) << 20 << QPoint(2, -4);
    QTest::newRow("odd pad 89, step 8") << QPoint(44, 44) << QPoint(24, 64) << 8 << QPoint(3, -2);
    QTest::newRow("far outside stays in range")
        << c << QPoint(INT_MAX - 100, INT_MIN + 200) << 20 << QPoint(-5, 5);
    QTest::newRow("step 0 saturates") << c << QPoint(99, 101) << 0 << QPoint(5, -5);
    QTest::newRow("step 0 at the centre") << c << c << 0 << QPoint(0, 0);
}

void TestPTWidget::speedFromPointer()
{
    QFETCH(QPoint, center);
    QFETCH(QPoint, pointer);
    QFETCH(int, step);
    QFETCH(QPoint, speed);

    QCOMPARE(PtMath::speedFromPointer(center, pointer, step), speed);
}

void TestPTWidget::setSpeed_data()
{
    QTest::addColumn<int>("pan");
    QTest::addColumn<int>("tilt");
    QTest::addColumn<QPoint>("speed");
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QString>("logLine");

    // 200 x 200 pad: centre (100, 100), step 20.
    QTest::newRow("pan 1 right of centre") << 1 << 0 << QPoint(1, 0) << QPoint(120, 100)
                                           << "QPoint(1,0) QPoint(100,100) QPoint(120,100)";
    QTest::newRow("tilt -3 above centre") << 0 << -3 << QPoint(0, -3) << QPoint(100, 40)
                                          << "QPoint(0,-3) QPoint(100,100) QPoint(100,40)";
    QTest::newRow("9, -9 clamps to 5, -5") << 9 << -9 << QPoint(5, -5) << QPoint(200, 0)
                                           << "QPoint(5,-5) QPoint(100,100) QPoint(200,0)";
    QTest::newRow("-6, 6 clamps to -5, 5") << -6 << 6 << QPoint(-5, 5) << QPoint(0, 200)
                                           << "QPoint(-5,5) QPoint(100,100) QPoint(0,200)";
    QTest::newRow("int extremes clamp") << INT_MAX << INT_MIN << QPoint(5, -5) << QPoint(200, 0)
                                        << "QPoint(5,-5) QPoint(100,100) QPoint(200,0)";
    QTest::newRow("zero at centre") << 0 << 0 << QPoint(0, 0) << QPoint(100, 100)
                                    << "QPoint(0,0) QPoint(100,100) QPoint(100,100)";
}

void TestPTWidget::setSpeed()
{
    QFETCH(int, pan);
    QFETCH(int, tilt);
    QFETCH(QPoint, speed);
    QFETCH(QPoint, position);
    QFETCH(QString, logLine);

    PadHost host(200);
    QVERIFY(host.exposed);
    PTWidget *pad = host.pad;
    pad->recenter();
    pad->changeSpeed(2, 2); // an earlier speed is replaced, not added to

    PadLog log;
    pad->setSpeed(pan, tilt);
    QCOMPARE(pad->currentSpeed(), speed);
    QCOMPARE(pad->currentPosition(), position);
    QCOMPARE(pad->currentCenter(), QPoint(100, 100));
    QCOMPARE(log.take(), QStringList{logLine});
}

void TestPTWidget::changeSpeedSteps_data()
{
    addDirectionRows("increment");
}

void TestPTWidget::changeSpeedSteps()
{
    QFETCH(QPoint, increment);

    PadHost host(200);
    QVERIFY(host.exposed);
    PTWidget *pad = host.pad;
    const QPoint center(100, 100);
    const int step = 20;

    // As Ctrl+arrow does it: seven presses, the last two past the limit.
    PadLog log;
    for (int press = 1; press <= 7; ++press) {
        pad->recenter();
        pad->changeSpeed(increment.x(), increment.y());
        pad->setActive(true);

        const QPoint speed = increment * qMin(press, 5);
        QCOMPARE(pad->currentSpeed(), speed);
        QCOMPARE(pad->currentPosition(), center + speed * step);
        QCOMPARE(log.take(), QStringList{padLine(speed, center, center + speed * step)});
        QVERIFY(pad->isActive());
    }

    pad->setActive(false);
    QVERIFY(!pad->isActive());
    QCOMPARE(pad->currentSpeed(), QPoint(0, 0));
    QCOMPARE(pad->currentPosition(), center);
    QVERIFY(log.take().isEmpty());
}

void TestPTWidget::pressWarpsPointerAndKeepsRing()
{
    PadHost host(200);
    QVERIFY(host.exposed);
    PTWidget *pad = host.pad;
    PadLog log;

    // Presses and releases go straight to the pad here, so that its state can
    // be read before the event loop delivers the pointer's jump.
    const auto send = [pad](QEvent::Type type, Qt::MouseButton button, const QPoint &at) {
        const Qt::MouseButtons held
            = type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::MouseButtons(button);
        QMouseEvent event(type, at, pad->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(pad, &event);
    };

    // First press ever: centre computed, pointer sent to it, ring still at
    // (0, 0), and starting the movement writes nothing.
    send(QEvent::MouseButtonPress, Qt::LeftButton, QPoint(30, 170));
    QVERIFY(pad->isActive());
    QCOMPARE(pad->currentCenter(), QPoint(100, 100));
    QCOMPARE(QCursor::pos(), pad->mapToGlobal(QPoint(100, 100)));
    QCOMPARE(pad->currentPosition(), QPoint(0, 0));
    QCOMPARE(pad->currentSpeed(), QPoint(0, 0));
    QVERIFY(log.take().isEmpty());

    // The jump reaches the pad as a pointer move to its centre.
    QCoreApplication::processEvents();
    QCOMPARE(pad->currentPosition(), QPoint(100, 100));
    QCOMPARE(pad->currentSpeed(), QPoint(0, 0));
    QCOMPARE(log.take(), QStringList{"QPoint(0,0) QPoint(100,100) QPoint(100,100)"});

    send(QEvent::MouseButtonRelease, Qt::LeftButton, QPoint(100, 100));
    QVERIFY(!pad->isActive());
    QVERIFY(log.take().isEmpty());

    // A resize leaves the centre alone; the next press recomputes it, and the
    // ring stays at the previous centre until the pointer moves.
    pad->resize(160, 160);
    log.take();
    QCOMPARE(pad->currentCenter(), QPoint(100, 100));
    send(QEvent::MouseButtonPress, Qt::RightButton, QPoint(10, 10));
    QVERIFY(pad->isActive());
    QCOMPARE(pad->currentCenter(), QPoint(80, 80));
    QCOMPARE(QCursor::pos(), pad->mapToGlobal(QPoint(80, 80)));
    QCOMPARE(pad->currentPosition(), QPoint(100, 100));
    QVERIFY(log.take().isEmpty());

    QCoreApplication::processEvents();
    QCOMPARE(pad->currentPosition(), QPoint(80, 80));
    send(QEvent::MouseButtonRelease, Qt::RightButton, QPoint(80, 80));
    QVERIFY(!pad->isActive());
}

void TestPTWidget::drag_data()
{
    QTest::addColumn<int>("side");
    QTest::addColumn<QPoint>("pointer");
    QTest::addColumn<QPoint>("speed");
    QTest::addColumn<QString>("logLine");

    QTest::newRow("200: 35 right") << 200 << QPoint(135, 100) << QPoint(-2, 0)
                                   << "QPoint(-2,0) QPoint(100,100) QPoint(135,100)";
    QTest::newRow("200: 50 left, half up")
        << 200 << QPoint(50, 100) << QPoint(3, 0) << "QPoint(3,0) QPoint(100,100) QPoint(50,100)";
    QTest::newRow("200: 50 right, half up") << 200 << QPoint(150, 100) << QPoint(-2, 0)
                                            << "QPoint(-2,0) QPoint(100,100) QPoint(150,100)";
    QTest::newRow("200: lower left corner, 4.5 and -4.5")
        << 200 << QPoint(10, 190) << QPoint(5, -4) << "QPoint(5,-4) QPoint(100,100) QPoint(10,190)";
    QTest::newRow("200: 300 right, outside the pad")
        << 200 << QPoint(400, 100) << QPoint(-5, 0)
        << "QPoint(-5,0) QPoint(100,100) QPoint(400,100)";
    QTest::newRow("200: 300 left, outside the pad")
        << 200 << QPoint(-200, 100) << QPoint(5, 0)
        << "QPoint(5,0) QPoint(100,100) QPoint(-200,100)";
    QTest::newRow("200: 190 above, outside the pad")
        << 200 << QPoint(100, -90) << QPoint(0, 5) << "QPoint(0,5) QPoint(100,100) QPoint(100,-90)";
    QTest::newRow("201: centre 100, step 20")
        << 201 << QPoint(60, 135) << QPoint(2, -2) << "QPoint(2,-2) QPoint(100,100) QPoint(60,135)";
    QTest::newRow("89: centre 44, step 8")
        << 89 << QPoint(24, 64) << QPoint(3, -2) << "QPoint(3,-2) QPoint(44,44) QPoint(24,64)";
}

void TestPTWidget::drag()
{
    QFETCH(int, side);
    QFETCH(QPoint, pointer);
    QFETCH(QPoint, speed);
    QFETCH(QString, logLine);

    PadHost host(side);
    QVERIFY(host.exposed);
    PTWidget *pad = host.pad;
    const QPoint center(side / 2, side / 2);
    PadLog log;

    QTest::mousePress(pad, Qt::LeftButton, {}, QPoint(side - 5, 5));
    log.take(); // the pointer's jump to the centre (see the press test)
    QTest::mouseMove(pad, pointer);
    QCOMPARE(pad->currentSpeed(), speed);
    QCOMPARE(pad->currentPosition(), pointer);
    QCOMPARE(pad->currentCenter(), center);
    QVERIFY(pad->isActive());
    QCOMPARE(log.take(), QStringList{logLine});

    QTest::mouseRelease(pad, Qt::LeftButton, {}, pointer);
    QVERIFY(log.take().isEmpty());
}

void TestPTWidget::releaseReturnsToIdle_data()
{
    QTest::addColumn<int>("buttonValue");

    QTest::newRow("left") << int(Qt::LeftButton);
    QTest::newRow("right") << int(Qt::RightButton);
    QTest::newRow("middle") << int(Qt::MiddleButton);
}

void TestPTWidget::releaseReturnsToIdle()
{
    QFETCH(int, buttonValue);
    const auto button = static_cast<Qt::MouseButton>(buttonValue);

    PadHost host(200);
    QVERIFY(host.exposed);
    PTWidget *pad = host.pad;

    QTest::mousePress(pad, button, {}, QPoint(100, 100));
    QTest::mouseMove(pad, QPoint(20, 180));
    QCOMPARE(pad->currentSpeed(), QPoint(4, -4));

    PadLog log;
    QTest::mouseRelease(pad, button, {}, QPoint(20, 180));
    QVERIFY(!pad->isActive());
    QCOMPARE(pad->currentSpeed(), QPoint(0, 0));
    QCOMPARE(pad->currentPosition(), pad->currentCenter());
    QCOMPARE(pad->currentPosition(), QPoint(100, 100));

    // Idle again: moving the pointer no longer tracks it.
    QTest::mouseMove(pad, QPoint(30, 30));
    QCOMPARE(pad->currentPosition(), QPoint(100, 100));
    QCOMPARE(pad->currentSpeed(), QPoint(0, 0));
    QVERIFY(log.take().isEmpty());
}

void TestPTWidget::keyboardAndMouseUseOppositeSigns_data()
{
    addDirectionRows("direction");
}

void TestPTWidget::keyboardAndMouseUseOppositeSigns()
{
    QFETCH(QPoint, direction);

    PadHost host(200);
    QVERIFY(host.exposed);
    PTWidget *pad = host.pad;
    const QPoint center(100, 100);
    const int step = 20;

    // Keyboard: a speed in a direction puts the ring that way from the centre.
    pad->recenter();
    pad->setSpeed(direction.x() * 2, direction.y() * 2);
    pad->setActive(true);
    QCOMPARE(pad->currentPosition(), center + direction * 2 * step);
    pad->setActive(false);

    // Mouse: the pointer at that very spot gives the opposite speed.
    QTest::mousePress(pad, Qt::LeftButton, {}, center);
    QTest::mouseMove(pad, center + direction * 2 * step);
    QCOMPARE(pad->currentSpeed(), -direction * 2);
    QTest::mouseRelease(pad, Qt::LeftButton, {}, center + direction * 2 * step);
}

void TestPTWidget::eventsWithoutEffect_data()
{
    QTest::addColumn<QString>("event");
    QTest::addColumn<bool>("active");
    QTest::addColumn<QByteArray>("printed");

    QTest::newRow("wheel on an idle pad") << "wheel" << false << QByteArray("mw");
    QTest::newRow("wheel during a drag") << "wheel" << true << QByteArray("mw");
    QTest::newRow("pointer leaves during a drag") << "leave" << true << QByteArray();
    QTest::newRow("pointer moves over an idle pad") << "move" << false << QByteArray();
}

void TestPTWidget::eventsWithoutEffect()
{
    QFETCH(QString, event);
    QFETCH(bool, active);
    QFETCH(QByteArray, printed);

    PadHost host(200);
    QVERIFY(host.exposed);
    PTWidget *pad = host.pad;
    if (active) {
        QTest::mousePress(pad, Qt::LeftButton, {}, QPoint(100, 100));
        QTest::mouseMove(pad, QPoint(60, 100));
        QCOMPARE(pad->currentSpeed(), QPoint(2, 0));
    }
    const QPoint center = pad->currentCenter();
    const QPoint position = pad->currentPosition();
    const QPoint speed = pad->currentSpeed();

    PadLog log;
    bool accepted = true;
    StdoutCapture out;
    QVERIFY(out.isValid());
    if (event == QLatin1String("wheel")) {
        const QPoint at(150, 50);
        QWheelEvent wheel(at, pad->mapToGlobal(at), QPoint(), QPoint(0, 120),
                          active ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(pad, &wheel);
        accepted = wheel.isAccepted();
    } else if (event == QLatin1String("leave")) {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(pad, &leave);
    } else {
        QTest::mouseMove(pad, QPoint(20, 20));
    }
    QCOMPARE(out.finish(), printed);

    QVERIFY(accepted);
    QCOMPARE(pad->isActive(), active);
    QCOMPARE(pad->currentCenter(), center);
    QCOMPARE(pad->currentPosition(), position);
    QCOMPARE(pad->currentSpeed(), speed);
    QVERIFY(log.take().isEmpty());

    if (active)
        QTest::mouseRelease(pad, Qt::LeftButton, {}, QPoint(60, 100));
}

void TestPTWidget::resizeKeepsSquare_data()
{
    QTest::addColumn<QSize>("requested");
    QTest::addColumn<int>("side");
    QTest::addColumn<int>("events");

    QTest::newRow("300 x 200 becomes 200 x 200") << QSize(300, 200) << 200 << 2;
    QTest::newRow("200 x 300 becomes 200 x 200") << QSize(200, 300) << 200 << 2;
    QTest::newRow("square stays") << QSize(250, 250) << 250 << 1;
}

void TestPTWidget::resizeKeepsSquare()
{
    QFETCH(QSize, requested);
    QFETCH(int, side);
    QFETCH(int, events);

    PadHost host(120);
    QVERIFY(host.exposed);
    PTWidget *pad = host.pad;
    pad->recenter();

    PadLog log;
    const int before = PTWidget::resizeCount;
    pad->resize(requested);
    QCOMPARE(pad->size(), QSize(side, side));
    QCOMPARE(PTWidget::resizeCount, before + events);

    QStringList expected;
    for (int n = before; n < before + events; ++n)
        expected << QStringLiteral("PT resize() %1").arg(n);
    QCOMPARE(log.take(), expected);
    QCOMPARE(pad->currentCenter(), QPoint(60, 60));
}

void TestPTWidget::paint_data()
{
    QTest::addColumn<QString>("driver");
    QTest::addColumn<bool>("drawn");
    QTest::addColumn<QPoint>("ring");
    // Points covered by the dot (behind the centre) or by the ring (beyond
    // the ring's middle) but not by the line between them.
    QTest::addColumn<QPoint>("dotOnly");
    QTest::addColumn<QPoint>("ringOnly");

    QTest::newRow("idle after a drag")
        << "idle" << false << QPoint(100, 100) << QPoint() << QPoint();
    QTest::newRow("mouse drag") << "mouse" << true << QPoint(40, 160) << QPoint(103, 96)
                                << QPoint(36, 164);
    QTest::newRow("keyboard speed")
        << "keys" << true << QPoint(160, 100) << QPoint(95, 100) << QPoint(166, 100);
    QTest::newRow("keyboard step while active")
        << "keys stepped" << true << QPoint(140, 140) << QPoint(96, 96) << QPoint(144, 144);
}

void TestPTWidget::paint()
{
    QFETCH(QString, driver);
    QFETCH(bool, drawn);
    QFETCH(QPoint, ring);
    QFETCH(QPoint, dotOnly);
    QFETCH(QPoint, ringOnly);

    PadHost host(200);
    QVERIFY(host.exposed);
    PTWidget *pad = host.pad;
    const QPoint center(100, 100);

    if (driver.startsWith(QLatin1String("keys"))) {
        pad->recenter();
        pad->setSpeed(3, 0);
        pad->setActive(true);
        if (driver == QLatin1String("keys stepped"))
            pad->changeSpeed(-1, 2);
    } else {
        QTest::mousePress(pad, Qt::LeftButton, {}, center);
        QTest::mouseMove(pad, QPoint(40, 160));
        if (driver == QLatin1String("idle"))
            QTest::mouseRelease(pad, Qt::LeftButton, {}, QPoint(40, 160));
    }
    QCOMPARE(pad->currentPosition(), ring);

    // What the window shows now, without running the event loop first: the
    // pad repaints at once, and it paints its style sheet background itself.
    const QImage image
        = host.window.screen()
              ->grabWindow(host.window.winId(), pad->x(), pad->y(), pad->width(), pad->height())
              .toImage();
    QCOMPARE(image.size(), QSize(200, 200));
    QCOMPARE(image.pixelColor(170, 30), padBackground);
    if (drawn) {
        QVERIFY(stickNear(image, center));
        QVERIFY(stickNear(image, ring));
        QVERIFY(isDotColour(image.pixelColor(dotOnly)));
        QVERIFY(isDotColour(image.pixelColor(ringOnly)));
    } else {
        QCOMPARE(image.pixelColor(center), padBackground);
        QVERIFY(!stickAnywhere(image));
    }

    if (driver == QLatin1String("mouse"))
        QTest::mouseRelease(pad, Qt::LeftButton, {}, ring);
}

QTEST_MAIN(TestPTWidget)
#include "tst_ptwidget.moc"

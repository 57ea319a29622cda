#include "programprocess.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

namespace {

// Generous: other builds and tests may share the machine.
const int kStartMs = 20000;
const int kWaitMs = 10000;

const QString titlePrefix = QStringLiteral("Veltrane - tarnDeck");

} // namespace

ProgramProcess::ProgramProcess(const PrivateXServer &server)
    : displayName(server.display())
    , serverFailure(server.failure())
{
    if (!displayName.isEmpty())
        x = XOpenDisplay(displayName.toLatin1().constData());
    QDir(dir.path()).mkpath(QStringLiteral("config/Veltrane"));
    process.setProcessChannelMode(QProcess::SeparateChannels);
}

ProgramProcess::~ProgramProcess()
{
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(kWaitMs);
    }
    if (x)
        XCloseDisplay(x);
}

QString ProgramProcess::storeFile() const
{
    return dir.filePath(QStringLiteral("config/Veltrane/tarnDeck.conf"));
}

void ProgramProcess::writeStore(const QByteArray &text) const
{
    QFile file(storeFile());
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(text);
}

QByteArray ProgramProcess::readStore() const
{
    QFile file(storeFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool ProgramProcess::start()
{
    failure.clear();
    if (!x) {
        failure = displayName.isEmpty() ? serverFailure
                                        : QStringLiteral("cannot open display ") + displayName;
        return false;
    }
    QFile::remove(dir.filePath(QStringLiteral("state")));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    env.insert(QStringLiteral("DISPLAY"), displayName);
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("TARNDECK_STATE_FILE"), dir.filePath(QStringLiteral("state")));
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(TARNDECK_PROGRAM_PATH), QStringList());
    if (!process.waitForStarted(kWaitMs)) {
        failure = QStringLiteral("tarnDeck did not start: ") + process.errorString();
        return false;
    }
    window = 0;
    const bool mapped = QTest::qWaitFor(
        [this] {
            window = findWindow();
            return window != 0 || process.state() == QProcess::NotRunning;
        },
        kStartMs);
    if (!mapped || !window) {
        failure = QStringLiteral("no window appeared: ") + errorOutput();
        return false;
    }
    // What a window manager does for a new window: it gets the keyboard.
    XSetInputFocus(x, window, RevertToParent, CurrentTime);
    XSync(x, False);
    if (!waitForLine(QStringLiteral("title "), Match::Start)) {
        failure = QStringLiteral("the program wrote no description of its window");
        return false;
    }
    return true;
}

bool ProgramProcess::close()
{
    if (!window || process.state() == QProcess::NotRunning) {
        failure = QStringLiteral("not running: ") + errorOutput();
        return false;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(x, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = long(XInternAtom(x, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    XSendEvent(x, window, False, NoEventMask, &event);
    XSync(x, False);
    window = 0;
    const bool ended
        = QTest::qWaitFor([this] { return process.state() == QProcess::NotRunning; }, kWaitMs);
    if (!ended) {
        failure = QStringLiteral("still running after the close");
        return false;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        failure = QStringLiteral("ended with status %1: ").arg(process.exitCode()) + errorOutput();
        return false;
    }
    return true;
}

QString ProgramProcess::errorOutput()
{
    errors += process.readAllStandardError();
    return QString::fromLocal8Bit(errors);
}

QStringList ProgramProcess::state() const
{
    QFile file(dir.filePath(QStringLiteral("state")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

bool ProgramProcess::waitForLine(const QString &text, Match match, QString *found)
{
    failure = QStringLiteral("no line \"%1\" in:\n").arg(text);
    return QTest::qWaitFor(
        [&] {
            const QStringList lines = state();
            for (const QString &candidate : lines) {
                const bool matches = match == Match::Whole ? candidate == text
                    : match == Match::Start                ? candidate.startsWith(text)
                                                           : candidate.contains(text);
                if (matches) {
                    if (found)
                        *found = candidate;
                    return true;
                }
            }
            failure.truncate(failure.indexOf(QLatin1Char('\n')) + 1);
            failure += lines.join(QLatin1Char('\n'));
            return false;
        },
        kWaitMs);
}

unsigned long ProgramProcess::findWindow() const
{
    Window root = DefaultRootWindow(x), parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(x, root, &root, &parent, &children, &count))
        return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes{};
        char *name = nullptr;
        if (XGetWindowAttributes(x, children[i], &attributes) && attributes.map_state == IsViewable
            && XFetchName(x, children[i], &name) && name) {
            if (QString::fromLatin1(name).startsWith(titlePrefix))
                found = children[i];
            XFree(name);
        }
    }
    if (children)
        XFree(children);
    return found;
}

QString ProgramProcess::title() const
{
    // The title as the window manager would show it: the UTF-8 property.
    XTextProperty text{};
    const Atom utf8Name = XInternAtom(x, "_NET_WM_NAME", False);
    if (!window || !XGetTextProperty(x, window, &text, utf8Name) || !text.value)
        return QString();
    const QString title
        = QString::fromUtf8(reinterpret_cast<const char *>(text.value), int(text.nitems));
    XFree(text.value);
    return title;
}

QSize ProgramProcess::size() const
{
    XWindowAttributes attributes{};
    if (!window || !XGetWindowAttributes(x, window, &attributes))
        return QSize();
    return QSize(attributes.width, attributes.height);
}

bool ProgramProcess::resized(const QSize &wanted)
{
    if (size() == wanted)
        return true;
    XResizeWindow(x, window, unsigned(wanted.width()), unsigned(wanted.height()));
    XSync(x, False);
    return false;
}

QImage ProgramProcess::grab() const
{
    const QSize s = size();
    if (s.isEmpty())
        return QImage();
    XImage *image
        = XGetImage(x, window, 0, 0, unsigned(s.width()), unsigned(s.height()), AllPlanes, ZPixmap);
    if (!image)
        return QImage();
    QImage copy(s, QImage::Format_RGB32);
    for (int row = 0; row < s.height(); ++row) {
        for (int column = 0; column < s.width(); ++column)
            copy.setPixel(column, row, QRgb(XGetPixel(image, column, row)) | 0xff000000u);
    }
    XDestroyImage(image);
    return copy;
}

void ProgramProcess::settle()
{
    XSync(x, False);
    // Time for the program to take the event; what it led to is waited for
    // by the caller.
    QTest::qWait(40);
}

void ProgramProcess::down(unsigned long keysym)
{
    XTestFakeKeyEvent(x, XKeysymToKeycode(x, keysym), True, CurrentTime);
    settle();
}

void ProgramProcess::up(unsigned long keysym)
{
    XTestFakeKeyEvent(x, XKeysymToKeycode(x, keysym), False, CurrentTime);
    settle();
}

void ProgramProcess::tap(unsigned long keysym)
{
    down(keysym);
    up(keysym);
}

void ProgramProcess::chord(const QList<unsigned long> &keysyms)
{
    for (unsigned long keysym : keysyms)
        down(keysym);
    for (auto it = keysyms.crbegin(); it != keysyms.crend(); ++it)
        up(*it);
}

void ProgramProcess::click(int windowX, int windowY, unsigned int button)
{
    int rootX = 0, rootY = 0;
    Window child = 0;
    XTranslateCoordinates(x, window, DefaultRootWindow(x), windowX, windowY, &rootX, &rootY,
                          &child);
    XTestFakeMotionEvent(x, DefaultScreen(x), rootX, rootY, CurrentTime);
    settle();
    XTestFakeButtonEvent(x, button, True, CurrentTime);
    settle();
    XTestFakeButtonEvent(x, button, False, CurrentTime);
    settle();
}

bool ProgramProcess::clickWidget(const QString &objectName, unsigned int button)
{
    QString line;
    if (!waitForLine(QStringLiteral("place ") + objectName + QLatin1Char(' '), Match::Start, &line))
        return false;
    const QStringList parts = line.split(QLatin1Char(' '));
    if (parts.size() != 6)
        return false;
    click(parts.at(2).toInt() + parts.at(4).toInt() / 2,
          parts.at(3).toInt() + parts.at(5).toInt() / 2, button);
    return true;
}

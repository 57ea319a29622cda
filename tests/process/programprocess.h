// The built tarnDeck program as the operator runs it: a process of its own
// on a private X server, its settings in a folder the test owns, keys and
// clicks through XTest, closed by the message a title-bar close button sends
// (WM_DELETE_WINDOW; no window manager runs). What the window shows is read
// from the X server (title, size, pixels) and from the description the
// program writes when TARNDECK_STATE_FILE asks for it.
#pragma once

#include "privatexserver.h"

#include <QApplication>
#include <QImage>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

// Xlib's own types, without its macros (they clash with Qt's names).
struct _XDisplay;

class ProgramProcess
{
public:
    explicit ProgramProcess(const PrivateXServer &server);
    ~ProgramProcess();
    ProgramProcess(const ProgramProcess &) = delete;
    ProgramProcess &operator=(const ProgramProcess &) = delete;

    // The settings file as the program finds it (under XDG_CONFIG_HOME).
    QString storeFile() const;
    void writeStore(const QByteArray &text) const;
    QByteArray readStore() const;
    QString folder() const { return dir.path(); }

    // Starts the program and waits until its window is mapped and has the
    // keyboard, as a window manager would give it. False with why() set when
    // it does not come up.
    bool start();
    // Sends WM_DELETE_WINDOW and waits for the program to end; true when it
    // ended normally with status 0.
    bool close();
    QString why() const { return failure; }
    // What the program wrote to its error output so far.
    QString errorOutput();

    // The program's description of its window (see StateDump), and one
    // line of it waited for: true once a line equals `text` (or starts with
    // it, or holds it); that line in *found. When none comes, why() names
    // the text and shows the description.
    enum class Match { Whole, Start, Part };
    QStringList state() const;
    bool waitForLine(const QString &text, Match match = Match::Whole, QString *found = nullptr);

    // The title and size the X server has for the window; its pixels.
    QString title() const;
    QSize size() const;
    // Asks for `wanted` unless the window has it already; true once it has.
    // Waited for in a loop: the program may still be settling its own size.
    bool resized(const QSize &wanted);
    QImage grab() const;

    // Keys by X keysym: press and release, down, up; a chord holds the
    // first keys while the last is pressed and released.
    void down(unsigned long keysym);
    void up(unsigned long keysym);
    void tap(unsigned long keysym);
    void chord(const QList<unsigned long> &keysyms);
    // A click of a pointer button (1 the first, 3 the context menu's) at a
    // point of the window.
    void click(int x, int y, unsigned int button = 1);
    // A click in the middle of a field or button the description places.
    bool clickWidget(const QString &objectName, unsigned int button = 1);

private:
    unsigned long findWindow() const;
    void settle();

    QTemporaryDir dir;
    QString displayName;
    QString serverFailure;
    _XDisplay *x = nullptr;
    unsigned long window = 0; // the X window id

    QProcess process;
    QString failure;
    QByteArray errors;
};

// The program shows a line of its description (arguments as waitForLine's);
// a failure shows the description.
#define PROGRAM_SHOWS(program, ...)                                                                \
    do {                                                                                           \
        const bool shown = (program).waitForLine(__VA_ARGS__);                                     \
        QVERIFY2(shown, qPrintable((program).why()));                                              \
    } while (false)

// main() of a process test: one private X server for the whole run, handed
// to the test object. No skipping: without Xvfb the first start fails and
// says why (the build installs it, see scripts/common.sh).
#define PROGRAM_PROCESS_TEST_MAIN(TestObject)                                                      \
    int main(int argc, char **argv)                                                                \
    {                                                                                              \
        const PrivateXServer server;                                                               \
        /* The test process itself draws nothing. */                                               \
        qputenv("QT_QPA_PLATFORM", "offscreen");                                                   \
        QApplication app(argc, argv);                                                              \
        TestObject test(server);                                                                   \
        return QTest::qExec(&test, argc, argv);                                                    \
    }

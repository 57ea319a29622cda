// The settings file across restarts of the real program: written by hand (as
// an operator or an older version leaves it), read at start, shown in the
// window, written back at each close. The pad's settings stay as they are,
// and SDL starts only once the store switches pad input on. Runs the built tarnDeck as a process
// of its own, so that no settings object of the test's can hide what the
// program itself reads.
#include "programprocess.h"

#include <QFile>
#include <QtTest>

#include <X11/keysym.h>

namespace {

using Match = ProgramProcess::Match;

#define SHOWS(...) PROGRAM_SHOWS(program, __VA_ARGS__)

// What every start shows of the file below: whole lines, and menu entries.
const QStringList restoredLines{
    QStringLiteral("title Veltrane - tarnDeck 1.0 - Not connected"),
    QStringLiteral(
        "menubar &Connect | &Baudrate | &Protocol | Control | Camera profiles | Options"),
    QStringLiteral("panel groupBoxPanTilt Pan-Tilt (Ctrl)"),
    QStringLiteral("panel groupBoxFocus Focus (Alt) (off)"),
    QStringLiteral("panel groupBoxBrightness Brightness (Shift) (off)"),
    QStringLiteral("panel groupBoxLED LED (+/-) (off)"),
};
const QStringList restoredEntries{
    QStringLiteral("menu &Connect: ACTi [ ] | VISCA over IP [ ] | ---"),
    QStringLiteral("menu &Baudrate: 4800 [ ] | 9600 [ ] | 19200 [x] |"),
    QStringLiteral("menu &Protocol: Data-bits: (off) | 7 [ ] | 8 [x] | --- | Parity: (off) | "
                   "None [ ] | Odd [ ] | Even [x] |"),
    QStringLiteral("menu Control: Pan-Tilt [x] | --- | Zoom [ ] | Focus [x] | --- | Brightness [x] "
                   "| Color [ ] | --- | LED [x]"),
    QStringLiteral("menu Options: Serial port settings [x] | Pan-tilt drives the camera [x] | "
                   "Gamepad…"),
};

// The lines the program must write back as they were written.
const QStringList keptLines{
    "baudrate=19200",
    "actiIP=127.0.0.1:8099",
    "actiUser=Operator",
    "actiPassword=s3cret",
    "acti=true",
    "brightnessControl=true",
    "portSettings=true",
    "pantiltDrive=true",
    "viscaIpAddress=127.0.0.1:52999",
    "viscaIpProtocol=tcp",
};

// The pad's settings as the operator's dialog left them (the program writes
// them only when the dialog is accepted): kept as they are across restarts.
const QStringList gamepadLines{
    "[gamepad]",
    "background=false",
    "axes\\leftX\\curve=3.0",
    "axes\\leftY\\deadZone=12",
    "buttons\\back=preset9",
};

// How many colours a picture shows (every fourth pixel of every fourth row).
int colours(const QImage &picture)
{
    QSet<QRgb> seen;
    for (int y = 0; y < picture.height(); y += 4) {
        for (int x = 0; x < picture.width(); x += 4)
            seen.insert(picture.pixel(x, y));
    }
    return seen.size();
}

QStringList lines(const QByteArray &text)
{
    return QString::fromUtf8(text).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

} // namespace

class tst_Restarts : public QObject
{
    Q_OBJECT

public:
    explicit tst_Restarts(const PrivateXServer &server)
        : server(server)
    {
    }

private slots:
    void operatorSettingsSurviveTwoRestarts();
    void hostileFileIsSetAside();
    void severalCamerasSurviveARestart();

private:
    const PrivateXServer &server;
};

void tst_Restarts::operatorSettingsSurviveTwoRestarts()
{
    ProgramProcess program(server);
    const QString serialPath = program.folder() + QStringLiteral("/ttyCamera");
    const QByteArray written = "[General]\n"
                               "baudrate=19200\n"
                               "actiIP=127.0.0.1:8099\n"
                               "actiUser=Operator\n"
                               "actiPassword=s3cret\n"
                               "acti=true\n"
                               "zoomControl=false\n"
                               "brightnessControl=true\n"
                               "ledControl=true\n"
                               "pantiltControl=true\n"
                               "parity=2\n"
                               "portSettings=true\n"
                               "pantiltDrive=true\n"
                               "serialPorts="
        + serialPath.toUtf8()
        + "\n"
          "viscaIpAddress=127.0.0.1:52999\n"
          "viscaIpProtocol=tcp\n"
        + gamepadLines.join('\n').toUtf8() + "\nenabled=false\n";
    program.writeStore(written);
    const QSize chosenSize(640, 360);

    for (int start = 1; start <= 3; ++start) {
        // Pad input off: SDL is never started. Switched on in the store
        // before the third start, it is.
        const bool padInput = start == 3;
        if (padInput) {
            QByteArray store = program.readStore();
            QVERIFY(store.contains("\nenabled=false\n"));
            program.writeStore(store.replace("\nenabled=false\n", "\nenabled=true\n"));
        }
        const int logged = program.errorOutput().size();
        QVERIFY2(program.start(), qPrintable(program.why()));
        for (const QString &line : restoredLines)
            SHOWS(line);
        for (const QString &entries : restoredEntries)
            SHOWS(entries, Match::Start);
        QCOMPARE(program.title(), QStringLiteral("Veltrane - tarnDeck 1.0 - Not connected"));
        // The server holds the window's picture, painted. Its size is
        // restored too: the operator's from the first start.
        QTRY_VERIFY(colours(program.grab()) > 16);
        if (start == 1)
            QTRY_VERIFY(program.resized(chosenSize));
        QCOMPARE(program.size(), chosenSize);

        // "&Connect" lists the configured path after the enumerated ports.
        // Its first entry is the encoder's; the second start takes the
        // network camera's.
        program.chord({XK_Alt_L, XK_c});
        SHOWS(serialPath + QStringLiteral(" (not present) [ ] (off)"), Match::Part);
        if (start == 2)
            program.tap(XK_Down);
        program.tap(XK_Return);
        if (start == 2) {
            SHOWS(QStringLiteral("field lineEditViscaIpAddress 127.0.0.1:52999"));
            SHOWS(QStringLiteral("field comboBoxViscaIpProtocol TCP"));
        } else {
            SHOWS(QStringLiteral("field lineEditActiIP 127.0.0.1:8099"));
            SHOWS(QStringLiteral("field lineEditActiUser Operator"));
            // Shown masked: six characters.
            QString password;
            SHOWS(QStringLiteral("field lineEditActiPassword "), Match::Start, &password);
            QCOMPARE(password.size(), QStringLiteral("field lineEditActiPassword ").size() + 6);
        }

        QVERIFY2(program.close(), qPrintable(program.why()));
        const QString log = program.errorOutput().mid(logged);
        QVERIFY2(log.contains(QLatin1String("Gamepad input on: SDL")) == padInput,
                 qPrintable(log));
        const QStringList stored = lines(program.readStore());
        const QStringList gamepad
            = gamepadLines + QStringList{padInput ? "enabled=true" : "enabled=false"};
        for (const QString &line :
             keptLines + gamepad + QStringList{"serialPorts=" + serialPath}) {
            QVERIFY2(stored.contains(line),
                     qPrintable(QStringLiteral("after close %1, no %2 in:\n").arg(start).arg(line)
                                + stored.join('\n')));
        }
    }
}

// A store listing three cameras, written by another process: the strip and
// the title show them at start, Ctrl+2 (XTest) selects the second one and
// its network panel shows its address; after the close and at the next
// start the list is still the same.
void tst_Restarts::severalCamerasSurviveARestart()
{
    ProgramProcess program(server);
    const QStringList listed{"[cameras]",
                             "size=3",
                             "1\\name=Stage left",
                             "2\\name=Pulpit",
                             "2\\route=udp",
                             "2\\address=127.0.0.1:52381",
                             "3\\name=Balcony",
                             "3\\route=tcp",
                             "3\\address=127.0.0.1:5678"};
    program.writeStore("[General]\nbaudrate=19200\n\n" + listed.join('\n').toUtf8() + '\n');

    for (int start = 1; start <= 2; ++start) {
        QVERIFY2(program.start(), qPrintable(program.why()));
        SHOWS(QStringLiteral("title Veltrane - tarnDeck 1.0 - 1 Stage left - Not connected"));
        for (const char *button : {"cameraButton1", "cameraButton2", "cameraButton3"})
            SHOWS(QStringLiteral("place %1 ").arg(QLatin1String(button)), Match::Start);
        program.chord({XK_Control_L, XK_2});
        SHOWS(QStringLiteral("title Veltrane - tarnDeck 1.0 - 2 Pulpit - Not connected"));
        SHOWS(QStringLiteral("field lineEditViscaIpAddress 127.0.0.1:52381"));
        QVERIFY2(program.close(), qPrintable(program.why()));
        const QStringList stored = lines(program.readStore());
        for (const QString &line : listed)
            QVERIFY2(stored.contains(line), qPrintable(QStringLiteral("after close %1, no %2 in:\n")
                                                           .arg(start)
                                                           .arg(line)
                                                       + stored.join('\n')));
    }
}

void tst_Restarts::hostileFileIsSetAside()
{
    ProgramProcess program(server);
    const QByteArray hostile
        = "[General]\nbaudrate=19200\nacti=true\n"
          "actiUser=@Variant(\\0\\0\\0\\x7f\\0\\0\\0\\bQPixmap\\0\\0\\0\\0\\x1)\n";
    program.writeStore(hostile);

    QVERIFY2(program.start(), qPrintable(program.why()));
    SHOWS(QStringLiteral("label labelLastCommand Settings file unusable (a value of type "
                         "@Variant on line 4): kept as tarnDeck.conf.bad, defaults in use"));
    SHOWS(QStringLiteral("menu &Connect: VISCA over IP [ ] | ---"));
    QVERIFY2(program.close(), qPrintable(program.why()));

    QFile aside(program.storeFile() + QStringLiteral(".bad"));
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), hostile);
    // The new file holds the defaults, nothing of the refused one.
    const QStringList stored = lines(program.readStore());
    QVERIFY2(stored.contains(QStringLiteral("baudrate=9600")), qPrintable(stored.join('\n')));
    QVERIFY(!stored.contains(QStringLiteral("acti=true")));
}

PROGRAM_PROCESS_TEST_MAIN(tst_Restarts)

#include "tst_restarts.moc"

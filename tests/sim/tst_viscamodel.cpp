// The simulated camera and lamp: every packet the panel can send, decoded
// into its meaning and its effect on the state; sequences of packets over
// model time; and what the far end makes of broken bytes.
#include "simscript.h"
#include "viscamodel.h"
#include "viscavocabulary.h"

#include <QRandomGenerator>
#include <QtTest>

class tst_ViscaModel : public QObject
{
    Q_OBJECT

private slots:
    void panelCommands_data();
    void panelCommands();
    void sequences_data();
    void sequences();
    void brokenBytes_data();
    void brokenBytes();
    void packetsCutAcrossFeeds();
    void openPacketAtEndOfLine();
    void noByteLostInNoise();
    void logLine();
};

using Kind = ViscaModel::Packet::Kind;
Q_DECLARE_METATYPE(Kind)

using SimScript::play;
using SimScript::verifyState;

namespace {

// Some preparations the rows share.
const char *const kManualFocus = "8101043803FF";
const char *const kZoomTo200 = "8101040723FF +1000 8101040700FF"; // speed 3: 200 a second
const char *const kLampUp = "8201060100010301ff";
const char *const kLampStop = "8201060100000303FF";

} // namespace

// The panel's own vocabulary produces the texts of each row (so the two
// cannot drift apart), and the model reads each one as the camera would.
void tst_ViscaModel::panelCommands_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("texts"); // what the panel sends for the pair
    QTest::addColumn<QString>("before");    // scene played first
    QTest::addColumn<QString>("after");     // played after the texts
    QTest::addColumn<QString>("meaning");   // of the last packet
    QTest::addColumn<QString>("state");     // key=value pairs that must hold at the end

    const auto row = [](const QString &group, const QString &action, const QStringList &texts,
                        const QString &before, const QString &after, const QString &meaning,
                        const QString &state) {
        QTest::addRow("%s %s", qPrintable(group), qPrintable(action))
            << group << action << texts << before << after << meaning << state;
    };

    for (int n = 1; n <= 8; ++n) {
        const int p = n - 1;
        row("zoom", QString::number(n), {QStringLiteral("810104072%1FF").arg(p)}, "", "+1000",
            QStringLiteral("zoom tele, speed %1").arg(p),
            QStringLiteral("zoom=%1 zoomDrive=tele%2").arg(n * 50).arg(p));
        row("zoom", QString::number(-n), {QStringLiteral("810104073%1FF").arg(p)},
            "8101040727FF +2500 8101040700FF", "+1000",
            QStringLiteral("zoom wide, speed %1").arg(p),
            QStringLiteral("zoom=%1 zoomDrive=wide%2").arg(1000 - n * 50).arg(p));
        row("focus", QString::number(n), {QStringLiteral("810104082%1FF").arg(p)}, kManualFocus,
            "+1000", QStringLiteral("focus far, speed %1").arg(p),
            QStringLiteral("focus=%1 focusDrive=far%2 focusMode=manual").arg(600 + n * 50).arg(p));
        row("focus", QString::number(-n), {QStringLiteral("810104083%1FF").arg(p)}, kManualFocus,
            "+1000", QStringLiteral("focus near, speed %1").arg(p),
            QStringLiteral("focus=%1 focusDrive=near%2 focusMode=manual").arg(600 - n * 50).arg(p));
    }
    row("zoom", "0", {"8101040700FF"}, "8101040723FF +1000", "+1000", "zoom stop",
        "zoom=200 zoomDrive=stop");
    row("focus", "0", {"8101040800FF"}, "8101043803FF 8101040823FF +1000", "+1000", "focus stop",
        "focus=800 focusDrive=stop focusMode=manual");

    // Auto focus searches back to the sharp position at top speed (400 a second).
    row("focus", "auto", {"8101043802FF"}, "8101043803FF 8101040837FF +1000 8101040800FF", "+250",
        "auto focus", "focus=300 focusMode=auto focusDrive=stop");
    row("focus", "manual", {"8101043803FF"}, "", "+1000", "manual focus",
        "focus=600 focusMode=manual");
    row("focus", "trigger", {"8101041801FF"}, "8101043803FF 8101040837FF +1000 8101040800FF",
        "+1000", "one-push focus trigger", "focus=600 focusMode=one-push");

    // The lamp moves 20 a second at tilt speed 1; "off" is dark at once.
    for (const char *lamp : {"led", "pt"}) {
        row(lamp, "up", {kLampUp}, "", "+1000", "pan-tilt drive: tilt up at 01h, pan stop at 00h",
            "lamp=20 lampDrive=up1");
        row(lamp, "down", {"8201060100010302FF"},
            QStringLiteral("%1 +3000 %2").arg(kLampUp, kLampStop), "+1000",
            "pan-tilt drive: tilt down at 01h, pan stop at 00h", "lamp=40 lampDrive=down1");
        row(lamp, "stop", {kLampStop}, QStringLiteral("%1 +1000").arg(kLampUp), "+1000",
            "pan-tilt drive: tilt stop at 00h, pan stop at 00h", "lamp=20 lampDrive=stop");
        row(lamp, "off", {"8201060100180302FF"}, QStringLiteral("%1 +3000").arg(kLampUp), "+1000",
            "pan-tilt drive: tilt down at 18h, pan stop at 00h", "lamp=0 lampDrive=stop");
    }

    row("color", "auto", {"8101043500FF"}, "8101043501FF", "", "white balance auto", "wb=auto");
    row("color", "2700k", {"8101043508FF"}, "", "", "white balance sodium", "wb=sodium");
    row("color", "3200k", {"8101043501FF"}, "", "", "white balance indoor", "wb=indoor");
    row("color", "5800k", {"8101043502FF"}, "", "", "white balance outdoor", "wb=outdoor");

    row("brightness", "on", {"8101043E02FF"}, "", "", "exposure compensation on",
        "expComp=on expLevel=7");
    row("brightness", "off", {"8101043E03FF"}, "8101043E02FF 8101040E02FF", "",
        "exposure compensation off", "expComp=off expLevel=8");
    row("brightness", "reset", {"8101040E00FF"}, "8101043E02FF 8101040E02FF 8101040E02FF", "",
        "exposure compensation reset", "expComp=on expLevel=7");
    row("brightness", "up", {"8101040E02FF"}, "8101043E02FF", "", "exposure compensation up",
        "expComp=on expLevel=8");
    row("brightness", "down", {"8101040E03FF"}, "8101043E02FF", "", "exposure compensation down",
        "expComp=on expLevel=6");

    row("wdr", "on", {"8101043D02FF"}, "", "", "wide dynamic range on", "wdr=on");
    row("wdr", "off", {"8101043D03FF"}, "8101043D02FF", "", "wide dynamic range off", "wdr=off");

    for (int n = 0; n <= 9; ++n) {
        const QString set = QStringLiteral("8101043F010%1FF").arg(n);
        // Stored at zoom 200 under indoor light, then moved away: recall brings both back.
        const QString stored = QStringLiteral("%1 8101043501FF %2").arg(kZoomTo200, set);
        row("profile", QStringLiteral("set%1").arg(n), {set},
            QStringLiteral("%1 8101043501FF").arg(kZoomTo200), "",
            QStringLiteral("memory set %1").arg(n),
            QStringLiteral("memory=%1 zoom=200 wb=indoor").arg(n));
        row("profile", QStringLiteral("recall%1").arg(n),
            {QStringLiteral("8101043F020%1FF").arg(n)},
            QStringLiteral("%1 8101040733FF +1000 8101040700FF 8101043502FF").arg(stored), "",
            QStringLiteral("memory recall %1").arg(n), QStringLiteral("zoom=200 wb=indoor"));
        row("profile", QStringLiteral("reset%1").arg(n), {QStringLiteral("8101043F000%1FF").arg(n)},
            stored, "", QStringLiteral("memory reset %1").arg(n),
            QStringLiteral("memory=none zoom=200"));
    }
    row("profile", "setcustom", {"8101043F017FFF"}, kZoomTo200, "",
        "memory set 7F (camera default)", "memory=7F zoom=200");
    // The pan-tilt drive: sizes 1..5 of the pad spread over the camera's speeds.
    row("pantilt", "3 0", {"810106010D010203FF"}, "", "+1000",
        "pan-tilt drive: pan right at 0Dh, tilt stop at 01h", "pan=65 panDrive=right13");
    row("pantilt", "-5 -2", {"8101060118060102FF"}, "", "+1000",
        "pan-tilt drive: pan left at 18h, tilt down at 06h", "pan=-120 tilt=-30");
    row("pantilt", "0 0", {"8101060101010303FF"}, "8101060101010201FF +1000", "+1000",
        "pan-tilt drive: pan stop at 01h, tilt stop at 01h", "pan=5 tilt=5 panDrive=stop");
    // The panel's "reset" is two packets: the camera default back to the
    // factory settings, then recalled.
    row("profile", "reset", {"8101043F007FFF", "8101043F027FFF"},
        QStringLiteral("%1 8101043D02FF 8101043F017FFF 8101043501FF").arg(kZoomTo200), "",
        "memory recall 7F (camera default)", "memory=none zoom=0 wdr=off wb=auto focusMode=auto");
}

void tst_ViscaModel::panelCommands()
{
    QFETCH(QString, group);
    QFETCH(QString, action);
    QFETCH(QStringList, texts);
    QFETCH(QString, before);
    QFETCH(QString, after);
    QFETCH(QString, meaning);
    QFETCH(QString, state);

    QCOMPARE(viscaCommands(group, action), texts);

    ViscaModel model;
    play(model, before);
    const QList<ViscaModel::Packet> packets = play(model, texts.join(QLatin1Char(' ')));
    QCOMPARE(packets.size(), texts.size());
    for (const ViscaModel::Packet &packet : packets) {
        QVERIFY2(packet.kind == Kind::Command, qPrintable(packet.logLine));
        QCOMPARE(packet.device,
                 group == QLatin1String("led") || group == QLatin1String("pt") ? 2 : 1);
    }
    QCOMPARE(packets.last().meaning, meaning);
    play(model, after);
    verifyState(model.state(), state);
}

// Longer scenes: drives that run into their ends, levels at their limits,
// commands the camera refuses in its current mode, memory round trips.
void tst_ViscaModel::sequences_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<Kind>("lastKind");
    QTest::addColumn<QString>("state");

    QTest::newRow("zoom stops at the tele end")
        << "8101040727FF +5000" << Kind::Command << "zoom=1000 zoomDrive=tele7";
    QTest::newRow("zoom stops at the wide end")
        << "8101040737FF +5000" << Kind::Command << "zoom=0";
    QTest::newRow("a new speed takes over from the running one")
        << "8101040720FF +1000 8101040727FF +1000" << Kind::Command << "zoom=450 zoomDrive=tele7";
    QTest::newRow("time without a drive changes nothing")
        << "+60000" << Kind::Command << "zoom=0 focus=600 lamp=0 packets=0";
    QTest::newRow("lamp stops at full")
        << "8201060100010301ff +10000" << Kind::Command << "lamp=100";
    QTest::newRow("lamp faster at a higher tilt speed")
        << "8201060100030301FF +1000 8201060100000303FF" << Kind::Command
        << "lamp=60 lampDrive=stop";
    QTest::newRow("lamp ignores the pan axis")
        << "8201060105010201FF +1000" << Kind::Command << "lamp=20 lampDrive=up1";
    QTest::newRow("exposure level tops out at 14")
        << QStringLiteral("8101043E02FF") + QStringLiteral(" 8101040E02FF").repeated(10)
        << Kind::Command << "expLevel=14";
    QTest::newRow("exposure level bottoms out at 0")
        << QStringLiteral("8101043E02FF") + QStringLiteral(" 8101040E03FF").repeated(10)
        << Kind::Command << "expLevel=0";
    QTest::newRow("level steps while compensation is off")
        << "8101040E02FF" << Kind::Command << "expComp=off expLevel=8";
    QTest::newRow("focus drive refused in auto focus")
        << "8101040827FF +1000" << Kind::Ignored << "focusMode=auto focus=600 focusDrive=stop";
    QTest::newRow("one-push trigger refused in auto focus")
        << "8101041801FF" << Kind::Ignored << "focusMode=auto";
    QTest::newRow("focus drive after one-push is manual again")
        << "8101043803FF 8101041801FF 8101040820FF +1000" << Kind::Command
        << "focusMode=manual focus=650";
    QTest::newRow("auto focus follows a manual detour")
        << "8101043803FF 8101040827FF +1000 8101043802FF +2000" << Kind::Command
        << "focus=600 focusMode=auto";
    QTest::newRow("mode change stops the focus drive")
        << "8101043803FF 8101040827FF +500 8101043803FF +1000" << Kind::Command
        << "focus=800 focusDrive=stop";
    QTest::newRow("recall stops a running zoom")
        << "8101043F0101FF 8101040727FF +1000 8101043F0201FF +1000" << Kind::Command
        << "zoom=0 zoomDrive=stop";
    QTest::newRow("recall of a slot never set gives the factory settings")
        << "8101043D02FF 8101043F0205FF" << Kind::Command << "wdr=off memory=none";
    QTest::newRow("slots 0A..0F exist beyond the panel's ten")
        << "8101043D02FF 8101043F010FFF 8101043D03FF 8101043F020FFF" << Kind::Command
        << "wdr=on memory=F";
    QTest::newRow("memory keeps the focus mode and the exposure")
        << "8101043803FF 8101043E02FF 8101040E03FF 8101043F0103FF 8101043802FF 8101040E00FF "
           "8101043F0203FF"
        << Kind::Command << "focusMode=manual expComp=on expLevel=6";
    QTest::newRow("memory leaves the lamp alone")
        << "8101043F0103FF 8201060100010301ff +1000 8201060100000303FF 8101043F0203FF"
        << Kind::Command << "lamp=20";
    QTest::newRow("camera default stored, moved away, reset recalled")
        << "8101040723FF +1000 8101040700FF 8101043F017FFF 8101040733FF +500 8101040700FF "
           "8101043F027FFF"
        << Kind::Command << "zoom=200 memory=7F";
    QTest::newRow("no slot 20h") << "8101043F0220FF" << Kind::Ignored << "memory=none";
    QTest::newRow("no white-balance mode 0Ah")
        << "8101043502FF 810104350AFF" << Kind::Ignored << "wb=outdoor";
    QTest::newRow("lamp direction 04 refused")
        << "8201060100010304FF +1000" << Kind::Ignored << "lamp=0 lampDrive=stop";
    QTest::newRow("camera command to the lamp changes nothing")
        << "8201040727FF +1000" << Kind::Ignored << "zoom=0 zoomDrive=stop";
    QTest::newRow("lamp command to the camera tilts the camera, not the lamp")
        << "8101060100010301FF +1000" << Kind::Command << "lamp=0 tilt=5 tiltDrive=up1";
    // The camera's head: 5 degrees a second per speed step, to its limits.
    QTest::newRow("pan right, then stopped")
        << "810106010D010203FF +2000 8101060101010303FF +1000" << Kind::Command
        << "pan=130 tilt=0 panDrive=stop tiltDrive=stop";
    QTest::newRow("pan left and tilt down at once")
        << "8101060107060102FF +1000" << Kind::Command
        << "pan=-35 tilt=-30 panDrive=left7 tiltDrive=down6";
    QTest::newRow("pan stops at its end, tilt at the top")
        << "8101060118140201FF +5000" << Kind::Command << "pan=170 tilt=90";
    QTest::newRow("a new speed takes over, one axis held")
        << "8101060101040301FF +1000 8101060112010203FF +1000" << Kind::Command
        << "pan=90 tilt=20 panDrive=right18 tiltDrive=stop";
    QTest::newRow("pan speed 19h refused")
        << "8101060119010203FF +1000" << Kind::Ignored << "pan=0 panDrive=stop";
    QTest::newRow("tilt speed 00 refused while tilting")
        << "8101060101000301FF +1000" << Kind::Ignored << "tilt=0 tiltDrive=stop";
    QTest::newRow("the lamp's drive leaves the head alone")
        << "8201060118140201FF +1000" << Kind::Command << "pan=0 tilt=0 lampDrive=up20";
    QTest::newRow("nobody at device 3") << "8301040727FF +1000" << Kind::Ignored << "zoom=0";
    QTest::newRow("broadcast address set") << "883001FF" << Kind::Command << "packets=1";
    QTest::newRow("interface clear") << "81010001FF" << Kind::Command << "packets=1";
    QTest::newRow("broadcast zoom refused") << "8801040727FF +1000" << Kind::Ignored << "zoom=0";
}

void tst_ViscaModel::sequences()
{
    QFETCH(QString, script);
    QFETCH(Kind, lastKind);
    QFETCH(QString, state);

    ViscaModel model;
    const QList<ViscaModel::Packet> packets = play(model, script);
    if (!packets.isEmpty())
        QVERIFY2(packets.last().kind == lastKind, qPrintable(packets.last().logLine));
    verifyState(model.state(), state);
}

// Bytes that are not a clean packet: each piece is reported as what it is,
// the state stays as it was, and the next good packet is read again.
void tst_ViscaModel::brokenBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<Kind>>("kinds");
    QTest::addColumn<QString>("meaning"); // of the first piece
    QTest::addColumn<QString>("note");    // part of the first piece's note

    const QByteArray zoomTele = QByteArray::fromHex("8101040727FF");
    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };

    QTest::newRow("noise ending in FF")
        << hex("1234FF") + zoomTele << QList<Kind>{Kind::Garbage, Kind::Command} << ""
        << "no packet header";
    QTest::newRow("noise before a header")
        << hex("0012347F") + zoomTele << QList<Kind>{Kind::Garbage, Kind::Command} << ""
        << "";
    QTest::newRow("lone terminators")
        << hex("FFFF") + zoomTele << QList<Kind>{Kind::Garbage, Kind::Garbage, Kind::Command} << ""
        << "";
    QTest::newRow("long noise comes in pieces")
        << QByteArray(40, '\x11') + zoomTele
        << QList<Kind>{Kind::Garbage, Kind::Garbage, Kind::Garbage, Kind::Command} << ""
        << "";
    QTest::newRow("ends early: one command fits")
        << hex("8101043F02FF") << QList<Kind>{Kind::Truncated} << "memory recall ?"
        << "ends after 6 bytes";
    QTest::newRow("ends early: several commands fit")
        << hex("81010407FF") << QList<Kind>{Kind::Truncated} << ""
        << "the start of 5 commands";
    QTest::newRow("cut short by the next header")
        << hex("8101040727") + zoomTele << QList<Kind>{Kind::Truncated, Kind::Command}
        << "zoom tele, speed 7"
        << "no terminator FF";
    QTest::newRow("header cut short by a header")
        << hex("81") + zoomTele << QList<Kind>{Kind::Truncated, Kind::Command} << ""
        << "the start of";
    QTest::newRow("empty packet") << hex("81FF") << QList<Kind>{Kind::Malformed} << ""
                                  << "empty packet";
    QTest::newRow("high byte inside") << hex("81010407F0FF") << QList<Kind>{Kind::Malformed} << ""
                                      << "byte F0";
    QTest::newRow("no terminator for too long")
        << hex("81") + QByteArray(20, '\x01') + hex("FF") + zoomTele
        << QList<Kind>{Kind::Malformed, Kind::Garbage, Kind::Command} << ""
        << "no terminator FF within 16 bytes";
    QTest::newRow("unknown command") << hex("8101045502FF") << QList<Kind>{Kind::Unknown} << ""
                                     << "";
    QTest::newRow("known command, one byte too many")
        << hex("810104070000FF") << QList<Kind>{Kind::Unknown} << ""
        << "";
    QTest::newRow("unknown inquiry") << hex("81090455FF") << QList<Kind>{Kind::Unknown} << ""
                                     << "";
}

void tst_ViscaModel::brokenBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<Kind>, kinds);
    QFETCH(QString, meaning);
    QFETCH(QString, note);

    ViscaModel model;
    const QList<ViscaModel::Packet> packets = model.feed(bytes);
    QList<Kind> got;
    QByteArray seen;
    for (const ViscaModel::Packet &packet : packets) {
        got << packet.kind;
        seen += packet.bytes;
    }
    QCOMPARE(got, kinds);
    QCOMPARE(seen, bytes); // every byte reported once, in order
    QCOMPARE(packets.first().meaning, meaning);
    QVERIFY2(packets.first().note.contains(note), qPrintable(packets.first().note));

    // Only the good packet at the end, if any, moved anything.
    const bool goodEnd = kinds.last() == Kind::Command;
    model.tick(1000);
    verifyState(model.state(),
                goodEnd ? QStringLiteral("zoom=400") : QStringLiteral("zoom=0 focus=600 lamp=0"));
    QCOMPARE(model.state().packets, kinds.size());
}

// The encoder or the serial driver may hand over a packet in any pieces.
void tst_ViscaModel::packetsCutAcrossFeeds()
{
    const QByteArray stream = QByteArray::fromHex("8101040723FF8201060100010301ff8101043F0102FF");
    for (int cut = 1; cut < stream.size(); ++cut) {
        ViscaModel model;
        QList<ViscaModel::Packet> packets = model.feed(stream.left(cut));
        packets += model.feed(stream.mid(cut));
        QCOMPARE(packets.size(), 3);
        for (const ViscaModel::Packet &packet : packets)
            QVERIFY2(packet.kind == Kind::Command, qPrintable(packet.logLine));
        verifyState(model.state(), QStringLiteral("zoomDrive=tele3 lampDrive=up1 memory=2"));
    }
}

void tst_ViscaModel::openPacketAtEndOfLine()
{
    ViscaModel model;
    QVERIFY(model.feed(QByteArray::fromHex("12810104")).size() == 1); // the noise before the header
    const QList<ViscaModel::Packet> rest = model.flush();
    QCOMPARE(rest.size(), 1);
    QVERIFY(rest.first().kind == Kind::Truncated);
    QCOMPARE(rest.first().bytes, QByteArray::fromHex("810104"));
    QVERIFY(model.flush().isEmpty());
}

// Random line noise in random pieces: never a crash, no byte lost or counted
// twice, and the model still understands the camera afterwards.
void tst_ViscaModel::noByteLostInNoise()
{
    QRandomGenerator random(20240607);
    for (int round = 0; round < 50; ++round) {
        ViscaModel model;
        QByteArray noise(int(random.bounded(1, 400)), '\0');
        for (char &c : noise)
            c = char(random.bounded(256));
        QByteArray seen;
        for (int at = 0; at < noise.size();) {
            const int piece = int(random.bounded(1, 20));
            for (const ViscaModel::Packet &packet : model.feed(noise.mid(at, piece)))
                seen += packet.bytes;
            at += piece;
        }
        for (const ViscaModel::Packet &packet : model.flush())
            seen += packet.bytes;
        QCOMPARE(seen, noise);

        const QList<ViscaModel::Packet> packets = model.feed(QByteArray::fromHex("8101043D02FF"));
        QVERIFY(!packets.isEmpty());
        QVERIFY2(packets.last().kind == Kind::Command, qPrintable(packets.last().logLine));
        verifyState(model.state(), QStringLiteral("wdr=on"));
    }
}

// One line per packet: model time, device, bytes, meaning, resulting state.
void tst_ViscaModel::logLine()
{
    ViscaModel model;
    model.tick(1234);
    const ViscaModel::Packet packet = model.feed(QByteArray::fromHex("8201060100180302FF")).first();
    QCOMPARE(
        packet.logLine,
        QStringLiteral(
            "    1.234 s lamp      [82 01 06 01 00 18 03 02 FF] pan-tilt drive: tilt down at 18h, "
            "pan stop at 00h (lamp off) | ")
            + ViscaModel::stateText(model.state()));
    QVERIFY(packet.logLine.endsWith(
        QStringLiteral("lamp=0 pan=0 tilt=0 zoomDrive=stop focusDrive=stop lampDrive=stop "
                       "panDrive=stop tiltDrive=stop memory=none packets=1")));

    const ViscaModel::Packet unknown = model.feed(QByteArray::fromHex("8101045502FF")).first();
    QVERIFY2(
        unknown.logLine.contains(QStringLiteral("camera    [81 01 04 55 02 FF] unknown command |")),
        qPrintable(unknown.logLine));
}

QTEST_GUILESS_MAIN(tst_ViscaModel)
#include "tst_viscamodel.moc"

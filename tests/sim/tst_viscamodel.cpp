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
        const bool lamp = group == QLatin1String("led") || group == QLatin1String("pt");
        QCOMPARE(packet.device, lamp ? 2 : 1);
        // The camera acknowledges and completes on socket 1; the lamp is silent.
        const QList<QByteArray> answers{QByteArray::fromHex("9041FF"),
                                        QByteArray::fromHex("9051FF")};
        QCOMPARE(packet.replies, lamp ? QList<QByteArray>() : answers);
    }
    QCOMPARE(packets.last().meaning, meaning);
    play(model, after);
    verifyState(model.state(), state);
}

// Longer scenes: drives that run into their ends, levels at their limits,
// commands the camera refuses in its current mode, memory round trips, the
// inquiries, several cameras. Each row: what the last packet was, what it
// was answered at once (and, after " / ", later), and the state at the end.
// The setup names the far end (serial=N network=N lamp=A presets=N wake=MS
// recall=global) and show=N the camera whose state the row checks.
void tst_ViscaModel::sequences_data()
{
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("script");
    QTest::addColumn<Kind>("lastKind");
    QTest::addColumn<QString>("answers");
    QTest::addColumn<QString>("state");

    const auto row = [](const char *name, const QString &script, Kind kind, const char *answers,
                        const char *state, const char *setup = "") {
        QTest::newRow(name) << QString::fromLatin1(setup) << script << kind
                            << QString::fromLatin1(answers) << QString::fromLatin1(state);
    };
    const char *const done = "90 41 FF 90 51 FF";
    const char *const syntax = "90 60 02 FF";
    // Head to 10 degrees right at top speed; the pan-tilt position 50, 50.
    const QString panTo10 = QStringLiteral("81010602181400000900") + QStringLiteral("00000000FF");
    const QString headTo50 = QStringLiteral("810106010A0A0201FF +1000 8101060101010303FF");

    row("zoom stops at the tele end", "8101040727FF +5000", Kind::Command, done,
        "zoom=1000 zoomDrive=tele7");
    row("zoom stops at the wide end", "8101040737FF +5000", Kind::Command, done, "zoom=0");
    row("a new speed takes over from the running one", "8101040720FF +1000 8101040727FF +1000",
        Kind::Command, done, "zoom=450 zoomDrive=tele7");
    row("zoom tele, standard speed", "8101040702FF +1000", Kind::Command, done,
        "zoom=200 zoomDrive=tele3");
    row("zoom wide, standard speed", "8101040727FF +5000 8101040703FF +1000", Kind::Command, done,
        "zoom=800 zoomDrive=wide3");
    row("zoom speed 8 refused, the zoom stops", "8101040723FF +1000 8101040728FF +1000",
        Kind::Ignored, syntax, "zoom=200 zoomDrive=stop");
    row("zoom direct: acknowledged, completed on arrival", "8101044702000000FF +1300",
        Kind::Command, "90 41 FF / 90 51 FF", "zoom=500 zoomDrive=stop");
    row("zoom direct still on its way", "8101044704000000FF +1000", Kind::Command, "90 41 FF",
        "zoom=400");
    row("zoom direct beyond the tele end refused", "8101044704000001FF +1000", Kind::Ignored,
        syntax, "zoom=0");
    row("focus far, standard speed", "8101043803FF 8101040802FF +1000", Kind::Command, done,
        "focus=800 focusDrive=far3");
    row("focus near, standard speed", "8101043803FF 8101040803FF +1000", Kind::Command, done,
        "focus=400 focusDrive=near3");
    row("focus direct in manual focus", "8101043803FF 8101044808000000FF +300", Kind::Command,
        "90 41 FF / 90 51 FF", "focus=500 focusMode=manual");
    row("focus direct refused in auto focus", "8101044808000000FF +300", Kind::Ignored,
        "90 61 41 FF", "focus=600 focusMode=auto");
    row("focus direct beyond the far end refused", "8101043803FF 81010448000F0F0FFF +300",
        Kind::Ignored, syntax, "focus=600");
    row("time without a drive changes nothing", "+60000", Kind::Command, "",
        "zoom=0 focus=600 lamp=0 packets=0");
    row("lamp stops at full", "8201060100010301ff +10000", Kind::Command, "", "lamp=100");
    row("lamp faster at a higher tilt speed", "8201060100030301FF +1000 8201060100000303FF",
        Kind::Command, "", "lamp=60 lampDrive=stop");
    row("lamp ignores the pan axis", "8201060105010201FF +1000", Kind::Command, "",
        "lamp=20 lampDrive=up1");
    row("exposure level tops out at 14",
        QStringLiteral("8101043E02FF") + QStringLiteral(" 8101040E02FF").repeated(10),
        Kind::Command, done, "expLevel=14");
    row("exposure level bottoms out at 0",
        QStringLiteral("8101043E02FF") + QStringLiteral(" 8101040E03FF").repeated(10),
        Kind::Command, done, "expLevel=0");
    row("level steps while compensation is off", "8101040E02FF", Kind::Command, done,
        "expComp=off expLevel=8");
    row("focus drive refused in auto focus", "8101040827FF +1000", Kind::Ignored, "90 61 41 FF",
        "focusMode=auto focus=600 focusDrive=stop");
    row("one-push trigger refused in auto focus", "8101041801FF", Kind::Ignored, "90 61 41 FF",
        "focusMode=auto");
    row("focus drive after one-push is manual again",
        "8101043803FF 8101041801FF 8101040820FF +1000", Kind::Command, done,
        "focusMode=manual focus=650");
    row("auto focus follows a manual detour", "8101043803FF 8101040827FF +1000 8101043802FF +2000",
        Kind::Command, done, "focus=600 focusMode=auto");
    row("mode change stops the focus drive", "8101043803FF 8101040827FF +500 8101043803FF +1000",
        Kind::Command, done, "focus=800 focusDrive=stop");
    row("recall stops a running zoom", "8101043F0101FF 8101040727FF +1000 8101043F0201FF +1000",
        Kind::Command, done, "zoom=0 zoomDrive=stop");
    row("recall of a memory never set gives the factory settings", "8101043D02FF 8101043F0205FF",
        Kind::Command, done, "wdr=off memory=none");
    row("memories 0A..0F exist beyond the panel's ten",
        "8101043D02FF 8101043F010FFF 8101043D03FF 8101043F020FFF", Kind::Command, done,
        "wdr=on memory=F");
    row("memory keeps the focus mode and the exposure",
        "8101043803FF 8101043E02FF 8101040E03FF 8101043F0103FF 8101043802FF 8101040E00FF "
        "8101043F0203FF",
        Kind::Command, done, "focusMode=manual expComp=on expLevel=6");
    row("memory leaves the lamp alone",
        "8101043F0103FF 8201060100010301ff +1000 8201060100000303FF 8101043F0203FF", Kind::Command,
        done, "lamp=20");
    row("camera default stored, moved away, reset recalled",
        "8101040723FF +1000 8101040700FF 8101043F017FFF 8101040733FF +500 8101040700FF "
        "8101043F027FFF",
        Kind::Command, done, "zoom=200 memory=7F");
    row("a recall brings the head back at top speed, completed on arrival",
        headTo50 + " 8101043F0101FF 81010604FF +1000 8101043F0201FF +1000", Kind::Command,
        "90 41 FF / 90 51 FF", "pan=50 tilt=50 memory=1");
    row("a recall travels at the memory's own speed",
        "810106010A010203FF +1000 8101060101010303FF 8101043F0101FF 81010604FF +1000 "
        "81017E010B0101FF 8101043F0201FF +5000",
        Kind::Command, "90 41 FF", "pan=25 tilt=0");
    row("recall speed 19h refused", "81017E010B0119FF", Kind::Ignored, syntax, "memory=none");
    // One recall speed for all memories: a camera takes one form or the other.
    row("a recall travels at the global speed",
        "810106010A010203FF +1000 8101060101010303FF 8101043F0101FF 81010604FF +1000 "
        "8101060101FF 8101043F0201FF +5000",
        Kind::Command, "90 41 FF", "pan=25 tilt=0", "recall=global");
    row("global recall speed refused by a per-preset camera", "8101060105FF", Kind::Ignored, syntax,
        "");
    row("global recall speed 19h refused", "8101060119FF", Kind::Ignored, syntax, "",
        "recall=global");
    row("per-preset recall speed refused by a global camera", "81017E010B0105FF", Kind::Ignored,
        syntax, "", "recall=global");
    row("recall speed inquiry refused by a global camera", "81097E010B01FF", Kind::Inquiry, syntax,
        "", "recall=global");
    row("the pan-tilt drive on a global camera", "810106010A010203FF +1000", Kind::Command, done,
        "pan=50 panDrive=right10", "recall=global");
    row("no memory 10h on a camera of 16", "8101043F0110FF", Kind::Ignored, syntax, "memory=none");
    row("no memory 20h", "8101043F0220FF", Kind::Ignored, syntax, "memory=none");
    row("memory 64h on a camera of 127", "8101043F0164FF", Kind::Command, done, "memory=64",
        "presets=127");
    row("a camera of one memory still has 7F", "8101043F0100FF 8101043F017FFF", Kind::Command, done,
        "memory=0,7F", "presets=1");
    row("no memory 1 on a camera of one", "8101043F0101FF", Kind::Ignored, syntax, "memory=none",
        "presets=1");
    row("no white-balance mode 0Ah", "8101043502FF 810104350AFF", Kind::Ignored, syntax,
        "wb=outdoor");
    row("one-push white balance trigger", "8101043503FF 8101041005FF", Kind::Command, done,
        "wb=one-push");
    row("one-push white balance trigger refused in auto", "8101041005FF", Kind::Ignored,
        "90 61 41 FF", "wb=auto");
    // Exposure: AE mode, bright, gain, backlight.
    row("AE mode manual", "8101043903FF", Kind::Command, done, "aeMode=manual");
    row("AE mode shutter priority", "810104390AFF", Kind::Command, done, "aeMode=shutter");
    row("AE mode iris priority", "810104390BFF", Kind::Command, done, "aeMode=iris");
    row("AE mode bright", "810104390DFF", Kind::Command, done, "aeMode=bright");
    row("AE mode full auto", "810104390DFF 8101043900FF", Kind::Command, done, "aeMode=auto");
    row("no AE mode 01", "8101043903FF 8101043901FF", Kind::Ignored, syntax, "aeMode=manual");
    row("bright up", "810104390DFF 8101040D02FF", Kind::Command, done, "bright=17");
    row("bright down", "8101040D03FF", Kind::Command, done, "bright=15");
    row("bright direct", "8101044D00000104FF", Kind::Command, done, "bright=20");
    row("bright reset", "8101044D00000104FF 8101040D00FF", Kind::Command, done, "bright=16");
    row("bright tops out at 1Fh", "8101044D0000010FFF 8101040D02FF", Kind::Command, done,
        "bright=31");
    row("bright 20h refused", "8101044D00000104FF 8101044D00000200FF", Kind::Ignored, syntax,
        "bright=20");
    row("gain direct", "8101044C0000000FFF", Kind::Command, done, "gain=15");
    row("gain 10h refused", "8101044C00000009FF 8101044C00000100FF", Kind::Ignored, syntax,
        "gain=9");
    row("gain up", "8101043903FF 8101040C02FF 8101040C02FF", Kind::Command, done, "gain=2");
    row("gain down at 0 stays", "8101040C03FF", Kind::Command, done, "gain=0");
    row("gain reset", "8101044C00000009FF 8101040C00FF", Kind::Command, done, "gain=0");
    row("backlight on", "8101043302FF", Kind::Command, done, "backlight=on");
    row("backlight off", "8101043302FF 8101043303FF", Kind::Command, done, "backlight=off");
    row("memory keeps AE mode, bright, gain and backlight",
        "8101043903FF 8101044D00000102FF 8101044C00000003FF 8101043302FF 8101043F0104FF "
        "8101043900FF 8101040D00FF 8101040C00FF 8101043303FF 8101043F0204FF",
        Kind::Command, done, "aeMode=manual bright=18 gain=3 backlight=on");
    row("lamp direction 04 refused", "8201060100010304FF +1000", Kind::Ignored, "",
        "lamp=0 lampDrive=stop");
    row("camera command to the lamp changes nothing", "8201040727FF +1000", Kind::Ignored, "",
        "zoom=0 zoomDrive=stop");
    row("lamp command to the camera tilts the camera, not the lamp", "8101060100010301FF +1000",
        Kind::Command, done, "lamp=0 tilt=5 tiltDrive=up1");
    // The camera's head: 5 degrees a second per speed step, to its limits.
    row("pan right, then stopped", "810106010D010203FF +2000 8101060101010303FF +1000",
        Kind::Command, done, "pan=130 tilt=0 panDrive=stop tiltDrive=stop");
    row("pan left and tilt down at once", "8101060107060102FF +1000", Kind::Command, done,
        "pan=-35 tilt=-30 panDrive=left7 tiltDrive=down6");
    row("pan stops at its end, tilt at the top", "8101060118140201FF +5000", Kind::Command, done,
        "pan=170 tilt=90");
    row("a new speed takes over, one axis held",
        "8101060101040301FF +1000 8101060112010203FF +1000", Kind::Command, done,
        "pan=90 tilt=20 panDrive=right18 tiltDrive=stop");
    row("pan speed 19h refused", "8101060119010203FF +1000", Kind::Ignored, syntax,
        "pan=0 panDrive=stop");
    row("tilt speed 15h refused, the running drive stops",
        "810106010A010201FF +1000 8101060101150201FF +1000", Kind::Ignored, syntax,
        "pan=50 tilt=5 panDrive=stop tiltDrive=stop");
    row("tilt speed 00 refused while tilting", "8101060101000301FF +1000", Kind::Ignored, syntax,
        "tilt=0 tiltDrive=stop");
    row("pan-tilt absolute, completed on arrival", panTo10 + " +200", Kind::Command,
        "90 41 FF / 90 51 FF", "pan=10 tilt=0 panDrive=stop");
    row("pan-tilt absolute left and down at the slowest speeds",
        "810106020101" + QStringLiteral("0F0F0700") + "0F0F0B08FF +2100", Kind::Command,
        "90 41 FF / 90 51 FF", "pan=-10 tilt=-5");
    row("pan-tilt absolute beyond the pan limit refused",
        "810106021814" + QStringLiteral("0009090E") + "00000000FF +2000", Kind::Ignored, syntax,
        "pan=0");
    row("pan-tilt absolute at pan speed 19h refused",
        "810106021914" + QStringLiteral("00000900") + "00000000FF +2000", Kind::Ignored, syntax,
        "pan=0");
    row("pan-tilt relative", panTo10 + " +200 8101060318140000090000000000FF +200", Kind::Command,
        "90 41 FF / 90 51 FF", "pan=20");
    row("pan-tilt relative past the limit refused",
        "810106021814" + QStringLiteral("00090408")
            + "00000000FF +1500 "
              "8101060318140000090000000000FF +200",
        Kind::Ignored, syntax, "pan=165");
    row("pan-tilt home", headTo50 + " 81010604FF +1000", Kind::Command, "90 41 FF / 90 51 FF",
        "pan=0 tilt=0 panDrive=stop");
    row("pan-tilt reset at home completes at once", "81010605FF", Kind::Command, done,
        "pan=0 tilt=0");
    row("the lamp's drive leaves the head alone", "8201060118140201FF +1000", Kind::Command, "",
        "pan=0 tilt=0 lampDrive=up20");
    // Power and the tally lamp.
    row("power standby stops every drive", "8101040727FF 8101040003FF +1000", Kind::Command, done,
        "zoom=0 zoomDrive=stop power=standby");
    row("a camera in standby refuses commands", "8101040003FF 8101040727FF +1000", Kind::Ignored,
        "90 61 41 FF", "zoom=0 power=standby");
    row("power on completes once the camera is up, which it announces",
        "8101040003FF 8101040002FF +2000", Kind::Command, "90 41 FF / 90 51 FF / 90 38 FF",
        "power=on", "wake=2000");
    row("power on without a wake time announces at once", "8101040003FF 8101040002FF",
        Kind::Command, "90 41 FF 90 51 FF / 90 38 FF", "power=on", "wake=0");
    row("camera 2 of the chain announces from A0", "8201040003FF 8201040002FF +3000", Kind::Command,
        "A0 41 FF / A0 51 FF / A0 38 FF", "power=on", "serial=2 show=2");
    row("a network camera does not announce", "n2:8101040003FF n2:8101040002FF +3000",
        Kind::Command, "90 41 FF / 90 51 FF", "power=on", "network=2 show=2");
    row("a camera coming up refuses commands", "8101040003FF 8101040002FF +1000 8101040727FF",
        Kind::Ignored, "90 62 41 FF", "power=waking zoomDrive=stop", "wake=2000");
    row("power on when on", "8101040002FF", Kind::Command, done, "power=on");
    row("tally on", "81017E010A0002FF", Kind::Command, done, "tally=on");
    row("tally off", "81017E010A0002FF 81017E010A0003FF", Kind::Command, done, "tally=off");
    // The command sockets.
    row("command cancel stops a travel where it is", "8101044704000000FF +500 8121FF +1000",
        Kind::Command, "90 61 04 FF", "zoom=200");
    row("command cancel with nothing running", "8122FF", Kind::Command, "90 62 05 FF", "packets=1");
    row("a third command while two run: buffer full, the stop included",
        "8101044704000000FF " + panTo10 + " 8101040700FF +2600", Kind::Ignored,
        "90 60 03 FF / 90 51 FF / 90 52 FF", "zoom=1000 pan=10");
    row("interface clear empties the sockets", "8101044704000000FF +500 81010001FF +1000",
        Kind::Command, "90 50 FF", "zoom=200");
    // The inquiries.
    row("version inquiry", "81090002FF", Kind::Inquiry, "90 50 7A 21 0D 15 01 03 02 FF",
        "packets=0");
    row("power inquiry", "81090400FF", Kind::Inquiry, "90 50 02 FF", "power=on");
    row("power inquiry in standby", "8101040003FF 81090400FF", Kind::Inquiry, "90 50 03 FF",
        "power=standby packets=1");
    row("zoom position inquiry", "8101040723FF +1000 8101040700FF 81090447FF", Kind::Inquiry,
        "90 50 00 0C 0C 0D FF", "zoom=200");
    row("focus position inquiry", "81090448FF", Kind::Inquiry, "90 50 06 09 09 0A FF", "focus=600");
    row("focus mode inquiry, auto", "81090438FF", Kind::Inquiry, "90 50 02 FF", "");
    row("focus mode inquiry, manual", "8101043803FF 81090438FF", Kind::Inquiry, "90 50 03 FF", "");
    row("pan-tilt position inquiry", headTo50 + " 81090612FF", Kind::Inquiry,
        "90 50 00 02 0D 00 00 02 0D 00 FF", "pan=50 tilt=50");
    row("pan-tilt position inquiry, left and down",
        "8101060101010102FF +1000 8101060101010303FF 81090612FF", Kind::Inquiry,
        "90 50 0F 0F 0B 08 0F 0F 0B 08 FF", "pan=-5 tilt=-5");
    row("white balance inquiry", "8101043501FF 81090435FF", Kind::Inquiry, "90 50 01 FF", "");
    row("exposure compensation inquiry", "8101043E02FF 8109043EFF", Kind::Inquiry, "90 50 02 FF",
        "");
    row("exposure level inquiry", "8101040E02FF 8109044EFF", Kind::Inquiry, "90 50 00 00 00 08 FF",
        "expLevel=8");
    row("wide dynamic range inquiry", "8109043DFF", Kind::Inquiry, "90 50 03 FF", "");
    row("tally inquiry", "81017E010A0002FF 81097E010AFF", Kind::Inquiry, "90 50 02 FF", "");
    row("recall speed inquiry", "81017E010B0105FF 81097E010B01FF", Kind::Inquiry, "90 50 05 FF",
        "");
    row("recall speed inquiry, a memory at its default", "81097E010B03FF", Kind::Inquiry,
        "90 50 18 FF", "");
    row("recall speed inquiry beyond the memories", "81097E010B20FF", Kind::Inquiry, syntax, "");
    row("AE mode inquiry", "810104390AFF 81090439FF", Kind::Inquiry, "90 50 0A FF", "");
    row("bright inquiry", "8101044D00000104FF 8109044DFF", Kind::Inquiry, "90 50 00 00 01 04 FF",
        "");
    row("gain inquiry", "8101040C02FF 8109044CFF", Kind::Inquiry, "90 50 00 00 00 01 FF", "");
    row("backlight inquiry", "8101043302FF 81090433FF", Kind::Inquiry, "90 50 02 FF", "");
    // The block inquiries: 13 bytes of data between y0 50 and FF.
    row("lens block inquiry", "81097E7E00FF", Kind::Inquiry,
        "90 50 00 00 00 00 0F 00 06 09 09 0A 00 01 00 FF", "");
    row("lens block inquiry while zooming in manual focus",
        "8101043803FF 8101040723FF +1000 81097E7E00FF", Kind::Inquiry,
        "90 50 00 0C 0C 0D 0F 00 06 09 09 0A 00 00 01 FF", "zoom=200");
    row("camera block inquiry",
        "8101043501FF 810104390DFF 8101043E02FF 8101043302FF 8101043D02FF 8101044C00000002FF "
        "8101044D00000102FF 8101040E02FF 81097E7E01FF",
        Kind::Inquiry, "90 50 00 00 00 00 01 00 0D 16 00 00 02 12 08 FF", "");
    row("other block inquiry", "81097E7E02FF", Kind::Inquiry,
        "90 50 01 00 00 00 00 00 00 00 00 00 00 00 00 FF", "");
    row("other block inquiry in standby", "8101040003FF 81097E7E02FF", Kind::Inquiry,
        "90 50 00 00 00 00 00 00 00 00 00 00 00 00 00 FF", "power=standby");
    row("unknown inquiry", "81090455FF", Kind::Unknown, syntax, "packets=1");
    // The serial line and its devices.
    row("nobody at device 3", "8301040727FF +1000", Kind::Ignored, "", "zoom=0");
    row("broadcast address set", "883001FF", Kind::Command, "88 30 02 FF", "packets=1");
    row("address set with two cameras", "883001FF", Kind::Command, "88 30 03 FF", "", "serial=2");
    row("address set numbers the cameras from 3", "883003FF 8401040727FF +1000", Kind::Command,
        "C0 41 FF C0 51 FF", "zoom=400", "serial=2 show=2");
    row("address set beyond 7", "883007FF", Kind::Command, "88 30 09 FF", "", "serial=2");
    row("interface clear", "81010001FF", Kind::Command, "90 50 FF", "packets=1");
    row("broadcast interface clear comes back", "88010001FF", Kind::Command, "88 01 00 01 FF",
        "packets=1");
    row("broadcast zoom refused", "8801040727FF +1000", Kind::Ignored, "", "zoom=0");
    row("camera 2 of the chain answers from A0", "8201040727FF +1000", Kind::Command,
        "A0 41 FF A0 51 FF", "zoom=400", "serial=2 show=2");
    row("camera 2's zoom leaves camera 1 alone", "8201040727FF +1000", Kind::Command,
        "A0 41 FF A0 51 FF", "zoom=0", "serial=2");
    row("no lamp with two cameras", "8301060100010301FF +1000", Kind::Ignored, "", "lamp=0",
        "serial=2");
    row("the lamp at address 3", "8301060100010301FF +1000", Kind::Command, "", "lamp=20",
        "serial=2 lamp=3");
    row("no lamp at all", "8201060100010301FF +1000", Kind::Ignored, "", "lamp=0", "lamp=none");
    // Network cameras.
    row("network camera 1 answers from 90 whatever its serial address",
        "883003FF n1:8101040727FF +1000", Kind::Command, done, "zoom=400");
    row("network camera 2 is a camera of its own", "n2:8101040727FF +1000", Kind::Command, done,
        "zoom=400", "network=2 show=2");
    row("network camera 2 leaves camera 1 alone", "n2:8101040727FF +1000", Kind::Command, done,
        "zoom=0", "network=2");
    row("a network camera has no broadcast", "n1:883001FF", Kind::Ignored, "", "packets=1");
}

void tst_ViscaModel::sequences()
{
    QFETCH(QString, setup);
    QFETCH(QString, script);
    QFETCH(Kind, lastKind);
    QFETCH(QString, answers);
    QFETCH(QString, state);

    ViscaModel::Config config;
    int show = 1;
    for (const QString &item : setup.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        const QString key = item.section(QLatin1Char('='), 0, 0);
        const QString value = item.section(QLatin1Char('='), 1);
        if (key == QLatin1String("serial"))
            config.serialCameras = value.toInt();
        else if (key == QLatin1String("network"))
            config.networkCameras = value.toInt();
        else if (key == QLatin1String("lamp"))
            config.lampAddress = value == QLatin1String("none") ? 0 : value.toInt();
        else if (key == QLatin1String("presets"))
            config.presets << value.toInt();
        else if (key == QLatin1String("wake"))
            config.wakeMs = value.toInt();
        else if (key == QLatin1String("recall"))
            config.recallForms << (value == QLatin1String("global")
                                       ? ViscaModel::RecallForm::Global
                                       : ViscaModel::RecallForm::PerPreset);
        else if (key == QLatin1String("show"))
            show = value.toInt();
    }
    QVERIFY2(config.problem().isEmpty(), qPrintable(config.problem()));

    ViscaModel model(config);
    const SimScript::Scene scene = SimScript::run(model, script);
    if (!scene.packets.isEmpty())
        QVERIFY2(scene.packets.last().kind == lastKind, qPrintable(scene.packets.last().logLine));
    QCOMPARE(SimScript::lastAnswers(scene), answers);
    verifyState(model.state(show), state);
}

// Bytes that are not a clean packet: each piece is reported as what it is,
// the state stays as it was, and the next good packet is read again.
void tst_ViscaModel::brokenBytes_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QList<Kind>>("kinds");
    QTest::addColumn<QString>("meaning"); // of the first piece
    QTest::addColumn<QString>("note");    // part of the first piece's note
    QTest::addColumn<QString>("answers"); // of all the pieces, in order

    const QByteArray zoomTele = QByteArray::fromHex("8101040727FF");
    const auto hex = [](const char *text) { return QByteArray::fromHex(text); };

    QTest::newRow("noise ending in FF")
        << hex("1234FF") + zoomTele << QList<Kind>{Kind::Garbage, Kind::Command} << ""
        << "no packet header"
        << "90 41 FF 90 51 FF";
    QTest::newRow("noise before a header")
        << hex("0012347F") + zoomTele << QList<Kind>{Kind::Garbage, Kind::Command} << ""
        << ""
        << "90 41 FF 90 51 FF";
    QTest::newRow("lone terminators")
        << hex("FFFF") + zoomTele << QList<Kind>{Kind::Garbage, Kind::Garbage, Kind::Command} << ""
        << ""
        << "90 41 FF 90 51 FF";
    QTest::newRow("long noise comes in pieces")
        << QByteArray(40, '\x11') + zoomTele
        << QList<Kind>{Kind::Garbage, Kind::Garbage, Kind::Garbage, Kind::Command} << ""
        << ""
        << "90 41 FF 90 51 FF";
    QTest::newRow("ends early: one command fits")
        << hex("8101043F02FF") << QList<Kind>{Kind::Truncated} << "memory recall ?"
        << "ends after 6 bytes"
        << "90 60 02 FF";
    QTest::newRow("ends early: several commands fit")
        << hex("81010407FF") << QList<Kind>{Kind::Truncated} << ""
        << "the start of 5 commands"
        << "90 60 02 FF";
    QTest::newRow("cut short by the next header")
        << hex("8101040727") + zoomTele << QList<Kind>{Kind::Truncated, Kind::Command}
        << "zoom tele, speed 7"
        << "no terminator FF"
        << "90 41 FF 90 51 FF";
    QTest::newRow("header cut short by a header")
        << hex("81") + zoomTele << QList<Kind>{Kind::Truncated, Kind::Command} << ""
        << "the start of"
        << "90 41 FF 90 51 FF";
    QTest::newRow("empty packet") << hex("81FF") << QList<Kind>{Kind::Malformed} << ""
                                  << "empty packet"
                                  << "90 60 02 FF";
    QTest::newRow("high byte inside") << hex("81010407F0FF") << QList<Kind>{Kind::Malformed} << ""
                                      << "byte F0"
                                      << "90 60 02 FF";
    QTest::newRow("no terminator for too long")
        << hex("81") + QByteArray(20, '\x01') + hex("FF") + zoomTele
        << QList<Kind>{Kind::Malformed, Kind::Garbage, Kind::Command} << ""
        << "no terminator FF within 16 bytes"
        << "90 60 01 FF 90 41 FF 90 51 FF";
    QTest::newRow("unknown command") << hex("8101045502FF") << QList<Kind>{Kind::Unknown} << ""
                                     << ""
                                     << "90 60 02 FF";
    QTest::newRow("known command, one byte too many")
        << hex("810104070000FF") << QList<Kind>{Kind::Unknown} << ""
        << ""
        << "90 60 02 FF";
    QTest::newRow("unknown inquiry") << hex("81090455FF") << QList<Kind>{Kind::Unknown} << ""
                                     << ""
                                     << "90 60 02 FF";
}

void tst_ViscaModel::brokenBytes()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QList<Kind>, kinds);
    QFETCH(QString, meaning);
    QFETCH(QString, note);
    QFETCH(QString, answers);

    ViscaModel model;
    const QList<ViscaModel::Packet> packets = model.feed(bytes);
    QList<Kind> got;
    QByteArray seen;
    QStringList answered;
    for (const ViscaModel::Packet &packet : packets) {
        got << packet.kind;
        seen += packet.bytes;
        for (const QByteArray &reply : packet.replies)
            answered << ViscaModel::hexBytes(reply);
    }
    QCOMPARE(got, kinds);
    QCOMPARE(answered.join(QLatin1Char(' ')), answers);
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
    QVERIFY2(unknown.logLine.endsWith(QStringLiteral(" packets=2 => 90 60 02 FF")),
             qPrintable(unknown.logLine));
}

QTEST_GUILESS_MAIN(tst_ViscaModel)
#include "tst_viscamodel.moc"

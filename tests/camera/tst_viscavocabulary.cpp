// The camera command vocabulary as a table: every (group, action) pair the
// panel knows, the packets it sends, and how a command text becomes bytes.
#include "viscavocabulary.h"

#include <QtTest>

class tst_ViscaVocabulary : public QObject
{
    Q_OBJECT

private slots:
    void fixedPairs_data();
    void fixedPairs();
    void speeds_data();
    void speeds();
    void unknownPairs_data();
    void unknownPairs();
    void normalisedWords_data();
    void normalisedWords();
    void bytes_data();
    void bytes();
    void addresses_data();
    void addresses();
};

namespace {

// A VISCA packet to device 1 (camera) or 2 (lamp): header, payload, one
// terminator FF at the end and nowhere else.
void verifyPacket(const QString &group, const QString &text)
{
    QCOMPARE(text.size() % 2, 0);
    const QByteArray bytes = commandBytes(text);
    QCOMPARE(bytes.size(), text.size() / 2);
    const bool lamp = group == QLatin1String("led") || group == QLatin1String("pt");
    QCOMPARE(quint8(bytes.front()), quint8(lamp ? 0x82 : 0x81));
    QCOMPARE(quint8(bytes.back()), quint8(0xFF));
    QCOMPARE(bytes.count('\xFF'), 1);
}

// The current row's (group, action) sends exactly the expected packets.
void verifyCommands()
{
    QFETCH(QString, group);
    QFETCH(QString, action);
    QFETCH(QStringList, expected);

    const QStringList texts = viscaCommands(group, action);
    QCOMPARE(texts, expected);
    for (const QString &text : texts)
        verifyPacket(group, text);
}

} // namespace

void tst_ViscaVocabulary::fixedPairs_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("expected");

    const auto row = [](const char *group, const char *action, QStringList expected) {
        QTest::addRow("%s %s", group, action) << QString(group) << QString(action) << expected;
    };

    row("focus", "auto", {"8101043802FF"});
    row("focus", "manual", {"8101043803FF"});
    row("focus", "trigger", {"8101041801FF"});

    for (const char *lamp : {"led", "pt"}) {
        row(lamp, "up", {"8201060100010301ff"}); // the one lower-case terminator
        row(lamp, "down", {"8201060100010302FF"});
        row(lamp, "stop", {"8201060100000303FF"});
        row(lamp, "off", {"8201060100180302FF"});
    }

    row("color", "auto", {"8101043500FF"});
    row("color", "2700k", {"8101043508FF"});
    row("color", "3200k", {"8101043501FF"});
    row("color", "5800k", {"8101043502FF"});

    row("brightness", "off", {"8101043E03FF"});
    row("brightness", "on", {"8101043E02FF"});
    row("brightness", "reset", {"8101040E00FF"});
    row("brightness", "up", {"8101040E02FF"});
    row("brightness", "down", {"8101040E03FF"});

    row("wdr", "off", {"8101043D03FF"});
    row("wdr", "on", {"8101043D02FF"});

    row("tally", "on", {"81017E010A0002FF"});
    row("tally", "off", {"81017E010A0003FF"});

    row("profile", "recall0", {"8101043F0200FF"});
    row("profile", "recall1", {"8101043F0201FF"});
    row("profile", "recall2", {"8101043F0202FF"});
    row("profile", "recall3", {"8101043F0203FF"});
    row("profile", "recall4", {"8101043F0204FF"});
    row("profile", "recall5", {"8101043F0205FF"});
    row("profile", "recall6", {"8101043F0206FF"});
    row("profile", "recall7", {"8101043F0207FF"});
    row("profile", "recall8", {"8101043F0208FF"});
    row("profile", "recall9", {"8101043F0209FF"});
    row("profile", "set0", {"8101043F0100FF"});
    row("profile", "set1", {"8101043F0101FF"});
    row("profile", "set2", {"8101043F0102FF"});
    row("profile", "set3", {"8101043F0103FF"});
    row("profile", "set4", {"8101043F0104FF"});
    row("profile", "set5", {"8101043F0105FF"});
    row("profile", "set6", {"8101043F0106FF"});
    row("profile", "set7", {"8101043F0107FF"});
    row("profile", "set8", {"8101043F0108FF"});
    row("profile", "set9", {"8101043F0109FF"});
    row("profile", "reset0", {"8101043F0000FF"});
    row("profile", "reset1", {"8101043F0001FF"});
    row("profile", "reset2", {"8101043F0002FF"});
    row("profile", "reset3", {"8101043F0003FF"});
    row("profile", "reset4", {"8101043F0004FF"});
    row("profile", "reset5", {"8101043F0005FF"});
    row("profile", "reset6", {"8101043F0006FF"});
    row("profile", "reset7", {"8101043F0007FF"});
    row("profile", "reset8", {"8101043F0008FF"});
    row("profile", "reset9", {"8101043F0009FF"});
    row("profile", "setcustom", {"8101043F017FFF"});
    // Reset the camera-default memory 7F, then recall it: order matters.
    row("profile", "reset", {"8101043F007FFF", "8101043F027FFF"});

    // Presets by the operator's numbers: preset n is memory n - 1, up to
    // memory 7E; recall speeds 01 ... 18h per preset or for all.
    row("preset", "recall 1", {"8101043F0200FF"});
    row("preset", "recall 11", {"8101043F020AFF"});
    row("preset", "store 3", {"8101043F0102FF"});
    row("preset", "clear 127", {"8101043F007EFF"});
    row("preset", "speed 3 12", {"81017E010B020CFF"});
    row("preset", "speed 127 24", {"81017E010B7E18FF"});
    row("preset", "speedall 1", {"8101060101FF"});
}

void tst_ViscaVocabulary::fixedPairs()
{
    verifyCommands();
}

void tst_ViscaVocabulary::speeds_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("expected");

    // Zoom: 00 stop, 2p tele, 3p wide; focus: 00 stop, 2p far, 3p near.
    const struct
    {
        const char *group;
        const char *prefix;
    } drives[] = {{"zoom", "81010407"}, {"focus", "81010408"}};

    const struct
    {
        const char *action;
        const char *speed; // empty: nothing is sent
    } speeds[] = {
        {"0", "00"},          {"-0", "00"},
        {"1", "20"},          {"3", "22"},
        {"8", "27"},          {"9", "27"}, // beyond the slider's range: fastest
        {"-1", "30"},         {"-3", "32"},
        {"-8", "37"},         {"-9", "37"},
        {"2147483647", "27"}, {"-2147483648", "37"},
        {"+3", "22"},         {"03", "22"},       // base 10, a leading zero is no octal marker
        {" 3", "22"},                             // the number conversion tolerates white space
        {"3 ", "22"},         {"2147483648", ""}, // out of int range
        {"fast", ""},         {"", ""},
        {"3.5", ""},          {"0x3", ""},
        {"1e1", ""},          {"3k", ""},
        {"- 3", ""},
    };

    for (const auto &drive : drives) {
        for (const auto &speed : speeds) {
            QStringList expected;
            if (*speed.speed)
                expected << QString(drive.prefix) + speed.speed + "FF";
            QTest::addRow("%s \"%s\"", drive.group, speed.action)
                << QString(drive.group) << QString(speed.action) << expected;
        }
    }
    // The word actions of focus are not numbers, and zoom has none.
    QTest::newRow("zoom auto") << "zoom"
                               << "auto" << QStringList();
    QTest::newRow("focus stop") << "focus"
                                << "stop" << QStringList();

    // The pan-tilt drive: pad sizes 1..5 spread over pan 01..18h and tilt
    // 01..14h; the sign picks the direction, 0 holds the axis at speed 01.
    const struct
    {
        const char *action;
        const char *packet; // empty: nothing is sent
    } panTilt[] = {
        {"0 0", "8101060101010303FF"},
        {"1 0", "8101060101010203FF"},
        {"2 0", "8101060107010203FF"},
        {"3 0", "810106010D010203FF"},
        {"4 0", "8101060112010203FF"},
        {"5 0", "8101060118010203FF"},
        {"-3 0", "810106010D010103FF"},
        {"0 1", "8101060101010301FF"},
        {"0 2", "8101060101060301FF"},
        {"0 3", "81010601010B0301FF"},
        {"0 4", "81010601010F0301FF"},
        {"0 -5", "8101060101140302FF"},
        {"-2 -4", "81010601070F0102FF"},
        {"9 -2147483648", "8101060118140202FF"},
        {"3", ""},
        {"3 0 0", ""},
        {"3  0", ""},
        {"3,0", ""},
        {"right 0", ""},
        {"", ""},
    };
    for (const auto &row : panTilt)
        QTest::addRow("pantilt \"%s\"", row.action)
            << QStringLiteral("pantilt") << QString(row.action)
            << (*row.packet ? QStringList{row.packet} : QStringList());

    // The same drive in VISCA's own speed steps (a gamepad reaches each):
    // the size is the speed, up to pan 18h and tilt 14h.
    const struct
    {
        const char *action;
        const char *packet; // empty: nothing is sent
    } speedSteps[] = {
        {"0 0", "8101060101010303FF"},   {"1 0", "8101060101010203FF"},
        {"6 0", "8101060106010203FF"},   {"24 0", "8101060118010203FF"},
        {"25 0", "8101060118010203FF"},  {"-13 7", "810106010D070101FF"},
        {"0 -20", "8101060101140302FF"}, {"0 21", "8101060101140301FF"},
        {"2147483647 -2147483648", "8101060118140202FF"},
        {"24", ""},                      {"1 1 1", ""},
        {"", ""},
    };
    for (const auto &row : speedSteps)
        QTest::addRow("pantiltspeed \"%s\"", row.action)
            << QStringLiteral("pantiltspeed") << QString(row.action)
            << (*row.packet ? QStringList{row.packet} : QStringList());
}

void tst_ViscaVocabulary::speeds()
{
    verifyCommands();
}

void tst_ViscaVocabulary::unknownPairs_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("action");

    QTest::newRow("unknown group") << "iris"
                                   << "auto";
    QTest::newRow("empty group") << ""
                                 << "auto";
    QTest::newRow("empty words") << ""
                                 << "";
    QTest::newRow("led left") << "led"
                              << "left";
    QTest::newRow("led number") << "led"
                                << "1";
    QTest::newRow("pt empty") << "pt"
                              << "";
    QTest::newRow("color 4000k") << "color"
                                 << "4000k";
    QTest::newRow("color 2700") << "color"
                                << "2700";
    QTest::newRow("brightness auto") << "brightness"
                                     << "auto";
    QTest::newRow("wdr auto") << "wdr"
                              << "auto";
    QTest::newRow("profile recall10") << "profile"
                                      << "recall10";
    QTest::newRow("profile recall") << "profile"
                                    << "recall";
    QTest::newRow("profile set") << "profile"
                                 << "set";
    QTest::newRow("profile recall-1") << "profile"
                                      << "recall-1";
    QTest::newRow("profile 4") << "profile"
                               << "4";
    // Memory 7F is the camera default, never a preset; speeds stop at 18h.
    for (const char *action : {"recall 0", "recall 128", "store -1", "recall", "recall 3 4",
                               "recall x", "speed 3 25", "speed 3 0", "speed 128 3", "speedall 0",
                               "speedall 25", "speedall", "reset 3", "3"})
        QTest::addRow("preset %s", action) << "preset" << action;
    QTest::newRow("action of another group") << "focus"
                                             << "2700k";
    QTest::newRow("words swapped") << "auto"
                                   << "focus";
    // The caller normalises; the table itself compares exactly.
    QTest::newRow("upper-case group") << "Focus"
                                      << "auto";
    QTest::newRow("upper-case action") << "focus"
                                       << "AUTO";
    QTest::newRow("blank around action") << "wdr"
                                         << " on";
}

void tst_ViscaVocabulary::unknownPairs()
{
    QFETCH(QString, group);
    QFETCH(QString, action);

    QCOMPARE(viscaCommands(group, action), QStringList());
}

void tst_ViscaVocabulary::normalisedWords_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("action");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("Zoom in blanks, 3") << " Zoom "
                                       << "3" << QStringList{"8101040722FF"};
    QTest::newRow("focus AUTO") << "focus"
                                << "\tAUTO \n"
                                << QStringList{"8101043802FF"};
    QTest::newRow("LED Up") << "LED"
                            << "Up" << QStringList{"8201060100010301ff"};
    QTest::newRow("Profile RECALL4") << "Profile"
                                     << " RECALL4" << QStringList{"8101043F0204FF"};
    QTest::newRow("color 2700K") << "color"
                                 << "2700K" << QStringList{"8101043508FF"};
    QTest::newRow("blank only") << "  "
                                << " " << QStringList();
}

void tst_ViscaVocabulary::normalisedWords()
{
    QFETCH(QString, group);
    QFETCH(QString, action);
    QFETCH(QStringList, expected);

    QCOMPARE(viscaCommands(normaliseWord(group), normaliseWord(action)), expected);
}

void tst_ViscaVocabulary::bytes_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("expected");

    const QByteArray autoFocus("\x81\x01\x04\x38\x02\xFF", 6);
    const QByteArray lampUp("\x82\x01\x06\x01\x00\x01\x03\x01\xFF", 9);

    QTest::newRow("upper case") << "8101043802FF" << autoFocus;
    QTest::newRow("lower case") << "8101043802ff" << autoFocus;
    QTest::newRow("blanks around") << "  8101043802FF\r\n" << autoFocus;
    QTest::newRow("lamp up as sent") << "8201060100010301ff" << lampUp;
    QTest::newRow("lamp up upper case") << "8201060100010301FF" << lampUp;
    QTest::newRow("memory 7F") << "8101043F017FFF" << QByteArray("\x81\x01\x04\x3F\x01\x7F\xFF", 7);
    QTest::newRow("letters a-f in both cases") << "aBcDeF" << QByteArray("\xAB\xCD\xEF", 3);
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("non-hex skipped")
        << "81 01-04:07/00 FF" << QByteArray("\x81\x01\x04\x07\x00\xFF", 6);
}

void tst_ViscaVocabulary::bytes()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, expected);

    QCOMPARE(commandBytes(text), expected);
}

// A camera and its lamp at other addresses: the header byte changes, nothing
// else; without a lamp its pairs send nothing.
void tst_ViscaVocabulary::addresses_data()
{
    QTest::addColumn<QString>("group");
    QTest::addColumn<QString>("action");
    QTest::addColumn<int>("camera");
    QTest::addColumn<int>("lamp");
    QTest::addColumn<QStringList>("expected");

    QTest::newRow("zoom, camera 3") << "zoom"
                                    << "3" << 3 << 2 << QStringList{"8301040722FF"};
    QTest::newRow("profile reset, camera 7")
        << "profile"
        << "reset" << 7 << 2 << QStringList{"8701043F007FFF", "8701043F027FFF"};
    QTest::newRow("pan-tilt stop, camera 2")
        << "pantilt"
        << "0 0" << 2 << 0 << QStringList{"8201060101010303FF"};
    QTest::newRow("lamp up at 4 keeps its spelling")
        << "led"
        << "up" << 1 << 4 << QStringList{"8401060100010301ff"};
    QTest::newRow("lamp off, no lamp") << "led"
                                       << "off" << 1 << 0 << QStringList();
    QTest::newRow("zoom, no camera address") << "zoom"
                                             << "3" << 0 << 2 << QStringList();
    QTest::newRow("zoom, address 8") << "zoom"
                                     << "3" << 8 << 2 << QStringList();
}

void tst_ViscaVocabulary::addresses()
{
    QFETCH(QString, group);
    QFETCH(QString, action);
    QFETCH(int, camera);
    QFETCH(int, lamp);
    QFETCH(QStringList, expected);

    QStringList texts;
    const QList<ViscaPacket> packets = viscaPackets(group, action, {camera, lamp});
    for (const ViscaPacket &packet : packets) {
        QCOMPARE(packet.bytes, commandBytes(packet.text));
        texts << packet.text;
    }
    QCOMPARE(texts, expected);
}

QTEST_APPLESS_MAIN(tst_ViscaVocabulary)
#include "tst_viscavocabulary.moc"

#include "viscavocabulary.h"

#include <QHash>
#include <QPair>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// Device 2 is a lamp driven by the pan-tilt drive on its tilt axis only:
// 82 01 06 01, pan speed 00, tilt speed, pan 03 (stop), tilt 01 up / 02 down
// / 03 stop. "Off" is down at tilt speed 18h. The "up" text keeps its
// lower-case terminator: the text itself is what the status line and the
// encoder see.
const char *const kLampUp = "8201060100010301ff";
const char *const kLampDown = "8201060100010302FF";
const char *const kLampStop = "8201060100000303FF";
const char *const kLampOff = "8201060100180302FF";

struct Row
{
    const char *group;
    const char *action;
    const char *first;
    const char *second; // a second packet, sent right after the first
};

// Every fixed pair. The numbered memory words ("recall0" ... "reset9") are
// added from kMemoryOperations below; zoom and focus numbers are computed.
const Row kVocabulary[] = {
    {"focus", "auto", "8101043802FF", nullptr},
    {"focus", "manual", "8101043803FF", nullptr},
    {"focus", "trigger", "8101041801FF", nullptr},
    {"led", "up", kLampUp, nullptr},
    {"led", "down", kLampDown, nullptr},
    {"led", "stop", kLampStop, nullptr},
    {"led", "off", kLampOff, nullptr},
    {"pt", "up", kLampUp, nullptr},
    {"pt", "down", kLampDown, nullptr},
    {"pt", "stop", kLampStop, nullptr},
    {"pt", "off", kLampOff, nullptr},
    {"color", "auto", "8101043500FF", nullptr},
    {"color", "2700k", "8101043508FF", nullptr},
    {"color", "3200k", "8101043501FF", nullptr},
    {"color", "5800k", "8101043502FF", nullptr},
    {"brightness", "off", "8101043E03FF", nullptr},
    {"brightness", "on", "8101043E02FF", nullptr},
    {"brightness", "reset", "8101040E00FF", nullptr},
    {"brightness", "up", "8101040E02FF", nullptr},
    {"brightness", "down", "8101040E03FF", nullptr},
    {"wdr", "off", "8101043D03FF", nullptr},
    {"wdr", "on", "8101043D02FF", nullptr},
    {"profile", "setcustom", "8101043F017FFF", nullptr},
    {"profile", "reset", "8101043F007FFF", "8101043F027FFF"}, // reset 7F, recall 7F
};

// A word and the hex digits it stands for.
struct WordHex
{
    const char *word;
    const char *hex;
};

// Camera memory 81 01 04 3F, operation, preset, FF for the presets 0 to 9:
// "recall4" -> 8101043F0204FF.
const WordHex kMemoryOperations[] = {
    {"recall", "02"},
    {"set", "01"},
    {"reset", "00"},
};

// Zoom and focus drives take a signed speed: 00 stops, 2p drives tele / far,
// 3p wide / near, with p = |n| - 1 limited to 0..7.
const WordHex kSpeedDrives[] = {
    {"zoom", "81010407"},
    {"focus", "81010408"},
};

// The camera's pan-tilt drive: 81 01 06 01 VV WW hh vv FF. The action is
// "<pan> <tilt>", two signed numbers on the pad's scale: pan > 0 turns right,
// < 0 left; tilt > 0 up, < 0 down; 0 holds that axis. Sizes beyond 5 count
// as 5. Each size 1..5 picks a camera speed, spread evenly from the slowest
// (01) to the common maximum (pan 18h, tilt 14h); a held axis carries the
// slowest speed, so the stop is 81 01 06 01 01 01 03 03 FF.
const char *const kPanTiltHead = "81010601";
constexpr int kPanTiltTopSize = 5;

struct PanTiltAxis
{
    int speeds[kPanTiltTopSize]; // VV or WW for the sizes 1..5
    const char *positive;        // direction byte for a positive number
    const char *negative;
};

const PanTiltAxis kPanAxis = {{0x01, 0x07, 0x0D, 0x12, 0x18}, "02", "01"};  // right, left
const PanTiltAxis kTiltAxis = {{0x01, 0x06, 0x0B, 0x0F, 0x14}, "01", "02"}; // up, down
const char *const kAxisHeld = "03";

using Key = QPair<QString, QString>;

const QHash<Key, QStringList> &fixedCommands()
{
    static const QHash<Key, QStringList> table = [] {
        QHash<Key, QStringList> t;
        for (const Row &row : kVocabulary) {
            QStringList texts{QLatin1String(row.first)};
            if (row.second)
                texts.append(QLatin1String(row.second));
            t.insert({QLatin1String(row.group), QLatin1String(row.action)}, texts);
        }
        for (const WordHex &op : kMemoryOperations) {
            for (int preset = 0; preset <= 9; ++preset) {
                const QString word = QLatin1String(op.word) + QString::number(preset);
                const QString text = QLatin1String("8101043F") + QLatin1String(op.hex)
                    + QLatin1Char('0') + QString::number(preset) + QLatin1String("FF");
                t.insert({QStringLiteral("profile"), word}, {text});
            }
        }
        return t;
    }();
    return table;
}

QStringList speedCommand(const QString &group, const QString &action)
{
    for (const WordHex &drive : kSpeedDrives) {
        if (group != QLatin1String(drive.word))
            continue;
        bool ok = false;
        const int n = action.toInt(&ok, 10);
        if (!ok)
            return {};
        QString text = QLatin1String(drive.hex);
        if (n == 0) {
            text += QLatin1String("00");
        } else {
            // Limit before taking the size, so that INT_MIN cannot overflow.
            const int size = n > 0 ? std::min(n, 8) : -std::max(n, -8); // 1..8
            text += QLatin1Char(n > 0 ? '2' : '3') + QString::number(size - 1);
        }
        return {text + QLatin1String("FF")};
    }
    return {};
}

QStringList panTiltCommand(const QString &action)
{
    const QStringList numbers = action.split(QLatin1Char(' '));
    if (numbers.size() != 2)
        return {};
    bool panOk = false;
    bool tiltOk = false;
    const int pan = numbers[0].toInt(&panOk, 10);
    const int tilt = numbers[1].toInt(&tiltOk, 10);
    if (!panOk || !tiltOk)
        return {};

    QString speeds;
    QString directions;
    for (const auto &[axis, n] : {std::pair{&kPanAxis, pan}, std::pair{&kTiltAxis, tilt}}) {
        const int size = std::clamp(n, -kPanTiltTopSize, kPanTiltTopSize);
        const int speed = axis->speeds[std::max(std::abs(size), 1) - 1];
        speeds += QStringLiteral("%1").arg(speed, 2, 16, QLatin1Char('0')).toUpper();
        directions += QLatin1String(size > 0       ? axis->positive
                                        : size < 0 ? axis->negative
                                                   : kAxisHeld);
    }
    return {QLatin1String(kPanTiltHead) + speeds + directions + QLatin1String("FF")};
}

} // namespace

QString normaliseWord(const QString &word)
{
    return word.trimmed().toLower();
}

QStringList viscaCommands(const QString &group, const QString &action)
{
    const auto fixed = fixedCommands().constFind({group, action});
    if (fixed != fixedCommands().constEnd())
        return *fixed;
    if (group == QLatin1String("pantilt"))
        return panTiltCommand(action);
    return speedCommand(group, action);
}

QByteArray commandBytes(const QString &commandText)
{
    return QByteArray::fromHex(commandText.trimmed().toLower().toUtf8());
}

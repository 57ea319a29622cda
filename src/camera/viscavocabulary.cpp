#include "viscavocabulary.h"

#include <QHash>
#include <QPair>

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace {

// Who a packet is for: its header byte is 8x with x the device's address.
enum class Device { Camera, Lamp };

// How the text of a packet is spelt. The lamp's "up" has always ended in a
// lower-case terminator: the text itself is what the status line and the
// encoder see, so it stays.
enum class Spelling { Upper, LowerTerminator };

struct Row
{
    const char *group;
    const char *action;
    Device device;
    const char *body;   // the packet after its header byte, as hex
    const char *second; // a second packet's body, sent right after the first
    Spelling spelling;
};

// The lamp is driven by the pan-tilt drive on its tilt axis only: 01 06 01,
// pan speed 00, tilt speed, pan 03 (stop), tilt 01 up / 02 down / 03 stop.
// "Off" is down at tilt speed 18h.
const char *const kLampUp = "01060100010301FF";
const char *const kLampDown = "01060100010302FF";
const char *const kLampStop = "01060100000303FF";
const char *const kLampOff = "01060100180302FF";

// Every fixed pair. The numbered memory words ("recall0" ... "reset9") are
// added from kMemoryOperations below; zoom, focus and pan-tilt numbers are
// computed.
const Row kVocabulary[] = {
    {"focus", "auto", Device::Camera, "01043802FF", nullptr, Spelling::Upper},
    {"focus", "manual", Device::Camera, "01043803FF", nullptr, Spelling::Upper},
    {"focus", "trigger", Device::Camera, "01041801FF", nullptr, Spelling::Upper},
    {"led", "up", Device::Lamp, kLampUp, nullptr, Spelling::LowerTerminator},
    {"led", "down", Device::Lamp, kLampDown, nullptr, Spelling::Upper},
    {"led", "stop", Device::Lamp, kLampStop, nullptr, Spelling::Upper},
    {"led", "off", Device::Lamp, kLampOff, nullptr, Spelling::Upper},
    {"pt", "up", Device::Lamp, kLampUp, nullptr, Spelling::LowerTerminator},
    {"pt", "down", Device::Lamp, kLampDown, nullptr, Spelling::Upper},
    {"pt", "stop", Device::Lamp, kLampStop, nullptr, Spelling::Upper},
    {"pt", "off", Device::Lamp, kLampOff, nullptr, Spelling::Upper},
    {"color", "auto", Device::Camera, "01043500FF", nullptr, Spelling::Upper},
    {"color", "2700k", Device::Camera, "01043508FF", nullptr, Spelling::Upper},
    {"color", "3200k", Device::Camera, "01043501FF", nullptr, Spelling::Upper},
    {"color", "5800k", Device::Camera, "01043502FF", nullptr, Spelling::Upper},
    {"brightness", "off", Device::Camera, "01043E03FF", nullptr, Spelling::Upper},
    {"brightness", "on", Device::Camera, "01043E02FF", nullptr, Spelling::Upper},
    {"brightness", "reset", Device::Camera, "01040E00FF", nullptr, Spelling::Upper},
    {"brightness", "up", Device::Camera, "01040E02FF", nullptr, Spelling::Upper},
    {"brightness", "down", Device::Camera, "01040E03FF", nullptr, Spelling::Upper},
    {"wdr", "off", Device::Camera, "01043D03FF", nullptr, Spelling::Upper},
    {"wdr", "on", Device::Camera, "01043D02FF", nullptr, Spelling::Upper},
    {"tally", "on", Device::Camera, "017E010A0002FF", nullptr, Spelling::Upper},
    {"tally", "off", Device::Camera, "017E010A0003FF", nullptr, Spelling::Upper},
    {"power", "on", Device::Camera, "01040002FF", nullptr, Spelling::Upper},
    {"power", "standby", Device::Camera, "01040003FF", nullptr, Spelling::Upper},
    // Memory set 7F, and memory reset 7F then recall 7F: the camera default.
    {"profile", "setcustom", Device::Camera, "01043F017FFF", nullptr, Spelling::Upper},
    {"profile", "reset", Device::Camera, "01043F007FFF", "01043F027FFF", Spelling::Upper},
};

// A word and the byte it stands for.
struct WordByte
{
    const char *word;
    quint8 byte;
};

// Camera memory 01 04 3F, operation, preset, FF for the presets 0 to 9:
// "recall4" -> 8x 01 04 3F 02 04 FF.
const WordByte kMemoryOperations[] = {
    {"recall", 0x02},
    {"set", 0x01},
    {"reset", 0x00},
};

// The same operations on the presets, by the operator's words.
const WordByte kPresetOperations[] = {
    {"recall", 0x02},
    {"store", 0x01},
    {"clear", 0x00},
};

// Zoom and focus drives take a signed speed: 01 04 cc, then 00 stops, 2p
// drives tele / far, 3p wide / near, with p = |n| - 1 limited to 0..7.
const WordByte kSpeedDrives[] = {
    {"zoom", 0x07},
    {"focus", 0x08},
};

// The camera's pan-tilt drive: 01 06 01 VV WW hh vv FF. The action is
// "<pan> <tilt>", two signed numbers: pan > 0 turns right, < 0 left; tilt > 0
// up, < 0 down; 0 holds that axis. On the pad's scale ("pantilt") sizes
// beyond 5 count as 5, and each size 1..5 picks a camera speed, spread evenly
// from the slowest (01) to the common maximum (pan 18h, tilt 14h). As speed
// steps ("pantiltspeed") the size is the speed, up to those tops. A held axis
// carries the slowest speed, so the stop is 8x 01 06 01 01 01 03 03 FF.
constexpr int kPanTiltTopSize = 5;

struct PanTiltAxis
{
    quint8 speeds[kPanTiltTopSize]; // VV or WW for the sizes 1..5
    quint8 positive;                // direction byte for a positive number
    quint8 negative;
};

const PanTiltAxis kPanAxis = {{0x01, 0x07, 0x0D, 0x12, 0x18}, 0x02, 0x01};  // right, left
const PanTiltAxis kTiltAxis = {{0x01, 0x06, 0x0B, 0x0F, 0x14}, 0x01, 0x02}; // up, down
static_assert(kPanSpeedTop == 0x18 && kTiltSpeedTop == 0x14, "the pad's top sizes are the tops");

// How a pan-tilt action counts its sizes.
enum class PanTiltScale { PadSizes, SpeedSteps };
constexpr quint8 kAxisHeld = 0x03;
constexpr quint8 kTerminator = 0xFF;

// A packet without its header byte, and whom it is for.
struct Body
{
    Device device;
    QByteArray bytes;
    Spelling spelling = Spelling::Upper;
};

using Key = QPair<QString, QString>;

const QHash<Key, QList<Body>> &fixedBodies()
{
    static const QHash<Key, QList<Body>> table = [] {
        QHash<Key, QList<Body>> t;
        for (const Row &row : kVocabulary) {
            QList<Body> bodies{{row.device, QByteArray::fromHex(row.body), row.spelling}};
            if (row.second)
                bodies.append({row.device, QByteArray::fromHex(row.second), row.spelling});
            t.insert({QLatin1String(row.group), QLatin1String(row.action)}, bodies);
        }
        for (const WordByte &op : kMemoryOperations) {
            for (int preset = 0; preset <= 9; ++preset) {
                const QString word = QLatin1String(op.word) + QString::number(preset);
                const char bytes[]
                    = {0x01, 0x04, 0x3F, char(op.byte), char(preset), char(kTerminator)};
                t.insert({QStringLiteral("profile"), word},
                         {{Device::Camera, QByteArray(bytes, sizeof bytes)}});
            }
        }
        return t;
    }();
    return table;
}

QList<Body> speedBody(const QString &group, const QString &action)
{
    for (const WordByte &drive : kSpeedDrives) {
        if (group != QLatin1String(drive.word))
            continue;
        bool ok = false;
        const int n = action.toInt(&ok, 10);
        if (!ok)
            return {};
        quint8 rate = 0x00;
        if (n != 0) {
            // Limit before taking the size, so that INT_MIN cannot overflow.
            const int size = n > 0 ? std::min(n, 8) : -std::max(n, -8); // 1..8
            rate = quint8((n > 0 ? 0x20 : 0x30) | (size - 1));
        }
        const char bytes[] = {0x01, 0x04, char(drive.byte), char(rate), char(kTerminator)};
        return {{Device::Camera, QByteArray(bytes, sizeof bytes)}};
    }
    return {};
}

// The speed byte for a size of 1 or more on an axis.
quint8 panTiltSpeed(const PanTiltAxis &axis, int size, PanTiltScale scale)
{
    if (scale == PanTiltScale::PadSizes)
        return axis.speeds[std::min(size, kPanTiltTopSize) - 1];
    return quint8(std::min(size, int(axis.speeds[kPanTiltTopSize - 1])));
}

QList<Body> panTiltBody(const QString &action, PanTiltScale scale)
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

    QByteArray speeds;
    QByteArray directions;
    for (const auto &[axis, n] : {std::pair{&kPanAxis, pan}, std::pair{&kTiltAxis, tilt}}) {
        // Limited before taking the size, so that INT_MIN cannot overflow.
        const int size = std::abs(std::clamp(n, -0xFF, 0xFF));
        speeds += char(panTiltSpeed(*axis, std::max(size, 1), scale));
        directions += char(n > 0 ? axis->positive : n < 0 ? axis->negative : kAxisHeld);
    }
    return {
        {Device::Camera, QByteArray::fromHex("010601") + speeds + directions + char(kTerminator)}};
}

// A whole number in [low, high] written in base 10; false for anything else.
bool wholeIn(const QString &text, int low, int high, int *value)
{
    bool ok = false;
    *value = text.toInt(&ok, 10);
    return ok && *value >= low && *value <= high;
}

// The presets by their operator's numbers (preset n is memory n - 1):
// "recall <n>", "store <n>", "clear <n>", the recall speed of one preset
// "speed <n> <q>" (01 7E 01 0B pp qq) and of every preset at once
// "speedall <q>" (01 06 01 qq), for the two forms cameras take it in.
QList<Body> presetBody(const QString &action)
{
    const QStringList words = action.split(QLatin1Char(' '));
    int preset = 0;
    int speed = 0;
    QByteArray bytes;
    if (words.size() == 2 && words[0] == QLatin1String("speedall")) {
        if (!wholeIn(words[1], 1, kRecallSpeedTop, &speed))
            return {};
        bytes = QByteArray::fromHex("010601") + char(speed);
    } else if (words.size() == 3 && words[0] == QLatin1String("speed")) {
        if (!wholeIn(words[1], 1, kPresetTop, &preset)
            || !wholeIn(words[2], 1, kRecallSpeedTop, &speed))
            return {};
        bytes = QByteArray::fromHex("017E010B") + char(preset - 1) + char(speed);
    } else if (words.size() == 2) {
        if (!wholeIn(words[1], 1, kPresetTop, &preset))
            return {};
        const WordByte *operation = std::find_if(
            std::begin(kPresetOperations), std::end(kPresetOperations),
            [&words](const WordByte &op) { return words[0] == QLatin1String(op.word); });
        if (operation == std::end(kPresetOperations))
            return {};
        bytes = QByteArray::fromHex("01043F") + char(operation->byte) + char(preset - 1);
    } else {
        return {};
    }
    return {{Device::Camera, bytes + char(kTerminator)}};
}

QList<Body> bodiesOf(const QString &group, const QString &action)
{
    const auto fixed = fixedBodies().constFind({group, action});
    if (fixed != fixedBodies().constEnd())
        return *fixed;
    if (group == QLatin1String("pantilt"))
        return panTiltBody(action, PanTiltScale::PadSizes);
    if (group == QLatin1String("pantiltspeed"))
        return panTiltBody(action, PanTiltScale::SpeedSteps);
    if (group == QLatin1String("preset"))
        return presetBody(action);
    return speedBody(group, action);
}

QString textOf(const QByteArray &bytes, Spelling spelling)
{
    QString text = QString::fromLatin1(bytes.toHex().toUpper());
    if (spelling == Spelling::LowerTerminator)
        text.replace(text.size() - 2, 2, QStringLiteral("ff"));
    return text;
}

bool isAddress(int address)
{
    return address >= 1 && address <= 7;
}

} // namespace

QString normaliseWord(const QString &word)
{
    return word.trimmed().toLower();
}

QList<ViscaPacket> viscaPackets(const QString &group, const QString &action,
                                const ViscaAddresses &to)
{
    QList<ViscaPacket> packets;
    const QList<Body> bodies = bodiesOf(group, action);
    for (const Body &body : bodies) {
        const int address = body.device == Device::Camera ? to.camera : to.lamp;
        if (!isAddress(address))
            return {};
        const QByteArray bytes = char(0x80 | address) + body.bytes;
        packets.append({bytes, textOf(bytes, body.spelling)});
    }
    return packets;
}

QStringList viscaCommands(const QString &group, const QString &action)
{
    QStringList texts;
    const QList<ViscaPacket> packets = viscaPackets(group, action);
    for (const ViscaPacket &packet : packets)
        texts.append(packet.text);
    return texts;
}

QByteArray commandBytes(const QString &commandText)
{
    return QByteArray::fromHex(commandText.trimmed().toLower().toUtf8());
}

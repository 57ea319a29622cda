#include "viscamodel.h"

#include <QStringList>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

// Which device a command belongs to.
enum class Target {
    Camera,    // device 1
    Lamp,      // device 2: a pan-tilt drive whose tilt axis dims the lamp
    Broadcast, // header 88 only
    Any,       // every device and the broadcast
};

enum class Effect {
    ZoomDrive,      // arg: +1 tele, -1 wide, 0 stop; speed field p
    FocusDrive,     // arg: +1 far, -1 near, 0 stop; speed field p
    FocusMode,      // arg: a FocusMode
    FocusOnePush,   // one-push trigger
    WhiteBalance,   // mode field p
    ExpComp,        // arg: 1 on, 0 off
    ExpCompStep,    // arg: +1 up, -1 down, 0 reset
    Wdr,            // arg: 1 on, 0 off
    Memory,         // arg: a MemoryOperation; slot field m
    PanTiltDrive,   // speeds v (pan), w (tilt); directions h (pan), t (tilt)
    HeadDrive,      // the same fields, turning the camera's own head
    InterfaceClear, // no state
    AddressSet,     // first address field n
};

enum MemoryOperation { MemoryReset, MemorySet, MemoryRecall };

// One command the far end knows. The pattern spells the bytes between the
// header and the terminator FF: upper-case hex digits must match, lower-case
// letters g..z are nibbles of a field named by that letter, so "2p" is a byte
// whose high nibble is 2 and whose low nibble is field p, and "mm" a whole
// byte field m. The meaning is shown with {f} (field f in decimal), {f:x}
// (two hex digits) or {f:kind} (a named value, see fieldText).
struct Shape
{
    Target target;
    const char *pattern;
    Effect effect;
    int arg;
    const char *meaning;
};

const Shape kShapes[] = {
    {Target::Camera, "01 04 07 00", Effect::ZoomDrive, 0, "zoom stop"},
    {Target::Camera, "01 04 07 2p", Effect::ZoomDrive, +1, "zoom tele, speed {p}"},
    {Target::Camera, "01 04 07 3p", Effect::ZoomDrive, -1, "zoom wide, speed {p}"},
    {Target::Camera, "01 04 08 00", Effect::FocusDrive, 0, "focus stop"},
    {Target::Camera, "01 04 08 2p", Effect::FocusDrive, +1, "focus far, speed {p}"},
    {Target::Camera, "01 04 08 3p", Effect::FocusDrive, -1, "focus near, speed {p}"},
    {Target::Camera, "01 04 38 02", Effect::FocusMode, int(ViscaModel::FocusMode::Auto),
     "auto focus"},
    {Target::Camera, "01 04 38 03", Effect::FocusMode, int(ViscaModel::FocusMode::Manual),
     "manual focus"},
    {Target::Camera, "01 04 18 01", Effect::FocusOnePush, 0, "one-push focus trigger"},
    {Target::Camera, "01 04 35 0p", Effect::WhiteBalance, 0, "white balance {p:wb}"},
    {Target::Camera, "01 04 3E 02", Effect::ExpComp, 1, "exposure compensation on"},
    {Target::Camera, "01 04 3E 03", Effect::ExpComp, 0, "exposure compensation off"},
    {Target::Camera, "01 04 0E 00", Effect::ExpCompStep, 0, "exposure compensation reset"},
    {Target::Camera, "01 04 0E 02", Effect::ExpCompStep, +1, "exposure compensation up"},
    {Target::Camera, "01 04 0E 03", Effect::ExpCompStep, -1, "exposure compensation down"},
    {Target::Camera, "01 04 3D 02", Effect::Wdr, 1, "wide dynamic range on"},
    {Target::Camera, "01 04 3D 03", Effect::Wdr, 0, "wide dynamic range off"},
    {Target::Camera, "01 04 3F 00 mm", Effect::Memory, MemoryReset, "memory reset {m:slot}"},
    {Target::Camera, "01 04 3F 01 mm", Effect::Memory, MemorySet, "memory set {m:slot}"},
    {Target::Camera, "01 04 3F 02 mm", Effect::Memory, MemoryRecall, "memory recall {m:slot}"},
    {Target::Lamp, "01 06 01 vv ww 0h 0t", Effect::PanTiltDrive, 0,
     "pan-tilt drive: tilt {t:tilt} at {w:x}h, pan {h:pan} at {v:x}h"},
    {Target::Camera, "01 06 01 vv ww 0h 0t", Effect::HeadDrive, 0,
     "pan-tilt drive: pan {h:pan} at {v:x}h, tilt {t:tilt} at {w:x}h"},
    {Target::Any, "01 00 01", Effect::InterfaceClear, 0, "interface clear"},
    {Target::Broadcast, "30 0n", Effect::AddressSet, 0, "address set, first device {n}"},
};

// Field values by letter; -1 where the packet ended before the field.
using Fields = std::array<int, 26>;

enum class Fit { None, Exact, Prefix };

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Compares the payload nibble by nibble with a pattern: Exact when it has
// the pattern's length, Prefix when it is shorter but matches as far as it
// goes. Fields met on the way are filled.
Fit fit(const char *pattern, const QByteArray &payload, Fields *fields)
{
    fields->fill(-1);
    QByteArray nibbles(pattern);
    nibbles.replace(' ', "");
    const int patternBytes = nibbles.size() / 2;
    if (payload.size() > patternBytes)
        return Fit::None;
    for (int i = 0; i < payload.size() * 2; ++i) {
        const int nibble = i % 2 == 0 ? quint8(payload[i / 2]) >> 4 : quint8(payload[i / 2]) & 0x0F;
        const char c = nibbles[i];
        const int fixed = hexDigit(c);
        if (fixed >= 0) {
            if (fixed != nibble)
                return Fit::None;
        } else {
            int &field = (*fields)[c - 'a'];
            field = (field < 0 ? 0 : field << 4) | nibble;
        }
    }
    return payload.size() == patternBytes ? Fit::Exact : Fit::Prefix;
}

const char *const kWhiteBalanceNames[] = {
    "auto",   "indoor",       "outdoor",     "one-push", "atw",
    "manual", "outdoor-auto", "sodium-auto", "sodium",   "sodium-outdoor-auto",
};

bool validSlot(int slot)
{
    return (slot >= 0 && slot <= 0x0F) || slot == ViscaModel::kCameraDefaultSlot;
}

QString slotName(int slot)
{
    return QString::number(slot, 16).toUpper();
}

// Direction bytes of the pan-tilt drive: 1 left / up, 2 right / down, 3 stop.
QString directionName(int value, const char *first, const char *second)
{
    switch (value) {
    case 1:
        return QString::fromLatin1(first);
    case 2:
        return QString::fromLatin1(second);
    case 3:
        return QStringLiteral("stop");
    default:
        return QStringLiteral("direction %1").arg(value);
    }
}

QString fieldText(int value, const QString &kind)
{
    if (value < 0)
        return QStringLiteral("?");
    if (kind == QLatin1String("x"))
        return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper();
    if (kind == QLatin1String("wb"))
        return ViscaModel::whiteBalanceName(value);
    if (kind == QLatin1String("slot"))
        return value == ViscaModel::kCameraDefaultSlot ? QStringLiteral("7F (camera default)")
                                                       : slotName(value);
    if (kind == QLatin1String("pan"))
        return directionName(value, "left", "right");
    if (kind == QLatin1String("tilt"))
        return directionName(value, "up", "down");
    return QString::number(value);
}

// The meaning text with its {field} and {field:kind} places filled in.
QString meaningText(const char *meaning, const Fields &fields)
{
    const QString text = QString::fromLatin1(meaning);
    QString out;
    int from = 0;
    for (int open = text.indexOf('{'); open >= 0; open = text.indexOf('{', from)) {
        const int close = text.indexOf('}', open);
        out += text.mid(from, open - from);
        const QString place = text.mid(open + 1, close - open - 1);
        const QString kind = place.mid(2);
        out += fieldText(fields[place.at(0).toLatin1() - 'a'], kind);
        from = close + 1;
    }
    return out + text.mid(from);
}

// Why a device leaves a command alone; empty when the command is its own.
QString notForDevice(Target target, int device)
{
    if (device >= 3 && device <= 7)
        return QStringLiteral("no device %1 on this line").arg(device);
    if (target == Target::Any)
        return QString();
    if (device == 8)
        return target == Target::Broadcast ? QString() : QStringLiteral("not a broadcast command");
    if (target == Target::Broadcast)
        return QStringLiteral("only meaningful as a broadcast");
    if (device == 1 && target == Target::Lamp)
        return QStringLiteral("the camera drives its own head, not the lamp");
    if (device == 2 && target == Target::Camera)
        return QStringLiteral("the lamp only follows the pan-tilt drive");
    return QString();
}

double driveRate(int speed) // units per second of a zoom or focus drive
{
    return (speed + 1) * 50.0;
}

const double kLampRatePerStep = 20.0; // lamp units per second per tilt speed step
const int kLampOffSpeed = 0x18;       // tilt down this fast: the lamp goes off
const int kFocusSearchSpeed = 7;      // auto and one-push focus move this fast
const double kHeadRatePerStep = 5.0;  // degrees per second per pan or tilt speed step

// Moves value towards target by at most step; true when it arrived.
bool approach(double &value, double target, double step)
{
    if (std::abs(target - value) <= step) {
        value = target;
        return true;
    }
    value += target > value ? step : -step;
    return false;
}

QString driveText(const ViscaModel::Drive &drive, const char *forward, const char *backward)
{
    if (drive.direction == 0)
        return QStringLiteral("stop");
    return QString::fromLatin1(drive.direction > 0 ? forward : backward)
        + QString::number(drive.speed);
}

bool isHeader(quint8 byte)
{
    return byte >= 0x81 && byte <= 0x88;
}

using State = ViscaModel::State;
using Picture = ViscaModel::Picture;
using FocusMode = ViscaModel::FocusMode;

// A memory recall: the stored picture, every camera drive stopped.
void recall(State &s, const Picture &picture)
{
    s.picture = picture;
    s.zoomDrive = {};
    s.focusDrive = {};
    s.onePushFocusing = false;
}

// The direction bytes of a pan-tilt drive, lamp or head.
bool validDirections(int pan, int tilt, QString *note)
{
    if (pan >= 1 && pan <= 3 && tilt >= 1 && tilt <= 3)
        return true;
    *note = QStringLiteral("directions are 01 (left / up), 02 (right / down) and 03 (stop)");
    return false;
}

// Carries out one command on the state. False when the device cannot do it
// as asked (the state is then unchanged); note says why, or adds a detail.
bool applyEffect(State &s, const Shape &shape, const Fields &fields, QString *note)
{
    Picture &pic = s.picture;
    const int p = fields['p' - 'a'];
    switch (shape.effect) {
    case Effect::ZoomDrive:
        s.zoomDrive = {shape.arg, shape.arg == 0 ? 0 : p};
        return true;
    case Effect::FocusDrive:
        if (shape.arg != 0) {
            if (pic.focusMode == FocusMode::Auto) {
                *note = QStringLiteral("focus is automatic; switch to manual focus first");
                return false;
            }
            pic.focusMode = FocusMode::Manual;
            s.onePushFocusing = false;
        }
        s.focusDrive = {shape.arg, shape.arg == 0 ? 0 : p};
        return true;
    case Effect::FocusMode:
        pic.focusMode = FocusMode(shape.arg);
        s.focusDrive = {};
        s.onePushFocusing = false;
        return true;
    case Effect::FocusOnePush:
        if (pic.focusMode == FocusMode::Auto) {
            *note = QStringLiteral("focus is automatic; the trigger works in manual focus");
            return false;
        }
        pic.focusMode = FocusMode::OnePush;
        s.focusDrive = {};
        s.onePushFocusing = true;
        return true;
    case Effect::WhiteBalance:
        if (p >= int(std::size(kWhiteBalanceNames))) {
            *note = QStringLiteral("this camera has white-balance modes 0..9 only");
            return false;
        }
        pic.whiteBalance = p;
        return true;
    case Effect::ExpComp:
        pic.expComp = shape.arg != 0;
        return true;
    case Effect::ExpCompStep: {
        const int wanted = shape.arg == 0 ? ViscaModel::kExpLevelNeutral : pic.expLevel + shape.arg;
        pic.expLevel
            = std::clamp(wanted, int(ViscaModel::kExpLevelMin), int(ViscaModel::kExpLevelMax));
        QStringList notes;
        if (pic.expLevel != wanted)
            notes << QStringLiteral("level already at its limit");
        if (!pic.expComp)
            notes << QStringLiteral("compensation is off; the level shows once it is on");
        *note = notes.join(QStringLiteral("; "));
        return true;
    }
    case Effect::Wdr:
        pic.wdr = shape.arg != 0;
        return true;
    case Effect::Memory: {
        const int slot = fields['m' - 'a'];
        if (!validSlot(slot)) {
            *note = QStringLiteral("no memory slot %1; slots are 0..F and 7F").arg(slotName(slot));
            return false;
        }
        if (shape.arg == MemoryReset) {
            s.memory.remove(slot);
        } else if (shape.arg == MemorySet) {
            s.memory.insert(slot, pic);
        } else {
            if (!s.memory.contains(slot))
                *note = QStringLiteral("the slot holds the factory settings");
            recall(s, s.memory.value(slot, Picture()));
        }
        return true;
    }
    case Effect::PanTiltDrive: {
        const int pan = fields['h' - 'a'];
        const int tilt = fields['t' - 'a'];
        const int tiltSpeed = fields['w' - 'a'];
        if (!validDirections(pan, tilt, note))
            return false;
        QStringList notes;
        if (pan != 3)
            notes << QStringLiteral("no pan axis, pan ignored");
        if (tilt == 3) {
            s.lampDrive = {};
            notes << QStringLiteral("lamp holds");
        } else if (tilt == 2 && tiltSpeed >= kLampOffSpeed) {
            s.lampDrive = {};
            s.lamp = 0;
            notes << QStringLiteral("lamp off");
        } else {
            s.lampDrive = {tilt == 1 ? +1 : -1, tiltSpeed};
            notes << (tilt == 1 ? QStringLiteral("lamp brightens") : QStringLiteral("lamp dims"));
        }
        *note = notes.join(QStringLiteral("; "));
        return true;
    }
    case Effect::HeadDrive: {
        const int pan = fields['h' - 'a'];
        const int tilt = fields['t' - 'a'];
        const int panSpeed = fields['v' - 'a'];
        const int tiltSpeed = fields['w' - 'a'];
        if (!validDirections(pan, tilt, note))
            return false;
        if ((pan != 3 && (panSpeed < 1 || panSpeed > ViscaModel::kPanTopSpeed))
            || (tilt != 3 && (tiltSpeed < 1 || tiltSpeed > ViscaModel::kTiltTopSpeed))) {
            *note = QStringLiteral("speeds are 01..18h (pan) and 01..14h (tilt)");
            return false;
        }
        s.panDrive
            = pan == 3 ? ViscaModel::Drive{} : ViscaModel::Drive{pan == 2 ? +1 : -1, panSpeed};
        s.tiltDrive
            = tilt == 3 ? ViscaModel::Drive{} : ViscaModel::Drive{tilt == 1 ? +1 : -1, tiltSpeed};
        return true;
    }
    case Effect::InterfaceClear:
        return true;
    case Effect::AddressSet:
        *note = QStringLiteral("the camera answers as device 1, the lamp as device 2");
        return true;
    }
    return false;
}

} // namespace

bool ViscaModel::Picture::operator==(const Picture &other) const
{
    return zoom == other.zoom && focus == other.focus && focusMode == other.focusMode
        && whiteBalance == other.whiteBalance && expComp == other.expComp
        && expLevel == other.expLevel && wdr == other.wdr;
}

QString ViscaModel::whiteBalanceName(int mode)
{
    if (mode >= 0 && mode < int(std::size(kWhiteBalanceNames)))
        return QString::fromLatin1(kWhiteBalanceNames[mode]);
    return QStringLiteral("mode %1").arg(mode);
}

QString ViscaModel::focusModeName(FocusMode mode)
{
    switch (mode) {
    case FocusMode::Auto:
        return QStringLiteral("auto");
    case FocusMode::Manual:
        return QStringLiteral("manual");
    case FocusMode::OnePush:
        return QStringLiteral("one-push");
    }
    return QString();
}

QString ViscaModel::Packet::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Command:
        return QStringLiteral("command");
    case Kind::Ignored:
        return QStringLiteral("ignored");
    case Kind::Unknown:
        return QStringLiteral("unknown");
    case Kind::Truncated:
        return QStringLiteral("truncated");
    case Kind::Malformed:
        return QStringLiteral("malformed");
    case Kind::Garbage:
        return QStringLiteral("garbage");
    }
    return QString();
}

QString ViscaModel::deviceName(int device)
{
    switch (device) {
    case 0:
        return QStringLiteral("line");
    case 1:
        return QStringLiteral("camera");
    case 2:
        return QStringLiteral("lamp");
    case 8:
        return QStringLiteral("broadcast");
    default:
        return QStringLiteral("device %1").arg(device);
    }
}

QString ViscaModel::hexBytes(const QByteArray &bytes)
{
    return QString::fromLatin1(bytes.toHex(' ').toUpper());
}

ViscaModel::ViscaModel() = default;

QList<ViscaModel::Packet> ViscaModel::feed(const QByteArray &bytes)
{
    QList<Packet> out;
    for (const char c : bytes) {
        const quint8 byte = quint8(c);
        if (!pending.isEmpty()) {
            if (isHeader(byte)) { // a new packet starts: the open one was cut short
                out << finish(decode(pending));
                pending = QByteArray(1, c);
            } else if (byte == 0xFF) {
                pending += c;
                out << finish(decode(pending));
                pending.clear();
            } else if (pending.size() + 1 >= kMaxPacket) {
                Packet packet;
                packet.kind = Packet::Kind::Malformed;
                packet.bytes = pending + c;
                packet.device = quint8(pending[0]) & 0x0F;
                packet.note = QStringLiteral("no terminator FF within %1 bytes").arg(kMaxPacket);
                pending.clear();
                out << finish(packet);
            } else {
                pending += c;
            }
        } else if (isHeader(byte)) {
            takeGarbage(&out);
            pending = QByteArray(1, c);
        } else {
            garbage += c;
            if (byte == 0xFF || garbage.size() >= kMaxPacket)
                takeGarbage(&out);
        }
    }
    return out;
}

QList<ViscaModel::Packet> ViscaModel::flush()
{
    QList<Packet> out;
    takeGarbage(&out);
    if (!pending.isEmpty()) {
        out << finish(decode(pending));
        pending.clear();
    }
    return out;
}

void ViscaModel::takeGarbage(QList<Packet> *out)
{
    if (garbage.isEmpty())
        return;
    Packet packet;
    packet.kind = Packet::Kind::Garbage;
    packet.bytes = garbage;
    packet.note = QStringLiteral("no packet header (81..88) before these bytes");
    garbage.clear();
    *out << finish(packet);
}

ViscaModel::Packet ViscaModel::decode(const QByteArray &bytes)
{
    Packet packet;
    packet.bytes = bytes;
    packet.device = quint8(bytes[0]) & 0x0F;
    const bool terminated = bytes.size() > 1 && quint8(bytes.back()) == 0xFF;
    const QByteArray payload = bytes.mid(1, bytes.size() - (terminated ? 2 : 1));

    if (terminated && payload.isEmpty()) {
        packet.kind = Packet::Kind::Malformed;
        packet.note = QStringLiteral("empty packet");
        return packet;
    }
    for (const char c : payload) {
        if (quint8(c) >= 0x80) {
            packet.kind = Packet::Kind::Malformed;
            packet.note = QStringLiteral("byte %1 inside a packet (only 00..7F belong there)")
                              .arg(hexBytes(QByteArray(1, c)));
            return packet;
        }
    }

    Fields fields;
    const Shape *awayFrom = nullptr; // the first command that fits, but another device's
    Fields awayFields;
    QString awayNote;
    const Shape *startOf = nullptr; // the one command this packet could be the start of
    Fields startFields;
    int starts = 0;
    for (const Shape &shape : kShapes) {
        const Fit how = fit(shape.pattern, payload, &fields);
        if (how == Fit::Exact && terminated) {
            const QString away = notForDevice(shape.target, packet.device);
            if (!away.isEmpty()) {
                // The same bytes may mean something to another device's row.
                if (!awayFrom) {
                    awayFrom = &shape;
                    awayFields = fields;
                    awayNote = away;
                }
                continue;
            }
            packet.meaning = meaningText(shape.meaning, fields);
            packet.kind = applyEffect(current, shape, fields, &packet.note) ? Packet::Kind::Command
                                                                            : Packet::Kind::Ignored;
            return packet;
        }
        if (how != Fit::None && ++starts == 1) {
            startOf = &shape;
            startFields = fields;
        }
    }

    if (awayFrom) {
        packet.kind = Packet::Kind::Ignored;
        packet.meaning = meaningText(awayFrom->meaning, awayFields);
        packet.note = awayNote;
        return packet;
    }
    if (!terminated || starts > 0) {
        packet.kind = Packet::Kind::Truncated;
        QStringList notes;
        if (starts == 1)
            packet.meaning = meaningText(startOf->meaning, startFields);
        else if (starts > 1)
            notes << QStringLiteral("the start of %1 commands").arg(starts);
        notes << (terminated ? QStringLiteral("ends after %1 bytes").arg(bytes.size())
                             : QStringLiteral("no terminator FF"));
        packet.note = notes.join(QStringLiteral("; "));
        return packet;
    }
    packet.kind = Packet::Kind::Unknown;
    return packet;
}

ViscaModel::Packet ViscaModel::finish(Packet packet)
{
    ++current.packets;
    packet.state = current;

    QString what;
    switch (packet.kind) {
    case Packet::Kind::Command:
        what = packet.meaning;
        break;
    case Packet::Kind::Unknown:
        what = QStringLiteral("unknown command");
        break;
    case Packet::Kind::Garbage:
        what = QStringLiteral("garbage skipped");
        break;
    default:
        what = Packet::kindName(packet.kind);
        if (!packet.meaning.isEmpty())
            what += QStringLiteral(": ") + packet.meaning;
        break;
    }
    if (!packet.note.isEmpty())
        what += QStringLiteral(" (") + packet.note + QLatin1Char(')');

    packet.logLine = QStringLiteral("%1 s %2 [%3] %4 | %5")
                         .arg(current.timeMs / 1000.0, 9, 'f', 3)
                         .arg(deviceName(packet.device), -9)
                         .arg(hexBytes(packet.bytes), what, stateText(current));
    return packet;
}

void ViscaModel::tick(qint64 elapsedMs)
{
    if (elapsedMs <= 0)
        return;
    const double seconds = elapsedMs / 1000.0;
    State &s = current;
    Picture &pic = s.picture;
    s.timeMs += elapsedMs;

    const auto drive = [seconds](double &value, const Drive &d, double rate, double top) {
        if (d.direction != 0)
            value = std::clamp(value + d.direction * rate * seconds, 0.0, top);
    };
    drive(pic.zoom, s.zoomDrive, driveRate(s.zoomDrive.speed), kRange);
    if (pic.focusMode == FocusMode::Auto || s.onePushFocusing) {
        if (approach(pic.focus, kSharpFocus, driveRate(kFocusSearchSpeed) * seconds))
            s.onePushFocusing = false;
    } else {
        drive(pic.focus, s.focusDrive, driveRate(s.focusDrive.speed), kRange);
    }
    drive(s.lamp, s.lampDrive, s.lampDrive.speed * kLampRatePerStep, kLampFull);
    const auto turn = [seconds](double &angle, const Drive &d, double low, double high) {
        if (d.direction != 0)
            angle
                = std::clamp(angle + d.direction * d.speed * kHeadRatePerStep * seconds, low, high);
    };
    turn(s.pan, s.panDrive, -kPanLimit, kPanLimit);
    turn(s.tilt, s.tiltDrive, kTiltDownLimit, kTiltUpLimit);
}

bool ViscaModel::moving() const
{
    const State &s = current;
    const bool searching = (s.picture.focusMode == FocusMode::Auto || s.onePushFocusing)
        && s.picture.focus != kSharpFocus;
    return searching || s.zoomDrive.direction != 0 || s.focusDrive.direction != 0
        || s.lampDrive.direction != 0 || s.panDrive.direction != 0 || s.tiltDrive.direction != 0;
}

QList<QPair<QString, QVariant>> ViscaModel::stateValues(const State &s)
{
    const auto onOff = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    QStringList stored;
    for (auto it = s.memory.cbegin(); it != s.memory.cend(); ++it)
        stored << slotName(it.key());
    return {
        {QStringLiteral("zoom"), qRound(s.picture.zoom)},
        {QStringLiteral("focus"), qRound(s.picture.focus)},
        {QStringLiteral("focusMode"), focusModeName(s.picture.focusMode)},
        {QStringLiteral("wb"), whiteBalanceName(s.picture.whiteBalance)},
        {QStringLiteral("expComp"), onOff(s.picture.expComp)},
        {QStringLiteral("expLevel"), s.picture.expLevel},
        {QStringLiteral("wdr"), onOff(s.picture.wdr)},
        {QStringLiteral("lamp"), qRound(s.lamp)},
        {QStringLiteral("pan"), qRound(s.pan)},
        {QStringLiteral("tilt"), qRound(s.tilt)},
        {QStringLiteral("zoomDrive"), driveText(s.zoomDrive, "tele", "wide")},
        {QStringLiteral("focusDrive"), driveText(s.focusDrive, "far", "near")},
        {QStringLiteral("lampDrive"), driveText(s.lampDrive, "up", "down")},
        {QStringLiteral("panDrive"), driveText(s.panDrive, "right", "left")},
        {QStringLiteral("tiltDrive"), driveText(s.tiltDrive, "up", "down")},
        {QStringLiteral("memory"),
         stored.isEmpty() ? QStringLiteral("none") : stored.join(QLatin1Char(','))},
        {QStringLiteral("packets"), s.packets},
    };
}

QString ViscaModel::stateText(const State &state)
{
    QStringList pairs;
    for (const auto &pair : stateValues(state))
        pairs << pair.first + QLatin1Char('=') + pair.second.toString();
    return pairs.join(QLatin1Char(' '));
}

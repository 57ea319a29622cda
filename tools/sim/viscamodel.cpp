#include "viscamodel.h"

#include "viscaipframing.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {

using Camera = ViscaModel::Camera;
using Picture = ViscaModel::Picture;
using FocusMode = ViscaModel::FocusMode;
using Power = ViscaModel::Power;
using Route = ViscaModel::Route;
using Job = ViscaModel::Job;
using Answer = ViscaModel::Answer;
using RecallForm = ViscaModel::RecallForm;

// Which device a command belongs to.
enum class Target {
    Camera,    // a camera
    Lamp,      // the lamp: a pan-tilt drive whose tilt axis dims it
    Broadcast, // header 88 only
    Any,       // every device and the broadcast
};

enum class Effect {
    ZoomDrive,      // arg: +1 tele, -1 wide, 0 stop; speed field p (none: standard speed)
    FocusDrive,     // arg: +1 far, -1 near, 0 stop; speed field p (none: standard speed)
    ZoomDirect,     // position field p
    FocusDirect,    // position field p
    FocusMode,      // arg: a FocusMode
    FocusOnePush,   // one-push trigger
    WhiteBalance,   // mode field p
    WbOnePush,      // the one-push white-balance trigger
    ExpComp,        // arg: 1 on, 0 off
    LevelUp,        // arg: a Level; one step up
    LevelDown,      // arg: a Level; one step down
    LevelReset,     // arg: a Level; back to its neutral position
    LevelDirect,    // arg: a Level; position field p
    Wdr,            // arg: 1 on, 0 off
    AeMode,         // mode field p
    Backlight,      // arg: 1 on, 0 off
    Memory,         // arg: a MemoryOperation; preset field m
    RecallSpeed,    // preset field m, speed field q
    RecallSpeedAll, // speed field q, every preset's at once
    PanTiltDrive,   // speeds v (pan), w (tilt); directions h (pan), t (tilt)
    HeadDrive,      // the same fields, turning the camera's own head
    HeadTo,         // arg: a HeadMove; speeds v, w; positions y (pan), z (tilt)
    Power,          // arg: 1 on, 0 standby
    Tally,          // arg: 1 on, 0 off
    Cancel,         // socket field z
    InterfaceClear, // empties the command sockets
    AddressSet,     // first address field n
    Inquiry,        // arg: a Question
};

enum MemoryOperation { MemoryReset, MemorySet, MemoryRecall };
enum Level { ExpCompLevel, BrightLevel, GainLevel };
enum HeadMove { Absolute, Relative, Home, Reset };
enum Question {
    Version,
    PowerState,
    ZoomPosition,
    FocusPosition,
    FocusModeState,
    HeadPosition,
    WhiteBalanceMode,
    ExpCompState,
    ExpLevel,
    WdrState,
    TallyState,
    RecallSpeedOf,
    AeModeState,
    BrightPosition,
    GainPosition,
    BacklightState,
    LensBlock,
    CameraBlock,
    OtherBlock,
};

// One command the far end knows. The pattern spells the bytes between the
// header and the terminator FF: upper-case hex digits must match, lower-case
// letters g..z are nibbles of a field named by that letter, so "2p" is a byte
// whose high nibble is 2 and whose low nibble is field p, "mm" a whole byte
// field m, and "0p 0p 0p 0p" a 16-bit field p spread over four bytes. The
// meaning is shown with {f} (field f in decimal), {f:x} (two hex digits),
// {f:x4} (four) or {f:kind} (a named value, see fieldText).
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
    {Target::Camera, "01 04 07 02", Effect::ZoomDrive, +1, "zoom tele, standard speed"},
    {Target::Camera, "01 04 07 03", Effect::ZoomDrive, -1, "zoom wide, standard speed"},
    {Target::Camera, "01 04 07 2p", Effect::ZoomDrive, +1, "zoom tele, speed {p}"},
    {Target::Camera, "01 04 07 3p", Effect::ZoomDrive, -1, "zoom wide, speed {p}"},
    {Target::Camera, "01 04 47 0p 0p 0p 0p", Effect::ZoomDirect, 0, "zoom to {p:x4}"},
    {Target::Camera, "01 04 08 00", Effect::FocusDrive, 0, "focus stop"},
    {Target::Camera, "01 04 08 02", Effect::FocusDrive, +1, "focus far, standard speed"},
    {Target::Camera, "01 04 08 03", Effect::FocusDrive, -1, "focus near, standard speed"},
    {Target::Camera, "01 04 08 2p", Effect::FocusDrive, +1, "focus far, speed {p}"},
    {Target::Camera, "01 04 08 3p", Effect::FocusDrive, -1, "focus near, speed {p}"},
    {Target::Camera, "01 04 48 0p 0p 0p 0p", Effect::FocusDirect, 0, "focus to {p:x4}"},
    {Target::Camera, "01 04 38 02", Effect::FocusMode, int(FocusMode::Auto), "auto focus"},
    {Target::Camera, "01 04 38 03", Effect::FocusMode, int(FocusMode::Manual), "manual focus"},
    {Target::Camera, "01 04 18 01", Effect::FocusOnePush, 0, "one-push focus trigger"},
    {Target::Camera, "01 04 35 0p", Effect::WhiteBalance, 0, "white balance {p:wb}"},
    {Target::Camera, "01 04 3E 02", Effect::ExpComp, 1, "exposure compensation on"},
    {Target::Camera, "01 04 3E 03", Effect::ExpComp, 0, "exposure compensation off"},
    {Target::Camera, "01 04 0E 00", Effect::LevelReset, ExpCompLevel,
     "exposure compensation reset"},
    {Target::Camera, "01 04 0E 02", Effect::LevelUp, ExpCompLevel, "exposure compensation up"},
    {Target::Camera, "01 04 0E 03", Effect::LevelDown, ExpCompLevel, "exposure compensation down"},
    {Target::Camera, "01 04 3D 02", Effect::Wdr, 1, "wide dynamic range on"},
    {Target::Camera, "01 04 3D 03", Effect::Wdr, 0, "wide dynamic range off"},
    {Target::Camera, "01 04 10 05", Effect::WbOnePush, 0, "one-push white balance trigger"},
    {Target::Camera, "01 04 39 0p", Effect::AeMode, 0, "AE mode {p:ae}"},
    {Target::Camera, "01 04 0D 00", Effect::LevelReset, BrightLevel, "bright reset"},
    {Target::Camera, "01 04 0D 02", Effect::LevelUp, BrightLevel, "bright up"},
    {Target::Camera, "01 04 0D 03", Effect::LevelDown, BrightLevel, "bright down"},
    {Target::Camera, "01 04 4D 00 00 0p 0p", Effect::LevelDirect, BrightLevel, "bright {p:x}h"},
    {Target::Camera, "01 04 0C 00", Effect::LevelReset, GainLevel, "gain reset"},
    {Target::Camera, "01 04 0C 02", Effect::LevelUp, GainLevel, "gain up"},
    {Target::Camera, "01 04 0C 03", Effect::LevelDown, GainLevel, "gain down"},
    {Target::Camera, "01 04 4C 00 00 0p 0p", Effect::LevelDirect, GainLevel, "gain {p:x}h"},
    {Target::Camera, "01 04 33 02", Effect::Backlight, 1, "backlight compensation on"},
    {Target::Camera, "01 04 33 03", Effect::Backlight, 0, "backlight compensation off"},
    {Target::Camera, "01 04 3F 00 mm", Effect::Memory, MemoryReset, "memory reset {m:slot}"},
    {Target::Camera, "01 04 3F 01 mm", Effect::Memory, MemorySet, "memory set {m:slot}"},
    {Target::Camera, "01 04 3F 02 mm", Effect::Memory, MemoryRecall, "memory recall {m:slot}"},
    {Target::Camera, "01 7E 01 0B mm qq", Effect::RecallSpeed, 0,
     "recall speed of memory {m:slot}: {q:x}h"},
    // One recall speed for every memory, on cameras that take this form: the
    // pan-tilt drive's first bytes, told apart by its length (6 bytes to 9).
    {Target::Camera, "01 06 01 qq", Effect::RecallSpeedAll, 0,
     "recall speed of every memory: {q:x}h"},
    {Target::Lamp, "01 06 01 vv ww 0h 0t", Effect::PanTiltDrive, 0,
     "pan-tilt drive: tilt {t:tilt} at {w:x}h, pan {h:pan} at {v:x}h"},
    {Target::Camera, "01 06 01 vv ww 0h 0t", Effect::HeadDrive, 0,
     "pan-tilt drive: pan {h:pan} at {v:x}h, tilt {t:tilt} at {w:x}h"},
    {Target::Camera, "01 06 02 vv ww 0y 0y 0y 0y 0z 0z 0z 0z", Effect::HeadTo, Absolute,
     "pan-tilt absolute: pan {y:x4}, tilt {z:x4} at {v:x}h, {w:x}h"},
    {Target::Camera, "01 06 03 vv ww 0y 0y 0y 0y 0z 0z 0z 0z", Effect::HeadTo, Relative,
     "pan-tilt relative: pan {y:x4}, tilt {z:x4} at {v:x}h, {w:x}h"},
    {Target::Camera, "01 06 04", Effect::HeadTo, Home, "pan-tilt home"},
    {Target::Camera, "01 06 05", Effect::HeadTo, Reset, "pan-tilt reset"},
    {Target::Camera, "01 04 00 02", Effect::Power, 1, "power on"},
    {Target::Camera, "01 04 00 03", Effect::Power, 0, "power standby"},
    {Target::Camera, "01 7E 01 0A 00 02", Effect::Tally, 1, "tally on"},
    {Target::Camera, "01 7E 01 0A 00 03", Effect::Tally, 0, "tally off"},
    {Target::Camera, "2z", Effect::Cancel, 0, "command cancel, socket {z}"},
    {Target::Any, "01 00 01", Effect::InterfaceClear, 0, "interface clear"},
    {Target::Broadcast, "30 0n", Effect::AddressSet, 0, "address set, first device {n}"},
    {Target::Camera, "09 00 02", Effect::Inquiry, Version, "version inquiry"},
    {Target::Camera, "09 04 00", Effect::Inquiry, PowerState, "power inquiry"},
    {Target::Camera, "09 04 47", Effect::Inquiry, ZoomPosition, "zoom position inquiry"},
    {Target::Camera, "09 04 48", Effect::Inquiry, FocusPosition, "focus position inquiry"},
    {Target::Camera, "09 04 38", Effect::Inquiry, FocusModeState, "focus mode inquiry"},
    {Target::Camera, "09 06 12", Effect::Inquiry, HeadPosition, "pan-tilt position inquiry"},
    {Target::Camera, "09 04 35", Effect::Inquiry, WhiteBalanceMode, "white balance inquiry"},
    {Target::Camera, "09 04 3E", Effect::Inquiry, ExpCompState, "exposure compensation inquiry"},
    {Target::Camera, "09 04 4E", Effect::Inquiry, ExpLevel, "exposure level inquiry"},
    {Target::Camera, "09 04 3D", Effect::Inquiry, WdrState, "wide dynamic range inquiry"},
    {Target::Camera, "09 7E 01 0A", Effect::Inquiry, TallyState, "tally inquiry"},
    {Target::Camera, "09 7E 01 0B mm", Effect::Inquiry, RecallSpeedOf,
     "recall speed inquiry, memory {m:slot}"},
    {Target::Camera, "09 04 39", Effect::Inquiry, AeModeState, "AE mode inquiry"},
    {Target::Camera, "09 04 4D", Effect::Inquiry, BrightPosition, "bright inquiry"},
    {Target::Camera, "09 04 4C", Effect::Inquiry, GainPosition, "gain inquiry"},
    {Target::Camera, "09 04 33", Effect::Inquiry, BacklightState, "backlight inquiry"},
    {Target::Camera, "09 7E 7E 00", Effect::Inquiry, LensBlock, "lens block inquiry"},
    {Target::Camera, "09 7E 7E 01", Effect::Inquiry, CameraBlock, "camera block inquiry"},
    {Target::Camera, "09 7E 7E 02", Effect::Inquiry, OtherBlock, "other block inquiry"},
};

// What carrying out a command came to.
enum class Outcome {
    Done,          // finished at once: acknowledge and completion
    Running,       // acknowledged; completes later
    Syntax,        // refused: a parameter out of range
    NotExecutable, // refused: not in the camera's current state
};

// Field values by letter; -1 where the packet ended before the field.
using Fields = std::array<int, 26>;

int field(const Fields &fields, char letter)
{
    return fields[letter - 'a'];
}

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
            int &value = (*fields)[c - 'a'];
            value = (value < 0 ? 0 : value << 4) | nibble;
        }
    }
    return payload.size() == patternBytes ? Fit::Exact : Fit::Prefix;
}

const char *const kWhiteBalanceNames[] = {
    "auto",   "indoor",       "outdoor",     "one-push", "atw",
    "manual", "outdoor-auto", "sodium-auto", "sodium",   "sodium-outdoor-auto",
};
const int kWhiteBalanceOnePush = 3;

const int kAeManual = 0x03;
const int kAeBright = 0x0D;
const struct
{
    int mode;
    const char *name;
} kAeModes[] = {{0x00, "auto"},
                {kAeManual, "manual"},
                {0x0A, "shutter"},
                {0x0B, "iris"},
                {kAeBright, "bright"}};

// A position of the picture with up, down and reset steps and a direct
// form: 0..high, `neutral` after a reset. It shows in the picture only when
// inUse; the note says when that is.
struct LevelSpec
{
    int Picture::*value;
    int high;
    int neutral;
    bool (*inUse)(const Picture &);
    const char *unused;
};

const LevelSpec kLevels[] = {
    {&Picture::expLevel, ViscaModel::kExpLevelMax, ViscaModel::kExpLevelNeutral,
     [](const Picture &p) { return p.expComp; },
     "compensation is off; the level shows once it is on"},
    {&Picture::bright, ViscaModel::kBrightMax, ViscaModel::kBrightNeutral,
     [](const Picture &p) { return p.aeMode == kAeBright; },
     "the bright level shows in AE mode bright"},
    {&Picture::gain, ViscaModel::kGainMax, 0,
     [](const Picture &p) { return p.aeMode == kAeManual; }, "the gain shows in AE mode manual"},
};

bool validSlot(int slot, int presets)
{
    return (slot >= 0 && slot < presets) || slot == ViscaModel::kCameraDefaultSlot;
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
    if (kind == QLatin1String("x") || kind == QLatin1String("x4"))
        return QStringLiteral("%1")
            .arg(value, kind.size() == 1 ? 2 : 4, 16, QLatin1Char('0'))
            .toUpper();
    if (kind == QLatin1String("wb"))
        return ViscaModel::whiteBalanceName(value);
    if (kind == QLatin1String("ae")) {
        const QString name = ViscaModel::aeModeName(value);
        return name.isEmpty() ? QStringLiteral("%1 (no such mode)").arg(value) : name;
    }
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
        out += fieldText(field(fields, place.at(0).toLatin1()), kind);
        from = close + 1;
    }
    return out + text.mid(from);
}

double driveRate(int speed) // units per second of a zoom or focus drive
{
    return (speed + 1) * 50.0;
}

const int kTopLensSpeed = 7;          // zoom and focus drives: speeds 0..7
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

// The camera's answers: y0 with y = its address + 8, then 4z (acknowledge),
// 5z (completion, inquiry data after it) or 6z and an error code, then FF.
QByteArray answer(int address, int second, const QByteArray &data = QByteArray())
{
    return char((address + 8) << 4) + (char(second) + data) + char(0xFF);
}

QByteArray acknowledge(int address, int socket)
{
    return answer(address, 0x40 | socket);
}

QByteArray completion(int address, int socket, const QByteArray &data = QByteArray())
{
    return answer(address, 0x50 | socket, data);
}

QByteArray error(int address, int socket, int code)
{
    return answer(address, 0x60 | socket, QByteArray(1, char(code)));
}

// A value as `count` bytes 0p, most significant nibble first.
QByteArray nibbles(int value, int count)
{
    QByteArray bytes;
    for (int i = count - 1; i >= 0; --i)
        bytes += char((value >> (4 * i)) & 0x0F);
    return bytes;
}

QByteArray onOff(bool on)
{
    return QByteArray(1, on ? 0x02 : 0x03);
}

QByteArray zoomPosition(const Picture &pic)
{
    return nibbles(qRound(pic.zoom * ViscaModel::kZoomTelePosition / ViscaModel::kRange), 4);
}

QByteArray focusPosition(const Picture &pic)
{
    const double span = ViscaModel::kFocusNearPosition - ViscaModel::kFocusFarPosition;
    return nibbles(qRound(ViscaModel::kFocusNearPosition - pic.focus * span / ViscaModel::kRange),
                   4);
}

// The camera's address on a route: always 1 on the network.
int addressOn(const Camera &camera, Route route)
{
    return route == Route::Network ? 1 : camera.address;
}

// Every command socket a running command may hold.
QList<Job *> jobs(Camera &camera)
{
    return {&camera.headJob, &camera.zoomJob, &camera.focusJob, &camera.wakeJob};
}

Job *jobOn(Camera &camera, int socket)
{
    for (Job *job : jobs(camera)) {
        if (socket > 0 && job->socket == socket)
            return job;
    }
    return nullptr;
}

int freeSocket(Camera &camera)
{
    for (int socket = 1; socket <= ViscaModel::kSockets; ++socket) {
        if (!jobOn(camera, socket))
            return socket;
    }
    return 0;
}

// A running command ends (a later one took over, or it arrived): its
// completion goes back the way it came.
void endJob(Camera &camera, Job &job, QList<Answer> *outbox)
{
    if (job.socket == 0)
        return;
    const int address = addressOn(camera, job.route);
    if (address > 0)
        *outbox << Answer{camera.number, job.route, completion(address, job.socket)};
    job = Job();
}

bool headArrived(const Camera &camera)
{
    return camera.pan == camera.panTravel.target && camera.tilt == camera.tiltTravel.target;
}

// Starts the head towards a position; Done when it is there already.
Outcome headTo(Camera &camera, double pan, double tilt, double panRate, double tiltRate,
               const Job &job, QList<Answer> *outbox)
{
    endJob(camera, camera.headJob, outbox);
    camera.panDrive = {};
    camera.tiltDrive = {};
    camera.panTravel = {pan, panRate};
    camera.tiltTravel = {tilt, tiltRate};
    if (headArrived(camera))
        return Outcome::Done;
    camera.headJob = job;
    return Outcome::Running;
}

// Starts the zoom or focus towards a position; Done when it is there already.
Outcome lensTo(double value, ViscaModel::Travel &travel, Job &slot, double target, const Job &job)
{
    travel = {target, driveRate(kTopLensSpeed)};
    if (value == target)
        return Outcome::Done;
    slot = job;
    return Outcome::Running;
}

// A serial camera that came up says so on its line (y0 38 FF), so the
// controller numbers the chain again.
void announce(const Camera &camera, QList<Answer> *outbox)
{
    if (camera.serial && camera.address > 0)
        *outbox << Answer{camera.number, Route::Serial, answer(camera.address, 0x38)};
}

// A memory recall: the stored picture at once, every drive stopped, the
// head on its way at the preset's speed.
Outcome recall(Camera &camera, int slot, const Job &job, QList<Answer> *outbox)
{
    const ViscaModel::Preset preset = camera.memory.value(slot);
    endJob(camera, camera.zoomJob, outbox);
    endJob(camera, camera.focusJob, outbox);
    camera.picture = preset.picture;
    camera.zoomDrive = {};
    camera.focusDrive = {};
    camera.onePushFocusing = false;
    const double rate = (camera.recallForm == RecallForm::Global
                             ? camera.recallSpeedAll
                             : camera.recallSpeed.value(slot, ViscaModel::kRecallTopSpeed))
        * kHeadRatePerStep;
    return headTo(camera, preset.pan, preset.tilt, rate, rate, job, outbox);
}

// The direction bytes of a pan-tilt drive, lamp or head.
bool validDirections(int pan, int tilt, QString *note)
{
    if (pan >= 1 && pan <= 3 && tilt >= 1 && tilt <= 3)
        return true;
    *note = QStringLiteral("directions are 01 (left / up), 02 (right / down) and 03 (stop)");
    return false;
}

// A signed 16-bit position on the wire, in degrees.
double degrees(int position)
{
    return qint16(quint16(position)) / ViscaModel::kPositionPerDegree;
}

bool withinHead(double pan, double tilt)
{
    // Positions on the wire are whole units: a limit may come back a hair over.
    const double slack = 0.5 / ViscaModel::kPositionPerDegree;
    return std::abs(pan) <= ViscaModel::kPanLimit + slack
        && tilt <= ViscaModel::kTiltUpLimit + slack && tilt >= ViscaModel::kTiltDownLimit - slack;
}

// Carries out one camera command (not an inquiry, cancel or interface
// clear) that was given socket job.socket. The state is unchanged when it is
// refused, but for a refused drive, which stops the drive it would replace.
Outcome apply(Camera &c, const Shape &shape, const Fields &fields, const Job &job, qint64 wakeMs,
              QString *note, QList<Answer> *outbox)
{
    Picture &pic = c.picture;
    const int p = field(fields, 'p');
    switch (shape.effect) {
    case Effect::ZoomDrive: {
        const int speed = p < 0 ? ViscaModel::kStandardSpeed : p;
        endJob(c, c.zoomJob, outbox);
        if (shape.arg != 0 && speed > kTopLensSpeed) {
            c.zoomDrive = {};
            *note = QStringLiteral("zoom speeds are 0..7; the zoom stops");
            return Outcome::Syntax;
        }
        c.zoomDrive = {shape.arg, shape.arg == 0 ? 0 : speed};
        return Outcome::Done;
    }
    case Effect::FocusDrive: {
        const int speed = p < 0 ? ViscaModel::kStandardSpeed : p;
        if (shape.arg != 0 && speed > kTopLensSpeed) {
            endJob(c, c.focusJob, outbox);
            c.focusDrive = {};
            *note = QStringLiteral("focus speeds are 0..7; the focus stops");
            return Outcome::Syntax;
        }
        if (shape.arg != 0) {
            if (pic.focusMode == FocusMode::Auto) {
                *note = QStringLiteral("focus is automatic; switch to manual focus first");
                return Outcome::NotExecutable;
            }
            pic.focusMode = FocusMode::Manual;
            c.onePushFocusing = false;
        }
        endJob(c, c.focusJob, outbox);
        c.focusDrive = {shape.arg, shape.arg == 0 ? 0 : speed};
        return Outcome::Done;
    }
    case Effect::ZoomDirect:
        if (p > ViscaModel::kZoomTelePosition) {
            *note = QStringLiteral("zoom positions are 0000..4000");
            return Outcome::Syntax;
        }
        endJob(c, c.zoomJob, outbox);
        c.zoomDrive = {};
        return lensTo(pic.zoom, c.zoomTravel, c.zoomJob,
                      double(p) * ViscaModel::kRange / ViscaModel::kZoomTelePosition, job);
    case Effect::FocusDirect: {
        if (p < ViscaModel::kFocusFarPosition || p > ViscaModel::kFocusNearPosition) {
            *note = QStringLiteral("focus positions are 1000 (far) .. F000 (near)");
            return Outcome::Syntax;
        }
        if (pic.focusMode == FocusMode::Auto) {
            *note = QStringLiteral("focus is automatic; switch to manual focus first");
            return Outcome::NotExecutable;
        }
        endJob(c, c.focusJob, outbox);
        pic.focusMode = FocusMode::Manual;
        c.onePushFocusing = false;
        c.focusDrive = {};
        const double span = ViscaModel::kFocusNearPosition - ViscaModel::kFocusFarPosition;
        return lensTo(pic.focus, c.focusTravel, c.focusJob,
                      (ViscaModel::kFocusNearPosition - p) * ViscaModel::kRange / span, job);
    }
    case Effect::FocusMode:
        endJob(c, c.focusJob, outbox);
        pic.focusMode = FocusMode(shape.arg);
        c.focusDrive = {};
        c.onePushFocusing = false;
        return Outcome::Done;
    case Effect::FocusOnePush:
        if (pic.focusMode == FocusMode::Auto) {
            *note = QStringLiteral("focus is automatic; the trigger works in manual focus");
            return Outcome::NotExecutable;
        }
        endJob(c, c.focusJob, outbox);
        pic.focusMode = FocusMode::OnePush;
        c.focusDrive = {};
        c.onePushFocusing = true;
        return Outcome::Done;
    case Effect::WhiteBalance:
        if (p >= int(std::size(kWhiteBalanceNames))) {
            *note = QStringLiteral("this camera has white-balance modes 0..9 only");
            return Outcome::Syntax;
        }
        pic.whiteBalance = p;
        return Outcome::Done;
    case Effect::WbOnePush:
        if (pic.whiteBalance != kWhiteBalanceOnePush) {
            *note = QStringLiteral("white balance is %1; the trigger works in one-push mode")
                        .arg(ViscaModel::whiteBalanceName(pic.whiteBalance));
            return Outcome::NotExecutable;
        }
        return Outcome::Done;
    case Effect::ExpComp:
        pic.expComp = shape.arg != 0;
        return Outcome::Done;
    case Effect::LevelUp:
    case Effect::LevelDown:
    case Effect::LevelReset:
    case Effect::LevelDirect: {
        const LevelSpec &level = kLevels[shape.arg];
        int wanted = level.neutral;
        if (shape.effect == Effect::LevelDirect) {
            if (p > level.high) {
                *note = QStringLiteral("positions are 00..%1h")
                            .arg(QString::number(level.high, 16).toUpper());
                return Outcome::Syntax;
            }
            wanted = p;
        } else if (shape.effect != Effect::LevelReset) {
            wanted = pic.*level.value + (shape.effect == Effect::LevelUp ? 1 : -1);
        }
        pic.*level.value = std::clamp(wanted, 0, level.high);
        QStringList notes;
        if (pic.*level.value != wanted)
            notes << QStringLiteral("already at its limit");
        if (!level.inUse(pic))
            notes << QString::fromLatin1(level.unused);
        *note = notes.join(QStringLiteral("; "));
        return Outcome::Done;
    }
    case Effect::Wdr:
        pic.wdr = shape.arg != 0;
        return Outcome::Done;
    case Effect::AeMode:
        if (ViscaModel::aeModeName(p).isEmpty()) {
            *note = QStringLiteral("AE modes are 00, 03, 0A, 0B and 0D");
            return Outcome::Syntax;
        }
        pic.aeMode = p;
        return Outcome::Done;
    case Effect::Backlight:
        pic.backlight = shape.arg != 0;
        return Outcome::Done;
    case Effect::Memory: {
        const int slot = field(fields, 'm');
        if (!validSlot(slot, c.presets)) {
            *note = QStringLiteral("no memory %1; this camera has 0..%2 and 7F")
                        .arg(slotName(slot), slotName(c.presets - 1));
            return Outcome::Syntax;
        }
        if (shape.arg == MemoryReset) {
            c.memory.remove(slot);
            return Outcome::Done;
        }
        if (shape.arg == MemorySet) {
            c.memory.insert(slot, {pic, c.pan, c.tilt});
            return Outcome::Done;
        }
        if (!c.memory.contains(slot))
            *note = QStringLiteral("the memory holds the factory settings");
        return recall(c, slot, job, outbox);
    }
    case Effect::RecallSpeed: {
        const int slot = field(fields, 'm');
        const int speed = field(fields, 'q');
        if (c.recallForm != RecallForm::PerPreset) {
            *note = QStringLiteral("this camera has one recall speed for all memories");
            return Outcome::Syntax;
        }
        if (!validSlot(slot, c.presets) || speed < 1 || speed > ViscaModel::kRecallTopSpeed) {
            *note = QStringLiteral("memories are 0..%1 and 7F, speeds 01..18h")
                        .arg(slotName(c.presets - 1));
            return Outcome::Syntax;
        }
        c.recallSpeed.insert(slot, speed);
        return Outcome::Done;
    }
    case Effect::RecallSpeedAll: {
        const int speed = field(fields, 'q');
        if (c.recallForm != RecallForm::Global) {
            *note = QStringLiteral("this camera sets the recall speed per memory");
            return Outcome::Syntax;
        }
        if (speed < 1 || speed > ViscaModel::kRecallTopSpeed) {
            *note = QStringLiteral("speeds are 01..18h");
            return Outcome::Syntax;
        }
        c.recallSpeedAll = speed;
        return Outcome::Done;
    }
    case Effect::HeadDrive: {
        const int pan = field(fields, 'h');
        const int tilt = field(fields, 't');
        const int panSpeed = field(fields, 'v');
        const int tiltSpeed = field(fields, 'w');
        bool valid = validDirections(pan, tilt, note);
        if (valid
            && ((pan != 3 && (panSpeed < 1 || panSpeed > ViscaModel::kPanTopSpeed))
                || (tilt != 3 && (tiltSpeed < 1 || tiltSpeed > ViscaModel::kTiltTopSpeed)))) {
            *note = QStringLiteral("speeds are 01..18h (pan) and 01..14h (tilt)");
            valid = false;
        }
        endJob(c, c.headJob, outbox);
        if (!valid) {
            c.panDrive = {};
            c.tiltDrive = {};
            *note += QStringLiteral("; the head stops");
            return Outcome::Syntax;
        }
        c.panDrive
            = pan == 3 ? ViscaModel::Drive{} : ViscaModel::Drive{pan == 2 ? +1 : -1, panSpeed};
        c.tiltDrive
            = tilt == 3 ? ViscaModel::Drive{} : ViscaModel::Drive{tilt == 1 ? +1 : -1, tiltSpeed};
        return Outcome::Done;
    }
    case Effect::HeadTo: {
        if (shape.arg == Home || shape.arg == Reset) {
            return headTo(c, 0, 0, ViscaModel::kPanTopSpeed * kHeadRatePerStep,
                          ViscaModel::kTiltTopSpeed * kHeadRatePerStep, job, outbox);
        }
        const int panSpeed = field(fields, 'v');
        const int tiltSpeed = field(fields, 'w');
        if (panSpeed < 1 || panSpeed > ViscaModel::kPanTopSpeed || tiltSpeed < 1
            || tiltSpeed > ViscaModel::kTiltTopSpeed) {
            *note = QStringLiteral("speeds are 01..18h (pan) and 01..14h (tilt)");
            return Outcome::Syntax;
        }
        double pan = degrees(field(fields, 'y'));
        double tilt = degrees(field(fields, 'z'));
        if (shape.arg == Relative) {
            pan += c.pan;
            tilt += c.tilt;
        }
        if (!withinHead(pan, tilt)) {
            *note = QStringLiteral("beyond the head's range (pan -170..170, tilt -30..90 degrees)");
            return Outcome::Syntax;
        }
        pan = std::clamp(pan, double(-ViscaModel::kPanLimit), double(ViscaModel::kPanLimit));
        tilt = std::clamp(tilt, double(ViscaModel::kTiltDownLimit),
                          double(ViscaModel::kTiltUpLimit));
        return headTo(c, pan, tilt, panSpeed * kHeadRatePerStep, tiltSpeed * kHeadRatePerStep, job,
                      outbox);
    }
    case Effect::Power:
        if (shape.arg == 0) {
            for (Job *running : jobs(c))
                endJob(c, *running, outbox);
            c.zoomDrive = {};
            c.focusDrive = {};
            c.panDrive = {};
            c.tiltDrive = {};
            c.onePushFocusing = false;
            c.power = Power::Standby;
            return Outcome::Done;
        }
        if (c.power == Power::Waking) {
            *note = QStringLiteral("the camera is coming up already");
            return Outcome::NotExecutable;
        }
        if (c.power == Power::On)
            return Outcome::Done;
        if (wakeMs <= 0) {
            c.power = Power::On;
            announce(c, outbox);
            return Outcome::Done;
        }
        c.power = Power::Waking;
        c.wakeLeftMs = wakeMs;
        c.wakeJob = job;
        *note = QStringLiteral("up in %1 ms").arg(wakeMs);
        return Outcome::Running;
    case Effect::Tally:
        c.tally = shape.arg != 0;
        return Outcome::Done;
    case Effect::PanTiltDrive:
    case Effect::Cancel:
    case Effect::InterfaceClear:
    case Effect::AddressSet:
    case Effect::Inquiry:
        break;
    }
    return Outcome::Syntax;
}

// True for the commands that move a lens or the head.
bool moves(const Shape &shape)
{
    switch (shape.effect) {
    case Effect::ZoomDrive:
    case Effect::FocusDrive:
    case Effect::ZoomDirect:
    case Effect::FocusDirect:
    case Effect::HeadDrive:
    case Effect::HeadTo:
        return true;
    case Effect::Memory:
        return shape.arg == MemoryRecall;
    default:
        return false;
    }
}

// The block inquiries answer 13 data bytes (16 with y0 50 and FF); what
// this camera does not have is zero.
//   lens   zoom position (4 nibbles), focus near limit (2 nibbles: its high
//          byte, F0), focus position (4 nibbles), 00, then a flag byte (bit 0
//          auto focus) and a status byte (bit 0 zooming, bit 1 focusing)
//   camera R gain and B gain (2 nibbles each, 0), white-balance mode, aperture
//          (0), AE mode, a flag byte (bit 1 exposure compensation, bit 2
//          backlight, bit 4 wide dynamic range), shutter (0), iris (0), gain,
//          bright, exposure compensation level
//   other  a flag byte (bit 0 power on), then zeros
QByteArray lensBlock(const Camera &c)
{
    const Picture &pic = c.picture;
    const bool on = c.power == Power::On;
    const bool zooming = on && (c.zoomDrive.direction != 0 || c.zoomJob.socket != 0);
    const bool searching = (pic.focusMode == FocusMode::Auto || c.onePushFocusing)
        && pic.focus != ViscaModel::kSharpFocus;
    const bool focusing
        = on && (searching || c.focusDrive.direction != 0 || c.focusJob.socket != 0);
    return zoomPosition(pic) + nibbles(ViscaModel::kFocusNearPosition >> 8, 2) + focusPosition(pic)
        + char(0) + char(pic.focusMode == FocusMode::Auto ? 0x01 : 0)
        + char((zooming ? 0x01 : 0) | (focusing ? 0x02 : 0));
}

QByteArray cameraBlock(const Picture &pic)
{
    const int flags = (pic.expComp ? 0x02 : 0) | (pic.backlight ? 0x04 : 0) | (pic.wdr ? 0x10 : 0);
    return QByteArray(4, 0) + char(pic.whiteBalance) + char(0) + char(pic.aeMode) + char(flags)
        + char(0) + char(0) + char(pic.gain) + char(pic.bright) + char(pic.expLevel);
}

QByteArray otherBlock(const Camera &c)
{
    return char(c.power == Power::On ? 0x01 : 0) + QByteArray(12, 0);
}

// The data of an inquiry's answer; false, and *note says why, when the
// camera refuses it.
bool inquire(const Camera &c, int question, const Fields &fields, QByteArray *data, QString *note)
{
    const Picture &pic = c.picture;
    switch (question) {
    case Version:
        *data = QByteArray(1, char(ViscaModel::kVendor >> 8)) + char(ViscaModel::kVendor & 0xFF)
            + char(ViscaModel::kModel >> 8) + char(ViscaModel::kModel & 0xFF)
            + char(ViscaModel::kRom >> 8) + char(ViscaModel::kRom & 0xFF)
            + char(ViscaModel::kSockets);
        return true;
    case PowerState:
        *data = onOff(c.power == Power::On);
        return true;
    case ZoomPosition:
        *data = zoomPosition(pic);
        return true;
    case FocusPosition:
        *data = focusPosition(pic);
        return true;
    case FocusModeState:
        *data = onOff(pic.focusMode == FocusMode::Auto);
        return true;
    case HeadPosition:
        *data = nibbles(qRound(c.pan * ViscaModel::kPositionPerDegree) & 0xFFFF, 4)
            + nibbles(qRound(c.tilt * ViscaModel::kPositionPerDegree) & 0xFFFF, 4);
        return true;
    case WhiteBalanceMode:
        *data = QByteArray(1, char(pic.whiteBalance));
        return true;
    case ExpCompState:
        *data = onOff(pic.expComp);
        return true;
    case ExpLevel:
        *data = nibbles(pic.expLevel, 4);
        return true;
    case WdrState:
        *data = onOff(pic.wdr);
        return true;
    case TallyState:
        *data = onOff(c.tally);
        return true;
    case RecallSpeedOf: {
        const int slot = field(fields, 'm');
        if (c.recallForm != RecallForm::PerPreset) {
            *note = QStringLiteral("this camera has one recall speed for all memories");
            return false;
        }
        if (!validSlot(slot, c.presets)) {
            *note = QStringLiteral("no memory %1").arg(slotName(slot));
            return false;
        }
        *data = QByteArray(1, char(c.recallSpeed.value(slot, ViscaModel::kRecallTopSpeed)));
        return true;
    }
    case AeModeState:
        *data = QByteArray(1, char(pic.aeMode));
        return true;
    case BrightPosition:
        *data = nibbles(pic.bright, 4);
        return true;
    case GainPosition:
        *data = nibbles(pic.gain, 4);
        return true;
    case BacklightState:
        *data = onOff(pic.backlight);
        return true;
    case LensBlock:
        *data = lensBlock(c);
        return true;
    case CameraBlock:
        *data = cameraBlock(pic);
        return true;
    case OtherBlock:
        *data = otherBlock(c);
        return true;
    }
    return false;
}

// Moves one camera on by `seconds`; arrivals go to the outbox.
void advance(Camera &c, qint64 elapsedMs, QList<Answer> *outbox)
{
    if (c.power == Power::Waking) {
        c.wakeLeftMs -= elapsedMs;
        if (c.wakeLeftMs > 0)
            return;
        c.wakeLeftMs = 0;
        c.power = Power::On;
        endJob(c, c.wakeJob, outbox);
        announce(c, outbox);
    }
    if (c.power != Power::On)
        return;
    const double seconds = elapsedMs / 1000.0;
    Picture &pic = c.picture;
    const auto drive = [seconds](double &value, const ViscaModel::Drive &d, double rate, double low,
                                 double high) {
        if (d.direction != 0)
            value = std::clamp(value + d.direction * rate * seconds, low, high);
    };
    const auto travel = [seconds](double &value, const ViscaModel::Travel &t) {
        return approach(value, t.target, t.rate * seconds);
    };
    drive(pic.zoom, c.zoomDrive, driveRate(c.zoomDrive.speed), 0, ViscaModel::kRange);
    if (c.zoomJob.socket && travel(pic.zoom, c.zoomTravel))
        endJob(c, c.zoomJob, outbox);
    if (pic.focusMode == FocusMode::Auto || c.onePushFocusing) {
        if (approach(pic.focus, ViscaModel::kSharpFocus, driveRate(kFocusSearchSpeed) * seconds))
            c.onePushFocusing = false;
    } else {
        drive(pic.focus, c.focusDrive, driveRate(c.focusDrive.speed), 0, ViscaModel::kRange);
        if (c.focusJob.socket && travel(pic.focus, c.focusTravel))
            endJob(c, c.focusJob, outbox);
    }
    const auto turn = [&drive](double &angle, const ViscaModel::Drive &d, double low, double high) {
        drive(angle, d, d.speed * kHeadRatePerStep, low, high);
    };
    turn(c.pan, c.panDrive, -ViscaModel::kPanLimit, ViscaModel::kPanLimit);
    turn(c.tilt, c.tiltDrive, ViscaModel::kTiltDownLimit, ViscaModel::kTiltUpLimit);
    if (c.headJob.socket) {
        const bool panThere = travel(c.pan, c.panTravel);
        if (travel(c.tilt, c.tiltTravel) && panThere)
            endJob(c, c.headJob, outbox);
    }
}

// Model time until a travel arrives; -1 when nothing travels there.
qint64 msToArrive(double value, const ViscaModel::Travel &travel)
{
    return travel.rate > 0 ? qint64(std::ceil(std::abs(travel.target - value) / travel.rate * 1000))
                           : -1;
}

} // namespace

QString ViscaModel::Config::problem() const
{
    if (serialCameras < 1 || serialCameras > kMaxSerialCameras)
        return QStringLiteral("the serial line holds 1..%1 cameras").arg(kMaxSerialCameras);
    if (networkCameras < 1 || networkCameras > kMaxNetworkCameras)
        return QStringLiteral("there are 1..%1 network cameras").arg(kMaxNetworkCameras);
    if (lampAddress != -1 && lampAddress != 0 && (lampAddress < 2 || lampAddress > 7))
        return QStringLiteral("the lamp's address is 2..7 (or none)");
    if (lampAddress > 0 && lampAddress <= serialCameras)
        return serialCameras < kMaxSerialCameras
            ? QStringLiteral("camera %1 has address %1 already; give the lamp %2..7 or none")
                  .arg(lampAddress)
                  .arg(serialCameras + 1)
            : QStringLiteral("camera %1 has address %1 already; with 7 cameras the lamp has "
                             "none")
                  .arg(lampAddress);
    for (const int count : presets) {
        if (count < 1 || count > kMaxPresets)
            return QStringLiteral("a camera has 1..%1 presets").arg(kMaxPresets);
    }
    if (wakeMs < 0 || wakeMs > kMaxWakeMs)
        return QStringLiteral("the wake-up time is 0..%1 ms").arg(kMaxWakeMs);
    return QString();
}

int ViscaModel::Config::lamp() const
{
    if (lampAddress >= 0)
        return lampAddress;
    return serialCameras == 1 ? 2 : 0;
}

namespace {

// Camera n's value of a per-camera list whose last value repeats.
template<typename T>
T perCamera(const QList<T> &values, int camera, T otherwise)
{
    return values.isEmpty() ? otherwise : values.value(camera - 1, values.last());
}

} // namespace

int ViscaModel::Config::presetsOf(int camera) const
{
    return perCamera(presets, camera, int(kDefaultPresets));
}

ViscaModel::RecallForm ViscaModel::Config::recallFormOf(int camera) const
{
    return perCamera(recallForms, camera, RecallForm::PerPreset);
}

bool ViscaModel::Picture::operator==(const Picture &other) const
{
    return zoom == other.zoom && focus == other.focus && focusMode == other.focusMode
        && whiteBalance == other.whiteBalance && expComp == other.expComp
        && expLevel == other.expLevel && wdr == other.wdr && aeMode == other.aeMode
        && bright == other.bright && gain == other.gain && backlight == other.backlight;
}

QString ViscaModel::whiteBalanceName(int mode)
{
    if (mode >= 0 && mode < int(std::size(kWhiteBalanceNames)))
        return QString::fromLatin1(kWhiteBalanceNames[mode]);
    return QStringLiteral("mode %1").arg(mode);
}

QString ViscaModel::aeModeName(int mode)
{
    for (const auto &ae : kAeModes) {
        if (ae.mode == mode)
            return QString::fromLatin1(ae.name);
    }
    return QString();
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

QString ViscaModel::powerName(Power power)
{
    switch (power) {
    case Power::On:
        return QStringLiteral("on");
    case Power::Standby:
        return QStringLiteral("standby");
    case Power::Waking:
        return QStringLiteral("waking");
    }
    return QString();
}

QString ViscaModel::Packet::kindName(Kind kind)
{
    switch (kind) {
    case Kind::Command:
        return QStringLiteral("command");
    case Kind::Inquiry:
        return QStringLiteral("inquiry");
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

ViscaModel::ViscaModel()
    : ViscaModel(Config())
{
}

ViscaModel::ViscaModel(const Config &config)
    : setup(config)
{
    setup.serialCameras = std::clamp(setup.serialCameras, 1, int(kMaxSerialCameras));
    setup.networkCameras = std::clamp(setup.networkCameras, 1, int(kMaxNetworkCameras));
    setup.wakeMs = std::clamp(setup.wakeMs, qint64(0), kMaxWakeMs);
    for (int number = 1; number <= setup.cameras(); ++number) {
        Camera camera;
        camera.number = number;
        camera.serial = number <= setup.serialCameras;
        camera.address = camera.serial ? number : 0;
        camera.networkPort = number == 1 ? 1 : camera.serial ? 0 : number - setup.serialCameras + 1;
        camera.presets = std::clamp(setup.presetsOf(number), 1, int(kMaxPresets));
        camera.recallForm = setup.recallFormOf(number);
        units << camera;
    }
    lampAt = setup.lamp();
}

int ViscaModel::networkCamera(int k) const
{
    if (k < 1 || k > setup.networkCameras)
        return 0;
    return k == 1 ? 1 : setup.serialCameras + k - 1;
}

ViscaModel::State ViscaModel::state(int camera) const
{
    State out;
    static_cast<Camera &>(out) = units.value(std::clamp(camera, 1, int(units.size())) - 1);
    out.lamp = lamp;
    out.lampDrive = lampDrive;
    out.packets = packets;
    out.timeMs = timeMs;
    return out;
}

QList<ViscaModel::Packet> ViscaModel::feed(const QByteArray &bytes)
{
    QList<Packet> out;
    for (const ViscaFramer::Piece &piece : serialFramer.push(bytes))
        out << take(piece, Route::Serial, 0);
    return out;
}

QList<ViscaModel::Packet> ViscaModel::flush()
{
    QList<Packet> out;
    for (const ViscaFramer::Piece &piece : serialFramer.flush())
        out << take(piece, Route::Serial, 0);
    return out;
}

QList<ViscaModel::Packet> ViscaModel::receiveNetwork(int networkCamera, const QByteArray &bytes)
{
    ViscaFramer framer;
    QList<ViscaFramer::Piece> pieces = framer.push(bytes);
    pieces += framer.flush();
    QList<Packet> out;
    for (const ViscaFramer::Piece &piece : qAsConst(pieces))
        out << take(piece, Route::Network, networkCamera);
    return out;
}

void ViscaModel::announcePowerUp()
{
    for (const Camera &camera : qAsConst(units)) {
        if (camera.power == Power::On)
            announce(camera, &outbox);
    }
}

QList<ViscaModel::Answer> ViscaModel::takeAnswers()
{
    QList<Answer> out;
    out.swap(outbox);
    return out;
}

ViscaModel::Listener ViscaModel::listenerFor(Route route, int device, int networkCameraK) const
{
    if (route == Route::Network) {
        const int number = networkCamera(networkCameraK);
        if (device == 1 && number > 0)
            return {Listener::Kind::Camera, number - 1};
        return {};
    }
    if (device == 8)
        return {Listener::Kind::Broadcast, 0};
    for (int i = 0; i < units.size(); ++i) {
        if (units.at(i).serial && units.at(i).address == device)
            return {Listener::Kind::Camera, i};
    }
    if (device == lampAt)
        return {Listener::Kind::Lamp, 0};
    return {};
}

namespace {

// Why a listener leaves a command alone; empty when the command is its own.
QString notFor(Target target, ViscaModel::Listener::Kind who, int device, Route route)
{
    using Kind = ViscaModel::Listener::Kind;
    if (who == Kind::Nobody)
        return route == Route::Network ? QStringLiteral("a network camera is device 1")
                                       : QStringLiteral("no device %1 on this line").arg(device);
    if (target == Target::Any)
        return QString();
    if (who == Kind::Broadcast)
        return target == Target::Broadcast ? QString() : QStringLiteral("not a broadcast command");
    if (target == Target::Broadcast)
        return QStringLiteral("only meaningful as a broadcast");
    if (who == Kind::Camera && target == Target::Lamp)
        return QStringLiteral("the camera drives its own head, not the lamp");
    if (who == Kind::Lamp && target == Target::Camera)
        return QStringLiteral("the lamp only follows the pan-tilt drive");
    return QString();
}

} // namespace

ViscaModel::Packet ViscaModel::take(const ViscaFramer::Piece &piece, Route route,
                                    int networkCameraK)
{
    Packet packet;
    switch (piece.kind) {
    case ViscaFramer::Piece::Kind::Garbage:
        packet.kind = Packet::Kind::Garbage;
        packet.bytes = piece.bytes;
        packet.route = route;
        packet.note = QStringLiteral("no packet header (81..88) before these bytes");
        break;
    case ViscaFramer::Piece::Kind::Overlong: {
        packet.kind = Packet::Kind::Malformed;
        packet.bytes = piece.bytes;
        packet.route = route;
        packet.device = quint8(piece.bytes[0]) & 0x0F;
        packet.note = QStringLiteral("no terminator FF within %1 bytes").arg(kMaxPacket);
        refuse(&packet, listenerFor(route, packet.device, networkCameraK), ViscaIp::MessageLength);
        break;
    }
    case ViscaFramer::Piece::Kind::Packet:
        packet = decode(piece.bytes, route, networkCameraK);
        break;
    }
    return finishPacket(packet);
}

void ViscaModel::refuse(Packet *packet, const Listener &to, int code)
{
    if (to.kind != Listener::Kind::Camera)
        return;
    const Camera &camera = units.at(to.camera);
    packet->camera = camera.number;
    packet->replies << error(addressOn(camera, packet->route), 0, code);
}

ViscaModel::Packet ViscaModel::decode(const QByteArray &bytes, Route route, int networkCameraK)
{
    Packet packet;
    packet.bytes = bytes;
    packet.route = route;
    packet.device = quint8(bytes[0]) & 0x0F;
    const Listener to = listenerFor(route, packet.device, networkCameraK);
    const bool terminated = bytes.size() > 1 && quint8(bytes.back()) == 0xFF;
    const QByteArray payload = bytes.mid(1, bytes.size() - (terminated ? 2 : 1));

    if (terminated && payload.isEmpty()) {
        packet.kind = Packet::Kind::Malformed;
        packet.note = QStringLiteral("empty packet");
        refuse(&packet, to, ViscaIp::Syntax);
        return packet;
    }
    for (const char c : payload) {
        if (quint8(c) >= 0x80) {
            packet.kind = Packet::Kind::Malformed;
            packet.note = QStringLiteral("byte %1 inside a packet (only 00..7F belong there)")
                              .arg(hexBytes(QByteArray(1, c)));
            refuse(&packet, to, ViscaIp::Syntax);
            return packet;
        }
    }

    Fields fields;
    int awayFrom = -1; // the first command that fits, but another device's
    Fields awayFields;
    QString awayNote;
    int startOf = -1; // the one command this packet could be the start of
    Fields startFields;
    int starts = 0;
    for (int i = 0; i < int(std::size(kShapes)); ++i) {
        const Shape &shape = kShapes[i];
        const Fit how = fit(shape.pattern, payload, &fields);
        if (how == Fit::Exact && terminated) {
            const QString away = notFor(shape.target, to.kind, packet.device, route);
            if (!away.isEmpty()) {
                // The same bytes may mean something to another device's row.
                if (awayFrom < 0) {
                    awayFrom = i;
                    awayFields = fields;
                    awayNote = away;
                }
                continue;
            }
            packet.meaning = meaningText(shape.meaning, fields);
            carryOut(&packet, i, fields, to);
            return packet;
        }
        if (how != Fit::None && ++starts == 1) {
            startOf = i;
            startFields = fields;
        }
    }

    if (awayFrom >= 0) {
        packet.kind = Packet::Kind::Ignored;
        packet.meaning = meaningText(kShapes[awayFrom].meaning, awayFields);
        packet.note = awayNote;
        return packet;
    }
    if (!terminated || starts > 0) {
        packet.kind = Packet::Kind::Truncated;
        QStringList notes;
        if (starts == 1)
            packet.meaning = meaningText(kShapes[startOf].meaning, startFields);
        else if (starts > 1)
            notes << QStringLiteral("the start of %1 commands").arg(starts);
        notes << (terminated ? QStringLiteral("ends after %1 bytes").arg(bytes.size())
                             : QStringLiteral("no terminator FF"));
        packet.note = notes.join(QStringLiteral("; "));
        // A packet cut short by the next header never reached its end.
        if (terminated)
            refuse(&packet, to, ViscaIp::Syntax);
        return packet;
    }
    packet.kind = Packet::Kind::Unknown;
    refuse(&packet, to, ViscaIp::Syntax);
    return packet;
}

void ViscaModel::carryOut(Packet *packet, int shape, const Fields &fields, const Listener &to)
{
    switch (to.kind) {
    case Listener::Kind::Camera:
        forCamera(packet, shape, fields, units[to.camera]);
        return;
    case Listener::Kind::Broadcast:
        forLine(packet, shape, fields);
        return;
    case Listener::Kind::Lamp:
        forLamp(packet, shape, fields);
        return;
    case Listener::Kind::Nobody:
        break;
    }
}

void ViscaModel::forLamp(Packet *packet, int shape, const Fields &fields)
{
    packet->kind = Packet::Kind::Command;
    if (kShapes[shape].effect != Effect::PanTiltDrive)
        return; // interface clear: the lamp holds no commands
    const int pan = field(fields, 'h');
    const int tilt = field(fields, 't');
    const int tiltSpeed = field(fields, 'w');
    if (!validDirections(pan, tilt, &packet->note)) {
        lampDrive = {};
        packet->kind = Packet::Kind::Ignored;
        return;
    }
    QStringList notes;
    if (pan != 3)
        notes << QStringLiteral("no pan axis, pan ignored");
    if (tilt == 3) {
        lampDrive = {};
        notes << QStringLiteral("lamp holds");
    } else if (tilt == 2 && tiltSpeed >= kLampOffSpeed) {
        lampDrive = {};
        lamp = 0;
        notes << QStringLiteral("lamp off");
    } else {
        lampDrive = {tilt == 1 ? +1 : -1, tiltSpeed};
        notes << (tilt == 1 ? QStringLiteral("lamp brightens") : QStringLiteral("lamp dims"));
    }
    packet->note = notes.join(QStringLiteral("; "));
}

void ViscaModel::forLine(Packet *packet, int shape, const Fields &fields)
{
    packet->kind = Packet::Kind::Command;
    if (kShapes[shape].effect == Effect::InterfaceClear) {
        for (Camera &camera : units) {
            if (camera.serial) {
                for (Job *job : jobs(camera))
                    *job = Job();
            }
        }
        // It passes every device and comes back as it went.
        packet->replies << packet->bytes;
        return;
    }
    // Address set: the first camera in the cable takes the address, each
    // passes the next one on, the last returns the one after it.
    const int first = field(fields, 'n');
    if (first < 1 || first > 7) {
        packet->kind = Packet::Kind::Ignored;
        packet->note = QStringLiteral("addresses are 1..7");
        return;
    }
    QStringList notes;
    int next = first;
    for (Camera &camera : units) {
        if (!camera.serial)
            continue;
        camera.address = next <= 7 ? next : 0;
        if (camera.address == 0)
            notes << QStringLiteral("camera %1 is beyond address 7").arg(camera.number);
        else if (camera.address == lampAt)
            notes << QStringLiteral("camera %1 now shares address %2 with the lamp, which "
                                    "no longer hears its own")
                         .arg(camera.number)
                         .arg(lampAt);
        ++next;
    }
    packet->replies << QByteArray::fromHex("8830") + char(next) + char(0xFF);
    packet->note = notes.join(QStringLiteral("; "));
}

void ViscaModel::forCamera(Packet *packet, int shapeIndex, const Fields &fields, Camera &camera)
{
    const Shape &shape = kShapes[shapeIndex];
    const int address = addressOn(camera, packet->route);
    packet->camera = camera.number;
    QList<QByteArray> &replies = packet->replies;

    switch (shape.effect) {
    case Effect::Inquiry: {
        packet->kind = Packet::Kind::Inquiry;
        QByteArray data;
        if (inquire(camera, shape.arg, fields, &data, &packet->note))
            replies << completion(address, 0, data);
        else
            replies << error(address, 0, ViscaIp::Syntax);
        return;
    }
    case Effect::Cancel: {
        packet->kind = Packet::Kind::Command;
        const int socket = field(fields, 'z');
        if (Job *job = jobOn(camera, socket)) {
            *job = Job(); // it stops where it is, without a completion
            replies << error(address, socket, ViscaIp::Cancelled);
        } else {
            packet->note = QStringLiteral("nothing runs on socket %1").arg(socket);
            replies << error(address, socket, ViscaIp::NoSocket);
        }
        return;
    }
    case Effect::InterfaceClear:
        packet->kind = Packet::Kind::Command;
        for (Job *job : jobs(camera))
            *job = Job();
        replies << completion(address, 0);
        return;
    default:
        break;
    }

    const int socket = freeSocket(camera);
    packet->kind = Packet::Kind::Ignored;
    if (socket == 0) {
        packet->note = QStringLiteral("both command sockets busy");
        replies << error(address, 0, ViscaIp::BufferFull);
        return;
    }
    if (camera.power != Power::On && shape.effect != Effect::Power) {
        packet->note = camera.power == Power::Waking ? QStringLiteral("the camera is coming up")
                                                     : QStringLiteral("the camera is in standby");
        replies << error(address, socket, ViscaIp::NotExecutable);
        return;
    }
    const Job job{socket, packet->route};
    switch (apply(camera, shape, fields, job, setup.wakeMs, &packet->note, &outbox)) {
    case Outcome::Done:
        packet->kind = Packet::Kind::Command;
        replies << acknowledge(address, socket) << completion(address, socket);
        break;
    case Outcome::Running:
        packet->kind = Packet::Kind::Command;
        replies << acknowledge(address, socket);
        break;
    case Outcome::Syntax:
        replies << error(address, 0, ViscaIp::Syntax);
        break;
    case Outcome::NotExecutable:
        replies << error(address, socket, ViscaIp::NotExecutable);
        break;
    }
    if (packet->kind == Packet::Kind::Command && moves(shape))
        lastMover = camera.number;
}

ViscaModel::Packet ViscaModel::finishPacket(Packet packet)
{
    if (packet.kind != Packet::Kind::Inquiry)
        ++packets;
    packet.state = state(packet.camera > 0 ? packet.camera : 1);

    QString what;
    switch (packet.kind) {
    case Packet::Kind::Command:
    case Packet::Kind::Inquiry:
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

    QString who = deviceName(packet.device);
    if (packet.device >= 1 && packet.device <= 7)
        who = packet.device == lampAt ? QStringLiteral("lamp")
                                      : QStringLiteral("device %1").arg(packet.device);
    if (packet.camera > 0) {
        const bool network = packet.route == Route::Network;
        const int number = network ? units.at(packet.camera - 1).networkPort : packet.camera;
        who = network ? QStringLiteral("network") : QStringLiteral("camera");
        if ((network ? setup.networkCameras : units.size()) > 1)
            who += QLatin1Char(' ') + QString::number(number);
    }
    QStringList answers;
    for (const QByteArray &reply : qAsConst(packet.replies))
        answers << hexBytes(reply);
    packet.logLine = QStringLiteral("%1 s %2 [%3] %4 | %5")
                         .arg(timeMs / 1000.0, 9, 'f', 3)
                         .arg(who, -9)
                         .arg(hexBytes(packet.bytes), what, stateText(packet.state));
    if (!answers.isEmpty())
        packet.logLine += QStringLiteral(" => ") + answers.join(QStringLiteral(", "));
    return packet;
}

void ViscaModel::tick(qint64 elapsedMs)
{
    if (elapsedMs <= 0)
        return;
    timeMs += elapsedMs;
    for (Camera &camera : units)
        advance(camera, elapsedMs, &outbox);
    if (lampDrive.direction != 0)
        lamp = std::clamp(
            lamp + lampDrive.direction * lampDrive.speed * kLampRatePerStep * (elapsedMs / 1000.0),
            0.0, double(kLampFull));
}

qint64 ViscaModel::msUntilAnswer() const
{
    qint64 soonest = -1;
    const auto consider = [&soonest](qint64 ms) {
        if (ms >= 0 && (soonest < 0 || ms < soonest))
            soonest = ms;
    };
    for (const Camera &c : units) {
        if (c.power == Power::Waking) // it comes up (and says so), cancelled or not
            consider(c.wakeLeftMs);
        if (c.power != Power::On)
            continue;
        if (c.zoomJob.socket)
            consider(msToArrive(c.picture.zoom, c.zoomTravel));
        if (c.focusJob.socket)
            consider(msToArrive(c.picture.focus, c.focusTravel));
        if (c.headJob.socket)
            consider(qMax(msToArrive(c.pan, c.panTravel), msToArrive(c.tilt, c.tiltTravel)));
    }
    return soonest;
}

bool ViscaModel::moving() const
{
    for (const Camera &c : units) {
        const bool searching = (c.picture.focusMode == FocusMode::Auto || c.onePushFocusing)
            && c.picture.focus != kSharpFocus;
        if (c.power == Power::Waking
            || (c.power == Power::On
                && (searching || c.zoomDrive.direction != 0 || c.focusDrive.direction != 0
                    || c.panDrive.direction != 0 || c.tiltDrive.direction != 0 || c.headJob.socket
                    || c.zoomJob.socket || c.focusJob.socket)))
            return true;
    }
    return lampDrive.direction != 0;
}

QList<QPair<QString, QVariant>> ViscaModel::stateValues(const State &s)
{
    const auto onOffText
        = [](bool on) { return on ? QStringLiteral("on") : QStringLiteral("off"); };
    QStringList stored;
    for (auto it = s.memory.cbegin(); it != s.memory.cend(); ++it)
        stored << slotName(it.key());
    return {
        {QStringLiteral("zoom"), qRound(s.picture.zoom)},
        {QStringLiteral("focus"), qRound(s.picture.focus)},
        {QStringLiteral("focusMode"), focusModeName(s.picture.focusMode)},
        {QStringLiteral("wb"), whiteBalanceName(s.picture.whiteBalance)},
        {QStringLiteral("expComp"), onOffText(s.picture.expComp)},
        {QStringLiteral("expLevel"), s.picture.expLevel},
        {QStringLiteral("wdr"), onOffText(s.picture.wdr)},
        {QStringLiteral("aeMode"), aeModeName(s.picture.aeMode)},
        {QStringLiteral("bright"), s.picture.bright},
        {QStringLiteral("gain"), s.picture.gain},
        {QStringLiteral("backlight"), onOffText(s.picture.backlight)},
        {QStringLiteral("power"), powerName(s.power)},
        {QStringLiteral("tally"), onOffText(s.tally)},
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

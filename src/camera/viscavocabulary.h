// The camera command vocabulary: which (group, action) pairs the panel knows
// and the VISCA packets each one sends, as bytes for the addresses of the
// camera and its lamp.
//
// The controls name an action by two words, e.g. ("focus", "auto"),
// ("profile", "recall2") or ("zoom", "-3"); only this file knows the bytes.
// Each packet also carries its text, two hex digits a byte: the status line
// and the encoder's request show that text, so it is built here, once.
#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Where a camera's packets go: its VISCA address on the line (1 ... 7) and
// that of the lamp driven with it (1 ... 7; 0 when there is none).
struct ViscaAddresses
{
    int camera = 1;
    int lamp = 2;
};

struct ViscaPacket
{
    QByteArray bytes;
    QString text; // upper-case hex; the lamp's "up" ends in a lower-case "ff"
};

// A word as the vocabulary compares it: surrounding white space removed,
// lower case.
QString normaliseWord(const QString &word);

// The packets one (group, action) pair sends, in sending order: one packet
// for most pairs, two for ("profile", "reset"), none for a pair that is not
// in the vocabulary (or for the lamp, where there is none). Both words must
// already be normalised. Zoom and focus also take a base-10 integer as the
// action: its size is the speed, its sign the direction, 0 stops. The
// camera's pan-tilt drive takes "<pan> <tilt>", two such numbers: pan > 0
// right, tilt > 0 up, 0 holds the axis, "0 0" stops. In the group "pantilt"
// they are on the window pad's scale (sizes 0..5), in "pantiltspeed" they
// are VISCA's speed steps themselves (pan 1..24 = 01..18h, tilt 1..20 =
// 01..14h); larger sizes count as the top. "led" and "pt" drive the lamp,
// every other group the camera. The group "preset" names presets by the
// operator's numbers 1 ... kPresetTop (preset n is camera memory n - 1):
// "recall <n>", "store <n>", "clear <n>", "speed <n> <q>" (that preset's
// recall speed, 1 ... kRecallSpeedTop) and "speedall <q>" (one recall speed
// for every preset, on cameras that take it so). "tally" "on" / "off"
// lights and darkens the camera's own tally lamp; "power" "on" / "standby"
// wakes the camera or sends it to standby.
QList<ViscaPacket> viscaPackets(const QString &group, const QString &action,
                                const ViscaAddresses &to = ViscaAddresses());

// The fastest pan and tilt speed steps the drive sends (18h and 14h).
constexpr int kPanSpeedTop = 24;
constexpr int kTiltSpeedTop = 20;

// The highest preset (memory 7Eh; 7Fh is the camera default) and the
// fastest recall speed sent (18h).
constexpr int kPresetTop = 127;
constexpr int kRecallSpeedTop = 24;

// The texts of viscaPackets() for a camera at address 1 with its lamp at 2.
QStringList viscaCommands(const QString &group, const QString &action);

// The bytes of one command text: two hex digits per byte, high nibble first,
// either case, white space around the text ignored. Characters that are not
// hex digits are skipped, as QByteArray::fromHex does.
QByteArray commandBytes(const QString &commandText);

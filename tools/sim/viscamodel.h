// The simulated camera (VISCA device 1) and lamp (device 2) at the far end of
// the serial line: bytes in, one decoded packet and the resulting state out.
//
// Plain code, no widgets and no clock of its own: the caller feeds bytes as
// they arrive and advances time with tick(), so a test can replay a scene
// packet by packet and millisecond by millisecond.
//
// Units the state uses:
//   zoom   0 (wide end) .. 1000 (tele end)
//   focus  0 (nearest) .. 1000 (infinity); the scene is sharp at kSharpFocus
//   lamp   0 (dark) .. 100 (full)
//   pan    degrees, -170 (left) .. +170 (right); tilt -30 (down) .. +90 (up)
// A zoom or focus drive at speed p (0..7) moves (p + 1) * 50 units a second;
// the lamp moves 20 units a second per step of tilt speed; the camera's head
// turns 5 degrees a second per step of pan or tilt speed.
#pragma once

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <QVariant>

class ViscaModel
{
public:
    static constexpr int kRange = 1000;     // zoom and focus travel
    static constexpr int kSharpFocus = 600; // where the scene is in focus
    static constexpr int kLampFull = 100;
    static constexpr int kExpLevelMin = 0;
    static constexpr int kExpLevelMax = 14;
    static constexpr int kExpLevelNeutral = 7; // 0 dB; 1.5 dB a step
    static constexpr int kCameraDefaultSlot = 0x7F;
    static constexpr int kMaxPacket = 16; // header, up to 14 payload bytes, FF
    static constexpr int kPanLimit = 170;
    static constexpr int kTiltUpLimit = 90;
    static constexpr int kTiltDownLimit = -30;
    static constexpr int kPanTopSpeed = 0x18;
    static constexpr int kTiltTopSpeed = 0x14;

    enum class FocusMode { Auto, Manual, OnePush };

    // White-balance modes by their VISCA number (0..9).
    static QString whiteBalanceName(int mode);
    static QString focusModeName(FocusMode mode);

    // What a camera memory slot holds. The lamp is another device and is not
    // part of it.
    struct Picture
    {
        double zoom = 0;
        double focus = kSharpFocus;
        FocusMode focusMode = FocusMode::Auto;
        int whiteBalance = 0;
        bool expComp = false;
        int expLevel = kExpLevelNeutral;
        bool wdr = false;

        bool operator==(const Picture &other) const;
    };

    // A running drive: direction -1, 0 (stopped) or +1 and the commanded
    // speed (zoom / focus 0..7, lamp tilt speed 0..17h, camera pan 01..18h
    // and tilt 01..14h).
    struct Drive
    {
        int direction = 0;
        int speed = 0;
    };

    struct State
    {
        Picture picture;
        Drive zoomDrive;  // +1 tele, -1 wide
        Drive focusDrive; // +1 far, -1 near
        Drive lampDrive;  // +1 up (brighter), -1 down
        Drive panDrive;   // +1 right, -1 left
        Drive tiltDrive;  // +1 up, -1 down
        double pan = 0;   // where the camera's head points
        double tilt = 0;
        bool onePushFocusing = false; // a one-push trigger is still settling
        double lamp = 0;
        QMap<int, Picture> memory; // slots written by "memory set"
        int packets = 0;           // packets decoded, good and bad
        qint64 timeMs = 0;         // model time: the sum of all ticks
    };

    // One decoded piece of the byte stream.
    struct Packet
    {
        enum class Kind {
            Command,   // understood and carried out
            Ignored,   // understood, but not something this device does
            Unknown,   // well framed, no such command
            Truncated, // the start of a known command, ended early
            Malformed, // not a valid packet (empty, too long, stray bytes)
            Garbage,   // bytes outside any packet, skipped
        };

        Kind kind = Kind::Unknown;
        QByteArray bytes; // as received, FF included when there was one
        int device = 0;   // 1..7, 8 for broadcast, 0 when no header
        QString meaning;  // "zoom tele, speed 3", "unknown command", ...
        QString note;     // why it was ignored, what looked wrong
        State state;      // the state right after this packet
        QString logLine;  // time, device, bytes, meaning, state

        static QString kindName(Kind kind);
    };

    ViscaModel();

    // Feeds received bytes; returns every packet completed by them, in order.
    // A packet that is still open at the end waits for the next feed.
    QList<Packet> feed(const QByteArray &bytes);
    // Reports bytes still waiting for their terminator (end of the line).
    QList<Packet> flush();
    // Moves running drives on by elapsedMs of model time.
    void tick(qint64 elapsedMs);

    const State &state() const { return current; }
    // True while a drive or a focus search is still changing the state.
    bool moving() const;

    // The state as ordered key=value pairs: zoom, focus, focusMode, wb,
    // expComp, expLevel, wdr, lamp, pan, tilt, zoomDrive, focusDrive,
    // lampDrive, panDrive, tiltDrive, memory, packets.
    static QList<QPair<QString, QVariant>> stateValues(const State &state);
    // "zoom=0 focus=600 focusMode=auto ..." in the same order.
    static QString stateText(const State &state);
    static QString deviceName(int device);
    static QString hexBytes(const QByteArray &bytes); // "81 01 04 07 00 FF"

private:
    Packet decode(const QByteArray &bytes);
    Packet finish(Packet packet);
    void takeGarbage(QList<Packet> *out);

    State current;
    QByteArray pending; // an open packet, header first
    QByteArray garbage; // bytes outside any packet, not reported yet
};

Q_DECLARE_METATYPE(ViscaModel::Packet)

// The simulated far end: the cameras on the serial line (VISCA devices 1..7,
// reached in cable order), the lamp on that line, and the network cameras.
// Bytes in; decoded packets, the cameras' answers and the resulting state
// out.
//
// Plain code, no widgets and no clock of its own: the caller feeds bytes as
// they arrive and advances time with tick(), so a test can replay a scene
// packet by packet and millisecond by millisecond. Answers that come later
// (a preset recall completes when the head arrives) wait in takeAnswers().
//
// Cameras are numbered 1.. : the serial cameras first (camera 1 at address
// 1, and so on), then the network-only cameras. Camera 1 is also network
// camera 1, a camera with both a serial and a network port; network camera
// k > 1 is camera (serial cameras + k - 1). Every camera answers the same
// way on every route: from y0 (y = its address + 8; always 90 on the
// network), acknowledge and completion on one of its two command sockets,
// inquiries with their data, errors as a camera gives them. The lamp never
// answers. A serial camera that comes up from standby announces it on the
// serial line (y0 38 FF: run the address set again); network cameras do not.
//
// Units the state uses:
//   zoom   0 (wide end) .. 1000 (tele end); position 0000 .. 4000 on the wire
//   focus  0 (nearest) .. 1000 (infinity); the scene is sharp at kSharpFocus;
//          position F000 (near) .. 1000 (far) on the wire
//   lamp   0 (dark) .. 100 (full)
//   pan    degrees, -170 (left) .. +170 (right); tilt -30 (down) .. +90 (up);
//          kPositionPerDegree units a degree on the wire, signed 16 bits
// A zoom or focus drive at speed p (0..7) moves (p + 1) * 50 units a second;
// the lamp moves 20 units a second per step of tilt speed; the camera's head
// turns 5 degrees a second per step of pan or tilt speed (a recall at the
// preset's recall speed on both axes).
#pragma once

#include "viscaframer.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QMetaType>
#include <QPair>
#include <QString>
#include <QVariant>
#include <QVector>

#include <array>

class ViscaModel
{
public:
    static constexpr int kRange = 1000;     // zoom and focus travel
    static constexpr int kSharpFocus = 600; // where the scene is in focus
    static constexpr int kLampFull = 100;
    static constexpr int kExpLevelMin = 0;
    static constexpr int kExpLevelMax = 14;
    static constexpr int kExpLevelNeutral = 7; // 0 dB; 1.5 dB a step
    static constexpr int kBrightMax = 0x1F;    // bright positions 00..1Fh
    static constexpr int kBrightNeutral = 0x10;
    static constexpr int kGainMax = 0x0F; // gain positions 00 (0 dB) .. 0Fh
    static constexpr int kCameraDefaultSlot = 0x7F;
    static constexpr int kMaxPacket = ViscaFramer::kMaxPacket;
    static constexpr int kPanLimit = 170;
    static constexpr int kTiltUpLimit = 90;
    static constexpr int kTiltDownLimit = -30;
    static constexpr int kPanTopSpeed = 0x18;
    static constexpr int kTiltTopSpeed = 0x14;
    static constexpr int kStandardSpeed = 3;           // the fixed-speed zoom and focus
    static constexpr int kZoomTelePosition = 0x4000;   // zoom position at the tele end
    static constexpr int kFocusFarPosition = 0x1000;   // focus position at infinity
    static constexpr int kFocusNearPosition = 0xF000;  // focus position at the nearest
    static constexpr double kPositionPerDegree = 14.4; // pan-tilt position units a degree
    static constexpr int kRecallTopSpeed = 0x18;       // and the speed a preset starts with
    static constexpr int kSockets = 2;
    static constexpr int kMaxSerialCameras = 7;
    static constexpr int kMaxNetworkCameras = 20;
    static constexpr int kDefaultPresets = 16;
    static constexpr int kMaxPresets = 127; // memory 00..7E; 7F is the camera default
    static constexpr qint64 kDefaultWakeMs = 3000;
    static constexpr qint64 kMaxWakeMs = 60000;
    // The version answer: vendor, model, ROM version (and kSockets).
    static constexpr quint16 kVendor = 0x7A21;
    static constexpr quint16 kModel = 0x0D15;
    static constexpr quint16 kRom = 0x0103;

    enum class FocusMode { Auto, Manual, OnePush };
    enum class Power { On, Standby, Waking };
    enum class Route { Serial, Network };
    // How a camera takes the recall speed of its presets: per preset
    // (8x 01 7E 01 0B pp qq FF) or one for all (8x 01 06 01 pp FF).
    enum class RecallForm { PerPreset, Global };

    // What is at the far end.
    struct Config
    {
        int serialCameras = 1;  // 1..7, at addresses 1..N
        int networkCameras = 1; // 1..20; network camera 1 is camera 1
        int lampAddress = -1;   // -1: 2 with one serial camera, none with more; 0: none
        QList<int> presets;     // presets of camera 1, 2, ...; the last one repeats (16)
        // the recall-speed form of camera 1, 2, ... the same way (per preset)
        QList<RecallForm> recallForms;
        qint64 wakeMs = kDefaultWakeMs;

        // Why the far end cannot be built so; empty when it can.
        QString problem() const;
        int cameras() const { return serialCameras + networkCameras - 1; }
        int lamp() const; // the lamp's address, 0 for none
        int presetsOf(int camera) const;
        RecallForm recallFormOf(int camera) const;
    };

    // White-balance modes by their VISCA number (0..9).
    static QString whiteBalanceName(int mode);
    // Exposure (AE) modes by their VISCA number: 0 auto, 3 manual, 0A
    // shutter priority, 0B iris priority, 0D bright; empty for no mode.
    static QString aeModeName(int mode);
    static QString focusModeName(FocusMode mode);
    static QString powerName(Power power);

    // What a camera memory holds of the picture. The lamp is another device
    // and is not part of it.
    struct Picture
    {
        double zoom = 0;
        double focus = kSharpFocus;
        FocusMode focusMode = FocusMode::Auto;
        int whiteBalance = 0;
        bool expComp = false;
        int expLevel = kExpLevelNeutral;
        bool wdr = false;
        int aeMode = 0;
        int bright = kBrightNeutral;
        int gain = 0;
        bool backlight = false;

        bool operator==(const Picture &other) const;
    };

    // A preset: the picture and where the head pointed.
    struct Preset
    {
        Picture picture;
        double pan = 0;
        double tilt = 0;
    };

    // A running drive: direction -1, 0 (stopped) or +1 and the commanded
    // speed (zoom / focus 0..7, lamp tilt speed 0..17h, camera pan 01..18h
    // and tilt 01..14h).
    struct Drive
    {
        int direction = 0;
        int speed = 0;
    };

    // A command still running on a command socket (1 or 2; 0: none) and the
    // route its completion goes back on.
    struct Job
    {
        int socket = 0;
        Route route = Route::Serial;
    };

    // Where a travelling axis goes, and how fast (its units a second).
    struct Travel
    {
        double target = 0;
        double rate = 0;
    };

    // One camera.
    struct Camera
    {
        int number = 1;      // 1.., the order of the window
        bool serial = true;  // on the serial line
        int address = 1;     // its serial address; 0 off the line or beyond 7
        int networkPort = 0; // network camera k, 0 for none
        int presets = kDefaultPresets;

        Picture picture;
        Drive zoomDrive;  // +1 tele, -1 wide
        Drive focusDrive; // +1 far, -1 near
        Drive panDrive;   // +1 right, -1 left
        Drive tiltDrive;  // +1 up, -1 down
        double pan = 0;   // where the head points
        double tilt = 0;
        bool onePushFocusing = false; // a one-push trigger is still settling
        Power power = Power::On;
        bool tally = false;
        QMap<int, Preset> memory;   // presets written by "memory set"
        QMap<int, int> recallSpeed; // presets given their own; others kRecallTopSpeed
        RecallForm recallForm = RecallForm::PerPreset;
        int recallSpeedAll = kRecallTopSpeed; // every preset's, with RecallForm::Global

        // Commands that complete later: the head or the lens on its way to a
        // position, the camera coming up.
        Job headJob;
        Travel panTravel, tiltTravel;
        Job zoomJob;
        Travel zoomTravel;
        Job focusJob;
        Travel focusTravel;
        Job wakeJob;
        qint64 wakeLeftMs = 0;
    };

    // One camera as the window, the log and the tests see it: the camera,
    // the lamp that lights its scene, and the far end's counters.
    struct State : Camera
    {
        double lamp = 0;
        Drive lampDrive;   // +1 up (brighter), -1 down
        int packets = 0;   // packets decoded, good and bad; answered inquiries not counted
        qint64 timeMs = 0; // model time: the sum of all ticks
    };

    // One decoded piece of the byte stream.
    struct Packet
    {
        enum class Kind {
            Command,   // understood and carried out
            Inquiry,   // understood and answered (or refused with a syntax error)
            Ignored,   // understood, but refused or not something this device does
            Unknown,   // well framed, no such command
            Truncated, // the start of a known command, ended early
            Malformed, // not a valid packet (empty, too long, stray bytes)
            Garbage,   // bytes outside any packet, skipped
        };

        Kind kind = Kind::Unknown;
        QByteArray bytes; // as received, FF included when there was one
        int device = 0;   // 1..7, 8 for broadcast, 0 when no header
        int camera = 0;   // the camera it was for, 0 for none
        Route route = Route::Serial;
        QString meaning;           // "zoom tele, speed 3", "unknown command", ...
        QString note;              // why it was ignored, what looked wrong
        QList<QByteArray> replies; // what went back at once, in order
        State state;               // the camera's state right after this packet (camera 1's
                                   // when it was for none)
        QString logLine;           // time, device, bytes, meaning, state

        static QString kindName(Kind kind);
    };

    // An answer that comes after its packet (a completion, mostly).
    struct Answer
    {
        int camera = 1;
        Route route = Route::Serial;
        QByteArray bytes;
    };

    ViscaModel();
    explicit ViscaModel(const Config &config);

    // Feeds bytes received on the serial line; returns every packet completed
    // by them, in order. A packet that is still open waits for the next feed.
    QList<Packet> feed(const QByteArray &bytes);
    // Reports bytes still waiting for their terminator (end of the line).
    QList<Packet> flush();
    // One message for network camera k (1..): its packets, framed on their own.
    QList<Packet> receiveNetwork(int networkCamera, const QByteArray &bytes);
    // Moves running drives on by elapsedMs of model time.
    void tick(qint64 elapsedMs);
    // Answers due since the last call (completions of commands that ran on,
    // and of commands ended by a later one), oldest first.
    QList<Answer> takeAnswers();
    // Every serial camera that is on announces a power-up (y0 38 FF), as
    // the cameras of a chain do when it is switched on; see takeAnswers().
    void announcePowerUp();
    // Model time until the next answer falls due; -1 when none is waiting.
    qint64 msUntilAnswer() const;

    const Config &config() const { return setup; }
    int cameras() const { return units.size(); }
    // Camera number of network camera k; 0 when there is none.
    int networkCamera(int k) const;
    State state(int camera = 1) const;
    // The camera that last moved its lens or head on a command; 1 at first.
    int lastMoved() const { return lastMover; }
    // True while a drive, a travel or a focus search is still changing a state.
    bool moving() const;

    // The state as ordered key=value pairs: zoom, focus, focusMode, wb,
    // expComp, expLevel, wdr, aeMode, bright, gain, backlight, power, tally,
    // lamp, pan, tilt, zoomDrive, focusDrive, lampDrive, panDrive, tiltDrive,
    // memory, packets.
    static QList<QPair<QString, QVariant>> stateValues(const State &state);
    // "zoom=0 focus=600 focusMode=auto ..." in the same order.
    static QString stateText(const State &state);
    static QString deviceName(int device);
    static QString hexBytes(const QByteArray &bytes); // "81 01 04 07 00 FF"

    // Who a packet on a route is for.
    struct Listener
    {
        enum class Kind { Nobody, Camera, Lamp, Broadcast };
        Kind kind = Kind::Nobody;
        int camera = 0; // index of the camera
    };

private:
    // Field values of a command by letter (see the table in viscamodel.cpp).
    using Fields = std::array<int, 26>;

    Listener listenerFor(Route route, int device, int networkCamera) const;
    Packet take(const ViscaFramer::Piece &piece, Route route, int networkCamera);
    Packet decode(const QByteArray &bytes, Route route, int networkCamera);
    // Carries out row `shape` of the table for its listener.
    void carryOut(Packet *packet, int shape, const Fields &fields, const Listener &to);
    void forCamera(Packet *packet, int shape, const Fields &fields, Camera &camera);
    void forLine(Packet *packet, int shape, const Fields &fields);
    void forLamp(Packet *packet, int shape, const Fields &fields);
    // A camera listening refuses the packet with an error code.
    void refuse(Packet *packet, const Listener &to, int code);
    Packet finishPacket(Packet packet);

    Config setup;
    QVector<Camera> units;
    int lampAt = 0;
    double lamp = 0;
    Drive lampDrive;
    int packets = 0;
    qint64 timeMs = 0;
    int lastMover = 1;
    ViscaFramer serialFramer;
    QList<Answer> outbox;
};

Q_DECLARE_METATYPE(ViscaModel::Packet)

// A camera's pan-tilt drive: decides when a drive packet leaves for the
// speeds asked of it (by the window's pad, a gamepad, and whatever else
// drives the camera).
//
// - What is asked is a request of the vocabulary, "<group>,<pan> <tilt>":
//   on the window pad's scale ("pantilt,3 -2") or in VISCA speed steps
//   ("pantiltspeed,24 -20"). Every stop is the one request "pantilt,0 0".
// - Only changes are sent: asking for what the camera was last told sends
//   nothing.
// - While the route is busy (an encoder request under way), only the newest
//   wish is kept; it leaves as soon as the route reports itself free. A stop
//   therefore replaces any speed still waiting and is the very next packet,
//   never queued behind speed changes.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>

// How a mover counts pan-tilt speeds: on the window pad's scale (sizes
// 0 ... 5, each picking a camera speed) or in VISCA's speed steps (pan
// 0 ... 24, tilt 0 ... 20: every step the camera has, as a gamepad gives it).
enum class PanTiltUnit { PadScale, SpeedStep };

namespace PanTiltMove {

// The vocabulary's pan-tilt action ("<pan> <tilt>", pan > 0 right, tilt > 0
// up) for what the pad shows. The sizes come from the pad's speed, the
// directions from where the ring is drawn relative to the centre, so the
// camera turns toward the ring whichever path set the speed. An axis whose
// speed is 0, or whose ring offset is 0, holds.
QString action(const QPoint &padSpeed, const QPoint &ringOffset);
// The same as numbers: x the pan, y the tilt.
QPoint speeds(const QPoint &padSpeed, const QPoint &ringOffset);
// The action for a pan and a tilt ("<pan> <tilt>").
QString action(int pan, int tilt);

// The action that stops both axes.
QString stopAction();

// The drive's request for a pan and a tilt in a unit: "pantilt,<pan> <tilt>"
// or "pantiltspeed,<pan> <tilt>"; (0, 0) is stopRequest() in either unit.
QString request(int pan, int tilt, PanTiltUnit unit);
QString stopRequest();
// Whether a request moves the camera in this unit (a stop moves in none).
bool movesIn(const QString &request, PanTiltUnit unit);

} // namespace PanTiltMove

class PanTiltDrive : public QObject
{
    Q_OBJECT

public:
    enum class RouteState {
        Closed, // no route: nothing can be sent
        Busy,   // a route is up but still carrying something; call routeFree() later
        Free,
    };
    // Sends one pan-tilt request; true when it left.
    using Sender = std::function<bool(const QString &request)>;
    using RouteProbe = std::function<RouteState()>;

    PanTiltDrive(Sender sender, RouteProbe probe, QObject *parent = nullptr);

    // True while the camera was last told to move (or may still be moving
    // after a failed packet).
    bool cameraMayMove() const { return told != PanTiltMove::stopRequest(); }
    // What is asked of the drive now.
    const QString &wish() const { return wanted; }

public slots:
    // The speeds wanted now, as a request (PanTiltMove::request()).
    void want(const QString &request);
    // The route can take a packet again.
    void routeFree();
    // A packet that left earlier was refused by the far end (the route said
    // so after it had taken the packet): as for a packet that did not leave.
    void refusedLater(const QString &request);
    // The route went away: nothing waits any more. If the camera was moving,
    // the next packet is sent whatever it is, stop included. A failed packet
    // is likewise followed by the next wish, whatever it is, but is not
    // repeated on its own.
    void routeClosed();
    // Stops the camera now: the stop leaves at once, on a busy route queued
    // behind what is under way rather than held back, so that whatever the
    // caller sends next reaches the camera after it. Sends nothing when the
    // camera was told to stop already and nothing else is wished.
    void stopAtOnce();

signals:
    // A packet did not leave (the route reported a failure).
    void sendFailed(const QString &request);

private:
    void pump();

    Sender send;
    RouteProbe probe;
    bool sending = false; // inside send(): the route's signals may call back
    QString wanted;       // what the pad asks for now
    QString told;         // what the camera last received; null: unknown
    QString refused;      // the wish whose packet failed, until the wish changes
};

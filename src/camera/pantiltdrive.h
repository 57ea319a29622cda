// Between the pan-tilt pad and the command route: turns what the pad shows
// into the camera's pan-tilt drive and decides when a drive packet leaves.
//
// - Only changes are sent: a pad signal that asks for what the camera was
//   last told sends nothing.
// - While the route is busy (a packet still in flight, an encoder request
//   waiting), only the newest wish is kept; it leaves as soon as the route
//   reports itself free. A stop therefore replaces any speed still waiting
//   and is the very next packet, never queued behind speed changes.
// - With the drive switched off the pad sends nothing.
#pragma once

#include <QObject>
#include <QPoint>
#include <QString>

#include <functional>

namespace PanTiltMove {

// The vocabulary's pan-tilt action ("<pan> <tilt>", pan > 0 right, tilt > 0
// up) for what the pad shows. The sizes come from the pad's speed, the
// directions from where the ring is drawn relative to the centre, so the
// camera turns toward the ring whichever path set the speed. An axis whose
// speed is 0, or whose ring offset is 0, holds.
QString action(const QPoint &padSpeed, const QPoint &ringOffset);

// The action that stops both axes.
QString stopAction();

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
    // Sends one pan-tilt action; true when it left.
    using Sender = std::function<bool(const QString &action)>;
    using RouteProbe = std::function<RouteState()>;

    PanTiltDrive(Sender sender, RouteProbe probe, QObject *parent = nullptr);

    // Switching off while the camera moves sends the stop first.
    void setEnabled(bool on);
    bool isEnabled() const { return enabled; }

    // True while the camera was last told to move (or may still be moving
    // after a failed packet).
    bool cameraMayMove() const { return told != PanTiltMove::stopAction(); }

public slots:
    // The pad's driveChanged signal.
    void padChanged(QPoint speed, QPoint ringOffset);
    // The route can take a packet again.
    void routeFree();
    // The route went away: nothing waits any more. If the camera was moving,
    // the next packet is sent whatever it is, stop included. A failed packet
    // is likewise followed by the next wish, whatever it is, but is not
    // repeated on its own.
    void routeClosed();

signals:
    // A packet did not leave (the route reported a failure).
    void sendFailed(const QString &action);

private:
    void pump();

    Sender send;
    RouteProbe probe;
    bool enabled = false;
    bool sending = false; // inside send(): a nested event loop may call back
    QString wanted;       // what the pad asks for now
    QString told;         // what the camera last received; null: unknown
    QString refused;      // the wish whose packet failed, until the wish changes
};

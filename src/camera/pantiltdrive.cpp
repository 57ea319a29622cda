#include "pantiltdrive.h"

#include "logcategories.h"

namespace PanTiltMove {

namespace {

// One axis on the camera's scale: the pad's speed size, turned toward the
// ring. `towardPositive` is the sign the ring offset has when the camera's
// positive direction is meant.
int axis(int padSpeed, int ringOffset, int towardPositive)
{
    if (padSpeed == 0 || ringOffset == 0)
        return 0;
    const int size = padSpeed < 0 ? -padSpeed : padSpeed;
    return (ringOffset > 0) == (towardPositive > 0) ? size : -size;
}

} // namespace

QString action(const QPoint &padSpeed, const QPoint &ringOffset)
{
    // Ring right of the centre: pan right (+). Ring above it (offset y < 0,
    // screen y grows downwards): tilt up (+).
    const int pan = axis(padSpeed.x(), ringOffset.x(), +1);
    const int tilt = axis(padSpeed.y(), ringOffset.y(), -1);
    return QStringLiteral("%1 %2").arg(pan).arg(tilt);
}

QString stopAction()
{
    return QStringLiteral("0 0");
}

} // namespace PanTiltMove

PanTiltDrive::PanTiltDrive(Sender sender, RouteProbe routeProbe, QObject *parent)
    : QObject(parent)
    , send(std::move(sender))
    , probe(std::move(routeProbe))
    , wanted(PanTiltMove::stopAction())
    , told(PanTiltMove::stopAction())
{
}

void PanTiltDrive::setEnabled(bool on)
{
    if (on == enabled)
        return;
    if (!on) {
        // The camera must not be left running by a switch it no longer hears.
        wanted = PanTiltMove::stopAction();
        pump();
    }
    enabled = on;
    qCDebug(lcPtPad) << "pan-tilt drive" << (on ? "on" : "off");
    if (on)
        pump();
}

void PanTiltDrive::padChanged(QPoint speed, QPoint ringOffset)
{
    // Switched off, the wish stays at the stop: a send still under way then
    // finishes with the stop and nothing else.
    if (!enabled)
        return;
    const QString action = PanTiltMove::action(speed, ringOffset);
    if (action != wanted)
        refused.clear();
    wanted = action;
    pump();
}

void PanTiltDrive::routeFree()
{
    pump();
}

void PanTiltDrive::routeClosed()
{
    wanted = PanTiltMove::stopAction();
    refused.clear();
    if (cameraMayMove())
        told.clear();
}

void PanTiltDrive::pump()
{
    // A send that waits in a nested event loop lets the pad call in again:
    // the wish is stored above and picked up by the loop below.
    // Switched off, the wish is the stop: only a stop still owed leaves.
    if (sending)
        return;
    // A packet the route failed to carry is not repeated on its own: the
    // route would be flooded with it while it fails.
    while (told != wanted && wanted != refused) {
        const RouteState route = probe();
        if (route != RouteState::Free) {
            if (route == RouteState::Busy)
                qCDebug(lcPtPad).noquote() << "pan-tilt waits for the route:" << wanted;
            return;
        }
        const QString action = wanted;
        sending = true;
        const bool left = send(action);
        sending = false;
        if (left) {
            told = action;
            refused.clear();
            continue;
        }
        // Unknown what the camera does now: the next wish goes out whatever
        // it is. Try again only for a wish that came in during the failed send.
        told.clear();
        refused = action;
        emit sendFailed(action);
    }
}

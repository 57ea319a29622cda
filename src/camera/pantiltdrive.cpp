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

QPoint speeds(const QPoint &padSpeed, const QPoint &ringOffset)
{
    // Ring right of the centre: pan right (+). Ring above it (offset y < 0,
    // screen y grows downwards): tilt up (+).
    return {axis(padSpeed.x(), ringOffset.x(), +1), axis(padSpeed.y(), ringOffset.y(), -1)};
}

QString action(int pan, int tilt)
{
    return QStringLiteral("%1 %2").arg(pan).arg(tilt);
}

QString action(const QPoint &padSpeed, const QPoint &ringOffset)
{
    const QPoint numbers = speeds(padSpeed, ringOffset);
    return action(numbers.x(), numbers.y());
}

QString stopAction()
{
    return QStringLiteral("0 0");
}

namespace {

const QString padScaleGroup = QStringLiteral("pantilt,");
const QString speedStepGroup = QStringLiteral("pantiltspeed,");

} // namespace

QString request(int pan, int tilt, PanTiltUnit unit)
{
    if (pan == 0 && tilt == 0)
        return stopRequest();
    return (unit == PanTiltUnit::SpeedStep ? speedStepGroup : padScaleGroup) + action(pan, tilt);
}

QString stopRequest()
{
    return padScaleGroup + stopAction();
}

bool movesIn(const QString &request, PanTiltUnit unit)
{
    return request != stopRequest()
        && request.startsWith(unit == PanTiltUnit::SpeedStep ? speedStepGroup : padScaleGroup);
}

} // namespace PanTiltMove

PanTiltDrive::PanTiltDrive(Sender sender, RouteProbe routeProbe, QObject *parent)
    : QObject(parent)
    , send(std::move(sender))
    , probe(std::move(routeProbe))
    , wanted(PanTiltMove::stopRequest())
    , told(PanTiltMove::stopRequest())
{
}

void PanTiltDrive::want(const QString &request)
{
    if (request != wanted)
        refused.clear();
    wanted = request;
    pump();
}

void PanTiltDrive::refusedLater(const QString &request)
{
    if (told != request)
        return;
    // As for a packet that did not leave: unknown what the camera does now.
    told.clear();
    if (wanted == request)
        refused = request;
    emit sendFailed(request);
}

void PanTiltDrive::routeFree()
{
    pump();
}

void PanTiltDrive::routeClosed()
{
    wanted = PanTiltMove::stopRequest();
    refused.clear();
    if (cameraMayMove())
        told.clear();
}

void PanTiltDrive::stopAtOnce()
{
    const QString stop = PanTiltMove::stopRequest();
    wanted = stop;
    refused.clear();
    if (told == stop || sending || probe() == RouteState::Closed)
        return;
    sending = true;
    const bool left = send(stop);
    sending = false;
    if (left) {
        told = stop;
        return;
    }
    told.clear();
    refused = stop;
    emit sendFailed(stop);
}

void PanTiltDrive::pump()
{
    // The route's signals during a send may ask again: the wish is stored
    // above and picked up by the loop below.
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
        const QString request = wanted;
        sending = true;
        const bool left = send(request);
        sending = false;
        if (left) {
            told = request;
            refused.clear();
            continue;
        }
        // Unknown what the camera does now: the next wish goes out whatever
        // it is. Try again only for a wish that came in during the failed send.
        told.clear();
        refused = request;
        emit sendFailed(request);
    }
}

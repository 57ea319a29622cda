// The pan-tilt pad driving the camera, seen from the window: the option that
// switches it on, the route the drive asks before each packet, and what the
// operator sees when a packet does not leave.
#include "logcategories.h"
#include "tarndeck.h"

void tarnDeck::setUpPanTiltDrive()
{
    connect(ui.widgetPT, &PTWidget::driveChanged, &panTiltDrive, &PanTiltDrive::padChanged);
    // Queued: the request that just returned is still unwinding; its caller
    // reads the link's outcome before the next request may start. (The other
    // routes are never busy: their queues keep the newest drive.)
    connect(&actiInfo.http, &MYHTTP::allReturned, &panTiltDrive, &PanTiltDrive::routeFree,
            Qt::QueuedConnection);
    connect(&panTiltDrive, &PanTiltDrive::sendFailed, this, [this](const QString &) {
        qCWarning(lcCamera).noquote() << "pan-tilt not sent:" << lastCommand;
        ui.labelLastCommand->setText(QStringLiteral("Not sent: ") + lastCommand);
    });
}

bool tarnDeck::sendPanTilt(const QString &action)
{
    return sendCommand(QStringLiteral("pantilt"), action) > 0;
}

// The route owner answers: no connected route is Closed; a route still
// carrying an earlier packet (an encoder request waiting) is Busy.
PanTiltDrive::RouteState tarnDeck::panTiltRoute() const
{
    const PacketRoute *route = routes.carrier();
    if (!route)
        return PanTiltDrive::RouteState::Closed;
    return route->busy() ? PanTiltDrive::RouteState::Busy : PanTiltDrive::RouteState::Free;
}

// Before a route closes: a pad that drives the camera comes to rest, so the
// stop leaves while the route still carries it.
void tarnDeck::restPanTiltBeforeRouteCloses()
{
    if (panTiltDrive.isEnabled())
        ui.widgetPT->setActive(false);
}

void tarnDeck::on_actionPanTiltDrive_triggered(bool)
{
    const bool on = ui.actionPanTiltDrive->isChecked();
    if (!on)
        ui.widgetPT->setActive(false);
    panTiltDrive.setEnabled(on);
    // The pad's panel is offered only while the pad drives the camera.
    ui.actionPanTilt->setVisible(on);
    ui.groupBoxPanTilt->setVisible(on && ui.actionPanTilt->isChecked());
    timer.start();
}

// The pan-tilt pad driving the camera, seen from the window: the option that
// lets the pad's moves reach the camera's drive.
#include "tarndeck.h"

void tarnDeck::setUpPanTiltDrive()
{
    connect(ui.widgetPT, &PTWidget::driveChanged, this, [this](QPoint speed, QPoint ringOffset) {
        if (!padDrivesCamera)
            return;
        const QPoint numbers = PanTiltMove::speeds(speed, ringOffset);
        // At rest the pad stops only its own move: a gamepad that has
        // driven the camera since keeps driving it.
        if (numbers.isNull() && camera()->panTiltMovesIn(PanTiltUnit::SpeedStep))
            return;
        camera()->panTilt(numbers.x(), numbers.y());
    });
}

// Before a route closes: a pad that drives the camera comes to rest, so the
// stop leaves while the route still carries it.
void tarnDeck::restPanTiltBeforeRouteCloses()
{
    if (padDrivesCamera)
        ui.widgetPT->setActive(false);
}

void tarnDeck::on_actionPanTiltDrive_triggered(bool)
{
    const bool on = ui.actionPanTiltDrive->isChecked();
    // The camera must not be left running by a pad it no longer hears.
    if (!on)
        ui.widgetPT->setActive(false);
    padDrivesCamera = on;
    // The pad's panel is offered only while the pad drives the camera.
    ui.actionPanTilt->setVisible(on);
    ui.groupBoxPanTilt->setVisible(on && ui.actionPanTilt->isChecked());
    timer.start();
}

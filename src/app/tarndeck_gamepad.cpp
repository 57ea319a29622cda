// The gamepad seen from the window: its entry in the "Options" menu and what
// it says on the status line. The pad drives the camera itself
// (GamepadControl), never through the window's widgets.
#include "tarndeck.h"

void tarnDeck::setUpGamepad()
{
    gamepadControl.start();
    connect(&gamepadControl, &GamepadControl::status, this, &tarnDeck::showStatus);
    // A pad found at start is named, unless a warning about the store stands.
    if (ui.labelLastCommand->text().isEmpty() && !gamepadControl.statusText().isEmpty())
        showStatus(gamepadControl.statusText(), gamepadControl.statusFailed());
}

void tarnDeck::on_actionGamepad_triggered()
{
    gamepadControl.openDialog(this);
}

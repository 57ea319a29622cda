// The "Camera profiles" menu: recall, store and reset the camera's numbered
// memory profiles, and store the camera default. The camera keeps the
// selection (drawn as the menu's check mark); the window writes the number
// last recalled to the settings store.
#include "tarndeck.h"

QList<QAction *> tarnDeck::cameraProfileEntries() const
{
    return {ui.actionCameraProfile0, ui.actionCameraProfile1, ui.actionCameraProfile2,
            ui.actionCameraProfile3, ui.actionCameraProfile4, ui.actionCameraProfile5,
            ui.actionCameraProfile6, ui.actionCameraProfile7, ui.actionCameraProfile8,
            ui.actionCameraProfile9};
}

void tarnDeck::recallCameraProfile(int number)
{
    if (storeRead)
        settings.setValue(QStringLiteral("cameraProfile"), number);
    camera()->recallProfile(number);
}

void tarnDeck::on_actionCameraProfile0_triggered(bool)
{
    recallCameraProfile(0);
}

void tarnDeck::on_actionCameraProfile1_triggered(bool)
{
    recallCameraProfile(1);
}

void tarnDeck::on_actionCameraProfile2_triggered(bool)
{
    recallCameraProfile(2);
}

void tarnDeck::on_actionCameraProfile3_triggered(bool)
{
    recallCameraProfile(3);
}

void tarnDeck::on_actionCameraProfile4_triggered(bool)
{
    recallCameraProfile(4);
}

void tarnDeck::on_actionCameraProfile5_triggered(bool)
{
    recallCameraProfile(5);
}

void tarnDeck::on_actionCameraProfile6_triggered(bool)
{
    recallCameraProfile(6);
}

void tarnDeck::on_actionCameraProfile7_triggered(bool)
{
    recallCameraProfile(7);
}

void tarnDeck::on_actionCameraProfile8_triggered(bool)
{
    recallCameraProfile(8);
}

void tarnDeck::on_actionCameraProfile9_triggered(bool)
{
    recallCameraProfile(9);
}

void tarnDeck::on_actionCameraSave_triggered(bool)
{
    camera()->storeProfile();
}

void tarnDeck::on_actionCameraSaveCustom_triggered(bool)
{
    camera()->storeDefault();
}

// The recall follows after the camera's wait, for the profile selected then;
// the window stays live meanwhile.
void tarnDeck::on_actionCameraReset_triggered(bool)
{
    camera()->resetProfile();
}

void tarnDeck::cameraProfileDeselect()
{
    camera()->deselectProfile();
}

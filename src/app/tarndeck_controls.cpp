// The slots behind the zoom, focus, brightness, colour and LED panels: each
// turns one widget event into one operation of the camera; the marks follow
// from the camera's state (drawCamera). The keyboard drives the same widgets,
// so these are its paths too. Also the window's thin views of the camera.
#include "tarndeck.h"

int tarnDeck::sendCommand(QString group, QString action)
{
    return camera()->command(group, action);
}

int tarnDeck::serialSendCommand(QString command)
{
    return camera()->sendText(command);
}

QString tarnDeck::lastCommandText() const
{
    return camera()->lastCommand();
}

// Hold-to-run buttons are checked exactly while held: the pressed slot checks,
// the released slot unchecks, and the toggled slot sends. (A pointer release
// on a checkable button toggles it before released() arrives, so the released
// slot then finds nothing to do.)
void tarnDeck::holdButtonPressed(QPushButton *button)
{
    if (!button->isChecked())
        button->toggle();
}

void tarnDeck::holdButtonReleased(QPushButton *button)
{
    if (button->isChecked())
        button->toggle();
}

void tarnDeck::on_verticalSliderZoom_valueChanged(int value)
{
    camera()->zoom(value);
}

void tarnDeck::on_verticalSliderZoom_sliderReleased()
{
    ui.verticalSliderZoom->setSliderPosition(0);
}

void tarnDeck::on_verticalSliderFocus_valueChanged(int value)
{
    camera()->focus(value);
}

void tarnDeck::on_verticalSliderFocus_sliderReleased()
{
    ui.verticalSliderFocus->setSliderPosition(0);
}

void tarnDeck::on_pushButtonFocusAuto_clicked()
{
    camera()->setFocusMode(FocusMode::Auto);
}

void tarnDeck::on_pushButtonFocusTrigger_clicked()
{
    camera()->setFocusMode(FocusMode::Trigger);
}

void tarnDeck::on_pushButtonFocusManual_clicked()
{
    camera()->setFocusMode(FocusMode::Manual);
}

// The focus buttons' marks are kept by their auto-exclusive group alone.
void tarnDeck::on_pushButtonFocusAuto_toggled(bool)
{
}
void tarnDeck::on_pushButtonFocusTrigger_toggled(bool)
{
}
void tarnDeck::on_pushButtonFocusManual_toggled(bool)
{
}

void tarnDeck::on_pushButtonBrightnessAuto_clicked()
{
    camera()->exposureAuto();
}

void tarnDeck::on_pushButtonBrightnessUp_pressed()
{
    holdButtonPressed(ui.pushButtonBrightnessUp);
}

void tarnDeck::on_pushButtonBrightnessUp_released()
{
    holdButtonReleased(ui.pushButtonBrightnessUp);
}

void tarnDeck::on_pushButtonBrightnessUp_toggled(bool checked)
{
    if (checked)
        camera()->brightnessStep(+1);
}

void tarnDeck::on_pushButtonBrightnessDown_pressed()
{
    holdButtonPressed(ui.pushButtonBrightnessDown);
}

void tarnDeck::on_pushButtonBrightnessDown_released()
{
    holdButtonReleased(ui.pushButtonBrightnessDown);
}

void tarnDeck::on_pushButtonBrightnessDown_toggled(bool checked)
{
    if (checked)
        camera()->brightnessStep(-1);
}

void tarnDeck::on_pushButtonBrightnessWDR_toggled(bool checked)
{
    camera()->setWdr(checked);
}

void tarnDeck::on_pushButtonColorAuto_clicked()
{
    camera()->setWhiteBalance(WhiteBalance::Auto);
}

void tarnDeck::on_pushButtonColor2700K_clicked()
{
    camera()->setWhiteBalance(WhiteBalance::Lamp2700K);
}

void tarnDeck::on_pushButtonColor3200K_clicked()
{
    camera()->setWhiteBalance(WhiteBalance::Indoor3200K);
}

void tarnDeck::on_pushButtonColor5800K_clicked()
{
    camera()->setWhiteBalance(WhiteBalance::Outdoor5800K);
}

void tarnDeck::on_pushButtonLEDUp_pressed()
{
    holdButtonPressed(ui.pushButtonLEDUp);
}

void tarnDeck::on_pushButtonLEDUp_released()
{
    holdButtonReleased(ui.pushButtonLEDUp);
}

void tarnDeck::on_pushButtonLEDUp_toggled(bool checked)
{
    camera()->lamp(checked ? +1 : 0);
}

void tarnDeck::on_pushButtonLEDDown_pressed()
{
    holdButtonPressed(ui.pushButtonLEDDown);
}

void tarnDeck::on_pushButtonLEDDown_released()
{
    holdButtonReleased(ui.pushButtonLEDDown);
}

void tarnDeck::on_pushButtonLEDDown_toggled(bool checked)
{
    camera()->lamp(checked ? -1 : 0);
}

void tarnDeck::on_pushButtonLEDOff_clicked()
{
    camera()->lampOff();
}

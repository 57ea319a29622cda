// The slots behind the zoom, focus, brightness, colour and LED panels: each
// turns one widget event into sendCommand calls and keeps the panel's check
// marks. The keyboard drives the same widgets, so these are its paths too.
#include "tarndeck.h"

namespace {
const QString zoom = QStringLiteral("zoom");
const QString focus = QStringLiteral("focus");
const QString brightness = QStringLiteral("brightness");
const QString color = QStringLiteral("color");
const QString led = QStringLiteral("led");
} // namespace

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

// One exposure-compensation step; manual steps end the automatic mode.
void tarnDeck::brightnessStep(const QString &direction)
{
    ui.pushButtonBrightnessAuto->setChecked(false);
    sendCommand(brightness, QStringLiteral("on"));
    sendCommand(brightness, direction);
}

void tarnDeck::on_verticalSliderZoom_valueChanged(int value)
{
    sendCommand(zoom, QString::number(value));
}

void tarnDeck::on_verticalSliderZoom_sliderReleased()
{
    ui.verticalSliderZoom->setSliderPosition(0);
}

void tarnDeck::on_verticalSliderFocus_valueChanged(int value)
{
    sendCommand(focus, QString::number(value));
}

void tarnDeck::on_verticalSliderFocus_sliderReleased()
{
    ui.verticalSliderFocus->setSliderPosition(0);
}

void tarnDeck::on_pushButtonFocusAuto_clicked()
{
    sendCommand(focus, QStringLiteral("auto"));
}

void tarnDeck::on_pushButtonFocusTrigger_clicked()
{
    sendCommand(focus, QStringLiteral("manual"));
    sendCommand(focus, QStringLiteral("trigger"));
}

void tarnDeck::on_pushButtonFocusManual_clicked()
{
    sendCommand(focus, QStringLiteral("manual"));
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
    ui.pushButtonBrightnessAuto->setChecked(true);
    sendCommand(brightness, QStringLiteral("reset"));
    sendCommand(brightness, QStringLiteral("off"));
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
        brightnessStep(QStringLiteral("up"));
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
        brightnessStep(QStringLiteral("down"));
}

void tarnDeck::on_pushButtonBrightnessWDR_toggled(bool checked)
{
    sendCommand(QStringLiteral("wdr"), checked ? QStringLiteral("on") : QStringLiteral("off"));
}

void tarnDeck::on_pushButtonColorAuto_clicked()
{
    sendCommand(color, QStringLiteral("auto"));
}

void tarnDeck::on_pushButtonColor2700K_clicked()
{
    sendCommand(color, QStringLiteral("2700k"));
}

void tarnDeck::on_pushButtonColor3200K_clicked()
{
    sendCommand(color, QStringLiteral("3200k"));
}

void tarnDeck::on_pushButtonColor5800K_clicked()
{
    sendCommand(color, QStringLiteral("5800k"));
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
    if (checked)
        ui.pushButtonLEDOff->setChecked(false);
    sendCommand(led, checked ? QStringLiteral("up") : QStringLiteral("stop"));
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
    // LED Off keeps its mark while the lamp runs down.
    sendCommand(led, checked ? QStringLiteral("down") : QStringLiteral("stop"));
}

void tarnDeck::on_pushButtonLEDOff_clicked()
{
    ui.pushButtonLEDOff->setChecked(true);
    sendCommand(led, QStringLiteral("off"));
}

// Keyboard control: keys act only through the panel widgets (clicks, slider
// values, the hold-to-run buttons' pressed and released signals, the pad), so
// the commands come from the same slots as with the mouse.
#include "keyboardmap.h"
#include "tarndeck.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

void tarnDeck::keyPressEvent(QKeyEvent *event)
{
    // Every press is noted, so that a hold is known even when it starts
    // before the route is up.
    const KeyEventView view
        = heldKeys.press(event->nativeScanCode(), event->timestamp(), event->key(),
                         event->modifiers(), event->isAutoRepeat());
    if (!ui.centralWidget->isEnabled())
        return;
    const auto actions = keyPressActions(view.key, view.modifiers, view.autoRepeat);
    // Choosing a camera needs no route.
    if (!actions.isEmpty() && isCameraChoice(actions.constFirst().kind)) {
        performKeyAction(actions.constFirst());
        return;
    }
    if (!camera()->carriesCommands())
        return;
    for (const KeyAction &action : actions) {
        // Where no lamp can be reached its keys leave its buttons alone.
        if (isLampAction(action.kind) && !camera()->reachesLamp())
            continue;
        performKeyAction(action);
    }
}

void tarnDeck::keyReleaseEvent(QKeyEvent *event)
{
    const KeyEventView view
        = heldKeys.release(event->nativeScanCode(), event->timestamp(), event->key(),
                           event->modifiers(), event->isAutoRepeat());
    if (!ui.centralWidget->isEnabled())
        return;
    const auto actions = keyReleaseActions(view.key, view.modifiers, view.autoRepeat);
    for (const KeyAction &action : actions)
        performKeyAction(action);
}

void tarnDeck::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::ActivationChange && !isActiveWindow())
        bringToRest();
    QMainWindow::changeEvent(event);
}

void tarnDeck::bringToRest()
{
    heldKeys.forget();
    releaseControls();
}

void tarnDeck::releaseControls()
{
    // The pointer's press on a rate slider ends as if let go: that stops a
    // handle drag and a groove's page repeat alike, and springs it back.
    for (QSlider *slider : {ui.verticalSliderZoom, ui.verticalSliderFocus}) {
        QMouseEvent letGo(QEvent::MouseButtonRelease, QPointF(), QPointF(), Qt::LeftButton,
                          Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(slider, &letGo);
        slider->setValue(0);
    }
    // A button the pointer still holds must not toggle back on at its release.
    for (QPushButton *button : {ui.pushButtonBrightnessUp, ui.pushButtonBrightnessDown,
                                ui.pushButtonLEDUp, ui.pushButtonLEDDown}) {
        button->setDown(false);
        holdButtonReleased(button);
    }
    if (ui.widgetPT->isActive())
        ui.widgetPT->setActive(false);
}

void tarnDeck::performKeyAction(const KeyAction &action)
{
    PTWidget *pad = ui.widgetPT;
    const auto wakePad = [pad] {
        pad->setFocus(Qt::OtherFocusReason);
        pad->recenter();
    };
    switch (action.kind) {
    case KeyActionKind::PressLedUp:
        holdButtonPressed(ui.pushButtonLEDUp);
        break;
    case KeyActionKind::PressLedDown:
        holdButtonPressed(ui.pushButtonLEDDown);
        break;
    case KeyActionKind::ReleaseLedUp:
        holdButtonReleased(ui.pushButtonLEDUp);
        break;
    case KeyActionKind::ReleaseLedDown:
        holdButtonReleased(ui.pushButtonLEDDown);
        break;
    case KeyActionKind::ClickLedOff:
        ui.pushButtonLEDOff->click();
        break;
    case KeyActionKind::ClickBrightnessAuto:
        ui.pushButtonBrightnessAuto->click();
        break;
    case KeyActionKind::ClickFocusAuto:
        ui.pushButtonFocusAuto->click();
        break;
    case KeyActionKind::ClickFocusTrigger:
        ui.pushButtonFocusTrigger->click();
        break;
    case KeyActionKind::PadSetSpeed:
        wakePad();
        pad->setSpeed(action.x, action.y);
        pad->setActive(true);
        break;
    case KeyActionKind::PadChangeSpeed:
        wakePad();
        pad->changeSpeed(action.x, action.y);
        pad->setActive(true);
        break;
    case KeyActionKind::PadKeepSpeed:
        wakePad();
        pad->setActive(true);
        break;
    case KeyActionKind::PadRest:
        pad->setActive(false);
        break;
    case KeyActionKind::ZoomStep:
        ui.verticalSliderZoom->setValue(ui.verticalSliderZoom->value() + action.x);
        break;
    case KeyActionKind::ZoomSet:
        ui.verticalSliderZoom->setValue(action.x);
        break;
    case KeyActionKind::FocusSet:
        ui.verticalSliderFocus->setValue(action.x);
        break;
    case KeyActionKind::PressBrightnessUp:
        emit ui.pushButtonBrightnessUp->pressed();
        break;
    case KeyActionKind::PressBrightnessDown:
        emit ui.pushButtonBrightnessDown->pressed();
        break;
    case KeyActionKind::ReleaseBrightness:
        emit ui.pushButtonBrightnessUp->released();
        emit ui.pushButtonBrightnessDown->released();
        break;
    case KeyActionKind::PresetDigit:
        presetKey(action.x);
        break;
    case KeyActionKind::PresetStoreKey:
        armPresetStore(!presetStoreArmed);
        break;
    case KeyActionKind::PresetCancel:
        armPresetStore(false);
        break;
    case KeyActionKind::SelectCamera:
        selectCamera(action.x - 1);
        break;
    case KeyActionKind::NextCamera:
        cameras.selectNext(action.x);
        break;
    }
}

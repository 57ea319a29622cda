// The "&Baudrate" and "&Protocol" menus: every entry sets one parameter on
// the serial port (open or closed) and moves its group's check mark; the
// "Serial port settings" entry takes both menus out of the menu bar and puts
// them back.
#include "logcategories.h"
#include "serialparameters.h"
#include "tarndeck.h"

void tarnDeck::selectSerialParameter(QAction *chosen)
{
    const SerialParameterChoice *choice = findSerialParameterChoice(chosen->objectName());
    if (!choice)
        return;
    // A value the port rejects still moves the check mark: the menu shows
    // what the operator asked for. The parameters are every line's.
    for (Camera *each : cameras.cameras())
        each->setSerialParameter(choice->parameter, choice->value);
    if (choice->parameter != SerialParameter::FlowControl)
        actiSetSerialParameters();
    for (auto it = serialParameterChoicesBegin(); it != serialParameterChoicesEnd(); ++it) {
        if (it->parameter != choice->parameter)
            continue;
        if (QAction *entry = findChild<QAction *>(QLatin1String(it->actionName)))
            entry->setChecked(entry == chosen);
    }
}

void tarnDeck::on_action4800_triggered(bool)
{
    selectSerialParameter(ui.action4800);
}

void tarnDeck::on_action9600_triggered(bool)
{
    selectSerialParameter(ui.action9600);
}

void tarnDeck::on_action14400_triggered(bool)
{
    selectSerialParameter(ui.action14400);
}

void tarnDeck::on_action19200_triggered(bool)
{
    selectSerialParameter(ui.action19200);
}

void tarnDeck::on_action28800_triggered(bool)
{
    selectSerialParameter(ui.action28800);
}

void tarnDeck::on_action38400_triggered(bool)
{
    selectSerialParameter(ui.action38400);
}

void tarnDeck::on_action57600_triggered(bool)
{
    selectSerialParameter(ui.action57600);
}

void tarnDeck::on_action115200_triggered(bool)
{
    selectSerialParameter(ui.action115200);
}

void tarnDeck::on_actionDatabits7_triggered(bool)
{
    selectSerialParameter(ui.actionDatabits7);
}

void tarnDeck::on_actionDatabits8_triggered(bool)
{
    selectSerialParameter(ui.actionDatabits8);
}

void tarnDeck::on_actionParityNone_triggered(bool)
{
    selectSerialParameter(ui.actionParityNone);
}

void tarnDeck::on_actionParityEven_triggered(bool)
{
    selectSerialParameter(ui.actionParityEven);
}

void tarnDeck::on_actionParityOdd_triggered(bool)
{
    selectSerialParameter(ui.actionParityOdd);
}

void tarnDeck::on_actionStopbits1_triggered(bool)
{
    selectSerialParameter(ui.actionStopbits1);
}

void tarnDeck::on_actionStopbits1_5_triggered(bool)
{
    selectSerialParameter(ui.actionStopbits1_5);
}

void tarnDeck::on_actionStopbits2_triggered(bool)
{
    selectSerialParameter(ui.actionStopbits2);
}

void tarnDeck::on_actionFlowcontrolNone_triggered(bool)
{
    selectSerialParameter(ui.actionFlowcontrolNone);
}

void tarnDeck::on_actionFlowcontrolHardware_triggered(bool)
{
    selectSerialParameter(ui.actionFlowcontrolHardware);
}

void tarnDeck::on_actionFlowcontrolSoftware_triggered(bool)
{
    selectSerialParameter(ui.actionFlowcontrolSoftware);
}

void tarnDeck::on_actionPortSettings_triggered(bool checked)
{
    QMenuBar *bar = ui.menuBar;
    if (!checked) {
        const auto takeIfTitled = [bar](int index, const char *word, QAction *&remembered) {
            const QList<QAction *> items = bar->actions();
            if (index >= items.size())
                return;
            QAction *item = items.at(index);
            if (item->text().toLower().contains(QLatin1String(word))) {
                remembered = item;
                bar->removeAction(item);
            }
        };
        for (int i = 0; i < bar->actions().size(); ++i) {
            takeIfTitled(i, "baudrate", removedBaudrateMenu);
            takeIfTitled(i, "protocol", removedProtocolMenu);
        }
        return;
    }
    if (!removedBaudrateMenu || !removedProtocolMenu)
        return;
    bar->insertAction(bar->actions().value(1), removedBaudrateMenu);
    bar->insertAction(bar->actions().value(2), removedProtocolMenu);
    removedBaudrateMenu = nullptr;
    removedProtocolMenu = nullptr;
}

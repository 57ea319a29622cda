// The encoder route seen from the window: the connect flow behind "Connect"
// and the serial setting sent to the encoder whenever a parameter changes.
#include "acticgi.h"
#include "logcategories.h"
#include "tarndeck.h"

#include <QCoreApplication>

int tarnDeck::actiSetSerialParameters()
{
    if (!ui.actionACTi->isChecked())
        return 0;
    const QString setting = ActiCgi::serialSettingText(serialPort);
    qCDebug(lcActi).noquote() << "COM settings:" << setting;
    return actiInfo.cgiRequest(QStringLiteral("ENCODER"),
                               QStringLiteral("SERIAL_SETTING=") + setting)
        ? 1
        : 0;
}

void tarnDeck::on_pushButtonActiConnect_clicked()
{
    qCDebug(lcActi) << "ACTi connect button:";
    ui.pushButtonActiConnect->setEnabled(false);
    ui.labelActiStatus->setText(QStringLiteral("Connecting.."));
    // Paint the new status before the blocking request starts.
    QCoreApplication::processEvents();

    actiInfo.setEndpoint(ui.lineEditActiIP->text());
    actiInfo.user = ui.lineEditActiUser->text();
    actiInfo.password = ui.lineEditActiPassword->text();

    // Each request waits in a nested event loop, where the operator may leave
    // the route (which resets the link): the flow then ends there.
    const QString wanted = actiInfo.endpointText();
    const auto routeLeft = [this, wanted] {
        if (ui.actionACTi->isChecked() && actiInfo.endpointText() == wanted)
            return false;
        qCDebug(lcActi) << "ACTi route left while connecting.";
        return true;
    };

    const bool informed = actiInfo.readSystemInfo();
    if (routeLeft())
        return;
    if (!informed) {
        qCDebug(lcActi) << "ACTi not connected.";
        ui.labelActiStatus->setText(actiInfo.http.error != 0
                                        ? QStringLiteral("Failed, could not connect")
                                        : QStringLiteral("Failed, authentication"));
        ui.pushButtonActiConnect->setEnabled(true);
        return;
    }

    qCDebug(lcActi) << "ACTi connected, setting serial parameters.";
    const int serialSet = actiSetSerialParameters();
    if (routeLeft())
        return;
    if (serialSet == 0) {
        qCDebug(lcActi) << "ACTi could not set serial port parameters.";
        ui.labelActiStatus->setText(QStringLiteral("Failed, serial parameters"));
        ui.pushButtonActiConnect->setEnabled(true);
        return;
    }

    const QString encoder = actiInfo.endpointText();
    ui.labelActiStatus->setText(QStringLiteral("Connected"));
    ui.groupBoxActi->hide();
    enablePanels(true);
    setWindowTitle(titleBase + QStringLiteral(" - ACTi <") + encoder + QLatin1Char('>'));
    ui.labelLastCommand->setText(QStringLiteral("Connected to ACTi <") + encoder
                                 + QLatin1Char('>'));
}

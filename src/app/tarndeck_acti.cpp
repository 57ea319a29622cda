// The encoder route seen from the window: the connect flow behind "Connect"
// and the serial setting sent to the encoder whenever a parameter changes.
#include "acticgi.h"
#include "logcategories.h"
#include "sendfailure.h"
#include "tarndeck.h"

#include <QCoreApplication>

int tarnDeck::actiSetSerialParameters()
{
    if (!routes.isChosen(&encoderRoute))
        return 0;
    // A request waits (its nested event loop delivered this menu change):
    // the setting goes once it has returned, with the parameters of then.
    if (actiInfo.http.waitingRequests() > 0) {
        qCDebug(lcActi) << "COM settings: after the request that waits";
        serialSettingOwed = true;
        return 1;
    }
    serialSettingOwed = false;
    const QString setting = ActiCgi::serialSettingText(serialPort);
    qCDebug(lcActi).noquote() << "COM settings:" << setting;
    const bool accepted = actiInfo.cgiRequest(QStringLiteral("ENCODER"),
                                              QStringLiteral("SERIAL_SETTING=") + setting);
    // An encoder that answers again is news once a command failed for want
    // of an answer.
    if (accepted && encoderSilent) {
        encoderSilent = false;
        showStatus(QStringLiteral("Connected to ACTi <") + actiInfo.endpointText()
                   + QLatin1Char('>'));
    }
    return accepted ? 1 : 0;
}

void tarnDeck::sendOwedSerialSetting()
{
    if (serialSettingOwed && actiInfo.http.waitingRequests() == 0)
        actiSetSerialParameters();
}

void tarnDeck::on_pushButtonActiConnect_clicked()
{
    qCDebug(lcActi) << "ACTi connect button:";
    ui.pushButtonActiConnect->setEnabled(false);
    ui.labelActiStatus->setText(QStringLiteral("Connecting.."));
    ui.labelActiStatus->setToolTip(QString());
    // Paint the new status before the blocking request starts.
    QCoreApplication::processEvents();

    const QString typed = ui.lineEditActiIP->text();
    const bool parsed = actiInfo.setEndpoint(typed);
    actiInfo.user = ui.lineEditActiUser->text();
    actiInfo.password = ui.lineEditActiPassword->text();

    // Each request waits in a nested event loop, where the operator may leave
    // the route (which resets the link): the flow then ends there.
    const QString wanted = actiInfo.endpointText();
    const auto routeLeft = [this, wanted] {
        if (routes.isChosen(&encoderRoute) && actiInfo.endpointText() == wanted)
            return false;
        qCDebug(lcActi) << "ACTi route left while connecting.";
        return true;
    };

    const bool informed = actiInfo.readSystemInfo();
    if (routeLeft())
        return;
    if (!informed) {
        // Without a request the status tells what the last one met, as it
        // always did; the tooltip says why this attempt failed.
        QString why;
        if (typed.trimmed().isEmpty())
            why = SendFailure::noAddressEntered();
        else if (!parsed)
            why = SendFailure::notAnAddress(typed);
        else if (!actiInfo.hasAddress())
            why = SendFailure::notAUsableAddress(actiInfo.endpointText());
        else
            why = SendFailure::connectReason(
                SendFailure::encoderOutcome(actiInfo.http.error, actiInfo.lastReply, true));
        actiConnectFailed(actiInfo.http.error != 0 ? QStringLiteral("Failed, could not connect")
                                                   : QStringLiteral("Failed, authentication"),
                          QStringLiteral("ACTi not connected:"), why);
        return;
    }

    qCDebug(lcActi) << "ACTi connected, setting serial parameters.";
    const int serialSet = actiSetSerialParameters();
    if (routeLeft())
        return;
    if (serialSet == 0) {
        actiConnectFailed(QStringLiteral("Failed, serial parameters"),
                          QStringLiteral("ACTi could not set serial port parameters:"),
                          SendFailure::connectReason(SendFailure::encoderOutcome(
                              actiInfo.http.error, actiInfo.lastReply)));
        return;
    }

    const QString encoder = actiInfo.endpointText();
    routes.setConnected(true);
    ui.labelActiStatus->setText(QStringLiteral("Connected"));
    ui.groupBoxActi->hide();
    enablePanels(true);
    fieldKeys.handToPanels();
    setWindowTitle(titleBase + QStringLiteral(" - ACTi <") + encoder + QLatin1Char('>'));
    showStatus(QStringLiteral("Connected to ACTi <") + encoder + QLatin1Char('>'));
}

// A connect that failed: the status the operator knows, the reason in its
// tooltip and the log, the button back for a retry.
void tarnDeck::actiConnectFailed(const QString &status, const QString &logPrefix,
                                 const QString &why)
{
    qCWarning(lcActi).noquote() << logPrefix << why;
    ui.labelActiStatus->setText(status);
    ui.labelActiStatus->setToolTip(why);
    ui.pushButtonActiConnect->setEnabled(true);
}

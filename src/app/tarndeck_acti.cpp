// The encoder panel: the connect flow behind "Connect" (the camera runs it;
// its outcome comes back as the camera's signals, see tarndeck_portmenu.cpp)
// and the serial setting sent to the encoder whenever a parameter changes.
#include "logcategories.h"
#include "tarndeck.h"

int tarnDeck::actiSetSerialParameters()
{
    return camera()->sendEncoderSerialSetting();
}

void tarnDeck::on_pushButtonActiConnect_clicked()
{
    qCDebug(lcActi) << "ACTi connect button:";
    ui.pushButtonActiConnect->setEnabled(false);
    ui.labelActiStatus->setText(QStringLiteral("Connecting.."));
    ui.labelActiStatus->setToolTip(QString());
    camera()->connectEncoder(ui.lineEditActiIP->text(), ui.lineEditActiUser->text(),
                             ui.lineEditActiPassword->text());
}

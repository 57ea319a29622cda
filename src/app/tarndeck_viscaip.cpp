// The network camera route seen from the window: its "&Connect" entry and
// panel, the connect flow behind "Connect", and the camera's answers in the
// status line.
#include "endpoint.h"
#include "logcategories.h"
#include "sendfailure.h"
#include "tarndeck.h"

namespace {
const QString notConnected = QStringLiteral("Not connected");
} // namespace

ViscaIp::Protocol tarnDeck::networkCameraProtocol() const
{
    return ui.comboBoxViscaIpProtocol->currentIndex() == 1 ? ViscaIp::Protocol::Tcp
                                                           : ViscaIp::Protocol::Udp;
}

QString tarnDeck::networkCameraAddressText() const
{
    return ui.lineEditViscaIpAddress->text().trimmed();
}

void tarnDeck::chooseNetworkCamera(bool checked)
{
    qCDebug(lcViscaIp) << "VISCA over IP chosen:" << checked;
    if (checked) {
        routes.choose(&networkCameraRoute);
        ui.pushButtonViscaIpConnect->setEnabled(true);
        ui.labelViscaIpStatus->setText(notConnected);
        ui.groupBoxViscaIp->show();
        return;
    }
    ui.groupBoxViscaIp->hide();
    viscaIpLink.close();
    cameraFailureShown = false;
    setLinkIdle();
}

void tarnDeck::on_pushButtonViscaIpConnect_clicked()
{
    QHostAddress address;
    quint16 port = 0;
    const ViscaIp::Protocol protocol = networkCameraProtocol();
    if (!Endpoint::parse(networkCameraAddressText(), &address, &port,
                                ViscaIp::defaultPort(protocol))) {
        ui.labelViscaIpStatus->setText(QStringLiteral("Failed, no such address"));
        return;
    }
    ui.pushButtonViscaIpConnect->setEnabled(false);
    ui.labelViscaIpStatus->setText(QStringLiteral("Connecting.."));
    viscaIpLink.connectTo(address, port, protocol);
}

void tarnDeck::onNetworkCameraConnected(const QString &modelCode)
{
    if (!routes.isChosen(&networkCameraRoute))
        return;
    routes.setConnected(true);
    const QString camera = networkCameraAddressText();
    ui.labelViscaIpStatus->setText(QStringLiteral("Connected"));
    ui.groupBoxViscaIp->hide();
    enablePanels(true);
    fieldKeys.handToPanels();
    setWindowTitle(titleBase + QStringLiteral(" - VISCA <") + camera + QLatin1Char('>'));
    showStatus(QStringLiteral("Connected to VISCA <") + camera + QStringLiteral("> (model ")
               + modelCode + QLatin1Char(')'));
}

void tarnDeck::onNetworkCameraFailed(const QString &reason)
{
    qCInfo(lcViscaIp).noquote() << "VISCA over IP not connected:" << reason;
    ui.labelViscaIpStatus->setText(QStringLiteral("Failed, ") + reason);
    ui.pushButtonViscaIpConnect->setEnabled(true);
}

// The camera closed its TCP connection: the panels go off, the route stays
// chosen and its panel comes back for a new connect.
void tarnDeck::onNetworkCameraLost(const QString &reason)
{
    qCWarning(lcViscaIp).noquote() << "VISCA over IP lost:" << reason;
    routes.setConnected(false);
    enablePanels(false);
    setWindowTitle(titleBase + QStringLiteral(" - Not connected"));
    ui.labelViscaIpStatus->setText(QStringLiteral("Failed, connection lost"));
    ui.pushButtonViscaIpConnect->setEnabled(true);
    ui.groupBoxViscaIp->show();
    showStatus(QStringLiteral("Camera lost: ") + reason, true);
}

void tarnDeck::onCameraPacketAnswered(const QString &request)
{
    if (!cameraFailureShown)
        return;
    cameraFailureShown = false;
    showStatus(request);
}

void tarnDeck::onCameraPacketFailed(const QString &request, const QString &reason)
{
    const QString text = SendFailure::notSentText(request, reason);
    qCWarning(lcCamera).noquote() << text;
    cameraFailureShown = true;
    showStatus(text, true);
}

void tarnDeck::onRouteTrouble(const QString &text)
{
    qCWarning(lcCamera).noquote() << text;
    cameraFailureShown = true;
    showStatus(text, true);
}

// The network camera panel: its "&Connect" entry, the address and protocol
// fields, and "Connect" (the camera connects; its outcome comes back as the
// camera's signals, see tarndeck_portmenu.cpp).
#include "endpoint.h"
#include "logcategories.h"
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
        camera()->chooseNetworkCamera();
        ui.pushButtonViscaIpConnect->setEnabled(true);
        ui.labelViscaIpStatus->setText(notConnected);
        ui.groupBoxViscaIp->show();
        return;
    }
    ui.groupBoxViscaIp->hide();
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
    camera()->connectNetworkCamera(address, port, protocol, networkCameraAddressText());
}

// The "&Connect" menu: the encoder and network camera entries, then one entry
// per serial port present, rebuilt each time the menu opens. Choosing a port
// opens it or, when one is open, closes it; the routes exclude each other.
// Also what the window does when the camera says its route connected, failed
// to, or went.
#include "logcategories.h"
#include "tarndeck.h"

namespace {
const QString notConnected = QStringLiteral("Not connected");
} // namespace

void tarnDeck::setPortLister(SerialPortLister lister)
{
    cameras.pool().setPortLister(std::move(lister));
}

void tarnDeck::on_menuPort_aboutToShow()
{
    const Camera::Route route = camera()->route();
    QStringList configured = settings.value(QStringLiteral("serialPorts")).toStringList();
    // A port waiting for its adapter stays on offer, to be closed.
    if (route == Camera::Route::Serial)
        configured.append(camera()->config().serialPort);
    portInfoList = cameras.pool().ports(configured);
    QMenu *menu = ui.menuPort;
    QAction *acti = ui.actionACTi;
    acti->setEnabled(route != Camera::Route::Network);
    ui.actionViscaIp->setEnabled(route != Camera::Route::Encoder);
    // Only the encoder and network camera entries and the separator survive
    // a rebuild.
    while (menu->actions().size() > 3) {
        QAction *last = menu->actions().constLast();
        menu->removeAction(last);
        delete last;
    }
    if (portInfoList.isEmpty()) {
        menu->addAction(QStringLiteral("No ports available"));
        return;
    }
    const QString openPort = camera()->serialPortName();
    for (const SerialPortEntry &port : qAsConst(portInfoList)) {
        QAction *entry = menu->addAction(port.portName);
        entry->setCheckable(true);
        const bool current = !openPort.isEmpty() && isSerialPort(port, openPort);
        entry->setChecked(current);
        if ((route != Camera::Route::None && route != Camera::Route::Serial)
            || (port.portName.endsWith(serialPortMissingSuffix) && !current))
            entry->setEnabled(false);
        if (current) {
            acti->setEnabled(false);
            ui.actionViscaIp->setEnabled(false);
        }
    }
}

void tarnDeck::on_menuPort_triggered(QAction *action)
{
    if (action == ui.actionViscaIp) {
        chooseNetworkCamera(action->isChecked());
        return;
    }
    if (action->text().toLower().trimmed().contains(QLatin1String("acti"))) {
        const bool checked = action->isChecked();
        if (checked) {
            camera()->chooseEncoder();
            ui.pushButtonActiConnect->setEnabled(true);
            ui.labelActiStatus->setText(notConnected);
            ui.labelActiStatus->setToolTip(QString());
            ui.groupBoxActi->show();
            // The connect flow's first request should not wait for the
            // network stack to load.
            cameras.pool().prepareNetwork();
        } else {
            ui.groupBoxActi->hide();
            setLinkIdle();
        }
        qCDebug(lcSerial) << "ACTi connect enabled:" << checked;
        return;
    }

    if (portInfoList.isEmpty()) {
        qCDebug(lcSerial) << "No ports to connect";
        return;
    }
    const auto found = std::find_if(
        portInfoList.cbegin(), portInfoList.cend(),
        [action](const SerialPortEntry &port) { return port.portName == action->text(); });
    if (found == portInfoList.cend())
        return;

    if (camera()->route() == Camera::Route::Serial) {
        setLinkIdle();
        return;
    }
    // Success or failure, the camera says so in the status line.
    camera()->openSerial(*found);
}

// Back to "Not connected": the route left (the port closed), panels off,
// then the panel buttons cleared (after the route went, so their toggles
// send nothing). The serial parameters stay set for the next open.
void tarnDeck::setLinkIdle()
{
    restPanTiltBeforeRouteCloses();
    camera()->leaveRoute();
    enablePanels(false);
    showTitle();
    camera()->setStatus(notConnected);
    setPushButtonDefault();
}

void tarnDeck::onCameraConnected()
{
    switch (camera()->route()) {
    case Camera::Route::Encoder:
        ui.labelActiStatus->setText(QStringLiteral("Connected"));
        ui.groupBoxActi->hide();
        break;
    case Camera::Route::Network:
        ui.labelViscaIpStatus->setText(QStringLiteral("Connected"));
        ui.groupBoxViscaIp->hide();
        break;
    case Camera::Route::Serial:
    case Camera::Route::None:
        break;
    }
    enablePanels(true);
    fieldKeys.handToPanels();
    showTitle();
}

// A connect that failed: the status the operator knows, the reason in its
// tooltip (the encoder's), the button back for a retry.
void tarnDeck::onCameraConnectFailed(const QString &panelStatus, const QString &why)
{
    if (camera()->route() == Camera::Route::Encoder) {
        ui.labelActiStatus->setText(panelStatus);
        ui.labelActiStatus->setToolTip(why);
        ui.pushButtonActiConnect->setEnabled(true);
    } else if (camera()->route() == Camera::Route::Network) {
        ui.labelViscaIpStatus->setText(panelStatus);
        ui.pushButtonViscaIpConnect->setEnabled(true);
    }
}

// The serial adapter was unplugged (the route is left: the window looks as
// after a close), or a network camera closed its connection (the panels go
// off, the route stays chosen and its panel comes back for a new connect).
// The camera's status line then says what happened.
void tarnDeck::onCameraLost(Camera::Route route, const QString &)
{
    if (route == Camera::Route::Serial) {
        restPanTiltBeforeRouteCloses();
        enablePanels(false);
        showTitle();
        setPushButtonDefault();
        return;
    }
    enablePanels(false);
    showTitle();
    // "Reconnecting..": the camera tries again by itself; Connect tries at
    // once.
    ui.labelViscaIpStatus->setText(camera()->connectStatus().isEmpty()
                                       ? QStringLiteral("Failed, connection lost")
                                       : camera()->connectStatus());
    ui.pushButtonViscaIpConnect->setEnabled(true);
    ui.groupBoxViscaIp->show();
}

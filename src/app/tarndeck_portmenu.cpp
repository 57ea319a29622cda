// The "&Connect" menu: the encoder and network camera entries, then one entry
// per serial port present, rebuilt each time the menu opens. Choosing a port
// opens it or, when one is open, closes it; the routes exclude each other.
#include "logcategories.h"
#include "sendfailure.h"
#include "tarndeck.h"

namespace {
const QString notConnected = QStringLiteral("Not connected");
} // namespace

void tarnDeck::on_menuPort_aboutToShow()
{
    portInfoList = withConfiguredPorts(
        portLister(), settings.value(QStringLiteral("serialPorts")).toStringList());
    QMenu *menu = ui.menuPort;
    QAction *acti = ui.actionACTi;
    acti->setEnabled(!routes.isChosen(&networkCameraRoute));
    ui.actionViscaIp->setEnabled(!routes.isChosen(&encoderRoute));
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
    for (const SerialPortEntry &port : qAsConst(portInfoList)) {
        QAction *entry = menu->addAction(port.portName);
        entry->setCheckable(true);
        const bool current = serialPort.isOpen() && isSerialPort(port, serialPort.portName());
        entry->setChecked(current);
        if ((routes.chosen() && !routes.isChosen(&serialRoute))
            || port.portName.endsWith(serialPortMissingSuffix))
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
            routes.choose(&encoderRoute);
            ui.pushButtonActiConnect->setEnabled(true);
            ui.labelActiStatus->setText(notConnected);
            ui.labelActiStatus->setToolTip(QString());
            ui.groupBoxActi->show();
            // The connect flow's first request should not wait for the
            // network stack to load.
            actiInfo.http.prepare();
        } else {
            ui.groupBoxActi->hide();
            actiInfo.resetLink();
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

    if (serialPort.isOpen()) {
        setLinkIdle();
        return;
    }

    serialPort.setPortName(found->systemLocation);
    serialLink.reset();
    serialPort.open(QIODevice::ReadWrite);
    const bool opened = serialPort.isOpen();
    if (opened) {
        // An open port is a connected route: the line has no handshake.
        routes.choose(&serialRoute);
        routes.setConnected(true);
        enablePanels(true);
        fieldKeys.handToPanels();
        setWindowTitle(titleBase + QStringLiteral(" - ") + serialPort.portName());
        showStatus(QStringLiteral("Connected to ") + serialPort.portName());
    } else {
        const QString why = SendFailure::serialOpenFailedText(found->portName, serialPort.error(),
                                                              serialPort.errorString());
        qCWarning(lcSerial).noquote() << why;
        showStatus(why, true);
    }
    qCDebug(lcSerial).noquote() << (opened ? "Connected to:" : "Could not open:")
                                << serialPort.portName() << serialPort.baudRate();
    qCDebug(lcSerial) << serialPort.dataBits();
    qCDebug(lcSerial) << serialPort.stopBits();
    qCDebug(lcSerial) << serialPort.parity();
    qCDebug(lcSerial) << serialPort.flowControl();
}

// Back to "Not connected": panels off, the port closed, then the panel
// buttons cleared (after the close, so their toggles send nothing). The
// serial parameters stay set for the next open.
void tarnDeck::setLinkIdle()
{
    restPanTiltBeforeRouteCloses();
    if (PacketRoute *left = routes.chosen())
        left->dropWaiting();
    routes.clear();
    enablePanels(false);
    setWindowTitle(titleBase + QStringLiteral(" - Not connected"));
    showStatus(notConnected);
    if (serialPort.isOpen()) {
        const QString name = serialPort.portName();
        serialPort.close();
        qCDebug(lcSerial).noquote() << "Closed:" << name;
    }
    panTiltDrive.routeClosed();
    setPushButtonDefault();
}

// An adapter unplugged while open: close the port instead of leaving a window
// that looks connected but reaches nothing. A hang-up shows up as a resource
// error or, when the line ends, as a read error.
void tarnDeck::onSerialPortError(QSerialPort::SerialPortError error)
{
    const bool lineBroken = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!lineBroken || !serialPort.isOpen())
        return;
    const QString name = serialPort.portName();
    lineBrokenError = serialPort.errorString();
    qCWarning(lcSerial).noquote() << "Port lost:" << name << "error" << int(error)
                                  << lineBrokenError;
    setLinkIdle();
    showStatus(QStringLiteral("Port lost: ") + name, true);
}

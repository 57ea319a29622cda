// Several cameras from one window: the strip above the panels, choosing the
// current camera (its key, its strip button), the camera editor, and the
// cameras that connect at start. The window stays a view of the current
// camera; the others keep their routes and show their health on the strip.
#include "camerarecords.h"
#include "cameraeditor.h"
#include "camerastrip.h"
#include "logcategories.h"
#include "tarndeck.h"

#include <QApplication>
#include <QSignalBlocker>

namespace {
const QString notConnected = QStringLiteral("Not connected");
} // namespace

void tarnDeck::setUpCameras()
{
    strip = new CameraStrip(cameras, ui.centralWidget);
    ui.verticalLayout_9->insertWidget(0, strip);
    connect(strip, &CameraStrip::chosen, this, &tarnDeck::selectCamera);
    connect(&cameras, &CameraList::leaving, this, &tarnDeck::onLeavingCamera);
    connect(&cameras, &CameraList::currentChanged, this, &tarnDeck::onCurrentCamera);
    connect(&cameras, &CameraList::listChanged, this, [this] {
        showTally(); // the panels' frame is one camera's
        if (cameras.count() > 1)
            showTitle();
    });

    actionCameras = new QAction(QStringLiteral("Cameras\u2026"), this);
    actionCameras->setObjectName(QStringLiteral("actionCameras"));
    ui.menuOptions->addAction(actionCameras);
    connect(actionCameras, &QAction::triggered, this, &tarnDeck::editCameras);
    setUpHealthChecks();
}

void tarnDeck::setUpHealthChecks()
{
    const QString key = QStringLiteral("healthChecks");
    bool on = false;
    if (settings.contains(key)) {
        const QString stored = settings.value(key).toString().trimmed().toLower();
        on = stored == QLatin1String("true");
        if (!on && stored != QLatin1String("false"))
            qCWarning(lcApp).noquote()
                << "Settings: healthChecks is neither true nor false, health checks off";
    }
    actionHealthChecks = new QAction(QStringLiteral("Health checks"), this);
    actionHealthChecks->setObjectName(QStringLiteral("actionHealthChecks"));
    actionHealthChecks->setCheckable(true);
    actionHealthChecks->setChecked(on);
    actionHealthChecks->setToolTip(
        QStringLiteral("Asks every camera whose route answers whether it is there, every "
                       "1.5 s while nothing else goes to it"));
    ui.menuOptions->addAction(actionHealthChecks);
    connect(actionHealthChecks, &QAction::toggled, this, [this, key](bool checked) {
        applyHealthChecks();
        qCInfo(lcApp) << "health checks" << (checked ? "on" : "off");
        // A store that could not be read is left as it is.
        if (!storeRead)
            return;
        settings.setValue(key, checked);
        settings.sync();
    });
    connect(&cameras, &CameraList::listChanged, this, &tarnDeck::applyHealthChecks);
    applyHealthChecks();
}

void tarnDeck::applyHealthChecks()
{
    for (Camera *each : cameras.cameras())
        each->setHealthChecks(actionHealthChecks->isChecked());
}

// The store's cameras, before the serial parameters are restored (so every
// camera's line gets them). Camera 1's fields are restored as always.
void tarnDeck::loadCameras()
{
    firstCameraDefaults = CameraRecords::firstCameraDefaults(ui.lineEditActiIP->text(),
                                                             ui.lineEditViscaIpAddress->text());
    const CameraRecords::Read read = CameraRecords::read(settings, firstCameraDefaults);
    cameras.load(read.cameras, read.listed);
    if (!read.problems.isEmpty())
        showStatus(QStringLiteral("Settings: ") + read.problems.constFirst(), true);
    bool portOk = false;
    const int localPort = settings.value(QStringLiteral("viscaIpLocalPort")).toInt(&portOk);
    if (settings.contains(QStringLiteral("viscaIpLocalPort"))) {
        if (portOk && localPort >= 0 && localPort <= 65535)
            cameras.pool().setUdpLocalPort(quint16(localPort));
        else
            qCWarning(lcApp) << "Settings: viscaIpLocalPort is not a port number, any port used";
    }
}

void tarnDeck::connectCamerasAtStart()
{
    bool any = false;
    for (Camera *each : cameras.cameras()) {
        if (!each->config().connectAtStart)
            continue;
        any = true;
        if (each->config().route == CameraRoute::Encoder)
            cameras.pool().prepareNetwork();
        each->connectConfigured(ui.lineEditActiUser->text(), ui.lineEditActiPassword->text());
    }
    if (any || cameras.count() > 1)
        showCamera();
}

bool tarnDeck::selectCamera(int index)
{
    return cameras.select(index);
}

// What this window's keys and pointer started on the camera being left is
// stopped there: its stops go to its link before anything reaches the next
// camera. The keys held stay known, so their repeats do not start anything
// on the next one.
void tarnDeck::onLeavingCamera(Camera *leaving)
{
    releaseControls();
    keepFields();
    unwatchCamera(leaving);
    // A "*" waiting for its digit was meant for the camera being left.
    presetStoreArmed = false;
}

void tarnDeck::onCurrentCamera(Camera *now)
{
    watchCamera(now);
    showCamera();
    drawPresets();
    showTally();
    // A field of a route panel that is gone gives the keys back.
    const QWidget *focus = QApplication::focusWidget();
    if (focus && focus->window() == this && !focus->isVisible())
        fieldKeys.handToPanels();
}

void tarnDeck::showCamera()
{
    Camera *now = camera();
    const bool up = now->carriesCommands();
    showReadback(); // the panels on or off with it
    drawCamera();
    // The sliders show the window's own moves, all stopped on the camera
    // left: a rate the new camera runs is another mover's (a pad, a remote
    // client), not the sliders' to show or to stop.
    for (QSlider *slider : {ui.verticalSliderZoom, ui.verticalSliderFocus}) {
        const QSignalBlocker quiet(slider);
        slider->setValue(0);
    }

    // A camera not yet on its route shows the panel of the route it is set
    // up with, so that "Connect" reaches it.
    const Camera::Route route
        = now->route() != Camera::Route::None ? now->route() : now->config().route;
    ui.actionACTi->setChecked(route == Camera::Route::Encoder);
    ui.actionViscaIp->setChecked(route == Camera::Route::Network);
    const bool connecting = now->linkState() == Camera::LinkState::Connecting;
    const QString panelText = connecting ? QStringLiteral("Connecting..")
        : now->connectStatus().isEmpty() ? notConnected
                                         : now->connectStatus();
    ui.groupBoxActi->setVisible(route == Camera::Route::Encoder && !up);
    ui.labelActiStatus->setText(panelText);
    ui.labelActiStatus->setToolTip(now->connectStatus().isEmpty() ? QString()
                                                                  : now->lastFailure());
    ui.pushButtonActiConnect->setEnabled(!connecting);
    ui.groupBoxViscaIp->setVisible(route == Camera::Route::Network && !up);
    ui.labelViscaIpStatus->setText(panelText);
    ui.pushButtonViscaIpConnect->setEnabled(!connecting);
    showFields();
    showTitle();
    if (now->health() == Camera::Health::Failing && !now->statusFailed())
        showStatus(now->healthReason(), true);
    else
        showStatus(now->statusText(), now->statusFailed());
    showHearing();
}

void tarnDeck::keepFields()
{
    CameraConfig config = camera()->config();
    config.encoderAddress = ui.lineEditActiIP->text();
    config.networkAddress = ui.lineEditViscaIpAddress->text();
    config.protocol = networkCameraProtocol();
    camera()->setConfig(config);
}

void tarnDeck::showFields()
{
    const CameraConfig &config = camera()->config();
    ui.lineEditActiIP->setText(config.encoderAddress);
    ui.lineEditViscaIpAddress->setText(config.networkAddress);
    ui.comboBoxViscaIpProtocol->setCurrentIndex(config.protocol == ViscaIp::Protocol::Tcp ? 1 : 0);
}

// "Veltrane - tarnDeck 1.0 - ttyUSB0"; with several cameras the current one
// is named first: "... - 2 Pulpit - VISCA <192.168.0.91>".
void tarnDeck::showTitle()
{
    const Camera::Health health = camera()->health();
    QString tail = camera()->carriesCommands() || health == Camera::Health::Reconnecting
        ? camera()->routeName()
        : notConnected;
    // A camera that stopped answering says so beside its route (a command
    // that failed, or an encoder that went quiet, says so in the status
    // line only).
    const bool silent = (camera()->route() == Camera::Route::Network
                         && camera()->linkState() == Camera::LinkState::Failing)
        || camera()->hearing() == SerialAnswers::Hearing::Silent;
    if (health == Camera::Health::Reconnecting
        || (health == Camera::Health::Failing && camera()->carriesCommands() && silent))
        tail += QStringLiteral(" (") + QLatin1String(Camera::healthWord(health))
            + QLatin1Char(')');
    if (cameras.count() > 1)
        tail = QStringLiteral("%1 %2 - ").arg(camera()->number()).arg(camera()->shownName())
            + tail;
    setWindowTitle(titleBase + QStringLiteral(" - ") + tail);
}

void tarnDeck::editCameras()
{
    if (QWidget *open = findChild<CameraEditor *>()) {
        open->raise();
        open->activateWindow();
        return;
    }
    keepFields();
    QList<CameraList::Entry> entries;
    for (Camera *each : cameras.cameras())
        entries.append({each, each->config()});
    auto *editor = new CameraEditor(entries, cameras.pool(), settings.value(QStringLiteral("serialPorts")).toStringList(), this);
    editor->setAttribute(Qt::WA_DeleteOnClose);
    connect(editor, &CameraEditor::accepted, this,
            [this, editor] { applyCameraEdits(editor->entries()); });
    // Window-modal and without a nested event loop: the answer comes as
    // accepted().
    editor->open();
}

void tarnDeck::applyCameraEdits(const QList<CameraList::Entry> &entries)
{
    releaseControls();
    const QList<Camera *> before = cameras.cameras();
    const QList<Camera *> moved = cameras.apply(entries);
    movePresets(before);
    // A camera set up to be reached elsewhere is connected there again.
    for (Camera *each : moved) {
        if (each->config().route != CameraRoute::None)
            each->connectConfigured(ui.lineEditActiUser->text(), ui.lineEditActiPassword->text());
    }
    showCamera();
}

// The main window as an object: construction order, the settings it keeps,
// closing, and the panel switch.
#include "camerarecords.h"
#include "controldescriptions.h"
#include "keyrepeat.h"
#include "logcategories.h"
#include "serialparameters.h"
#include "tarndeck.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QStyle>

namespace {

// A settings key and the form member it belongs to.
template<typename Widget>
struct KeyedMember
{
    const char *key;
    Widget *Ui::tarnDeckClass::*member;
};

// The panel entries of the "Control" menu, in the order they are restored
// and saved.
constexpr KeyedMember<QAction> panelKeys[] = {
    {"pantiltControl", &Ui::tarnDeckClass::actionPanTilt},
    {"zoomControl", &Ui::tarnDeckClass::actionZoom},
    {"focusControl", &Ui::tarnDeckClass::actionFocus},
    {"brightnessControl", &Ui::tarnDeckClass::actionBrightness},
    {"colorControl", &Ui::tarnDeckClass::actionColor},
    {"ledControl", &Ui::tarnDeckClass::actionLED},
    {"presetsControl", &Ui::tarnDeckClass::actionPresets},
};

// The encoder fields.
constexpr KeyedMember<QLineEdit> encoderFieldKeys[] = {
    {"actiIP", &Ui::tarnDeckClass::lineEditActiIP},
    {"actiUser", &Ui::tarnDeckClass::lineEditActiUser},
    {"actiPassword", &Ui::tarnDeckClass::lineEditActiPassword},
};

} // namespace

tarnDeck::tarnDeck(QWidget *parent)
    : QMainWindow(parent)
{
    Q_INIT_RESOURCE(tarnDeck);
    ui.setupUi(this);
    describeControls(this);

    titleBase = QCoreApplication::organizationName() + QStringLiteral(" - ")
        + QCoreApplication::applicationName() + QStringLiteral(" ")
        + QCoreApplication::applicationVersion();
    setWindowTitle(titleBase + QStringLiteral(" - Not connected"));

    qCInfo(lcApp).noquote() << titleBase;
    qCInfo(lcApp).noquote() << "QT: " QT_VERSION_STR;

    // The panels are a view of the camera: its state draws them, its status
    // line is the window's.
    setUpReadback();
    watchCamera(camera());
    setUpCameras();

    restoreSettings();
    // Grows the first-start size or a restored geometry to the floor the
    // menu bar needs, and keeps it there as menus come and go.
    fitMenuBar();
    fitRoutePanels();
    ui.menuBar->installEventFilter(this);

    ui.action14400->setVisible(false);
    ui.action28800->setVisible(false);
    ui.actionStopbits1_5->setVisible(false);

    for (QGroupBox *panel : {ui.groupBoxZoom, ui.groupBoxFocus, ui.groupBoxBrightness,
                             ui.groupBoxColor, ui.groupBoxLED, ui.groupBoxPresets})
        panel->setEnabled(false);
    ui.menuCameraProfiles->setEnabled(false);
    setUpPresets();

    cameraProfileDeselect();
    showStatus(QString());
    ui.menuCameraProfiles->setEnabled(false);
    if (!settingsCheck.warning.isEmpty()) {
        showStatus(settingsCheck.warning, true);
    } else if (!storeRead) {
        const QString warning = QStringLiteral(
            "Settings file could not be read: left as it is, nothing is stored at close");
        qCWarning(lcApp).noquote() << warning << "-" << settings.fileName();
        showStatus(warning, true);
    }

    ui.actionACTi->setVisible(settings.contains(QStringLiteral("acti"))
                              && settings.value(QStringLiteral("acti")).toBool());
    ui.groupBoxActi->hide();
    ui.groupBoxViscaIp->hide();

    for (QAction *profile : {ui.actionCameraProfile6, ui.actionCameraProfile7,
                             ui.actionCameraProfile8, ui.actionCameraProfile9})
        profile->setVisible(false);
    ui.actionCameraSave->setEnabled(false);
    ui.actionCameraReset->setEnabled(false);

    ui.groupBoxPanTilt->hide();
    ui.actionPanTilt->setVisible(false);
    setUpPanTiltDrive();
    on_actionPanTiltDrive_triggered(ui.actionPanTiltDrive->isChecked());

    showPanels(true);

    ui.verticalSliderBrightness->hide();
    ui.verticalSliderLED->hide();

    for (QWidget *watched : {ui.centralWidget, static_cast<QWidget *>(ui.verticalSliderZoom),
                             static_cast<QWidget *>(ui.verticalSliderFocus),
                             static_cast<QWidget *>(ui.verticalSliderBrightness),
                             static_cast<QWidget *>(ui.verticalSliderLED)})
        watched->installEventFilter(this);
    fieldKeys.setPanels(ui.centralWidget);
    for (QWidget *field : {ui.lineEditActiIP, ui.lineEditActiUser, ui.lineEditActiPassword})
        fieldKeys.addField(field, ui.pushButtonActiConnect);
    for (QWidget *field : {static_cast<QWidget *>(ui.lineEditViscaIpAddress),
                           static_cast<QWidget *>(ui.comboBoxViscaIpProtocol)})
        fieldKeys.addField(field, ui.pushButtonViscaIpConnect);
    // Hover enter and leave events reach the sliders only with this attribute.
    for (QSlider *slider : {ui.verticalSliderZoom, ui.verticalSliderFocus,
                            ui.verticalSliderBrightness, ui.verticalSliderLED})
        slider->setAttribute(Qt::WA_Hover);

    connect(&timer, &QTimer::timeout, this, &tarnDeck::timerEvent);
    timer.setInterval(0);
    timer.setSingleShot(true);
    timer.start();

    setUpGamepad();
    setUpRemote();

    heldKeys = HeldKeys(requestDetectableAutoRepeat());
    connect(qGuiApp, &QGuiApplication::applicationStateChanged, this,
            [this](Qt::ApplicationState state) {
                if (state != Qt::ApplicationActive)
                    bringToRest();
            });
    connectCamerasAtStart();
}

tarnDeck::~tarnDeck() = default;

void tarnDeck::watchCamera(Camera *watched)
{
    connect(watched, &Camera::stateChanged, this, &tarnDeck::drawCamera);
    connect(watched, &Camera::statusChanged, this, &tarnDeck::showStatus);
    connect(watched, &Camera::healthChanged, this, &tarnDeck::showHearing);
    connect(watched, &Camera::healthChanged, this, &tarnDeck::showTitle);
    connect(watched, &Camera::routeChanged, this, &tarnDeck::showTitle);
    connect(watched, &Camera::connected, this, &tarnDeck::onCameraConnected);
    connect(watched, &Camera::connectFailed, this, &tarnDeck::onCameraConnectFailed);
    connect(watched, &Camera::lost, this, &tarnDeck::onCameraLost);
    connect(watched, &Camera::tallyChanged, this, &tarnDeck::showTally);
    connect(watched, &Camera::readbackChanged, this, &tarnDeck::showReadback);
}

// Only what watchCamera() connected: the presets' connections (every
// camera's, shown or not) stay.
void tarnDeck::unwatchCamera(Camera *watched)
{
    disconnect(watched, &Camera::stateChanged, this, &tarnDeck::drawCamera);
    disconnect(watched, &Camera::statusChanged, this, &tarnDeck::showStatus);
    disconnect(watched, &Camera::healthChanged, this, &tarnDeck::showHearing);
    disconnect(watched, &Camera::healthChanged, this, &tarnDeck::showTitle);
    disconnect(watched, &Camera::routeChanged, this, &tarnDeck::showTitle);
    disconnect(watched, &Camera::connected, this, &tarnDeck::onCameraConnected);
    disconnect(watched, &Camera::connectFailed, this, &tarnDeck::onCameraConnectFailed);
    disconnect(watched, &Camera::lost, this, &tarnDeck::onCameraLost);
    disconnect(watched, &Camera::tallyChanged, this, &tarnDeck::showTally);
    disconnect(watched, &Camera::readbackChanged, this, &tarnDeck::showReadback);
}

void tarnDeck::closeEvent(QCloseEvent *event)
{
    // The pad's stops leave while the routes still carry them.
    gamepadControl.shutDown();
    if (remoteControl)
        remoteControl->stop();
    restPanTiltBeforeRouteCloses();
    // The ports close, the links go; the settings of the routes stay.
    cameras.leaveRoutes();
    // Defaults written over a store that could not be read would replace
    // the operator's values.
    if (storeRead)
        saveSettings();
    event->accept();
}

void tarnDeck::paintEvent(QPaintEvent *)
{
}

void tarnDeck::enablePanels(bool enabled)
{
    setPanelsEnabled(enabled);
    if (enabled)
        return;
    cameraProfileDeselect();
    camera()->setStatus(QString());
}

void tarnDeck::setPanelsEnabled(bool enabled)
{
    // A camera in standby (or waking) is not driven: its panels grey out.
    enabled = enabled && camera()->readback().drivable();
    for (QGroupBox *panel : {ui.groupBoxZoom, ui.groupBoxFocus, ui.groupBoxBrightness,
                             ui.groupBoxColor, ui.groupBoxLED, ui.groupBoxPresets})
        panel->setEnabled(enabled);
    if (!enabled)
        armPresetStore(false);
    // The lamp is a device on the serial chain: not every route reaches it.
    const bool lampReached = camera()->reachesLamp();
    if (enabled && !lampReached)
        ui.groupBoxLED->setEnabled(false);
    ui.groupBoxLED->setToolTip(lampReached ? QString() : QStringLiteral("No lamp on this route"));
    ui.menuCameraProfiles->setEnabled(enabled);
}

// A line that carries commands only is normal and named where the operator
// looks for the camera's state: the status line's tooltip (and the strip's).
void tarnDeck::showHearing()
{
    const Camera *now = camera();
    ui.labelLastCommand->setToolTip(now->hearing() == SerialAnswers::Hearing::SendingOnly
                                        ? now->healthReason()
                                        : QString());
}

void tarnDeck::showStatus(const QString &text, bool failed)
{
    QLabel *status = ui.labelLastCommand;
    status->setText(text);
    if (status->property("failed").toBool() == failed)
        return;
    // The style sheet picks the warning colour by this property; a changed
    // property shows only once the label is polished again.
    status->setProperty("failed", failed);
    status->style()->unpolish(status);
    status->style()->polish(status);
}

void tarnDeck::restoreSettings()
{
    // A stored value this window could not have written is skipped (the
    // form's size stands), never handed to the restore calls.
    if (!settings.contains(QStringLiteral("geometry"))) {
        resize(240, 140);
    } else {
        const QByteArray geometry = settings.value(QStringLiteral("geometry")).toByteArray();
        if (SettingsGuard::plausibleGeometry(geometry))
            restoreGeometry(geometry);
        else
            qCWarning(lcApp) << "Stored window geometry skipped: not one this window writes";
    }
    if (settings.contains(QStringLiteral("windowState"))) {
        const QByteArray state = settings.value(QStringLiteral("windowState")).toByteArray();
        if (SettingsGuard::plausibleWindowState(state))
            restoreState(state, 0);
        else
            qCWarning(lcApp) << "Stored window state skipped: not one this window writes";
    }

    for (const auto &panel : panelKeys) {
        if (settings.contains(QLatin1String(panel.key)))
            (ui.*panel.member)->setChecked(settings.value(QLatin1String(panel.key)).toBool());
    }

    loadCameras();
    for (SerialParameter parameter : serialParametersInRestoreOrder) {
        const int stored = settings.value(QLatin1String(serialParameterKey(parameter))).toInt();
        const char *entry = restoredSerialParameterAction(parameter, stored);
        if (QAction *action = findChild<QAction *>(QLatin1String(entry)))
            action->activate(QAction::Trigger);
    }

    const bool portSettings = settings.value(QStringLiteral("portSettings"), false).toBool();
    ui.actionPortSettings->setChecked(portSettings);
    on_actionPortSettings_triggered(portSettings);
    // Applied once the pan-tilt panel has its start-up state.
    ui.actionPanTiltDrive->setChecked(
        settings.value(QStringLiteral("pantiltDrive"), false).toBool());

    for (const auto &field : encoderFieldKeys) {
        if (settings.contains(QLatin1String(field.key)))
            (ui.*field.member)->setText(settings.value(QLatin1String(field.key)).toString());
    }
    if (settings.contains(QStringLiteral("viscaIpAddress")))
        ui.lineEditViscaIpAddress->setText(
            settings.value(QStringLiteral("viscaIpAddress")).toString());
    const ViscaIp::Protocol protocol
        = ViscaIp::protocolFromKey(settings.value(QStringLiteral("viscaIpProtocol")).toString());
    ui.comboBoxViscaIpProtocol->setCurrentIndex(protocol == ViscaIp::Protocol::Tcp ? 1 : 0);
}

void tarnDeck::saveSettings()
{
    settings.setValue(QStringLiteral("geometry"), saveGeometry());
    settings.setValue(QStringLiteral("windowState"), saveState(0));
    for (const auto &panel : panelKeys)
        settings.setValue(QLatin1String(panel.key), (ui.*panel.member)->isChecked());
    settings.setValue(QStringLiteral("portSettings"), ui.actionPortSettings->isChecked());
    settings.setValue(QStringLiteral("pantiltDrive"), ui.actionPanTiltDrive->isChecked());
    // The serial parameters are the program's, every line's: camera 1's
    // record keeps them.
    for (SerialParameter parameter : serialParametersInRestoreOrder)
        settings.setValue(QLatin1String(serialParameterKey(parameter)),
                          cameras.at(0)->serialSettings().value(parameter));
    for (const auto &field : encoderFieldKeys) {
        if (QLatin1String(field.key) != QLatin1String("actiIP"))
            settings.setValue(QLatin1String(field.key), (ui.*field.member)->text());
    }
    // The route panels' fields belong to the current camera; camera 1's
    // address and protocol keys, and the list, come from the cameras.
    keepFields();
    CameraRecords::write(settings, cameras.configs(), cameras.listed(), firstCameraDefaults);

    // The store holds the encoder password in plain text (stored files stay
    // readable by earlier versions): keep it private to its owner.
    settings.sync();
    QFile::setPermissions(settings.fileName(), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

// The main window of tarnDeck: a view of one camera. Its slots turn widget
// events into operations of the current camera, and it draws the panels from
// that camera's state; the camera (camera/camera.h) owns the route, the link
// state, the status line's text and the drive. The key table and the keys
// held stay here.
//
// The class is split across files by concern, all in this folder:
//   tarndeck_lifecycle.cpp   construction, settings, closing, enablePanels
//   tarndeck_panels.cpp      panel visibility, hover highlight, pad centring,
//                            the panels drawn from the camera's state
//   tarndeck_keyboard.cpp    keyboard control through the panel widgets
//   tarndeck_controls.cpp    slots behind the camera panels; sendCommand
//   tarndeck_profiles.cpp    camera memory profiles
//   tarndeck_presets.cpp     the "Presets" panel and the keypad's presets
//   tarndeck_pantilt.cpp     the pad driving the camera's pan and tilt
//   tarndeck_portmenu.cpp    the "&Connect" menu, the serial route, and what
//                            the camera says of its route
//   tarndeck_serialparams.cpp  baud rate / protocol entries, menu hiding
//   tarndeck_acti.cpp        the encoder panel: connect and serial setting
//   tarndeck_viscaip.cpp     the network camera panel
//   tarndeck_cameras.cpp     several cameras: the strip, choosing the
//                            current camera, the camera editor, connecting
//                            at start
//   tarndeck_readback.cpp    the zoom and focus readouts, power on / standby
//   tarndeck_gamepad.cpp     the gamepad: its menu entry and status line
//   tarndeck_remote.cpp      remote control (OSC, WebSocket) when the store
//                            switches it on, and the tally it sets
#pragma once

#include "cameraconfig.h"
#include "cameralist.h"
#include "fieldkeys.h"
#include "gamepadcontrol.h"
#include "heldkeys.h"
#include "keyboardmap.h"
#include "presetpanel.h"
#include "remotecameras.h"
#include "remotecontrol.h"
#include "serialportlister.h"
#include "settingsguard.h"
#include "ui_tarndeck.h"
#include "viscaipframing.h"

#include <QMainWindow>
#include <QSettings>
#include <QString>
#include <QTimer>

#include <memory>

class CameraStrip;
class TallyFrame;
class QAction;
class QCloseEvent;
class QKeyEvent;
class QLabel;
class QPaintEvent;
class QResizeEvent;

class tarnDeck : public QMainWindow
{
    Q_OBJECT

public:
    explicit tarnDeck(QWidget *parent = nullptr);
    ~tarnDeck() override;

    // Thin views of the current camera, for those who drive the window from
    // outside (tests, benchmarks): the vocabulary's packets of one (group,
    // action) pair, and one command text, handed to its route (the
    // transport's result of the last packet, 0 when nothing was sent).
    int sendCommand(QString group, QString action);
    int serialSendCommand(QString command);
    QString lastCommandText() const;

    // The cameras and the links they share, for what drives a camera
    // besides the window's own controls.
    CameraList &cameraList() { return cameras; }
    // The gamepad, which drives the current camera.
    GamepadControl &gamepad() { return gamepadControl; }
    // Remote control and what it drives; null while the store leaves it off
    // (remoteControl=false).
    RemoteControl *remote() const { return remoteControl.get(); }
    RemoteCameras *remoteCameras() const { return remoteTarget.get(); }

    // Where the "&Connect" menu learns which serial ports exist. The default
    // asks the system; a harness may hand in pseudo-terminals instead.
    void setPortLister(SerialPortLister lister);

    // Makes camera `index` (0 ...) the current one, as its key or its strip
    // button does: what this window started on the camera being left is
    // stopped there first. False when there is no such camera or it is
    // current already.
    bool selectCamera(int index);
    // Opens the camera editor (Options → Cameras…), without waiting for it.
    void editCameras();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void keyReleaseEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void showPanels(bool visible);
    void enablePanels(bool enabled);
    void timerEvent();
    // Keeps the window at least as wide as every menu title needs, and as
    // its panels need.
    void fitMenuBar();
    void on_menuPort_aboutToShow();
    void on_menuPort_triggered(QAction *action);
    void setPushButtonDefault();
    void on_action4800_triggered(bool checked);
    void on_action9600_triggered(bool checked);
    void on_action14400_triggered(bool checked);
    void on_action19200_triggered(bool checked);
    void on_action28800_triggered(bool checked);
    void on_action38400_triggered(bool checked);
    void on_action57600_triggered(bool checked);
    void on_action115200_triggered(bool checked);
    void on_actionDatabits7_triggered(bool checked);
    void on_actionDatabits8_triggered(bool checked);
    void on_actionParityNone_triggered(bool checked);
    void on_actionParityEven_triggered(bool checked);
    void on_actionParityOdd_triggered(bool checked);
    void on_actionStopbits1_triggered(bool checked);
    void on_actionStopbits1_5_triggered(bool checked);
    void on_actionStopbits2_triggered(bool checked);
    void on_actionFlowcontrolNone_triggered(bool checked);
    void on_actionFlowcontrolHardware_triggered(bool checked);
    void on_actionFlowcontrolSoftware_triggered(bool checked);
    void on_actionPanTilt_triggered(bool checked);
    void on_actionZoom_triggered(bool checked);
    void on_actionFocus_triggered(bool checked);
    void on_actionBrightness_triggered(bool checked);
    void on_actionColor_triggered(bool checked);
    void on_actionLED_triggered(bool checked);
    void on_actionPresets_triggered(bool checked);
    void on_actionCameraProfile0_triggered(bool checked);
    void on_actionCameraProfile1_triggered(bool checked);
    void on_actionCameraProfile2_triggered(bool checked);
    void on_actionCameraProfile3_triggered(bool checked);
    void on_actionCameraProfile4_triggered(bool checked);
    void on_actionCameraProfile5_triggered(bool checked);
    void on_actionCameraProfile6_triggered(bool checked);
    void on_actionCameraProfile7_triggered(bool checked);
    void on_actionCameraProfile8_triggered(bool checked);
    void on_actionCameraProfile9_triggered(bool checked);
    void on_actionCameraSave_triggered(bool checked);
    void on_actionCameraSaveCustom_triggered(bool checked);
    void on_actionCameraReset_triggered(bool checked);
    void cameraProfileDeselect();
    int actiSetSerialParameters();
    void on_pushButtonActiConnect_clicked();
    void on_pushButtonViscaIpConnect_clicked();
    void on_pushButtonFocusAuto_toggled(bool checked);
    void on_pushButtonFocusTrigger_toggled(bool checked);
    void on_pushButtonFocusManual_toggled(bool checked);
    void on_pushButtonColorAuto_clicked();
    void on_pushButtonColor2700K_clicked();
    void on_pushButtonColor3200K_clicked();
    void on_pushButtonColor5800K_clicked();
    void on_pushButtonBrightnessAuto_clicked();
    void on_pushButtonBrightnessUp_pressed();
    void on_pushButtonBrightnessUp_released();
    void on_pushButtonBrightnessUp_toggled(bool checked);
    void on_pushButtonBrightnessDown_pressed();
    void on_pushButtonBrightnessDown_released();
    void on_pushButtonBrightnessDown_toggled(bool checked);
    void on_pushButtonBrightnessWDR_toggled(bool checked);
    void on_pushButtonLEDUp_pressed();
    void on_pushButtonLEDUp_released();
    void on_pushButtonLEDUp_toggled(bool checked);
    void on_pushButtonLEDDown_pressed();
    void on_pushButtonLEDDown_released();
    void on_pushButtonLEDDown_toggled(bool checked);
    void on_pushButtonLEDOff_clicked();
    void on_actionPortSettings_triggered(bool checked);
    void on_actionPanTiltDrive_triggered(bool checked);
    void on_actionGamepad_triggered();
    void on_verticalSliderZoom_valueChanged(int value);
    void on_verticalSliderZoom_sliderReleased();
    void on_verticalSliderFocus_valueChanged(int value);
    void on_verticalSliderFocus_sliderReleased();
    void on_pushButtonFocusAuto_clicked();
    void on_pushButtonFocusTrigger_clicked();
    void on_pushButtonFocusManual_clicked();

private:
    Camera *camera() const { return cameras.current(); }

    // Several cameras (tarndeck_cameras.cpp).
    void setUpCameras();
    // The "Health checks" setting, read from the store, given to every
    // camera; written at once when the operator changes it.
    void setUpHealthChecks();
    void applyHealthChecks();
    void loadCameras();
    void connectCamerasAtStart();
    void onLeavingCamera(Camera *leaving);
    void onCurrentCamera(Camera *now);
    // The current camera's panels, marks, route panels, menus, title and
    // status line, from the camera as it is; sends nothing.
    void showCamera();
    // Keeps the route panels' fields in the current camera's set-up.
    void keepFields();
    void showFields();
    void showTitle();
    // The panels' widgets on or off; nothing else of enablePanels().
    void setPanelsEnabled(bool enabled);
    void applyCameraEdits(const QList<CameraList::Entry> &entries);

    // The positions and power the current camera's route read back
    // (tarndeck_readback.cpp).
    void setUpReadback();
    void showReadback();

    // Room for a whole address and a failure's words in the route panels.
    void fitRoutePanels();
    void restoreSettings();
    void saveSettings();

    // Shared by the slots of one concern each.
    void selectSerialParameter(QAction *chosen);
    void setLinkIdle();
    // The status line under the panels; `failed` draws it in the warning
    // colour until the next text that is not a failure.
    void showStatus(const QString &text, bool failed = false);
    void showHearing();
    // The panels as the camera's state has them; sends nothing.
    void drawCamera();
    void watchCamera(Camera *watched);
    void unwatchCamera(Camera *watched);
    void onCameraConnected();
    void onCameraConnectFailed(const QString &panelStatus, const QString &why);
    void onCameraLost(Camera::Route route, const QString &reason);
    void chooseNetworkCamera(bool checked);
    QString networkCameraAddressText() const;
    ViscaIp::Protocol networkCameraProtocol() const;
    QList<QAction *> cameraProfileEntries() const;
    void recallCameraProfile(int number);
    void holdButtonPressed(QPushButton *button);
    void holdButtonReleased(QPushButton *button);
    void performKeyAction(const KeyAction &action);
    // Stops everything the keys, buttons and sliders may have left running
    // (the window lost the keyboard, so no release will come).
    void bringToRest();
    // The same, the keys held still known (another camera is chosen: their
    // repeats must not start anything on it).
    void releaseControls();
    // The spring-back of the zoom and focus sliders on a pointer release.
    bool rateSliderEvent(QSlider *slider, QEvent *event);
    void setUpPanTiltDrive();
    void restPanTiltBeforeRouteCloses();
    void setUpGamepad();
    void setUpRemote();
    // The tally the cameras were given: the strip's buttons show each; with
    // one camera the panels' frame shows it.
    void showTally();
    void setUpPresets();
    // The presets panel as the camera's book and selection have it.
    void drawPresets();
    // Recalls preset n of the current camera: what the window's own movers
    // run (keys, sliders, pad) comes to rest first, their stops sent before
    // the recall.
    void recallPreset(int n);
    void storePreset(int n);
    // Whether the current camera has preset n; the status line says so when
    // it has not.
    bool presetOffered(int n);
    // A keypad digit: recalls preset n, or stores into it after "*".
    void presetKey(int n);
    void armPresetStore(bool armed);
    // Writes a camera's presets where they differ from the store.
    void keepPresets(Camera *kept);
    // Draws the presets panel and writes the store on a camera's presets.
    void watchPresets(Camera *each);
    void movePresets(const QList<Camera *> &before);

    Ui::tarnDeckClass ui;
    QString titleBase;
    // Runs before the settings object below reads the store.
    const SettingsGuard::Outcome settingsCheck = SettingsGuard::prepareStore();
    QSettings settings;
    // False when the store could not be read: it is then never written.
    const bool storeRead = SettingsGuard::storeRead(settingsCheck, settings);
    // The cameras and the links they share.
    CameraList cameras;
    // Camera 1's set-up where the store has none (the form's texts).
    CameraConfig firstCameraDefaults;
    CameraStrip *strip = nullptr;
    TallyFrame *tallyFrame = nullptr;
    QAction *actionCameras = nullptr;
    QAction *actionHealthChecks = nullptr;
    QLabel *zoomReadout = nullptr;
    QLabel *focusReadout = nullptr;
    QAction *actionPowerOn = nullptr;
    QAction *actionStandby = nullptr;
    // The gamepad: after the cameras, so it stops its moves (and goes)
    // while they and their links are still there.
    GamepadControl gamepadControl{cameras, settings, storeRead};
    // Remote control, after the cameras: it goes first, its moves' stops
    // sent while the cameras and their links are still there.
    std::unique_ptr<RemoteCameras> remoteTarget;
    std::unique_ptr<RemoteControl> remoteControl;
    QList<SerialPortEntry> portInfoList;
    QTimer timer;
    HeldKeys heldKeys;
    FieldKeys fieldKeys;
    bool rateSliderReleasing = false;
    // The keypad's "*" waits for the digit of the preset to store into.
    bool presetStoreArmed = false;
    PresetPanel *presetPanel = nullptr;
    // "Pan-tilt drives the camera": the pad's moves reach the camera.
    bool padDrivesCamera = false;

    // The "&Baudrate" and "&Protocol" menu-bar entries while "Serial port
    // settings" keeps them out of the menu bar.
    QAction *removedBaudrateMenu = nullptr;
    QAction *removedProtocolMenu = nullptr;
};

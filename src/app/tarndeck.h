// The main window of tarnDeck: one window that drives a VISCA camera.
//
// The class is split across files by concern, all in this folder:
//   tarndeck_lifecycle.cpp   construction, settings, closing, enablePanels
//   tarndeck_panels.cpp      panel visibility, hover highlight, pad centring
//   tarndeck_keyboard.cpp    keyboard control through the panel widgets
//   tarndeck_portmenu.cpp    the "&Connect" menu: ports and the encoder entry
//   tarndeck_serialparams.cpp  baud rate / protocol entries, menu hiding
//   tarndeck_commands.cpp    sendCommand and the transport
//   tarndeck_controls.cpp    slots behind the camera panels
//   tarndeck_profiles.cpp    camera memory profiles
//   tarndeck_pantilt.cpp     the pad driving the camera's pan and tilt
//   tarndeck_acti.cpp        encoder connect flow and serial setting
//   tarndeck_viscaip.cpp     network camera entry, connect flow, answers
#pragma once

#include "actiinfo.h"
#include "encoderroute.h"
#include "fieldkeys.h"
#include "heldkeys.h"
#include "keyboardmap.h"
#include "networkcameraroute.h"
#include "packetroute.h"
#include "pantiltdrive.h"
#include "routeowner.h"
#include "seriallink.h"
#include "serialportlister.h"
#include "serialroute.h"
#include "settingsguard.h"
#include "ui_tarndeck.h"
#include "viscaiplink.h"

#include <QMainWindow>
#include <QSerialPort>
#include <QSettings>
#include <QString>
#include <QTimer>

class QAction;
class QCloseEvent;
class QKeyEvent;
class QPaintEvent;
class QResizeEvent;

class tarnDeck : public QMainWindow
{
    Q_OBJECT

public:
    explicit tarnDeck(QWidget *parent = nullptr);
    ~tarnDeck() override;

    // Builds the command texts of one (group, action) pair and hands each
    // packet to the transport. Returns the transport's result of the last
    // packet, 0 when nothing was sent.
    int sendCommand(QString group, QString action);
    // Turns one command text into bytes and hands them to the route that is
    // up (serial port, encoder or network camera).
    int serialSendCommand(QString command);

    // Where the "&Connect" menu learns which serial ports exist. The default
    // asks the system; a harness may hand in pseudo-terminals instead.
    void setPortLister(SerialPortLister lister);

    QString lastCommandText() const { return lastCommand; }

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
    // Keeps the window at least as wide as every menu title needs.
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
    void on_verticalSliderZoom_valueChanged(int value);
    void on_verticalSliderZoom_sliderReleased();
    void on_verticalSliderFocus_valueChanged(int value);
    void on_verticalSliderFocus_sliderReleased();
    void on_pushButtonFocusAuto_clicked();
    void on_pushButtonFocusTrigger_clicked();
    void on_pushButtonFocusManual_clicked();

private:
    void restoreSettings();
    void saveSettings();

    // Shared by the slots of one concern each.
    void selectSerialParameter(QAction *chosen);
    void setLinkIdle();
    // The status line under the panels; `failed` draws it in the warning
    // colour until the next text that is not a failure.
    void showStatus(const QString &text, bool failed = false);
    void actiConnectFailed(const QString &status, const QString &logPrefix, const QString &why);
    void onSerialPortError(QSerialPort::SerialPortError error);
    void chooseNetworkCamera(bool checked);
    void onNetworkCameraConnected(const QString &modelCode);
    void onNetworkCameraFailed(const QString &reason);
    void onNetworkCameraLost(const QString &reason);
    void onCameraPacketAnswered(const QString &request);
    void onCameraPacketFailed(const QString &request, const QString &reason);
    void onRouteTrouble(const QString &text);
    // A serial setting the menus asked for while a request waited.
    void sendOwedSerialSetting();
    QString networkCameraAddressText() const;
    ViscaIp::Protocol networkCameraProtocol() const;
    QList<QAction *> cameraProfileEntries() const;
    void recallCameraProfile(int number);
    void sendForSelectedProfile(const QString &actionPrefix);
    void holdButtonPressed(QPushButton *button);
    void holdButtonReleased(QPushButton *button);
    void brightnessStep(const QString &direction);
    void performKeyAction(const KeyAction &action);
    // Stops everything the keys, buttons and sliders may have left running
    // (the window lost the keyboard, so no release will come).
    void bringToRest();
    // The spring-back of the zoom and focus sliders on a pointer release.
    bool rateSliderEvent(QSlider *slider, QEvent *event);
    void setUpPanTiltDrive();
    bool sendPanTilt(const QString &action);
    PanTiltDrive::RouteState panTiltRoute() const;
    void restPanTiltBeforeRouteCloses();

    Ui::tarnDeckClass ui;
    QString titleBase;
    // Runs before the settings object below reads the store.
    const SettingsGuard::Outcome settingsCheck = SettingsGuard::prepareStore();
    QSettings settings;
    // False when the store could not be read: it is then never written.
    const bool storeRead = SettingsGuard::storeRead(settingsCheck, settings);
    QSerialPort serialPort;
    SerialLink serialLink{serialPort};
    QList<SerialPortEntry> portInfoList;
    QTimer timer;
    ACTIINFO actiInfo;
    ViscaIpLink viscaIpLink;
    QString lastCommand;
    // Why the packet serialSendCommand handled last did not leave, in the
    // operator's words; empty when it left or when no route was up. Set as
    // the call returns, so a request sent from a nested event loop meanwhile
    // cannot leave its own outcome behind.
    QString packetFailure;
    // The port's own words for the error that broke the line, kept because
    // closing the port forgets them.
    QString lineBrokenError;
    // The encoder did not answer the last pass-through (refused, time-out,
    // unreachable); the next request it answers clears the status line.
    bool encoderSilent = false;
    // The menus changed a serial parameter while a request waited; the
    // setting goes when it has returned (requests never wait inside one
    // another).
    bool serialSettingOwed = false;
    HeldKeys heldKeys;
    FieldKeys fieldKeys;
    bool rateSliderReleasing = false;

    // The routes and their one owner: what is chosen, and whether it has
    // connected, is asked of routes only.
    SerialRoute serialRoute{serialPort, serialLink, lineBrokenError};
    EncoderRoute encoderRoute{actiInfo, encoderSilent};
    NetworkCameraRoute networkCameraRoute{viscaIpLink};
    RouteOwner routes;
    // The status line shows a failure a route reported later than its
    // sendPacket until the next answer.
    bool cameraFailureShown = false;

    // The "&Baudrate" and "&Protocol" menu-bar entries while "Serial port
    // settings" keeps them out of the menu bar.
    QAction *removedBaudrateMenu = nullptr;
    QAction *removedProtocolMenu = nullptr;
    SerialPortLister portLister;
    // Sends the pad's speeds when "Pan-tilt drives the camera" is checked.
    PanTiltDrive panTiltDrive;
};

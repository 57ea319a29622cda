// One camera as the operator drives it: its route to the camera and the
// route's parameters, the state of that link, its last command and what the
// status line says of it, its state as the panels show it, and its pan-tilt
// drive. It speaks in operations (zoom, focus, white balance, profiles, ...)
// and tells what changed by its signals; it never touches a widget, so a
// window, a keyboard, a gamepad or a remote client may each drive it.
//
// The links it uses belong to the pool (a serial port and an encoder serve
// every camera behind them); a camera holds one while it is on its route and
// hears only of its own packets on it.
#pragma once

#include "cameraconfig.h"
#include "camerareadback.h"
#include "camerastate.h"
#include "healthwatch.h"
#include "pantiltdrive.h"
#include "presetbook.h"
#include "sendfailure.h"
#include "serialanswers.h"
#include "serialportlister.h"
#include "serialsettings.h"
#include "viscaipframing.h"
#include "viscavocabulary.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class EncoderBus;
class LinkPool;
class NetworkCameraLink;
class PacketLink;
class SerialBus;
struct PacketTag;

class Camera : public QObject
{
    Q_OBJECT

public:
    using Route = CameraRoute;
    enum class LinkState {
        NotConnected,
        Connecting,
        Connected,
        Failing, // connected, but the far end stopped answering
    };
    // What a glance at the camera should tell: not connected (nothing
    // tried, or left), connecting, connected, or failing: a connect that
    // failed, a link that went, a far end that stopped answering, or a
    // command that did not get through (until the next one does); or
    // reconnecting: its link went (a network camera's connection, a serial
    // adapter unplugged) and comes back by itself until it is back or left.
    enum class Health { NotConnected, Connecting, Connected, Failing, Reconnecting };
    // How long a profile reset waits before it recalls the profile.
    static constexpr int profileResetWaitMs = 500;
    // The axes its moves drive.
    enum class Axis { Zoom, Focus, PanTilt };
    // What the switcher says of it: on program (on air), on preview, or
    // neither.
    enum class Tally { Off, Preview, Program };
    // How often a lit tally lamp is told again over a network camera's
    // route: some cameras darken it 15 s after the last "on".
    static constexpr int tallyRepeatMs = 10000;
    // The words a repeat of the lamp is tagged with: its answer is not
    // shown, its failure is, by these words.
    static const char *const kTallyRepeatWords;
    // "connected", "connecting", "failing", "reconnecting", "not
    // connected"; "program",
    // "preview", "off": as the strip, the log and remote clients name them.
    static const char *healthWord(Health health);
    static const char *tallyWord(Tally tally);

    explicit Camera(LinkPool &pool, QObject *parent = nullptr);
    ~Camera() override;

    // --- What the operator set up -----------------------------------------

    // Its name, route and the route's parameters (camera 1 at address 1,
    // its lamp at 2, unless set). The route's parameters follow what the
    // operator connects it with.
    const CameraConfig &config() const { return setup; }
    void setConfig(const CameraConfig &config);
    // Its place in the list (1 ...), for the strip, the title and the log.
    int number() const { return place; }
    void setNumber(int number) { place = number; }
    // "Camera 2" or its name.
    QString shownName() const { return setup.shownName(place); }
    // Connects by the route it is set up with (the encoder with this
    // log-in); the outcome comes as for a connect by hand. False, and the
    // status says why, when no route is set up or it cannot be tried.
    bool connectConfigured(const QString &encoderUser, const QString &encoderPassword);

    Health health() const;
    // Whether the camera is heard on its route: a serial line learns it from
    // the answers (serialanswers.h); Unknown elsewhere.
    SerialAnswers::Hearing hearing() const { return heard; }
    // Why it is failing, or what it is doing otherwise, in the operator's
    // words.
    QString healthReason() const;
    // Health checks (the operator's setting for every camera): a keep-alive
    // inquiry while the route answers and nothing else is in flight
    // (healthwatch.h). Off: nothing is sent unless the operator acts.
    void setHealthChecks(bool on) { watch.setChecks(on); }
    bool healthChecks() const { return watch.checks(); }
    const HealthWatch &healthWatch() const { return watch; }
    // --- The route --------------------------------------------------------

    Route route() const { return routeKind; }
    LinkState linkState() const { return state_; }
    // Connected (or failing): commands are carried.
    bool carriesCommands() const;
    // Why the last connect failed or the link went, in the operator's words.
    const QString &lastFailure() const { return failure; }
    // What the route's panel says of the last connect that failed ("Failed,
    // could not connect", "Failed, connection lost"); empty otherwise.
    const QString &connectStatus() const { return panelWords; }
    // The route as the title names it: the serial port ("ttyUSB0"),
    // "ACTi <address>", "VISCA <address>"; empty without a route.
    QString routeName() const;
    // The port the serial route has open ("ttyUSB0"); empty otherwise.
    QString serialPortName() const;

    // The VISCA addresses of the camera (1 ... 7) and its lamp (1 ... 7, 0
    // for none), as set up.
    ViscaAddresses addresses() const { return {setup.viscaAddress, setup.lampAddress}; }
    void setAddresses(const ViscaAddresses &addresses);
    // Whether the lamp can be driven: there is one, and the route reaches
    // devices other than the camera (a network camera's does not).
    bool reachesLamp() const;

    // The serial line's parameters: of the port on the serial route, of the
    // encoder's serial port on the encoder route.
    const SerialSettings &serialSettings() const { return serial; }
    // Sets one; an open port may refuse the value and keep its own.
    void setSerialParameter(SerialParameter parameter, int value);
    // Sends the parameters to the encoder (on the encoder route, once it has
    // an address): 1 when handed over, else 0.
    int sendEncoderSerialSetting();

    // Opens the port and takes it as the route (leaving any other): true
    // when it opened; else the status says why.
    bool openSerial(const SerialPortEntry &port);
    // Chooses the encoder route; connectEncoder() then reaches the encoder
    // at the address as typed, with this log-in. The outcome comes as
    // connected() or connectFailed().
    void chooseEncoder();
    void connectEncoder(const QString &typedAddress, const QString &user, const QString &password);
    // Chooses the network camera route; connectNetworkCamera() then reaches
    // the camera; `shown` is the address as the title names it.
    void chooseNetworkCamera();
    void connectNetworkCamera(const QHostAddress &address, quint16 port, ViscaIp::Protocol protocol,
                              const QString &shown);
    // Leaves the route: what waits is dropped, the link given back to the
    // pool. The panels' state stays as it is.
    void leaveRoute();

    // --- Operations ---------------------------------------------------------

    // The vocabulary's packets of one (group, action) pair, handed to the
    // route: the transport's result of the last packet (bytes written, 1
    // handed over, 0 nothing, -1 refused by the line).
    int command(const QString &group, const QString &action);
    // One command text, as it is, to the route.
    int sendText(const QString &commandText);

    void zoom(int rate);  // -8 ... 8, 0 stops
    void focus(int rate); // -8 ... 8, 0 stops
    // Auto, Manual, or Trigger (manual, then the one-push trigger).
    void setFocusMode(FocusMode mode);
    void setWhiteBalance(WhiteBalance mode);
    void setWdr(bool on);
    // Exposure compensation reset and off.
    void exposureAuto();
    // One compensation step: +1 brighter, -1 darker.
    void brightnessStep(int direction);
    // The lamp: +1 up, -1 down, 0 stop; lampOff() runs it down to off.
    void lamp(int direction);
    void lampOff();
    // The pan-tilt drive: pan > 0 right, tilt > 0 up, 0 holds the axis;
    // (0, 0) stops. On the window pad's scale each size is 0 ... 5; in speed
    // steps pan 0 ... 24 (01 ... 18h) and tilt 0 ... 20 (01 ... 14h). Only
    // changes are sent; while the route is busy only the newest waits.
    void panTilt(int pan, int tilt, PanTiltUnit unit = PanTiltUnit::PadScale);
    // Memory profiles 0 ... 9: recall selects; store and reset act on the
    // selected one; reset recalls it again after profileResetWaitMs (the
    // profile selected then).
    void recallProfile(int number);
    void storeProfile();
    void storeDefault();
    void resetProfile();
    void deselectProfile();

    // The presets of this camera (how many, names, recall speeds, the form
    // the camera takes a speed in); setPresets() replaces them and tells
    // presetsChanged().
    const PresetBook &presets() const { return book; }
    void setPresets(const PresetBook &presets);
    // Recalls preset n (1 ... the book's count) and selects it. Whatever
    // drive runs is stopped first, its stop sent before the recall; where
    // the camera takes a recall speed, the preset's speed goes out just
    // before the recall (the global form always, the top speed for a
    // preset without one).
    void recallPreset(int n);
    // Stores the camera's current shot into preset n; the selection stays.
    void storePreset(int n);
    // Clears preset n in the camera (memory reset) and forgets its name and
    // speed.
    void clearPreset(int n);
    // Forgets the marks the panels show (focus, white balance, exposure,
    // WDR, lamp off); sends nothing.
    void forgetPanelMarks();
    // Stops whatever moves: zoom, focus, lamp and pan-tilt.
    void stopAll();

    // Power on (true) or standby, read back where the route answers
    // (readback()). In standby and while waking only stops and power
    // commands are sent; the rest is refused with the reason on the status
    // line.
    void setPower(bool on);

    // Program lights the camera's tally lamp where its set-up has one
    // (config().tallyLamp); preview and off darken it. A lamp lit is told
    // again every tallyRepeatMs over a network camera's route (quietly: the
    // status line keeps what the operator last did unless the repeat
    // fails), and again when the route connects.
    Tally tally() const { return onAir; }
    void setTally(Tally tally);

    // --- What it shows ----------------------------------------------------

    const CameraState &state() const { return panels; }
    // The zoom and focus positions and the power, as the route read them.
    const CameraReadback &readback() const { return lens; }
    // The last request and its packets: "zoom,3 [8101040722FF]".
    const QString &lastCommand() const { return record; }
    // What the status line says of this camera, and whether in the warning
    // colour.
    const QString &statusText() const { return status; }
    bool statusFailed() const { return statusIsFailure; }
    void setStatus(const QString &text, bool failed = false);
    bool panTiltMayMove() const { return drive.cameraMayMove(); }
    // Whether the drive's wish is a move given in this unit: a mover that
    // comes to rest stops only a move of its own, not one another mover
    // (the window's pad, a gamepad) has asked for since.
    bool panTiltMovesIn(PanTiltUnit unit) const;

signals:
    // The panel state changed.
    void stateChanged();
    // The route, the link state or the last failure changed.
    void routeChanged();
    void statusChanged(const QString &text, bool failed);
    // The presets' book changed (names, count, speeds, form).
    void presetsChanged();
    // The route connected (the status line names it).
    void connected();
    // A connect failed: the status its panel shows ("Failed, ...") and why.
    void connectFailed(const QString &panelStatus, const QString &why);
    // The link went without the operator's doing; the route stays chosen
    // (a serial port is reopened when its adapter is back). The status line
    // says so.
    void lost(Camera::Route route, const QString &reason);
    // health() or healthReason() changed.
    void healthChanged();
    // The name, route or addresses it is set up with changed.
    void configChanged();
    void tallyChanged();
    // An axis was asked to move (moving) or to stop, by whoever drives the
    // camera: zoom(), focus(), panTilt(), and the stops a preset recall
    // and stopAll() send.
    void moveAsked(Camera::Axis axis, bool moving);
    // readback() changed (a position, the power).
    void readbackChanged();

private:
    // A request whose packets' outcome the link tells later (the encoder):
    // the status line shows its record once they are all answered.
    struct Awaited
    {
        QString record;
        QString panTilt; // the drive's action, for a pan-tilt request
        int packets = 0;
        bool failed = false;
    };

    int sendPacket(const ViscaPacket &packet, quint64 requestId, QString *failure,
                   bool *answerFollows);
    void take(PacketLink *newLink);
    void dropLink();
    void setLinkState(LinkState newState);
    // setStatus(); `miss`: the failure is one packet left unanswered.
    void putStatus(const QString &text, bool failed, bool miss);
    void changeState(const std::function<void(CameraState &)> &change);
    bool isMine(const PacketTag &tag) const;
    void onPacketAnswered(const PacketTag &tag);
    void onPacketFailed(const PacketTag &tag, const QString &reason);
    void onTrouble(const QString &text);
    void onSilence(bool silent);
    void onHearing(int address, SerialAnswers::Hearing hearing);
    void onInquiryAnswered(const PacketTag &tag, const QByteArray &data);
    void askVersion();
    // Health (healthwatch.h): the keep-alive, a packet counted as missed, a
    // network camera that fell silent or answers again, its reconnect.
    void sendKeepAlive();
    bool isMiss(const QString &reason) const;
    void onNetworkSilence(bool silent);
    void reconnectNetworkCamera();
    void noteAnswering();
    bool askInquiry(const QByteArray &inquiry, const QString &words);
    void onPowerRead(CameraReadback::Power before);
    void onEncoderConnected();
    void onEncoderFailed(SendFailure::ConnectStep step, const QString &why);
    void onSerialLost();
    void onSerialReopened();
    void sendForSelectedProfile(const QString &actionPrefix);
    int encoderError() const;
    void noteHealth();
    void changeConfig(const std::function<void(CameraConfig &)> &change);
    // Tells the tally lamp what tally() wants of it, where that changed.
    void showTallyLamp();
    void repeatTally();

    LinkPool &pool;
    Route routeKind = Route::None;
    LinkState state_ = LinkState::NotConnected;
    QString failure;
    QString panelWords;
    CameraConfig setup;
    int place = 1;
    Health shownHealth = Health::NotConnected;
    SerialAnswers::Hearing heard = SerialAnswers::Hearing::Unknown;
    QString connectedText; // the status line's words at the last connect
    QString shownReason;
    SerialSettings serial;
    PacketLink *link = nullptr; // given by the pool, given back on leaving
    SerialBus *serialBus = nullptr;
    EncoderBus *encoderBus = nullptr;
    NetworkCameraLink *networkLink = nullptr;
    QString networkShown;     // the network camera's address as typed
    QHostAddress networkAddress; // where the network camera is reconnected
    quint16 networkPort = 0;
    ViscaIp::Protocol networkProtocol = ViscaIp::Protocol::Udp;
    QString reconnectWhy; // why the network camera is reconnected
    int keptEncoderError = 0; // of an encoder given back
    quint32 attempt = 0;      // counts connect attempts and leavings

    CameraState panels;
    QString record;
    QString status;
    bool statusIsFailure = false;
    // A failure the link reported after the send is shown until the next
    // answer.
    bool failureShown = false;
    // The status line's failure is one packet left unanswered: the camera
    // is failing only once HealthWatch counts it silent.
    bool missOnly = false;
    HealthWatch watch;
    quint64 requests = 0;
    QHash<quint64, Awaited> awaited;
    QString panTiltRecord; // the record of the drive's last request
    PanTiltDrive drive;
    PresetBook book;
    Tally onAir = Tally::Off;
    bool tallyLampLit = false; // what the lamp was last told
    QTimer tallyRepeat;
    CameraReadback lens;
};

Q_DECLARE_METATYPE(Camera::Route)

#include "camera.h"

#include "acticgi.h"
#include "encoderbus.h"
#include "endpoint.h"
#include "linkpool.h"
#include "logcategories.h"
#include "motion.h"
#include "networkcameralink.h"
#include "sendfailure.h"
#include "viscainquiry.h"
#include "serialbus.h"

#include <QScopeGuard>
#include <QTimer>

#include <algorithm>
#include <iterator>

namespace {

// Requests whose answers are awaited at most; an older one whose answer
// never comes (its packet was replaced by a newer one while it waited) is
// forgotten.
constexpr int kAwaitedKept = 64;

const QString zoomGroup = QStringLiteral("zoom");
const QString focusGroup = QStringLiteral("focus");
const QString brightnessGroup = QStringLiteral("brightness");
const QString lampGroup = QStringLiteral("led");
const QString profileGroup = QStringLiteral("profile");
const QString presetGroup = QStringLiteral("preset");
// The memories the "profile" words reach; beyond them the selection is sent
// by its preset words.
constexpr int kProfileWords = 10;
const QString panTiltGroup = QStringLiteral("pantilt");
const QString panTiltSpeedGroup = QStringLiteral("pantiltspeed");
const QString powerGroup = QStringLiteral("power");

bool isPanTilt(const QString &group)
{
    return group == panTiltGroup || group == panTiltSpeedGroup;
}

// The vocabulary's word for each white balance, in the enumeration's order.
const char *const whiteBalanceWords[] = {nullptr, "auto", "2700k", "3200k", "5800k"};
static_assert(std::size(whiteBalanceWords) == size_t(WhiteBalance::Outdoor5800K) + 1,
              "one word for each white balance");

// The status line's words for a camera that answered and stopped.
QString notAnsweringText(const QString &route)
{
    return QStringLiteral("Not answering: ") + route + QStringLiteral(" \u2013 ")
        + SendFailure::reason({SendFailure::Kind::CameraNoAnswer, QString()});
}

bool usableAddress(const QHostAddress &address)
{
    return !address.isNull() && address != QHostAddress(QHostAddress::AnyIPv4)
        && address != QHostAddress(QHostAddress::AnyIPv6);
}

} // namespace

const char *const Camera::kTallyRepeatWords = "tally,on (repeat)";

Camera::Camera(LinkPool &pool, QObject *parent)
    : QObject(parent)
    , pool(pool)
    , drive(
          [this](const QString &request) {
              return command(request.section(QLatin1Char(','), 0, 0),
                             request.section(QLatin1Char(','), 1))
                  > 0;
          },
            [this] {
                if (!carriesCommands())
                    return PanTiltDrive::RouteState::Closed;
                return link->busy() ? PanTiltDrive::RouteState::Busy
                                    : PanTiltDrive::RouteState::Free;
            })
    , lens([this](const QByteArray &inquiry, const QString &words) { return askInquiry(inquiry, words); },
           [this] { return setup.viscaAddress; })
{
    qRegisterMetaType<PacketTag>();
    setup.lampAddress = 2;
    shownReason = healthReason();
    connect(this, &Camera::routeChanged, this, &Camera::noteHealth);
    connect(this, &Camera::statusChanged, this, &Camera::noteHealth);
    connect(&drive, &PanTiltDrive::sendFailed, this, [this](const QString &) {
        qCWarning(lcCamera).noquote() << "pan-tilt not sent:" << panTiltRecord;
        setStatus(QStringLiteral("Not sent: ") + panTiltRecord, statusIsFailure);
    });
    tallyRepeat.setInterval(tallyRepeatMs);
    connect(&tallyRepeat, &QTimer::timeout, this, &Camera::repeatTally);
    // A route that connects (again) hears of a lit lamp; one that goes
    // forgets what the lamp was told.
    connect(this, &Camera::routeChanged, this, &Camera::showTallyLamp);
    connect(this, &Camera::configChanged, this, &Camera::showTallyLamp);
    connect(&watch, &HealthWatch::keepAliveDue, this, &Camera::sendKeepAlive);
    connect(&watch, &HealthWatch::silenceChanged, this, &Camera::onNetworkSilence);
    connect(&watch, &HealthWatch::reconnectDue, this, &Camera::reconnectNetworkCamera);
    connect(&lens, &CameraReadback::changed, this, &Camera::readbackChanged);
    connect(&lens, &CameraReadback::powerChanged, this, &Camera::onPowerRead);
    connect(this, &Camera::routeChanged, this, &Camera::noteAnswering);
}

Camera::~Camera()
{
    lens.blockSignals(true);
    dropLink();
}

// --- The route -----------------------------------------------------------------

bool Camera::carriesCommands() const
{
    return link && (state_ == LinkState::Connected || state_ == LinkState::Failing);
}

QString Camera::routeName() const
{
    switch (routeKind) {
    case Route::Serial:
        return serialBus->portName();
    case Route::Encoder:
        return encoderBus ? QStringLiteral("ACTi <") + encoderBus->endpointText() + QLatin1Char('>')
                          : QString();
    case Route::Network:
        return QStringLiteral("VISCA <") + networkShown + QLatin1Char('>');
    case Route::None:
        break;
    }
    return QString();
}

QString Camera::serialPortName() const
{
    return routeKind == Route::Serial ? serialBus->portName() : QString();
}

bool Camera::reachesLamp() const
{
    return setup.lampAddress != 0 && routeKind != Route::Network;
}

void Camera::changeConfig(const std::function<void(CameraConfig &)> &change)
{
    const CameraConfig before = setup;
    change(setup);
    if (setup != before)
        emit configChanged();
}

void Camera::setConfig(const CameraConfig &config)
{
    changeConfig([&config](CameraConfig &c) { c = config; });
}

void Camera::setAddresses(const ViscaAddresses &addresses)
{
    changeConfig([&addresses](CameraConfig &c) {
        c.viscaAddress = addresses.camera;
        c.lampAddress = addresses.lamp;
    });
}

namespace {

// The port a set-up names: a device path as it is, a bare name ("ttyUSB0")
// under /dev where ports live there.
SerialPortEntry configuredPort(const QString &named)
{
#ifdef Q_OS_UNIX
    if (!named.startsWith(QLatin1Char('/')))
        return {named, QStringLiteral("/dev/") + named};
#endif
    return {named, named};
}

} // namespace

bool Camera::connectConfigured(const QString &encoderUser, const QString &encoderPassword)
{
    switch (setup.route) {
    case Route::Serial:
        if (setup.serialPort.isEmpty())
            break;
        return openSerial(configuredPort(setup.serialPort));
    case Route::Encoder:
        connectEncoder(setup.encoderAddress, encoderUser, encoderPassword);
        return true;
    case Route::Network: {
        QHostAddress address;
        quint16 port = 0;
        if (!Endpoint::parse(setup.networkAddress, &address, &port,
                             ViscaIp::defaultPort(setup.protocol))) {
            chooseNetworkCamera();
            failure = SendFailure::notAnAddress(setup.networkAddress);
            emit routeChanged();
            setStatus(QStringLiteral("Not connected: ") + failure, true);
            return false;
        }
        connectNetworkCamera(address, port, setup.protocol, setup.networkAddress.trimmed());
        return true;
    }
    case Route::None:
        break;
    }
    failure = QStringLiteral("no route set up");
    emit routeChanged();
    setStatus(QStringLiteral("Not connected: ") + failure, true);
    return false;
}

Camera::Health Camera::health() const
{
    // A camera that fell silent is failing until the first attempt starts.
    if ((routeKind == Route::Serial && serialBus && serialBus->isWaiting())
        || (watch.reconnecting() && state_ != LinkState::Failing))
        return Health::Reconnecting;
    switch (state_) {
    case LinkState::Connected:
        return (statusIsFailure && !missOnly) || heard == SerialAnswers::Hearing::Silent
            ? Health::Failing
            : Health::Connected;
    case LinkState::Failing:
        return Health::Failing;
    case LinkState::Connecting:
        return Health::Connecting;
    case LinkState::NotConnected:
        break;
    }
    return failure.isEmpty() ? Health::NotConnected : Health::Failing;
}

QString Camera::healthReason() const
{
    switch (health()) {
    case Health::Failing:
        if (statusIsFailure && !status.isEmpty())
            return status;
        if (heard == SerialAnswers::Hearing::Silent)
            return SendFailure::reason({SendFailure::Kind::CameraNoAnswer, QString()});
        return failure.isEmpty() ? QStringLiteral("the camera stopped answering") : failure;
    case Health::Connected:
        if (heard == SerialAnswers::Hearing::SendingOnly)
            return QStringLiteral("connected to ") + routeName() + QStringLiteral(", ")
                + SerialAnswers::sendingOnlyWords();
        return QStringLiteral("connected to ") + routeName();
    case Health::Connecting:
        return QStringLiteral("connecting");
    case Health::Reconnecting:
        // The status line says how far it got ("..., next try in 4 s"; "Port
        // lost: ttyUSB0 – reconnecting when it is back").
        if (routeKind == Route::Serial) {
            if (statusIsFailure && !status.isEmpty())
                return status;
            return QStringLiteral("reconnecting to ") + routeName();
        }
        if (statusIsFailure && status.startsWith(QLatin1String("Reconnecting: ")))
            return status;
        return QStringLiteral("Reconnecting: ") + routeName() + QStringLiteral(" \u2013 ")
            + reconnectWhy;
    case Health::NotConnected:
        break;
    }
    return QStringLiteral("not connected");
}

void Camera::noteHealth()
{
    const Health now = health();
    const QString reason = healthReason();
    if (now == shownHealth && reason == shownReason)
        return;
    shownHealth = now;
    shownReason = reason;
    // The failure itself is logged as a warning where it happens; this line
    // names the camera it happened to.
    if (now == Health::Failing || now == Health::Reconnecting)
        qCInfo(lcCamera).noquote() << QStringLiteral("camera %1 (%2) %3:")
                                          .arg(place)
                                          .arg(shownName(), QLatin1String(healthWord(now)))
                                   << reason;
    emit healthChanged();
}

void Camera::setSerialParameter(SerialParameter parameter, int value)
{
    if (serialBus)
        serial = serialBus->setParameter(parameter, value);
    else
        serial.set(parameter, value);
}

int Camera::sendEncoderSerialSetting()
{
    if (routeKind != Route::Encoder || !encoderBus)
        return 0;
    encoderBus->sendSerialSetting(serial.encoderText());
    return 1;
}

void Camera::take(PacketLink *newLink)
{
    link = newLink;
    connect(link, &PacketLink::packetAnswered, this, &Camera::onPacketAnswered);
    connect(link, &PacketLink::packetFailed, this, &Camera::onPacketFailed);
    connect(link, &PacketLink::trouble, this, &Camera::onTrouble);
    connect(link, &PacketLink::silenceChanged, this, &Camera::onSilence);
    connect(link, &PacketLink::hearingChanged, this, &Camera::onHearing);
    connect(link, &PacketLink::inquiryAnswered, this, &Camera::onInquiryAnswered);
    // Queued: the link is still finishing the request that freed it.
    connect(link, &PacketLink::free, &drive, &PanTiltDrive::routeFree, Qt::QueuedConnection);
}

// Gives the link back: nothing of this camera waits on it any more, and
// nothing it says reaches this camera.
void Camera::dropLink()
{
    ++attempt;
    awaited.clear();
    heard = SerialAnswers::Hearing::Unknown;
    // No reconnect, no keep-alive outlives the route.
    watch.stopReconnecting();
    watch.resetCount();
    watch.setAnswering(false);
    lens.forget();
    if (!link)
        return;
    if (encoderBus)
        keptEncoderError = encoderBus->lastError();
    link->dropWaiting(this);
    link->disconnect(this);
    disconnect(link, nullptr, &drive, nullptr);
    pool.release(link);
    link = nullptr;
    serialBus = nullptr;
    encoderBus = nullptr;
    networkLink = nullptr;
}

void Camera::setLinkState(LinkState newState)
{
    if (state_ == newState)
        return;
    state_ = newState;
    emit routeChanged();
}

bool Camera::openSerial(const SerialPortEntry &port)
{
    dropLink();
    routeKind = Route::None;
    SerialBus *bus = pool.serialBus(port.systemLocation);
    if (!bus->open(serial)) {
        failure = bus->openFailure(port.portName);
        pool.release(bus);
        qCWarning(lcSerial).noquote() << failure;
        setLinkState(LinkState::NotConnected);
        emit routeChanged();
        setStatus(failure, true);
        return false;
    }
    serialBus = bus;
    take(bus);
    connect(bus, &SerialBus::lost, this, &Camera::onSerialLost);
    connect(bus, &SerialBus::reopened, this, &Camera::onSerialReopened);
    connect(bus, &SerialBus::reopenFailed, this,
            [this](const QString &why) { setStatus(why, true); });
    serial = bus->settings();
    routeKind = Route::Serial;
    changeConfig([&port](CameraConfig &c) {
        c.route = Route::Serial;
        // A name the set-up gives for the same port stays as it was.
        if (configuredPort(c.serialPort).systemLocation != port.systemLocation)
            c.serialPort = port.systemLocation;
    });
    failure.clear();
    // An open port is a connected route: the line has no handshake.
    setLinkState(LinkState::Connected);
    connectedText = QStringLiteral("Connected to ") + bus->portName();
    setStatus(connectedText);
    emit connected();
    askVersion();
    return true;
}

// The adapter went: the route stays chosen, and the bus brings it back when
// the port is there again (onSerialReopened()). Nothing waits meanwhile.
void Camera::onSerialLost()
{
    const QString name = serialBus->portName();
    failure = serialBus->lineError();
    serialBus->dropWaiting(this);
    awaited.clear();
    heard = SerialAnswers::Hearing::Unknown;
    drive.routeClosed();
    setLinkState(LinkState::NotConnected);
    emit lost(Route::Serial, failure);
    setStatus(QStringLiteral("Port lost: ") + name + QStringLiteral(" \u2013 reconnecting when it is back"),
              true);
}

void Camera::onSerialReopened()
{
    serial = serialBus->settings();
    failure.clear();
    failureShown = false;
    // Told before the state changes, so that no "failing" shows between.
    status = connectedText;
    statusIsFailure = false;
    setLinkState(LinkState::Connected);
    setStatus(connectedText);
    emit connected();
    askVersion();
}

void Camera::chooseEncoder()
{
    dropLink();
    panelWords.clear();
    routeKind = Route::Encoder;
    changeConfig([](CameraConfig &c) { c.route = Route::Encoder; });
    failure.clear();
    setLinkState(LinkState::NotConnected);
    emit routeChanged();
}

int Camera::encoderError() const
{
    return encoderBus ? encoderBus->lastError() : keptEncoderError;
}

void Camera::connectEncoder(const QString &typedAddress, const QString &user,
                            const QString &password)
{
    if (routeKind != Route::Encoder)
        chooseEncoder();
    changeConfig([&typedAddress](CameraConfig &c) { c.encoderAddress = typedAddress; });
    QHostAddress address;
    quint16 port = ActiCgi::defaultPort;
    const bool parsed = Endpoint::parse(typedAddress, &address, &port, ActiCgi::defaultPort);
    if (!parsed || !usableAddress(address)) {
        // Nothing is sent: the status tells what the last request met, as
        // it always did; the reason says why this attempt failed.
        const SendFailure::ConnectStep step = encoderError() != 0 ? SendFailure::ConnectStep::Reach
                                                                  : SendFailure::ConnectStep::LogIn;
        dropLink();
        QString why;
        if (typedAddress.trimmed().isEmpty())
            why = SendFailure::noAddressEntered();
        else if (!parsed)
            why = SendFailure::notAnAddress(typedAddress);
        else
            why = SendFailure::notAUsableAddress(
                Endpoint::text(address, port, ActiCgi::defaultPort));
        qCWarning(lcActi).noquote() << "ACTi not connected:" << why;
        setLinkState(LinkState::Connecting);
        // Said once the event loop runs, as an answer would be.
        QTimer::singleShot(0, this, [this, step, why, at = attempt] {
            if (at == attempt)
                onEncoderFailed(step, why);
        });
        return;
    }
    EncoderBus *bus = pool.encoder(address, port, user, password);
    if (bus != encoderBus) {
        dropLink();
        encoderBus = bus;
        take(bus);
        connect(bus, &EncoderBus::connected, this, &Camera::onEncoderConnected);
        connect(bus, &EncoderBus::connectFailed, this, &Camera::onEncoderFailed);
        connect(bus, &EncoderBus::answersAgain, this,
                [this] { setStatus(QStringLiteral("Connected to ") + routeName()); });
    } else {
        pool.release(bus); // the same encoder: one use of it is enough
    }
    setLinkState(LinkState::Connecting);
    switch (bus->state()) {
    case EncoderBus::State::Connected:
        // Another camera behind it has connected it already.
        QTimer::singleShot(0, this, [this, at = attempt] {
            if (at == attempt)
                onEncoderConnected();
        });
        break;
    case EncoderBus::State::Connecting:
        break; // its outcome comes for every camera behind it
    case EncoderBus::State::NotConnected:
    case EncoderBus::State::Failed:
        bus->connectWith(serial.encoderText());
        break;
    }
}

void Camera::onEncoderConnected()
{
    if (state_ != LinkState::Connecting)
        return;
    failure.clear();
    panelWords.clear();
    setLinkState(LinkState::Connected);
    setStatus(QStringLiteral("Connected to ") + routeName());
    emit connected();
}

void Camera::onEncoderFailed(SendFailure::ConnectStep step, const QString &why)
{
    if (state_ != LinkState::Connecting)
        return;
    failure = why;
    panelWords = SendFailure::connectFailedStatus(step);
    setLinkState(LinkState::NotConnected);
    emit routeChanged();
    emit connectFailed(panelWords, why);
}

void Camera::chooseNetworkCamera()
{
    dropLink();
    panelWords.clear();
    routeKind = Route::Network;
    changeConfig([](CameraConfig &c) { c.route = Route::Network; });
    failure.clear();
    networkLink = pool.networkCamera(this);
    take(networkLink);
    connect(networkLink, &NetworkCameraLink::connected, this, [this](const QString &model) {
        if (watch.reconnecting())
            qCInfo(lcCamera).noquote() << QStringLiteral("camera %1 (%2) reconnected, attempt %3")
                                              .arg(place)
                                              .arg(shownName())
                                              .arg(watch.attempt());
        watch.stopReconnecting();
        watch.resetCount();
        failure.clear();
        panelWords.clear();
        setStatus(QStringLiteral("Connected to ") + routeName() + QStringLiteral(" (model ") + model
                  + QLatin1Char(')'));
        setLinkState(LinkState::Connected);
        emit connected();
    });
    connect(networkLink, &NetworkCameraLink::connectFailed, this, [this](const QString &reason) {
        qCInfo(lcViscaIp).noquote() << "VISCA over IP not connected:" << reason;
        failure = reason;
        if (watch.reconnecting()) {
            // The next attempt after the back-off; the panel keeps saying
            // it reconnects.
            watch.attemptFailed();
            const int next = (watch.nextAttemptInMs() + 999) / 1000;
            setLinkState(LinkState::NotConnected);
            setStatus(QStringLiteral("Reconnecting: %1 \u2013 %2, next try in %3 s")
                          .arg(routeName(), reason)
                          .arg(next),
                      true);
            return;
        }
        panelWords = QStringLiteral("Failed, ") + reason;
        setLinkState(LinkState::NotConnected);
        emit routeChanged();
        emit connectFailed(panelWords, reason);
    });
    // The camera closed its TCP connection: the route stays chosen for a
    // new connect.
    connect(networkLink, &NetworkCameraLink::lost, this, [this](const QString &reason) {
        qCWarning(lcViscaIp).noquote() << "VISCA over IP lost:" << reason;
        failure = reason;
        reconnectWhy = reason;
        panelWords = QStringLiteral("Reconnecting..");
        awaited.clear();
        drive.routeClosed();
        watch.resetCount();
        watch.startReconnecting();
        setLinkState(LinkState::NotConnected);
        emit lost(Route::Network, reason);
        setStatus(QStringLiteral("Reconnecting: ") + routeName() + QStringLiteral(" \u2013 ")
                      + reason,
                  true);
    });
    setLinkState(LinkState::NotConnected);
    emit routeChanged();
}

void Camera::connectNetworkCamera(const QHostAddress &address, quint16 port,
                                  ViscaIp::Protocol protocol, const QString &shown)
{
    if (routeKind != Route::Network)
        chooseNetworkCamera();
    changeConfig([protocol, &shown](CameraConfig &c) {
        c.protocol = protocol;
        c.networkAddress = shown;
    });
    networkShown = shown;
    networkAddress = address;
    networkPort = port;
    networkProtocol = protocol;
    // The operator's own connect: a reconnect that waited is over.
    watch.stopReconnecting();
    watch.resetCount();
    setLinkState(LinkState::Connecting);
    networkLink->connectTo(address, port, protocol);
}

void Camera::leaveRoute()
{
    dropLink();
    panelWords.clear();
    routeKind = Route::None;
    failure.clear();
    failureShown = false;
    drive.routeClosed();
    setLinkState(LinkState::NotConnected);
    emit routeChanged();
}

// --- Packets --------------------------------------------------------------------

int Camera::command(const QString &groupWord, const QString &actionWord)
{
    const QString group = normaliseWord(groupWord);
    const QString action = normaliseWord(actionWord);
    const QString request = group + QLatin1Char(',') + action;
    record = request;
    qCDebug(lcCamera).noquote() << "sendCommand():" << record;

    const QList<ViscaPacket> packets = viscaPackets(group, action, addresses());
    // In standby (or while waking) a move is not sent: the camera would
    // refuse it, or start it once it is up. Stops always go.
    if (!lens.drivable() && carriesCommands()) {
        const bool moves = std::any_of(packets.cbegin(), packets.cend(), [this](const ViscaPacket &p) {
            const Motion::Kind kind = Motion::of(p.bytes);
            return kind.isDrive() && kind.device == setup.viscaAddress;
        });
        if (moves || (group == presetGroup && action.startsWith(QLatin1String("recall")))
            || (group == profileGroup && action.startsWith(QLatin1String("recall")))) {
            const QString reason = lens.power() == CameraReadback::Power::Standby
                ? QStringLiteral("camera in standby, Power on to drive it")
                : QStringLiteral("camera still coming out of standby");
            const QString text = SendFailure::notSentText(request, reason);
            qCInfo(lcCamera).noquote() << text;
            // The drive says "Not sent: " and its record when refused.
            if (isPanTilt(group))
                panTiltRecord = request + QStringLiteral(" \u2013 ") + reason;
            setStatus(text);
            return 0;
        }
    }
    const quint64 id = ++requests;
    int result = 0;
    QString firstFailure; // the first packet that did not leave
    bool answerFollows = false;
    for (const ViscaPacket &packet : packets) {
        QString failed;
        bool follows = false;
        result = sendPacket(packet, id, &failed, &follows);
        if (firstFailure.isEmpty())
            firstFailure = failed;
        answerFollows = answerFollows || follows;
    }
    if (isPanTilt(group))
        panTiltRecord = record;

    // The status line tells whether the camera got this request: an older
    // command's text must not stand after a newer one failed.
    const auto waiting = awaited.find(id);
    if (!firstFailure.isEmpty()) {
        const QString text = SendFailure::notSentText(request, firstFailure);
        qCWarning(lcCamera).noquote() << text;
        setStatus(text, true);
        if (waiting != awaited.end())
            waiting->failed = true;
    } else if (answerFollows && waiting != awaited.end()) {
        // Shown once the far end has answered.
        waiting->record = record;
        if (isPanTilt(group))
            waiting->panTilt = request;
    } else if (result > 0) {
        setStatus(record);
    }
    return result;
}

int Camera::sendText(const QString &commandText)
{
    return sendPacket({commandBytes(commandText), commandText}, ++requests, nullptr, nullptr);
}

int Camera::sendPacket(const ViscaPacket &packet, quint64 requestId, QString *failed,
                       bool *answerFollows)
{
    const QString request = record.section(QStringLiteral(" ["), 0, 0);
    record += QStringLiteral(" [") + packet.text + QLatin1Char(']');
    // Only a route that has connected carries commands: a chosen one whose
    // connect failed, or has not been tried, sends nothing and shows nothing.
    if (!carriesCommands())
        return 0;
    const PacketLink::Handover handover
        = link->send({packet.bytes, packet.text, {this, requestId, request}});
    if (failed)
        *failed = handover.failure;
    if (answerFollows)
        *answerFollows = handover.answerFollows;
    if (handover.answerFollows && answerFollows) {
        if (awaited.size() >= kAwaitedKept)
            awaited.remove(*std::min_element(awaited.keyBegin(), awaited.keyEnd()));
        ++awaited[requestId].packets;
    }
    return handover.result;
}

bool Camera::isMine(const PacketTag &tag) const
{
    return tag.origin == this;
}

void Camera::onPacketAnswered(const PacketTag &tag)
{
    if (!isMine(tag) || CameraReadback::isOwn(tag.words))
        return;
    watch.answered();
    if (tag.words == QLatin1String(HealthWatch::kKeepAliveWords)
        || tag.words == QLatin1String(kTallyRepeatWords))
        return;
    const auto waiting = awaited.find(tag.request);
    if (waiting != awaited.end()) {
        if (--waiting->packets > 0)
            return;
        const Awaited done = awaited.take(tag.request);
        if (!done.failed) {
            failureShown = false;
            setStatus(done.record);
        }
        return;
    }
    if (!failureShown)
        return;
    failureShown = false;
    setStatus(tag.words);
}

void Camera::onPacketFailed(const PacketTag &tag, const QString &reason)
{
    if (!isMine(tag))
        return;
    // Counted once the status line shows it: the silence it may complete
    // has the last word.
    const bool miss = isMiss(reason);
    const auto count = qScopeGuard([this, miss] {
        if (miss)
            watch.unanswered();
    });
    if (tag.words == QLatin1String(HealthWatch::kKeepAliveWords)) {
        qCDebug(lcCamera).noquote() << "keep-alive:" << reason;
        return;
    }
    if (CameraReadback::isOwn(tag.words)) {
        qCDebug(lcCamera).noquote() << tag.words << "not answered:" << reason;
        return;
    }
    const QString text = SendFailure::notSentText(tag.words, reason);
    const auto waiting = awaited.find(tag.request);
    if (waiting == awaited.end()) {
        qCWarning(lcCamera).noquote() << text;
        failureShown = true;
        putStatus(text, true, miss);
        return;
    }
    // A request the far end judges: its first refusal is its outcome, as
    // if the send had said so.
    const bool firstRefusal = !waiting->failed;
    waiting->failed = true;
    const QString panTilt = waiting->panTilt;
    if (--waiting->packets <= 0)
        awaited.erase(waiting);
    if (!firstRefusal)
        return;
    qCWarning(lcCamera).noquote() << text;
    putStatus(text, true, miss);
    if (!panTilt.isEmpty())
        drive.refusedLater(panTilt);
}

// A network camera's packet left without an answer: not answered in time,
// or (over TCP, where nothing but stops goes to a camera that left one
// unanswered) waited in vain behind such a packet.
bool Camera::isMiss(const QString &reason) const
{
    if (routeKind != Route::Network)
        return false;
    return reason == SendFailure::reason({SendFailure::Kind::CameraNoAnswer, QString()})
        || (watch.misses() > 0
            && reason == SendFailure::reason({SendFailure::Kind::CameraBusy, QString()}));
}

void Camera::onNetworkSilence(bool silent)
{
    if (routeKind != Route::Network)
        return;
    if (silent && state_ == LinkState::Connected) {
        reconnectWhy = SendFailure::reason({SendFailure::Kind::CameraNoAnswer, QString()});
        qCWarning(lcCamera).noquote()
            << QStringLiteral("camera %1 (%2) on %3:").arg(place).arg(shownName(), routeName())
            << reconnectWhy;
        // Failing now; reconnected from the first back-off on unless it
        // answers before.
        setStatus(notAnsweringText(routeName()), true);
        setLinkState(LinkState::Failing);
        watch.startReconnecting();
    } else if (!silent && state_ == LinkState::Failing) {
        watch.stopReconnecting();
        qCInfo(lcCamera).noquote()
            << QStringLiteral("camera %1 (%2) answers again").arg(place).arg(shownName());
        failureShown = false;
        setLinkState(LinkState::Connected);
        setStatus(QStringLiteral("Connected to ") + routeName());
    }
}

// One attempt of the normal connect flow (over UDP the sequence reset and
// the version inquiry). Nothing that ran before the link went is sent
// again: the drive forgets its move, the rates are back at rest.
void Camera::reconnectNetworkCamera()
{
    if (routeKind != Route::Network || !networkLink) {
        watch.stopReconnecting();
        return;
    }
    const bool wasUp = carriesCommands();
    awaited.clear();
    drive.routeClosed();
    for (Axis axis : {Axis::Zoom, Axis::Focus}) {
        int &rate = axis == Axis::Zoom ? panels.zoomRate : panels.focusRate;
        if (rate == 0)
            continue;
        rate = 0;
        emit moveAsked(axis, false);
    }
    watch.resetCount();
    panelWords = QStringLiteral("Reconnecting..");
    qCInfo(lcCamera).noquote() << QStringLiteral("camera %1 (%2): reconnect attempt %3 to %4")
                                      .arg(place)
                                      .arg(shownName())
                                      .arg(watch.attempt())
                                      .arg(routeName());
    setLinkState(LinkState::Connecting);
    if (wasUp)
        emit lost(Route::Network, reconnectWhy);
    setStatus(QStringLiteral("Reconnecting: ") + routeName() + QStringLiteral(" \u2013 ")
                  + reconnectWhy,
              true);
    networkLink->connectTo(networkAddress, networkPort, networkProtocol);
}


// The power inquiry, tagged as a keep-alive; only when nothing else is in
// flight, so it never delays the operator's commands.
void Camera::sendKeepAlive()
{
    if (!carriesCommands())
        return;
    const bool inFlight = routeKind == Route::Network ? !networkLink->connection().idle()
                                                      : link->busy();
    if (inFlight)
        return;
    askInquiry(ViscaInquiry::powerInquiry(setup.viscaAddress),
               QLatin1String(HealthWatch::kKeepAliveWords));
}

void Camera::onTrouble(const QString &text)
{
    qCWarning(lcCamera).noquote() << text;
    failureShown = true;
    setStatus(text, true);
}

void Camera::onSilence(bool silent)
{
    if (silent && state_ == LinkState::Connected)
        setLinkState(LinkState::Failing);
    else if (!silent && state_ == LinkState::Failing)
        setLinkState(LinkState::Connected);
}

// The camera on a serial line: a line that never answered is normal (only
// the transmit pair is wired), and is only named; a camera that answered
// and stopped is failing until it answers again.
void Camera::onHearing(int address, SerialAnswers::Hearing hearing)
{
    if (address != setup.viscaAddress || hearing == heard)
        return;
    const SerialAnswers::Hearing before = heard;
    heard = hearing;
    const QString port = routeName();
    switch (hearing) {
    case SerialAnswers::Hearing::SendingOnly:
        // Named by the health reason; the status line says it only while it
        // still shows the connect (it keeps the last command otherwise).
        if (status == connectedText && !statusIsFailure)
            setStatus(connectedText + QStringLiteral(", ") + SerialAnswers::sendingOnlyWords());
        break;
    case SerialAnswers::Hearing::Silent:
        qCWarning(lcCamera).noquote() << QStringLiteral("camera %1 (%2) on %3:").arg(place).arg(
            shownName(), port) << SendFailure::reason({SendFailure::Kind::CameraNoAnswer, QString()});
        setStatus(notAnsweringText(port), true);
        break;
    case SerialAnswers::Hearing::Answers:
        if (before == SerialAnswers::Hearing::Silent) {
            qCInfo(lcCamera).noquote()
                << QStringLiteral("camera %1 (%2) answers again").arg(place).arg(shownName());
            failureShown = false;
            setStatus(QStringLiteral("Connected to ") + port);
        }
        break;
    case SerialAnswers::Hearing::Unknown:
        break;
    }
    noteHealth();
    noteAnswering();
}

// The version inquiry, where the route can answer it: the serial line (a
// network camera asks it in its own connect). Nothing waits for the answer.
void Camera::askVersion()
{
    if (routeKind != Route::Serial || !carriesCommands())
        return;
    QByteArray inquiry = ViscaIp::versionInquiry();
    inquiry[0] = char(0x80 + setup.viscaAddress);
    link->send({inquiry, QString::fromLatin1(inquiry.toHex().toUpper()),
                {this, ++requests, QStringLiteral("version")}});
}

// Where answers come. Keep-alives go to a network camera that is up and to
// a serial camera heard on its line (never a line that only carries
// commands, nor the encoder's pass-through); read-back asks a network camera
// that answers and a serial camera whose last packets were answered.
void Camera::noteAnswering()
{
    const bool up = carriesCommands();
    const bool serialHeard = heard == SerialAnswers::Hearing::Answers;
    watch.setAnswering(up
                       && (routeKind == Route::Network
                           || (routeKind == Route::Serial
                               && (serialHeard || heard == SerialAnswers::Hearing::Silent))));
    lens.setAnswering(up
                      && (routeKind == Route::Network ? state_ == LinkState::Connected
                                                      : routeKind == Route::Serial && serialHeard));
}

bool Camera::askInquiry(const QByteArray &inquiry, const QString &words)
{
    if (!carriesCommands())
        return false;
    return link->send({inquiry, QString::fromLatin1(inquiry.toHex().toUpper()),
                       {this, ++requests, words}})
               .result
        > 0;
}

void Camera::onPowerRead(CameraReadback::Power before)
{
    const QString name = shownName();
    switch (lens.power()) {
    case CameraReadback::Power::Standby:
        qCInfo(lcCamera).noquote() << QStringLiteral("camera %1 (%2) in standby").arg(place).arg(name);
        setStatus(QStringLiteral("Standby: %1 \u2013 Power on to drive it").arg(name));
        break;
    case CameraReadback::Power::Waking:
        setStatus(QStringLiteral("Waking: %1 \u2013 coming out of standby").arg(name));
        break;
    case CameraReadback::Power::On:
        if (before == CameraReadback::Power::Standby || before == CameraReadback::Power::Waking) {
            qCInfo(lcCamera).noquote() << QStringLiteral("camera %1 (%2) on").arg(place).arg(name);
            setStatus(QStringLiteral("Power on: ") + name);
            repeatTally();
        }
        break;
    case CameraReadback::Power::Unknown:
        break;
    }
}

void Camera::setPower(bool on)
{
    if (command(powerGroup, on ? QStringLiteral("on") : QStringLiteral("standby")) > 0)
        lens.powerSent(on);
}

void Camera::onInquiryAnswered(const PacketTag &tag, const QByteArray &data)
{
    if (!isMine(tag))
        return;
    watch.answered();
    // A keep-alive asks the power state: its answer is read back as well.
    if (tag.words == QLatin1String(HealthWatch::kKeepAliveWords)) {
        lens.takePower(data);
        return;
    }
    if (lens.take(tag.words, data))
        return;
    if (tag.words != QLatin1String("version"))
        return;
    const QString model = ViscaIp::modelCode(QByteArray(1, char(0x90)) + char(0x50) + data
                                             + char(0xFF));
    qCInfo(lcCamera).noquote() << QStringLiteral("camera %1 (%2) on %3: model").arg(place).arg(
        shownName(), routeName()) << (model.isEmpty() ? QStringLiteral("unknown") : model);
    if (model.isEmpty() || status != connectedText || statusIsFailure)
        return;
    setStatus(connectedText + QStringLiteral(" (model ") + model + QLatin1Char(')'));
}

void Camera::setStatus(const QString &text, bool failed)
{
    putStatus(text, failed, false);
}

void Camera::putStatus(const QString &text, bool failed, bool miss)
{
    status = text;
    statusIsFailure = failed;
    missOnly = miss;
    emit statusChanged(text, failed);
}

// --- Operations -----------------------------------------------------------------

void Camera::changeState(const std::function<void(CameraState &)> &change)
{
    change(panels);
    emit stateChanged();
}

void Camera::zoom(int rate)
{
    panels.zoomRate = rate;
    command(zoomGroup, QString::number(rate));
    if (rate == 0)
        lens.zoomStopped();
    emit moveAsked(Axis::Zoom, rate != 0);
}

void Camera::focus(int rate)
{
    panels.focusRate = rate;
    command(focusGroup, QString::number(rate));
    if (rate == 0)
        lens.focusStopped();
    emit moveAsked(Axis::Focus, rate != 0);
}

void Camera::setFocusMode(FocusMode mode)
{
    if (mode == FocusMode::Unknown)
        return;
    changeState([mode](CameraState &s) { s.focus = mode; });
    if (mode == FocusMode::Auto) {
        command(focusGroup, QStringLiteral("auto"));
        return;
    }
    command(focusGroup, QStringLiteral("manual"));
    if (mode == FocusMode::Trigger)
        command(focusGroup, QStringLiteral("trigger"));
}

void Camera::setWhiteBalance(WhiteBalance mode)
{
    const char *word = whiteBalanceWords[size_t(mode)];
    if (!word)
        return;
    changeState([mode](CameraState &s) { s.whiteBalance = mode; });
    command(QStringLiteral("color"), QLatin1String(word));
}

void Camera::setWdr(bool on)
{
    changeState([on](CameraState &s) { s.wdr = on; });
    command(QStringLiteral("wdr"), on ? QStringLiteral("on") : QStringLiteral("off"));
}

void Camera::exposureAuto()
{
    changeState([](CameraState &s) { s.exposure = Exposure::Auto; });
    command(brightnessGroup, QStringLiteral("reset"));
    command(brightnessGroup, QStringLiteral("off"));
}

void Camera::brightnessStep(int direction)
{
    if (direction == 0)
        return;
    // Manual steps end the automatic mode.
    changeState([](CameraState &s) { s.exposure = Exposure::Compensated; });
    command(brightnessGroup, QStringLiteral("on"));
    command(brightnessGroup, direction > 0 ? QStringLiteral("up") : QStringLiteral("down"));
}

void Camera::lamp(int direction)
{
    // Running it up ends "off"; running it down keeps the mark.
    changeState([direction](CameraState &s) {
        s.lampDrive = direction;
        if (direction > 0)
            s.lampOff = false;
    });
    command(lampGroup,
            direction > 0       ? QStringLiteral("up")
                : direction < 0 ? QStringLiteral("down")
                                : QStringLiteral("stop"));
}

void Camera::lampOff()
{
    changeState([](CameraState &s) { s.lampOff = true; });
    command(lampGroup, QStringLiteral("off"));
}

void Camera::panTilt(int pan, int tilt, PanTiltUnit unit)
{
    drive.want(PanTiltMove::request(pan, tilt, unit));
    emit moveAsked(Axis::PanTilt, pan != 0 || tilt != 0);
}

bool Camera::panTiltMovesIn(PanTiltUnit unit) const
{
    return PanTiltMove::movesIn(drive.wish(), unit);
}

void Camera::recallProfile(int number)
{
    changeState([number](CameraState &s) { s.profile = number; });
    command(profileGroup, QStringLiteral("recall") + QString::number(number));
}

void Camera::sendForSelectedProfile(const QString &actionPrefix)
{
    if (panels.profile < 0)
        return;
    if (panels.profile < kProfileWords) {
        command(profileGroup, actionPrefix + QString::number(panels.profile));
        return;
    }
    // A preset the grid selected beyond the menu's ten.
    const QString operation = actionPrefix == QLatin1String("set")       ? QStringLiteral("store")
                            : actionPrefix == QLatin1String("reset") ? QStringLiteral("clear")
                                                                     : actionPrefix;
    command(presetGroup, operation + QLatin1Char(' ') + QString::number(panels.profile + 1));
}

void Camera::storeProfile()
{
    sendForSelectedProfile(QStringLiteral("set"));
}

void Camera::storeDefault()
{
    command(profileGroup, QStringLiteral("setcustom"));
}

void Camera::resetProfile()
{
    sendForSelectedProfile(QStringLiteral("reset"));
    // The camera needs about half a second before the profile can be
    // recalled; the selection may change (or go with the link) meanwhile.
    QTimer::singleShot(profileResetWaitMs, Qt::PreciseTimer, this,
                       [this] { sendForSelectedProfile(QStringLiteral("recall")); });
}

void Camera::deselectProfile()
{
    changeState([](CameraState &s) { s.profile = -1; });
}

void Camera::setPresets(const PresetBook &presets)
{
    if (presets == book)
        return;
    book = presets;
    emit presetsChanged();
}

void Camera::recallPreset(int n)
{
    if (!book.has(n))
        return;
    // What runs stops first: the recall must not be undone by a stop, nor
    // a drive keep running after it.
    if (panels.zoomRate != 0)
        zoom(0);
    if (panels.focusRate != 0)
        focus(0);
    drive.stopAtOnce();
    emit moveAsked(Axis::PanTilt, false);
    const QString number = QString::number(n);
    switch (book.speedForm()) {
    case PresetBook::SpeedForm::PerPreset:
        if (book.speed(n) > 0)
            command(presetGroup, QStringLiteral("speed %1 %2").arg(n).arg(book.speed(n)));
        break;
    case PresetBook::SpeedForm::Global: {
        const int speed = book.speed(n) > 0 ? book.speed(n) : PresetBook::kTopSpeed;
        command(presetGroup, QStringLiteral("speedall ") + QString::number(speed));
        break;
    }
    case PresetBook::SpeedForm::None:
        break;
    }
    changeState([n](CameraState &s) { s.profile = n - 1; });
    command(presetGroup, QStringLiteral("recall ") + number);
}

void Camera::storePreset(int n)
{
    if (book.has(n))
        command(presetGroup, QStringLiteral("store ") + QString::number(n));
}

void Camera::clearPreset(int n)
{
    if (!book.has(n))
        return;
    command(presetGroup, QStringLiteral("clear ") + QString::number(n));
    PresetBook cleared = book;
    cleared.clear(n);
    setPresets(cleared);
}

void Camera::forgetPanelMarks()
{
    changeState([](CameraState &s) {
        s.focus = FocusMode::Unknown;
        s.whiteBalance = WhiteBalance::Unknown;
        s.exposure = Exposure::Unknown;
        s.wdr = false;
        s.lampOff = false;
    });
}

void Camera::stopAll()
{
    if (panels.zoomRate != 0)
        zoom(0);
    if (panels.focusRate != 0)
        focus(0);
    if (panels.lampDrive != 0)
        lamp(0);
    panTilt(0, 0);
}

void Camera::setTally(Tally tally)
{
    if (tally == onAir)
        return;
    onAir = tally;
    showTallyLamp();
    emit tallyChanged();
}

void Camera::showTallyLamp()
{
    if (!carriesCommands()) {
        tallyLampLit = false;
        tallyRepeat.stop();
        return;
    }
    const bool lit = onAir == Tally::Program && setup.tallyLamp;
    if (lit != tallyLampLit) {
        // Never lit, nothing to darken: a camera without a lamp hears nothing.
        tallyLampLit = lit;
        command(QStringLiteral("tally"), lit ? QStringLiteral("on") : QStringLiteral("off"));
    }
    const bool repeat = lit && routeKind == Route::Network;
    if (repeat && !tallyRepeat.isActive())
        tallyRepeat.start();
    else if (!repeat)
        tallyRepeat.stop();
}

// A camera restarted meanwhile has forgotten its lamp: it is told again,
// without taking the status line from what the operator last did. A repeat
// that does not get through is shown like any command that did not. A camera
// in standby would refuse it: it hears again when it is on.
void Camera::repeatTally()
{
    if (!carriesCommands() || !tallyLampLit || !lens.drivable())
        return;
    const QString request = QLatin1String(kTallyRepeatWords);
    const quint64 id = ++requests;
    for (const ViscaPacket &packet :
         viscaPackets(QStringLiteral("tally"), QStringLiteral("on"), addresses())) {
        const QString failed = link->send({packet.bytes, packet.text, {this, id, request}}).failure;
        if (!failed.isEmpty()) {
            const QString text = SendFailure::notSentText(request, failed);
            qCWarning(lcCamera).noquote() << text;
            setStatus(text, true);
            return;
        }
    }
}

const char *Camera::healthWord(Health health)
{
    switch (health) {
    case Health::Connected:
        return "connected";
    case Health::Connecting:
        return "connecting";
    case Health::Failing:
        return "failing";
    case Health::Reconnecting:
        return "reconnecting";
    case Health::NotConnected:
        break;
    }
    return "not connected";
}

const char *Camera::tallyWord(Tally tally)
{
    switch (tally) {
    case Tally::Program:
        return "program";
    case Tally::Preview:
        return "preview";
    case Tally::Off:
        break;
    }
    return "off";
}

#include "encoderbus.h"

#include "logcategories.h"
#include "sendfailure.h"

namespace {

// Serial settings the menus asked for and not sent yet: only the newest of
// them matter once this many wait.
constexpr int kSettingsKept = 8;

PacketTag tagOf(const CommandQueue::Entry &entry)
{
    return {entry.origin, entry.requestId, entry.request};
}

} // namespace

EncoderBus::EncoderBus(const QHostAddress &address, quint16 port, const QString &user,
                       const QString &password, QNetworkAccessManager *network, QObject *parent)
    : PacketLink(parent)
    , queue(MYHTTP::defaultTimeoutMs)
{
    info.http.setManager(network);
    info.address = address;
    info.port = port;
    info.user = user;
    info.password = password;
    clock.start();
    connect(&info, &ACTIINFO::answered, this, &EncoderBus::onAnswered);
}

void EncoderBus::connectWith(const QString &serialSetting)
{
    linkState = State::Connecting;
    connectSetting = serialSetting;
    connectPending = true;
    pump();
}

void EncoderBus::sendSerialSetting(const QString &setting)
{
    if (settingsWaiting.size() >= kSettingsKept)
        settingsWaiting.removeFirst();
    settingsWaiting.append(setting);
    pump();
}

void EncoderBus::close()
{
    info.http.abandon();
    connectPending = false;
    settingsWaiting.clear();
    queue.clear();
    job = Job::None;
    inFlight = CommandQueue::Entry();
    linkState = State::NotConnected;
}

bool EncoderBus::busy() const
{
    return info.isWaiting() || connectPending || !settingsWaiting.isEmpty() || !queue.isEmpty();
}

PacketLink::Handover EncoderBus::send(const Packet &packet)
{
    Handover handover;
    if (linkState != State::Connected)
        return handover;
    CommandQueue::Entry entry;
    entry.packet = packet.bytes;
    entry.text = packet.text;
    entry.request = packet.tag.words;
    entry.origin = packet.tag.origin;
    entry.requestId = packet.tag.request;
    entry.queuedAt = clock.elapsed();
    handover.result = 1;
    handover.answerFollows = true;
    if (!busy()) {
        deliver(entry); // nothing ahead of it: no need to queue
        return handover;
    }
    if (queue.push(entry) == CommandQueue::Outcome::Full) {
        handover = Handover();
        handover.failure = SendFailure::reason({SendFailure::Kind::EncoderBusy, QString()});
        qCDebug(lcCamera).noquote() << "serialSendCommand() - ACTi: busy, refused:" << packet.text;
        return handover;
    }
    qCDebug(lcCamera).noquote() << "serialSendCommand() - ACTi: waits:" << packet.text;
    return handover;
}

void EncoderBus::deliver(const CommandQueue::Entry &entry)
{
    inFlight = entry;
    job = Job::Packet;
    info.cgiRequest(QStringLiteral("ENCODER"), QStringLiteral("SERIAL_HEX=") + entry.text);
}

void EncoderBus::pump()
{
    if (info.isWaiting())
        return;
    if (connectPending) {
        connectPending = false;
        job = Job::SystemInfo;
        info.readSystemInfo();
        return;
    }
    if (!settingsWaiting.isEmpty()) {
        startSetting(Job::Setting, settingsWaiting.takeFirst());
        return;
    }
    if (linkState == State::Connected) {
        dropExpired();
        if (!queue.isEmpty()) {
            deliver(queue.takeHead());
            return;
        }
    }
    job = Job::None;
}

void EncoderBus::startSetting(Job settingJob, const QString &setting)
{
    job = settingJob;
    qCDebug(lcActi).noquote() << "COM settings:" << setting;
    info.cgiRequest(QStringLiteral("ENCODER"), QStringLiteral("SERIAL_SETTING=") + setting);
}

void EncoderBus::dropExpired()
{
    const QList<CommandQueue::Entry> expired = queue.takeExpired(clock.elapsed());
    const QString busyReason = SendFailure::reason({SendFailure::Kind::CameraBusy, QString()});
    for (const CommandQueue::Entry &entry : expired) {
        qCDebug(lcCamera).noquote() << "serialSendCommand() - ACTi: waited too long:" << entry.text;
        emit packetFailed(tagOf(entry), busyReason);
    }
}

void EncoderBus::onAnswered(bool accepted)
{
    const Job ended = job;
    job = Job::None;
    switch (ended) {
    case Job::None:
        break;
    case Job::SystemInfo:
        if (!info.valid) {
            failConnect(info.http.error != 0 ? Step::Reach : Step::LogIn,
                        QStringLiteral("ACTi not connected:"),
                        SendFailure::connectReason(
                            SendFailure::encoderOutcome(info.http.error, info.lastReply, true)));
            break;
        }
        qCDebug(lcActi) << "ACTi connected, setting serial parameters.";
        startSetting(Job::ConnectSetting, connectSetting);
        return;
    case Job::ConnectSetting:
        finishConnect(accepted);
        break;
    case Job::Setting:
        if (accepted && silent) {
            setSilent(false);
            emit answersAgain();
        }
        break;
    case Job::Packet: {
        const CommandQueue::Entry packet = inFlight;
        inFlight = CommandQueue::Entry();
        qCDebug(lcCamera).noquote()
            << "serialSendCommand() - ACTi:" << packet.text << int(accepted);
        if (accepted) {
            setSilent(false);
            emit packetAnswered(tagOf(packet));
            break;
        }
        const SendFailure::Outcome outcome
            = SendFailure::encoderOutcome(info.http.error, info.lastReply);
        setSilent(SendFailure::isNetworkFailure(outcome.kind));
        emit packetFailed(tagOf(packet), SendFailure::reason(outcome));
        break;
    }
    }
    pump();
    if (!busy())
        emit free();
}

void EncoderBus::finishConnect(bool accepted)
{
    if (!accepted) {
        failConnect(Step::SerialSetting,
                    QStringLiteral("ACTi could not set serial port parameters:"),
                    SendFailure::connectReason(
                        SendFailure::encoderOutcome(info.http.error, info.lastReply)));
        return;
    }
    linkState = State::Connected;
    setSilent(false);
    emit connected();
}

void EncoderBus::failConnect(Step step, const QString &logPrefix, const QString &why)
{
    qCWarning(lcActi).noquote() << logPrefix << why;
    linkState = State::Failed;
    emit connectFailed(step, why);
}

void EncoderBus::setSilent(bool now)
{
    if (silent == now)
        return;
    silent = now;
    emit silenceChanged(now);
}

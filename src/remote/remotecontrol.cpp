#include "remotecontrol.h"

#include "oscpacket.h"
#include "remotecommand.h"
#include "remotejson.h"
#include "remotelog.h"
#include "remotetarget.h"

namespace {
QString endpoint(const QHostAddress &address, quint16 port)
{
    if (address == QHostAddress(QHostAddress::Any))
        return QStringLiteral("every interface, port %1").arg(port);
    return remoteClientName("", address, port).trimmed();
}
} // namespace

RemoteControl::RemoteControl(RemoteTarget *target, QObject *parent)
    : QObject(parent)
    , target(target)
    , dispatch(target)
{
    statusText = QStringLiteral("Remote control is off");
    tcp.setAccept([this](const QHostAddress &sender) { return settings.allowsSender(sender); });

    connect(&udp, &OscUdpListener::packet, this,
            [this](const QByteArray &data, const QHostAddress &sender, quint16 port) {
                // Datagrams mostly come from the sender of the last one.
                if (port != lastSenderPort || sender != lastSender) {
                    lastSender = sender;
                    lastSenderPort = port;
                    lastSenderName = remoteClientName("osc-udp", sender, port);
                }
                const QString client = lastSenderName;
                if (!settings.allowsSender(sender)) {
                    ++tally.strangers;
                    warn(client, QStringLiteral("dropped: the sender is not in remoteAllow"));
                    return;
                }
                takeOscPacket(data, client);
            });
    connect(&udp, &OscUdpListener::oversized, this,
            [this](const QHostAddress &sender, quint16 port) {
                ++tally.malformed;
                warn(remoteClientName("osc-udp", sender, port),
                     QStringLiteral("dropped a datagram of more than %1 bytes")
                         .arg(OscPacket::maxPacket));
            });

    connect(&tcp, &OscTcpListener::packet, this, &RemoteControl::takeOscPacket);
    connect(&tcp, &OscTcpListener::fault, this, [this](const QString &client, const QString &why) {
        ++tally.malformed;
        warn(client, QStringLiteral("dropped %1").arg(why));
    });
    connect(&tcp, &OscTcpListener::refused, this,
            [this](const QString &client, const QString &why) {
                ++tally.strangers;
                warn(client, QStringLiteral("connection refused: %1").arg(why));
            });
    connect(&tcp, &OscTcpListener::clientEnded, this, &RemoteControl::endClient);

    connect(&webSockets, &WebSocketListener::message, this, &RemoteControl::takeJson);
    connect(&webSockets, &WebSocketListener::refused, this,
            [this](const QString &client, const QString &why) {
                ++tally.strangers;
                warn(client, QStringLiteral("refused: %1").arg(why));
            });
    connect(&webSockets, &WebSocketListener::malformed, this,
            [this](const QString &client, const QString &why) {
                ++tally.malformed;
                warn(client, QStringLiteral("dropped %1").arg(why));
            });
    connect(&webSockets, &WebSocketListener::clientStarted, this, [this](const QString &client) {
        qCInfo(lcRemote).noquote() << client << "connected";
        if (this->target)
            webSockets.sendTo(client, RemoteJson::stateMessage(this->target->state()));
    });
    connect(&webSockets, &WebSocketListener::clientEnded, this, &RemoteControl::endClient);

    // Changes within one turn of the event loop go out once.
    statePush.setSingleShot(true);
    statePush.setInterval(0);
    connect(&statePush, &QTimer::timeout, this, &RemoteControl::pushState);
    if (target)
        connect(target, &RemoteTarget::stateChanged, &statePush, qOverload<>(&QTimer::start));
}

RemoteControl::~RemoteControl()
{
    stop();
}

bool RemoteControl::listenOsc(QString *why)
{
    if (settings.oscPort != 0) {
        return udp.listen(settings.listen, settings.oscPort, why)
            && tcp.listen(settings.listen, settings.oscPort, why);
    }
    // Any free port that is free for both UDP and TCP.
    for (int attempt = 0; attempt < 20; ++attempt) {
        if (!udp.listen(settings.listen, 0, why))
            return false;
        if (tcp.listen(settings.listen, udp.port(), why))
            return true;
    }
    return false;
}

bool RemoteControl::start(const RemoteSettings &wanted)
{
    stop();
    settings = wanted;
    if (!settings.enabled) {
        statusText = QStringLiteral("Remote control is off (remoteControl=false)");
        qCInfo(lcRemote).noquote() << statusText;
        return false;
    }
    QStringList parts;
    QString why;
    const bool osc = listenOsc(&why);
    if (osc) {
        parts
            << QStringLiteral("OSC on %1 (UDP and TCP)").arg(endpoint(settings.listen, udp.port()));
    } else {
        udp.close();
        tcp.close();
        parts << QStringLiteral("OSC cannot listen on %1: %2")
                     .arg(endpoint(settings.listen, settings.oscPort), why);
    }
    bool web = false;
    if (settings.listensBeyondLoopback() && settings.token.isEmpty()) {
        parts << QStringLiteral("the WebSocket server is off: listening beyond this computer "
                                "needs a remoteToken");
    } else if ((web = webSockets.listen(settings.listen, settings.webSocketPort, settings.token,
                                        &why))) {
        parts << QStringLiteral("WebSocket on %1%2")
                     .arg(endpoint(settings.listen, webSockets.port()),
                          settings.token.isEmpty() ? QString()
                                                   : QStringLiteral(" (token required)"));
    } else {
        parts << QStringLiteral("the WebSocket server cannot listen on %1: %2")
                     .arg(endpoint(settings.listen, settings.webSocketPort), why);
    }
    statusText = QStringLiteral("Remote control: ") + parts.join(QLatin1String("; "));
    if (osc || web)
        qCInfo(lcRemote).noquote() << statusText;
    else
        qCWarning(lcRemote).noquote() << statusText;
    if (osc && settings.listensBeyondLoopback()) {
        QStringList allowed;
        for (const auto &subnet : qAsConst(settings.allow))
            allowed << subnet.first.toString() + QLatin1Char('/') + QString::number(subnet.second);
        qCInfo(lcRemote).noquote()
            << "OSC senders taken beyond this computer:"
            << (allowed.isEmpty() ? QStringLiteral("none (remoteAllow is empty)")
                                  : allowed.join(QLatin1String(", ")));
    }
    return osc || web;
}

void RemoteControl::stop()
{
    const bool wasListening = udp.port() != 0 || webSockets.port() != 0;
    udp.close();
    tcp.close();
    webSockets.close();
    statePush.stop();
    dispatch.endAll(QStringLiteral("remote control stops"));
    if (wasListening) {
        statusText = QStringLiteral("Remote control is off");
        qCInfo(lcRemote).noquote() << statusText;
    }
}

bool RemoteControl::admit(const QString &client, int count)
{
    if (limiter.take(client, count))
        return true;
    tally.flooded += quint64(count);
    int suppressed = 0;
    if (limiter.mayLog(client, &suppressed)) {
        qCWarning(lcRemote).noquote()
            << client
            << QStringLiteral("sends more than %1 messages a second: %2 dropped")
                   .arg(ClientLimiter::rate)
                   .arg(limiter.takeDropped(client));
    }
    return false;
}

void RemoteControl::warn(const QString &client, const QString &text)
{
    int suppressed = 0;
    if (!limiter.mayLog(client, &suppressed))
        return;
    if (suppressed > 0)
        qCWarning(lcRemote).noquote()
            << client << text << QStringLiteral("(%1 lines like it held back)").arg(suppressed);
    else
        qCWarning(lcRemote).noquote() << client << text;
}

void RemoteControl::takeOscPacket(const QByteArray &packet, const QString &client)
{
    // A packet is at most 4 KiB: it is read before the rate is asked, so
    // that a bundle counts as many messages as it holds.
    QVector<RemoteMessage> messages;
    QString why;
    const bool decoded = OscPacket::decode(packet, &messages, &why);
    if (!admit(client, decoded ? int(messages.size()) : 1))
        return;
    if (!decoded) {
        ++tally.malformed;
        warn(client, QStringLiteral("dropped an OSC packet: %1").arg(why));
        return;
    }
    for (const RemoteMessage &message : qAsConst(messages))
        run(message, client, settings.leaseMs);
}

void RemoteControl::takeJson(const QByteArray &text, const QString &client)
{
    if (!admit(client, 1))
        return;
    RemoteMessage message;
    QString why;
    if (!RemoteJson::decode(text, &message, &why)) {
        ++tally.malformed;
        warn(client, QStringLiteral("dropped a message: %1").arg(why));
        webSockets.sendTo(client, RemoteJson::refusedMessage(QString(), why));
        return;
    }
    // A WebSocket's moves run until released or until it closes.
    why = run(message, client, 0);
    if (!why.isEmpty())
        webSockets.sendTo(client, RemoteJson::refusedMessage(message.address, why));
}

QString RemoteControl::run(const RemoteMessage &message, const QString &client, int leaseMs)
{
    RemoteCommand command;
    QString why;
    if (parseRemoteCommand(message, &command, &why))
        why = dispatch.run(command, client, leaseMs);
    if (!why.isEmpty()) {
        ++tally.refused;
        warn(client, QStringLiteral("refused %1: %2").arg(message.text(), why));
        return why;
    }
    ++tally.taken;
    qCDebug(lcRemote).noquote() << client << message.text();
    return QString();
}

void RemoteControl::endClient(const QString &client)
{
    qCInfo(lcRemote).noquote() << client << "disconnected";
    dispatch.endClient(client);
}

void RemoteControl::pushState()
{
    if (!target || webSockets.clients() == 0)
        return;
    webSockets.sendToAll(RemoteJson::stateMessage(target->state()));
}

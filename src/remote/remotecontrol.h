// Remote control as the program switches it on: OSC over UDP and TCP and a
// WebSocket server listening as the settings say, every message through a
// client's rate limit, then decoded, checked against the address space and
// run on the target by one dispatcher. Everything refused or dropped is
// logged, at most a few lines a second per client. Nothing here wakes the
// program while no message comes and no remote move runs.
//
// The program keeps one beside its cameras:
//   RemoteControl remote(&target);               // target: a RemoteTarget
//   remote.start(readRemoteSettings(settings));  // off unless remoteControl=true
// and shows status() where the operator looks for it.
#pragma once

#include "clientlimiter.h"
#include "osctcplistener.h"
#include "oscudplistener.h"
#include "remotedispatcher.h"
#include "remotemessage.h"
#include "remotesettings.h"
#include "websocketlistener.h"

#include <QObject>
#include <QPointer>
#include <QTimer>

class RemoteTarget;

class RemoteControl : public QObject
{
    Q_OBJECT
public:
    // Every message is counted once: taken, refused or flooded; a packet or
    // text that holds no message counts once as malformed (or flooded).
    struct Counts
    {
        quint64 taken = 0;     // messages run, or repeats that renewed a move
        quint64 refused = 0;   // messages with a wrong address or arguments, or refused
        quint64 malformed = 0; // packets and texts that are no message
        quint64 flooded = 0;   // messages dropped over their client's rate
        quint64 strangers = 0; // packets and connections from senders not allowed
    };

    explicit RemoteControl(RemoteTarget *target, QObject *parent = nullptr);
    // Stops every remote move still running.
    ~RemoteControl() override;

    // Listens as `settings` say, after closing what listened before. False
    // when remote control is off or nothing could listen; status() says why.
    bool start(const RemoteSettings &settings);
    // Closes every listener and connection; every remote move stops.
    void stop();

    quint16 oscPort() const { return udp.port(); }
    quint16 webSocketPort() const { return webSockets.port(); }
    // What listens where, or why not, in the operator's words.
    const QString &status() const { return statusText; }
    const Counts &counts() const { return tally; }
    const RemoteDispatcher &dispatcher() const { return dispatch; }

    // What the listeners hand in, one packet or text of one client; public
    // so that the dispatch can be driven without sockets.
    void takeOscPacket(const QByteArray &packet, const QString &client);
    void takeJson(const QByteArray &text, const QString &client);
    // The client's connection ended: its moves stop.
    void endClient(const QString &client);

private:
    bool listenOsc(QString *why);
    QString run(const RemoteMessage &message, const QString &client, int leaseMs);
    bool admit(const QString &client, int count);
    void warn(const QString &client, const QString &text);
    void pushState();

    QPointer<RemoteTarget> target;
    RemoteSettings settings;
    RemoteDispatcher dispatch;
    ClientLimiter limiter;
    OscUdpListener udp;
    OscTcpListener tcp;
    WebSocketListener webSockets;
    QTimer statePush;
    Counts tally;
    QString statusText;
    QHostAddress lastSender;
    quint16 lastSenderPort = 0;
    QString lastSenderName;
};

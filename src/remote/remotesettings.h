// The remote control settings, read from the program's store with every
// value checked: a value that cannot be used is replaced by its default and
// the reason is logged (and handed back, for the operator's view).
//
//   remoteControl        true to listen; false (the default) listens nowhere
//   remoteListen         the address to listen on, 127.0.0.1 by default;
//                        0.0.0.0 every IPv4 interface, :: every interface
//   remoteOscPort        OSC over UDP and over TCP (SLIP), 9000
//   remoteWebSocketPort  the WebSocket server, 9001
//   remoteToken          the WebSocket clients' token (at least 8
//                        characters); needed beyond loopback
//   remoteAllow          OSC senders taken beyond loopback: addresses and
//                        subnets (192.168.1.20, 192.168.1.0/24)
//   remoteLease          seconds an OSC move runs without its release, 10
#pragma once

#include <QHostAddress>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

class QSettings;

struct RemoteSettings
{
    static constexpr quint16 defaultOscPort = 9000;
    static constexpr quint16 defaultWebSocketPort = 9001;
    static constexpr int defaultLeaseMs = 10000;

    bool enabled = false;
    QHostAddress listen = QHostAddress(QHostAddress::LocalHost);
    // 0 picks a free port (tests); OSC takes the same port for UDP and TCP.
    quint16 oscPort = defaultOscPort;
    quint16 webSocketPort = defaultWebSocketPort;
    QString token;
    QList<QPair<QHostAddress, int>> allow;
    int leaseMs = defaultLeaseMs;

    bool listensBeyondLoopback() const;
    // Loopback senders always; others when remoteAllow names them.
    bool allowsSender(const QHostAddress &sender) const;
    // Set tokens are asked of every client; beyond loopback one must be set.
    bool tokenRequired() const { return !token.isEmpty() || listensBeyondLoopback(); }
};

// Reads the remote* keys of `settings` (its current group). Every value
// that cannot be used is replaced by its default, logged, and appended to
// `problems` when given.
RemoteSettings readRemoteSettings(const QSettings &settings, QStringList *problems = nullptr);

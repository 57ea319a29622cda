// The route to a network camera: VISCA over UDP (the 8-byte message header)
// or over TCP (plain packets), driven by the socket's signals on the thread
// that owns the link. Nothing here waits or runs an event loop of its own.
//
// Flow, as a careful controller keeps it:
//   - connect: over UDP the sequence reset (control message 01, sequence 0),
//     then the version inquiry; the camera must have answered within
//     kConnectTimeoutMs, and the model code of its answer names it.
//   - at most one packet in flight (sent, not yet acknowledged); the others
//     wait in order. A waiting zoom or focus drive is replaced by a newer
//     drive of the same kind; stops, memory and mode commands are never
//     dropped or moved.
//   - "command buffer full" is tried again after kBusyPauseMs (at most
//     kBusyRetries times, each time as a new message).
//   - over UDP a packet not acknowledged within kResendAfterMs is sent again,
//     at most kResends times, with the same sequence number; one not
//     answered within kAnswerTimeoutMs fails with "camera did not answer".
#pragma once

#include "viscaipframing.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

class ViscaIpLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int kConnectTimeoutMs = 1000;
    static constexpr int kAnswerTimeoutMs = 1000;
    static constexpr int kResendAfterMs = 100;
    static constexpr int kResends = 2;
    static constexpr int kBusyPauseMs = 40;
    static constexpr int kBusyRetries = 5;

    enum class State { Idle, Connecting, Connected };

    explicit ViscaIpLink(QObject *parent = nullptr);
    ~ViscaIpLink() override;

    // Starts the connect flow (closing any earlier link); the outcome comes
    // as connected() or connectFailed().
    void connectTo(const QHostAddress &address, quint16 port, ViscaIp::Protocol protocol);
    // Back to idle: the socket closed, waiting packets dropped, no signals.
    void close();

    State state() const { return linkState; }
    bool isConnected() const { return linkState == State::Connected; }
    ViscaIp::Protocol protocol() const { return linkProtocol; }
    int waiting() const { return int(queue.size()); }
    // Nothing in flight and nothing waiting.
    bool idle() const { return !busy && queue.isEmpty(); }

    // Queues one packet for the camera; request names it in the signals
    // ("zoom,3"). False, and nothing queued, while not connected or for a
    // packet addressed to another device than the camera.
    bool send(const QByteArray &packet, const QString &request = QString());

signals:
    void connected(const QString &modelCode);
    // "no answer", "could not connect", or the camera's error in words.
    void connectFailed(const QString &reason);
    // The first transmission of a packet (resends are not reported).
    void packetSent(const QByteArray &packet, const QString &request);
    // The camera acknowledged (or completed) it.
    void packetAnswered(const QByteArray &packet, const QString &request);
    // "camera did not answer" or "camera: " + the camera's error in words.
    void packetFailed(const QByteArray &packet, const QString &request, const QString &reason);
    // A TCP connection the camera closed or broke while connected.
    void lost(const QString &reason);

private:
    struct Item
    {
        QByteArray packet; // a VISCA packet, or a control payload
        QString request;
        quint16 type = ViscaIp::Command;
        quint32 sequence = 0;
        int resends = 0;
        int busyRetries = 0;
    };

    void start(Item item);
    void transmit(const Item &item);
    void pump();
    void finishInFlight();
    void readDatagrams();
    void readStream();
    void onControlReply(quint32 sequence, const QByteArray &payload);
    void onAnswer(bool sequenced, quint32 sequence, const QByteArray &packet);
    void onInFlightError(int code);
    void onResendDue();
    void onAnswerDue();
    void failConnect(const QString &reason);
    void onTcpConnected();
    void onSocketError(QAbstractSocket::SocketError error);

    QUdpSocket udp;
    QTcpSocket tcp;
    ViscaIp::Protocol linkProtocol = ViscaIp::Protocol::Udp;
    State linkState = State::Idle;
    QByteArray stream;
    quint32 nextSequence = 0;
    QList<Item> queue;
    Item inFlight;
    bool busy = false; // inFlight holds a packet
    // Acknowledged packets waiting for their completion, by socket.
    QHash<int, Item> executing;
    QTimer resendTimer;
    QTimer answerTimer;
    QTimer busyTimer;
    QTimer connectTimer;
};

// The route to a network camera: VISCA over UDP (the 8-byte message header)
// or over TCP (plain packets), driven by the socket's signals on the thread
// that owns the link. Nothing here waits or runs an event loop of its own.
//
// Flow, as a careful controller keeps it:
//   - connect: over UDP the sequence reset (control message 01, sequence 0),
//     then the version inquiry; the camera must have answered within
//     kConnectTimeoutMs, and the model code of its answer names it.
//   - at most one packet in flight (sent, not yet acknowledged); the others
//     wait in a CommandQueue: one drive per axis, stops first, at most a few
//     other commands, none of them older than kAnswerTimeoutMs ("camera
//     busy" instead of leaving late).
//   - "command buffer full" is tried again after kBusyPauseMs: a stop until
//     it is taken, anything else at most kBusyRetries times.
//   - over UDP a packet not acknowledged within kResendAfterMs is sent again,
//     at most kResends times, with the same sequence number; one not
//     answered within kAnswerTimeoutMs fails with "camera did not answer".
//     The socket is bound, not connected: a datagram from any other sender
//     than the camera's address and port is named once (strangerAnswered)
//     and otherwise left alone. Given a shared port (viscaudpport.h), the
//     link sends and hears through it instead of a socket of its own.
//   - over TCP a camera that left a packet unanswered is not sent anything
//     but stops until it answers again: what it has not read would reach it
//     all at once when it reads again.
//   - what arrives is read in bounded portions (kReadChunkBytes of a stream,
//     kDatagramsPerEvent datagrams), the rest after the event loop has run;
//     bytes that are no packet are dropped and counted, and a camera that
//     keeps sending them is reported (unreadable).
#pragma once

#include "commandqueue.h"
#include "packetsplitter.h"
#include "unreadabletally.h"
#include "viscaipframing.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTcpSocket>
#include <QTimer>
#include <QUdpSocket>

class ViscaUdpPort;

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
    // What one socket event reads at most before the event loop runs again.
    static constexpr int kReadChunkBytes = 4096;
    static constexpr int kDatagramsPerEvent = 32;
    // Strangers named at most, so a flood of senders cannot grow the list.
    static constexpr int kStrangersNamed = 16;

    enum class State { Idle, Connecting, Connected };

    explicit ViscaIpLink(QObject *parent = nullptr);
    ~ViscaIpLink() override;

    // Starts the connect flow (closing any earlier link); the outcome comes
    // as connected() or connectFailed().
    void connectTo(const QHostAddress &address, quint16 port, ViscaIp::Protocol protocol);
    // Back to idle: the stops still waiting sent at once, unacknowledged;
    // the socket closed, the other waiting packets dropped, no signals.
    void close();
    // UDP goes through `port` from the next connect on, shared with the
    // other network cameras; nullptr: a socket of the link's own.
    void useSharedPort(ViscaUdpPort *port);

    // For the shared port: a datagram from this camera; a sender that is no
    // camera of the port's; whether an answer is awaited (connecting, or a
    // packet in flight).
    void takeDatagram(const QByteArray &datagram);
    void noteStranger(const QHostAddress &address, quint16 port);
    bool awaitsAnswer() const { return linkState == State::Connecting || busy; }

    State state() const { return linkState; }
    bool isConnected() const { return linkState == State::Connected; }
    ViscaIp::Protocol protocol() const { return linkProtocol; }
    int waiting() const { return queue.size(); }
    const CommandQueue &waitingQueue() const { return queue; }
    // Nothing in flight and nothing waiting.
    bool idle() const { return !busy && queue.isEmpty(); }
    // Unreadable bytes dropped since the connect.
    qint64 unreadableBytes() const { return splitter.dropped() + unreadableDatagramBytes; }

    // Queues one packet for the camera; request names it in the signals
    // ("zoom,3"). False, and nothing queued, while not connected, for a
    // packet addressed to another device than the camera, or when the queue
    // has no room (then `refusal` says so in the operator's words).
    bool send(const QByteArray &packet, const QString &request = QString(),
              QString *refusal = nullptr);

signals:
    void connected(const QString &modelCode);
    // "no answer", "could not connect", or the camera's error in words.
    void connectFailed(const QString &reason);
    // The first transmission of a packet (resends are not reported).
    void packetSent(const QByteArray &packet, const QString &request);
    // The camera acknowledged (or completed) it.
    void packetAnswered(const QByteArray &packet, const QString &request);
    // An inquiry sent while connected was answered: its data (between y0 50
    // and FF).
    void inquiryAnswered(const QByteArray &packet, const QString &request, const QByteArray &data);
    // "camera did not answer", "camera busy" (waited too long to leave) or
    // "camera: " + the camera's error in words.
    void packetFailed(const QByteArray &packet, const QString &request, const QString &reason);
    // A TCP connection the camera closed or broke while connected.
    void lost(const QString &reason);
    // The camera keeps sending bytes that are no packets.
    void unreadable(qint64 droppedBytes);
    // Datagrams came from a sender that is not the camera ("127.0.0.2:52381").
    void strangerAnswered(const QString &sender);

private:
    struct Item
    {
        QByteArray packet; // a VISCA packet, or a control payload
        QString request;
        quint16 type = ViscaIp::Command;
        quint32 sequence = 0;
        int resends = 0;
        int busyRetries = 0;
        qint64 queuedAt = 0;
    };

    void start(Item item);
    void transmit(const Item &item);
    void pump();
    void finishInFlight();
    void dropExpired();
    void armExpiry();
    void readDatagrams();
    void readStream();
    void noteUnreadable(qint64 bytes);
    void onControlReply(quint32 sequence, const QByteArray &payload);
    void onAnswer(bool sequenced, quint32 sequence, const QByteArray &packet);
    void onInFlightError(int code);
    void onResendDue();
    void onAnswerDue();
    void failConnect(const QString &reason);
    void onTcpConnected();
    void onSocketError(QAbstractSocket::SocketError error);

    QUdpSocket udp;
    QPointer<ViscaUdpPort> sharedPort;
    bool onSharedPort = false; // this connect goes through sharedPort
    QTcpSocket tcp;
    QHostAddress cameraAddress;
    quint16 cameraPort = 0;
    ViscaIp::Protocol linkProtocol = ViscaIp::Protocol::Udp;
    State linkState = State::Idle;
    // Counts closes: a loop over what arrived stops when the link closed
    // under it.
    quint32 generation = 0;
    PacketSplitter splitter;
    qint64 unreadableDatagramBytes = 0;
    UnreadableTally unreadableTally;
    QSet<QString> strangers;
    QString lastStranger;
    // TCP: the camera left a packet unanswered; only stops go until it
    // answers again.
    bool unanswered = false;
    quint32 nextSequence = 0;
    CommandQueue queue{kAnswerTimeoutMs};
    QElapsedTimer clock;
    Item inFlight;
    bool busy = false; // inFlight holds a packet
    bool pumping = false;
    // Acknowledged packets waiting for their completion, by socket.
    QHash<int, Item> executing;
    QTimer resendTimer;
    QTimer answerTimer;
    QTimer busyTimer;
    QTimer connectTimer;
    QTimer expiryTimer;
    QTimer readMore; // the rest of what arrived, after the event loop ran
};

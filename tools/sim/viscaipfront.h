// The simulated camera as a network camera: VISCA over UDP (the 8-byte
// message header, camera port 52381 by default) and plain VISCA packets on
// TCP, both on loopback only, both feeding the one camera model.
//
// It answers with what the camera model answers (acknowledge, completion,
// inquiry data, errors); "command not executable" for a packet to another
// device (a lamp does not exist on this route, and such a packet never
// reaches the model). A completion that comes later goes to whoever sent
// the command on that socket. A datagram sent again with the sequence
// number of the one before is answered again without being carried out
// twice.
//
// Faults for tests: every Nth datagram is lost, alternately on its way in
// and (its answers) on the way out; answer late, never
// answer (packets are still carried out).
#pragma once

#include "viscamodel.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

#include <functional>

class ViscaIpFront : public QObject
{
    Q_OBJECT

public:
    struct Faults
    {
        int dropEvery = 0;     // 0: lose none
        int answerDelayMs = 0; // 0: at once
        bool mute = false;
    };

    using Execute = std::function<QList<ViscaModel::Packet>(const QByteArray &packet)>;
    using Log = std::function<void(const QString &line)>;

    ViscaIpFront(Execute execute, Log log, QObject *parent = nullptr);
    ~ViscaIpFront() override;

    bool listenUdp(const QHostAddress &address, quint16 port);
    bool listenTcp(const QHostAddress &address, quint16 port);
    void closeUdp() { udp.close(); }
    void closeTcp() { tcpServer.close(); }
    quint16 udpPort() const { return udp.localPort(); }
    quint16 tcpPort() const { return tcpServer.serverPort(); }
    bool udpListening() const { return udp.state() == QAbstractSocket::BoundState; }
    bool tcpListening() const { return tcpServer.isListening(); }
    QString udpAuthority() const; // "127.0.0.1:PORT"
    QString tcpAuthority() const;
    void setFaults(const Faults &faults) { faultSet = faults; }

    // The camera's answers to one VISCA packet, carrying it out first.
    QList<QByteArray> answer(const QByteArray &packet);
    // A later answer (a completion) to whoever sent the command on its socket.
    void sendLater(const QByteArray &reply);

private:
    void readDatagrams();
    void onDatagram(const QByteArray &datagram, const QHostAddress &from, quint16 port);
    void onConnection();
    void deliver(const std::function<void()> &send);
    // Where the answers to the command on a socket go, until it completes.
    struct Waiting
    {
        QPointer<QTcpSocket> stream; // TCP
        QHostAddress peer;           // UDP
        quint16 port = 0;
        quint32 sequence = 0;
    };
    void noteWaiting(const QList<QByteArray> &replies, const Waiting &to);

    Execute execute;
    Log log;
    Faults faultSet;
    QUdpSocket udp;
    QTcpServer tcpServer;
    QHash<QTcpSocket *, QByteArray> streams;
    int datagrams = 0;
    int losses = 0;
    bool loseAnswers = false;
    // The last command message carried out, to know a resend.
    bool haveLast = false;
    quint32 lastSequence = 0;
    QByteArray lastPayload;
    QList<QByteArray> lastReplies;
    QHash<int, Waiting> waiting; // by socket
};

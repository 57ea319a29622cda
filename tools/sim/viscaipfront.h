// The simulated camera as a network camera: VISCA over UDP (the 8-byte
// message header, camera port 52381 by default) and plain VISCA packets on
// TCP, both on loopback only, both feeding the one camera model.
//
// It answers like a camera: acknowledge and completion for a command the
// model carried out, the version inquiry with the simulator's own model
// code, a syntax error for a packet it does not understand, "command not
// executable" for a packet to another device (a lamp does not exist on this
// route, and such a packet never reaches the model). A datagram sent again
// with the sequence number of the one before is answered again without
// being carried out twice.
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
#include <QString>
#include <QTcpServer>
#include <QUdpSocket>

#include <functional>

class ViscaIpFront : public QObject
{
    Q_OBJECT

public:
    // The version answer: vendor, model, ROM version, command sockets.
    static constexpr quint16 kVendor = 0x7A21;
    static constexpr quint16 kModel = 0x0D15;
    static constexpr quint16 kRom = 0x0103;
    static constexpr int kSockets = 2;

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
    bool udpListening() const { return udp.state() == QAbstractSocket::BoundState; }
    bool tcpListening() const { return tcpServer.isListening(); }
    QString udpAuthority() const; // "127.0.0.1:PORT"
    QString tcpAuthority() const;
    void setFaults(const Faults &faults) { faultSet = faults; }

    // The camera's answers to one VISCA packet, carrying it out first.
    QList<QByteArray> answer(const QByteArray &packet);
    static QByteArray versionAnswer();

private:
    void readDatagrams();
    void onDatagram(const QByteArray &datagram, const QHostAddress &from, quint16 port);
    void onConnection();
    void deliver(const std::function<void()> &send);

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
};

// OSC over UDP: one socket bound to the listening address, read when the
// event loop says a datagram is there (no thread, no timer). At most
// maxReadsPerTurn datagrams are read before the event loop runs again, so a
// flood cannot hold it; the rest wait in the socket for the next turn.
#pragma once

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>

class OscUdpListener : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxReadsPerTurn = 64;

    explicit OscUdpListener(QObject *parent = nullptr);

    // Binds (port 0: any free port); false and why not when it cannot.
    bool listen(const QHostAddress &address, quint16 port, QString *why);
    void close();
    quint16 port() const { return socket.localPort(); }

signals:
    // One datagram of at most OscPacket::maxPacket bytes.
    void packet(const QByteArray &data, const QHostAddress &sender, quint16 senderPort);
    // A larger one, dropped.
    void oversized(const QHostAddress &sender, quint16 senderPort);

private:
    void readPending();

    QUdpSocket socket;
};

// One local UDP port shared by every network camera reached over UDP. The
// cameras answer to the port the controller sent from, and some insist on
// their own port (52381) there too, so all of them are driven from one
// socket: each answer goes to the link of the camera that sent it, known by
// its address and port. The local port is a setting (0: one the system
// picks); the socket is bound when the first camera connects, so a program
// that drives no network camera holds none.
//
// A datagram from a sender that is no camera of ours is named to the links
// that wait for an answer (it may be their camera answering from elsewhere)
// and otherwise left alone. What arrives is read in bounded portions, the
// rest after the event loop has run.
#pragma once

#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QUdpSocket>

class ViscaIpLink;

class ViscaUdpPort : public QObject
{
    Q_OBJECT

public:
    // What one socket event reads at most before the event loop runs again.
    static constexpr int kDatagramsPerEvent = 32;

    explicit ViscaUdpPort(quint16 localPort = 0, QObject *parent = nullptr);
    ~ViscaUdpPort() override;

    // The port asked for (0: any) and the one bound (0 before the first
    // camera connects).
    quint16 requestedPort() const { return requested; }
    quint16 boundPort() const { return socket.localPort(); }

    // Hands the datagrams of the camera at address:port to `link`. False,
    // with the reason in the operator's words, when the socket cannot be
    // bound or another link already drives that camera.
    bool attach(ViscaIpLink *link, const QHostAddress &address, quint16 port, QString *why);
    // The link hears nothing more.
    void detach(ViscaIpLink *link);
    int attached() const { return int(cameras.size()); }

    qint64 send(const QByteArray &datagram, const QHostAddress &address, quint16 port);

private:
    struct Camera
    {
        QPointer<ViscaIpLink> link;
        QHostAddress address;
        quint16 port = 0;
    };

    bool bind(QString *why);
    void read();
    ViscaIpLink *linkOf(const QHostAddress &address, quint16 port) const;
    void nameStranger(const QHostAddress &address, quint16 port);

    quint16 requested;
    QUdpSocket socket;
    QList<Camera> cameras;
    QTimer readMore; // the rest of what arrived, after the event loop ran
};

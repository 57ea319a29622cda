// The owner of every link the cameras use. A serial port and an encoder are
// shared by the cameras behind them (a daisy chain, a camera on each address
// of an encoder's line), so a camera never owns one: it asks the pool, and
// gives it back when it leaves the route. A link nobody uses any more is
// closed and goes. Also where the serial ports on offer are listed.
#pragma once

#include "serialportlister.h"

#include <QHash>
#include <QHostAddress>
#include <QObject>

#include <memory>

class QNetworkAccessManager;

class EncoderBus;
class NetworkCameraLink;
class PacketLink;
class SerialBus;
class ViscaUdpPort;

class LinkPool : public QObject
{
    Q_OBJECT

public:
    explicit LinkPool(QObject *parent = nullptr);
    ~LinkPool() override;

    // The bus of the port opened with `location` ("/dev/ttyUSB0"), made on
    // first use; one more user.
    SerialBus *serialBus(const QString &location);
    // The encoder at this address with this log-in; one more user.
    EncoderBus *encoder(const QHostAddress &address, quint16 port, const QString &user,
                        const QString &password);
    // A network camera's own link, for the camera `owner`. Over UDP every
    // network camera sends and hears through one local port (udpPort()).
    NetworkCameraLink *networkCamera(const QObject *owner);
    // The local UDP port the network cameras share: 0 (the default) lets
    // the system pick one; a camera that answers to its own port 52381 only
    // needs 52381. Set before the first network camera's link is made;
    // later it is logged and left as it was.
    void setUdpLocalPort(quint16 port);
    ViscaUdpPort &udpPort();
    // One user fewer; the last one closes the link and it goes (once the
    // event loop runs, so a link may be given back from its own signal).
    void release(PacketLink *link);
    int users(const PacketLink *link) const { return counts.value(link); }

    // Where the "&Connect" menu learns which serial ports exist. The default
    // asks the system; a harness may hand in pseudo-terminals instead.
    void setPortLister(SerialPortLister lister);
    // The ports on offer: those listed, then the configured paths
    // (withConfiguredPorts()).
    QList<SerialPortEntry> ports(const QStringList &configured) const;

    // The encoders' requests share one access manager, built on first use:
    // a program that never reaches an encoder never loads the network
    // stack. prepareNetwork() loads it ahead of the first request.
    void prepareNetwork();
    bool networkLoaded() const { return network != nullptr; }

private:
    template<typename Link>
    Link *take(Link *link);

    QNetworkAccessManager &networkManager();

    SerialPortLister lister;
    std::unique_ptr<QNetworkAccessManager> network;
    quint16 udpLocalPort = 0;
    ViscaUdpPort *sharedUdp = nullptr; // a child, made on first use
    QHash<QString, SerialBus *> serialBuses;
    QHash<QString, EncoderBus *> encoders;
    QHash<const PacketLink *, int> counts;
};

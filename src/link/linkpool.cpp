#include "linkpool.h"

#include "encoderbus.h"
#include "logcategories.h"
#include "networkcameralink.h"
#include "serialbus.h"
#include "viscaudpport.h"

#include <QNetworkAccessManager>

namespace {

QString encoderKey(const QHostAddress &address, quint16 port, const QString &user,
                   const QString &password)
{
    // The log-in belongs to the key: an encoder reached with another one is
    // another conversation.
    return address.toString() + QLatin1Char('|') + QString::number(port) + QLatin1Char('|') + user
        + QLatin1Char('|') + password;
}

} // namespace

LinkPool::LinkPool(QObject *parent)
    : QObject(parent)
    , lister(systemSerialPorts)
{
}

LinkPool::~LinkPool()
{
    // The links go first: their requests use the access manager.
    qDeleteAll(findChildren<PacketLink *>(QString(), Qt::FindDirectChildrenOnly));
}

QNetworkAccessManager &LinkPool::networkManager()
{
    if (!network)
        network = std::make_unique<QNetworkAccessManager>();
    return *network;
}

void LinkPool::prepareNetwork()
{
    if (!network)
        MYHTTP::prepare(networkManager());
}

template<typename Link>
Link *LinkPool::take(Link *link)
{
    ++counts[link];
    return link;
}

SerialBus *LinkPool::serialBus(const QString &location)
{
    SerialBus *&bus = serialBuses[location];
    if (!bus)
        bus = new SerialBus(location, this);
    return take(bus);
}

EncoderBus *LinkPool::encoder(const QHostAddress &address, quint16 port, const QString &user,
                              const QString &password)
{
    EncoderBus *&bus = encoders[encoderKey(address, port, user, password)];
    if (!bus)
        bus = new EncoderBus(address, port, user, password, &networkManager(), this);
    return take(bus);
}

NetworkCameraLink *LinkPool::networkCamera(const QObject *owner)
{
    auto *link = new NetworkCameraLink(owner, this);
    link->connection().useSharedPort(&udpPort());
    return take(link);
}

ViscaUdpPort &LinkPool::udpPort()
{
    if (!sharedUdp)
        sharedUdp = new ViscaUdpPort(udpLocalPort, this);
    return *sharedUdp;
}

void LinkPool::setUdpLocalPort(quint16 port)
{
    if (port == udpLocalPort)
        return;
    if (sharedUdp) {
        qCWarning(lcViscaIp) << "UDP port" << port << "not taken: the network cameras already"
                             << "share port" << udpLocalPort;
        return;
    }
    udpLocalPort = port;
    qCInfo(lcViscaIp) << "network cameras send from UDP port" << port << "(0: any)";
}

void LinkPool::release(PacketLink *link)
{
    const auto count = counts.find(link);
    if (count == counts.end() || --count.value() > 0)
        return;
    counts.erase(count);
    for (auto it = serialBuses.begin(); it != serialBuses.end(); ++it) {
        if (it.value() == link) {
            it.value()->close();
            serialBuses.erase(it);
            break;
        }
    }
    for (auto it = encoders.begin(); it != encoders.end(); ++it) {
        if (it.value() == link) {
            encoders.erase(it);
            break;
        }
    }
    // Nothing of it may act any more: no request, no socket, no port.
    link->disconnect();
    if (auto *network = qobject_cast<NetworkCameraLink *>(link))
        network->close();
    if (auto *encoder = qobject_cast<EncoderBus *>(link))
        encoder->close();
    link->deleteLater();
}

void LinkPool::setPortLister(SerialPortLister newLister)
{
    lister = newLister ? std::move(newLister) : SerialPortLister(systemSerialPorts);
}

QList<SerialPortEntry> LinkPool::ports(const QStringList &configured) const
{
    return withConfiguredPorts(lister(), configured);
}

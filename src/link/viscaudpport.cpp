#include "viscaudpport.h"

#include "endpoint.h"
#include "logcategories.h"
#include "packetsplitter.h"
#include "sendfailure.h"
#include "viscaipframing.h"
#include "viscaiplink.h"

#include <QNetworkDatagram>

#include <algorithm>

namespace {

// The longest datagram read whole: a header and the longest packet. Longer
// ones are cut and so fail to parse.
constexpr int longestDatagram = ViscaIp::headerSize + PacketSplitter::maxPacket;

// A sender as the operator reads it: an IPv4 address that came through the
// socket of both families as an IPv6 one is shown as IPv4.
QHostAddress plain(const QHostAddress &address)
{
    bool v4 = false;
    const quint32 ipv4 = address.toIPv4Address(&v4);
    return v4 ? QHostAddress(ipv4) : address;
}

} // namespace

ViscaUdpPort::ViscaUdpPort(quint16 localPort, QObject *parent)
    : QObject(parent)
    , requested(localPort)
{
    readMore.setSingleShot(true);
    readMore.setInterval(0);
    connect(&readMore, &QTimer::timeout, this, &ViscaUdpPort::read);
    connect(&socket, &QUdpSocket::readyRead, this, &ViscaUdpPort::read);
}

ViscaUdpPort::~ViscaUdpPort()
{
    socket.abort();
}

bool ViscaUdpPort::bind(QString *why)
{
    if (socket.state() == QAbstractSocket::BoundState)
        return true;
    // Both families on one socket where the system offers it; IPv4 alone
    // where it has no IPv6.
    if (socket.bind(QHostAddress(QHostAddress::Any), requested)
        || socket.bind(QHostAddress(QHostAddress::AnyIPv4), requested)) {
        qCDebug(lcViscaIp) << "UDP port" << socket.localPort() << "bound";
        return true;
    }
    qCWarning(lcViscaIp).noquote()
        << "no UDP socket on port" << requested << ":" << socket.errorString();
    *why = SendFailure::localPortUnusable(requested, socket.errorString());
    return false;
}

bool ViscaUdpPort::attach(ViscaIpLink *link, const QHostAddress &address, quint16 port,
                          QString *why)
{
    detach(link);
    if (linkOf(address, port)) {
        *why = SendFailure::cameraDrivenTwice(Endpoint::authority(address, port, 0));
        return false;
    }
    if (!bind(why))
        return false;
    cameras.append({link, address, port});
    return true;
}

void ViscaUdpPort::detach(ViscaIpLink *link)
{
    cameras.erase(std::remove_if(
                      cameras.begin(), cameras.end(),
                      [link](const Camera &camera) { return !camera.link || camera.link == link; }),
                  cameras.end());
    // Nobody left to answer: the socket closes until the next camera.
    if (cameras.isEmpty() && socket.state() == QAbstractSocket::BoundState) {
        readMore.stop();
        socket.abort();
    }
}

qint64 ViscaUdpPort::send(const QByteArray &datagram, const QHostAddress &address, quint16 port)
{
    return socket.writeDatagram(datagram, address, port);
}

ViscaIpLink *ViscaUdpPort::linkOf(const QHostAddress &address, quint16 port) const
{
    for (const Camera &camera : cameras) {
        if (camera.link && camera.port == port
            && camera.address.isEqual(address, QHostAddress::TolerantConversion))
            return camera.link;
    }
    return nullptr;
}

void ViscaUdpPort::nameStranger(const QHostAddress &address, quint16 port)
{
    QList<QPointer<ViscaIpLink>> waiting;
    for (const Camera &camera : qAsConst(cameras)) {
        if (camera.link && camera.link->awaitsAnswer())
            waiting.append(camera.link);
    }
    if (waiting.isEmpty()) {
        qCDebug(lcViscaIp).noquote() << "datagram from" << Endpoint::authority(address, port, 0)
                                     << "for no camera, left alone";
        return;
    }
    for (const QPointer<ViscaIpLink> &link : qAsConst(waiting)) {
        if (link)
            link->noteStranger(address, port);
    }
}

void ViscaUdpPort::read()
{
    for (int n = 0; n < kDatagramsPerEvent; ++n) {
        if (!socket.hasPendingDatagrams())
            return;
        const QNetworkDatagram datagram = socket.receiveDatagram(longestDatagram + 1);
        const QHostAddress from = plain(datagram.senderAddress());
        const quint16 fromPort = quint16(datagram.senderPort());
        // Looked up for each datagram: an earlier one may have closed a link.
        if (ViscaIpLink *link = linkOf(from, fromPort))
            link->takeDatagram(datagram.data());
        else
            nameStranger(from, fromPort);
        if (socket.state() != QAbstractSocket::BoundState)
            return;
    }
    if (socket.hasPendingDatagrams())
        readMore.start();
}

// A network camera as a link: its VISCA-over-IP connection (viscaiplink.h),
// which sends the packets in turn and says later what became of them. A
// network camera has no lamp: a packet for another device is never handed
// on. The link serves one camera, the one it was made for.
#pragma once

#include "packetlink.h"
#include "viscaiplink.h"

class NetworkCameraLink : public PacketLink
{
    Q_OBJECT

public:
    // owner: the camera whose packets these are.
    explicit NetworkCameraLink(const QObject *owner, QObject *parent = nullptr);

    void connectTo(const QHostAddress &address, quint16 port, ViscaIp::Protocol protocol);
    void close() { link.close(); }
    ViscaIpLink &connection() { return link; }

    Handover send(const Packet &packet) override;
    bool isUp() const override { return link.isConnected(); }
    bool reachesOtherDevices() const override { return false; }
    // The link's queue keeps the newest drive of each axis and puts stops
    // first, so a packet is handed over at once whatever is in flight.
    bool busy() const override { return false; }
    void dropWaiting(const QObject *) override { }

signals:
    void connected(const QString &modelCode);
    void connectFailed(const QString &reason);
    void lost(const QString &reason);

private:
    PacketTag tagOf(const QString &request) const { return {owner, 0, request}; }

    const QObject *owner;
    ViscaIpLink link;
};

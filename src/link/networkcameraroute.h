// A network camera as a route: packets handed to its link, which sends them
// in turn. It has no lamp: a packet for another device is never handed on.
// Its failures arrive later, from the link, not from sendPacket.
#pragma once

#include "packetroute.h"

class ViscaIpLink;

class NetworkCameraRoute : public PacketRoute
{
    Q_OBJECT

public:
    explicit NetworkCameraRoute(ViscaIpLink &link);
    int sendPacket(const QString &commandText, const QByteArray &bytes,
                   const QString &request) override;
    bool carriesLamp() const override { return false; }

private:
    ViscaIpLink &link;
};

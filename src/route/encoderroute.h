// The ACTi encoder's serial pass-through as a route: each packet one
// SERIAL_HEX request.
#pragma once

#include "packetroute.h"

class ACTIINFO;

class EncoderRoute : public PacketRoute
{
public:
    // silent: set when the encoder did not answer a pass-through (refused,
    // time-out, unreachable), cleared when it did.
    EncoderRoute(ACTIINFO &encoder, bool &silent)
        : encoder(encoder)
        , silent(silent)
    {
    }
    int sendPacket(const QString &commandText, const QByteArray &bytes,
                   const QString &request) override;
    bool busy() const override;

private:
    ACTIINFO &encoder;
    bool &silent;
};

// The ACTi encoder's serial pass-through as a route: each packet one
// SERIAL_HEX request, one request at a time. A request waits for its answer
// in a nested event loop (the request object is synchronous); a packet that
// comes while one waits would nest a second wait inside the first, so it
// waits in a CommandQueue instead and goes once the request has returned
// (one drive per axis, stops first, no command older than the request
// time-out). Only when the queue has no room is a packet refused, with
// "encoder busy"; a stop never is.
#pragma once

#include "commandqueue.h"
#include "packetroute.h"

#include <QElapsedTimer>

class ACTIINFO;

class EncoderRoute : public PacketRoute
{
    Q_OBJECT

public:
    // silent: set when the encoder did not answer a pass-through (refused,
    // time-out, unreachable), cleared when it did.
    EncoderRoute(ACTIINFO &encoder, bool &silent);
    int sendPacket(const QString &commandText, const QByteArray &bytes,
                   const QString &request) override;
    bool busy() const override;
    void dropWaiting() override { queue.clear(); }
    const CommandQueue &waitingQueue() const { return queue; }

private:
    // One request, waited for; sets lastFailure.
    bool deliver(const QString &commandText);
    // Sends what waits, once no request does.
    void pump();

    ACTIINFO &encoder;
    bool &silent;
    CommandQueue queue;
    QElapsedTimer clock;
    bool pumping = false;
};

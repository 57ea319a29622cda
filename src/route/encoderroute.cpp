#include "encoderroute.h"

#include "actiinfo.h"
#include "logcategories.h"
#include "sendfailure.h"

int EncoderRoute::sendPacket(const QString &commandText, const QByteArray &, const QString &)
{
    // Without an encoder address the route is chosen but not up: nothing
    // leaves, and nothing is reported.
    if (!encoder.hasAddress()) {
        lastFailure.clear();
        return 0;
    }
    const bool delivered = encoder.cgiRequest(QStringLiteral("ENCODER"),
                                              QStringLiteral("SERIAL_HEX=") + commandText);
    qCDebug(lcCamera).noquote() << "serialSendCommand() - ACTi:" << commandText << int(delivered);
    const SendFailure::Outcome outcome
        = SendFailure::encoderOutcome(encoder.http.error, encoder.lastReply);
    lastFailure = delivered ? QString() : SendFailure::reason(outcome);
    silent = !delivered && SendFailure::isNetworkFailure(outcome.kind);
    return delivered ? 1 : 0;
}

bool EncoderRoute::busy() const
{
    return encoder.http.waitingRequests() > 0;
}

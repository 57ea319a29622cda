#include "encoderroute.h"

#include "actiinfo.h"
#include "logcategories.h"
#include "sendfailure.h"

EncoderRoute::EncoderRoute(ACTIINFO &encoder, bool &silent)
    : encoder(encoder)
    , silent(silent)
    , queue(MYHTTP::defaultTimeoutMs)
{
    clock.start();
    // Queued: the request that just returned is still unwinding; its caller
    // reads the link's outcome before the next request may start.
    connect(&encoder.http, &MYHTTP::allReturned, this, &EncoderRoute::pump, Qt::QueuedConnection);
}

int EncoderRoute::sendPacket(const QString &commandText, const QByteArray &bytes,
                             const QString &request)
{
    // Without an encoder address nothing leaves, and nothing is reported.
    if (!encoder.hasAddress()) {
        lastFailure.clear();
        return 0;
    }
    if (encoder.http.waitingRequests() == 0 && queue.isEmpty())
        return deliver(commandText) ? 1 : 0;

    CommandQueue::Entry entry;
    entry.packet = bytes;
    entry.text = commandText;
    entry.request = request;
    entry.queuedAt = clock.elapsed();
    if (queue.push(entry) == CommandQueue::Outcome::Full) {
        lastFailure = SendFailure::reason({SendFailure::Kind::EncoderBusy, QString()});
        qCDebug(lcCamera).noquote() << "serialSendCommand() - ACTi: busy, refused:" << commandText;
        return 0;
    }
    lastFailure.clear();
    qCDebug(lcCamera).noquote() << "serialSendCommand() - ACTi: waits:" << commandText;
    return 1;
}

bool EncoderRoute::busy() const
{
    return encoder.http.waitingRequests() > 0 || !queue.isEmpty();
}

bool EncoderRoute::deliver(const QString &commandText)
{
    const bool delivered = encoder.cgiRequest(QStringLiteral("ENCODER"),
                                              QStringLiteral("SERIAL_HEX=") + commandText);
    qCDebug(lcCamera).noquote() << "serialSendCommand() - ACTi:" << commandText << int(delivered);
    const SendFailure::Outcome outcome
        = SendFailure::encoderOutcome(encoder.http.error, encoder.lastReply);
    lastFailure = delivered ? QString() : SendFailure::reason(outcome);
    silent = !delivered && SendFailure::isNetworkFailure(outcome.kind);
    return delivered;
}

void EncoderRoute::pump()
{
    if (pumping)
        return;
    pumping = true;
    const QString busyReason = SendFailure::reason({SendFailure::Kind::CameraBusy, QString()});
    while (!queue.isEmpty() && encoder.http.waitingRequests() == 0 && encoder.hasAddress()) {
        const QList<CommandQueue::Entry> expired = queue.takeExpired(clock.elapsed());
        for (const CommandQueue::Entry &entry : expired) {
            qCDebug(lcCamera).noquote()
                << "serialSendCommand() - ACTi: waited too long:" << entry.text;
            emit packetFailed(entry.request, busyReason);
        }
        if (queue.isEmpty())
            break;
        const CommandQueue::Entry entry = queue.takeHead();
        if (deliver(entry.text))
            emit packetAnswered(entry.request);
        else
            emit packetFailed(entry.request, lastFailure);
    }
    pumping = false;
}

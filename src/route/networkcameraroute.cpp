#include "networkcameraroute.h"

#include "logcategories.h"
#include "viscaiplink.h"

int NetworkCameraRoute::sendPacket(const QString &commandText, const QByteArray &bytes,
                                   const QString &request)
{
    lastFailure.clear();
    const int sent = link.send(bytes, request) ? 1 : 0;
    qCDebug(lcCamera).noquote() << "serialSendCommand() - VISCA over IP:" << commandText << sent;
    return sent;
}

bool NetworkCameraRoute::busy() const
{
    return !link.idle();
}

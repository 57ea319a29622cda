#include "networkcameraroute.h"

#include "logcategories.h"
#include "sendfailure.h"
#include "viscaiplink.h"

NetworkCameraRoute::NetworkCameraRoute(ViscaIpLink &link)
    : link(link)
{
    connect(&link, &ViscaIpLink::packetFailed, this,
            [this](const QByteArray &, const QString &request, const QString &reason) {
                emit packetFailed(request, reason);
            });
    connect(&link, &ViscaIpLink::packetAnswered, this,
            [this](const QByteArray &, const QString &request) { emit packetAnswered(request); });
    connect(&link, &ViscaIpLink::unreadable, this, [this] {
        emit trouble(SendFailure::reason({SendFailure::Kind::CameraUnreadable, QString()}));
    });
    connect(&link, &ViscaIpLink::strangerAnswered, this, [this](const QString &sender) {
        emit trouble(SendFailure::reason({SendFailure::Kind::CameraStranger, sender}));
    });
}

// The link's queue keeps the newest drive of each axis and puts stops
// first, so a packet is handed over at once whatever is in flight.
int NetworkCameraRoute::sendPacket(const QString &commandText, const QByteArray &bytes,
                                   const QString &request)
{
    lastFailure.clear();
    const int sent = link.send(bytes, request, &lastFailure) ? 1 : 0;
    qCDebug(lcCamera).noquote() << "serialSendCommand() - VISCA over IP:" << commandText << sent;
    return sent;
}

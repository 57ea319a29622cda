#include "networkcameralink.h"

#include "logcategories.h"
#include "sendfailure.h"

NetworkCameraLink::NetworkCameraLink(const QObject *owner, QObject *parent)
    : PacketLink(parent)
    , owner(owner)
{
    connect(&link, &ViscaIpLink::connected, this, &NetworkCameraLink::connected);
    connect(&link, &ViscaIpLink::connectFailed, this, &NetworkCameraLink::connectFailed);
    connect(&link, &ViscaIpLink::lost, this, &NetworkCameraLink::lost);
    connect(&link, &ViscaIpLink::packetFailed, this,
            [this](const QByteArray &, const QString &request, const QString &reason) {
                emit packetFailed(tagOf(request), reason);
            });
    // Whether the camera fell silent is the camera's to judge from the
    // outcomes (the count of misses in a row, healthwatch.h).
    connect(&link, &ViscaIpLink::packetAnswered, this,
            [this](const QByteArray &, const QString &request) {
                emit packetAnswered(tagOf(request));
            });
    connect(&link, &ViscaIpLink::inquiryAnswered, this,
            [this](const QByteArray &, const QString &request, const QByteArray &data) {
                emit inquiryAnswered(tagOf(request), data);
            });
    connect(&link, &ViscaIpLink::unreadable, this, [this] {
        emit trouble(SendFailure::reason({SendFailure::Kind::CameraUnreadable, QString()}));
    });
    connect(&link, &ViscaIpLink::strangerAnswered, this, [this](const QString &sender) {
        emit trouble(SendFailure::reason({SendFailure::Kind::CameraStranger, sender}));
    });
}

void NetworkCameraLink::connectTo(const QHostAddress &address, quint16 port,
                                  ViscaIp::Protocol protocol)
{
    link.connectTo(address, port, protocol);
}

PacketLink::Handover NetworkCameraLink::send(const Packet &packet)
{
    Handover handover;
    handover.result = link.send(packet.bytes, packet.tag.words, &handover.failure) ? 1 : 0;
    qCDebug(lcCamera).noquote() << "serialSendCommand() - VISCA over IP:" << packet.text
                                << handover.result;
    return handover;
}

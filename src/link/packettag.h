// What a link keeps of a packet's sender: the camera that handed it over,
// which of its requests it belongs to, and the operator's words for that
// request. Every later word of the link about the packet carries it back, so
// each camera on a shared line hears of its own packets only.
#pragma once

#include <QMetaType>
#include <QString>

class QObject;

struct PacketTag
{
    const QObject *origin = nullptr; // the sender; compared, never called
    quint64 request = 0;             // the sender's own number of the request
    QString words;                   // "zoom,3"
};
Q_DECLARE_METATYPE(PacketTag)

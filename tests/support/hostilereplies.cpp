#include "hostilereplies.h"

namespace HostileReplies {

namespace {
const QByteArray prolog = "<?xml version=\"1.0\"?>";
}

QByteArray nestedElements(int depth)
{
    QByteArray body = prolog;
    body.reserve(prolog.size() + depth * 7);
    for (int i = 0; i < depth; ++i)
        body += "<a>";
    for (int i = 0; i < depth; ++i)
        body += "</a>";
    return body;
}

QByteArray entityExpansion(int levels, int fanOut)
{
    QByteArray body = prolog + "<!DOCTYPE SYSTEM_INFO [<!ENTITY e0 \"xxxxxxxxxxxxxxxx\">";
    for (int level = 1; level < levels; ++level) {
        body += "<!ENTITY e" + QByteArray::number(level) + " \"";
        for (int i = 0; i < fanOut; ++i)
            body += "&e" + QByteArray::number(level - 1) + ';';
        body += "\">";
    }
    body += "]><SYSTEM_INFO><MODEL_NUMBER v=\"&e" + QByteArray::number(levels - 1)
        + ";\"/></SYSTEM_INFO>";
    return body;
}

QByteArray largeDocument(int size)
{
    const QByteArray head = prolog + "<SYSTEM_INFO>";
    const QByteArray tail = "</SYSTEM_INFO>";
    const QByteArray element = "<VIDEO_RESOLUTION_CAP value=\"N720,N480,N360;Q1080\"/>";
    QByteArray body = head;
    body.reserve(size);
    while (body.size() + element.size() + tail.size() <= size)
        body += element;
    // A comment makes up the last few bytes.
    const int rest = size - body.size() - tail.size();
    if (rest >= 7)
        body += "<!--" + QByteArray(rest - 7, ' ') + "-->";
    else
        body += QByteArray(rest, ' ');
    return body + tail;
}

} // namespace HostileReplies

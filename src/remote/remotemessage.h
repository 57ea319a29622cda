// One message of the remote address space, whichever way it came: an OSC
// message (UDP or TCP) or its JSON form over a WebSocket. Arguments are
// int, qint64, double, bool or QString.
#pragma once

#include <QString>
#include <QVariantList>

struct RemoteMessage
{
    QString address;
    QVariantList args;

    // "/tarndeck/camera/1/zoom 3", for the log: printable ASCII on one line.
    QString text() const;
};

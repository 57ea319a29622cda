#include "unreadabletally.h"

UnreadableTally::Say UnreadableTally::dropped(qint64 bytes)
{
    Say say;
    sincePacket += bytes;
    notLogged += bytes;
    if (!logged.isValid() || logged.elapsed() >= 1000) {
        say.log = notLogged;
        notLogged = 0;
        logged.start();
    }
    if (!reported && sincePacket >= kReportAfter && (!said.isValid() || said.elapsed() >= 1000)) {
        reported = true;
        said.start();
        say.report = true;
    }
    return say;
}

void UnreadableTally::readable()
{
    sincePacket = 0;
    reported = false;
}

void UnreadableTally::reset()
{
    sincePacket = 0;
    notLogged = 0;
    reported = false;
    logged.invalidate();
    said.invalidate();
}

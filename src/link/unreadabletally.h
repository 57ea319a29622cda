// Counts the bytes from a camera that were no packets and says when to tell:
// a log line at most once a second however fast they come, and one report
// to the operator once kReportAfter of them came without a readable packet
// between, again only after a readable packet and a second later.
#pragma once

#include <QElapsedTimer>
#include <QtGlobal>

class UnreadableTally
{
public:
    static constexpr int kReportAfter = 64;

    struct Say
    {
        qint64 log = 0;      // bytes to log now (dropped since the last line); 0: no line
        bool report = false; // tell the operator now
    };

    Say dropped(qint64 bytes);
    // A readable packet came: the next run of unreadable bytes counts anew.
    void readable();
    void reset();

private:
    qint64 sincePacket = 0;
    qint64 notLogged = 0;
    bool reported = false;
    QElapsedTimer logged;
    QElapsedTimer said;
};

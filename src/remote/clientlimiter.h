// How much each client may send: a token bucket per client (burst
// messages at once, then rate a second), and a smaller one for the log
// lines a client may cause, so that a flood is told once a second, not once
// a message. Clients are kept in a table of at most maxClients entries;
// when it is full the one heard from longest ago makes room. Time is read
// when a message comes, never by a timer.
#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QString>

class ClientLimiter
{
public:
    static constexpr double rate = 200.0; // messages a second
    static constexpr double burst = 100.0;
    static constexpr double logRate = 1.0; // log lines a second
    static constexpr double logBurst = 5.0;
    static constexpr int maxClients = 1024;

    ClientLimiter();

    // Whether `client` may send `count` messages now; takes them if so.
    // A refused message counts as dropped.
    bool take(const QString &client, int count = 1);
    // Whether a log line about `client` may be written now; `suppressed` is
    // set to how many were held back since the last one written.
    bool mayLog(const QString &client, int *suppressed);
    // Messages of `client` dropped since the last call; clears the count.
    int takeDropped(const QString &client);

    int clients() const { return int(buckets.size()); }

private:
    struct Bucket
    {
        double tokens = burst;
        double logTokens = logBurst;
        qint64 last = 0;
        int dropped = 0;
        int suppressed = 0;
    };
    Bucket &bucketOf(const QString &client);

    QHash<QString, Bucket> buckets;
    QElapsedTimer clock;
};

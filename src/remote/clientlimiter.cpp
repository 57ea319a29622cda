#include "clientlimiter.h"

ClientLimiter::ClientLimiter()
{
    clock.start();
}

ClientLimiter::Bucket &ClientLimiter::bucketOf(const QString &client)
{
    const qint64 now = clock.elapsed();
    auto found = buckets.find(client);
    if (found == buckets.end()) {
        if (buckets.size() >= maxClients) {
            auto oldest = buckets.begin();
            for (auto it = buckets.begin(); it != buckets.end(); ++it) {
                if (it->last < oldest->last)
                    oldest = it;
            }
            buckets.erase(oldest);
        }
        found = buckets.insert(client, Bucket());
        found->last = now;
    }
    const double seconds = double(now - found->last) / 1000.0;
    found->tokens = qMin(burst, found->tokens + seconds * rate);
    found->logTokens = qMin(logBurst, found->logTokens + seconds * logRate);
    found->last = now;
    return *found;
}

bool ClientLimiter::take(const QString &client, int count)
{
    Bucket &bucket = bucketOf(client);
    if (bucket.tokens >= count) {
        bucket.tokens -= count;
        return true;
    }
    bucket.dropped += count;
    return false;
}

bool ClientLimiter::mayLog(const QString &client, int *suppressed)
{
    Bucket &bucket = bucketOf(client);
    if (bucket.logTokens < 1.0) {
        ++bucket.suppressed;
        return false;
    }
    bucket.logTokens -= 1.0;
    *suppressed = bucket.suppressed;
    bucket.suppressed = 0;
    return true;
}

int ClientLimiter::takeDropped(const QString &client)
{
    auto found = buckets.find(client);
    if (found == buckets.end())
        return 0;
    const int dropped = found->dropped;
    found->dropped = 0;
    return dropped;
}

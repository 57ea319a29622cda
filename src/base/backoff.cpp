#include "backoff.h"

int BackOff::delayMs(int attempt)
{
    constexpr int kLongestMs = 30000;
    if (attempt < 1)
        attempt = 1;
    if (attempt > 5)
        return kLongestMs;
    return 1000 << (attempt - 1);
}

#include "healthwatch.h"

#include "backoff.h"
#include "serialanswers.h"

const char *const HealthWatch::kKeepAliveWords = "keep-alive";

HealthWatch::HealthWatch(QObject *parent)
    : QObject(parent)
{
    keepAlive.setSingleShot(true);
    retry.setSingleShot(true);
    connect(&keepAlive, &QTimer::timeout, this, [this] {
        emit keepAliveDue();
        // Unanswered so far: the next one just after its answer was due.
        // An answer sets the longer wait again.
        if (checksOn && routeAnswers && !keepAlive.isActive())
            armKeepAlive(kKeepAliveRetryMs);
    });
    connect(&retry, &QTimer::timeout, this, [this] {
        ++attempts;
        emit reconnectDue();
    });
}

void HealthWatch::armKeepAlive(int ms)
{
    if (checksOn && routeAnswers)
        keepAlive.start(ms);
    else
        keepAlive.stop();
}

void HealthWatch::setChecks(bool on)
{
    if (on == checksOn)
        return;
    checksOn = on;
    armKeepAlive(kKeepAliveMs);
}

void HealthWatch::setAnswering(bool answering)
{
    if (answering == routeAnswers)
        return;
    routeAnswers = answering;
    armKeepAlive(kKeepAliveMs);
}

void HealthWatch::answered()
{
    missed = 0;
    if (keepAlive.isActive() || (checksOn && routeAnswers))
        armKeepAlive(kKeepAliveMs);
    if (!isSilent)
        return;
    isSilent = false;
    emit silenceChanged(false);
}

void HealthWatch::unanswered()
{
    ++missed;
    // Its answer was due just now: the next keep-alive goes at once.
    if (keepAlive.isActive())
        armKeepAlive(0);
    if (isSilent || missed < SerialAnswers::kMissesToSilence)
        return;
    isSilent = true;
    emit silenceChanged(true);
}

void HealthWatch::resetCount()
{
    missed = 0;
    isSilent = false;
}

void HealthWatch::startReconnecting()
{
    retrying = true;
    attempts = 0;
    retry.start(BackOff::delayMs(1));
}

void HealthWatch::attemptFailed()
{
    if (retrying)
        retry.start(BackOff::delayMs(attempts + 1));
}

void HealthWatch::stopReconnecting()
{
    retrying = false;
    attempts = 0;
    retry.stop();
}

int HealthWatch::nextAttemptInMs() const
{
    return retry.isActive() ? retry.remainingTime() : -1;
}

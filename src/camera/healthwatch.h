// Whether a camera whose route answers is still there, and getting it back
// when it is not: the count of packets left unanswered in a row (a camera
// that answered before is silent at SerialAnswers::kMissesToSilence, the
// rule a serial line follows too), the keep-alive rhythm where the operator
// switched health checks on, and the back-off between reconnect attempts.
//
// It sends nothing and knows no link: it tells the camera when a keep-alive
// is due, when it falls silent or answers again, and when to try a connect
// again. No timer runs unless checks are on for a route that answers, or a
// reconnect waits: a panel nobody touches stays asleep.
#pragma once

#include <QObject>
#include <QTimer>

class HealthWatch : public QObject
{
    Q_OBJECT

public:
    // A keep-alive goes this long after the last answer heard; while one is
    // unanswered the next goes as soon as the route says it was missed, or
    // kKeepAliveRetryMs later (when its answer was due: a serial line does
    // not say). Either route waits 1 s for an answer, so a camera that
    // stops answering is shown silent within kKeepAliveMs + 3 × 1 s (4.5 s).
    static constexpr int kKeepAliveMs = 1500;
    static constexpr int kKeepAliveRetryMs = 1000;
    // The words a keep-alive is tagged with (the log names it; the status
    // line never shows it).
    static const char *const kKeepAliveWords;

    explicit HealthWatch(QObject *parent = nullptr);

    // The operator's setting; and whether the route is up and answers
    // (keep-alives make sense there).
    void setChecks(bool on);
    bool checks() const { return checksOn; }
    void setAnswering(bool answering);

    // What became of a packet: answered, or left without an answer.
    void answered();
    void unanswered();
    int misses() const { return missed; }
    bool silent() const { return isSilent; }
    // Forgets the count (a new connect).
    void resetCount();

    // Reconnecting: the first attempt after BackOff::delayMs(1); attemptFailed()
    // waits for the next; stop ends it, no timer left.
    void startReconnecting();
    void attemptFailed();
    void stopReconnecting();
    bool reconnecting() const { return retrying; }
    int attempt() const { return attempts; }
    // Milliseconds until the next attempt (-1: none waits).
    int nextAttemptInMs() const;

signals:
    void keepAliveDue();
    void silenceChanged(bool silent);
    void reconnectDue();

private:
    void armKeepAlive(int ms);

    bool checksOn = false;
    bool routeAnswers = false;
    int missed = 0;
    bool isSilent = false;
    bool retrying = false;
    int attempts = 0;
    QTimer keepAlive;
    QTimer retry;
};

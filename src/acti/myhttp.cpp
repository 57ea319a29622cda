#include "myhttp.h"

#include "logcategories.h"

#include <QEventLoop>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

MYHTTP::MYHTTP(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<QNetworkReply *>("QNetworkReply*");
    qRegisterMetaType<QNetworkReply::NetworkError>("QNetworkReply::NetworkError");
    connect(&manager, SIGNAL(finished(QNetworkReply *)), this, SLOT(finishedSlot(QNetworkReply *)));
}

MYHTTP::~MYHTTP()
{
    // The manager deletes its remaining replies when it goes; none of them
    // may call back into this half-destroyed object.
    manager.disconnect(this);
    for (const auto &entry : outcomes)
        entry.first->disconnect(this);
}

QByteArray MYHTTP::get(const QString &url)
{
    return get(url, defaultTimeoutMs);
}

QByteArray MYHTTP::get(const QString &url, int timeoutMs)
{
    if (url.isEmpty())
        return QByteArray();

    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setPriority(QNetworkRequest::HighPriority);

    error = QNetworkReply::NoError;
    data.clear();

    if (timeoutMs < 1) {
        // Fire and forget: finishedSlot() stores the body and emits finished().
        start(request, false);
        return QByteArray();
    }

    QNetworkReply *const current = start(request, true);
    reply = current;

    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    QEventLoop loop;
    connect(&timer, SIGNAL(timeout()), &loop, SLOT(quit()));
    connect(current, SIGNAL(finished()), &loop, SLOT(quit()));
    timer.start(timeoutMs);
    if (!current->isFinished())
        loop.exec(QEventLoop::AllEvents);

    const bool timedOut = !timer.isActive();
    timer.stop();
    if (timedOut || !current->isFinished()) {
        // No answer in time, or the loop was ended from outside (the
        // application is quitting): give the request up.
        const QNetworkReply::NetworkError code
            = timedOut ? QNetworkReply::TimeoutError : QNetworkReply::OperationCanceledError;
        current->abort();
        Outcome &outcome = outcomes.at(current);
        outcome.error = code;
        outcome.body.clear();
        qCDebug(lcActi).noquote() << (timedOut ? "myHttp() - timeout:" : "myHttp() - cancelled:")
                                  << code;
    }

    disconnect(&timer, SIGNAL(timeout()), &loop, SLOT(quit()));
    disconnect(current, SIGNAL(finished()), &loop, SLOT(quit()));

    const auto entry = outcomes.find(current);
    error = entry->second.error;
    data = error == QNetworkReply::NoError ? entry->second.body : QByteArray();
    outcomes.erase(entry);
    current->disconnect(this);
    current->deleteLater();
    return data;
}

QNetworkReply *MYHTTP::start(const QNetworkRequest &request, bool waited)
{
    QNetworkReply *const started = manager.get(request);
    outcomes[started].waited = waited;
    connect(started, SIGNAL(error(QNetworkReply::NetworkError)), this,
            SLOT(replyErrorSlot(QNetworkReply::NetworkError)));

    // Keep an oversized reply from filling memory: judge it by its announced
    // length as soon as the headers are in, and by what has arrived since.
    const auto watch = [this, started] { limitBodySize(started); };
    connect(started, &QNetworkReply::metaDataChanged, this, watch);
    connect(started, &QNetworkReply::downloadProgress, this, watch);
    connect(started, &QIODevice::readyRead, this, watch);
    return started;
}

bool MYHTTP::refuseIfTooLarge(QNetworkReply *r, Outcome &outcome)
{
    if (outcome.error != QNetworkReply::NoError)
        return false;
    const QVariant length = r->header(QNetworkRequest::ContentLengthHeader);
    const bool tooLarge = (length.isValid() && length.toLongLong() > maxBodyBytes)
        || r->bytesAvailable() > maxBodyBytes;
    if (!tooLarge)
        return false;

    outcome.error = tooLargeError;
    qCWarning(lcActi).noquote() << "myHTTP() - reply larger than" << maxBodyBytes
                                << "bytes, dropped:" << QNetworkReply::NetworkError(tooLargeError);
    // The abort's own cancellation code must not replace ours.
    disconnect(r, SIGNAL(error(QNetworkReply::NetworkError)), this,
               SLOT(replyErrorSlot(QNetworkReply::NetworkError)));
    return true;
}

void MYHTTP::limitBodySize(QNetworkReply *r)
{
    const auto entry = outcomes.find(r);
    if (entry == outcomes.end() || r->isFinished())
        return;
    if (refuseIfTooLarge(r, entry->second))
        r->abort();
}

void MYHTTP::finishedSlot(QNetworkReply *finishedReply)
{
    const auto entry = outcomes.find(finishedReply);
    if (entry == outcomes.end())
        return; // its request has already ended (aborted after a time-out)

    Outcome &outcome = entry->second;
    refuseIfTooLarge(finishedReply, outcome);
    if (outcome.error != QNetworkReply::NoError) {
        qCDebug(lcActi).noquote() << "myHTTP()" << QNetworkReply::NetworkError(outcome.error);
    } else if (finishedReply->isReadable()) {
        outcome.body = finishedReply->readAll();
        data = outcome.body;
    } else {
        qCDebug(lcActi).noquote() << "WARNING! - HTTP reply not readable.\n";
    }

    const bool delivered = outcome.error == QNetworkReply::NoError && finishedReply->isReadable();
    const QByteArray body = outcome.body;
    if (!outcome.waited) {
        // Nobody waits for this one: it is the latest word on the object.
        error = outcome.error;
        data = body;
        outcomes.erase(entry);
        finishedReply->disconnect(this);
        finishedReply->deleteLater();
    }
    if (delivered)
        emit finished(body);
}

void MYHTTP::replyErrorSlot(QNetworkReply::NetworkError code)
{
    QNetworkReply *source = qobject_cast<QNetworkReply *>(sender());
    if (!source)
        source = reply;
    if (!source) {
        error = code;
        return;
    }
    // Only the first error a reply reports counts.
    disconnect(source, SIGNAL(error(QNetworkReply::NetworkError)), this,
               SLOT(replyErrorSlot(QNetworkReply::NetworkError)));
    const auto entry = outcomes.find(source);
    if (entry != outcomes.end())
        entry->second.error = code;
    else
        error = code;
}

#include "myhttp.h"

#include "logcategories.h"

#include <QEventLoop>
#include <QNetworkRequest>
#include <QTimer>
#include <QUrl>

// The failure wording reads these codes as "HTTP 4xx or an answer over 1 MiB"
// and "unreadable or too many header lines".
static_assert(MYHTTP::tooLargeError == QNetworkReply::UnknownContentError,
              "the size cut-off shares its wording with unknown 4xx statuses");
static_assert(MYHTTP::headRefusedError == QNetworkReply::ProtocolFailure,
              "a refused head shares its wording with an unreadable one");

namespace {

// Nothing to read, and no way back to the start.
class UnrepeatableBody : public QIODevice
{
public:
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 0; }
    bool atEnd() const override { return true; }

protected:
    qint64 readData(char *, qint64) override { return -1; }
    qint64 writeData(const char *, qint64) override { return -1; }
};

} // namespace

MYHTTP::MYHTTP(QObject *parent)
    : QObject(parent)
{
    qRegisterMetaType<QNetworkReply *>("QNetworkReply*");
    qRegisterMetaType<QNetworkReply::NetworkError>("QNetworkReply::NetworkError");
}

MYHTTP::~MYHTTP()
{
    // The manager deletes its remaining replies when it goes; none of them
    // may call back into this half-destroyed object.
    if (networkManager)
        networkManager->disconnect(this);
    for (const auto &entry : outcomes)
        entry.first->disconnect(this);
}

QNetworkAccessManager &MYHTTP::manager()
{
    if (!networkManager) {
        networkManager = std::make_unique<QNetworkAccessManager>();
        connect(networkManager.get(), SIGNAL(finished(QNetworkReply *)), this,
                SLOT(finishedSlot(QNetworkReply *)));
    }
    return *networkManager;
}

void MYHTTP::prepare()
{
    if (networkManager)
        return;
    // A request for nothing loads the access backends and the network
    // configuration, and is answered at once without touching the network.
    delete manager().get(QNetworkRequest(QUrl()));
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

    // The deadline settles this request when it passes, even while a later
    // request waits above this one on the stack.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    QEventLoop loop;
    connect(&deadline, &QTimer::timeout, this, [this, current] { expire(current); });
    connect(&deadline, SIGNAL(timeout()), &loop, SLOT(quit()));
    connect(current, SIGNAL(finished()), &loop, SLOT(quit()));
    deadline.start(timeoutMs);
    ++waiting;
    if (!outcomes.at(current).settled)
        loop.exec(QEventLoop::AllEvents);
    --waiting;
    deadline.stop();

    if (!outcomes.at(current).settled && current->isFinished())
        finishedSlot(current);
    if (!outcomes.at(current).settled) {
        // The loop was ended from outside (the application is quitting):
        // give the request up.
        Outcome &outcome = outcomes.at(current);
        outcome.settled = true;
        outcome.error = QNetworkReply::OperationCanceledError;
        outcome.body.clear();
        current->disconnect(this);
        current->abort();
        qCDebug(lcActi).noquote() << "myHttp() - cancelled:"
                                  << QNetworkReply::NetworkError(outcome.error);
    }

    disconnect(&deadline, SIGNAL(timeout()), &loop, SLOT(quit()));
    disconnect(current, SIGNAL(finished()), &loop, SLOT(quit()));

    const auto entry = outcomes.find(current);
    error = entry->second.error;
    data = error == QNetworkReply::NoError ? entry->second.body : QByteArray();
    outcomes.erase(entry);
    current->disconnect(this);
    current->deleteLater();
    if (waiting == 0)
        emit allReturned();
    return data;
}

QNetworkReply *MYHTTP::sendOnce(QNetworkAccessManager &manager, QNetworkRequest request)
{
    // A connection of its own, closed after the answer: never a reused one
    // the encoder may have closed meanwhile, which the network layer would
    // answer by sending the request again.
    request.setRawHeader("Connection", "close");
    // An empty body the network layer cannot rewind: should it try to send
    // the request again after a broken connection, it finds it cannot and
    // reports the request failed instead.
    request.setAttribute(QNetworkRequest::DoNotBufferUploadDataAttribute, true);
    request.setHeader(QNetworkRequest::ContentLengthHeader, 0);
    auto *const unrepeatable = new UnrepeatableBody;
    unrepeatable->open(QIODevice::ReadOnly);
    QNetworkReply *const sent = manager.sendCustomRequest(request, "GET", unrepeatable);
    unrepeatable->setParent(sent);
    return sent;
}

QNetworkReply *MYHTTP::start(const QNetworkRequest &request, bool waited)
{
    QNetworkReply *const started = sendOnce(manager(), request);
    // What has arrived is moved into the request's own body as it comes, so
    // the network layer holds no more than this at any time.
    started->setReadBufferSize(readBufferBytes);
    outcomes[started].waited = waited;
    connect(started, SIGNAL(error(QNetworkReply::NetworkError)), this,
            SLOT(replyErrorSlot(QNetworkReply::NetworkError)));
    const auto arrived = [this, started] { take(started); };
    connect(started, &QNetworkReply::metaDataChanged, this, arrived);
    connect(started, &QIODevice::readyRead, this, arrived);
    return started;
}

bool MYHTTP::refuseIfTooLarge(QNetworkReply *r, Outcome &outcome, qint64 arriving)
{
    if (outcome.error != QNetworkReply::NoError)
        return false;
    const QVariant length = r->header(QNetworkRequest::ContentLengthHeader);
    const bool tooLarge = (length.isValid() && length.toLongLong() > maxBodyBytes)
        || outcome.body.size() + arriving > maxBodyBytes;
    if (!tooLarge)
        return false;

    outcome.error = tooLargeError;
    outcome.body.clear();
    qCWarning(lcActi).noquote() << "myHTTP() - reply larger than" << maxBodyBytes
                                << "bytes, dropped:" << QNetworkReply::NetworkError(tooLargeError);
    // The abort's own cancellation code must not replace ours.
    disconnect(r, SIGNAL(error(QNetworkReply::NetworkError)), this,
               SLOT(replyErrorSlot(QNetworkReply::NetworkError)));
    return true;
}

bool MYHTTP::refuseIfHeadTooLarge(QNetworkReply *r, Outcome &outcome)
{
    if (outcome.headChecked || outcome.error != QNetworkReply::NoError)
        return false;
    const QList<QNetworkReply::RawHeaderPair> &head = r->rawHeaderPairs();
    if (head.isEmpty())
        return false; // not arrived yet
    outcome.headChecked = true;
    qint64 bytes = 0;
    for (const QNetworkReply::RawHeaderPair &line : head)
        bytes += line.first.size() + line.second.size() + 4;
    if (head.size() <= maxHeaderLines && bytes <= maxHeaderBytes)
        return false;

    outcome.error = headRefusedError;
    outcome.body.clear();
    qCWarning(lcActi).noquote() << "myHTTP() - reply with" << head.size() << "header lines,"
                                << bytes << "bytes (at most" << maxHeaderLines << "lines,"
                                << maxHeaderBytes << "bytes), dropped:"
                                << QNetworkReply::NetworkError(headRefusedError);
    disconnect(r, SIGNAL(error(QNetworkReply::NetworkError)), this,
               SLOT(replyErrorSlot(QNetworkReply::NetworkError)));
    return true;
}

void MYHTTP::take(QNetworkReply *r)
{
    const auto entry = outcomes.find(r);
    if (entry == outcomes.end() || entry->second.settled || !r->isReadable())
        return;
    Outcome &outcome = entry->second;
    if (refuseIfHeadTooLarge(r, outcome)) {
        if (!r->isFinished())
            r->abort();
        return;
    }
    if (outcome.error != QNetworkReply::NoError) {
        // A failed reply's body is never delivered; let it drain.
        r->skip(r->bytesAvailable());
        return;
    }
    if (refuseIfTooLarge(r, outcome, r->bytesAvailable())) {
        if (!r->isFinished())
            r->abort();
        return;
    }
    outcome.body += r->readAll();
}

void MYHTTP::expire(QNetworkReply *r)
{
    const auto entry = outcomes.find(r);
    if (entry == outcomes.end() || entry->second.settled)
        return;
    if (r->isFinished()) {
        // It ended in time; its slot has only not run yet.
        finishedSlot(r);
        return;
    }
    Outcome &outcome = entry->second;
    outcome.settled = true;
    outcome.error = QNetworkReply::TimeoutError;
    outcome.body.clear();
    disconnect(r, SIGNAL(error(QNetworkReply::NetworkError)), this,
               SLOT(replyErrorSlot(QNetworkReply::NetworkError)));
    r->abort();
    qCDebug(lcActi).noquote() << "myHttp() - timeout:"
                              << QNetworkReply::NetworkError(outcome.error);
}

void MYHTTP::finishedSlot(QNetworkReply *finishedReply)
{
    const auto entry = outcomes.find(finishedReply);
    if (entry == outcomes.end() || entry->second.settled)
        return; // its request has already ended (timed out, or given up)

    Outcome &outcome = entry->second;
    take(finishedReply);
    outcome.settled = true;
    if (outcome.error != QNetworkReply::NoError) {
        qCDebug(lcActi).noquote() << "myHTTP()" << QNetworkReply::NetworkError(outcome.error);
    } else if (!finishedReply->isReadable()) {
        outcome.body.clear();
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
    // The network layer's attempt to send a request again, refused: the
    // request went out once and the encoder closed without an answer.
    if (code == QNetworkReply::ContentReSendError)
        code = QNetworkReply::RemoteHostClosedError;
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

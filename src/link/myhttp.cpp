#include "myhttp.h"

#include "logcategories.h"

#include <QNetworkRequest>
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
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer); // a coarse timer may fire 5 % early
    connect(&deadline, &QTimer::timeout, this, &MYHTTP::expire);
}

MYHTTP::~MYHTTP()
{
    // The manager deletes its remaining replies when it goes; none of them
    // may call back into this half-destroyed object.
    if (networkManager)
        networkManager->disconnect(this);
    if (sharedManager)
        sharedManager->disconnect(this);
    if (current)
        current->disconnect(this);
}

void MYHTTP::setManager(QNetworkAccessManager *shared)
{
    if (sharedManager)
        sharedManager->disconnect(this);
    sharedManager = shared;
    if (shared)
        connect(shared, &QNetworkAccessManager::finished, this, &MYHTTP::finishedSlot);
}

QNetworkAccessManager &MYHTTP::manager()
{
    if (sharedManager)
        return *sharedManager;
    if (!networkManager) {
        networkManager = std::make_unique<QNetworkAccessManager>();
        connect(networkManager.get(), &QNetworkAccessManager::finished, this,
                &MYHTTP::finishedSlot);
    }
    return *networkManager;
}

void MYHTTP::prepare()
{
    if (!hasManager())
        prepare(manager());
}

void MYHTTP::prepare(QNetworkAccessManager &manager)
{
    // A request for nothing loads the access backends and the network
    // configuration, and is answered at once without touching the network.
    delete manager.get(QNetworkRequest(QUrl()));
}

bool MYHTTP::get(const QString &url, int timeoutMs)
{
    if (url.isEmpty() || current)
        return false;

    QNetworkRequest request(QUrl(url, QUrl::TolerantMode));
    request.setPriority(QNetworkRequest::HighPriority);
    pendingError = QNetworkReply::NoError;
    body.clear();
    headChecked = false;

    current = sendOnce(manager(), request);
    reply = current;
    // What has arrived is moved into the body as it comes, so the network
    // layer holds no more than this at any time.
    current->setReadBufferSize(readBufferBytes);
    connect(current, &QNetworkReply::errorOccurred, this, &MYHTTP::replyErrorSlot);
    connect(current, &QNetworkReply::metaDataChanged, this, &MYHTTP::take);
    connect(current, &QIODevice::readyRead, this, &MYHTTP::take);
    if (timeoutMs > 0)
        deadline.start(timeoutMs);
    return true;
}

void MYHTTP::abandon()
{
    if (!current)
        return;
    QNetworkReply *const left = current;
    current = nullptr;
    reply = nullptr;
    deadline.stop();
    left->disconnect(this);
    left->abort();
    left->deleteLater();
    qCDebug(lcActi).noquote() << "myHttp() - abandoned";
}

QNetworkReply *MYHTTP::sendOnce(QNetworkAccessManager &manager, QNetworkRequest request)
{
    // A connection of its own, closed after the answer: never a reused one
    // the encoder may have closed meanwhile, which the network layer would
    // answer by sending the request again.
    request.setRawHeader("Connection", "close");
    // A redirect is an answer like any other, never a second request (Qt 6
    // would follow it by default, 50 times over for an encoder pointing at
    // itself).
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute,
                         QNetworkRequest::ManualRedirectPolicy);
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

// A failed request's error is ours alone from here on: the abort's own
// cancellation code must not replace it.
void MYHTTP::refuse(int code)
{
    pendingError = code;
    body.clear();
    disconnect(current, &QNetworkReply::errorOccurred, this, &MYHTTP::replyErrorSlot);
    if (!current->isFinished())
        current->abort(); // finishes the reply, which ends the request
}

bool MYHTTP::refuseIfTooLarge(qint64 arriving)
{
    const QVariant length = current->header(QNetworkRequest::ContentLengthHeader);
    const bool tooLarge = (length.isValid() && length.toLongLong() > maxBodyBytes)
        || body.size() + arriving > maxBodyBytes;
    if (!tooLarge)
        return false;
    qCWarning(lcActi).noquote() << "myHTTP() - reply larger than" << maxBodyBytes
                                << "bytes, dropped:" << QNetworkReply::NetworkError(tooLargeError);
    refuse(tooLargeError);
    return true;
}

bool MYHTTP::refuseIfHeadTooLarge()
{
    if (headChecked)
        return false;
    // The status line and the head arrive together.
    if (!current->attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid())
        return false; // not arrived yet
    headChecked = true;
    const QList<QNetworkReply::RawHeaderPair> &head = current->rawHeaderPairs();
    if (head.isEmpty()) {
        // Qt 6's network library hands over a head of more than 100 lines
        // as no line at all, and no encoder answers without a single one:
        // refused alike whichever Qt reads it.
        qCWarning(lcActi).noquote()
            << "myHTTP() - reply with no header lines (or more than the"
            << "network library keeps), dropped:" << QNetworkReply::NetworkError(headRefusedError);
        refuse(headRefusedError);
        return true;
    }
    qint64 bytes = 0;
    for (const QNetworkReply::RawHeaderPair &line : head)
        bytes += line.first.size() + line.second.size() + 4;
    if (head.size() <= maxHeaderLines && bytes <= maxHeaderBytes)
        return false;
    qCWarning(lcActi).noquote() << "myHTTP() - reply with" << head.size() << "header lines,"
                                << bytes << "bytes (at most" << maxHeaderLines << "lines,"
                                << maxHeaderBytes << "bytes), dropped:"
                                << QNetworkReply::NetworkError(headRefusedError);
    refuse(headRefusedError);
    return true;
}

void MYHTTP::take()
{
    if (!current || !current->isReadable())
        return;
    if (pendingError == QNetworkReply::NoError && refuseIfHeadTooLarge())
        return;
    if (pendingError != QNetworkReply::NoError) {
        // A failed reply's body is never delivered; let it drain.
        current->skip(current->bytesAvailable());
        return;
    }
    if (refuseIfTooLarge(current->bytesAvailable()))
        return;
    body += current->readAll();
}

void MYHTTP::expire()
{
    if (!current)
        return;
    if (current->isFinished()) {
        // It ended in time; its slot has only not run yet.
        finishedSlot(current);
        return;
    }
    pendingError = QNetworkReply::TimeoutError;
    body.clear();
    QNetworkReply *const late = current;
    end();
    // Its finished() now finds no request under way.
    late->abort();
    qCDebug(lcActi).noquote() << "myHttp() - timeout:" << QNetworkReply::NetworkError(error);
    emit returned();
}

void MYHTTP::finishedSlot(QNetworkReply *finishedReply)
{
    if (!current || finishedReply != current)
        return; // its request has already ended (timed out, or given up)
    take();
    if (pendingError != QNetworkReply::NoError) {
        qCDebug(lcActi).noquote() << "myHTTP()" << QNetworkReply::NetworkError(pendingError);
    } else if (!current->isReadable()) {
        body.clear();
        qCDebug(lcActi).noquote() << "WARNING! - HTTP reply not readable.\n";
    }
    const bool delivered = pendingError == QNetworkReply::NoError && current->isReadable();
    end();
    if (delivered)
        emit finished(data);
    emit returned();
}

// The request is over: its outcome becomes the object's, its reply goes.
void MYHTTP::end()
{
    deadline.stop();
    error = pendingError;
    data = error == QNetworkReply::NoError ? body : QByteArray();
    body.clear();
    QNetworkReply *const ended = current;
    current = nullptr;
    reply = nullptr;
    ended->disconnect(this);
    ended->deleteLater();
}

void MYHTTP::replyErrorSlot(QNetworkReply::NetworkError code)
{
    // The network layer's attempt to send a request again, refused: the
    // request went out once and the encoder closed without an answer.
    if (code == QNetworkReply::ContentReSendError)
        code = QNetworkReply::RemoteHostClosedError;
    if (!current || sender() != current)
        return;
    // Only the first error a reply reports counts.
    disconnect(current, &QNetworkReply::errorOccurred, this, &MYHTTP::replyErrorSlot);
    pendingError = code;
}

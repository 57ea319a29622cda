// One HTTP GET at a time, waited for by nobody: get() sends the request and
// returns at once; the reply is read as it arrives, and returned() says when
// the request has ended (answered, failed, or its time-out passed). A time-out
// is a timer, never a wait.
//
// Every request goes out on a connection of its own, closed after the answer:
// the network layer resends a request whose reused connection the encoder had
// closed, and a pass-through must reach the camera at most once.
//
// The access manager is built on first use, so that a program which never
// takes the encoder route never loads the network stack (its plugins, its
// threads); prepare() builds it ahead of the first request.
#pragma once

#include "sendfailure.h"

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <memory>

class MYHTTP : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTimeoutMs = SendFailure::encoderTimeoutMs;
    // Replies larger than this are aborted and count as failed.
    static constexpr qint64 maxBodyBytes = 1024 * 1024;
    // The error code of a request whose reply grew beyond maxBodyBytes.
    static constexpr QNetworkReply::NetworkError tooLargeError = QNetworkReply::UnknownContentError;
    // Replies with more header lines than this, or more header bytes, or
    // none at all, are aborted: no encoder answer needs a tenth of them (nor
    // does Qt 6 keep more than 100 lines of a head).
    static constexpr int maxHeaderLines = 100;
    static constexpr int maxHeaderBytes = 16 * 1024;
    // The error code of a request whose reply's head was refused.
    static constexpr QNetworkReply::NetworkError headRefusedError = QNetworkReply::ProtocolFailure;

    explicit MYHTTP(QObject *parent = nullptr);
    ~MYHTTP() override;

    // Sends a GET for the URL (parsed tolerantly, not escaped further).
    // False, and nothing sent, for an empty URL or while a request is under
    // way. A time-out below 1 ms waits for the reply however long it takes.
    bool get(const QString &url, int timeoutMs = defaultTimeoutMs);
    bool isWaiting() const { return current != nullptr; }
    // Gives up the request under way: its reply is aborted and nothing is
    // signalled for it.
    void abandon();

    // Builds the access manager if it does not exist yet and loads what its
    // first request would load, so that request does not wait for it.
    void prepare();
    static void prepare(QNetworkAccessManager &manager);
    // The access manager: one shared with others (set before the first
    // request), or one of its own, built on first use.
    QNetworkAccessManager &manager();
    void setManager(QNetworkAccessManager *shared);
    bool hasManager() const { return sharedManager || networkManager; }

    // The reply of the request under way; null once it has ended (replies
    // are released then).
    QPointer<QNetworkReply> reply;
    // The outcome of the request that ended last: QNetworkReply's error code
    // (TimeoutError when the time-out passed), and the body of a reply that
    // ended without error (empty otherwise).
    int error = QNetworkReply::NoError;
    QByteArray data;

    // Sends `request` as a GET that reaches the server at most once: on a
    // connection of its own, closed after the answer, with an empty body the
    // network layer cannot send again.
    static QNetworkReply *sendOnce(QNetworkAccessManager &manager, QNetworkRequest request);

signals:
    // A reply ended without error and was readable: its body.
    void finished(QByteArray data);
    // The request has ended, whatever its outcome: error and data are final.
    void returned();

public slots:
    void finishedSlot(QNetworkReply *reply);
    void replyErrorSlot(QNetworkReply::NetworkError error);

private:
    // How much of a reply the network layer may hold before we read it.
    static constexpr qint64 readBufferBytes = 64 * 1024;

    // Moves what has arrived into the body; refuses the reply once it
    // announces or delivers more than maxBodyBytes, or a head no encoder
    // would send.
    void take();
    bool refuseIfTooLarge(qint64 arriving);
    bool refuseIfHeadTooLarge();
    void refuse(int code);
    void expire();
    void end();

    QPointer<QNetworkAccessManager> sharedManager;
    std::unique_ptr<QNetworkAccessManager> networkManager;
    QNetworkReply *current = nullptr;
    QTimer deadline;
    // What the request under way has learnt so far.
    int pendingError = QNetworkReply::NoError;
    QByteArray body; // read as it arrives, never more than maxBodyBytes
    bool headChecked = false;
};

// A synchronous HTTP GET: the caller waits in a nested event loop (the window
// stays live) until the reply has finished or the time-out has run out.
//
// The nested loop delivers every event, so a second request may start on the
// same object while one waits (a key press during the connect flow sends a
// camera command). Each request keeps its own reply, deadline, loop and
// outcome, and its outcome is settled the moment its reply ends or its own
// deadline passes, whatever else waits meanwhile. A wait that began earlier
// can only return once the later ones, which sit above it on the stack, have
// returned; it then reports what it settled at its own time. `error` and
// `data` describe the request whose get() returned last.
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

#include <memory>
#include <unordered_map>


class MYHTTP : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTimeoutMs = SendFailure::encoderTimeoutMs;
    // Replies larger than this are aborted and count as failed.
    static constexpr qint64 maxBodyBytes = 1024 * 1024;
    // The error code of a request whose reply grew beyond maxBodyBytes.
    static constexpr QNetworkReply::NetworkError tooLargeError = QNetworkReply::UnknownContentError;
    // Replies with more header lines than this, or more header bytes, are
    // aborted: no encoder answer needs a tenth of them.
    static constexpr int maxHeaderLines = 100;
    static constexpr int maxHeaderBytes = 16 * 1024;
    // The error code of a request whose reply's head was refused.
    static constexpr QNetworkReply::NetworkError headRefusedError = QNetworkReply::ProtocolFailure;

    explicit MYHTTP(QObject *parent = nullptr);
    ~MYHTTP() override;

    QByteArray get(const QString &url, int timeoutMs);
    QByteArray get(const QString &url);

    // Builds the access manager if it does not exist yet and loads what its
    // first request would load, so that request does not wait for it.
    void prepare();
    // The access manager, built on first use.
    QNetworkAccessManager &manager();
    bool hasManager() const { return networkManager != nullptr; }

    // The reply of the most recent request made with a positive time-out.
    // Replies are released once their get() has returned; the pointer then
    // turns null.
    QPointer<QNetworkReply> reply;
    int error = QNetworkReply::NoError;
    QByteArray data;

    // Sends `request` as a GET that reaches the server at most once: on a
    // connection of its own, closed after the answer, with an empty body the
    // network layer cannot send again.
    static QNetworkReply *sendOnce(QNetworkAccessManager &manager, QNetworkRequest request);

    // How many get() calls are still waiting for their reply.
    int waitingRequests() const { return waiting; }

signals:
    void finished(QByteArray data);
    // The last waiting get() is returning: the link can take a request again
    // without one overtaking another.
    void allReturned();

public slots:
    void finishedSlot(QNetworkReply *reply);
    void replyErrorSlot(QNetworkReply::NetworkError error);

private:
    // What one request has learnt so far.
    struct Outcome
    {
        int error = QNetworkReply::NoError;
        QByteArray body;      // read as it arrives, never more than maxBodyBytes
        bool waited = false;  // a get() waits for it (positive time-out)
        bool settled = false; // the reply ended, or the deadline passed
        bool headChecked = false;
    };

    // How much of a reply the network layer may hold before we read it.
    static constexpr qint64 readBufferBytes = 64 * 1024;

    QNetworkReply *start(const QNetworkRequest &request, bool waited);
    // Moves what has arrived into the request's own body; refuses the reply
    // once it announces or delivers more than maxBodyBytes.
    void take(QNetworkReply *reply);
    bool refuseIfTooLarge(QNetworkReply *reply, Outcome &outcome, qint64 arriving);
    bool refuseIfHeadTooLarge(QNetworkReply *reply, Outcome &outcome);
    void expire(QNetworkReply *reply);

    std::unique_ptr<QNetworkAccessManager> networkManager;
    // The requests under way, by reply. Node-based, so an entry stays where it
    // is while nested requests add their own.
    std::unordered_map<QNetworkReply *, Outcome> outcomes;
    int waiting = 0;
};

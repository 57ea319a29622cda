// A synchronous HTTP GET: the caller waits in a nested event loop (the window
// stays live) until the reply has finished or the time-out has run out.
//
// The nested loop delivers every event, so a second request may start on the
// same object while one waits (a key press during the connect flow sends a
// camera command). Each request keeps its own reply, timer, loop and outcome;
// `error` and `data` describe the request whose get() returned last.
#pragma once

#include <QByteArray>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QObject>
#include <QPointer>
#include <QString>

#include <unordered_map>

class QNetworkRequest;

class MYHTTP : public QObject
{
    Q_OBJECT

public:
    static constexpr int defaultTimeoutMs = 5000;
    // Replies larger than this are aborted and count as failed.
    static constexpr qint64 maxBodyBytes = 1024 * 1024;
    // The error code of a request whose reply grew beyond maxBodyBytes.
    static constexpr QNetworkReply::NetworkError tooLargeError = QNetworkReply::UnknownContentError;

    explicit MYHTTP(QObject *parent = nullptr);
    ~MYHTTP() override;

    QByteArray get(const QString &url, int timeoutMs);
    QByteArray get(const QString &url);

    QNetworkAccessManager manager;
    // The reply of the most recent request made with a positive time-out.
    // Replies are released once their get() has returned; the pointer then
    // turns null.
    QPointer<QNetworkReply> reply;
    int error = QNetworkReply::NoError;
    QByteArray data;

signals:
    void finished(QByteArray data);

public slots:
    void finishedSlot(QNetworkReply *reply);
    void replyErrorSlot(QNetworkReply::NetworkError error);

private:
    // What one request has learnt so far.
    struct Outcome
    {
        int error = QNetworkReply::NoError;
        QByteArray body;
        bool waited = false; // a get() waits for it (positive time-out)
    };

    QNetworkReply *start(const QNetworkRequest &request, bool waited);
    void limitBodySize(QNetworkReply *reply);
    bool refuseIfTooLarge(QNetworkReply *reply, Outcome &outcome);

    // The requests under way, by reply. Node-based, so an entry stays where it
    // is while nested requests add their own.
    std::unordered_map<QNetworkReply *, Outcome> outcomes;
};

// A small HTTP/1.1 server on the loopback interface: the encoder stand-in of
// the tests and the front of the encoder simulator.
//
// It answers GET requests (any method is accepted and recorded) on
// persistent connections, one request after the other per connection. Every
// request is recorded and announced; a handler callback decides the answer,
// which may also be delayed, withheld (the connection stays open until
// answerHeld() or close()), or replaced by closing the connection. Bodies can
// be sent chunked, trickled piece by piece, or generated as they drain (a
// stream of any length that is never held in memory); a connection can be
// dropped after each answer, as a careless encoder does.
#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QMetaType>
#include <QObject>
#include <QPair>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>

class QTcpServer;
class QTcpSocket;

class LoopHttpServer : public QObject
{
    Q_OBJECT

public:
    struct Request
    {
        QByteArray requestLine; // "GET /cgi-bin/system?USER=a HTTP/1.1"
        QByteArray method;      // "GET"
        QByteArray target;      // "/cgi-bin/system?USER=a", as sent
        QByteArray version;     // "HTTP/1.1"
        QList<QPair<QByteArray, QByteArray>> headers;

        QByteArray path() const;                         // target up to "?", still encoded
        QByteArray query() const;                        // target after "?", still encoded
        QByteArray header(const QByteArray &name) const; // first one, name in any case
        // The query's "key=value" items split at "&", both sides decoded; an
        // item without "=" gives a null value.
        QList<QPair<QString, QString>> queryItems() const;
        QString queryValue(const QString &key) const; // first value, null when absent
        QStringList queryValues(const QString &key) const;
        bool hasQueryItem(const QString &key) const;
    };

    struct Response
    {
        enum class Kind {
            Answer, // send status, headers and body
            Hold,   // never answer; the connection stays open
            Close,  // close the connection without answering
        };

        int status = 200;
        QByteArray body;
        QByteArray contentType = "text/plain";
        Kind kind = Kind::Answer;
        int delayMs = 0; // wait this long before answering (or closing)
        // false: no Content-Length; the body ends when the server closes.
        bool sendContentLength = true;
        // Transfer-Encoding: chunked, one chunk per piece.
        bool chunked = false;
        // The body leaves in pieces of this size, trickleMs apart.
        int pieceBytes = 16 * 1024;
        int trickleMs = 0;
        // Above 0: the body is this many filler bytes, made as the socket
        // drains (body is then ignored).
        qint64 fillBytes = 0;
        // The answer announces keep-alive, but the next request on the
        // connection is read, recorded and met by closing the connection.
        bool closeAfter = false;
        // Header lines sent after the server's own, as they are.
        QList<QPair<QByteArray, QByteArray>> extraHeaders;

        static Response text(const QByteArray &body, int status = 200);
        static Response xml(const QByteArray &body);
        static Response hold();
        static Response close();
    };

    using Handler = std::function<Response(const Request &)>;

    explicit LoopHttpServer(QObject *parent = nullptr);
    ~LoopHttpServer() override;

    // Listens on a loopback address only (127.0.0.1 or ::1); port 0 picks a
    // free one.
    bool listen(const QHostAddress &address = QHostAddress(QHostAddress::LocalHost),
                quint16 port = 0);
    // Stops listening and drops every connection.
    void close();
    bool isListening() const;
    QHostAddress address() const;
    quint16 port() const;
    // "127.0.0.1:port" or "[::1]:port"
    QString authority() const;
    // "http://" + authority()
    QString baseUrl() const;

    // Without a handler every request gets 404.
    void setHandler(Handler handler);

    // The requests received, oldest first: at most the last historyLimit()
    // of them, so a server that runs for days keeps a bounded memory.
    QList<Request> requests() const;
    QStringList requestLines() const;
    void clearRequests();
    static constexpr int defaultHistoryLimit = 10000;
    int historyLimit() const { return keptRequests; }
    void setHistoryLimit(int requests);

    // Requests withheld by a Hold answer, oldest first.
    int heldCount() const;
    // Answers the oldest withheld request; false when there is none.
    bool answerHeld(const Response &response);

    int connectionCount() const;

    // %XX decoding, as UTF-8; "+" stays a plus sign.
    static QString percentDecoded(const QByteArray &encoded);
    static QList<QPair<QString, QString>> parseQuery(const QByteArray &query);

signals:
    void requestReceived(const LoopHttpServer::Request &request);

private:
    struct Connection
    {
        QByteArray buffer;
        bool busy = false;     // a request is being answered
        bool keepAlive = true; // of the request being answered
        bool dropNext = false; // close at the next request instead of answering
        // The body still to send of the answer under way.
        Response sending;
        qint64 bodySent = 0;
        bool keepOpen = false;
        bool draining = false; // a generated body waits for the socket to drain
    };

    void accept();
    void readFrom(QTcpSocket *socket);
    void serveNext(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const Response &response);
    void sendBody(QTcpSocket *socket);
    void answered(QTcpSocket *socket);
    void drop(QTcpSocket *socket);

    QTcpServer *server;
    Handler handler;
    QList<Request> received;
    int keptRequests = defaultHistoryLimit;
    std::map<QTcpSocket *, Connection> connections;
    QList<QTcpSocket *> held;
};

Q_DECLARE_METATYPE(LoopHttpServer::Request)
Q_DECLARE_METATYPE(LoopHttpServer::Response)

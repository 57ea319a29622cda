#include "loophttpserver.h"

#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

namespace {

// A request head larger than this is refused, and so is a body.
constexpr int maxHeadBytes = 64 * 1024;
constexpr qint64 maxBodyBytes = 64 * 1024;
// What a connection may hold unread: one whole request at most.
constexpr qint64 maxBufferedBytes = maxHeadBytes + 4 + maxBodyBytes;

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 401:
        return "Unauthorized";
    case 403:
        return "Forbidden";
    case 404:
        return "Not Found";
    case 413:
        return "Payload Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 500:
        return "Internal Server Error";
    case 501:
        return "Not Implemented";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

} // namespace

// --- Request ---------------------------------------------------------------

QByteArray LoopHttpServer::Request::path() const
{
    const int mark = target.indexOf('?');
    return mark < 0 ? target : target.left(mark);
}

QByteArray LoopHttpServer::Request::query() const
{
    const int mark = target.indexOf('?');
    return mark < 0 ? QByteArray() : target.mid(mark + 1);
}

QByteArray LoopHttpServer::Request::header(const QByteArray &name) const
{
    for (const auto &field : headers) {
        if (field.first.compare(name, Qt::CaseInsensitive) == 0)
            return field.second;
    }
    return QByteArray();
}

QList<QPair<QString, QString>> LoopHttpServer::Request::queryItems() const
{
    return parseQuery(query());
}

QString LoopHttpServer::Request::queryValue(const QString &key) const
{
    const QStringList values = queryValues(key);
    return values.isEmpty() ? QString() : values.first();
}

QStringList LoopHttpServer::Request::queryValues(const QString &key) const
{
    QStringList values;
    for (const auto &item : queryItems()) {
        if (item.first == key)
            values.append(item.second);
    }
    return values;
}

bool LoopHttpServer::Request::hasQueryItem(const QString &key) const
{
    for (const auto &item : queryItems()) {
        if (item.first == key)
            return true;
    }
    return false;
}

// --- Response --------------------------------------------------------------

LoopHttpServer::Response LoopHttpServer::Response::text(const QByteArray &body, int status)
{
    Response response;
    response.status = status;
    response.body = body;
    return response;
}

LoopHttpServer::Response LoopHttpServer::Response::xml(const QByteArray &body)
{
    Response response = text(body);
    response.contentType = "text/xml";
    return response;
}

LoopHttpServer::Response LoopHttpServer::Response::hold()
{
    Response response;
    response.kind = Kind::Hold;
    return response;
}

LoopHttpServer::Response LoopHttpServer::Response::close()
{
    Response response;
    response.kind = Kind::Close;
    return response;
}

// --- Server ----------------------------------------------------------------

LoopHttpServer::LoopHttpServer(QObject *parent)
    : QObject(parent)
    , server(new QTcpServer(this))
{
    qRegisterMetaType<LoopHttpServer::Request>("LoopHttpServer::Request");
    connect(server, &QTcpServer::newConnection, this, &LoopHttpServer::accept);
}

LoopHttpServer::~LoopHttpServer()
{
    close();
}

bool LoopHttpServer::listen(const QHostAddress &address, quint16 port)
{
    if (!address.isLoopback()) {
        qWarning("LoopHttpServer: refusing to listen on %s, loopback addresses only",
                 qPrintable(address.toString()));
        return false;
    }
    return server->listen(address, port);
}

void LoopHttpServer::close()
{
    server->close();
    const auto open = connections;
    connections.clear();
    held.clear();
    for (const auto &entry : open) {
        QTcpSocket *socket = entry.first;
        socket->disconnect(this);
        socket->abort();
        socket->deleteLater();
    }
}

bool LoopHttpServer::isListening() const
{
    return server->isListening();
}

QHostAddress LoopHttpServer::address() const
{
    return server->serverAddress();
}

quint16 LoopHttpServer::port() const
{
    return server->serverPort();
}

QString LoopHttpServer::authority() const
{
    const QHostAddress host = address();
    QString text = host.toString();
    if (host.protocol() == QAbstractSocket::IPv6Protocol)
        text = QLatin1Char('[') + text + QLatin1Char(']');
    return text + QLatin1Char(':') + QString::number(port());
}

QString LoopHttpServer::baseUrl() const
{
    return QLatin1String("http://") + authority();
}

void LoopHttpServer::setHandler(Handler newHandler)
{
    handler = std::move(newHandler);
}

QList<LoopHttpServer::Request> LoopHttpServer::requests() const
{
    return received;
}

QStringList LoopHttpServer::requestLines() const
{
    QStringList lines;
    for (const Request &request : received)
        lines.append(QString::fromLatin1(request.requestLine));
    return lines;
}

void LoopHttpServer::clearRequests()
{
    received.clear();
}

void LoopHttpServer::setHistoryLimit(int requests)
{
    keptRequests = qMax(0, requests);
    while (received.size() > keptRequests)
        received.removeFirst();
}

int LoopHttpServer::heldCount() const
{
    return held.size();
}

bool LoopHttpServer::answerHeld(const Response &response)
{
    if (held.isEmpty())
        return false;
    QTcpSocket *socket = held.takeFirst();
    respond(socket, response);
    return true;
}

int LoopHttpServer::connectionCount() const
{
    return int(connections.size());
}

QString LoopHttpServer::percentDecoded(const QByteArray &encoded)
{
    return QString::fromUtf8(QByteArray::fromPercentEncoding(encoded));
}

QList<QPair<QString, QString>> LoopHttpServer::parseQuery(const QByteArray &query)
{
    QList<QPair<QString, QString>> items;
    const QList<QByteArray> parts = query.split('&');
    for (const QByteArray &part : parts) {
        if (part.isEmpty())
            continue;
        const int equals = part.indexOf('=');
        if (equals < 0) {
            items.append({percentDecoded(part), QString()});
        } else {
            QString value = percentDecoded(part.mid(equals + 1));
            if (value.isNull())
                value = QLatin1String("");
            items.append({percentDecoded(part.left(equals)), value});
        }
    }
    return items;
}

void LoopHttpServer::accept()
{
    while (server->hasPendingConnections()) {
        QTcpSocket *socket = server->nextPendingConnection();
        socket->setParent(this);
        // The network layer holds no more than one request's worth either.
        socket->setReadBufferSize(maxBufferedBytes);
        connections[socket] = Connection();
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readFrom(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { drop(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] {
            const auto entry = connections.find(socket);
            if (entry != connections.end() && entry->second.draining) {
                entry->second.draining = false;
                sendBody(socket);
            }
        });
    }
}

void LoopHttpServer::readFrom(QTcpSocket *socket)
{
    const auto entry = connections.find(socket);
    if (entry == connections.end())
        return;
    Connection &connection = entry->second;
    connection.buffer += socket->readAll();
    // Requests sent ahead while one is answered wait here: never more than
    // one request's worth.
    if (connection.busy && connection.buffer.size() > maxBufferedBytes) {
        socket->abort();
        drop(socket);
        return;
    }
    serveNext(socket);
}

void LoopHttpServer::serveNext(QTcpSocket *socket)
{
    const auto entry = connections.find(socket);
    if (entry == connections.end() || entry->second.busy)
        return;
    Connection &connection = entry->second;

    const int headEnd = connection.buffer.indexOf("\r\n\r\n");
    if (headEnd < 0) {
        if (connection.buffer.size() > maxHeadBytes) {
            connection.busy = true;
            connection.keepAlive = false;
            connection.buffer.clear();
            respond(socket, Response::text("request head too large\n", 431));
        }
        return;
    }

    const QList<QByteArray> lines = connection.buffer.left(headEnd).split('\n');
    Request request;
    request.requestLine = lines.first().trimmed();
    const QList<QByteArray> words = request.requestLine.split(' ');
    bool wellFormed = words.size() == 3 && words.at(2).startsWith("HTTP/");
    if (wellFormed) {
        request.method = words.at(0);
        request.target = words.at(1);
        request.version = words.at(2);
    }
    for (int i = 1; i < lines.size() && wellFormed; ++i) {
        const QByteArray line = lines.at(i).trimmed();
        const int colon = line.indexOf(':');
        if (colon <= 0)
            wellFormed = false;
        else
            request.headers.append({line.left(colon).trimmed(), line.mid(colon + 1).trimmed()});
    }

    connection.busy = true;
    if (!wellFormed || !request.header("Transfer-Encoding").isEmpty()) {
        connection.keepAlive = false;
        connection.buffer.clear();
        respond(socket,
                wellFormed ? Response::text("chunked requests not supported\n", 501)
                           : Response::text("malformed request\n", 400));
        return;
    }

    // A request body (not expected with GET) is skipped once complete; one
    // larger than a head may be is refused before it is read.
    const QByteArray lengthText = request.header("Content-Length");
    bool lengthRead = true;
    const qint64 bodyLength = lengthText.isEmpty() ? 0 : lengthText.toLongLong(&lengthRead);
    if (!lengthRead || bodyLength < 0 || bodyLength > maxBodyBytes) {
        connection.keepAlive = false;
        connection.buffer.clear();
        respond(socket,
                lengthRead && bodyLength > maxBodyBytes
                    ? Response::text("request body too large\n", 413)
                    : Response::text("malformed request\n", 400));
        return;
    }
    if (connection.buffer.size() < headEnd + 4 + bodyLength) {
        connection.busy = false;
        return;
    }
    connection.buffer.remove(0, int(headEnd + 4 + bodyLength));

    const QByteArray connectionHeader = request.header("Connection").toLower();
    connection.keepAlive = request.version == "HTTP/1.1" ? connectionHeader != "close"
                                                         : connectionHeader == "keep-alive";

    received.append(request);
    if (received.size() > keptRequests)
        received.removeFirst();
    if (connection.dropNext) {
        // The careless encoder: it took the request, then drops the line.
        connection.buffer.clear();
        socket->disconnectFromHost();
        return;
    }
    const QPointer<QTcpSocket> guard(socket);
    emit requestReceived(request);
    if (!guard || connections.find(socket) == connections.end())
        return;

    const Response response = handler ? handler(request) : Response::text("not found\n", 404);
    if (!guard || connections.find(socket) == connections.end())
        return;

    if (response.kind == Response::Kind::Hold) {
        held.append(socket);
    } else if (response.delayMs > 0) {
        QTimer::singleShot(response.delayMs, socket, [this, socket, response] {
            if (connections.find(socket) != connections.end())
                respond(socket, response);
        });
    } else {
        respond(socket, response);
    }
}

void LoopHttpServer::respond(QTcpSocket *socket, const Response &response)
{
    const auto entry = connections.find(socket);
    if (entry == connections.end())
        return;
    Connection &connection = entry->second;

    if (response.kind == Response::Kind::Hold) {
        held.append(socket);
        return;
    }
    if (response.kind == Response::Kind::Close) {
        socket->disconnectFromHost();
        return;
    }

    const bool delimited = response.sendContentLength || response.chunked;
    const bool keepOpen = connection.keepAlive && delimited;
    const qint64 bodySize = response.fillBytes > 0 ? response.fillBytes : response.body.size();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(response.status) + ' '
        + reasonPhrase(response.status) + "\r\n";
    head += "Content-Type: " + response.contentType + "\r\n";
    if (response.chunked)
        head += "Transfer-Encoding: chunked\r\n";
    else if (response.sendContentLength)
        head += "Content-Length: " + QByteArray::number(bodySize) + "\r\n";
    head += keepOpen ? "Connection: keep-alive\r\n" : "Connection: close\r\n";
    for (const auto &field : response.extraHeaders)
        head += field.first + ": " + field.second + "\r\n";
    head += "\r\n";
    socket->write(head);

    connection.sending = response;
    connection.bodySent = 0;
    connection.keepOpen = keepOpen;
    connection.dropNext = response.closeAfter;
    sendBody(socket);
}

// Writes the next pieces of the answer under way: all at once, one per
// trickle tick, or, for a generated body, as far as the socket has drained.
void LoopHttpServer::sendBody(QTcpSocket *socket)
{
    const auto entry = connections.find(socket);
    if (entry == connections.end())
        return;
    Connection &connection = entry->second;
    const Response &response = connection.sending;
    const qint64 size = response.fillBytes > 0 ? response.fillBytes : response.body.size();
    const qint64 piece = qMax(1, response.pieceBytes);
    constexpr qint64 queuedLimit = 256 * 1024;

    while (connection.bodySent < size) {
        if (response.fillBytes > 0 && socket->bytesToWrite() > queuedLimit) {
            connection.draining = true; // resumed from bytesWritten
            return;
        }
        const qint64 length = qMin(piece, size - connection.bodySent);
        const QByteArray bytes = response.fillBytes > 0
            ? QByteArray(int(length), 'x')
            : response.body.mid(int(connection.bodySent), int(length));
        if (response.chunked)
            socket->write(QByteArray::number(length, 16) + "\r\n" + bytes + "\r\n");
        else
            socket->write(bytes);
        connection.bodySent += length;
        if (response.trickleMs > 0 && connection.bodySent < size) {
            QTimer::singleShot(response.trickleMs, socket, [this, socket] { sendBody(socket); });
            return;
        }
    }
    if (response.chunked)
        socket->write("0\r\n\r\n");
    answered(socket);
}

void LoopHttpServer::answered(QTcpSocket *socket)
{
    const auto entry = connections.find(socket);
    if (entry == connections.end())
        return;
    Connection &connection = entry->second;
    connection.sending = Response();
    if (!connection.keepOpen) {
        socket->disconnectFromHost();
        return;
    }
    connection.busy = false;
    if (!connection.buffer.isEmpty())
        QTimer::singleShot(0, socket, [this, socket] { serveNext(socket); });
}

void LoopHttpServer::drop(QTcpSocket *socket)
{
    if (connections.erase(socket) == 0)
        return;
    held.removeAll(socket);
    socket->deleteLater();
}

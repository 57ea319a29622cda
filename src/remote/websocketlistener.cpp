#include "websocketlistener.h"

#include "remotejson.h"
#include "remotelog.h"

#include <QTimer>
#include <QUrlQuery>
#include <QWebSocket>

namespace {

// Compares in a time that does not depend on where the texts differ.
bool sameToken(const QString &given, const QString &expected)
{
    const QByteArray a = given.toUtf8();
    const QByteArray b = expected.toUtf8();
    unsigned char difference = a.size() == b.size() ? 0 : 1;
    for (int i = 0; i < b.size(); ++i)
        difference |= static_cast<unsigned char>((i < a.size() ? a.at(i) : 0) ^ b.at(i));
    return difference == 0;
}

} // namespace

WebSocketListener::WebSocketListener(QObject *parent)
    : QObject(parent)
    , server(QStringLiteral("tarnDeck"), QWebSocketServer::NonSecureMode)
{
    server.setMaxPendingConnections(maxClients);
    server.setHandshakeTimeout(5000);
    connect(&server, &QWebSocketServer::newConnection, this, &WebSocketListener::acceptPending);
}

WebSocketListener::~WebSocketListener()
{
    for (const Client &client : qAsConst(open)) {
        client.socket->disconnect(this);
        client.socket->abort();
        delete client.socket;
    }
}

bool WebSocketListener::listen(const QHostAddress &address, quint16 port, const QString &token,
                               QString *why)
{
    close();
    this->token = token;
    if (server.listen(address, port))
        return true;
    *why = server.errorString();
    return false;
}

void WebSocketListener::close()
{
    server.close();
    const QStringList clients = open.keys();
    for (const QString &client : clients) {
        if (open.contains(client))
            open.value(client).socket->abort();
        end(client);
    }
}

void WebSocketListener::acceptPending()
{
    while (QWebSocket *socket = server.nextPendingConnection()) {
        const QString client
            = remoteClientName("websocket", socket->peerAddress(), socket->peerPort());
        QString why;
        if (!token.isEmpty()
            && !sameToken(QUrlQuery(socket->requestUrl())
                              .queryItemValue(QStringLiteral("token"), QUrl::FullyDecoded),
                          token))
            why = QStringLiteral("it did not give the token (ws://…/?token=…)");
        // Any web page open in a browser on this computer may reach a
        // loopback server: pages are let in only with the token.
        else if (token.isEmpty() && !socket->origin().isEmpty())
            why = QStringLiteral("a web page (%1) is let in only with remoteToken set")
                      .arg(socket->origin().left(100));
        else if (open.size() >= maxClients)
            why = QStringLiteral("%1 WebSocket clients are connected already").arg(maxClients);
        else if (open.contains(client))
            why = QStringLiteral("a client from the same address and port is connected");
        // Every client lives no longer than the listener.
        socket->setParent(this);
        if (!why.isEmpty()) {
            socket->close(QWebSocketProtocol::CloseCodePolicyViolated, why);
            connect(socket, &QWebSocket::disconnected, socket, &QObject::deleteLater);
            // A client that does not answer the close is not waited for.
            QTimer::singleShot(2000, socket, [socket] {
                socket->abort();
                socket->deleteLater();
            });
            emit refused(client, why);
            continue;
        }
        socket->setMaxAllowedIncomingMessageSize(RemoteJson::maxMessage);
        socket->setMaxAllowedIncomingFrameSize(RemoteJson::maxMessage);
        socket->setReadBufferSize(64 * 1024);
        open.insert(client, {socket, 0});
        connect(socket, &QWebSocket::textMessageReceived, this,
                [this, client](const QString &text) { emit message(text.toUtf8(), client); });
        connect(socket, &QWebSocket::binaryMessageReceived, this, [this, client] {
            emit malformed(client, QStringLiteral("a binary message (send JSON as text)"));
        });
        connect(socket, &QWebSocket::bytesWritten, this, [this, client](qint64 written) {
            auto found = open.find(client);
            if (found != open.end())
                found->unsent = qMax<qint64>(0, found->unsent - written);
        });
        connect(socket, &QWebSocket::disconnected, this, [this, client] { end(client); });
        emit clientStarted(client);
    }
}

void WebSocketListener::end(const QString &client)
{
    auto found = open.find(client);
    if (found == open.end())
        return;
    QWebSocket *socket = found->socket;
    open.erase(found);
    socket->disconnect(this);
    socket->deleteLater();
    emit clientEnded(client);
}

void WebSocketListener::send(Client &client, const QString &name, const QByteArray &text)
{
    if (client.unsent + text.size() > maxUnsent) {
        emit refused(name,
                     QStringLiteral("it has not read %1 bytes sent to it").arg(client.unsent));
        client.socket->abort();
        end(name);
        return;
    }
    client.unsent += client.socket->sendTextMessage(QString::fromUtf8(text));
}

void WebSocketListener::sendTo(const QString &client, const QByteArray &text)
{
    auto found = open.find(client);
    if (found != open.end())
        send(*found, client, text);
}

void WebSocketListener::sendToAll(const QByteArray &text)
{
    const QStringList clients = open.keys();
    for (const QString &client : clients)
        sendTo(client, text);
}

// The WebSocket server: JSON text messages in, state and refusals out.
// When a token is set, a client gives it in the URL it opens,
// ws://host:9001/?token=…, and a client without it is closed at once
// (close code 1008). Without a token, web pages (handshakes with an Origin
// header) are refused, so that no page in a browser on this computer can
// drive the cameras. A client may send messages of at most
// RemoteJson::maxMessage bytes (a larger one closes it) and may leave at
// most maxUnsent bytes unread (a client that stops reading is closed).
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <QWebSocketServer>

class QWebSocket;

class WebSocketListener : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxClients = 16;
    static constexpr qint64 maxUnsent = 1024 * 1024;

    explicit WebSocketListener(QObject *parent = nullptr);
    ~WebSocketListener() override;

    // `token` empty: no token asked.
    bool listen(const QHostAddress &address, quint16 port, const QString &token, QString *why);
    // Closes the server and every client (clientEnded() for each).
    void close();
    quint16 port() const { return server.serverPort(); }
    int clients() const { return int(open.size()); }

    void sendTo(const QString &client, const QByteArray &text);
    void sendToAll(const QByteArray &text);

signals:
    // A client passed the token check and may send.
    void clientStarted(const QString &client);
    void message(const QByteArray &text, const QString &client);
    void refused(const QString &client, const QString &why);
    // A message that is no JSON text.
    void malformed(const QString &client, const QString &why);
    void clientEnded(const QString &client);

private:
    struct Client
    {
        QWebSocket *socket = nullptr;
        qint64 unsent = 0;
    };

    void acceptPending();
    void end(const QString &client);
    void send(Client &client, const QString &name, const QByteArray &text);

    QWebSocketServer server;
    QString token;
    QHash<QString, Client> open;
};

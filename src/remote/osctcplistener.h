// OSC over TCP: a server on the listening address whose connections are
// SLIP-decoded (OSC 1.1). A connection from a sender `accepts` refuses, or
// beyond maxConnections, is closed at once and reported.
#pragma once

#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>

#include <functional>

class OscTcpConnection;

class OscTcpListener : public QObject
{
    Q_OBJECT
public:
    static constexpr int maxConnections = 16;

    explicit OscTcpListener(QObject *parent = nullptr);
    ~OscTcpListener() override;

    void setAccept(const std::function<bool(const QHostAddress &)> &accepts);
    bool listen(const QHostAddress &address, quint16 port, QString *why);
    // Closes the server and every connection (clientEnded() for each).
    void close();
    quint16 port() const { return server.serverPort(); }
    int connections() const { return int(open.size()); }

signals:
    void packet(const QByteArray &packet, const QString &client);
    void fault(const QString &client, const QString &why);
    void refused(const QString &client, const QString &why);
    void clientEnded(const QString &client);

private:
    void acceptPending();

    QTcpServer server;
    std::function<bool(const QHostAddress &)> accepts;
    QHash<QString, OscTcpConnection *> open;
};

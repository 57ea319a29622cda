#include "osctcplistener.h"

#include "osctcpconnection.h"
#include "remotelog.h"

#include <QTcpSocket>

OscTcpListener::OscTcpListener(QObject *parent)
    : QObject(parent)
{
    connect(&server, &QTcpServer::newConnection, this, &OscTcpListener::acceptPending);
}

OscTcpListener::~OscTcpListener()
{
    // Connections are children; nobody hears of their end any more.
    for (OscTcpConnection *connection : qAsConst(open))
        connection->disconnect(this);
}

void OscTcpListener::setAccept(const std::function<bool(const QHostAddress &)> &accepts)
{
    this->accepts = accepts;
}

bool OscTcpListener::listen(const QHostAddress &address, quint16 port, QString *why)
{
    close();
    if (server.listen(address, port))
        return true;
    *why = server.errorString();
    return false;
}

void OscTcpListener::close()
{
    server.close();
    const auto connections = open.values();
    for (OscTcpConnection *connection : connections)
        connection->close();
}

void OscTcpListener::acceptPending()
{
    while (QTcpSocket *socket = server.nextPendingConnection()) {
        const QString client
            = remoteClientName("osc-tcp", socket->peerAddress(), socket->peerPort());
        QString why;
        if (accepts && !accepts(socket->peerAddress()))
            why = QStringLiteral("the sender is not in remoteAllow");
        else if (open.size() >= maxConnections)
            why = QStringLiteral("%1 OSC connections are open already").arg(maxConnections);
        else if (open.contains(client))
            why = QStringLiteral("a connection from the same address and port is open");
        if (!why.isEmpty()) {
            socket->abort();
            socket->deleteLater();
            emit refused(client, why);
            continue;
        }
        auto *connection = new OscTcpConnection(socket, client, this);
        open.insert(client, connection);
        connect(connection, &OscTcpConnection::packet, this,
                [this, client](const QByteArray &packet) { emit this->packet(packet, client); });
        connect(connection, &OscTcpConnection::fault, this,
                [this, client](const QString &why) { emit fault(client, why); });
        connect(connection, &OscTcpConnection::ended, this, [this, client, connection] {
            open.remove(client);
            connection->deleteLater();
            emit clientEnded(client);
        });
    }
}

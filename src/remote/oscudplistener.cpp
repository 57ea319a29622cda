#include "oscudplistener.h"

#include "oscpacket.h"

OscUdpListener::OscUdpListener(QObject *parent)
    : QObject(parent)
{
    connect(&socket, &QUdpSocket::readyRead, this, &OscUdpListener::readPending);
}

bool OscUdpListener::listen(const QHostAddress &address, quint16 port, QString *why)
{
    close();
    // Not shared: no other program may bind the same port and read the
    // datagrams meant for this one.
    if (socket.bind(address, port, QAbstractSocket::DontShareAddress))
        return true;
    *why = socket.errorString();
    return false;
}

void OscUdpListener::close()
{
    socket.close();
}

void OscUdpListener::readPending()
{
    QByteArray data;
    for (int read = 0; read < maxReadsPerTurn && socket.hasPendingDatagrams(); ++read) {
        const qint64 size = socket.pendingDatagramSize();
        QHostAddress sender;
        quint16 senderPort = 0;
        if (size < 0 || size > OscPacket::maxPacket) {
            socket.readDatagram(nullptr, 0, &sender, &senderPort);
            emit oversized(size, sender, senderPort);
            continue;
        }
        data.resize(int(size));
        const qint64 got = socket.readDatagram(data.data(), size, &sender, &senderPort);
        if (got < 0)
            break;
        data.resize(int(got));
        emit packet(data, sender, senderPort);
    }
}

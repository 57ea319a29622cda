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
    // One byte more than a packet may have tells a larger datagram (the
    // rest of it is discarded) without asking its size first.
    QByteArray data;
    for (int read = 0; read < maxReadsPerTurn && socket.hasPendingDatagrams(); ++read) {
        data.resize(OscPacket::maxPacket + 1);
        QHostAddress sender;
        quint16 senderPort = 0;
        const qint64 got = socket.readDatagram(data.data(), data.size(), &sender, &senderPort);
        if (got < 0)
            break;
        if (got > OscPacket::maxPacket) {
            emit oversized(sender, senderPort);
            continue;
        }
        data.resize(int(got));
        emit packet(data, sender, senderPort);
    }
}

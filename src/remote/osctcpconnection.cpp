#include "osctcpconnection.h"

#include <QTcpSocket>

OscTcpConnection::OscTcpConnection(QTcpSocket *socket, const QString &client, QObject *parent)
    : QObject(parent)
    , socket(socket)
    , name(client)
{
    socket->setParent(this);
    socket->setReadBufferSize(readBuffer);
    connect(socket, &QTcpSocket::readyRead, this, &OscTcpConnection::readAvailable);
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        if (!over) {
            over = true;
            emit ended();
        }
    });
    // Bytes that came with the connection.
    if (socket->bytesAvailable() > 0)
        QMetaObject::invokeMethod(this, &OscTcpConnection::readAvailable, Qt::QueuedConnection);
}

void OscTcpConnection::close()
{
    socket->abort();
    if (!over) {
        over = true;
        emit ended();
    }
}

void OscTcpConnection::readAvailable()
{
    char chunk[4096];
    while (!over && socket->bytesAvailable() > 0) {
        const qint64 got = socket->read(chunk, sizeof chunk);
        if (got <= 0)
            break;
        decoder.feed(chunk, int(got), [this](const QByteArray &data, SlipDecoder::Fault fault) {
            if (over)
                return;
            if (fault == SlipDecoder::Fault::None)
                emit packet(data);
            else if (fault == SlipDecoder::Fault::TooLong)
                emit this->fault(
                    QStringLiteral("a packet longer than %1 bytes (is the sender set to OSC "
                                   "1.1, SLIP framing?)")
                        .arg(SlipDecoder::maxPacket));
            else
                emit this->fault(QStringLiteral("a SLIP escape byte before neither DC nor DD"));
        });
    }
}

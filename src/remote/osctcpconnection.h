// One OSC client over TCP: its stream SLIP-decoded into packets. The socket
// keeps at most readBuffer bytes the event loop has not handed over, and
// the decoder at most one packet: a client that sends faster than it is
// read waits in its own TCP window.
#pragma once

#include "slipdecoder.h"

#include <QObject>
#include <QString>

class QTcpSocket;

class OscTcpConnection : public QObject
{
    Q_OBJECT
public:
    static constexpr qint64 readBuffer = 64 * 1024;

    // Takes `socket` over (it becomes this object's child).
    OscTcpConnection(QTcpSocket *socket, const QString &client, QObject *parent = nullptr);

    const QString &client() const { return name; }
    // Closes the connection; ended() follows.
    void close();

signals:
    void packet(const QByteArray &packet);
    // A packet dropped by the framing, and why.
    void fault(const QString &why);
    void ended();

private:
    void readAvailable();

    QTcpSocket *socket;
    QString name;
    SlipDecoder decoder;
    bool over = false;
};

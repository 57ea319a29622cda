// Where the window's camera packets go: one small interface, one
// implementation per route (serial port, encoder, network camera). The
// window asks the route owner (routeowner.h) which route carries commands
// and hands the packet over; it never works the route out from widget
// states.
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class PacketRoute : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // Sends one packet: commandText is its hex text, request the operator's
    // command it belongs to ("zoom,3"). Returns what the route reports as
    // handed over: bytes written, 1 for a packet handed over (it may wait
    // for the route), 0 or -1 for none.
    virtual int sendPacket(const QString &commandText, const QByteArray &bytes,
                           const QString &request)
        = 0;
    // False where no lamp (device 2) can be reached.
    virtual bool carriesLamp() const { return true; }
    // Still carrying an earlier packet or request: the next one waits.
    virtual bool busy() const { return false; }
    // Forgets the packets still waiting (the route is left).
    virtual void dropWaiting() { }
    // Why the packet sendPacket handled last did not leave, in the
    // operator's words; empty when it left or nothing was tried.
    const QString &failure() const { return lastFailure; }

signals:
    // A packet handed over earlier did not leave, or the far end refused it.
    void packetFailed(const QString &request, const QString &reason);
    // The far end took a packet handed over earlier.
    void packetAnswered(const QString &request);
    // Something about the line the operator must see ("camera sends
    // unreadable data", "Waiting: zoom,0 – serial line blocked").
    void trouble(const QString &text);

protected:
    QString lastFailure;
};

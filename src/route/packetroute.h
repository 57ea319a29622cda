// Where the window's camera packets go: one small interface, one
// implementation per route (serial port, encoder, network camera), and the
// one owner that knows which route is up. The window asks the owner and
// hands the packet over; it never works the route out from widget states.
#pragma once

#include <QByteArray>
#include <QString>

class PacketRoute
{
public:
    virtual ~PacketRoute() = default;

    // Sends one packet: commandText is its hex text, request the operator's
    // command it belongs to ("zoom,3"). Returns what the route reports as
    // sent: bytes written, 1 for a packet handed over, 0 or -1 for none.
    virtual int sendPacket(const QString &commandText, const QByteArray &bytes,
                           const QString &request)
        = 0;
    // False where no lamp (device 2) can be reached.
    virtual bool carriesLamp() const { return true; }
    // Still carrying an earlier packet or request: the next one waits.
    virtual bool busy() const { return false; }
    // Why the packet sendPacket handled last did not leave, in the
    // operator's words; empty when it left or nothing was tried.
    const QString &failure() const { return lastFailure; }

protected:
    QString lastFailure;
};

// Which route is up: none until the operator chooses one.
class RouteOwner
{
public:
    PacketRoute *up() const { return current; }
    bool isUp(const PacketRoute *route) const { return current && current == route; }
    void choose(PacketRoute *route) { current = route; }
    void clear() { current = nullptr; }

private:
    PacketRoute *current = nullptr;
};

// The one owner of which route is chosen and whether it has connected. A
// route carries camera commands only once it has connected: a chosen route
// whose connect failed, or has not been tried, sends nothing.
#pragma once

class PacketRoute;

class RouteOwner
{
public:
    PacketRoute *chosen() const { return current; }
    bool isChosen(const PacketRoute *route) const { return current && current == route; }
    // The route that carries camera commands now, or none.
    PacketRoute *carrier() const { return connectedNow ? current : nullptr; }
    bool isConnected(const PacketRoute *route) const { return connectedNow && isChosen(route); }

    // A newly chosen route has not connected yet.
    void choose(PacketRoute *route)
    {
        current = route;
        connectedNow = false;
    }
    void setConnected(bool connected) { connectedNow = connected && current; }
    void clear()
    {
        current = nullptr;
        connectedNow = false;
    }

private:
    PacketRoute *current = nullptr;
    bool connectedNow = false;
};

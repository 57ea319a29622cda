// What the operator set up for one camera: its name and its route with the
// route's parameters. Plain values; the camera holds its own, the store keeps
// them (camerarecords.h), the editor changes a copy.
#pragma once

#include "viscaipframing.h"

#include <QString>

// How a camera is reached. None: not chosen yet (camera 1 until the operator
// picks a route from "&Connect").
enum class CameraRoute { None, Serial, Encoder, Network };

struct CameraConfig
{
    // Names longer than this are cut in the editor; the strip shows a
    // stored longer one shortened, whole in its tooltip.
    static constexpr int kMaxNameLength = 32;

    QString name; // may be empty: "Camera N" is shown
    CameraRoute route = CameraRoute::None;
    ViscaIp::Protocol protocol = ViscaIp::Protocol::Udp; // of a network camera
    QString serialPort;                                  // a port name ("ttyUSB0") or a device path
    int viscaAddress = 1; // 1 ... 7, on a serial line or behind an encoder
    int lampAddress = 0;  // the lamp on the same line, 1 ... 7; 0: none
    bool connectAtStart = false;
    // The camera's own tally lamp (VISCA 01 7E 01 0A): lit while the camera
    // is on program. Off for a camera that has none or takes other bytes.
    bool tallyLamp = true;
    // On program, the camera refuses moves of remote clients (the operator's
    // own controls still move it).
    bool liveLockout = false;
    QString encoderAddress; // host[:port] of the encoder
    QString networkAddress; // host[:port] of a network camera

    // The address of its route: the encoder's or the network camera's.
    QString routeAddress() const
    {
        return route == CameraRoute::Encoder ? encoderAddress : networkAddress;
    }

    // The name as the strip and the title show it for camera `number`.
    QString shownName(int number) const;

    // The store's word for the route: "serial", "encoder", "udp", "tcp";
    // empty for None. routeFromKey() reads it back (None for anything else,
    // and *known false unless the text was empty or a word of the four).
    QString routeKey() const;
    static CameraRoute routeFromKey(const QString &key, ViscaIp::Protocol *protocol,
                                    bool *known = nullptr);
    // As the editor and the tooltips name it: "serial line", "ACTi encoder",
    // "network camera (UDP)", "network camera (TCP)", "chosen from Connect".
    QString routeWords() const;

    bool operator==(const CameraConfig &other) const;
    bool operator!=(const CameraConfig &other) const { return !(*this == other); }
};

// The cameras as the settings store keeps them. Camera 1 is the camera of
// the keys every earlier version wrote (actiIP, viscaIpAddress,
// viscaIpProtocol; the serial parameters and the encoder's log-in belong to
// the program); what it lacks, and cameras 2 ... N, are one array:
//
//   [cameras]
//   size=3
//   1\name=Stage left          2\name=Pulpit     ...
//   1\route=serial             2\route=udp       (serial, encoder, udp, tcp)
//   1\serialPort=/dev/ttyUSB0  2\address=192.168.0.91:52381
//   1\viscaAddress=1           (1 ... 7: serial and encoder)
//   1\lampAddress=3            (0: none, else 1 ... 7)
//   1\connectAtStart=true
//   1\tallyLamp=false          (the camera has no tally lamp; true when absent)
//   1\liveLockout=true         (on program, remote clients cannot move it)
//
// Camera 1's address is never in the array (actiIP or viscaIpAddress hold
// it), and a network camera 1's protocol is viscaIpProtocol. A store
// without the array is one camera, read and written exactly as before.
// Writing changes only values that differ from what the store gives back,
// so a store nobody edited is written back as it was read.
//
// Plain functions over a QSettings: no window, no camera objects.
#pragma once

#include "cameraconfig.h"

#include <QList>
#include <QSettings>
#include <QStringList>

namespace CameraRecords {

// The most cameras the list holds (and the strip lays out); entries of the
// array beyond it are left in the store, unused.
constexpr int kMaxCameras = 20;

struct Read
{
    QList<CameraConfig> cameras; // camera 1 first; never empty
    bool listed = false;         // the store holds the array
    // Values that could not be used, in the operator's words ("camera 2:
    // viscaAddress 9 is not 1 ... 7, 1 used"); each also logged.
    QStringList problems;
};

// Camera 1's values where the store has none: the panel's own texts for
// the encoder's and the network camera's address, the lamp at address 2.
CameraConfig firstCameraDefaults(const QString &encoderAddress, const QString &networkAddress);

Read read(const QSettings &settings, const CameraConfig &firstDefaults);

// Writes camera 1's keys (as every version writes them at close) and, when
// `listed`, the array; `firstDefaults` as given to read().
void write(QSettings &settings, const QList<CameraConfig> &cameras, bool listed,
           const CameraConfig &firstDefaults);

} // namespace CameraRecords

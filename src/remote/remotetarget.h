// What remote control drives: the program's cameras, numbered from 1, and
// the selection among them. The program implements this over its camera
// list; remote control calls it on the thread it lives on, once for every
// command it takes, and never for a message it refused or a repeat it only
// counted as a renewal.
//
// `client` names who sent the command ("osc-udp 127.0.0.1:53012",
// "osc-tcp 127.0.0.1:53020", "websocket 127.0.0.1:53100"): the camera side
// ranks a remote move below the operator's own controls with it, keeps a
// camera on program locked against it, and may show it in the log.
//
// Every operation but stopAll() returns an empty string when the camera took
// it, else why not in the operator's words ("camera 2 is on program and
// locked"); the refusal goes back to a WebSocket client and into the log,
// and a refused move is not held by remote control.
#pragma once

#include <QJsonObject>
#include <QObject>
#include <QString>

// The axes a remote move drives; a remote move of one axis of one camera
// has one owner at a time.
enum class RemoteAxis { Zoom, Focus, PanTilt };

enum class RemoteTally { Off, Preview, Program };

class RemoteTarget : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;

    virtual int cameraCount() const = 0;
    // 1 … cameraCount(), 0 when there is no camera.
    virtual int selectedCamera() const = 0;

    // Rates -8 … 8 as on the panel's sliders: positive drives tele / far,
    // negative wide / near, 0 stops.
    virtual QString zoom(int camera, int rate, const QString &client) = 0;
    virtual QString focus(int camera, int rate, const QString &client) = 0;
    // true: auto focus, false: manual.
    virtual QString setFocusAuto(int camera, bool on, const QString &client) = 0;
    // Fractions of the camera's top speed, each -1 … 1: positive pans right
    // and tilts up; 0, 0 stops.
    virtual QString panTilt(int camera, double pan, double tilt, const QString &client) = 0;
    // Presets 1 … 127 (preset n is camera memory n - 1). Remote control
    // stops its own moves of the camera before it asks for a recall.
    virtual QString recallPreset(int camera, int preset, const QString &client) = 0;
    virtual QString storePreset(int camera, int preset, const QString &client) = 0;
    virtual QString setTally(int camera, RemoteTally tally, const QString &client) = 0;
    virtual QString select(int camera, const QString &client) = 0;
    // Stops every move of every camera at once, whoever started it.
    virtual void stopAll(const QString &client) = 0;

    // Everything a WebSocket client is shown (selected camera, each camera's
    // health, last command and failure, presets and their names, tally). It
    // is sent whole when a client connects and again after stateChanged().
    virtual QJsonObject state() const = 0;

signals:
    // Something in state() changed; several changes in one turn of the event
    // loop are sent once.
    void stateChanged();
    // The camera ended a remote move on its own: the operator's own control
    // took the axis, the camera went on program under the lockout, its link
    // failed. Remote control forgets the move, so no later lease or release
    // sends a stop that would end the operator's move.
    void remoteMoveEnded(int camera, RemoteAxis axis);
};

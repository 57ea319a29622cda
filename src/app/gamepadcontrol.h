// The gamepad as the program runs it, with one owner (the window holds it
// beside the cameras): it reads the pad's settings from the store, drives
// the current camera with the pad's operations, opens the pad's settings
// dialog, and says on the status line which pad is in use and which camera
// it drives.
//
// - The pad acts on the camera itself, not through the window's widgets: it
//   keeps driving while the window is in the background when the operator
//   allows it (gamepad/background), and the window losing activation, which
//   stops what keys and pointer started, leaves the pad's moves alone.
// - Pan-tilt in VISCA speed steps (pan 1 ... 24, tilt 1 ... 20), zoom and
//   focus as the sliders' rates (1 ... 8, VISCA speeds 0 ... 7).
// - A control at rest stops only a move of the pad's own: once another mover
//   (the window's pad, a slider) has asked for an axis since, the pad's rest
//   leaves it to that mover.
// - A focus move from rest sets manual focus first, as the window's focus
//   slider does.
// - The face buttons recall presets of the selected camera (A, B, X, Y:
//   presets 1 ... 4 by default); the camera stops what runs before the
//   recall.
// - The shoulder buttons select the previous / next camera of the list.
// - Another camera selected (by any means): the moves the pad runs stop on
//   the camera being left, their stops handed to its link before the new
//   camera hears anything; a control still deflected then drives the new
//   camera only once it has been back at rest.
// - Fail-safe: the pad unplugged, pad input switched off, shutDown() (the
//   program closes) or this object destroyed: every move the pad left
//   running is stopped on its camera at once, while the camera's route
//   still carries the stop.
#pragma once

#include "camerastate.h"
#include "gamepad.h"

#include <QObject>
#include <QPointer>
#include <QString>

class Camera;
class CameraList;
class GamepadDialog;
class QSettings;
class QWidget;

class GamepadControl : public QObject
{
    Q_OBJECT

public:
    // `store` is written (on the dialog's accept) only when `storeWritable`.
    GamepadControl(CameraList &cameras, QSettings &store, bool storeWritable,
                   QObject *parent = nullptr);
    // Stops the pad's moves first (see shutDown()).
    ~GamepadControl() override;

    // Reads gamepad/ from the store and applies it: with pad input off SDL
    // is not started. A value that cannot be used is said on the status
    // line (and logged).
    void start();
    // The pad's settings dialog, opened without waiting for it (an open one
    // is raised); accepted, its settings are applied and stored.
    void openDialog(QWidget *parent);
    // Applies settings as the dialog gives them, and stores them.
    void apply(const PadSettings &settings);
    // The program closes: the pad's moves stop now, their stops handed to
    // the routes before those close, and SDL quits. The store keeps the
    // operator's choice.
    void shutDown();
    // The camera the pad drives is the camera list's current one; the list's
    // currentChanged() calls it, before anything reaches the new camera.
    void followCurrentCamera();

    Gamepad &gamepad() { return pad; }
    // The camera the pad drives.
    Camera *drivenCamera() const;
    // What the pad last said on the status line, and whether as a failure.
    const QString &statusText() const { return said; }
    bool statusFailed() const { return saidFailed; }

signals:
    void status(const QString &text, bool failed);

private:
    void panTilt(int pan, int tilt);
    void zoom(int rate);
    void focus(int rate);
    void focusAuto();
    void stopOn(Camera *camera);
    void padChanged(const QString &name);
    void padGone();
    void say(const QString &text, bool failed = false);
    QString cameraName(Camera *camera) const;

    CameraList &cameras;
    QSettings &store;
    const bool storeWritable;
    QPointer<Camera> driven;
    // The rates the pad last asked of the driven camera (0: none running).
    int zoomRate = 0;
    // The pad's pan-tilt runs (another mover's, a remote client's, is not
    // the pad's to stop).
    bool panTiltRunning = false;
    int focusRate = 0;
    // The movements still deflected when the camera changed: ignored until
    // they have been at rest.
    PadDrive untilRest;
    QString padName;
    QString said;
    bool saidFailed = false;
    QPointer<GamepadDialog> dialog;
    // Last: destroyed first, while everything its stops reach still exists.
    Gamepad pad;
};

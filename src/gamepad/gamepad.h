// The gamepad as the rest of the program sees it: operations that move or
// set a camera, with no knowledge of which camera (the owner connects them).
//
// - Only changes are signalled, each the newest speed of its movement: a
//   pump that carries many axis events ends in at most one signal per
//   movement. A stick at rest gives exactly one stop.
// - A stick held still keeps driving: SDL reports changes only, and silence
//   is not a fault.
// - Fail-safe: the pad unplugged, pad input switched off, the pad deaf
//   because another window came to the front (background off), or the
//   gamepad destroyed: every movement the pad left running is stopped at
//   once (a signal with 0).
// - Pad input is off until switched on; while off, SDL is not even started.
#pragma once

#include "padinput.h"
#include "padmixer.h"
#include "padsettings.h"

#include <QObject>
#include <QString>

class Gamepad : public QObject
{
    Q_OBJECT

public:
    explicit Gamepad(QObject *parent = nullptr);
    // Stops what the pad moved (its signals go out here), then quits SDL.
    ~Gamepad() override;

    // Pad input on or off, the background choice and the layout.
    void apply(const PadSettings &settings);
    PadSettings settings() const { return chosen; }
    // The camera's ranges (the tops of the movements).
    void setLimits(const PadLimits &limits);

    // Whether pad input is on (SDL started).
    bool isEnabled() const { return input.isRunning(); }
    // The pad in use, empty when none.
    QString padName() const { return input.padName(); }
    // The speeds the signals last gave.
    PadDrive drive() const { return told; }
    // The pump's period in ms: 2 with a pad open, 100 without, 0 when off.
    int pumpInterval() const { return input.interval(); }

public slots:
    void setEnabled(bool on);
    // Whether the pad keeps working while another program's window is in
    // front. Without it, the pad is deaf (its movements stopped) while no
    // window of this program is active, and drives again on return.
    void setBackgroundAllowed(bool allowed);
    void setLayout(const PadLayout &layout);
    // Says again every movement that runs, for operations that now reach
    // something else (another camera).
    void restate();

signals:
    // Signed speeds: pan > 0 right, tilt > 0 up, 1 ... the pan and tilt
    // tops; 0 holds the axis. panTilt(0, 0) is the stop.
    void panTilt(int panSpeed, int tiltSpeed);
    // Rates as the window's sliders give them: > 0 in (tele) / far, < 0 out
    // (wide) / near, 1 ... 8; 0 stops.
    void zoom(int rate);
    void focus(int rate);
    void focusAuto();
    // -1 the previous camera, +1 the next.
    void selectCamera(int delta);
    // Preset n, 1 ... 127.
    void recallPreset(int n);
    // The pad now in use (its name for the status line), or none any more.
    void padChanged(const QString &name);
    void padGone();
    // Pad input could not be switched on, in the operator's words.
    void problem(const QString &text);

private:
    void controlChanged(Pad::Control control, int value);
    void padClosed();
    void flush();
    bool listening() const;
    PadDrive wanted() const;

    // A child (found as "padInput"), destroyed with the members.
    PadInput input;
    PadMixer mixer;
    PadSettings chosen;
    PadDrive told;
    bool foreground = true;
    bool closing = false;
};

// Game controllers through SDL2: starts SDL's game-controller subsystem only
// while pad input is on, pumps it from a timer (SDL offers no descriptor to
// wait on), opens one pad and reports its controls' changes.
//
// - Pump rates: every 2 ms (500 Hz) while a pad is open, so a move waits
//   about 1 ms for the pump (median; at 250 Hz it is 2 ms), and every 100 ms
//   (10 Hz) while none is; a pad plugged in is seen within one slow period.
// - Hot-plug: the pad plugged in last is the one used, at once; when it goes
//   away, another pad still present takes over.
// - SDL reports changes only: a control held still reports nothing until it
//   moves again.
// - SDL's own signal handlers stay off: SIGINT and SIGTERM remain the
//   program's.
#pragma once

#include "padlayout.h"

#include <QObject>
#include <QString>
#include <QTimer>

struct _SDL_GameController;

class PadInput : public QObject
{
    Q_OBJECT

public:
    static constexpr int openInterval = 2;     // ms, while a pad is open
    static constexpr int searchInterval = 100; // ms, while none is

    explicit PadInput(QObject *parent = nullptr);
    // Quits SDL without signals: the owner stops what the pad moved first.
    ~PadInput() override;

    // Starts SDL and the pump; pads already plugged in are reported at once.
    // False with the reason when SDL cannot start.
    bool start(QString *error);
    // Closes the pad (closed()) and quits SDL.
    void stop();
    bool isRunning() const { return running; }

    // SDL's hint that joystick events keep coming while another window has
    // the keyboard (it matters where SDL has windows of its own).
    void setBackgroundEvents(bool allowed);

    // The open pad's name, empty when none is open.
    QString padName() const { return name; }
    // The pump's period in ms, 0 while stopped.
    int interval() const { return running ? timer.interval() : 0; }

signals:
    void opened(const QString &name);
    void closed(const QString &name);
    // A control of the open pad changed: axes -32768 ... 32767 (triggers
    // 0 ... 32767), buttons 0 or 1.
    void changed(Pad::Control control, int value);
    // A pump that carried changes of the open pad is complete.
    void pumped();

private:
    void pump();
    void openPad(int instanceId);
    void closePad();
    void reportState(bool buttons);
    int newestPresent(int except) const;

    QTimer timer;
    bool running = false;
    bool background = true;
    _SDL_GameController *pad = nullptr;
    int padId = -1;
    int wanted = -1; // a pad that arrived during this pump
    QString name;
};

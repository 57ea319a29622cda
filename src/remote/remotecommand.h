// The remote address space, one table for OSC and the WebSocket alike:
//
//   /tarndeck/camera/N/zoom            rate -8 … 8 (0 releases)
//   /tarndeck/camera/N/focus           rate -8 … 8 (0 releases)
//   /tarndeck/camera/N/focus/auto      [on]: 1 or none auto, 0 manual
//   /tarndeck/camera/N/pantilt         pan tilt, each -1.0 … 1.0 (0 0 releases)
//   /tarndeck/camera/N/preset/recall   n 1 … 127
//   /tarndeck/camera/N/preset/store    n 1 … 127
//   /tarndeck/camera/N/tally           program | preview | off
//   /tarndeck/camera/N/stop            stops the camera's zoom, focus, pan-tilt
//   /tarndeck/selected/…               the same for the selected camera
//   /tarndeck/select                   N
//   /tarndeck/select/next, /tarndeck/select/previous
//   /tarndeck/stop                     stops every camera
//
// Numbers may be int or float: rates are rounded, fractions kept, preset
// and camera numbers must be whole. parseRemoteCommand() checks the address
// and the arguments' count, types and ranges; whether camera N exists is
// the dispatcher's to check.
#pragma once

#include "remotemessage.h"
#include "remotetarget.h"

#include <QString>

struct RemoteCommand
{
    enum class Op {
        Zoom,
        Focus,
        FocusAuto,
        PanTilt,
        RecallPreset,
        StorePreset,
        Tally,
        StopCamera,
        Select,
        SelectNext,
        SelectPrevious,
        StopAll
    };

    static constexpr int maxCamera = 99;
    static constexpr int maxRate = 8;
    static constexpr int maxPreset = 127;

    Op op = Op::StopAll;
    // 1 … maxCamera, or 0 for the camera selected when the command runs.
    int camera = 0;
    // The rate, the preset or the camera to select.
    int value = 0;
    double pan = 0;
    double tilt = 0;
    bool on = true;
    RemoteTally tally = RemoteTally::Off;

    bool isMove() const { return op == Op::Zoom || op == Op::Focus || op == Op::PanTilt; }
    // Meaningful for moves only.
    RemoteAxis axis() const;
    bool isRelease() const { return op == Op::PanTilt ? pan == 0 && tilt == 0 : value == 0; }
};

// The command `message` asks for, or false and why not.
bool parseRemoteCommand(const RemoteMessage &message, RemoteCommand *command, QString *why);

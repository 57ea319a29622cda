// A camera's state as the panels show it: what the operator last asked of
// it, kept by the camera itself so that any view can draw it (and a camera
// switched to shows its own). Plain values; Unknown where nothing was asked
// since the camera was connected.
#pragma once

enum class FocusMode { Unknown, Auto, Trigger, Manual };
enum class WhiteBalance { Unknown, Auto, Lamp2700K, Indoor3200K, Outdoor5800K };
enum class Exposure {
    Unknown,
    Auto,        // compensation reset and off
    Compensated, // stepped brighter or darker
};

struct CameraState
{
    FocusMode focus = FocusMode::Unknown;
    WhiteBalance whiteBalance = WhiteBalance::Unknown;
    Exposure exposure = Exposure::Unknown;
    bool wdr = false;
    bool lampOff = false; // the lamp was sent down to off
    int lampDrive = 0;    // +1 up, -1 down, 0 at rest
    int zoomRate = 0;     // -8 ... 8, 0 at rest
    int focusRate = 0;    // -8 ... 8, 0 at rest
    // The selected memory: the "Camera profiles" menu's profile 0 ... 9 and
    // the preset grid's preset 1 ... 127 share it (preset n is memory
    // n - 1); -1 none.
    int profile = -1;
};

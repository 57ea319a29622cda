// The pad's settings in the settings store: whether pad input is on, whether
// the pad keeps working while another program's window is in front, and the
// layout. Plain values only (words, numbers, true/false), below "gamepad/":
//
//   gamepad/enabled                   false   pad input on (SDL is started only then)
//   gamepad/background                true    the pad works while another window is in front
//   gamepad/axes/<axis>/drives        pan, tilt, zoom, focus or none
//   gamepad/axes/<axis>/invert        true or false
//   gamepad/axes/<axis>/deadZone      0 ... 50 (per cent of the travel)
//   gamepad/axes/<axis>/curve         1.0 ... 3.0 (the response curve's exponent)
//   gamepad/axes/<axis>/topSpeed      0 (the camera's top) or 1 ... the camera's top
//   gamepad/buttons/<button>          none, panLeft, panRight, tiltUp, tiltDown, zoomIn,
//                                     zoomOut, focusNear, focusFar, focusAuto,
//                                     previousCamera, nextCamera, preset1 ... preset127
//
// <axis> and <button> are the names of the layout table (leftX, rightTrigger,
// a, dpadUp, ...). A key that is missing keeps its default; a value that
// cannot be used keeps the default too (a number out of range is brought
// into range) and is named in the complaints.
#pragma once

#include "padlayout.h"

#include <QSettings>
#include <QStringList>

struct PadSettings
{
    bool enabled = false;
    bool background = true;
    PadLayout layout;

    static PadSettings load(QSettings &settings, QStringList *complaints = nullptr);
    void save(QSettings &settings) const;

    bool operator==(const PadSettings &o) const
    {
        return enabled == o.enabled && background == o.background && layout == o.layout;
    }
    bool operator!=(const PadSettings &o) const { return !(*this == o); }
};

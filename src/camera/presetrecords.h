// The presets of the cameras as the settings store keeps them, beside the
// cameras' own keys under the same array ("cameras", entry N = camera N,
// entry 1 = camera 1), each value only where the operator set one:
//
//   [cameras]
//   1\presetCount=24                (1 ... 127; 16 when absent)
//   1\recallSpeedForm=per-preset    (none, per-preset, global; none when absent)
//   1\presetOrder="3,1,2"           (the grid's order; 1, 2, 3 ... when absent)
//   1\presets\3\name=Pulpit         (preset 3, camera memory 2)
//   1\presets\3\recallSpeed=12      (1 ... 24)
//
// Only these keys are read or written here: the array's size and the
// cameras' other keys are left as they are. Writing changes only values that
// differ from what the store gives back, so a store nobody edited is never
// rewritten.
//
// Plain functions over a QSettings: no window, no camera objects.
#pragma once

#include "presetbook.h"

#include <QSettings>
#include <QStringList>

namespace PresetRecords {

// Camera `number`'s presets (1 = the first camera). Values that cannot be
// used are left out (or clamped), each said in *problems and logged (not
// said at all without `problems`).
PresetBook read(const QSettings &settings, int number, QStringList *problems = nullptr);

// Writes what differs between `book` and what the store holds for camera
// `number` now.
void write(QSettings &settings, int number, const PresetBook &book);

} // namespace PresetRecords

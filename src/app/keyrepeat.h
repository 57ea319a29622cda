// Asks the windowing system for auto-repeats the panel can recognise.
#pragma once

#include "heldkeys.h"

// On X11: asks the server for detectable auto-repeat on the application's
// own connection (repeats then arrive as presses without the fake releases)
// and tells whether it agreed. Elsewhere the toolkit's flag is used.
RepeatSource requestDetectableAutoRepeat();

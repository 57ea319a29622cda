// Desktop composition decides the widget style: without it the platform's
// own style looks dated, so the program switches to "fusion".
#pragma once

enum class DesktopComposition { Enabled, Disabled, Unknown };

// Asks the window manager whether desktop composition is on. Only Windows
// has such a facility; everywhere else the answer is Unknown.
DesktopComposition desktopComposition();

// The style to set for a composition state, or an empty name to keep the
// platform's default.
const char *styleForComposition(DesktopComposition state);

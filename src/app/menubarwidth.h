// How wide a menu bar must be to show every visible menu title, so that none
// of them hides behind the overflow button.
#pragma once

class QMenuBar;

// The width the bar's visible titles take side by side in the bar's style
// and font, margins and frame included.
int menuBarFullWidth(const QMenuBar *bar);

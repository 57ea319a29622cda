// The application icon, shared by the panel and the simulator.
#pragma once

#include <QIcon>

// The window icon, for QApplication::setWindowIcon(): the sizes title bars,
// task bars and window switchers draw it at (16 to 64 pixels). Launchers
// take the larger sizes (to 256 pixels) from the installed icon theme
// through the desktop entry; decoding them at every start would only delay
// the first window.
QIcon applicationIcon();

// The application icon, shared by the panel and the simulator.
#pragma once

#include <QIcon>

// The icon at every size the hicolor theme installs (16 to 256 pixels), for
// QApplication::setWindowIcon().
QIcon applicationIcon();

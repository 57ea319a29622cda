// How the program starts: what must be set before the application object
// exists, and what is set on it before the first window. The entry point and
// the benchmarks that start the window the way the program does share it.
#pragma once

#include <QByteArray>
#include <QString>

// High-DPI attributes; no polling of the network interfaces (only the
// encoder route uses the network, and it needs no bearer state); no OpenGL
// on X11, where nothing of the panel draws with it; no session bus started
// where there is none.
void prepareApplication();

// Whether the D-Bus library would start a session bus of its own (fork and
// run dbus-launch, which leaves a bus daemon behind) for a program asking
// for one: no bus address is set and none waits in the runtime folder.
bool wouldAutolaunchSessionBus(const QByteArray &busAddress, const QString &runtimeFolder);

// Identity, window icon, desktop entry name, the widget style, and the
// pixmap cache emptied once repaints stop.
void setUpApplication();

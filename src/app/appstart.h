// How the program starts: what must be set before the application object
// exists, and what is set on it before the first window. The entry point and
// the benchmarks that start the window the way the program does share it.
#pragma once

// High-DPI attributes; no polling of the network interfaces (only the
// encoder route uses the network, and it needs no bearer state); no OpenGL
// on X11, where nothing of the panel draws with it.
void prepareApplication();

// Identity, window icon, desktop entry name and the widget style.
void setUpApplication();

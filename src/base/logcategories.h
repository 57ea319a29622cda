// Logging categories, one per subsystem. Debug lines (command traffic and
// diagnostics) are off by default; switch them on without a rebuild, e.g.
//   QT_LOGGING_RULES="tarndeck.*.debug=true"
// Info and warning lines are always on.
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcApp)     // start-up, window lifecycle
Q_DECLARE_LOGGING_CATEGORY(lcSerial)  // port menu, port open/close, parameters
Q_DECLARE_LOGGING_CATEGORY(lcCamera)  // command vocabulary and transport
Q_DECLARE_LOGGING_CATEGORY(lcPtPad)   // pan-tilt pad
Q_DECLARE_LOGGING_CATEGORY(lcActi)    // encoder link and HTTP requests
Q_DECLARE_LOGGING_CATEGORY(lcViscaIp) // network camera link

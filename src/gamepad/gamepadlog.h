// The gamepad's logging category: which pad is used, pads that come and go,
// settings it could not use. Debug lines (every operation the pad asks for)
// are off by default: QT_LOGGING_RULES="tarndeck.gamepad.debug=true".
#pragma once

#include <QLoggingCategory>

Q_DECLARE_LOGGING_CATEGORY(lcGamepad)

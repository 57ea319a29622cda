#include "gamepadlog.h"

Q_LOGGING_CATEGORY(lcGamepad, "tarndeck.gamepad", QtInfoMsg)

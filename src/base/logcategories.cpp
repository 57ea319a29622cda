#include "logcategories.h"

Q_LOGGING_CATEGORY(lcApp, "tarndeck.app", QtInfoMsg)
Q_LOGGING_CATEGORY(lcSerial, "tarndeck.serial", QtInfoMsg)
Q_LOGGING_CATEGORY(lcCamera, "tarndeck.camera", QtInfoMsg)
Q_LOGGING_CATEGORY(lcPtPad, "tarndeck.ptpad", QtInfoMsg)
Q_LOGGING_CATEGORY(lcActi, "tarndeck.acti", QtInfoMsg)
Q_LOGGING_CATEGORY(lcViscaIp, "tarndeck.viscaip", QtInfoMsg)

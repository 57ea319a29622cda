// The encoder's answer to one request of ACTIINFO: the request goes at once
// and is judged later, so the test lets the event loop run until then.
#pragma once

#include "actiinfo.h"

#include <QSignalSpy>

// `sent`: what the request call returned. True when the request went and
// the encoder's answer was accepted.
inline bool encoderAccepted(ACTIINFO &info, bool sent)
{
    if (!sent)
        return false;
    QSignalSpy answered(&info, &ACTIINFO::answered);
    return answered.wait(MYHTTP::defaultTimeoutMs + 5000) && answered.at(0).at(0).toBool();
}

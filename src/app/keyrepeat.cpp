#include "keyrepeat.h"

#include "logcategories.h"

#ifdef TARNDECK_HAVE_X11
#include <QX11Info>

#include <X11/XKBlib.h>
#endif

RepeatSource requestDetectableAutoRepeat()
{
#ifdef TARNDECK_HAVE_X11
    if (QX11Info::isPlatformX11() && QX11Info::display()) {
        Bool supported = False;
        XkbSetDetectableAutoRepeat(QX11Info::display(), True, &supported);
        if (supported)
            return RepeatSource::Detectable;
        qCWarning(lcApp) << "X server refused detectable auto-repeat; pairing releases "
                            "with presses instead";
        return RepeatSource::Paired;
    }
#endif
    return RepeatSource::Toolkit;
}

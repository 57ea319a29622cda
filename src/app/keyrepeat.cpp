#include "keyrepeat.h"

#include "logcategories.h"

#ifdef TARNDECK_HAVE_X11
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
#include <QGuiApplication>
#else
#include <QX11Info>
#endif

#include <X11/XKBlib.h>

// The X server's connection behind the application, or null where the
// application runs on another platform (offscreen, Wayland).
static Display *applicationDisplay()
{
#if QT_VERSION >= QT_VERSION_CHECK(6, 0, 0)
    const auto *x11
        = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->display() : nullptr;
#else
    return QX11Info::isPlatformX11() ? QX11Info::display() : nullptr;
#endif
}
#endif

RepeatSource requestDetectableAutoRepeat()
{
#ifdef TARNDECK_HAVE_X11
    if (Display *display = applicationDisplay()) {
        Bool supported = False;
        XkbSetDetectableAutoRepeat(display, True, &supported);
        if (supported)
            return RepeatSource::Detectable;
        qCWarning(lcApp) << "X server refused detectable auto-repeat; pairing releases "
                            "with presses instead";
        return RepeatSource::Paired;
    }
#endif
    return RepeatSource::Toolkit;
}

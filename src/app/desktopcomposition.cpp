#include "desktopcomposition.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
#include <windows.h>
#include <dwmapi.h>
#endif

DesktopComposition desktopComposition()
{
#ifdef Q_OS_WIN
    BOOL enabled = FALSE;
    if (FAILED(DwmIsCompositionEnabled(&enabled)))
        return DesktopComposition::Unknown;
    return enabled ? DesktopComposition::Enabled : DesktopComposition::Disabled;
#else
    return DesktopComposition::Unknown;
#endif
}

const char *styleForComposition(DesktopComposition state)
{
    return state == DesktopComposition::Disabled ? "fusion" : "";
}

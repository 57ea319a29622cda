#include "desktopcomposition.h"

#include <QtGlobal>

#ifdef Q_OS_WIN
// windows.h must come first.
// clang-format off
#include <windows.h>
#include <dwmapi.h>
// clang-format on
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

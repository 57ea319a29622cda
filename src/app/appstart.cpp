#include "appstart.h"

#include "appicon.h"
#include "appidentity.h"
#include "desktopcomposition.h"

#include <QApplication>
#include <QPixmapCache>

#include <limits>

void prepareApplication()
{
    // Both attributes must be set before the application object exists:
    // layouts scale with the screen, and the @2x images stay sharp.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    // Once the network stack is loaded, its bearer thread would otherwise
    // wake every 10 s to look at the interfaces; now it waits the longest
    // interval a timer takes (-1 would make Qt warn on every start). The
    // variable is read when the first access manager is built; an
    // operator's own value stands.
    if (!qEnvironmentVariableIsSet("QT_BEARER_POLL_TIMEOUT"))
        qputenv("QT_BEARER_POLL_TIMEOUT", QByteArray::number(std::numeric_limits<int>::max()));
    // The panel draws with the raster engine alone. Without this, the X11
    // platform loads the GLX stack (and a software renderer where there is
    // no GPU) for the first window: half of the start-up time, and memory
    // that stays. An operator's own value stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
}

void setUpApplication()
{
    applyApplicationIdentity();
    QApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("com.veltrane.tarndeck"));

    // The style and the icons keep what they draw in the pixmap cache, whose
    // housekeeping timer then wakes the program every 10 to 30 s for minutes
    // after each repaint. This window is small and seldom repainted: drawing
    // afresh costs less than those wake-ups.
    QPixmapCache::setCacheLimit(0);

    const char *style = styleForComposition(desktopComposition());
    if (*style)
        QApplication::setStyle(QString::fromLatin1(style));
}

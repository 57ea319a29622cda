#include "appstart.h"

#include "appicon.h"
#include "appidentity.h"
#include "desktopcomposition.h"
#include "pixmapcachesweep.h"

#include <QApplication>
#include <QFileInfo>

#include <limits>

bool wouldAutolaunchSessionBus(const QByteArray &busAddress, const QString &runtimeFolder)
{
    if (!busAddress.isEmpty())
        return false;
    // Where the D-Bus library looks before it launches a bus itself.
    return runtimeFolder.isEmpty()
        || QFileInfo(runtimeFolder + QStringLiteral("/bus")).isDir()
        || !QFileInfo::exists(runtimeFolder + QStringLiteral("/bus"));
}

void prepareApplication()
{
    // Both attributes must be set before the application object exists:
    // layouts scale with the screen, and the @2x images stay sharp. Qt 6
    // always does both.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    // Once the network stack is loaded, Qt 5's bearer thread would otherwise
    // wake every 10 s to look at the interfaces; now it waits the longest
    // interval a timer takes (-1 would make Qt warn on every start). The
    // variable is read when the first access manager is built; an
    // operator's own value stands. Qt 6 has no bearer plugins.
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    if (!qEnvironmentVariableIsSet("QT_BEARER_POLL_TIMEOUT"))
        qputenv("QT_BEARER_POLL_TIMEOUT", QByteArray::number(std::numeric_limits<int>::max()));
#endif
    // The panel draws with the raster engine alone. Without this, the X11
    // platform loads the GLX stack (and a software renderer where there is
    // no GPU) for the first window: half of the start-up time, and memory
    // that stays. An operator's own value stands.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", "none");
#ifdef Q_OS_LINUX
    // The accessibility bridge asks for the session bus at the first widget
    // event. Where the desktop runs none, the D-Bus library would fork to
    // launch one; screen readers need a desktop that has a bus anyway.
    if (wouldAutolaunchSessionBus(qgetenv("DBUS_SESSION_BUS_ADDRESS"),
                                  qEnvironmentVariable("XDG_RUNTIME_DIR")))
        qputenv("DBUS_SESSION_BUS_ADDRESS", "disabled:");
#endif
}

void setUpApplication()
{
    applyApplicationIdentity();
    QApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("com.veltrane.tarndeck"));

    new PixmapCacheSweep(qApp);

    const char *style = styleForComposition(desktopComposition());
    if (*style)
        QApplication::setStyle(QString::fromLatin1(style));
}

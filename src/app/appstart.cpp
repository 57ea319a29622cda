#include "appstart.h"

#include "appicon.h"
#include "appidentity.h"
#include "desktopcomposition.h"

#include <QApplication>

void prepareApplication()
{
    // Both attributes must be set before the application object exists:
    // layouts scale with the screen, and the @2x images stay sharp.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    // Once the network stack is loaded, its bearer thread would otherwise
    // wake every 10 s to look at the interfaces. The variable is read when
    // the first access manager is built; an operator's own value stands.
    if (!qEnvironmentVariableIsSet("QT_BEARER_POLL_TIMEOUT"))
        qputenv("QT_BEARER_POLL_TIMEOUT", "-1");
}

void setUpApplication()
{
    applyApplicationIdentity();
    QApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("com.veltrane.tarndeck"));

    const char *style = styleForComposition(desktopComposition());
    if (*style)
        QApplication::setStyle(QString::fromLatin1(style));
}

#include "appicon.h"
#include "appidentity.h"
#include "desktopcomposition.h"
#include "tarndeck.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    // Both attributes must be set before the application object exists:
    // layouts scale with the screen, and the @2x images stay sharp.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication app(argc, argv);
    applyApplicationIdentity();
    QApplication::setWindowIcon(applicationIcon());
    QGuiApplication::setDesktopFileName(QStringLiteral("com.veltrane.tarnDeck"));

    const char *style = styleForComposition(desktopComposition());
    if (*style)
        QApplication::setStyle(QString::fromLatin1(style));

    tarnDeck window;
    window.show();
    return app.exec();
}

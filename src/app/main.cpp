#include "appidentity.h"
#include "desktopcomposition.h"
#include "tarndeck.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    applyApplicationIdentity();

    const char *style = styleForComposition(desktopComposition());
    if (*style)
        QApplication::setStyle(QString::fromLatin1(style));

    tarnDeck window;
    window.show();
    return app.exec();
}

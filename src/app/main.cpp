#include "appstart.h"
#include "tarndeck.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    prepareApplication();
    QApplication app(argc, argv);
    setUpApplication();

    tarnDeck window;
    window.show();
    return app.exec();
}

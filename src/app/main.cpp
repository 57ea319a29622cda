#include "appstart.h"
#include "statedump.h"
#include "tarndeck.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    prepareApplication();
    QApplication app(argc, argv);
    setUpApplication();

    tarnDeck window;
    const StateDump dump(&window, qEnvironmentVariable("TARNDECK_STATE_FILE"));
    window.show();
    return app.exec();
}

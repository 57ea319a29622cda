// The panel itself, started the way the program starts it, for the
// benchmarks that drive it from outside (keys through the X server, idle
// watching, cold start). With --serial PATH the window opens that line
// through its own "&Connect" menu, as an operator would. With --network
// ADDR:PORT it connects a UDP network camera there at start (as the store
// sets it up); --health-checks switches health checks on.
//
//   panelwindow [--serial PATH] [--network ADDR:PORT [--health-checks]]
//
// Settings go to the store XDG_CONFIG_HOME points at; the benchmark gives
// each run a fresh one. It prints "ready" on standard output once the window
// is shown (and the line open, or the network camera connected).
#include "appstart.h"
#include "camera.h"
#include "cameralist.h"
#include "tarndeck.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QSettings>

#include <cstdio>

int main(int argc, char *argv[])
{
    prepareApplication();
    QApplication app(argc, argv);
    setUpApplication();

    const QStringList arguments = QCoreApplication::arguments();
    const int serial = arguments.indexOf(QStringLiteral("--serial"));
    const QString path = serial > 0 && serial + 1 < arguments.size() ? arguments.at(serial + 1)
                                                                     : QString();
    if (!path.isEmpty())
        QSettings().setValue(QStringLiteral("serialPorts"), QStringList{path});
    const int network = arguments.indexOf(QStringLiteral("--network"));
    if (network > 0 && network + 1 < arguments.size()) {
        QSettings store;
        store.setValue(QStringLiteral("viscaIpAddress"), arguments.at(network + 1));
        store.setValue(QStringLiteral("viscaIpProtocol"), QStringLiteral("udp"));
        store.setValue(QStringLiteral("healthChecks"),
                       arguments.contains(QStringLiteral("--health-checks")));
        store.setValue(QStringLiteral("cameras/size"), 1);
        store.setValue(QStringLiteral("cameras/1/route"), QStringLiteral("udp"));
        store.setValue(QStringLiteral("cameras/1/connectAtStart"), true);
    }

    tarnDeck window;
    window.show();
    if (network > 0) {
        QObject::connect(window.cameraList().current(), &Camera::connected, [] {
            std::printf("ready\n");
            std::fflush(stdout);
        });
        return app.exec();
    }
    if (!path.isEmpty()) {
        auto *menu = window.findChild<QMenu *>(QStringLiteral("menuPort"));
        emit menu->aboutToShow();
        for (QAction *entry : menu->actions()) {
            if (entry->text() == path) {
                entry->trigger();
                break;
            }
        }
        if (!window.windowTitle().endsWith(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1))) {
            std::fprintf(stderr, "panelwindow: could not open %s\n", qPrintable(path));
            return 1;
        }
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

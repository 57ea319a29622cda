#include "fuzzsupport.h"

#include "appidentity.h"

#include <QApplication>
#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

namespace {
void dropMessage(QtMsgType, const QMessageLogContext &, const QString &)
{
}
} // namespace

void startFuzzApplication(bool widgets)
{
    static int argc = 1;
    static char name[] = "tarndeck-fuzz";
    static char *argv[] = {name, nullptr};
    qInstallMessageHandler(dropMessage);
    if (widgets) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        new QApplication(argc, argv);
    } else {
        new QCoreApplication(argc, argv);
    }
    applyApplicationIdentity();
}

void fuzzCheck(bool holds, const char *what)
{
    if (holds)
        return;
    std::fprintf(stderr, "invariant broken: %s\n", what);
    std::abort();
}

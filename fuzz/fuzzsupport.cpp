#include "fuzzsupport.h"

#include "appidentity.h"
#include "settingsguard.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

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

QString fuzzStoreFile(const QByteArray &bytes)
{
    static QTemporaryDir *folder = new QTemporaryDir;
    static int files = 0;
    const QString path = folder->filePath(QStringLiteral("store-%1.conf").arg(++files));
    QFile file(path);
    fuzzCheck(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size(),
              "the store is writable");
    return path;
}

QString fuzzTrustedStore(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    if (!SettingsGuard::untrustedReason(bytes).isEmpty())
        return QString();
    return fuzzStoreFile(bytes);
}

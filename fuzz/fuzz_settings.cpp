// Any settings file: the start-up either sets it aside or restores the
// window from it, never crashing or spinning. The same bytes also go to the
// geometry and window-state checks directly, and whatever passes them is
// restored on a real main window.
#include "fuzzsupport.h"
#include "settingsguard.h"
#include "tarndeck.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMainWindow>
#include <QSettings>
#include <QTemporaryDir>

namespace {
QTemporaryDir *store = nullptr;
QMainWindow *plainWindow = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication(true);
    store = new QTemporaryDir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, store->path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, store->path());
    plainWindow = new QMainWindow;
    QDir().mkpath(QFileInfo(SettingsGuard::storeFile()).path());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = fuzzBytes(data, size);
    if (SettingsGuard::plausibleWindowState(bytes))
        plainWindow->restoreState(bytes, 0);
    if (SettingsGuard::plausibleGeometry(bytes))
        plainWindow->restoreGeometry(bytes);

    const QString file = SettingsGuard::storeFile();
    QFile::remove(file + QStringLiteral(".bad"));
    {
        QFile out(file);
        fuzzCheck(out.open(QIODevice::WriteOnly | QIODevice::Truncate), "the store is writable");
        out.write(bytes);
    }
    // The guard alone is quick; a file it keeps also goes through the
    // window's own start-up (the guard again, then the restore).
    SettingsGuard::prepareStore(file);
    if (QFile::exists(file) && bytes.contains('=')) {
        const tarnDeck window;
    }
    QFile::remove(file);
    return 0;
}

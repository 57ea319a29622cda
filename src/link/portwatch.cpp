#include "portwatch.h"

#include "backoff.h"
#include "logcategories.h"

#include <QDir>
#include <QFileInfo>
#include <QFileSystemWatcher>

PortWatch::PortWatch(const QString &path, QObject *parent)
    : QObject(parent)
    , watched(QFileInfo(path).absoluteFilePath())
{
    settle.setSingleShot(true);
    settle.setInterval(0);
    connect(&settle, &QTimer::timeout, this, &PortWatch::look);
    again.setSingleShot(true);
    connect(&again, &QTimer::timeout, this, &PortWatch::look);
}

PortWatch::~PortWatch() = default;

void PortWatch::start()
{
    if (watcher)
        return;
    watcher = std::make_unique<QFileSystemWatcher>(this);
    connect(watcher.get(), &QFileSystemWatcher::directoryChanged, &settle,
            QOverload<>::of(&QTimer::start));
    connect(watcher.get(), &QFileSystemWatcher::fileChanged, &settle,
            QOverload<>::of(&QTimer::start));
    watchDirectory();
}

void PortWatch::stop()
{
    settle.stop();
    again.stop();
    failedOpens = 0;
    watcher.reset();
}

void PortWatch::openFailed()
{
    if (!watcher)
        return;
    const QString device = QFileInfo(watched).canonicalFilePath();
    if (!device.isEmpty() && !watcher->files().contains(device))
        watcher->addPath(device);
    if (again.isActive())
        return; // a change came first; the look already set stays
    ++failedOpens;
    again.start(BackOff::delayMs(failedOpens));
    qCDebug(lcSerial).noquote() << "looking at" << watched << "again in" << again.interval()
                                << "ms";
}

// The deepest folder of the path that exists; a folder that appeared since
// the last look is taken, and looked into again at once (what it holds may
// have come before the watch did).
void PortWatch::watchDirectory()
{
    QString folder = QFileInfo(watched).absolutePath();
    while (!QFileInfo(folder).isDir() && folder != QDir::rootPath())
        folder = QFileInfo(folder).absolutePath();
    const QStringList before = watcher->directories();
    if (before == QStringList{folder})
        return;
    if (!before.isEmpty())
        watcher->removePaths(before);
    if (!watcher->addPath(folder))
        qCWarning(lcSerial).noquote() << "cannot watch" << folder << "for" << watched;
    qCDebug(lcSerial).noquote() << "watching" << folder << "for" << watched;
    if (!before.isEmpty())
        settle.start();
}

void PortWatch::look()
{
    if (!watcher)
        return;
    // A device that went leaves nothing to watch of it.
    const QStringList files = watcher->files();
    if (!files.isEmpty())
        watcher->removePaths(files);
    if (QFileInfo::exists(watched)) {
        emit present();
        return;
    }
    // Gone again: only a change where it was brings it back.
    again.stop();
    failedOpens = 0;
    watchDirectory();
}

// Waits for a device path to be there again: a serial adapter plugged back
// shows up under the same /dev/serial/by-id link or the same port name. The
// system says when a directory changes (QFileSystemWatcher: inotify on
// Linux); nothing is asked over and over, and a watch that waits wakes
// nobody until something changes where it looks.
//
// It watches the deepest directory of the path that exists (the by-id
// folder goes with the last adapter unplugged), and, after an open that
// failed on a path that is there, the device itself: its owner and mode are
// set just after it appears. A burst of changes is one present(). A device
// that is there but busy says nothing when it is free again: after such an
// open it is also looked at again after a back-off (1, 2, 4 … 30 s), only
// while it stays there and does not open.
#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class QFileSystemWatcher;

class PortWatch : public QObject
{
    Q_OBJECT

public:
    explicit PortWatch(const QString &path, QObject *parent = nullptr);
    ~PortWatch() override;

    const QString &path() const { return watched; }
    bool isWatching() const { return watcher != nullptr; }
    // Begins watching; present() comes at the next change that leaves the
    // path there (not at once: the path may still name the device that
    // went).
    void start();
    // Stops watching: nothing of it is left.
    void stop();
    // The path is there but did not open: also watch the device it names
    // for a change of owner or mode, and look again after the next back-off.
    void openFailed();

signals:
    // The path exists (again): worth an open.
    void present();

private:
    void look();
    void watchDirectory();

    QString watched;
    std::unique_ptr<QFileSystemWatcher> watcher;
    QTimer settle; // gathers one burst of changes
    QTimer again;  // a device there that did not open
    int failedOpens = 0;
};

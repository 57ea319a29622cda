#include "pixmapcachesweep.h"

#include <QEvent>
#include <QPixmapCache>

PixmapCacheSweep::PixmapCacheSweep(QObject *application, int quietMs)
    : QObject(application)
{
    sweep.setSingleShot(true);
    sweep.setTimerType(Qt::VeryCoarseTimer);
    sweep.setInterval(quietMs);
    // Clearing also stops the cache's own timer.
    connect(&sweep, &QTimer::timeout, this, [] { QPixmapCache::clear(); });
    application->installEventFilter(this);
}

bool PixmapCacheSweep::eventFilter(QObject *, QEvent *event)
{
    // Every repaint of a window starts with an update request to it.
    if (event->type() == QEvent::UpdateRequest)
        sweep.start();
    return false;
}

// Empties the pixmap cache once the program has stopped repainting.
//
// The styles and icons keep what they draw in the pixmap cache, and the
// cache's own housekeeping timer then wakes the program every 10 to 30 s for
// minutes after each repaint. Emptying it a moment after the last repaint
// keeps repaints fast while the operator works (drawing without the cache
// costs a third more) and leaves an untouched window asleep: one wake-up
// after the last repaint, then none.
#pragma once

#include <QObject>
#include <QTimer>

class PixmapCacheSweep : public QObject
{
public:
    static constexpr int defaultQuietMs = 2000;

    // Watches every repaint of the application it is installed on.
    explicit PixmapCacheSweep(QObject *application, int quietMs = defaultQuietMs);

    bool pending() const { return sweep.isActive(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QTimer sweep;
};

// The square pan-tilt pad: turns a pointer offset or arrow keys into a pan
// and a tilt speed (each -5 ... +5) and draws them as a dot, a line and a ring.
#pragma once

#include <QPoint>
#include <QWidget>

class PTWidget : public QWidget
{
    Q_OBJECT

public:
    explicit PTWidget(QWidget *parent = nullptr);

    // center := (width / 2, height / 2); nothing else, no repaint.
    void recenter();
    // on: a movement starts. off: back to rest (ring at the centre, speed 0).
    void setActive(bool on);
    // Keyboard path: set or step the speed (clamped) and place the ring.
    void setSpeed(int pan, int tilt);
    void changeSpeed(int pan, int tilt);
    // Mouse path: ring at the pointer, speed from its offset to the centre.
    void trackPointer(int x, int y);

    QPoint currentCenter() const { return center; }
    QPoint currentPosition() const { return position; }
    QPoint currentSpeed() const { return speed; }
    bool isActive() const { return active; }

    // Resize events seen by all pads of the process (for the resize log).
    static int resizeCount;

signals:
    // What the pad shows, after every change of its speed, its ring or its
    // running state: the speed and where the ring lies from the centre (in
    // pixels, y growing downwards). An idle pad reports (0, 0) for both. The
    // sign of the speed depends on the path that set it (pointer or keys);
    // the ring offset does not.
    void driveChanged(QPoint speed, QPoint ringOffset);

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void leaveEvent(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    // Stores a clamped speed, places the ring for it, logs and repaints.
    void applySpeed(qint64 pan, qint64 tilt);
    // The speed / centre / ring log line, then a synchronous repaint.
    void report();
    // Emits driveChanged for what the pad now shows.
    void announce();

    QPoint center;
    QPoint position;
    QPoint speed;
    bool active = false;
};

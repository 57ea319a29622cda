// The frame the panels get while the one camera the window shows is on
// program (red) or preview (green): drawn over the edges of the area it
// covers, which it follows in size. It takes no mouse or keyboard input and
// is hidden while the camera is neither.
#pragma once

#include "camera.h"

#include <QWidget>

class TallyFrame : public QWidget
{
    Q_OBJECT

public:
    static constexpr int kWidth = 4;

    // Covers `area` (its parent).
    explicit TallyFrame(QWidget *area);

    void setTally(Camera::Tally tally);
    Camera::Tally tally() const { return shown; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;

private:
    Camera::Tally shown = Camera::Tally::Off;
};

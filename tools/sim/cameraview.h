// What the simulated camera sees: a small outdoor scene with a test chart,
// drawn as the camera's state would show it. The lens zooms into the chart
// (1x to 10x), the picture goes soft when the focus is off (less so at the
// wide end, where the depth of field is larger), exposure compensation
// brightens or darkens it, the white-balance mode tints it, WDR flattens its
// contrast, the lamp lights up the middle of the frame, and the pan-tilt head
// turns the view over the scene. A camera in standby shows no picture; a lit
// tally lamp shows as a red dot.
#pragma once

#include "viscamodel.h"

#include <QImage>
#include <QPointF>
#include <QSize>
#include <QWidget>

namespace CameraPicture {

// Lens magnification at a zoom position: 1 at the wide end, 10 at tele.
double magnification(double zoom);
// Where the camera's head points, as a shift over the scene (scene units).
QPointF headShift(const ViscaModel::State &state);
// How far the focus is from sharp, in depths of field (0 = sharp).
double defocus(const ViscaModel::Picture &picture);
// The frame as the camera would deliver it.
QImage render(const ViscaModel::State &state, const QSize &size);

} // namespace CameraPicture

class CameraView : public QWidget
{
    Q_OBJECT

public:
    explicit CameraView(QWidget *parent = nullptr);

    void setState(const ViscaModel::State &state);
    QSize sizeHint() const override;
    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    ViscaModel::State shown;
    QImage frame; // the last rendering, reused while nothing changed
};

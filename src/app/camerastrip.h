// The camera strip above the panels: one button per camera of the list, with
// its number, its name and a dot for its health (green connected, amber
// connecting, red failing, grey not connected; what it is doing, or why it
// fails, in the tooltip), the current camera's button checked, framed red
// while the camera is on program and green on preview. A click asks
// for that camera (chosen()); the window selects it. Its context menu sends
// that camera power on or standby; a camera in standby has a ring for a dot,
// and says so in the tooltip. Shown only while the
// list holds two cameras or more. The buttons take no keyboard focus: the
// keys stay with the panels.
#pragma once

#include "camera.h"

#include <QList>
#include <QPointer>
#include <QWidget>

class CameraList;
class QPushButton;
class StripLayout;

class CameraStrip : public QWidget
{
    Q_OBJECT

public:
    explicit CameraStrip(CameraList &cameras, QWidget *parent = nullptr);

    // "1 Stage left", as a button shows camera `camera`.
    static QString buttonText(const Camera *camera);
    // The colour of a health's dot.
    static QColor healthColour(Camera::Health health);
    // The frame of a camera on program (red) or preview (green).
    static QColor tallyColour(Camera::Tally tally);
    // One line: "strip 1 Stage left [x] connected | 2 Pulpit [ ] failing";
    // a camera on program or preview adds the word ("... connected program"),
    // one in standby or waking that word first.
    QString describe() const;

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;

signals:
    void chosen(int index);

protected:
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void rebuild();
    void showHealth(int index);
    void showTally(int index);
    void showCurrent();
    void powerMenu(int index, const QPoint &at);

    CameraList &list;
    StripLayout *rows;
    QList<QPushButton *> buttons;
};

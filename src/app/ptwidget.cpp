#include "ptwidget.h"

#include "logcategories.h"
#include "ptmath.h"

#include <QCursor>
#include <QMouseEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QStyle>
#include <QStyleOption>
#include <QWheelEvent>

#include <cstdio>

int PTWidget::resizeCount = 0;

namespace {

QPen stickPen(const QColor &colour, int width)
{
    return QPen(QBrush(colour, Qt::SolidPattern), width, Qt::SolidLine, Qt::RoundCap,
                Qt::BevelJoin);
}

} // namespace

PTWidget::PTWidget(QWidget *parent)
    : QWidget(parent)
{
}

void PTWidget::recenter()
{
    center = PtMath::centerOf(size());
}

void PTWidget::setActive(bool on)
{
    if (!on) {
        position = center;
        speed = QPoint(0, 0);
    }
    active = on;
    repaint();
    announce();
}

void PTWidget::setSpeed(int pan, int tilt)
{
    applySpeed(pan, tilt);
}

void PTWidget::changeSpeed(int pan, int tilt)
{
    applySpeed(qint64(speed.x()) + pan, qint64(speed.y()) + tilt);
}

void PTWidget::applySpeed(qint64 pan, qint64 tilt)
{
    speed = QPoint(PtMath::clampSpeed(pan), PtMath::clampSpeed(tilt));
    position = PtMath::positionFromSpeed(center, speed, PtMath::stepForWidth(width()));
    report();
}

void PTWidget::trackPointer(int x, int y)
{
    position = QPoint(x, y);
    speed = PtMath::speedFromPointer(center, position, PtMath::stepForWidth(width()));
    report();
}

void PTWidget::report()
{
    qCDebug(lcPtPad) << speed << center << position;
    repaint();
    announce();
}

void PTWidget::announce()
{
    if (active)
        emit driveChanged(speed, position - center);
    else
        emit driveChanged(QPoint(0, 0), QPoint(0, 0));
}

void PTWidget::mousePressEvent(QMouseEvent *)
{
    recenter();
    QCursor::setPos(mapToGlobal(center));
    setActive(true);
}

void PTWidget::mouseReleaseEvent(QMouseEvent *)
{
    setActive(false);
}

void PTWidget::mouseMoveEvent(QMouseEvent *event)
{
    if (active)
        trackPointer(event->pos().x(), event->pos().y());
}

void PTWidget::wheelEvent(QWheelEvent *event)
{
    std::fputs("mw", stdout);
    std::fflush(stdout);
    event->accept();
}

void PTWidget::leaveEvent(QEvent *)
{
}

void PTWidget::paintEvent(QPaintEvent *)
{
    QPainter painter(this);

    // Background, border and focus border come from the style sheet.
    QStyleOption option;
    option.initFrom(this);
    style()->drawPrimitive(QStyle::PE_Widget, &option, &painter, this);

    if (!active)
        return;

    const QColor dotColour(175, 50, 0);
    const QColor lineColour(125, 50, 0);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(stickPen(dotColour, 5));
    painter.drawEllipse(center, 3, 3);
    painter.setPen(stickPen(lineColour, 7));
    painter.drawLine(center, position);
    painter.setPen(stickPen(dotColour, 5));
    painter.drawEllipse(position, 5, 5);
}

void PTWidget::resizeEvent(QResizeEvent *event)
{
    qCDebug(lcPtPad) << "PT resize()" << resizeCount;
    ++resizeCount;
    // Keep the pad square; the nested event of this resize finds it square.
    const QSize size = event->size();
    const int side = qMin(size.width(), size.height());
    resize(side, side);
}

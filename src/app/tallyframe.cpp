#include "tallyframe.h"

#include "camerastrip.h"

#include <QEvent>
#include <QPainter>

TallyFrame::TallyFrame(QWidget *area)
    : QWidget(area)
{
    setObjectName(QStringLiteral("tallyFrame"));
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    area->installEventFilter(this);
    hide();
}

void TallyFrame::setTally(Camera::Tally tally)
{
    setProperty("tally", QLatin1String(Camera::tallyWord(tally)));
    if (tally == shown)
        return;
    shown = tally;
    if (tally == Camera::Tally::Off) {
        hide();
        return;
    }
    setGeometry(parentWidget()->rect());
    raise();
    show();
    update();
}

bool TallyFrame::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isVisible())
        setGeometry(parentWidget()->rect());
    return QWidget::eventFilter(watched, event);
}

void TallyFrame::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QPen pen(CameraStrip::tallyColour(shown), kWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRectF(rect()).adjusted(kWidth / 2.0, kWidth / 2.0, -kWidth / 2.0,
                                             -kWidth / 2.0));
}

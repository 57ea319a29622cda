#include "fieldkeys.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

void FieldKeys::setPanels(QWidget *widget)
{
    panels = widget;
    panels->setFocusPolicy(Qt::ClickFocus);
}

void FieldKeys::addField(QWidget *field, QAbstractButton *connect)
{
    fields.append({field, connect});
    field->installEventFilter(this);
}

void FieldKeys::handToPanels()
{
    if (panels)
        panels->setFocus(Qt::OtherFocusReason);
}

bool FieldKeys::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    const int key = static_cast<QKeyEvent *>(event)->key();
    for (const Field &entry : qAsConst(fields)) {
        if (entry.field != watched)
            continue;
        if (key == Qt::Key_Escape) {
            handToPanels();
            return true;
        }
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            // A disabled button (a connect under way) ignores the click.
            entry.connect->click();
            return true;
        }
        return false;
    }
    return false;
}

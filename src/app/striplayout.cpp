#include "striplayout.h"

#include <QWidget>

StripLayout::StripLayout(QWidget *parent, int spacing)
    : QLayout(parent)
    , gap(spacing)
{
    setContentsMargins(0, 0, 0, 0);
}

StripLayout::~StripLayout()
{
    while (QLayoutItem *item = takeAt(0))
        delete item;
}

void StripLayout::addItem(QLayoutItem *item)
{
    items.append(item);
}

QLayoutItem *StripLayout::takeAt(int index)
{
    return index >= 0 && index < items.size() ? items.takeAt(index) : nullptr;
}

int StripLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

QSize StripLayout::minimumSize() const
{
    QSize size;
    for (const QLayoutItem *item : items)
        size = size.expandedTo(item->sizeHint());
    const QMargins m = contentsMargins();
    return size + QSize(m.left() + m.right(), m.top() + m.bottom());
}

QSize StripLayout::sizeHint() const
{
    // All in one row.
    int width = 0;
    int height = 0;
    for (const QLayoutItem *item : items) {
        width += item->sizeHint().width() + (width > 0 ? gap : 0);
        height = qMax(height, item->sizeHint().height());
    }
    const QMargins m = contentsMargins();
    return QSize(width + m.left() + m.right(), height + m.top() + m.bottom());
}

void StripLayout::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    arrange(rect, true);
}

int StripLayout::arrange(const QRect &rect, bool place) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    int x = area.x();
    int y = area.y();
    int rowHeight = 0;
    for (QLayoutItem *item : items) {
        if (item->isEmpty())
            continue;
        const QSize size = item->sizeHint();
        // A new row, unless this one is still empty (a widget wider than
        // the area takes a row of its own).
        if (x > area.x() && x + size.width() > area.x() + area.width()) {
            x = area.x();
            y += rowHeight + gap;
            rowHeight = 0;
        }
        if (place)
            item->setGeometry(QRect(QPoint(x, y), size));
        x += size.width() + gap;
        rowHeight = qMax(rowHeight, size.height());
    }
    const QMargins m = contentsMargins();
    return y + rowHeight - rect.y() + m.bottom();
}

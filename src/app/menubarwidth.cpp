#include "menubarwidth.h"

#include <QAction>
#include <QMenuBar>
#include <QStyle>
#include <QStyleOptionMenuItem>

int menuBarFullWidth(const QMenuBar *bar)
{
    const QStyle *style = bar->style();
    const int spacing = style->pixelMetric(QStyle::PM_MenuBarItemSpacing, nullptr, bar);
    int width = 2 * style->pixelMetric(QStyle::PM_MenuBarHMargin, nullptr, bar)
        + 2 * style->pixelMetric(QStyle::PM_MenuBarPanelWidth, nullptr, bar);
    const QList<QAction *> items = bar->actions();
    for (const QAction *item : items) {
        if (!item->isVisible() || item->isSeparator())
            continue;
        QStyleOptionMenuItem option;
        option.initFrom(bar);
        option.menuItemType = QStyleOptionMenuItem::Normal;
        option.text = item->text();
        option.icon = item->icon();
        const QSize text = bar->fontMetrics().size(Qt::TextShowMnemonic, item->text());
        width += style->sizeFromContents(QStyle::CT_MenuBarItem, &option, text, bar).width()
            + spacing;
    }
    return width;
}

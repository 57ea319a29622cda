#include "statedump.h"

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSaveFile>

namespace {

QString entryText(const QAction *action)
{
    if (action->isSeparator())
        return QStringLiteral("---");
    QString text = action->text();
    if (action->isCheckable())
        text += action->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]");
    if (!action->isEnabled())
        text += QStringLiteral(" (off)");
    return text;
}

// The widgets of one kind that are shown, in the order of the object tree.
template<typename Widget>
QList<Widget *> shown(const QWidget *window)
{
    QList<Widget *> visible;
    const QList<Widget *> all = window->findChildren<Widget *>();
    for (Widget *widget : all) {
        if (!widget->objectName().isEmpty() && widget->isVisibleTo(window))
            visible.append(widget);
    }
    return visible;
}

} // namespace

StateDump::StateDump(QWidget *window, const QString &file)
    : window(window)
    , file(file)
{
    if (file.isEmpty())
        return;
    connect(&timer, &QTimer::timeout, this, &StateDump::write);
    timer.start(100);
    write();
}

QString StateDump::describe(const QWidget *window)
{
    QStringList lines;
    lines << QStringLiteral("title ") + window->windowTitle();
    const QWidget *focus = QApplication::focusWidget();
    lines << QStringLiteral("focus ")
            + (focus && focus->window() == window && !focus->objectName().isEmpty()
                   ? focus->objectName()
                   : QStringLiteral("-"));

    if (const QMenuBar *bar = window->findChild<QMenuBar *>()) {
        QStringList titles;
        QStringList menus;
        const QList<QAction *> items = bar->actions();
        for (const QAction *item : items) {
            if (!item->isVisible())
                continue;
            titles << item->text();
            if (!item->menu())
                continue;
            QStringList entries;
            const QList<QAction *> actions = item->menu()->actions();
            for (const QAction *action : actions) {
                if (action->isVisible())
                    entries << entryText(action);
            }
            menus << QStringLiteral("menu ") + item->text() + QStringLiteral(": ")
                    + entries.join(QStringLiteral(" | "));
        }
        lines << QStringLiteral("menubar ") + titles.join(QStringLiteral(" | ")) << menus;
    }
    for (const QGroupBox *panel : shown<QGroupBox>(window)) {
        lines << QStringLiteral("panel ") + panel->objectName() + QLatin1Char(' ') + panel->title()
                + (panel->isEnabled() ? QString() : QStringLiteral(" (off)"));
    }
    QList<const QWidget *> placed;
    for (const QLineEdit *field : shown<QLineEdit>(window)) {
        lines << QStringLiteral("field ") + field->objectName() + QLatin1Char(' ')
                + field->displayText();
        placed << field;
    }
    for (const QComboBox *box : shown<QComboBox>(window)) {
        lines << QStringLiteral("field ") + box->objectName() + QLatin1Char(' ')
                + box->currentText();
        placed << box;
    }
    QStringList buttonTexts;
    for (const QAbstractButton *button : shown<QAbstractButton>(window)) {
        placed << button;
        if (!button->text().isEmpty())
            buttonTexts << QStringLiteral("button ") + button->objectName() + QLatin1Char(' ')
                    + button->text().replace(QLatin1Char('\n'), QStringLiteral(" / "));
    }
    for (const QWidget *widget : qAsConst(placed)) {
        const QRect r(widget->mapTo(window, QPoint()), widget->size());
        lines << QStringLiteral("place %1 %2 %3 %4 %5")
                     .arg(widget->objectName())
                     .arg(r.x())
                     .arg(r.y())
                     .arg(r.width())
                     .arg(r.height());
    }
    lines << buttonTexts;
    // A menu popped up over the window and a dialog open over it.
    if (const QWidget *popup = QApplication::activePopupWidget())
        lines << QStringLiteral("popup ") + popup->objectName();
    if (const QWidget *dialog = QApplication::activeModalWidget())
        lines << QStringLiteral("dialog ") + dialog->objectName() + QLatin1Char(' ')
                + dialog->windowTitle();
    for (const QLabel *label : shown<QLabel>(window)) {
        if (!label->text().isEmpty())
            lines << QStringLiteral("label ") + label->objectName() + QLatin1Char(' ')
                    + label->text();
    }
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

void StateDump::write()
{
    if (!window)
        return;
    const QString text = describe(window);
    if (text == written)
        return;
    // Replaced whole, so that a reader never sees half a description.
    QSaveFile out(file);
    if (!out.open(QIODevice::WriteOnly))
        return;
    out.write(text.toUtf8());
    if (out.commit())
        written = text;
}

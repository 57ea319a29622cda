// The keyboard around the route panels' fields (address, user, password,
// protocol). A field keeps the keys it edits with; Return in a field presses
// its panel's Connect, Escape hands the keys back to the camera panels.
// Once a route is up the panels get the keys (handToPanels()), wherever the
// focus was left: in a field a Home would move the cursor and "+" would be
// typed, and the protocol box swallows the arrows, Home and End.
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>

class QAbstractButton;
class QWidget;

class FieldKeys : public QObject
{
public:
    // `panels`: the widget that holds the camera panels; it takes the focus
    // by click too, so a click on its background ends the editing.
    void setPanels(QWidget *panels);
    // A field and the Connect button of its panel.
    void addField(QWidget *field, QAbstractButton *connect);

    void handToPanels();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    struct Field
    {
        QWidget *field;
        QAbstractButton *connect;
    };

    QPointer<QWidget> panels;
    QList<Field> fields;
};

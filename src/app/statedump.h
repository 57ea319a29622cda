// What the window shows, as lines of text in a file named by the environment
// variable TARNDECK_STATE_FILE: for tests and support sessions that run the
// real program as a process and cannot look into it otherwise. Without the
// variable nothing is built and nothing is written.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QWidget;

class StateDump : public QObject
{
    Q_OBJECT

public:
    // Writes the description of `window` to `file` now and whenever it
    // changes (looked at every 100 ms); an empty `file` writes nothing.
    StateDump(QWidget *window, const QString &file);

    // One line per fact, in a fixed order:
    //   title <window title>
    //   focus <object name of the widget with the keyboard focus, or "-">
    //   menubar <visible menu titles, separated by " | ">
    //   menu <title>: <visible entries, separated by " | ">
    //     (an entry ends in " [x]" when checked, " [ ]" when checkable and
    //     unchecked, " (off)" when disabled; "---" is a separator)
    //   panel <object name> <title> [(off) when disabled]
    //   field <object name> <text as displayed>
    //   place <object name> <x> <y> <width> <height>   (fields and buttons)
    //   button <object name> <text; a line break shown as " / ">
    //   popup <object name of the menu popped up>
    //   dialog <object name> <title of the modal dialog open>
    //   label <object name> <text>
    // Only what is visible is described; positions are window coordinates.
    static QString describe(const QWidget *window);

private:
    void write();

    QPointer<QWidget> window;
    QString file;
    QString written;
    QTimer timer;
};

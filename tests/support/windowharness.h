// A real main window wired to a pseudo-terminal: the "&Connect" menu lists
// the pty's slave side as the only serial port, and openPort() chooses it
// exactly as an operator would.
#pragma once

#include "ptypair.h"
#include "tarndeck.h"

#include <QAction>
#include <QMenu>
#include <QTest>

#include <memory>

class WindowHarness
{
public:
    // Builds the window on the current (temporary) settings store.
    WindowHarness();
    // The same on a pty made earlier (a store may name it before the
    // window reads the store).
    explicit WindowHarness(std::unique_ptr<PtyPair> pty);
    ~WindowHarness();

    tarnDeck &window() { return *mainWindow; }
    PtyPair &pty() { return *line; }

    // Opens the "&Connect" menu (rebuilding its entries) and returns them.
    QList<QAction *> showPortMenu();
    // Chooses the pty's entry; returns whether the port is now open.
    bool openPort();
    // Chooses the pty's entry again, which closes the open port.
    void closePort();
    // Chooses the entry whose text is `text` (after rebuilding the menu).
    bool choosePortEntry(const QString &text);

    template<typename T>
    T *find(const QString &objectName) const
    {
        return mainWindow->findChild<T *>(objectName);
    }

    // The menu entry name of the pty ("pts/N").
    QString portName() const;

private:
    std::unique_ptr<PtyPair> line;
    std::unique_ptr<tarnDeck> mainWindow;
};

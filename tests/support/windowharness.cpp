#include "windowharness.h"

WindowHarness::WindowHarness()
    : WindowHarness(std::make_unique<PtyPair>())
{
}

WindowHarness::WindowHarness(std::unique_ptr<PtyPair> pty)
    : line(std::move(pty))
    , mainWindow(std::make_unique<tarnDeck>())
{
    const QString path = line->slavePath();
    const QString name = portName();
    mainWindow->setPortLister([path, name] { return QList<SerialPortEntry>{{name, path}}; });
}

WindowHarness::~WindowHarness()
{
    mainWindow.reset();
    line.reset();
}

QString WindowHarness::portName() const
{
    QString path = line->slavePath();
    if (path.startsWith(QLatin1String("/dev/")))
        path.remove(0, 5);
    return path;
}

QList<QAction *> WindowHarness::showPortMenu()
{
    QMenu *menu = find<QMenu>(QStringLiteral("menuPort"));
    emit menu->aboutToShow();
    return menu->actions();
}

bool WindowHarness::choosePortEntry(const QString &text)
{
    const QString ownTitle = QStringLiteral(" - ") + portName();
    const bool wasOpen = mainWindow->windowTitle().endsWith(ownTitle);
    const QList<QAction *> entries = showPortMenu();
    for (QAction *entry : entries) {
        if (entry->text() == text) {
            entry->trigger();
            // The camera asks for its version as the port opens: taken off
            // the line here, so that a test reads what it sends itself.
            if (text == portName() && !wasOpen && mainWindow->windowTitle().endsWith(ownTitle))
                line->skipOnce(QByteArray::fromHex("81090002FF"));
            return true;
        }
    }
    return false;
}

bool WindowHarness::openPort()
{
    choosePortEntry(portName());
    return mainWindow->windowTitle().endsWith(QStringLiteral(" - ") + portName());
}

void WindowHarness::closePort()
{
    choosePortEntry(portName());
}

// The "Camera profiles" menu: recall, store and reset the camera's numbered
// memory profiles, and store the camera default. The program keeps only the
// selection (the menu's check mark) and the number last recalled.
#include "tarndeck.h"

#include <QCoreApplication>
#include <QThread>

namespace {
const QString profile = QStringLiteral("profile");
} // namespace

QList<QAction *> tarnDeck::cameraProfileEntries() const
{
    return {ui.actionCameraProfile0, ui.actionCameraProfile1, ui.actionCameraProfile2,
            ui.actionCameraProfile3, ui.actionCameraProfile4, ui.actionCameraProfile5,
            ui.actionCameraProfile6, ui.actionCameraProfile7, ui.actionCameraProfile8,
            ui.actionCameraProfile9};
}

void tarnDeck::recallCameraProfile(int number)
{
    const QList<QAction *> entries = cameraProfileEntries();
    for (int n = 0; n < entries.size(); ++n)
        entries.at(n)->setChecked(n == number);
    if (storeRead)
        settings.setValue(QStringLiteral("cameraProfile"), number);
    ui.actionCameraSave->setEnabled(true);
    ui.actionCameraReset->setEnabled(true);
    sendCommand(profile, QStringLiteral("recall") + QString::number(number));
}

// Sends actionPrefix + N for every checked profile N (at most one is).
void tarnDeck::sendForSelectedProfile(const QString &actionPrefix)
{
    const QList<QAction *> entries = cameraProfileEntries();
    for (int n = 0; n < entries.size(); ++n) {
        if (entries.at(n)->isChecked())
            sendCommand(profile, actionPrefix + QString::number(n));
    }
}

void tarnDeck::on_actionCameraProfile0_triggered(bool)
{
    recallCameraProfile(0);
}

void tarnDeck::on_actionCameraProfile1_triggered(bool)
{
    recallCameraProfile(1);
}

void tarnDeck::on_actionCameraProfile2_triggered(bool)
{
    recallCameraProfile(2);
}

void tarnDeck::on_actionCameraProfile3_triggered(bool)
{
    recallCameraProfile(3);
}

void tarnDeck::on_actionCameraProfile4_triggered(bool)
{
    recallCameraProfile(4);
}

void tarnDeck::on_actionCameraProfile5_triggered(bool)
{
    recallCameraProfile(5);
}

void tarnDeck::on_actionCameraProfile6_triggered(bool)
{
    recallCameraProfile(6);
}

void tarnDeck::on_actionCameraProfile7_triggered(bool)
{
    recallCameraProfile(7);
}

void tarnDeck::on_actionCameraProfile8_triggered(bool)
{
    recallCameraProfile(8);
}

void tarnDeck::on_actionCameraProfile9_triggered(bool)
{
    recallCameraProfile(9);
}

void tarnDeck::on_actionCameraSave_triggered(bool)
{
    sendForSelectedProfile(QStringLiteral("set"));
}

void tarnDeck::on_actionCameraSaveCustom_triggered(bool)
{
    sendCommand(profile, QStringLiteral("setcustom"));
}

void tarnDeck::on_actionCameraReset_triggered(bool)
{
    sendForSelectedProfile(QStringLiteral("reset"));
    // The camera needs about half a second before the profile can be
    // recalled; the window stays live meanwhile, so the selection may change
    // (or vanish with the link) before the recall is sent.
    for (int i = 0; i < 50; ++i) {
        QThread::msleep(10);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    sendForSelectedProfile(QStringLiteral("recall"));
}

void tarnDeck::cameraProfileDeselect()
{
    for (QAction *entry : cameraProfileEntries())
        entry->setChecked(false);
    ui.actionCameraSave->setEnabled(false);
    ui.actionCameraReset->setEnabled(false);
}

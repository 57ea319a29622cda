// What the current camera's route reads back: the zoom and focus positions
// under their rate sliders, and its power. "Power on" and "Standby" (Options
// menu) act on the current camera; a camera in standby or waking greys out
// the panels, and its status line says so.
#include "tarndeck.h"
#include "viscainquiry.h"

#include <QLabel>

namespace {

QLabel *readoutLabel(const char *objectName, const QString &name, QWidget *parent)
{
    auto *label = new QLabel(QStringLiteral("\u2013"), parent);
    label->setObjectName(QLatin1String(objectName));
    label->setFocusPolicy(Qt::NoFocus);
    label->setAccessibleName(name);
    // Room for the widest figure, so the panel does not change size as the
    // figures come and go.
    label->setMinimumWidth(label->fontMetrics().horizontalAdvance(QStringLiteral("100 % +")));
    return label;
}

} // namespace

void tarnDeck::setUpReadback()
{
    zoomReadout = readoutLabel("labelZoomPosition", QStringLiteral("Zoom position"),
                               ui.groupBoxZoom);
    zoomReadout->setAlignment(Qt::AlignHCenter | Qt::AlignVCenter);
    ui.verticalLayout->addWidget(zoomReadout);
    focusReadout = readoutLabel("labelFocusPosition", QStringLiteral("Focus position"),
                                ui.groupBoxFocus);
    focusReadout->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    ui.verticalLayout_3->addWidget(focusReadout);

    ui.menuOptions->addSeparator();
    actionPowerOn = ui.menuOptions->addAction(QStringLiteral("Power on"));
    actionPowerOn->setObjectName(QStringLiteral("actionPowerOn"));
    actionStandby = ui.menuOptions->addAction(QStringLiteral("Standby"));
    actionStandby->setObjectName(QStringLiteral("actionStandby"));
    connect(actionPowerOn, &QAction::triggered, this, [this] { camera()->setPower(true); });
    connect(actionStandby, &QAction::triggered, this, [this] { camera()->setPower(false); });
    connect(ui.menuOptions, &QMenu::aboutToShow, this, &tarnDeck::showReadback);
}

void tarnDeck::showReadback()
{
    const Camera *now = camera();
    const CameraReadback &read = now->readback();
    const int zoom = read.zoomPosition();
    const int focus = read.focusPosition();
    zoomReadout->setText(ViscaInquiry::zoomReadout(zoom));
    zoomReadout->setToolTip(
        zoom < 0 ? QStringLiteral("Zoom position: not known (the route does not answer)")
                 : QStringLiteral("Zoom position: %1 % from wide to tele%2 (%3h)")
                       .arg(ViscaInquiry::zoomPercent(zoom))
                       .arg(zoom > ViscaInquiry::kZoomTele ? QStringLiteral(", into digital zoom")
                                                           : QString())
                       .arg(zoom, 4, 16, QLatin1Char('0')));
    focusReadout->setText(ViscaInquiry::focusReadout(focus));
    focusReadout->setToolTip(
        focus < 0 ? QStringLiteral("Focus position: not known (the route does not answer)")
                  : QStringLiteral("Focus position: %1 % from far (infinity) to near (%2h)")
                        .arg(ViscaInquiry::focusPercent(focus))
                        .arg(focus, 4, 16, QLatin1Char('0')));
    const bool up = now->carriesCommands();
    actionPowerOn->setEnabled(up);
    actionStandby->setEnabled(up && read.power() != CameraReadback::Power::Standby);
    setPanelsEnabled(up);
}

#include "camerastrip.h"

#include "cameralist.h"
#include "striplayout.h"

#include <QEvent>
#include <QFontMetrics>
#include <QIcon>
#include <QMenu>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSignalBlocker>

namespace {

// A round dot of the health's colour, sharp at the screen's scale; a ring
// for a camera in standby.
QIcon healthDot(Camera::Health health, bool asleep, int side, qreal scale)
{
    QPixmap dot(QSize(side, side) * scale);
    dot.setDevicePixelRatio(scale);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(31, 31, 31), 1));
    painter.setBrush(CameraStrip::healthColour(health));
    painter.drawEllipse(QRectF(0.5, 0.5, side - 1.0, side - 1.0));
    if (asleep) {
        painter.setBrush(QColor(31, 31, 31));
        painter.drawEllipse(QRectF(side / 3.0, side / 3.0, side / 3.0, side / 3.0));
    }
    return QIcon(dot);
}

} // namespace

CameraStrip::CameraStrip(CameraList &cameras, QWidget *parent)
    : QWidget(parent)
    , list(cameras)
    , rows(new StripLayout(this))
{
    setObjectName(QStringLiteral("cameraStrip"));
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
    connect(&list, &CameraList::listChanged, this, &CameraStrip::rebuild);
    connect(&list, &CameraList::currentChanged, this, &CameraStrip::showCurrent);
    rebuild();
}

QString CameraStrip::buttonText(const Camera *camera)
{
    QString name = camera->shownName();
    // A name longer than the editor takes is shortened here, whole in the
    // tooltip.
    if (name.size() > CameraConfig::kMaxNameLength)
        name = name.left(CameraConfig::kMaxNameLength - 1) + QChar(0x2026);
    return QString::number(camera->number()) + QLatin1Char(' ') + name;
}

QColor CameraStrip::healthColour(Camera::Health health)
{
    switch (health) {
    case Camera::Health::Connected:
        return QColor(70, 180, 70);
    case Camera::Health::Connecting:
        return QColor(223, 148, 0);
    case Camera::Health::Failing:
        return QColor(220, 50, 40);
    case Camera::Health::Reconnecting:
        return QColor(150, 90, 200);
    case Camera::Health::NotConnected:
        break;
    }
    return QColor(150, 150, 150);
}

QColor CameraStrip::tallyColour(Camera::Tally tally)
{
    return tally == Camera::Tally::Program ? QColor(220, 30, 30) : QColor(30, 170, 60);
}

void CameraStrip::showTally(int index)
{
    const Camera *camera = list.at(index);
    QPushButton *button = buttons.value(index);
    if (!camera || !button)
        return;
    const Camera::Tally tally = camera->tally();
    button->setProperty("tally", QLatin1String(Camera::tallyWord(tally)));
    if (tally == Camera::Tally::Off) {
        button->setStyleSheet(QString());
        return;
    }
    button->setStyleSheet(
        QStringLiteral("QPushButton { border: 3px solid %1; border-radius: 3px; padding: 2px 6px;"
                       " background: palette(button); }"
                       " QPushButton:checked { background: palette(midlight); }")
            .arg(tallyColour(tally).name()));
}

void CameraStrip::rebuild()
{
    // A button may be in the middle of its own click.
    for (QPushButton *button : qAsConst(buttons)) {
        button->hide();
        button->disconnect(this);
        button->deleteLater();
    }
    buttons.clear();
    const QList<Camera *> &cameras = list.cameras();
    for (int i = 0; i < cameras.size(); ++i) {
        Camera *camera = cameras.at(i);
        auto *button = new QPushButton(this);
        button->setObjectName(QStringLiteral("cameraButton%1").arg(i + 1));
        button->setCheckable(true);
        button->setFocusPolicy(Qt::NoFocus);
        button->setText(buttonText(camera));
        connect(button, &QPushButton::clicked, this, [this, i] {
            showCurrent(); // the window decides; until then the mark stays
            emit chosen(i);
        });
        connect(camera, &Camera::healthChanged, button, [this, i] { showHealth(i); });
        connect(camera, &Camera::tallyChanged, button, [this, i] { showTally(i); });
        connect(camera, &Camera::readbackChanged, button, [this, i] { showHealth(i); });
        // Power on and standby for this camera, current or not.
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, i, button](const QPoint &at) { powerMenu(i, button->mapToGlobal(at)); });
        rows->addWidget(button);
        buttons.append(button);
        showHealth(i);
        showTally(i);
    }
    showCurrent();
    setVisible(cameras.size() > 1);
    updateGeometry();
}

void CameraStrip::showHealth(int index)
{
    const Camera *camera = list.at(index);
    QPushButton *button = buttons.value(index);
    if (!camera || !button)
        return;
    const Camera::Health health = camera->health();
    const bool asleep = !camera->readback().drivable();
    const int side = fontMetrics().height() * 2 / 3;
    button->setIconSize(QSize(side, side));
    button->setIcon(healthDot(health, asleep, side, devicePixelRatioF()));
    button->setProperty("health", QLatin1String(Camera::healthWord(health)));
    button->setProperty("power", QLatin1String(CameraReadback::powerWord(camera->readback().power())));
    // As every control: a name, a description, and the key in the tooltip.
    const int number = camera->number();
    button->setAccessibleName(QStringLiteral("Camera %1, %2").arg(number).arg(camera->shownName()));
    const QString description = QStringLiteral("Selects camera %1: the panels drive it")
                                    .arg(number);
    button->setAccessibleDescription(description);
    QString tip = description;
    if (number <= 9)
        tip += QStringLiteral("\nKey: Ctrl+%1").arg(number);
    tip += QStringLiteral("\n%1, %2: %3")
               .arg(camera->shownName(), camera->config().routeWords(), camera->healthReason());
    if (asleep)
        tip += QStringLiteral("\nIn %1: Power on (right click) to drive it")
                   .arg(QLatin1String(CameraReadback::powerWord(camera->readback().power())));
    button->setToolTip(tip);
}

void CameraStrip::showCurrent()
{
    for (int i = 0; i < buttons.size(); ++i) {
        const QSignalBlocker quiet(buttons.at(i));
        buttons.at(i)->setChecked(i == list.currentIndex());
    }
}

QString CameraStrip::describe() const
{
    QStringList entries;
    for (int i = 0; i < buttons.size(); ++i) {
        const Camera *camera = list.at(i);
        entries << buttons.at(i)->text()
                + (buttons.at(i)->isChecked() ? QStringLiteral(" [x] ") : QStringLiteral(" [ ] "))
                + QLatin1String(Camera::healthWord(camera ? camera->health() : Camera::Health::NotConnected))
                + (camera && !camera->readback().drivable()
                       ? QLatin1Char(' ')
                           + QLatin1String(CameraReadback::powerWord(camera->readback().power()))
                       : QString())
                + (camera && camera->tally() != Camera::Tally::Off
                       ? QLatin1Char(' ') + QLatin1String(Camera::tallyWord(camera->tally()))
                       : QString());
    }
    return QStringLiteral("strip ") + entries.join(QStringLiteral(" | "));
}

int CameraStrip::heightForWidth(int width) const
{
    return rows->heightForWidth(width);
}

void CameraStrip::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    // The window's layout asks for no height by width: the strip claims the
    // height its rows need at the width it got.
    const int needed = rows->heightForWidth(width());
    if (minimumHeight() != needed)
        setMinimumHeight(needed);
}

void CameraStrip::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange) {
        for (int i = 0; i < buttons.size(); ++i)
            showHealth(i);
    }
}

void CameraStrip::powerMenu(int index, const QPoint &at)
{
    Camera *camera = list.at(index);
    if (!camera)
        return;
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    QAction *on = menu->addAction(QStringLiteral("Power on"), camera, [camera] { camera->setPower(true); });
    QAction *standby
        = menu->addAction(QStringLiteral("Standby"), camera, [camera] { camera->setPower(false); });
    on->setEnabled(camera->carriesCommands());
    standby->setEnabled(camera->carriesCommands()
                        && camera->readback().power() != CameraReadback::Power::Standby);
    menu->popup(at);
}

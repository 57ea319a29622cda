#include "simwindow.h"

#include "cameraview.h"
#include "simulator.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

const int kFrameIntervalMs = 40;
const int kLogLines = 500;
const int kTilesPerRow = 4;
const QSize kSmallView(200, 112);
const char *const kMovedLastStyle = "QFrame#cameraTile { border: 2px solid rgb(223, 148, 0); }";
const char *const kOtherStyle = "QFrame#cameraTile { border: 2px solid transparent; }";

// Where a camera answers: "serial 1", "network 2", "serial 1 · network 1".
QString routesOf(const ViscaModel::State &state)
{
    QStringList routes;
    if (state.serial)
        routes << (state.address > 0 ? QStringLiteral("serial %1").arg(state.address)
                                     : QStringLiteral("serial, no address"));
    if (state.networkPort > 0)
        routes << QStringLiteral("network %1").arg(state.networkPort);
    return routes.join(QStringLiteral(" \u00b7 "));
}

// A state value as the window shows it, with its meaning where the number
// alone says little.
QString shownValue(const QString &key, const QVariant &value, const ViscaModel::State &state)
{
    if (key == QLatin1String("zoom"))
        return QStringLiteral("%1  (%2x)")
            .arg(value.toString())
            .arg(CameraPicture::magnification(state.picture.zoom), 0, 'f', 1);
    if (key == QLatin1String("focus"))
        return QStringLiteral("%1  (sharp at %2)")
            .arg(value.toString())
            .arg(ViscaModel::kSharpFocus);
    if (key == QLatin1String("expLevel"))
        return QStringLiteral("%1  (%2 dB)")
            .arg(value.toString())
            .arg((state.picture.expLevel - ViscaModel::kExpLevelNeutral) * 1.5, 0, 'f', 1);
    if (key == QLatin1String("lamp"))
        return value.toString() + QStringLiteral(" %");
    if (key == QLatin1String("pan") || key == QLatin1String("tilt"))
        return value.toString() + QStringLiteral("°");
    return value.toString();
}

} // namespace

SimWindow::SimWindow(Simulator *simulator, const QStringList &links, QWidget *parent)
    : QWidget(parent)
    , sim(simulator)
    , shownCamera(new QLabel(this))
    , encoderSerial(new QLabel(this))
    , logView(new QPlainTextEdit(this))
{
    setWindowTitle(sim->cameras() > 1
                       ? QStringLiteral("tarndeck-sim - %1 simulated cameras").arg(sim->cameras())
                       : QStringLiteral("tarndeck-sim - simulated camera"));

    auto *views = new QGridLayout;
    for (int camera = 1; camera <= sim->cameras(); ++camera) {
        Tile tile;
        tile.frame = new QFrame(this);
        tile.frame->setObjectName(QStringLiteral("cameraTile"));
        tile.view = new CameraView(tile.frame);
        tile.caption = new QLabel(tile.frame);
        tile.name = QStringLiteral("camera %1 (%2)").arg(camera).arg(routesOf(sim->state(camera)));
        auto *column = new QVBoxLayout(tile.frame);
        column->setContentsMargins(2, 2, 2, 2);
        column->addWidget(tile.view, 1);
        if (sim->cameras() > 1) {
            tile.view->setFixedSize(kSmallView);
            tile.frame->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
            column->addWidget(tile.caption);
        } else {
            tile.caption->hide();
        }
        views->addWidget(tile.frame, (camera - 1) / kTilesPerRow, (camera - 1) % kTilesPerRow);
        tiles << tile;
    }
    if (sim->cameras() > 1) { // the small views keep together at the top left
        views->setRowStretch(views->rowCount(), 1);
        views->setColumnStretch(views->columnCount(), 1);
    }

    auto *form = new QFormLayout;
    form->addRow(shownCamera);
    shownCamera->setVisible(sim->cameras() > 1);
    for (const auto &pair : ViscaModel::stateValues(sim->state())) {
        auto *label = new QLabel(this);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        values.insert(pair.first, label);
        form->addRow(pair.first, label);
    }
    form->addRow(QStringLiteral("encoder serial"), encoderSerial);
    for (const QString &link : links) {
        auto *label = new QLabel(link, this);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        form->addRow(label);
    }

    auto *top = new QHBoxLayout;
    top->addLayout(views, 1);
    top->addLayout(form);

    logView->setReadOnly(true);
    logView->setMaximumBlockCount(kLogLines);
    logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    logView->setMinimumHeight(140);
    // The state is shown beside the views: the log keeps what each packet was
    // and what the camera answered.
    const auto append = [this](const QString &line) {
        const QString answers = line.section(QStringLiteral(" => "), 1);
        logView->appendPlainText(
            line.section(QStringLiteral(" | "), 0, 0)
            + (answers.isEmpty() ? QString() : QStringLiteral("  => ") + answers));
    };
    for (const QString &line : sim->recentLog())
        append(line);
    connect(sim, &Simulator::logged, logView, append);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top, 1);
    layout->addWidget(logView);

    refresh();
    startTimer(kFrameIntervalMs);
}

void SimWindow::timerEvent(QTimerEvent *)
{
    refresh();
}

void SimWindow::refresh()
{
    const int movedLast = sim->lastMoved();
    const bool reframe = tiles.size() > 1 && framed != movedLast;
    for (int camera = 1; camera <= tiles.size(); ++camera) {
        const Tile &tile = tiles.at(camera - 1);
        tile.view->setState(sim->state(camera));
        if (reframe && (framed == 0 || camera == movedLast || camera == framed)) {
            const bool last = camera == movedLast;
            tile.frame->setStyleSheet(QLatin1String(last ? kMovedLastStyle : kOtherStyle));
            tile.caption->setText(last ? tile.name + QStringLiteral(", moved last") : tile.name);
        }
    }
    framed = movedLast;
    shownCamera->setText(QStringLiteral("<b>%1</b>").arg(tiles.at(movedLast - 1).name));
    const ViscaModel::State state = sim->state(movedLast);
    for (const auto &pair : ViscaModel::stateValues(state)) {
        const QString text = shownValue(pair.first, pair.second, state);
        QLabel *label = values.value(pair.first);
        if (label && label->text() != text)
            label->setText(text);
    }
    encoderSerial->setText(sim->encoder().serialSetting());
}

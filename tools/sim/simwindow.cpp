#include "simwindow.h"

#include "cameraview.h"
#include "simulator.h"

#include <QFontDatabase>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace {

const int kFrameIntervalMs = 40;
const int kLogLines = 500;

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
    , view(new CameraView(this))
    , encoderSerial(new QLabel(this))
    , logView(new QPlainTextEdit(this))
{
    setWindowTitle(QStringLiteral("tarndeck-sim - simulated camera"));

    auto *form = new QFormLayout;
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
    top->addWidget(view, 1);
    top->addLayout(form);

    logView->setReadOnly(true);
    logView->setMaximumBlockCount(kLogLines);
    logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    logView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    logView->setMinimumHeight(140);
    // The state is shown beside the view: the log keeps what each packet was.
    const auto append = [this](const QString &line) {
        logView->appendPlainText(line.section(QStringLiteral(" | "), 0, 0));
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
    const ViscaModel::State &state = sim->state();
    view->setState(state);
    for (const auto &pair : ViscaModel::stateValues(state)) {
        const QString text = shownValue(pair.first, pair.second, state);
        QLabel *label = values.value(pair.first);
        if (label && label->text() != text)
            label->setText(text);
    }
    encoderSerial->setText(sim->encoder().serialSetting());
}

#include "gamepaddialog.h"

#include "ui_gamepaddialog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHeaderView>
#include <QSpinBox>

namespace {

const Pad::Motion motions[] = {Pad::Motion::None, Pad::Motion::Pan, Pad::Motion::Tilt,
                               Pad::Motion::Zoom, Pad::Motion::Focus};

QString editorName(const char *kind, Pad::Control control)
{
    return QLatin1String(kind) + QLatin1Char('_') + QLatin1String(Pad::row(control).key);
}

QTableWidgetItem *labelItem(Pad::Control control)
{
    auto *item = new QTableWidgetItem(QString::fromLatin1(Pad::row(control).label));
    item->setFlags(Qt::ItemIsEnabled);
    return item;
}

} // namespace

GamepadDialog::GamepadDialog(const PadSettings &settings, const PadLimits &limits, QWidget *parent)
    : QDialog(parent)
    , ui(new Ui::GamepadDialog)
    , limits(limits)
{
    ui->setupUi(this);
    buildTables();
    ui->checkBoxEnabled->setChecked(settings.enabled);
    ui->checkBoxBackground->setChecked(settings.background);
    showLayout(settings.layout);
    connect(ui->pushButtonDefaults, &QPushButton::clicked, this,
            [this] { showLayout(PadLayout()); });
}

GamepadDialog::~GamepadDialog() = default;

template<typename T>
T *GamepadDialog::editor(const char *kind, Pad::Control control) const
{
    return findChild<T *>(editorName(kind, control));
}

void GamepadDialog::buildTables()
{
    QTableWidget *axes = ui->tableAxes;
    axes->setRowCount(Pad::axisCount);
    for (int i = 0; i < Pad::axisCount; ++i) {
        const auto control = Pad::Control(i);
        axes->setItem(i, 0, labelItem(control));

        auto *drives = new QComboBox;
        drives->setObjectName(editorName("drives", control));
        for (const Pad::Motion motion : motions)
            drives->addItem(Pad::motionLabel(motion), int(motion));
        axes->setCellWidget(i, 1, drives);

        auto *invert = new QCheckBox;
        invert->setObjectName(editorName("invert", control));
        axes->setCellWidget(i, 2, invert);

        auto *deadZone = new QSpinBox;
        deadZone->setObjectName(editorName("deadZone", control));
        deadZone->setRange(0, AxisShaping::maxDeadZonePercent);
        deadZone->setSuffix(QStringLiteral(" %"));
        axes->setCellWidget(i, 3, deadZone);

        auto *curve = new QDoubleSpinBox;
        curve->setObjectName(editorName("curve", control));
        curve->setRange(AxisShaping::minCurve, AxisShaping::maxCurve);
        curve->setDecimals(1);
        curve->setSingleStep(0.1);
        curve->setToolTip(tr("1.0 is linear; 2.0 or 3.0 give the slow speeds more of the travel"));
        axes->setCellWidget(i, 4, curve);

        auto *top = new QSpinBox;
        top->setObjectName(editorName("topSpeed", control));
        top->setSpecialValueText(tr("Camera's top"));
        axes->setCellWidget(i, 5, top);

        connect(drives, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, control] { fitTopSpeed(control); });
    }

    QTableWidget *buttons = ui->tableButtons;
    buttons->setRowCount(Pad::buttonCount);
    for (int i = 0; i < Pad::buttonCount; ++i) {
        const auto control = Pad::Control(Pad::axisCount + i);
        buttons->setItem(i, 0, labelItem(control));

        auto *action = new QComboBox;
        action->setObjectName(editorName("action", control));
        for (int a = int(Pad::Action::None); a <= int(Pad::Action::Preset); ++a)
            action->addItem(Pad::actionLabel({Pad::Action(a), 0}), a);
        buttons->setCellWidget(i, 1, action);

        auto *preset = new QSpinBox;
        preset->setObjectName(editorName("preset", control));
        buttons->setCellWidget(i, 2, preset);

        connect(action, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
                [this, control] { fitPreset(control); });
    }
    for (QTableWidget *table : {axes, buttons})
        table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
}

void GamepadDialog::showLayout(const PadLayout &layout)
{
    for (int i = 0; i < Pad::axisCount; ++i) {
        const auto control = Pad::Control(i);
        const Pad::AxisBinding &b = layout.axis(control);
        auto *drives = editor<QComboBox>("drives", control);
        drives->setCurrentIndex(drives->findData(int(b.drives)));
        fitTopSpeed(control);
        editor<QCheckBox>("invert", control)->setChecked(b.shape.inverted);
        editor<QSpinBox>("deadZone", control)->setValue(b.shape.deadZonePercent);
        editor<QDoubleSpinBox>("curve", control)
            ->setValue(AxisShaping::roundedCurve(b.shape.curve));
        editor<QSpinBox>("topSpeed", control)->setValue(b.shape.topSpeed);
    }
    for (int i = Pad::axisCount; i < Pad::controlCount; ++i) {
        const auto control = Pad::Control(i);
        const Pad::ButtonBinding &b = layout.button(control);
        auto *action = editor<QComboBox>("action", control);
        action->setCurrentIndex(action->findData(int(b.action)));
        fitPreset(control);
        editor<QSpinBox>("preset", control)->setValue(b.preset);
    }
}

// The top speed goes up to the top of what the axis drives; the lowest
// value stands for the camera's own top.
void GamepadDialog::fitTopSpeed(Pad::Control axis)
{
    const auto motion = Pad::Motion(editor<QComboBox>("drives", axis)->currentData().toInt());
    auto *top = editor<QSpinBox>("topSpeed", axis);
    top->setRange(0, qMax(0, limits.of(motion)));
    top->setEnabled(motion != Pad::Motion::None);
}

void GamepadDialog::fitPreset(Pad::Control button)
{
    const bool preset
        = editor<QComboBox>("action", button)->currentData().toInt() == int(Pad::Action::Preset);
    auto *number = editor<QSpinBox>("preset", button);
    number->setRange(preset ? 1 : 0, preset ? Pad::maxPreset : 0);
    number->setEnabled(preset);
}

PadSettings GamepadDialog::settings() const
{
    PadSettings s;
    s.enabled = ui->checkBoxEnabled->isChecked();
    s.background = ui->checkBoxBackground->isChecked();
    for (int i = 0; i < Pad::axisCount; ++i) {
        const auto control = Pad::Control(i);
        Pad::AxisBinding b;
        b.drives = Pad::Motion(editor<QComboBox>("drives", control)->currentData().toInt());
        b.shape.inverted = editor<QCheckBox>("invert", control)->isChecked();
        b.shape.deadZonePercent = editor<QSpinBox>("deadZone", control)->value();
        b.shape.curve
            = AxisShaping::roundedCurve(editor<QDoubleSpinBox>("curve", control)->value());
        b.shape.topSpeed = editor<QSpinBox>("topSpeed", control)->value();
        s.layout.setAxis(control, b);
    }
    for (int i = Pad::axisCount; i < Pad::controlCount; ++i) {
        const auto control = Pad::Control(i);
        Pad::ButtonBinding b;
        b.action = Pad::Action(editor<QComboBox>("action", control)->currentData().toInt());
        b.preset
            = b.action == Pad::Action::Preset ? editor<QSpinBox>("preset", control)->value() : 0;
        s.layout.setButton(control, b);
    }
    return s;
}

void GamepadDialog::setPadName(const QString &name)
{
    ui->labelPad->setText(name.isEmpty() ? tr("No pad connected") : tr("In use: %1").arg(name));
}

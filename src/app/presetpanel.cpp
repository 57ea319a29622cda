#include "presetpanel.h"

#include <QAction>
#include <QActionGroup>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QStyle>
#include <QStyleOptionButton>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

namespace {

const QString selectedStyle = QStringLiteral("border: 2px solid rgb( 223, 148, 0 ); font-weight: bold");
const QString armedStyle = QStringLiteral("border: 2px dashed rgb( 200, 40, 40 )");

QString quoted(const PresetBook &book, int n)
{
    const QString name = book.name(n);
    return name.isEmpty() ? QStringLiteral("preset %1").arg(n)
                          : QStringLiteral("preset %1 \u201C%2\u201D").arg(n).arg(name);
}

// A control's accessible name and description; its tooltip starts with the
// description.
void describe(QWidget *control, const QString &name, const QString &description,
              const QString &more = QString())
{
    control->setAccessibleName(name);
    control->setAccessibleDescription(description);
    control->setToolTip(more.isEmpty() ? description : description + QLatin1Char(' ') + more);
}

QPushButton *smallButton(const QString &text, const QString &name, QWidget *parent)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(name);
    button->setFocusPolicy(Qt::NoFocus);
    return button;
}

QString keyOf(int n)
{
    if (n >= 1 && n <= 9)
        return QStringLiteral(" (keypad %1)").arg(n);
    return n == 10 ? QStringLiteral(" (keypad 0)") : QString();
}

} // namespace

PresetPanel::PresetPanel(QWidget *parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("presetPanel"));
    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    auto *grid = new QGridLayout;
    grid->setSpacing(3);
    for (int slot = 0; slot < kPerPage; ++slot) {
        auto *button = smallButton(QString(), QStringLiteral("pushButtonPreset%1").arg(slot + 1), this);
        button->setCheckable(true);
        button->setMinimumSize(56, 34);
        button->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
        button->setContextMenuPolicy(Qt::CustomContextMenu);
        button->installEventFilter(this);
        connect(button, &QPushButton::clicked, this, [this, slot] { clicked(slot); });
        connect(button, &QWidget::customContextMenuRequested, this,
                [this, slot, button](const QPoint &at) { contextMenu(slot, button->mapToGlobal(at)); });
        grid->addWidget(button, slot / kColumns, slot % kColumns);
        buttons.append(button);
    }
    column->addLayout(grid, 1);

    auto *pages = new QHBoxLayout;
    previous = smallButton(QStringLiteral("\u25C0"), QStringLiteral("pushButtonPresetsPrevious"), this);
    next = smallButton(QStringLiteral("\u25B6"), QStringLiteral("pushButtonPresetsNext"), this);
    pageLabel = new QLabel(this);
    pageLabel->setObjectName(QStringLiteral("labelPresetsPage"));
    pageLabel->setAlignment(Qt::AlignCenter);
    storeToggle = smallButton(QStringLiteral("Store"), QStringLiteral("pushButtonPresetsStore"), this);
    storeToggle->setCheckable(true);
    describe(previous, QStringLiteral("Previous presets"), QStringLiteral("Shows the previous page of presets"));
    describe(next, QStringLiteral("Next presets"), QStringLiteral("Shows the next page of presets"));
    describe(storeToggle, QStringLiteral("Store"),
             QStringLiteral("Stores the current shot into the preset clicked next"),
             QStringLiteral("(keypad * then the digit)"));
    connect(previous, &QPushButton::clicked, this, [this] { setPage(shownPage - 1); });
    connect(next, &QPushButton::clicked, this, [this] { setPage(shownPage + 1); });
    pages->addWidget(previous);
    pages->addWidget(pageLabel, 1);
    pages->addWidget(next);
    pages->addWidget(storeToggle);
    column->addLayout(pages);

    auto *speedRow = new QHBoxLayout;
    speedLabel = new QLabel(this);
    speedLabel->setObjectName(QStringLiteral("labelPresetSpeed"));
    speedSlider = new QSlider(Qt::Horizontal, this);
    speedSlider->setObjectName(QStringLiteral("sliderPresetSpeed"));
    speedSlider->setRange(1, PresetBook::kTopSpeed);
    speedSlider->setFocusPolicy(Qt::NoFocus);
    speedSlider->setTracking(false);
    describe(speedSlider, QStringLiteral("Recall speed"),
             QStringLiteral("Sets the recall speed of the selected preset"));
    connect(speedSlider, &QSlider::valueChanged, this, [this](int speed) {
        if (selected > 0)
            emit speedChosen(selected, speed);
    });
    connect(speedSlider, &QSlider::sliderMoved, this, [this](int speed) {
        speedLabel->setText(QStringLiteral("Recall speed %1").arg(speed));
    });
    speedRow->addWidget(speedLabel);
    speedRow->addWidget(speedSlider, 1);
    column->addLayout(speedRow);
    redraw();
}

void PresetPanel::draw(const PresetBook &presets, int selectedPreset, bool storeArmed)
{
    const bool followSelection = selectedPreset != selected && selectedPreset > 0;
    book = presets;
    order = book.order();
    selected = book.has(selectedPreset) ? selectedPreset : 0;
    armed = storeArmed;
    if (followSelection && selected > 0)
        shownPage = book.place(selected) / kPerPage;
    if (book.has(followed))
        shownPage = book.place(followed) / kPerPage;
    shownPage = std::clamp(shownPage, 0, pageCount() - 1);
    redraw();
}

int PresetPanel::pageCount() const
{
    return (book.count() + kPerPage - 1) / kPerPage;
}

void PresetPanel::setPage(int page)
{
    shownPage = std::clamp(page, 0, pageCount() - 1);
    redraw();
}

// A long name is shortened with an ellipsis to the button's width (the
// tooltip and the accessible name hold it whole), never cut off at the edge.
void PresetPanel::fitText(int slot)
{
    QPushButton *button = buttons.at(slot);
    const int n = presetAt(slot);
    // The room inside the button's frame and padding as its style draws
    // them, less half a character either side so a name never touches them.
    QStyleOptionButton option;
    option.initFrom(button);
    const int frame
        = button->style()->sizeFromContents(QStyle::CT_PushButton, &option, QSize(0, 0), button).width();
    const int room = button->width() - frame - button->fontMetrics().averageCharWidth();
    const QString name = button->fontMetrics().elidedText(book.name(n), Qt::ElideRight, room);
    button->setText(n > 0 ? (name.isEmpty() ? QString::number(n)
                                            : QString::number(n) + QLatin1Char('\n') + name)
                          : QString());
}

bool PresetPanel::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Resize) {
        const int slot = buttons.indexOf(static_cast<QPushButton *>(watched));
        if (slot >= 0)
            fitText(slot);
    }
    return QWidget::eventFilter(watched, event);
}

int PresetPanel::presetAt(int slot) const
{
    return slot >= 0 && slot < kPerPage ? order.value(shownPage * kPerPage + slot) : 0;
}

void PresetPanel::redraw()
{
    for (int slot = 0; slot < kPerPage; ++slot) {
        QPushButton *button = buttons.at(slot);
        const int n = presetAt(slot);
        button->setEnabled(n > 0);
        fitText(slot);
        describe(button, n > 0 ? book.label(n) : QStringLiteral("No preset"),
                 n > 0 ? QStringLiteral("Recalls %1%2.").arg(quoted(book, n), keyOf(n))
                       : QStringLiteral("No preset here on this camera"),
                 n > 0 ? QStringLiteral("Right-click to store, rename, clear or move.") : QString());
        button->setChecked(n > 0 && n == selected);
        button->setStyleSheet(n > 0 && n == selected ? selectedStyle : QString());
    }
    const bool paged = pageCount() > 1;
    previous->setVisible(paged);
    next->setVisible(paged);
    previous->setEnabled(shownPage > 0);
    next->setEnabled(shownPage + 1 < pageCount());
    pageLabel->setText(armed ? QStringLiteral("Store into: digit")
                             : paged ? QStringLiteral("%1/%2").arg(shownPage + 1).arg(pageCount())
                                     : QString());
    storeToggle->setStyleSheet(armed ? armedStyle : QString());

    const bool speedOffered = book.speedForm() != PresetBook::SpeedForm::None && selected > 0;
    speedLabel->setVisible(speedOffered);
    speedSlider->setVisible(speedOffered);
    if (speedOffered) {
        const int speed = book.speed(selected) > 0 ? book.speed(selected) : PresetBook::kTopSpeed;
        const QSignalBlocker quiet(speedSlider);
        speedSlider->setValue(speed);
        speedLabel->setText(QStringLiteral("Recall speed %1").arg(speed));
        describe(speedSlider, QStringLiteral("Recall speed"),
                 QStringLiteral("Sets the recall speed of the selected preset"),
                 QStringLiteral("(%1)").arg(quoted(book, selected)));
    }
}

void PresetPanel::clicked(int slot)
{
    const int n = presetAt(slot);
    redraw(); // a click must not leave its own check mark
    if (n == 0)
        return;
    if (storeToggle->isChecked()) {
        storeToggle->setChecked(false);
        confirmStore(n);
        return;
    }
    emit recallRequested(n);
}

void PresetPanel::contextMenu(int slot, const QPoint &at)
{
    const int n = presetAt(slot);
    if (n == 0)
        return;
    auto *menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->setObjectName(QStringLiteral("menuPreset"));
    menu->addAction(QStringLiteral("&Recall"), this, [this, n] { emit recallRequested(n); });
    menu->addAction(QStringLiteral("&Store current shot\u2026"), this, [this, n] { confirmStore(n); });
    menu->addAction(QStringLiteral("Re&name\u2026"), this, [this, n] { askName(n); });
    menu->addAction(QStringLiteral("&Clear\u2026"), this, [this, n] { confirmClear(n); });
    menu->addSeparator();
    const int place = book.place(n);
    QAction *earlier = menu->addAction(QStringLiteral("Move &earlier"), this, [this, n] { move(n, -1); });
    earlier->setObjectName(QStringLiteral("actionPresetEarlier"));
    earlier->setEnabled(place > 0);
    QAction *later = menu->addAction(QStringLiteral("Move &later"), this, [this, n] { move(n, 1); });
    later->setObjectName(QStringLiteral("actionPresetLater"));
    later->setEnabled(place + 1 < book.count());
    menu->addSeparator();
    QMenu *forms = menu->addMenu(QStringLiteral("Recall speed taken"));
    auto *group = new QActionGroup(forms);
    const std::pair<PresetBook::SpeedForm, const char *> choices[] = {
        {PresetBook::SpeedForm::None, "Not at all"},
        {PresetBook::SpeedForm::PerPreset, "Per preset"},
        {PresetBook::SpeedForm::Global, "One for all presets"},
    };
    for (const auto &[form, text] : choices) {
        QAction *choice = forms->addAction(QLatin1String(text));
        choice->setCheckable(true);
        choice->setChecked(book.speedForm() == form);
        group->addAction(choice);
        connect(choice, &QAction::triggered, this,
                [this, form = form] { emit speedFormChosen(form); });
    }
    menu->popup(at);
}

void PresetPanel::move(int n, int step)
{
    // The book comes back through draw() while the signal is told.
    followed = n;
    emit moveRequested(n, step);
    followed = 0;
}

QString PresetPanel::storeQuestion(const PresetBook &presets, int n)
{
    return QStringLiteral("Store the camera's current shot as %1? What it holds now is overwritten.")
        .arg(quoted(presets, n));
}

void PresetPanel::ask(const QString &title, const QString &text, const QString &yes,
                      const std::function<void()> &onYes)
{
    if (openDialog)
        openDialog->close();
    auto *box = new QMessageBox(QMessageBox::Question, title, text, QMessageBox::Cancel, this);
    box->setObjectName(QStringLiteral("presetQuestion"));
    box->setAttribute(Qt::WA_DeleteOnClose);
    QPushButton *confirm = box->addButton(yes, QMessageBox::AcceptRole);
    box->setDefaultButton(QMessageBox::Cancel);
    connect(box, &QMessageBox::buttonClicked, this, [confirm, onYes](QAbstractButton *chosen) {
        if (chosen == confirm)
            onYes();
    });
    openDialog = box;
    box->open();
}

void PresetPanel::confirmStore(int n)
{
    if (!book.has(n))
        return;
    ask(QStringLiteral("Store preset"), storeQuestion(book, n), QStringLiteral("Store"),
        [this, n] { emit storeConfirmed(n); });
}

void PresetPanel::confirmClear(int n)
{
    if (!book.has(n))
        return;
    ask(QStringLiteral("Clear preset"),
        QStringLiteral("Clear %1 in the camera and forget its name?").arg(quoted(book, n)),
        QStringLiteral("Clear"), [this, n] { emit clearConfirmed(n); });
}

void PresetPanel::askName(int n)
{
    if (!book.has(n))
        return;
    if (openDialog)
        openDialog->close();
    auto *dialog = new QInputDialog(this);
    dialog->setObjectName(QStringLiteral("presetName"));
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowTitle(QStringLiteral("Rename preset"));
    dialog->setLabelText(QStringLiteral("Name of preset %1:").arg(n));
    dialog->setTextValue(book.name(n));
    connect(dialog, &QInputDialog::textValueSelected, this,
            [this, n](const QString &name) { emit renamed(n, name); });
    openDialog = dialog;
    dialog->open();
}

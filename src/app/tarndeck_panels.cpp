// Which camera panels are shown, how the sliders light up under the pointer,
// how the panel buttons return to rest, how the pad stays centred, and the
// panels drawn from the camera's state.
#include "menubarwidth.h"
#include "tarndeck.h"


#include <QCoreApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QSignalBlocker>
#include <QStyleOptionFrame>

#include <memory>
#include <vector>

namespace {

const QString sliderHighlight = QStringLiteral("border : 2px solid rgb( 223, 148, 0 )");
const QString sliderPlain = QStringLiteral("border: 2px solid rgb( 31, 31, 31 )");

// Clears an auto-exclusive group: with exclusivity on, the last checked
// button of a group cannot be unchecked directly.
void clearExclusiveGroup(QPushButton *member)
{
    member->setChecked(true);
    member->setAutoExclusive(false);
    member->setChecked(false);
    member->setAutoExclusive(true);
}

} // namespace

void tarnDeck::showPanels(bool visible)
{
    const std::pair<QGroupBox *, QAction *> panels[] = {
        {ui.groupBoxZoom, ui.actionZoom},
        {ui.groupBoxFocus, ui.actionFocus},
        {ui.groupBoxBrightness, ui.actionBrightness},
        {ui.groupBoxColor, ui.actionColor},
        {ui.groupBoxLED, ui.actionLED},
        {ui.groupBoxPresets, ui.actionPresets},
    };
    for (const auto &[panel, action] : panels)
        panel->setVisible(visible && action->isChecked());
}

void tarnDeck::fitMenuBar()
{
    // The menu titles side by side, or more where the panels shown need it
    // (a window's own minimum set here overrides its layout's).
    // Only once shown: while the window is built every panel is still in.
    const int panels = isVisible() && layout() ? layout()->totalMinimumSize().width() : 0;
    setMinimumWidth(qMax(menuBarFullWidth(ui.menuBar), panels));
}

// The route panels' address fields are wide enough for a whole IPv4 address
// with its port, and their status lines wrap rather than cut a failure's
// words: the window grows past its menu bar's width where they need it.
void tarnDeck::fitRoutePanels()
{
    static const QString widest = QStringLiteral("255.255.255.255:65535");
    for (QLineEdit *field : {ui.lineEditActiIP, ui.lineEditViscaIpAddress}) {
        // The window's style sheet gives the fields their font.
        field->ensurePolished();
        QStyleOptionFrame frame;
        frame.initFrom(field);
        frame.lineWidth = field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &frame, field);
        const QMargins margins = field->textMargins();
        // QLineEdit keeps 2 pixels either side of its text, and 1 for the cursor.
        const int text = field->fontMetrics().horizontalAdvance(widest) + 2 * 2 + 1
            + margins.left() + margins.right();
        const QSize needed = field->style()->sizeFromContents(
            QStyle::CT_LineEdit, &frame, QSize(text, field->sizeHint().height()), field);
        field->setMinimumWidth(needed.width());
    }
    // Two lines: a failure's words in the panel's width (the whole reason
    // is on the status line below and in the log).
    for (QLabel *status : {ui.labelActiStatus, ui.labelViscaIpStatus}) {
        status->ensurePolished();
        status->setWordWrap(true);
        const QRect twoLines = status->fontMetrics().boundingRect(
            QRect(0, 0, 1000, 1000), Qt::TextWordWrap, QStringLiteral("X\nX"));
        status->setMinimumHeight(twoLines.height() + 2 * status->margin());
    }
}

void tarnDeck::timerEvent()
{
    // Two resizes make resizeEvent re-centre the pad after a layout change.
    const QRect r = rect();
    resize(r.width(), r.height() + 1);
    resize(r.width(), r.height());
}

// The buttons toggle as usual (an unchecked WDR sends its "off" where a
// route is up); then the camera forgets the marks.
void tarnDeck::setPushButtonDefault()
{
    clearExclusiveGroup(ui.pushButtonFocusAuto);
    ui.pushButtonFocusAuto->setChecked(false);
    ui.pushButtonBrightnessAuto->setChecked(false);
    ui.pushButtonBrightnessWDR->setChecked(false);
    clearExclusiveGroup(ui.pushButtonColorAuto);
    ui.pushButtonLEDOff->setChecked(false);
    camera()->forgetPanelMarks();
}

// The marks of the panels and the profile menu as the camera's state has
// them. Signals are blocked meanwhile: drawing sends nothing.
void tarnDeck::drawCamera()
{
    const CameraState &state = camera()->state();
    const auto mark = [](QAbstractButton *button, bool on) {
        const QSignalBlocker quiet(button);
        button->setChecked(on);
    };
    // An exclusive group shows its one mode, or none.
    const auto markOne = [](const QList<QPushButton *> &group, int chosen) {
        std::vector<std::unique_ptr<QSignalBlocker>> quiet;
        for (QPushButton *member : group)
            quiet.push_back(std::make_unique<QSignalBlocker>(member));
        if (chosen >= 0 && chosen < group.size()) {
            group.at(chosen)->setChecked(true);
            return;
        }
        for (QPushButton *member : group) {
            if (member->isChecked())
                clearExclusiveGroup(member);
        }
    };
    markOne({ui.pushButtonFocusAuto, ui.pushButtonFocusTrigger, ui.pushButtonFocusManual},
            int(state.focus) - int(FocusMode::Auto));
    markOne({ui.pushButtonColorAuto, ui.pushButtonColor2700K, ui.pushButtonColor3200K,
             ui.pushButtonColor5800K},
            int(state.whiteBalance) - int(WhiteBalance::Auto));
    mark(ui.pushButtonBrightnessAuto, state.exposure == Exposure::Auto);
    mark(ui.pushButtonBrightnessWDR, state.wdr);
    mark(ui.pushButtonLEDOff, state.lampOff);

    const QList<QAction *> entries = cameraProfileEntries();
    for (int n = 0; n < entries.size(); ++n) {
        const QSignalBlocker quiet(entries.at(n));
        entries.at(n)->setChecked(n == state.profile);
    }
    ui.actionCameraSave->setEnabled(state.profile >= 0);
    ui.actionCameraReset->setEnabled(state.profile >= 0);
}

void tarnDeck::on_actionPanTilt_triggered(bool)
{
    ui.groupBoxPanTilt->setVisible(ui.actionPanTilt->isChecked());
    timer.start();
}

void tarnDeck::on_actionZoom_triggered(bool)
{
    ui.groupBoxZoom->setVisible(ui.actionZoom->isChecked());
}

void tarnDeck::on_actionFocus_triggered(bool)
{
    ui.groupBoxFocus->setVisible(ui.actionFocus->isChecked());
}

void tarnDeck::on_actionBrightness_triggered(bool)
{
    ui.groupBoxBrightness->setVisible(ui.actionBrightness->isChecked());
}

void tarnDeck::on_actionColor_triggered(bool)
{
    ui.groupBoxColor->setVisible(ui.actionColor->isChecked());
}

void tarnDeck::on_actionLED_triggered(bool)
{
    ui.groupBoxLED->setVisible(ui.actionLED->isChecked());
}

// The zoom and focus sliders are rate controls: nothing may leave them away
// from 0 once the pointer lets go. A press on the groove pages the slider and
// repeats while held, without the handle's sliderReleased(); so every pointer
// release springs back, after the slider has ended its own press (which stops
// its page repeat). A wheel turn has no release at all: it is ignored.
bool tarnDeck::rateSliderEvent(QSlider *slider, QEvent *event)
{
    if (event->type() == QEvent::Wheel)
        return true;
    if (event->type() != QEvent::MouseButtonRelease || rateSliderReleasing)
        return false;
    rateSliderReleasing = true;
    QCoreApplication::sendEvent(slider, event);
    rateSliderReleasing = false;
    if (!static_cast<QMouseEvent *>(event)->buttons())
        slider->setSliderPosition(0);
    return true;
}

bool tarnDeck::eventFilter(QObject *watched, QEvent *event)
{
    const QEvent::Type type = event->type();
    if (watched == ui.menuBar) {
        const bool titlesChanged = type == QEvent::ActionAdded || type == QEvent::ActionRemoved
            || type == QEvent::ActionChanged || type == QEvent::FontChange
            || type == QEvent::StyleChange;
        if (titlesChanged)
            fitMenuBar();
        return false;
    }
    // A panel shown or hidden (a route panel needs more width than others).
    if (watched == ui.centralWidget && type == QEvent::LayoutRequest)
        fitMenuBar();
    for (QSlider *slider : {ui.verticalSliderZoom, ui.verticalSliderFocus}) {
        if (watched == slider && rateSliderEvent(slider, event))
            return true;
    }
    const bool hover = type == QEvent::HoverEnter || type == QEvent::HoverLeave;
    if (hover && ui.centralWidget->isEnabled()) {
        // The rate sliders spring back when the pointer leaves them; the
        // level sliders only light up.
        const struct
        {
            QSlider *slider;
            QGroupBox *panel; // nullptr: no spring back, panel not consulted
        } sliders[] = {
            {ui.verticalSliderZoom, ui.groupBoxZoom},
            {ui.verticalSliderFocus, ui.groupBoxFocus},
            {ui.verticalSliderBrightness, nullptr},
            {ui.verticalSliderLED, nullptr},
        };
        for (const auto &entry : sliders) {
            if (watched != entry.slider)
                continue;
            if (entry.panel && !entry.panel->isEnabled())
                break;
            if (type == QEvent::HoverLeave) {
                if (entry.panel)
                    entry.slider->setSliderPosition(0);
                entry.slider->setStyleSheet(sliderPlain);
            } else {
                entry.slider->setStyleSheet(sliderHighlight);
            }
            break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void tarnDeck::resizeEvent(QResizeEvent *)
{
    const QRect r = ui.groupBoxPanTilt->contentsRect();
    const QSize p = ui.widgetPT->size();
    ui.widgetPT->move(r.left() + (r.width() - p.width()) / 2,
                      r.top() + (r.height() - p.height()) / 2);
}

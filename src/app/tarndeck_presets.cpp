// The "Presets" panel and the keypad's presets: the current camera's presets
// recalled, stored, renamed and cleared, their recall speed, and the book
// kept in the settings store under the camera's entry.
#include "logcategories.h"
#include "presetrecords.h"
#include "tarndeck.h"

namespace {

// The camera whose presets the window shows: the first, today's only one.
constexpr int kShownCameraNumber = 1;

} // namespace

void tarnDeck::setUpPresets()
{
    presetPanel = new PresetPanel(ui.groupBoxPresets);
    ui.groupBoxPresets->layout()->addWidget(presetPanel);

    QStringList problems;
    camera()->setPresets(PresetRecords::read(settings, kShownCameraNumber, &problems));
    if (!problems.isEmpty())
        showStatus(QStringLiteral("Settings: ") + problems.first(), true);

    connect(camera(), &Camera::presetsChanged, this, [this] {
        keepPresets();
        drawPresets();
    });
    connect(camera(), &Camera::stateChanged, this, &tarnDeck::drawPresets);
    connect(presetPanel, &PresetPanel::recallRequested, this, &tarnDeck::recallPreset);
    connect(presetPanel, &PresetPanel::storeConfirmed, this, &tarnDeck::storePreset);
    connect(presetPanel, &PresetPanel::clearConfirmed, this,
            [this](int n) { camera()->clearPreset(n); });
    connect(presetPanel, &PresetPanel::renamed, this, [this](int n, const QString &name) {
        PresetBook book = camera()->presets();
        book.setName(n, name);
        camera()->setPresets(book);
    });
    connect(presetPanel, &PresetPanel::speedChosen, this, [this](int n, int speed) {
        PresetBook book = camera()->presets();
        book.setSpeed(n, speed);
        camera()->setPresets(book);
    });
    connect(presetPanel, &PresetPanel::speedFormChosen, this, [this](PresetBook::SpeedForm form) {
        PresetBook book = camera()->presets();
        book.setSpeedForm(form);
        camera()->setPresets(book);
    });
    drawPresets();
}

void tarnDeck::drawPresets()
{
    presetPanel->draw(camera()->presets(), camera()->state().profile + 1, presetStoreArmed);
}

void tarnDeck::keepPresets()
{
    // Never over a store that could not be read.
    if (storeRead)
        PresetRecords::write(settings, kShownCameraNumber, camera()->presets());
}

void tarnDeck::on_actionPresets_triggered(bool)
{
    ui.groupBoxPresets->setVisible(ui.actionPresets->isChecked());
}

bool tarnDeck::presetOffered(int n)
{
    if (camera()->presets().has(n))
        return true;
    showStatus(QStringLiteral("No preset %1: this camera has %2")
                   .arg(n)
                   .arg(camera()->presets().count()),
               true);
    return false;
}

void tarnDeck::recallPreset(int n)
{
    armPresetStore(false);
    if (!presetOffered(n))
        return;
    // The window's movers stop through their own slots, so the sliders and
    // the pad show the rest they send.
    if (ui.verticalSliderZoom->value() != 0)
        ui.verticalSliderZoom->setValue(0);
    if (ui.verticalSliderFocus->value() != 0)
        ui.verticalSliderFocus->setValue(0);
    if (ui.widgetPT->isActive())
        ui.widgetPT->setActive(false);
    camera()->recallPreset(n);
}

void tarnDeck::storePreset(int n)
{
    armPresetStore(false);
    if (!presetOffered(n))
        return;
    qCInfo(lcApp).noquote() << "Preset stored:" << camera()->presets().label(n);
    camera()->storePreset(n);
}

void tarnDeck::presetKey(int n)
{
    if (presetStoreArmed)
        storePreset(n);
    else
        recallPreset(n);
}

void tarnDeck::armPresetStore(bool armed)
{
    if (presetStoreArmed == armed)
        return;
    presetStoreArmed = armed;
    if (armed)
        showStatus(QStringLiteral("Store: press the preset's digit (* or Esc cancels)"));
    drawPresets();
}

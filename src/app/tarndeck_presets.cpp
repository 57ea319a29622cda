// The "Presets" panel and the keypad's presets: the current camera's presets
// recalled, stored, renamed and cleared, their recall speed, and the book
// kept in the settings store under the camera's entry.
#include "logcategories.h"
#include "presetrecords.h"
#include "tarndeck.h"

void tarnDeck::setUpPresets()
{
    presetPanel = new PresetPanel(ui.groupBoxPresets);
    ui.groupBoxPresets->layout()->addWidget(presetPanel);

    // Every camera's book from its entry of the store (camera N is entry N);
    // each change is written at once, the shown camera's also drawn.
    QStringList problems;
    const QList<Camera *> &all = cameras.cameras();
    for (int i = 0; i < all.size(); ++i) {
        Camera *each = all.at(i);
        each->setPresets(PresetRecords::read(settings, i + 1, &problems));
        watchPresets(each);
    }
    if (!problems.isEmpty())
        showStatus(QStringLiteral("Settings: ") + problems.first(), true);

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
    connect(presetPanel, &PresetPanel::moveRequested, this, [this](int n, int step) {
        PresetBook book = camera()->presets();
        book.move(n, step);
        camera()->setPresets(book);
    });
    connect(presetPanel, &PresetPanel::speedFormChosen, this, [this](PresetBook::SpeedForm form) {
        PresetBook book = camera()->presets();
        book.setSpeedForm(form);
        camera()->setPresets(book);
    });
    drawPresets();
}

void tarnDeck::watchPresets(Camera *each)
{
    connect(each, &Camera::presetsChanged, this, [this, each] {
        keepPresets(each);
        if (each == camera())
            drawPresets();
    });
    connect(each, &Camera::stateChanged, this, [this, each] {
        if (each == camera())
            drawPresets();
    });
}

// The editor added, removed or moved cameras: each camera's presets go to
// its new entry of the store, and the entries no camera holds any more lose
// theirs, so that the presets stay with their camera, not with its place.
void tarnDeck::movePresets(const QList<Camera *> &before)
{
    const QList<Camera *> &all = cameras.cameras();
    for (Camera *each : all) {
        if (!before.contains(each))
            watchPresets(each);
    }
    if (!storeRead)
        return;
    for (int i = 0; i < all.size(); ++i)
        PresetRecords::write(settings, i + 1, all.at(i)->presets());
    for (int number = int(all.size()) + 1; number <= before.size(); ++number)
        PresetRecords::write(settings, number, PresetBook());
}

void tarnDeck::drawPresets()
{
    if (!presetPanel)
        return;

    presetPanel->draw(camera()->presets(), camera()->state().profile + 1, presetStoreArmed);
}

void tarnDeck::keepPresets(Camera *kept)
{
    const int number = int(cameras.cameras().indexOf(kept)) + 1;
    // Never over a store that could not be read.
    if (storeRead && number > 0)
        PresetRecords::write(settings, number, kept->presets());
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

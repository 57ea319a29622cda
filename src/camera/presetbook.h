// The presets of one camera as the operator keeps them: how many the grid
// offers, their names, the recall speed of each, the order of the grid, and
// the form in which the camera takes a recall speed. Preset n (1 ... count) is camera memory n - 1;
// memory 7Fh is the camera default and never a preset. Plain values: the
// camera holds its book, the store keeps it (presetrecords.h), the panel
// draws it.
#pragma once

#include "viscavocabulary.h"

#include <QMap>
#include <QString>

class PresetBook
{
public:
    // How the camera takes a recall speed: not at all (the panel offers
    // none), one speed a preset (8x 01 7E 01 0B pp qq FF), or one for every
    // preset (8x 01 06 01 qq FF, sent before each recall).
    enum class SpeedForm { None, PerPreset, Global };

    static constexpr int kDefaultCount = 16;
    static constexpr int kMaxCount = kPresetTop;
    static constexpr int kTopSpeed = kRecallSpeedTop;
    static constexpr int kMaxNameLength = 32;

    int count() const { return presets; }
    // Clamped to 1 ... kMaxCount.
    void setCount(int count);
    bool has(int preset) const { return preset >= 1 && preset <= presets; }

    SpeedForm speedForm() const { return form; }
    void setSpeedForm(SpeedForm speedForm) { form = speedForm; }

    // Empty when the preset has no name. Names are trimmed and cut to
    // kMaxNameLength; an empty one removes the name.
    QString name(int preset) const { return names.value(preset); }
    void setName(int preset, const QString &name);
    // "3" or "3 Pulpit": what a button and the status line show.
    QString label(int preset) const;

    // The preset's recall speed, 1 ... kTopSpeed; 0 when none was set (the
    // camera's own, or the top speed where the form is global).
    int speed(int preset) const { return speeds.value(preset); }
    void setSpeed(int preset, int speed);

    // Forgets the name and the speed of a preset.
    void clear(int preset);

    // The grid's order: every preset 1 ... count once, as the operator
    // arranged them (1, 2, 3 ... unless arranged). It only places buttons:
    // preset n stays memory n - 1 wherever it sits.
    QList<int> order() const;
    bool arranged() const { return !arrangement.isEmpty(); }
    // Takes `order` for the grid: numbers outside 1 ... count and repeats
    // are dropped (returned, in the order met), the presets it leaves out
    // follow in natural order.
    QList<int> setOrder(const QList<int> &order);
    // Where preset n sits in order(), 0 ...; -1 for none.
    int place(int preset) const;
    // Moves preset n `step` places later (earlier when negative), no
    // further than either end.
    void move(int preset, int step);

    // The presets with a name or a speed.
    QList<int> described() const;

    // The store's words for the forms: "none", "per-preset", "global";
    // speedFormFromKey() gives None and *known false for any other word.
    static QString speedFormKey(SpeedForm form);
    static SpeedForm speedFormFromKey(const QString &key, bool *known = nullptr);

    bool operator==(const PresetBook &other) const;
    bool operator!=(const PresetBook &other) const { return !(*this == other); }

private:
    int presets = kDefaultCount;
    SpeedForm form = SpeedForm::None;
    QMap<int, QString> names;
    QMap<int, int> speeds;
    // Empty in natural order, else every preset 1 ... count once.
    QList<int> arrangement;
};

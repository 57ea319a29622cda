#include "presetbook.h"

#include <QVector>

#include <algorithm>

void PresetBook::setCount(int count)
{
    presets = std::clamp(count, 1, kMaxCount);
    setOrder(arrangement);
}

void PresetBook::setName(int preset, const QString &name)
{
    if (preset < 1 || preset > kMaxCount)
        return;
    const QString kept = name.simplified().left(kMaxNameLength).trimmed();
    if (kept.isEmpty())
        names.remove(preset);
    else
        names.insert(preset, kept);
}

QString PresetBook::label(int preset) const
{
    const QString shown = name(preset);
    return shown.isEmpty() ? QString::number(preset)
                           : QString::number(preset) + QLatin1Char(' ') + shown;
}

void PresetBook::setSpeed(int preset, int speed)
{
    if (preset < 1 || preset > kMaxCount)
        return;
    if (speed <= 0)
        speeds.remove(preset);
    else
        speeds.insert(preset, std::min(speed, kTopSpeed));
}

void PresetBook::clear(int preset)
{
    names.remove(preset);
    speeds.remove(preset);
}

QList<int> PresetBook::order() const
{
    if (arranged())
        return arrangement;
    QList<int> natural;
    natural.reserve(presets);
    for (int n = 1; n <= presets; ++n)
        natural.append(n);
    return natural;
}

QList<int> PresetBook::setOrder(const QList<int> &order)
{
    QList<int> dropped;
    QVector<bool> placed(presets + 1, false);
    QList<int> kept;
    for (int n : order) {
        if (!has(n) || placed.at(n)) {
            dropped.append(n);
            continue;
        }
        placed[n] = true;
        kept.append(n);
    }
    for (int n = 1; n <= presets; ++n) {
        if (!placed.at(n))
            kept.append(n);
    }
    bool natural = true;
    for (int i = 0; i < kept.size() && natural; ++i)
        natural = kept.at(i) == i + 1;
    arrangement = natural ? QList<int>() : kept;
    return dropped;
}

int PresetBook::place(int preset) const
{
    if (!has(preset))
        return -1;
    return arranged() ? int(arrangement.indexOf(preset)) : preset - 1;
}

void PresetBook::move(int preset, int step)
{
    const int from = place(preset);
    if (from < 0)
        return;
    QList<int> moved = order();
    moved.move(from, std::clamp(from + step, 0, presets - 1));
    setOrder(moved);
}

QList<int> PresetBook::described() const
{
    QList<int> numbers = names.keys() + speeds.keys();
    std::sort(numbers.begin(), numbers.end());
    numbers.erase(std::unique(numbers.begin(), numbers.end()), numbers.end());
    return numbers;
}

QString PresetBook::speedFormKey(SpeedForm form)
{
    switch (form) {
    case SpeedForm::PerPreset:
        return QStringLiteral("per-preset");
    case SpeedForm::Global:
        return QStringLiteral("global");
    case SpeedForm::None:
        break;
    }
    return QStringLiteral("none");
}

PresetBook::SpeedForm PresetBook::speedFormFromKey(const QString &key, bool *known)
{
    const QString word = key.trimmed().toLower();
    for (SpeedForm form : {SpeedForm::None, SpeedForm::PerPreset, SpeedForm::Global}) {
        if (word == speedFormKey(form)) {
            if (known)
                *known = true;
            return form;
        }
    }
    if (known)
        *known = false;
    return SpeedForm::None;
}

bool PresetBook::operator==(const PresetBook &other) const
{
    return presets == other.presets && form == other.form && names == other.names
        && speeds == other.speeds && arrangement == other.arrangement;
}

#include "presetbook.h"

#include <algorithm>

void PresetBook::setCount(int count)
{
    presets = std::clamp(count, 1, kMaxCount);
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
        && speeds == other.speeds;
}

#include "presetrecords.h"

#include "logcategories.h"
#include "storeupdate.h"

#include <QRegularExpression>

#include <algorithm>

namespace PresetRecords {

namespace {

const QString countKey = QStringLiteral("presetCount");
const QString formKey = QStringLiteral("recallSpeedForm");
const QString orderKey = QStringLiteral("presetOrder");
const QString nameKey = QStringLiteral("name");
const QString speedKey = QStringLiteral("recallSpeed");

QString cameraPrefix(int number)
{
    return QStringLiteral("cameras/") + QString::number(number) + QLatin1Char('/');
}

QString presetKey(int number, int preset, const QString &key)
{
    return cameraPrefix(number) + QStringLiteral("presets/") + QString::number(preset)
        + QLatin1Char('/') + key;
}

// A value as text. An unquoted comma makes the settings library read a
// list: it stands for the text the operator wrote.
QString textOf(const QVariant &value)
{
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

void note(QStringList *problems, int number, const QString &key, const QString &value,
          const QString &wanted, const QString &used)
{
    const QString problem = QStringLiteral("camera %1: %2 '%3' is not %4, %5")
                                .arg(number)
                                .arg(key, value.left(40), wanted, used);
    // Without a list the caller only compares (a write): said once, at reading.
    if (!problems)
        return;
    qCWarning(lcCamera).noquote() << "Settings:" << problem;
    problems->append(problem);
}

// The preset numbers the store describes for a camera, whatever their
// keys: numbers outside 1 ... 127 are said once each.
QList<int> storedPresets(const QSettings &settings, int number, QStringList *problems)
{
    const QString prefix = cameraPrefix(number) + QStringLiteral("presets/");
    static const QRegularExpression entry(QStringLiteral("^(\\d{1,6})/"));
    QList<int> presets;
    const QStringList keys = settings.allKeys();
    for (const QString &key : keys) {
        if (!key.startsWith(prefix))
            continue;
        const QString rest = key.mid(prefix.size());
        const QRegularExpressionMatch match = entry.match(rest);
        const int preset = match.hasMatch() ? match.captured(1).toInt() : 0;
        if (preset >= 1 && preset <= PresetBook::kMaxCount) {
            if (!presets.contains(preset))
                presets.append(preset);
            continue;
        }
        note(problems, number, QStringLiteral("presets/") + rest, textOf(settings.value(key)),
             QStringLiteral("a preset 1 ... %1").arg(PresetBook::kMaxCount),
             QStringLiteral("left unused"));
    }
    return presets;
}

} // namespace

PresetBook read(const QSettings &settings, int number, QStringList *problems)
{
    PresetBook book;
    const QString prefix = cameraPrefix(number);
    if (settings.contains(prefix + countKey)) {
        const QString text = textOf(settings.value(prefix + countKey)).trimmed();
        bool ok = false;
        const int count = text.toInt(&ok);
        if (ok && count >= 1) {
            book.setCount(count);
            if (count > PresetBook::kMaxCount)
                note(problems, number, countKey, text,
                     QStringLiteral("1 ... %1 (memory 7F is the camera default)")
                         .arg(PresetBook::kMaxCount),
                     QStringLiteral("%1 used").arg(book.count()));
        } else {
            note(problems, number, countKey, text,
                 QStringLiteral("1 ... %1").arg(PresetBook::kMaxCount),
                 QStringLiteral("%1 used").arg(book.count()));
        }
    }
    if (settings.contains(prefix + formKey)) {
        const QString text = textOf(settings.value(prefix + formKey));
        bool known = false;
        book.setSpeedForm(PresetBook::speedFormFromKey(text, &known));
        if (!known)
            note(problems, number, formKey, text, QStringLiteral("none, per-preset or global"),
                 QStringLiteral("none used"));
    }
    // A short list places the presets it names first; the others follow in
    // their natural order. Entries that name no preset once are dropped.
    if (settings.contains(prefix + orderKey)) {
        const QString text = textOf(settings.value(prefix + orderKey));
        QList<int> order;
        QStringList unknown;
        const QStringList entries = text.split(QLatin1Char(','));
        for (const QString &entry : entries) {
            const QString trimmed = entry.trimmed();
            if (trimmed.isEmpty())
                continue;
            bool ok = false;
            const int n = trimmed.toInt(&ok);
            if (ok)
                order.append(n);
            else
                unknown.append(trimmed.left(8));
        }
        for (int n : book.setOrder(order))
            unknown.append(QString::number(n));
        if (!unknown.isEmpty())
            note(problems, number, orderKey, text,
                 QStringLiteral("a list of presets 1 ... %1 each once").arg(book.count()),
                 QStringLiteral("%1 left out").arg(unknown.mid(0, 8).join(QStringLiteral(", "))));
    }
    const QList<int> presets = storedPresets(settings, number, problems);
    for (int preset : presets) {
        const QString name = presetKey(number, preset, nameKey);
        if (settings.contains(name))
            book.setName(preset, textOf(settings.value(name)));
        const QString speed = presetKey(number, preset, speedKey);
        if (!settings.contains(speed))
            continue;
        const QString text = textOf(settings.value(speed)).trimmed();
        bool ok = false;
        const int value = text.toInt(&ok);
        if (ok && value >= 1 && value <= PresetBook::kTopSpeed)
            book.setSpeed(preset, value);
        else
            note(problems, number, QStringLiteral("presets/%1/%2").arg(preset).arg(speedKey),
                 text, QStringLiteral("1 ... %1").arg(PresetBook::kTopSpeed),
                 QStringLiteral("the camera's own used"));
    }
    return book;
}

void write(QSettings &settings, int number, const PresetBook &book)
{
    const PresetBook was = read(settings, number);
    if (was == book)
        return;
    const PresetBook fallback;
    const QString prefix = cameraPrefix(number);
    updateStored(settings, prefix + countKey, book.count(), was.count(), fallback.count());
    updateStored(settings, prefix + formKey, PresetBook::speedFormKey(book.speedForm()),
           PresetBook::speedFormKey(was.speedForm()),
           PresetBook::speedFormKey(fallback.speedForm()));
    if (book.order() != was.order()) {
        QStringList order;
        const QList<int> numbers = book.order();
        for (int n : numbers)
            order.append(QString::number(n));
        if (book.arranged())
            settings.setValue(prefix + orderKey, order.join(QLatin1Char(',')));
        else
            settings.remove(prefix + orderKey);
    }
    QList<int> presets = book.described() + was.described();
    std::sort(presets.begin(), presets.end());
    presets.erase(std::unique(presets.begin(), presets.end()), presets.end());
    for (int preset : qAsConst(presets)) {
        updateStored(settings, presetKey(number, preset, nameKey), book.name(preset),
                     was.name(preset), QString());
        updateStored(settings, presetKey(number, preset, speedKey), book.speed(preset),
                     was.speed(preset), 0);
    }
}

} // namespace PresetRecords

#include "padsettings.h"

#include "gamepadlog.h"

#include <cmath>

namespace {

const QString group = QStringLiteral("gamepad");

// Reads the values of one group and keeps the complaints about them.
class Reader
{
public:
    Reader(QSettings &settings, QStringList *complaints)
        : settings(settings)
        , complaints(complaints)
    {
    }

    bool flag(const QString &key, bool fallback)
    {
        if (!settings.contains(key))
            return fallback;
        const QVariant value = settings.value(key);
        if (value.userType() == QMetaType::Bool)
            return value.toBool();
        const QString text = value.toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        complain(key, value, fallback ? QStringLiteral("true") : QStringLiteral("false"));
        return fallback;
    }

    int number(const QString &key, int fallback, int lowest, int highest)
    {
        if (!settings.contains(key))
            return fallback;
        const QVariant value = settings.value(key);
        bool ok = false;
        const int n = value.toString().trimmed().toInt(&ok);
        if (!ok) {
            complain(key, value, QString::number(fallback));
            return fallback;
        }
        const int kept = qBound(lowest, n, highest);
        if (kept != n)
            complain(key, value, QString::number(kept));
        return kept;
    }

    double exponent(const QString &key, double fallback)
    {
        if (!settings.contains(key))
            return fallback;
        const QVariant value = settings.value(key);
        bool ok = false;
        const double e = value.toString().trimmed().toDouble(&ok);
        if (!ok || !std::isfinite(e)) {
            complain(key, value, QString::number(fallback, 'f', 1));
            return fallback;
        }
        const double kept = AxisShaping::roundedCurve(e);
        if (std::fabs(kept - e) > 0.05)
            complain(key, value, QString::number(kept, 'f', 1));
        return kept;
    }

    template<typename T, typename Parse>
    T word(const QString &key, const T &fallback, const QString &fallbackWord, Parse parse)
    {
        if (!settings.contains(key))
            return fallback;
        const QVariant value = settings.value(key);
        T parsed = fallback;
        if (value.userType() == QMetaType::QString && parse(value.toString().trimmed(), &parsed))
            return parsed;
        complain(key, value, fallbackWord);
        return fallback;
    }

private:
    void complain(const QString &key, const QVariant &value, const QString &kept)
    {
        // Long values are cut: the line is for the operator, not a copy.
        QString shown = value.toString();
        if (value.userType() == QMetaType::QStringList)
            shown = value.toStringList().join(QLatin1Char(','));
        if (shown.size() > 40)
            shown = shown.left(40) + QStringLiteral("…");
        const QString text
            = QStringLiteral("Gamepad setting %1/%2 = \"%3\" cannot be used: kept %4")
                  .arg(group, key, shown, kept);
        qCWarning(lcGamepad).noquote() << text;
        if (complaints)
            complaints->append(text);
    }

    QSettings &settings;
    QStringList *complaints;
};

QString axisKey(Pad::Control control, const char *field)
{
    return QStringLiteral("axes/%1/%2")
        .arg(QLatin1String(Pad::row(control).key), QLatin1String(field));
}

QString buttonKey(Pad::Control control)
{
    return QStringLiteral("buttons/") + QLatin1String(Pad::row(control).key);
}

} // namespace

PadSettings PadSettings::load(QSettings &settings, QStringList *complaints)
{
    PadSettings loaded;
    settings.beginGroup(group);
    Reader read(settings, complaints);
    loaded.enabled = read.flag(QStringLiteral("enabled"), loaded.enabled);
    loaded.background = read.flag(QStringLiteral("background"), loaded.background);
    for (int i = 0; i < Pad::axisCount; ++i) {
        const auto control = Pad::Control(i);
        Pad::AxisBinding b = loaded.layout.axis(control);
        b.drives = read.word(axisKey(control, "drives"), b.drives, Pad::motionWord(b.drives),
                             Pad::motionFromWord);
        b.shape.inverted = read.flag(axisKey(control, "invert"), b.shape.inverted);
        b.shape.deadZonePercent = read.number(axisKey(control, "deadZone"), b.shape.deadZonePercent,
                                              0, AxisShaping::maxDeadZonePercent);
        b.shape.curve = read.exponent(axisKey(control, "curve"), b.shape.curve);
        b.shape.topSpeed = read.number(axisKey(control, "topSpeed"), b.shape.topSpeed, 0, 255);
        loaded.layout.setAxis(control, b);
    }
    for (int i = Pad::axisCount; i < Pad::controlCount; ++i) {
        const auto control = Pad::Control(i);
        const Pad::ButtonBinding fallback = loaded.layout.button(control);
        loaded.layout.setButton(control,
                                read.word(buttonKey(control), fallback, Pad::actionWord(fallback),
                                          Pad::actionFromWord));
    }
    settings.endGroup();
    return loaded;
}

void PadSettings::save(QSettings &settings) const
{
    settings.beginGroup(group);
    settings.setValue(QStringLiteral("enabled"), enabled);
    settings.setValue(QStringLiteral("background"), background);
    for (int i = 0; i < Pad::axisCount; ++i) {
        const auto control = Pad::Control(i);
        const Pad::AxisBinding &b = layout.axis(control);
        settings.setValue(axisKey(control, "drives"), Pad::motionWord(b.drives));
        settings.setValue(axisKey(control, "invert"), b.shape.inverted);
        settings.setValue(axisKey(control, "deadZone"), b.shape.deadZonePercent);
        // A decimal text, so the store holds "2.0", never a serialised double.
        settings.setValue(axisKey(control, "curve"),
                          QString::number(AxisShaping::roundedCurve(b.shape.curve), 'f', 1));
        settings.setValue(axisKey(control, "topSpeed"), b.shape.topSpeed);
    }
    for (int i = Pad::axisCount; i < Pad::controlCount; ++i) {
        const auto control = Pad::Control(i);
        settings.setValue(buttonKey(control), Pad::actionWord(layout.button(control)));
    }
    settings.endGroup();
}

// Writing back only what the operator changed: a key is set when its value
// differs from what the store gave back when it was read, and removed when
// the value is back at its default, so an unedited store is never rewritten
// and an older version reading it finds what it always found.
#pragma once

#include <QSettings>
#include <QString>

template<typename Value>
void updateStored(QSettings &settings, const QString &key, const Value &now, const Value &was,
                  const Value &fallback)
{
    if (now == was)
        return;
    if (now == fallback)
        settings.remove(key);
    else
        settings.setValue(key, now);
}

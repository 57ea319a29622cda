#include "testsettings.h"

#include "appidentity.h"

#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QTemporaryDir>

namespace {
QTemporaryDir &storeDir()
{
    static QTemporaryDir dir;
    return dir;
}
} // namespace

namespace TestSettings {

void useTemporaryStore()
{
    applyApplicationIdentity();
    Q_ASSERT(storeDir().isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, storeDir().path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, storeDir().path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::SystemScope,
                       storeDir().path() + "/system");
    QSettings::setPath(QSettings::IniFormat, QSettings::SystemScope, storeDir().path() + "/system");
}

void clear()
{
    QSettings settings;
    settings.clear();
    settings.sync();
}

QString storeFile()
{
    return QSettings().fileName();
}

} // namespace TestSettings

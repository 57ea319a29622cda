#include "settingsguard.h"

#include "logcategories.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QFileInfo>
#include <QSettings>

#ifdef Q_OS_UNIX
#include <cstdio>
#include <sys/stat.h>
#endif

namespace SettingsGuard {

namespace {

// Far above anything this program writes (well under a kilobyte).
constexpr qint64 maxStoreBytes = 1 << 20;

// A settings format of an extension of its own, which never reads nor writes
// anything: asking an object of it for its file name tells where the
// application's store lives (the per-user path of custom formats is that of
// the INI format, QSettings::setPath included, which on Unix is also the
// native one) without parsing the file.
//
// It must not name the store itself: the settings library keeps one parsed
// copy of each file per process, keyed by the file's path, and parses it
// again only when the file changes on disk. A probe on the store's own path
// would leave an empty copy there, which the window's settings object would
// then be handed: nothing restored, and the defaults written over the file at
// close.
const QString probeExtension = QStringLiteral("pathprobe");

bool readNothing(QIODevice &, QSettings::SettingsMap &)
{
    return true;
}
bool writeNothing(QIODevice &, const QSettings::SettingsMap &)
{
    return true;
}

// A backslash escape of the settings text at text[i] (the backslash), as the
// settings library decodes it: hex (\x40) or octal (\100). Returns the
// number of characters it spans and sets the decoded character, or 0 when
// the escape is of another kind.
int numericEscape(const QByteArray &text, int i, uint *decoded)
{
    int j = i + 1;
    if (j >= text.size())
        return 0;
    const bool hex = text[j] == 'x' || text[j] == 'X';
    if (!hex && (text[j] < '0' || text[j] > '7'))
        return 0;
    if (hex)
        ++j;
    uint value = 0;
    int digits = 0;
    for (; j < text.size(); ++j, ++digits) {
        const char c = text[j];
        int digit = -1;
        if (c >= '0' && c <= (hex ? '9' : '7'))
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            break;
        // Long runs wrap inside the library: treat them as suspicious.
        value = digits < 8 ? value * (hex ? 16 : 8) + uint(digit) : 0x40;
    }
    *decoded = value & 0xffff;
    return j - i;
}

// The value part of one logical line (after the first '='), continuation
// lines joined, judged item by item as the library splits it at unquoted
// commas: an item may start with '@' only as an escaped '@' ("@@") or a byte
// array.
QString valueReason(const QByteArray &value)
{
    bool quoted = false;
    bool itemStart = true;
    for (int i = 0; i < value.size(); ++i) {
        const char c = value[i];
        if (c == '\\') {
            uint decoded = 0;
            if (const int span = numericEscape(value, i, &decoded)) {
                if (decoded == '@')
                    return QStringLiteral("an escaped '@'");
                i += span - 1;
            } else {
                ++i;
            }
            itemStart = false;
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        if (itemStart) {
            if (c == ' ' || c == '\t')
                continue;
            if (c == '@' && !value.mid(i).startsWith("@@")
                && !value.mid(i).startsWith("@ByteArray(")) {
                const int end = value.indexOf('(', i);
                return QStringLiteral("a value of type %1")
                    .arg(QString::fromLatin1(value.mid(i, end > i ? qMin(end - i, 24) : 24)));
            }
            itemStart = false;
        }
        if (c == ',' && !quoted)
            itemStart = true;
    }
    return QString();
}

// Whether a settings text holds a value: a line with a key, outside the
// section headers and comments.
bool holdsValues(const QByteArray &text)
{
    const QList<QByteArray> lines = text.split('\n');
    for (const QByteArray &line : lines) {
        const QByteArray trimmed = line.trimmed();
        if (!trimmed.startsWith('[') && !trimmed.startsWith(';') && !trimmed.startsWith('#')
            && trimmed.indexOf('=') > 0)
            return true;
    }
    return false;
}

// A name is taken by a file, or by a link even when it leads nowhere.
bool taken(const QString &name)
{
    const QFileInfo info(name);
    return info.exists() || info.isSymLink();
}

QString freeAsideName(const QString &file)
{
    QString aside = file + QStringLiteral(".bad");
    for (int n = 2; taken(aside); ++n)
        aside = file + QStringLiteral(".bad.") + QString::number(n);
    return aside;
}

// Renames the name itself: a symbolic link is moved, never what it leads to
// (QFile::rename refuses a link that leads nowhere).
bool renameAside(const QString &file, const QString &aside)
{
#ifdef Q_OS_UNIX
    return ::rename(QFile::encodeName(file).constData(), QFile::encodeName(aside).constData()) == 0;
#else
    return QFile::rename(file, aside);
#endif
}

bool plausibleRect(QDataStream &in)
{
    qint32 left, top, right, bottom;
    in >> left >> top >> right >> bottom;
    const qint64 width = qint64(right) - left + 1;
    const qint64 height = qint64(bottom) - top + 1;
    constexpr qint32 far = 1000000;
    return left > -far && left < far && top > -far && top < far && width >= 0 && width <= 100000
        && height >= 0 && height <= 100000;
}

} // namespace

QString storeFile()
{
#ifdef Q_OS_WIN
    // The native store is the registry: there is no file to check.
    return QString();
#else
    static const QSettings::Format probe
        = QSettings::registerFormat(probeExtension, readNothing, writeNothing);
    QString file = QSettings(probe, QSettings::UserScope, QCoreApplication::organizationName(),
                             QCoreApplication::applicationName())
                       .fileName();
    file.chop(probeExtension.size());
    return file + QStringLiteral("conf");
#endif
}

QString untrustedReason(const QByteArray &text)
{
    if (text.size() > maxStoreBytes)
        return QStringLiteral("larger than 1 MiB");
    QByteArray logical;
    int lineNumber = 0;
    int start = 0;
    while (start <= text.size()) {
        int end = text.indexOf('\n', start);
        if (end < 0)
            end = text.size();
        QByteArray line = text.mid(start, end - start);
        start = end + 1;
        ++lineNumber;
        if (line.endsWith('\r'))
            line.chop(1);
        // A line ending in a backslash continues on the next one.
        if (line.endsWith('\\') && start <= text.size()) {
            logical += line.left(line.size() - 1);
            continue;
        }
        logical += line;
        const int equals = logical.indexOf('=');
        if (equals >= 0 && !logical.startsWith('[')) {
            const QString reason = valueReason(logical.mid(equals + 1));
            if (!reason.isEmpty())
                return reason + QStringLiteral(" on line %1").arg(lineNumber);
        }
        logical.clear();
    }
    return QString();
}

bool plausibleGeometry(const QByteArray &geometry)
{
    // As QWidget::saveGeometry() writes it: magic, version, the frame and
    // normal rectangles, screen, two flags, then (version 2) the screen
    // width and (version 3) the window rectangle.
    if (geometry.size() < 46 || geometry.size() > 256)
        return false;
    QDataStream in(geometry);
    in.setVersion(QDataStream::Qt_4_0);
    quint32 magic;
    quint16 major, minor;
    in >> magic >> major >> minor;
    if (magic != 0x1D9D0CB || major < 1 || major > 3)
        return false;
    if ((major == 2 && geometry.size() < 50) || (major == 3 && geometry.size() < 66))
        return false;
    if (!plausibleRect(in) || !plausibleRect(in))
        return false;
    qint32 screen, screenWidth = 0;
    quint8 maximized, fullScreen;
    in >> screen >> maximized >> fullScreen;
    if (major >= 2)
        in >> screenWidth;
    if (major >= 3 && !plausibleRect(in))
        return false;
    return in.status() == QDataStream::Ok && screen >= -1 && screen < 64 && maximized <= 1
        && fullScreen <= 1 && screenWidth >= 0 && screenWidth <= 100000;
}

bool plausibleWindowState(const QByteArray &state)
{
    // The window has neither dock widgets nor tool bars, so the state it
    // writes (version 0) is: the version marker, the version, an empty dock
    // area section (central widget size, the four corners' dock areas) and an
    // empty tool bar section. Counts read from anything else drive the
    // restore's loops unchecked (a garbage count spins it for hours), so
    // nothing else is handed over.
    QDataStream in(state);
    in.setVersion(QDataStream::Qt_4_0);
    qint32 marker, version, dockCount, centralWidth, centralHeight, lineCount;
    quint8 dockMarker, toolBarMarker;
    in >> marker >> version >> dockMarker >> dockCount >> centralWidth >> centralHeight;
    if (marker != 0xff || version != 0 || dockMarker != 0xfd || dockCount != 0)
        return false;
    if (centralWidth < -1 || centralWidth > 100000 || centralHeight < -1 || centralHeight > 100000)
        return false;
    for (int corner = 0; corner < 4; ++corner) {
        qint32 area;
        in >> area;
        if (area != Qt::LeftDockWidgetArea && area != Qt::RightDockWidgetArea
            && area != Qt::TopDockWidgetArea && area != Qt::BottomDockWidgetArea)
            return false;
    }
    in >> toolBarMarker >> lineCount;
    return in.status() == QDataStream::Ok && in.atEnd() && toolBarMarker == 0xfc && lineCount == 0;
}

Outcome prepareStore(const QString &file)
{
#ifdef Q_OS_UNIX
    // Every file the process creates from here on (the store's temporary
    // file and lock file included) is private to its owner.
    umask(S_IRWXG | S_IRWXO);
#endif
    QFileInfo info(file);
    // A store that is a symbolic link is never followed: tightening it or
    // writing it at the close would reach a file elsewhere. It is moved
    // aside like any unusable store (the link, not what it leads to).
    const bool link = info.isSymLink();
    if (!info.exists() && !link)
        return {};
    const QFileDevice::Permissions ownerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
    if (!link
        && QFile::permissions(file) & ~(ownerOnly | QFileDevice::ReadUser | QFileDevice::WriteUser))
        QFile::setPermissions(file, ownerOnly);

    QString reason;
    QByteArray text;
    QFile in(file);
    if (link)
        reason = QStringLiteral("a symbolic link");
    else if (!info.isFile())
        reason = QStringLiteral("not a regular file");
    else if (info.size() > maxStoreBytes)
        reason = QStringLiteral("larger than 1 MiB");
    else if (!in.open(QIODevice::ReadOnly))
        reason = QStringLiteral("cannot be read: ") + in.errorString();
    else {
        text = in.readAll();
        reason = untrustedReason(text);
    }
    in.close();
    if (reason.isEmpty()) {
        // The text holds nothing the library would deserialise: let it parse.
        const QSettings parsed(file, QSettings::IniFormat);
        if (parsed.status() != QSettings::NoError)
            reason = QStringLiteral("not in the settings format");
    }
    if (reason.isEmpty()) {
        Outcome outcome;
        outcome.heldValues = holdsValues(text);
        return outcome;
    }

    const QString aside = freeAsideName(file);
    Outcome outcome;
    if (renameAside(file, aside)) {
        outcome.warning = QStringLiteral("Settings file unusable (%1): kept as %2, defaults in use")
                              .arg(reason, QFileInfo(aside).fileName());
    } else {
        outcome.warning = QStringLiteral("Settings file unusable (%1) and could not be moved "
                                         "aside: left as it is, nothing is stored at close")
                              .arg(reason);
        outcome.keepFile = true;
    }
    qCWarning(lcApp).noquote() << outcome.warning << "-" << file;
    return outcome;
}

bool storeRead(const Outcome &outcome, const QSettings &settings)
{
    return !outcome.keepFile && settings.status() == QSettings::NoError
        && !(outcome.heldValues && settings.allKeys().isEmpty());
}

Outcome prepareStore()
{
    return prepareStore(storeFile());
}

} // namespace SettingsGuard

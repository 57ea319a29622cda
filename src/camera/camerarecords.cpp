#include "camerarecords.h"

#include "logcategories.h"
#include "storeupdate.h"

#include <QRegularExpression>

#include <algorithm>

namespace CameraRecords {

namespace {

const QString arrayName = QStringLiteral("cameras");
const QString encoderAddressKey = QStringLiteral("actiIP");
const QString networkAddressKey = QStringLiteral("viscaIpAddress");
const QString protocolKey = QStringLiteral("viscaIpProtocol");

// The keys of one entry of the array.
namespace Key {
const QString name = QStringLiteral("name");
const QString route = QStringLiteral("route");
const QString serialPort = QStringLiteral("serialPort");
const QString viscaAddress = QStringLiteral("viscaAddress");
const QString address = QStringLiteral("address");
const QString lampAddress = QStringLiteral("lampAddress");
const QString connectAtStart = QStringLiteral("connectAtStart");
const QString tallyLamp = QStringLiteral("tallyLamp");
const QString liveLockout = QStringLiteral("liveLockout");
} // namespace Key

QString entryKey(int number, const QString &key)
{
    return arrayName + QLatin1Char('/') + QString::number(number) + QLatin1Char('/') + key;
}

// A value as text. An unquoted comma makes the settings library read a
// list: it stands for the text the operator wrote.
QString textOf(const QVariant &value)
{
    if (value.userType() == QMetaType::QStringList)
        return value.toStringList().join(QStringLiteral(", "));
    return value.toString();
}

// The entries the store holds: its size key, or without one the highest
// entry that holds a key of a camera's own. Other keys of an entry (the
// presets' keep camera 1's beside a store of one camera) list no camera.
int storedEntries(const QSettings &settings)
{
    bool ok = false;
    const int size = settings.value(arrayName + QStringLiteral("/size")).toInt(&ok);
    if (ok && size > 0)
        return size;
    static const QRegularExpression entry(
        QStringLiteral("^cameras/(\\d+)/(name|route|serialPort|viscaAddress|address|lampAddress|"
                       "connectAtStart|tallyLamp|liveLockout)$"));
    int highest = 0;
    const QStringList keys = settings.allKeys();
    for (const QString &key : keys) {
        const QRegularExpressionMatch match = entry.match(key);
        if (match.hasMatch())
            highest = qMax(highest, match.captured(1).left(6).toInt());
    }
    return highest;
}

CameraConfig defaultsFor(int number, const CameraConfig &firstDefaults)
{
    if (number == 1)
        return firstDefaults;
    return CameraConfig();
}

class EntryReader
{
public:
    EntryReader(const QSettings &settings, int number, QStringList *problems)
        : settings(settings)
        , number(number)
        , problems(problems)
    {
    }

    bool has(const QString &key) const { return settings.contains(entryKey(number, key)); }
    QString text(const QString &key) const { return textOf(settings.value(entryKey(number, key))); }

    // A whole number in [low, high], else `fallback` (and a problem noted).
    int whole(const QString &key, int low, int high, int fallback) const
    {
        if (!has(key))
            return fallback;
        bool ok = false;
        const int value = text(key).trimmed().toInt(&ok);
        if (ok && value >= low && value <= high)
            return value;
        note(key, QStringLiteral("%1 ... %2").arg(low).arg(high), QString::number(fallback));
        return fallback;
    }

    bool flag(const QString &key, bool fallback) const
    {
        if (!has(key))
            return fallback;
        const QString word = text(key).trimmed().toLower();
        if (word == QLatin1String("true") || word == QLatin1String("1"))
            return true;
        if (word == QLatin1String("false") || word == QLatin1String("0"))
            return false;
        note(key, QStringLiteral("true or false"),
             fallback ? QStringLiteral("true") : QStringLiteral("false"));
        return fallback;
    }

    void note(const QString &key, const QString &wanted, const QString &used) const
    {
        const QString problem = QStringLiteral("camera %1: %2 '%3' is not %4, %5 used")
                                    .arg(number)
                                    .arg(key, text(key).left(40), wanted, used);
        qCWarning(lcCamera).noquote() << "Settings:" << problem;
        problems->append(problem);
    }

    const QSettings &settings;
    const int number;
    QStringList *problems;
};

CameraConfig readEntry(const QSettings &settings, int number, const CameraConfig &defaults,
                       QStringList *problems)
{
    const EntryReader entry(settings, number, problems);
    CameraConfig config = defaults;
    if (entry.has(Key::name))
        config.name = entry.text(Key::name);
    if (entry.has(Key::route)) {
        bool known = false;
        ViscaIp::Protocol protocol = config.protocol;
        config.route = CameraConfig::routeFromKey(entry.text(Key::route), &protocol, &known);
        // Camera 1's protocol is the one the panel's key holds.
        if (number > 1 || !settings.contains(protocolKey))
            config.protocol = protocol;
        if (!known)
            entry.note(Key::route, QStringLiteral("serial, encoder, udp or tcp"),
                       QStringLiteral("none"));
    }
    if (entry.has(Key::serialPort))
        config.serialPort = entry.text(Key::serialPort).trimmed();
    config.viscaAddress = entry.whole(Key::viscaAddress, 1, 7, defaults.viscaAddress);
    config.lampAddress = entry.whole(Key::lampAddress, 0, 7, defaults.lampAddress);
    config.connectAtStart = entry.flag(Key::connectAtStart, defaults.connectAtStart);
    config.tallyLamp = entry.flag(Key::tallyLamp, defaults.tallyLamp);
    config.liveLockout = entry.flag(Key::liveLockout, defaults.liveLockout);
    if (entry.has(Key::address)) {
        if (number == 1) {
            const QString problem = QStringLiteral(
                "camera 1: its address is actiIP or viscaIpAddress, cameras\\1\\address unused");
            qCWarning(lcCamera).noquote() << "Settings:" << problem;
            problems->append(problem);
        } else {
            config.encoderAddress = config.networkAddress = entry.text(Key::address).trimmed();
        }
    }
    return config;
}

} // namespace

CameraConfig firstCameraDefaults(const QString &encoderAddress, const QString &networkAddress)
{
    CameraConfig config;
    config.encoderAddress = encoderAddress;
    config.networkAddress = networkAddress;
    config.lampAddress = 2;
    return config;
}

Read read(const QSettings &settings, const CameraConfig &firstDefaults)
{
    Read result;
    CameraConfig first = firstDefaults;
    if (settings.contains(encoderAddressKey))
        first.encoderAddress = textOf(settings.value(encoderAddressKey));
    if (settings.contains(networkAddressKey))
        first.networkAddress = textOf(settings.value(networkAddressKey));
    if (settings.contains(protocolKey))
        first.protocol = ViscaIp::protocolFromKey(textOf(settings.value(protocolKey)));

    int entries = storedEntries(settings);
    result.listed = entries > 0;
    if (entries > kMaxCameras) {
        const QString problem = QStringLiteral("the store lists %1 cameras; the first %2 are used")
                                    .arg(entries)
                                    .arg(kMaxCameras);
        qCWarning(lcCamera).noquote() << "Settings:" << problem;
        result.problems.append(problem);
        entries = kMaxCameras;
    }
    result.cameras.append(result.listed ? readEntry(settings, 1, first, &result.problems) : first);
    for (int number = 2; number <= entries; ++number)
        result.cameras.append(
            readEntry(settings, number, defaultsFor(number, first), &result.problems));
    return result;
}

void write(QSettings &settings, const QList<CameraConfig> &cameras, bool listed,
           const CameraConfig &firstDefaults)
{
    if (cameras.isEmpty())
        return;
    const CameraConfig &first = cameras.constFirst();
    settings.setValue(encoderAddressKey, first.encoderAddress);
    settings.setValue(networkAddressKey, first.networkAddress);
    settings.setValue(protocolKey, ViscaIp::protocolKey(first.protocol));
    if (!listed)
        return;

    // What the store gives back now: only what differs from it is written.
    QStringList ignored;
    const int stored = storedEntries(settings);
    QList<CameraConfig> before;
    CameraConfig firstNow = firstDefaults;
    firstNow.encoderAddress = first.encoderAddress;
    firstNow.networkAddress = first.networkAddress;
    firstNow.protocol = first.protocol;
    const int count = std::min<int>(int(cameras.size()), kMaxCameras);
    for (int number = 1; number <= count; ++number) {
        const CameraConfig defaults = defaultsFor(number, firstNow);
        // An entry beyond the size may still hold keys a hand edit left:
        // they are what the store gives back for a camera added there.
        before.append(readEntry(settings, number, defaults, &ignored));
    }

    // A longer list than the program takes keeps its size: its last
    // entries stay where the operator put them.
    settings.beginWriteArray(arrayName,
                             count == kMaxCameras && stored > kMaxCameras ? stored : count);
    for (int i = 0; i < count; ++i) {
        settings.setArrayIndex(i);
        const CameraConfig &now = cameras.at(i);
        const CameraConfig &was = before.at(i);
        const CameraConfig fallback = defaultsFor(i + 1, firstNow);
        updateStored(settings, Key::name, now.name, was.name, fallback.name);
        updateStored(settings, Key::route, now.routeKey(), was.routeKey(), fallback.routeKey());
        updateStored(settings, Key::serialPort, now.serialPort, was.serialPort,
                     fallback.serialPort);
        updateStored(settings, Key::viscaAddress, now.viscaAddress, was.viscaAddress,
                     fallback.viscaAddress);
        if (i > 0)
            updateStored(settings, Key::address, now.routeAddress(), was.routeAddress(),
                         fallback.routeAddress());
        updateStored(settings, Key::lampAddress, now.lampAddress, was.lampAddress,
                     fallback.lampAddress);
        updateStored(settings, Key::connectAtStart, now.connectAtStart, was.connectAtStart,
                     fallback.connectAtStart);
        updateStored(settings, Key::tallyLamp, now.tallyLamp, was.tallyLamp, fallback.tallyLamp);
        updateStored(settings, Key::liveLockout, now.liveLockout, was.liveLockout,
                     fallback.liveLockout);
    }
    settings.endArray();
    // Entries of cameras removed since (those beyond the most the list
    // holds were never read, and stay).
    for (int number = count + 1; number <= std::min(stored, kMaxCameras); ++number)
        settings.remove(arrayName + QLatin1Char('/') + QString::number(number));
}

} // namespace CameraRecords

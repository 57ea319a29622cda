// The cameras in the settings store, read and written as files an operator
// or an older version leaves: what each file opens as, the values that
// cannot be used, and that writing back changes only what changed. The
// presets' order beside them: a hand-edited list repaired, read back as
// written.
#include "camerarecords.h"
#include "presetrecords.h"

#include <QTemporaryDir>
#include <QtTest>

namespace {

using Keys = QMap<QString, QString>;

// The store's values by key, as the settings library reads the file.
Keys keysOf(const QString &file)
{
    const QSettings settings(file, QSettings::IniFormat);
    Keys keys;
    const QStringList all = settings.allKeys();
    for (const QString &key : all) {
        const QVariant value = settings.value(key);
        keys.insert(key,
                    value.userType() == QMetaType::QStringList
                        ? value.toStringList().join(QStringLiteral(", "))
                        : value.toString());
    }
    return keys;
}

// One camera per word: "name/route/address/visca/lamp/start", then
// "/no-tally" and "/locked" where the camera has no tally lamp or the live
// lockout.
QString summary(const QList<CameraConfig> &cameras)
{
    QStringList words;
    for (const CameraConfig &c : cameras) {
        words << QStringLiteral("%1/%2/%3/%4/%5/%6")
                     .arg(c.name, c.routeKey(),
                          c.route == CameraRoute::Serial     ? c.serialPort
                              : c.route == CameraRoute::None ? QString()
                                                             : c.routeAddress())
                     .arg(c.viscaAddress)
                     .arg(c.lampAddress)
                     .arg(c.connectAtStart ? QStringLiteral("start") : QStringLiteral("-"))
                 + (c.tallyLamp ? QString() : QStringLiteral("/no-tally"))
                 + (c.liveLockout ? QStringLiteral("/locked") : QString());
    }
    return words.join(QLatin1Char(' '));
}

const CameraConfig formDefaults = CameraRecords::firstCameraDefaults(
    QStringLiteral("192.168.1.100"), QStringLiteral("192.168.0.90"));

// What an earlier version wrote at its close.
const QByteArray todaysStore = "[General]\n"
                               "acti=true\n"
                               "actiIP=127.0.0.1:8099\n"
                               "actiPassword=s3cret\n"
                               "actiUser=Operator\n"
                               "baudrate=19200\n"
                               "serialPorts=/dev/ttyUSB0, /dev/pts/3\n"
                               "viscaIpAddress=127.0.0.1:52999\n"
                               "viscaIpProtocol=tcp\n";

const QByteArray threeCameras = "[General]\n"
                                "actiIP=10.0.0.2\n"
                                "viscaIpAddress=10.0.0.5\n"
                                "viscaIpProtocol=udp\n"
                                "[cameras]\n"
                                "1\\name=Stage left\n"
                                "1\\route=serial\n"
                                "1\\serialPort=/dev/ttyUSB0\n"
                                "1\\lampAddress=3\n"
                                "1\\connectAtStart=true\n"
                                "2\\name=Stage right\n"
                                "2\\route=serial\n"
                                "2\\serialPort=ttyUSB0\n"
                                "2\\viscaAddress=2\n"
                                "3\\name=\"Pulpit, high\"\n"
                                "3\\route=TCP\n"
                                "3\\address=10.0.0.7:5678\n"
                                "size=3\n";

} // namespace

class tst_CameraRecords : public QObject
{
    Q_OBJECT

private slots:
    void opensAs_data();
    void opensAs();
    void editsWriteWhatChanged_data();
    void editsWriteWhatChanged();
    void presetOrder_data();
    void presetOrder();

private:
    QString storeWith(const QByteArray &text);
    QTemporaryDir dir;
    int files = 0;
};

QString tst_CameraRecords::storeWith(const QByteArray &text)
{
    const QString file = dir.filePath(QStringLiteral("store%1.conf").arg(++files));
    QFile out(file);
    if (out.open(QIODevice::WriteOnly))
        out.write(text);
    return file;
}

void tst_CameraRecords::opensAs_data()
{
    QTest::addColumn<QByteArray>("store");
    QTest::addColumn<QString>("cameras");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<int>("problems");

    QTest::newRow("an empty store: camera 1 with the form's texts")
        << QByteArray() << "///1/2/-" << false << 0;
    QTest::newRow("today's store: one camera, every value kept")
        << todaysStore << "///1/2/-" << false << 0;
    QTest::newRow("three cameras, a chain and a TCP camera")
        << threeCameras
        << "Stage left/serial//dev/ttyUSB0/1/3/start Stage right/serial/ttyUSB0/2/0/- "
           "Pulpit, high/tcp/10.0.0.7:5678/1/0/-"
        << true << 0;
    QTest::newRow("a camera without a tally lamp, locked on program")
        << QByteArray("[cameras]\nsize=2\n2\\name=B\n2\\tallyLamp=false\n2\\liveLockout=true\n")
        << "///1/2/- B///1/0/-/no-tally/locked" << true << 0;
    QTest::newRow("entries without a size")
        << QByteArray("[cameras]\n1\\name=A\n2\\name=B\n2\\route=udp\n2\\address=10.0.0.9\n")
        << "A///1/2/- B/udp/10.0.0.9/1/0/-" << true << 0;
    QTest::newRow("camera 1's presets only: one camera, not rewritten")
        << QByteArray("[General]\nviscaIpAddress=10.0.0.5\n[cameras]\n1\\presetCount=24\n"
                      "1\\presets\\3\\name=Choir\n")
        << "///1/2/-" << false << 0;
    QTest::newRow("hand edits that cannot be used keep their defaults")
        << QByteArray("[cameras]\nsize=2\n1\\viscaAddress=9\n1\\lampAddress=x\n"
                      "1\\address=10.1.1.1\n2\\route=serail\n2\\connectAtStart=maybe\n")
        << "///1/2/- ///1/0/-" << true << 5;
    QTest::newRow("more cameras than the list holds")
        << QByteArray("[cameras]\nsize=25\n25\\name=last\n") << QString(19, QLatin1Char(' '))
        << true << 1;
}

// A store opens as its cameras; writing them back, unchanged, leaves every
// value of the store as it was (and adds none).
void tst_CameraRecords::opensAs()
{
    QFETCH(QByteArray, store);
    QFETCH(QString, cameras);
    QFETCH(bool, listed);
    QFETCH(int, problems);

    const QString file = storeWith(store);
    const Keys before = keysOf(file);
    CameraRecords::Read read;
    {
        QSettings settings(file, QSettings::IniFormat);
        read = CameraRecords::read(settings, formDefaults);
        if (cameras.count(QLatin1Char(' ')) == 19)
            QCOMPARE(read.cameras.size(), 20);
        else
            QCOMPARE(summary(read.cameras), cameras);
        QCOMPARE(read.listed, listed);
        QCOMPARE(read.problems.size(), problems);
        CameraRecords::write(settings, read.cameras, read.listed, formDefaults);
    }
    Keys after = keysOf(file);
    // Camera 1's keys are written at every close, as they always were.
    for (const char *key : {"actiIP", "viscaIpAddress", "viscaIpProtocol"}) {
        if (!before.contains(QLatin1String(key)))
            after.remove(QLatin1String(key));
    }
    // A listed store without a size gets one; a store of one camera none.
    if (listed && !before.contains(QStringLiteral("cameras/size")))
        after.remove(QStringLiteral("cameras/size"));
    QCOMPARE(after, before);

    QSettings again(file, QSettings::IniFormat);
    QCOMPARE(summary(CameraRecords::read(again, formDefaults).cameras), summary(read.cameras));
}

void tst_CameraRecords::editsWriteWhatChanged_data()
{
    QTest::addColumn<QString>("edit");
    QTest::addColumn<QStringList>("changedKeys"); // key=value, or key for a key removed

    QTest::newRow("camera 1 named: the array starts with its name")
        << "name first" << QStringList{"cameras/1/name=Desk", "cameras/size=1"};
    QTest::newRow("a second camera with nothing set: only the size")
        << "add" << QStringList{"cameras/size=4"};
    QTest::newRow("camera 2 taken out: camera 3 moves up, its entry goes")
        << "remove second"
        << QStringList{"cameras/2/address=10.0.0.7:5678",
                       "cameras/2/name=Pulpit, high",
                       "cameras/2/route=tcp",
                       "cameras/2/serialPort",
                       "cameras/2/viscaAddress",
                       "cameras/3/address",
                       "cameras/3/name",
                       "cameras/3/route",
                       "cameras/size=2"};
    QTest::newRow("camera 3 over UDP at another address")
        << "udp third" << QStringList{"cameras/3/address=10.0.0.8", "cameras/3/route=udp"};
    QTest::newRow("camera 1 a TCP camera: its protocol stays in the panel's key")
        << "tcp first"
        << QStringList{"cameras/1/route=tcp", "cameras/1/serialPort", "viscaIpProtocol=tcp"};
}

void tst_CameraRecords::editsWriteWhatChanged()
{
    QFETCH(QString, edit);
    QFETCH(QStringList, changedKeys);

    const bool fromToday = edit == QLatin1String("name first");
    const QString file = storeWith(fromToday ? todaysStore : threeCameras);
    const Keys before = keysOf(file);
    {
        QSettings settings(file, QSettings::IniFormat);
        CameraRecords::Read read = CameraRecords::read(settings, formDefaults);
        QList<CameraConfig> &cameras = read.cameras;
        if (edit == QLatin1String("name first")) {
            cameras[0].name = QStringLiteral("Desk");
        } else if (edit == QLatin1String("add")) {
            cameras.append(CameraConfig());
        } else if (edit == QLatin1String("remove second")) {
            cameras.removeAt(1);
        } else if (edit == QLatin1String("udp third")) {
            cameras[2].protocol = ViscaIp::Protocol::Udp;
            cameras[2].networkAddress = QStringLiteral("10.0.0.8");
        } else if (edit == QLatin1String("tcp first")) {
            cameras[0].route = CameraRoute::Network;
            cameras[0].protocol = ViscaIp::Protocol::Tcp;
            cameras[0].serialPort.clear();
        }
        CameraRecords::write(settings, cameras, true, formDefaults);
    }
    const Keys after = keysOf(file);
    QStringList changed;
    QStringList keys = before.keys() + after.keys();
    keys.removeDuplicates();
    keys.sort();
    for (const QString &key : qAsConst(keys)) {
        if (!after.contains(key))
            changed << key;
        else if (before.value(key) != after.value(key) || !before.contains(key))
            changed << key + QLatin1Char('=') + after.value(key);
    }
    QCOMPARE(changed, changedKeys);
}

void tst_CameraRecords::presetOrder_data()
{
    QTest::addColumn<QByteArray>("order"); // the key's line as the file holds it
    QTest::addColumn<QString>("grid");
    QTest::addColumn<int>("problems");

    QTest::newRow("absent: natural order") << QByteArray() << "1,2,3,4,5,6" << 0;
    QTest::newRow("as the program writes it")
        << QByteArray("presetOrder=\"3,1,2,6,5,4\"") << "3,1,2,6,5,4" << 0;
    QTest::newRow("unquoted: the settings library reads a list")
        << QByteArray("presetOrder=6, 5, 4, 3, 2, 1") << "6,5,4,3,2,1" << 0;
    QTest::newRow("a short list: the others follow in natural order")
        << QByteArray("presetOrder=5") << "5,1,2,3,4,6" << 0;
    QTest::newRow("natural order written out") << QByteArray("presetOrder=\"1,2\"") << "1,2,3,4,5,6" << 0;
    QTest::newRow("words, repeats, out of range: dropped, said once")
        << QByteArray("presetOrder=2, x, 2, 0, 7, , 4") << "2,4,1,3,5,6" << 1;
}

// presetCount=6 beside each order: the grid it opens as; written back
// unchanged the file stays as it was, written into a fresh store it reads
// back the same with nothing to say.
void tst_CameraRecords::presetOrder()
{
    QFETCH(QByteArray, order);
    QFETCH(QString, grid);
    QFETCH(int, problems);

    const QByteArray text = "[cameras]\n1\\presetCount=6\n"
        + (order.isEmpty() ? QByteArray() : "1\\" + order + "\n");
    const QString file = storeWith(text);
    PresetBook book;
    {
        QSettings settings(file, QSettings::IniFormat);
        QStringList said;
        book = PresetRecords::read(settings, 1, &said);
        QCOMPARE(said.size(), problems);
        PresetRecords::write(settings, 1, book);
    }
    QStringList shown;
    const QList<int> numbers = book.order();
    for (int n : numbers)
        shown << QString::number(n);
    QCOMPARE(shown.join(QLatin1Char(',')), grid);
    QFile unchanged(file);
    QVERIFY(unchanged.open(QIODevice::ReadOnly));
    QCOMPARE(unchanged.readAll(), text);

    const QString fresh = storeWith(QByteArray());
    {
        QSettings settings(fresh, QSettings::IniFormat);
        PresetRecords::write(settings, 1, book);
    }
    QSettings settings(fresh, QSettings::IniFormat);
    QStringList said;
    QVERIFY(PresetRecords::read(settings, 1, &said) == book);
    QCOMPARE(said, QStringList());
    QCOMPARE(settings.value(QStringLiteral("cameras/1/presetOrder")).toString(),
             book.arranged() ? grid : QString());
}

QTEST_GUILESS_MAIN(tst_CameraRecords)
#include "tst_camerarecords.moc"

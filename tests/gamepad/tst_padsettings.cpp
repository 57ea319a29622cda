// The pad's settings in the store: what the operator chose comes back after
// a restart as plain values the settings guard lets through, and a value
// written by hand that cannot be used keeps its default and says so.
#include "padsettings.h"
#include "settingsguard.h"
#include "testsettings.h"

#include <QFile>
#include <QtTest>

class tst_PadSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSettings::useTemporaryStore(); }
    void init() { TestSettings::clear(); }

    void survivesARestartAsPlainValues();
    void unusableValue_data();
    void unusableValue();
};

void tst_PadSettings::survivesARestartAsPlainValues()
{
    PadSettings chosen;
    chosen.enabled = true;
    chosen.background = false;
    Pad::AxisBinding zoomStick{Pad::Motion::Zoom, {15, 2.5, 6, true}};
    chosen.layout.setAxis(Pad::Control::RightX, zoomStick);
    chosen.layout.setButton(Pad::Control::Back, {Pad::Action::Preset, 127});
    chosen.layout.setButton(Pad::Control::A, {Pad::Action::NextCamera, 0});
    {
        QSettings settings;
        chosen.save(settings);
    }
    QFile file(TestSettings::storeFile());
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    QCOMPARE(SettingsGuard::untrustedReason(text), QString());
    QVERIFY(text.contains("rightX\\drives=zoom"));
    QVERIFY(text.contains("rightX\\curve=2.5"));
    QVERIFY(text.contains("back=preset127"));

    QSettings settings;
    QStringList complaints;
    QCOMPARE(PadSettings::load(settings, &complaints), chosen);
    QCOMPARE(complaints, QStringList());
}

void tst_PadSettings::unusableValue_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("kept");

    // key, value as written by hand, what is used instead
    const char *const rows[][3] = {
        {"enabled", "maybe", "false"},
        {"axes/leftX/drives", "spin", "pan"},
        {"axes/leftX/drives", "Pan", "pan"},
        {"axes/leftX/invert", "yes", "false"},
        {"axes/leftX/deadZone", "80", "50"},
        {"axes/leftX/deadZone", "-3", "0"},
        {"axes/leftX/deadZone", "8%", "8"},
        {"axes/leftX/curve", "nan", "2.0"},
        {"axes/leftX/curve", "7", "3.0"},
        {"axes/leftX/topSpeed", "99999999999", "0"},
        {"buttons/a", "preset0", "preset1"},
        {"buttons/a", "preset128", "preset1"},
        {"buttons/a", "preset+3", "preset1"},
        {"buttons/a", "preset03", "preset1"},
        {"buttons/a", "zoomIn,zoomOut", "preset1"},
        {"buttons/start", "", "focusAuto"},
    };
    for (const auto &row : rows)
        QTest::addRow("%s=%s", row[0], row[1])
            << QString(row[0]) << QString(row[1]) << QString(row[2]);
}

// Each value goes through the store as the operator's text editor left it;
// the one complaint names the key and what is used instead.
void tst_PadSettings::unusableValue()
{
    QFETCH(QString, key);
    QFETCH(QString, value);
    QFETCH(QString, kept);
    {
        QFile file(TestSettings::storeFile());
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(
            QStringLiteral("[gamepad]\n%1=%2\n").arg(key, value).replace('/', '\\').toUtf8());
    }
    QSettings settings;
    QStringList complaints;
    const PadSettings loaded = PadSettings::load(settings, &complaints);
    QCOMPARE(complaints.size(), 1);
    QVERIFY2(complaints.first().contains(QStringLiteral("gamepad/") + key),
             qPrintable(complaints.first()));
    QVERIFY2(complaints.first().endsWith(QStringLiteral("kept ") + kept),
             qPrintable(complaints.first()));

    // What is used instead is what the store holds from now on.
    loaded.save(settings);
    QCOMPARE(settings.value(QStringLiteral("gamepad/") + key).toString(), kept);
}

QTEST_MAIN(tst_PadSettings)
#include "tst_padsettings.moc"

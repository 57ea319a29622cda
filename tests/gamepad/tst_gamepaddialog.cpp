// The pad's settings dialog, offscreen: it shows what the store holds, the
// operator remaps and reshapes, and settings() is what goes back.
#include "gamepaddialog.h"
#include "testsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QSpinBox>
#include <QtTest>

class tst_GamepadDialog : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSettings::useTemporaryStore(); }
    void remapAndReshape();
};

void tst_GamepadDialog::remapAndReshape()
{
    PadSettings stored;
    stored.layout.setButton(Pad::Control::Back, {Pad::Action::Preset, 9});
    GamepadDialog dialog(stored, PadLimits{18, 20, 8, 8});
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.settings(), stored);

    const auto combo = [&](const char *name) { return dialog.findChild<QComboBox *>(name); };
    const auto spin = [&](const char *name) { return dialog.findChild<QSpinBox *>(name); };
    QVERIFY(combo("action_back")->currentText().startsWith("Preset"));
    QCOMPARE(spin("preset_back")->value(), 9);
    QCOMPARE(spin("topSpeed_leftX")->maximum(), 18); // the camera's pan top

    // The right stick's horizontal axis zooms, inverted, with its own shape;
    // its top speed now goes up to the zoom's.
    combo("drives_rightX")
        ->setCurrentIndex(combo("drives_rightX")->findData(int(Pad::Motion::Zoom)));
    QCOMPARE(spin("topSpeed_rightX")->maximum(), 8);
    dialog.findChild<QCheckBox *>("invert_rightX")->setChecked(true);
    spin("deadZone_rightX")->setValue(12);
    dialog.findChild<QDoubleSpinBox *>("curve_rightX")->setValue(2.54);
    spin("topSpeed_rightX")->setValue(5);
    // A recalls preset 40; Start does nothing.
    spin("preset_a")->setValue(40);
    combo("action_start")->setCurrentIndex(combo("action_start")->findData(int(Pad::Action::None)));
    dialog.findChild<QCheckBox *>("checkBoxEnabled")->setChecked(true);

    PadSettings expected = stored;
    expected.enabled = true;
    expected.layout.setAxis(Pad::Control::RightX, {Pad::Motion::Zoom, {12, 2.5, 5, true}});
    expected.layout.setButton(Pad::Control::A, {Pad::Action::Preset, 40});
    expected.layout.setButton(Pad::Control::Start, {});
    QCOMPARE(dialog.settings(), expected);

    // The default layout, pad input still on.
    dialog.findChild<QPushButton *>("pushButtonDefaults")->click();
    PadSettings defaults;
    defaults.enabled = true;
    QCOMPARE(dialog.settings(), defaults);
}

QTEST_MAIN(tst_GamepadDialog)
#include "tst_gamepaddialog.moc"

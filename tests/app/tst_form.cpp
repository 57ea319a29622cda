// The main window's form on its own, set up on a plain QMainWindow: the
// objects the window's code finds by name, the state they start in, the
// menus, the logo resource, the focus slider's link to the Manual button and
// which texts go through translation.
#include "ptwidget.h"
#include "testsettings.h"
#include "ui_tarndeck.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QIcon>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPushButton>
#include <QSet>
#include <QSignalSpy>
#include <QSlider>
#include <QTranslator>
#include <QtTest>

#include <memory>

namespace {

const QString logoPath = QStringLiteral(":/tarnDeck/#Gfx/veltrane-logo.png");
const QSize logoSize(128, 34);

// Prefixes every text with the context it was asked for, so a test can see
// both that a text is translated and under which context.
class MarkingTranslator : public QTranslator
{
public:
    QString translate(const char *context, const char *sourceText, const char *disambiguation,
                      int n) const override
    {
        Q_UNUSED(disambiguation)
        Q_UNUSED(n)
        return mark(QString::fromUtf8(context), QString::fromUtf8(sourceText));
    }
    bool isEmpty() const override { return false; }

    static QString mark(const QString &context, const QString &text)
    {
        return QLatin1Char('[') + context + QLatin1String("] ") + text;
    }
};

// A window with a slot the form connects by name, as the real window has
// one: it notes what the Manual button looked like when the slot ran.
class WindowWithFocusSlot : public QMainWindow
{
    Q_OBJECT

public:
    WindowWithFocusSlot()
    {
        ui.setupUi(this);
        connect(ui.pushButtonFocusManual, &QPushButton::clicked, this, [this] { ++manualClicks; });
    }

    Ui::tarnDeckClass ui;
    int manualClicks = 0;
    QVector<bool> manualCheckedSeenBySlot;
    QVector<int> manualClicksSeenBySlot;

private slots:
    void on_verticalSliderFocus_valueChanged(int)
    {
        manualCheckedSeenBySlot.append(ui.pushButtonFocusManual->isChecked());
        manualClicksSeenBySlot.append(manualClicks);
    }
};

enum class SliderChange { SetValue, SetValueAndBack, TriggerAction, Key };

QStringList entryNames(const QMenu *menu)
{
    QStringList entries;
    const QList<QAction *> actions = menu->actions();
    for (const QAction *action : actions)
        entries << (action->isSeparator() ? QStringLiteral("-") : action->objectName());
    return entries;
}

} // namespace

Q_DECLARE_METATYPE(SliderChange)

class tst_Form : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void namedObjects_data();
    void namedObjects();
    void onlyPanelActionsAndPortSettingsStartChecked();
    void sliders_data();
    void sliders();
    void buttons_data();
    void buttons();
    void exclusiveButtonGroups_data();
    void exclusiveButtonGroups();
    void menuBarOrder();
    void menuEntries_data();
    void menuEntries();
    void logoComesFromTheResource();
    void logoIsSharpAtScaleTwo();
    void focusSliderChangeClicksManual_data();
    void focusSliderChangeClicksManual();
    void manualIsClickedBeforeTheWindowsFocusSlot();
    void textsUseTheFormContextExceptOptions();

private:
    template<typename T>
    T *find(const QString &name) const
    {
        return window->findChild<T *>(name);
    }

    std::unique_ptr<QMainWindow> window;
    Ui::tarnDeckClass ui;
    std::unique_ptr<MarkingTranslator> translator;
};

void tst_Form::initTestCase()
{
    TestSettings::useTemporaryStore();
    // The core library is static: pull its resource collection in.
    Q_INIT_RESOURCE(tarnDeck);
    // As the program sets it: icons hand out pixmaps for the screen's scale
    // (always so on Qt 6).
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0)
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
}

void tst_Form::init()
{
    window = std::make_unique<QMainWindow>();
    ui.setupUi(window.get());
}

void tst_Form::cleanup()
{
    if (translator) {
        QCoreApplication::removeTranslator(translator.get());
        translator.reset();
    }
    window.reset();
}

void tst_Form::namedObjects_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("className");

    const QStringList actions = {
        "action4800",
        "action9600",
        "action14400",
        "action19200",
        "action28800",
        "action38400",
        "action57600",
        "action115200",
        "actionDatabits7",
        "actionDatabits8",
        "actionParityEven",
        "actionParityOdd",
        "actionParityNone",
        "actionStopbits1",
        "actionStopbits1_5",
        "actionStopbits2",
        "actionFlowcontrolNone",
        "actionFlowcontrolHardware",
        "actionFlowcontrolSoftware",
        "actionData_bits",
        "actionParity",
        "actionStop_bits",
        "actionFlowcontrol",
        "actionZoom",
        "actionFocus",
        "actionBrightness",
        "actionColor",
        "actionLED",
        "actionPresets",
        "actionPanTilt",
        "actionPortSettings",
        "actionPanTiltDrive",
        "actionGamepad",
        "actionCameraSave",
        "actionCameraReset",
        "actionCameraSaveCustom",
        "actionCameraProfile0",
        "actionCameraProfile1",
        "actionCameraProfile2",
        "actionCameraProfile3",
        "actionCameraProfile4",
        "actionCameraProfile5",
        "actionCameraProfile6",
        "actionCameraProfile7",
        "actionCameraProfile8",
        "actionCameraProfile9",
        "actionACTi",
    };
    for (const QString &name : actions)
        QTest::newRow(qPrintable(name)) << name << QByteArray("QAction");

    const QList<QPair<QString, QByteArray>> widgets = {
        {"centralWidget", "QWidget"},
        {"menuBar", "QMenuBar"},
        {"menuPort", "QMenu"},
        {"menuBaudrate", "QMenu"},
        {"menuProtocol", "QMenu"},
        {"menuControl", "QMenu"},
        {"menuCameraProfiles", "QMenu"},
        {"menuOptions", "QMenu"},
        {"groupBoxActi", "QGroupBox"},
        {"groupBoxPanTilt", "QGroupBox"},
        {"groupBoxZoom", "QGroupBox"},
        {"groupBoxFocus", "QGroupBox"},
        {"groupBoxBrightness", "QGroupBox"},
        {"groupBoxColor", "QGroupBox"},
        {"groupBoxLED", "QGroupBox"},
        {"groupBoxPresets", "QGroupBox"},
        {"labelActiIP", "QLabel"},
        {"labelActiUser", "QLabel"},
        {"labelActiPassword", "QLabel"},
        {"labelActiStatus", "QLabel"},
        {"labelLastCommand", "QLabel"},
        {"lineEditActiIP", "QLineEdit"},
        {"lineEditActiUser", "QLineEdit"},
        {"lineEditActiPassword", "QLineEdit"},
        {"pushButtonActiConnect", "QPushButton"},
        {"widgetPT", "PTWidget"},
        {"verticalSliderZoom", "QSlider"},
        {"verticalSliderFocus", "QSlider"},
        {"verticalSliderBrightness", "QSlider"},
        {"verticalSliderLED", "QSlider"},
        {"pushButtonFocusAuto", "QPushButton"},
        {"pushButtonFocusTrigger", "QPushButton"},
        {"pushButtonFocusManual", "QPushButton"},
        {"pushButtonBrightnessAuto", "QPushButton"},
        {"pushButtonBrightnessUp", "QPushButton"},
        {"pushButtonBrightnessDown", "QPushButton"},
        {"pushButtonBrightnessWDR", "QPushButton"},
        {"line", "QFrame"},
        {"pushButtonColorAuto", "QPushButton"},
        {"pushButtonColor2700K", "QPushButton"},
        {"pushButtonColor3200K", "QPushButton"},
        {"pushButtonColor5800K", "QPushButton"},
        {"pushButtonLEDUp", "QPushButton"},
        {"pushButtonLEDDown", "QPushButton"},
        {"pushButtonLEDOff", "QPushButton"},
        {"pushButtonLogo", "QPushButton"},
    };
    for (const auto &widget : widgets)
        QTest::newRow(qPrintable(widget.first)) << widget.first << widget.second;
}

// Slots are connected by object name and the style sheet selects by it, so
// each name must exist exactly once, on an object of the expected class.
void tst_Form::namedObjects()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, className);

    QCOMPARE(window->objectName(), QStringLiteral("tarnDeckClass"));
    const QList<QObject *> found = window->findChildren<QObject *>(name);
    QCOMPARE(found.size(), 1);
    QCOMPARE(QByteArray(found.first()->metaObject()->className()), className);
}

void tst_Form::onlyPanelActionsAndPortSettingsStartChecked()
{
    QSet<QString> checkedActions;
    const QList<QAction *> actions = window->findChildren<QAction *>();
    for (const QAction *action : actions) {
        if (action->isChecked())
            checkedActions.insert(action->objectName());
    }
    QCOMPARE(checkedActions, QSet<QString>({"actionZoom", "actionFocus", "actionPortSettings"}));

    const QList<QAbstractButton *> buttons = window->findChildren<QAbstractButton *>();
    QVERIFY(!buttons.isEmpty());
    for (const QAbstractButton *button : buttons)
        QVERIFY2(!button->isChecked(), qPrintable(button->objectName()));
}

void tst_Form::sliders_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("minimum");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("pageStep");

    QTest::newRow("zoom rate") << "verticalSliderZoom" << -8 << 8 << 0 << 1;
    QTest::newRow("focus rate") << "verticalSliderFocus" << -8 << 8 << 0 << 1;
    QTest::newRow("brightness") << "verticalSliderBrightness" << 0 << 10 << 5 << 1;
    QTest::newRow("led") << "verticalSliderLED" << 0 << 10 << 0 << 1;
}

void tst_Form::sliders()
{
    QFETCH(QString, name);
    QFETCH(int, minimum);
    QFETCH(int, maximum);
    QFETCH(int, value);
    QFETCH(int, pageStep);

    const QSlider *slider = find<QSlider>(name);
    QVERIFY(slider);
    QCOMPARE(slider->minimum(), minimum);
    QCOMPARE(slider->maximum(), maximum);
    QCOMPARE(slider->value(), value);
    QCOMPARE(slider->pageStep(), pageStep);
    QCOMPARE(slider->orientation(), Qt::Vertical);
}

void tst_Form::buttons_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("autoExclusive");

    QTest::newRow("focus auto") << "pushButtonFocusAuto" << true << true;
    QTest::newRow("focus trigger") << "pushButtonFocusTrigger" << true << true;
    QTest::newRow("focus manual") << "pushButtonFocusManual" << true << true;
    QTest::newRow("brightness auto") << "pushButtonBrightnessAuto" << true << false;
    QTest::newRow("brightness up") << "pushButtonBrightnessUp" << true << false;
    QTest::newRow("brightness down") << "pushButtonBrightnessDown" << true << false;
    QTest::newRow("wdr") << "pushButtonBrightnessWDR" << true << false;
    QTest::newRow("color auto") << "pushButtonColorAuto" << true << true;
    QTest::newRow("color 2700K") << "pushButtonColor2700K" << true << true;
    QTest::newRow("color 3200K") << "pushButtonColor3200K" << true << true;
    QTest::newRow("color 5800K") << "pushButtonColor5800K" << true << true;
    QTest::newRow("led up") << "pushButtonLEDUp" << true << false;
    QTest::newRow("led down") << "pushButtonLEDDown" << true << false;
    QTest::newRow("led off") << "pushButtonLEDOff" << true << false;
    QTest::newRow("acti connect") << "pushButtonActiConnect" << false << false;
    QTest::newRow("logo") << "pushButtonLogo" << false << false;
}

void tst_Form::buttons()
{
    QFETCH(QString, name);
    QFETCH(bool, checkable);
    QFETCH(bool, autoExclusive);

    const QPushButton *button = find<QPushButton>(name);
    QVERIFY(button);
    QCOMPARE(button->isCheckable(), checkable);
    QCOMPARE(button->autoExclusive(), autoExclusive);
}

void tst_Form::exclusiveButtonGroups_data()
{
    QTest::addColumn<QStringList>("clicked");
    QTest::addColumn<QStringList>("checkedAfter");

    QTest::newRow("focus modes exclude each other")
        << QStringList{"pushButtonFocusAuto", "pushButtonFocusTrigger", "pushButtonFocusManual"}
        << QStringList{"pushButtonFocusManual"};
    QTest::newRow("colour presets exclude each other")
        << QStringList{"pushButtonColor2700K", "pushButtonColorAuto", "pushButtonColor5800K"}
        << QStringList{"pushButtonColor5800K"};
    QTest::newRow("focus and colour groups are independent")
        << QStringList{"pushButtonFocusAuto", "pushButtonColor3200K"}
        << QStringList{"pushButtonColor3200K", "pushButtonFocusAuto"};
    QTest::newRow("brightness buttons are independent")
        << QStringList{"pushButtonBrightnessAuto", "pushButtonBrightnessUp",
                       "pushButtonBrightnessDown", "pushButtonBrightnessWDR"}
        << QStringList{"pushButtonBrightnessAuto", "pushButtonBrightnessDown",
                       "pushButtonBrightnessUp", "pushButtonBrightnessWDR"};
    QTest::newRow("led buttons are independent")
        << QStringList{"pushButtonLEDUp", "pushButtonLEDDown", "pushButtonLEDOff"}
        << QStringList{"pushButtonLEDDown", "pushButtonLEDOff", "pushButtonLEDUp"};
}

void tst_Form::exclusiveButtonGroups()
{
    QFETCH(QStringList, clicked);
    QFETCH(QStringList, checkedAfter);

    for (const QString &name : qAsConst(clicked)) {
        QPushButton *button = find<QPushButton>(name);
        QVERIFY2(button, qPrintable(name));
        button->click();
    }
    QStringList checked;
    const QList<QPushButton *> buttons = window->findChildren<QPushButton *>();
    for (const QPushButton *button : buttons) {
        if (button->isChecked())
            checked << button->objectName();
    }
    checked.sort();
    QCOMPARE(checked, checkedAfter);
}

void tst_Form::menuBarOrder()
{
    QStringList menus;
    const QList<QAction *> actions = window->menuBar()->actions();
    for (const QAction *action : actions) {
        QVERIFY(action->menu());
        menus << action->menu()->objectName();
    }
    QCOMPARE(menus,
             QStringList({"menuPort", "menuBaudrate", "menuProtocol", "menuControl",
                          "menuCameraProfiles", "menuOptions"}));
    QCOMPARE(window->menuBar(), ui.menuBar);
}

void tst_Form::menuEntries_data()
{
    QTest::addColumn<QString>("menu");
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<bool>("separatorsCollapsible");

    QTest::newRow("connect") << "menuPort" << QStringList{"actionACTi", "actionViscaIp", "-"}
                             << true;
    QTest::newRow("baudrate") << "menuBaudrate"
                              << QStringList{"action4800",  "action9600",  "action14400",
                                             "action19200", "action28800", "action38400",
                                             "action57600", "action115200"}
                              << false;
    QTest::newRow("protocol") << "menuProtocol"
                              << QStringList{"actionData_bits",
                                             "actionDatabits7",
                                             "actionDatabits8",
                                             "-",
                                             "actionParity",
                                             "actionParityNone",
                                             "actionParityOdd",
                                             "actionParityEven",
                                             "-",
                                             "actionStop_bits",
                                             "actionStopbits1",
                                             "actionStopbits1_5",
                                             "actionStopbits2",
                                             "-",
                                             "actionFlowcontrol",
                                             "actionFlowcontrolNone",
                                             "actionFlowcontrolHardware",
                                             "actionFlowcontrolSoftware"}
                              << false;
    QTest::newRow("control") << "menuControl"
                             << QStringList{"actionPanTilt", "-", "actionZoom",
                                            "actionFocus",   "-", "actionBrightness",
                                            "actionColor",   "-", "actionLED",
                                            "-",             "actionPresets"}
                             << true;
    QTest::newRow("camera profiles") << "menuCameraProfiles"
                                     << QStringList{"actionCameraProfile0",
                                                    "actionCameraProfile1",
                                                    "actionCameraProfile2",
                                                    "actionCameraProfile3",
                                                    "actionCameraProfile4",
                                                    "actionCameraProfile5",
                                                    "actionCameraProfile6",
                                                    "actionCameraProfile7",
                                                    "actionCameraProfile8",
                                                    "actionCameraProfile9",
                                                    "-",
                                                    "actionCameraSave",
                                                    "actionCameraSaveCustom",
                                                    "-",
                                                    "actionCameraReset"}
                                     << true;
    QTest::newRow("options") << "menuOptions"
                             << QStringList{"actionPortSettings", "actionPanTiltDrive",
                                            "actionGamepad"}
                             << true;
}

void tst_Form::menuEntries()
{
    QFETCH(QString, menu);
    QFETCH(QStringList, entries);
    QFETCH(bool, separatorsCollapsible);

    const QMenu *found = find<QMenu>(menu);
    QVERIFY(found);
    QCOMPARE(entryNames(found), entries);
    QCOMPARE(found->separatorsCollapsible(), separatorsCollapsible);
}

void tst_Form::logoComesFromTheResource()
{
    const QPixmap fromResource(logoPath);
    QVERIFY(!fromResource.isNull());
    QCOMPARE(fromResource.size(), logoSize);

    const QIcon icon = ui.pushButtonLogo->icon();
    QVERIFY(!icon.isNull());
    QCOMPARE(ui.pushButtonLogo->iconSize(), logoSize);
    // An image the icon could not read would leave its mode without a size.
    const QList<QPair<QIcon::Mode, QIcon::State>> modes = {
        {QIcon::Normal, QIcon::Off}, {QIcon::Disabled, QIcon::Off}, {QIcon::Disabled, QIcon::On}};
    for (const auto &mode : modes)
        QCOMPARE(icon.availableSizes(mode.first, mode.second), QList<QSize>{logoSize});
    const QImage normal = icon.pixmap(logoSize, QIcon::Normal, QIcon::Off).toImage();
    QCOMPARE(normal.size(), logoSize);
    QCOMPARE(normal, fromResource.toImage().convertToFormat(normal.format()));
    // The disabled modes show the logo itself, not a greyed-out copy, so the
    // logo keeps its colours while the panels are disabled.
    QCOMPARE(icon.pixmap(logoSize, QIcon::Disabled, QIcon::Off).toImage(), normal);
    QCOMPARE(icon.pixmap(logoSize, QIcon::Disabled, QIcon::On).toImage(), normal);
    QVERIFY(ui.pushButtonLogo->text().isEmpty());
}

// Run with QT_SCALE_FACTOR=2 (the test tst_form_scale2): the logo draws from
// its @2x image instead of an enlarged copy of the small one.
void tst_Form::logoIsSharpAtScaleTwo()
{
    if (qApp->devicePixelRatio() < 2)
        QSKIP("needs a scale factor of 2 (QT_SCALE_FACTOR=2)");
    const QPixmap drawn = ui.pushButtonLogo->icon().pixmap(logoSize);
    QCOMPARE(drawn.devicePixelRatio(), 2.0);
    QCOMPARE(drawn.size(), logoSize * 2);
    const QImage twice(QStringLiteral(":/tarnDeck/#Gfx/veltrane-logo@2x.png"));
    QCOMPARE(drawn.toImage(), twice.convertToFormat(drawn.toImage().format()));
}

void tst_Form::focusSliderChangeClicksManual_data()
{
    QTest::addColumn<SliderChange>("change");
    QTest::addColumn<int>("argument");
    QTest::addColumn<int>("valueAfter");
    QTest::addColumn<int>("clicks");

    QTest::newRow("set up") << SliderChange::SetValue << 3 << 3 << 1;
    QTest::newRow("set down to the end") << SliderChange::SetValue << -8 << -8 << 1;
    QTest::newRow("set beyond the range") << SliderChange::SetValue << 20 << 8 << 1;
    QTest::newRow("set to the value it has") << SliderChange::SetValue << 0 << 0 << 0;
    QTest::newRow("set and spring back") << SliderChange::SetValueAndBack << 2 << 0 << 2;
    QTest::newRow("single step") << SliderChange::TriggerAction
                                 << int(QAbstractSlider::SliderSingleStepAdd) << 1 << 1;
    QTest::newRow("page step") << SliderChange::TriggerAction
                               << int(QAbstractSlider::SliderPageStepSub) << -1 << 1;
    QTest::newRow("to maximum") << SliderChange::TriggerAction
                                << int(QAbstractSlider::SliderToMaximum) << 8 << 1;
    QTest::newRow("key up") << SliderChange::Key << int(Qt::Key_Up) << 1 << 1;
    QTest::newRow("key home") << SliderChange::Key << int(Qt::Key_Home) << -8 << 1;
}

// Whatever moves the focus slider also clicks the Manual button, which takes
// the exclusive focus mode away from Auto.
void tst_Form::focusSliderChangeClicksManual()
{
    QFETCH(SliderChange, change);
    QFETCH(int, argument);
    QFETCH(int, valueAfter);
    QFETCH(int, clicks);

    QSlider *slider = ui.verticalSliderFocus;
    ui.pushButtonFocusAuto->setChecked(true);
    QSignalSpy manualClicked(ui.pushButtonFocusManual, &QPushButton::clicked);

    switch (change) {
    case SliderChange::SetValue:
        slider->setValue(argument);
        break;
    case SliderChange::SetValueAndBack:
        slider->setValue(argument);
        slider->setValue(0);
        break;
    case SliderChange::TriggerAction:
        slider->triggerAction(QAbstractSlider::SliderAction(argument));
        break;
    case SliderChange::Key:
        QTest::keyClick(slider, Qt::Key(argument));
        break;
    }

    QCOMPARE(slider->value(), valueAfter);
    QCOMPARE(manualClicked.count(), clicks);
    QCOMPARE(ui.pushButtonFocusManual->isChecked(), clicks > 0);
    QCOMPARE(ui.pushButtonFocusAuto->isChecked(), clicks == 0);
}

void tst_Form::manualIsClickedBeforeTheWindowsFocusSlot()
{
    WindowWithFocusSlot focusWindow;
    focusWindow.ui.pushButtonFocusTrigger->setChecked(true);

    focusWindow.ui.verticalSliderFocus->setValue(-4);
    focusWindow.ui.verticalSliderFocus->setValue(0);

    QCOMPARE(focusWindow.manualClicksSeenBySlot, QVector<int>({1, 2}));
    QCOMPARE(focusWindow.manualCheckedSeenBySlot, QVector<bool>({true, true}));
    QVERIFY(!focusWindow.ui.pushButtonFocusTrigger->isChecked());
}

void tst_Form::textsUseTheFormContextExceptOptions()
{
    translator = std::make_unique<MarkingTranslator>();
    QCoreApplication::installTranslator(translator.get());
    ui.retranslateUi(window.get());

    const QString context = QStringLiteral("tarnDeckClass");
    auto translated = [&context](const QString &text) {
        return text.startsWith(MarkingTranslator::mark(context, QString()));
    };
    QVERIFY2(translated(window->windowTitle()), qPrintable(window->windowTitle()));
    QCOMPARE(window->windowTitle(), MarkingTranslator::mark(context, "tarnDeck"));

    int checked = 0;
    auto expectTranslated = [&](const QObject *object, const QString &text) {
        ++checked;
        QVERIFY2(translated(text), qPrintable(object->objectName() + ": " + text));
    };

    const QList<QAction *> actions = window->findChildren<QAction *>();
    for (const QAction *action : actions) {
        if (!action->objectName().isEmpty())
            expectTranslated(action, action->text());
    }
    const QList<QMenu *> menus = window->findChildren<QMenu *>();
    for (const QMenu *menu : menus) {
        if (menu == ui.menuOptions)
            continue;
        expectTranslated(menu, menu->title());
    }
    const QList<QGroupBox *> groupBoxes = window->findChildren<QGroupBox *>();
    for (const QGroupBox *groupBox : groupBoxes)
        expectTranslated(groupBox, groupBox->title());
    const QList<QPushButton *> buttons = window->findChildren<QPushButton *>();
    for (const QPushButton *button : buttons) {
        if (button != ui.pushButtonLogo)
            expectTranslated(button, button->text());
    }
    const QList<QLabel *> labels = window->findChildren<QLabel *>();
    for (const QLabel *label : labels)
        expectTranslated(label, label->text());
    const QList<QLineEdit *> lineEdits = window->findChildren<QLineEdit *>();
    for (const QLineEdit *lineEdit : lineEdits)
        expectTranslated(lineEdit, lineEdit->text());
    QVERIFY(checked > 60);

    QCOMPARE(ui.menuControl->title(), MarkingTranslator::mark(context, "Control"));
    QCOMPARE(ui.menuOptions->title(), QStringLiteral("Options"));
    QVERIFY(ui.pushButtonLogo->text().isEmpty());
}

QTEST_MAIN(tst_Form)
#include "tst_form.moc"

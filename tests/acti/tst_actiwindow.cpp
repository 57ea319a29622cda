// The encoder route of the main window, driven as the operator drives it: the
// ACTi entry of the "&Connect" menu, the address and log-in fields, the
// connect button, the serial parameter menus and the camera controls. A real
// HTTP server on loopback stands in for the encoder and records every request
// line it receives; the window never learns it is not an encoder.
#include "logcapture.h"
#include "loophttpserver.h"
#include "sendfailure.h"
#include "stallwatch.h"
#include "tarndeck.h"
#include "testsettings.h"
#include "windowharness.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSettings>
#include <QSlider>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <memory>

using Request = LoopHttpServer::Request;
using Response = LoopHttpServer::Response;

namespace {

// The log-in the form offers at first start.
const QString formUser = QStringLiteral("Admin");
const QString formPassword = QStringLiteral("418275");
const QString formCredentials = QStringLiteral("USER=Admin&PWD=418275");

const QByteArray systemInfoXml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                                 "<SYSTEM_INFO><MODEL_NUMBER value=\"TDE-3300\"/>"
                                 "<SERIAL_PORT value=\"1\"/></SYSTEM_INFO>\n";

const char *const panelNames[]
    = {"groupBoxZoom", "groupBoxFocus", "groupBoxBrightness", "groupBoxColor", "groupBoxLED"};

QString systemLine(const QString &credentials = formCredentials)
{
    return QStringLiteral("GET /cgi-bin/system?") + credentials + QLatin1Char('&') + credentials
        + QStringLiteral("&SYSTEM_INFO_XML HTTP/1.1");
}

QString settingLine(const QString &setting, const QString &credentials = formCredentials)
{
    return QStringLiteral("GET /cgi-bin/ENCODER?") + credentials
        + QStringLiteral("&SERIAL_SETTING=") + setting + QStringLiteral(" HTTP/1.1");
}

QString hexLine(const QString &hex)
{
    return QStringLiteral("GET /cgi-bin/ENCODER?") + formCredentials
        + QStringLiteral("&SERIAL_HEX=") + hex + QStringLiteral(" HTTP/1.1");
}

QStringList hexLines(const QStringList &hexTexts)
{
    QStringList lines;
    for (const QString &hex : hexTexts)
        lines << hexLine(hex);
    return lines;
}

Response withStatus(Response response, int status)
{
    response.status = status;
    return response;
}

// The connect button is only ever pressed with a loopback address or with a
// text that names no usable address. The form's own default address belongs
// to a real network and must never be contacted.
bool loopbackOrNoAddress(const QString &text)
{
    const QString host = text.trimmed();
    if (host.isEmpty())
        return true;
    for (const char *prefix : {"127.", "[::1", "0.0.0.0", "[::]", "[127."}) {
        if (host.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

// Types the text key by key; letters beyond ASCII come as key events that
// carry only their text, as from a keyboard layout that has them.
void typeInto(QLineEdit *field, const QString &text)
{
    field->clear();
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            QTest::keyClick(field, char(c.unicode()));
        else
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), Qt::NoModifier);
    }
}

// An encoder on loopback: system information for the right log-in, "OK:"
// for serial settings and pass-through, each answer replaceable by the test.
// onRequest runs as a request arrives, while the window still waits for it.
class Encoder
{
public:
    explicit Encoder(const QHostAddress &host = QHostAddress(QHostAddress::LocalHost))
    {
        listening = server.listen(host);
        authority = server.authority();
        server.setHandler([this](const Request &request) { return answer(request); });
    }

    QStringList lines() const { return server.requestLines(); }

    LoopHttpServer server;
    bool listening = false;
    QString authority; // "127.0.0.1:port", kept after close()
    QString user = formUser;
    QString password = formPassword;
    Response systemAnswer = Response::xml(systemInfoXml);
    Response settingAnswer = Response::text("OK: SERIAL_SETTING");
    Response hexAnswer = Response::text("OK: SERIAL_HEX");
    std::function<void(const Request &)> onRequest;

private:
    Response answer(const Request &request)
    {
        if (onRequest)
            onRequest(request);
        if (request.queryValue(QStringLiteral("USER")) != user
            || request.queryValue(QStringLiteral("PWD")) != password)
            return Response::text("ERROR: authentication failed");
        if (request.path() == "/cgi-bin/system"
            && request.hasQueryItem(QStringLiteral("SYSTEM_INFO_XML")))
            return systemAnswer;
        if (request.path() == "/cgi-bin/ENCODER") {
            if (request.hasQueryItem(QStringLiteral("SERIAL_SETTING")))
                return settingAnswer;
            if (request.hasQueryItem(QStringLiteral("SERIAL_HEX")))
                return hexAnswer;
        }
        return Response::text("ERROR: unknown request", 404);
    }
};

// How a camera command is started.
enum class Gesture {
    PageUpKey,
    PlusKey,
    Button3200K,
    ButtonFocusTrigger,
    ZoomSliderWide5,
    SendLedUp,
    SendProfileReset,
};

// What the window has done before a command or a parameter change.
enum class Before {
    RouteChosen,      // the ACTi entry checked, never connected
    UnusableAddress,  // a connect with an empty address field
    ConnectedAndLeft, // connected, the entry unchecked and checked again
};

} // namespace

Q_DECLARE_METATYPE(Gesture)
Q_DECLARE_METATYPE(Before)

class tst_ActiWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void encoderEntryOpensTheConnectBox();
    void connectOutcomes_data();
    void connectOutcomes();
    void unusableAddressSendsNothing_data();
    void unusableAddressSendsNothing();
    void retryTakesTheFieldsAnew();
    void keysFromTheFields_data();
    void keysFromTheFields();
    void addressForms_data();
    void addressForms();
    void credentialsArrivePercentEncoded_data();
    void credentialsArrivePercentEncoded();

    void commandsTravelAsSerialHex_data();
    void commandsTravelAsSerialHex();
    void encoderVerdictOnCommands_data();
    void encoderVerdictOnCommands();
    void encoderSwitchedOffMidSession();
    void noAddressNoRequest_data();
    void noAddressNoRequest();
    void serialSettingFollowsTheMenus_data();
    void serialSettingFollowsTheMenus();
    void serialSettingSentWhateverTheState_data();
    void serialSettingSentWhateverTheState();
    void serialPortWinsOverTheEncoder();
    void slowEncoderNeverNestsRequests();

    void leavingTheRouteReturnsToIdle();
    void windowStaysLiveDuringARequest_data();
    void windowStaysLiveDuringARequest();
    void leavingTheRouteWhileConnecting_data();
    void leavingTheRouteWhileConnecting();

private:
    template<typename T>
    T *find(const char *name) const
    {
        return harness->find<T>(QLatin1String(name));
    }
    tarnDeck &window() { return harness->window(); }
    QLabel *encoderStatus() const { return find<QLabel>("labelActiStatus"); }
    QLabel *statusLine() const { return find<QLabel>("labelLastCommand"); }
    QPushButton *connectButton() const { return find<QPushButton>("pushButtonActiConnect"); }
    QLineEdit *addressField() const { return find<QLineEdit>("lineEditActiIP"); }
    QAction *encoderEntry() const { return find<QAction>("actionACTi"); }
    bool connectBoxShown() const
    {
        return find<QGroupBox>("groupBoxActi")->isVisibleTo(&harness->window());
    }

    void chooseEncoderEntry();
    bool clickConnect();
    bool connectFromTheMenu(const QString &address);
    void connectEncoder();
    void reach(Before before);
    // line: the status line, "Connected to ACTi <endpoint>" when null.
    void verifyConnected(const QString &endpoint, const QString &line = QString());
    void verifyNotConnected(const QString &status, const QString &line = QString());
    void verifyIdle();

    QString titleBase;
    std::unique_ptr<Encoder> encoder;
    std::unique_ptr<WindowHarness> harness;
};

void tst_ActiWindow::initTestCase()
{
    TestSettings::useTemporaryStore();
    QApplication::setQuitOnLastWindowClosed(false);
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.app.info=false"));
    titleBase = QCoreApplication::organizationName() + QStringLiteral(" - ")
        + QCoreApplication::applicationName() + QLatin1Char(' ')
        + QCoreApplication::applicationVersion();
}

void tst_ActiWindow::init()
{
    TestSettings::clear();
    {
        // The ACTi entry is offered only to those who asked for it.
        QSettings store;
        store.setValue(QStringLiteral("acti"), true);
        store.sync();
    }
    encoder = std::make_unique<Encoder>();
    QVERIFY(encoder->listening);
    harness = std::make_unique<WindowHarness>();
    QVERIFY(encoderEntry()->isVisible());
    QVERIFY(!encoderEntry()->isChecked());
}

void tst_ActiWindow::cleanup()
{
    harness.reset();
    encoder.reset();
}

// --- Helpers ---------------------------------------------------------------

void tst_ActiWindow::chooseEncoderEntry()
{
    QVERIFY(harness->choosePortEntry(QStringLiteral("ACTi")));
}

bool tst_ActiWindow::clickConnect()
{
    const QString text = addressField()->text();
    if (!loopbackOrNoAddress(text)) {
        qWarning("not connecting to %s: loopback only", qPrintable(text));
        return false;
    }
    connectButton()->click();
    // The connect flow runs on in the event loop; its end shows in the
    // encoder's status (unless the operator left the route meanwhile).
    return QTest::qWaitFor(
        [this] {
            return encoderStatus()->text() != QLatin1String("Connecting..")
                || !encoderEntry()->isChecked();
        },
        SendFailure::encoderTimeoutMs + 5000);
}

// The ACTi entry checked, the address typed, the button clicked.
bool tst_ActiWindow::connectFromTheMenu(const QString &address)
{
    if (!harness->choosePortEntry(QStringLiteral("ACTi")) || !encoderEntry()->isChecked())
        return false;
    addressField()->setText(address);
    return clickConnect();
}

// Ready, then connected to the stand-in; its record starts empty afterwards.
void tst_ActiWindow::connectEncoder()
{
    QVERIFY(connectFromTheMenu(encoder->authority));
    QCOMPARE(encoderStatus()->text(), QStringLiteral("Connected"));
    QCOMPARE(encoder->lines(),
             (QStringList{systemLine(), settingLine(QStringLiteral("8N1,9600"))}));
    encoder->server.clearRequests();
}

void tst_ActiWindow::reach(Before before)
{
    switch (before) {
    case Before::RouteChosen:
        chooseEncoderEntry();
        break;
    case Before::UnusableAddress:
        QVERIFY(connectFromTheMenu(QString()));
        QCOMPARE(encoderStatus()->text(), QStringLiteral("Failed, authentication"));
        break;
    case Before::ConnectedAndLeft:
        connectEncoder();
        if (QTest::currentTestFailed())
            return;
        chooseEncoderEntry();
        QVERIFY(!encoderEntry()->isChecked());
        chooseEncoderEntry();
        QVERIFY(encoderEntry()->isChecked());
        break;
    }
    QVERIFY(encoderEntry()->isChecked());
}

void tst_ActiWindow::verifyConnected(const QString &endpoint, const QString &line)
{
    QCOMPARE(encoderStatus()->text(), QStringLiteral("Connected"));
    QVERIFY(!connectBoxShown());
    QVERIFY(!connectButton()->isEnabled());
    for (const char *name : panelNames)
        QVERIFY2(find<QGroupBox>(name)->isEnabled(), name);
    QVERIFY(find<QMenu>("menuCameraProfiles")->isEnabled());
    QCOMPARE(window().windowTitle(),
             titleBase + QStringLiteral(" - ACTi <") + endpoint + QLatin1Char('>'));
    QCOMPARE(statusLine()->text(),
             line.isNull() ? QStringLiteral("Connected to ACTi <") + endpoint + QLatin1Char('>')
                           : line);
}

// A connect that failed: the box stays for a retry, nothing else moved.
void tst_ActiWindow::verifyNotConnected(const QString &status, const QString &line)
{
    QCOMPARE(encoderStatus()->text(), status);
    QVERIFY(connectBoxShown());
    QVERIFY(connectButton()->isEnabled());
    for (const char *name : panelNames)
        QVERIFY2(!find<QGroupBox>(name)->isEnabled(), name);
    QVERIFY(!find<QMenu>("menuCameraProfiles")->isEnabled());
    QCOMPARE(window().windowTitle(), titleBase + QStringLiteral(" - Not connected"));
    QCOMPARE(statusLine()->text(), line);
}

// Off: the route left through the menu.
void tst_ActiWindow::verifyIdle()
{
    QVERIFY(!encoderEntry()->isChecked());
    QVERIFY(!connectBoxShown());
    for (const char *name : panelNames)
        QVERIFY2(!find<QGroupBox>(name)->isEnabled(), name);
    QVERIFY(!find<QMenu>("menuCameraProfiles")->isEnabled());
    QCOMPARE(window().windowTitle(), titleBase + QStringLiteral(" - Not connected"));
    QCOMPARE(statusLine()->text(), QStringLiteral("Not connected"));
}

// --- Choosing the route and connecting --------------------------------------

void tst_ActiWindow::encoderEntryOpensTheConnectBox()
{
    QVERIFY(!connectBoxShown());
    chooseEncoderEntry();

    QVERIFY(encoderEntry()->isChecked());
    QVERIFY(connectBoxShown());
    QVERIFY(connectButton()->isEnabled());
    QCOMPARE(encoderStatus()->text(), QStringLiteral("Not connected"));
    // Choosing the route connects nothing yet.
    verifyNotConnected(QStringLiteral("Not connected"));
    QCOMPARE(encoder->lines(), QStringList());

    // The pty is listed, but cannot be opened while the route is chosen.
    const QList<QAction *> menu = harness->showPortMenu();
    QCOMPARE(menu.size(), 4);
    QCOMPARE(menu.at(3)->text(), harness->portName());
    QVERIFY(!menu.at(3)->isEnabled());
    QVERIFY(menu.at(0)->isEnabled());
}

void tst_ActiWindow::connectOutcomes_data()
{
    QTest::addColumn<bool>("listening");
    QTest::addColumn<Response>("systemAnswer");
    QTest::addColumn<Response>("settingAnswer");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("why"); // the status tooltip and the warning line

    const Response xml = Response::xml(systemInfoXml);
    const Response ok = Response::text("OK: SERIAL_SETTING=8N1,9600");
    const QStringList both{systemLine(), settingLine(QStringLiteral("8N1,9600"))};
    const QStringList systemOnly{systemLine()};
    const QString connected = QStringLiteral("Connected");
    const QString unreachable = QStringLiteral("Failed, could not connect");
    const QString refused = QStringLiteral("Failed, authentication");
    const QString noSetting = QStringLiteral("Failed, serial parameters");

    QTest::newRow("encoder accepts") << true << xml << ok << both << connected << "";

    QTest::newRow("nobody listening")
        << false << xml << ok << QStringList() << unreachable << "connection refused";
    QTest::newRow("connection closed without an answer")
        << true << Response::close() << ok << systemOnly << unreachable
        << "connection closed without an answer";
    QTest::newRow("HTTP 404 with system information")
        << true << withStatus(xml, 404) << ok << systemOnly << unreachable << "HTTP 404";
    QTest::newRow("HTTP 500") << true << Response::text("", 500) << ok << systemOnly << unreachable
                              << "HTTP 500";
    QTest::newRow("HTTP 401") << true << Response::text("", 401) << ok << systemOnly << unreachable
                              << "HTTP 401";
    QTest::newRow("no answer within the time-out")
        << true << Response::hold() << ok << systemOnly << unreachable << "no answer in 5 s";

    QTest::newRow("plain text") << true << Response::text("SYSTEM_INFO not supported") << ok
                                << systemOnly << refused << "the answer was not system information";
    QTest::newRow("XML that does not parse")
        << true << Response::xml("<?xml version=\"1.0\"?><SYSTEM_INFO><MODEL_NUMBER value=\"x\">")
        << ok << systemOnly << refused << "the answer was not system information";
    QTest::newRow("log-in refused")
        << true << Response::text("ERROR: authentication failed") << ok << systemOnly << refused
        << "encoder answered ERROR: authentication failed";
    QTest::newRow("empty answer") << true << Response::text("") << ok << systemOnly << refused
                                  << "the answer was not system information";

    QTest::newRow("serial setting refused")
        << true << xml << Response::text("ERROR: SERIAL_SETTING") << both << noSetting
        << "encoder answered ERROR: SERIAL_SETTING";
    QTest::newRow("serial setting not acknowledged")
        << true << xml << Response::text("done") << both << noSetting
        << "encoder did not confirm: done";
    QTest::newRow("serial setting acknowledged with an error")
        << true << xml << Response::text("OK: SERIAL_SETTING error") << both << noSetting
        << "encoder answered OK: SERIAL_SETTING error";
    QTest::newRow("serial setting: HTTP 500")
        << true << xml << Response::text("OK:", 500) << both << noSetting << "HTTP 500";
    QTest::newRow("serial setting: connection closed")
        << true << xml << Response::close() << both << noSetting
        << "connection closed without an answer";
}

void tst_ActiWindow::connectOutcomes()
{
    QFETCH(bool, listening);
    QFETCH(Response, systemAnswer);
    QFETCH(Response, settingAnswer);
    QFETCH(QStringList, lines);
    QFETCH(QString, status);
    QFETCH(QString, why);

    encoder->systemAnswer = systemAnswer;
    encoder->settingAnswer = settingAnswer;
    LogCapture log("tarndeck.acti");
    // What the operator sees while each request waits for its answer.
    QStringList whileWaiting;
    encoder->onRequest = [this, &whileWaiting](const Request &) {
        whileWaiting << encoderStatus()->text()
                + (connectButton()->isEnabled() ? QStringLiteral(", button enabled")
                                                : QStringLiteral(", button disabled"));
    };

    if (!listening)
        encoder->server.close();
    QVERIFY(connectFromTheMenu(encoder->authority));

    QCOMPARE(encoder->lines(), lines);
    QStringList expectedWhileWaiting;
    for (int i = 0; i < lines.size(); ++i)
        expectedWhileWaiting << QStringLiteral("Connecting.., button disabled");
    QCOMPARE(whileWaiting, expectedWhileWaiting);

    if (status == QLatin1String("Connected"))
        verifyConnected(encoder->authority);
    else
        verifyNotConnected(status);
    QCOMPARE(encoderStatus()->toolTip(), why);
    const QStringList warnings = LogCapture::lines(QtWarningMsg);
    if (why.isEmpty())
        QCOMPARE(warnings, QStringList());
    else
        QVERIFY2(warnings.constLast().endsWith(QStringLiteral(": ") + why),
                 qPrintable(warnings.join('|')));
}

void tst_ActiWindow::unusableAddressSendsNothing_data()
{
    QTest::addColumn<QString>("address"); // %1: the stand-in's port
    QTest::addColumn<bool>("failedBefore");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("why"); // %1: the stand-in's port

    const QString refused = QStringLiteral("Failed, authentication");
    const QString none = QStringLiteral("no address entered");
    QTest::newRow("empty") << "" << false << refused << none;
    QTest::newRow("blanks") << "   " << false << refused << none;
    QTest::newRow("unspecified IPv4")
        << "0.0.0.0:%1" << false << refused << "not a usable address: 0.0.0.0:%1";
    QTest::newRow("unspecified IPv6")
        << "[::]:%1" << false << refused << "not a usable address: [::]:%1";
    QTest::newRow("port missing") << "127.0.0.1:" << false << refused
                                  << "not an IP address: 127.0.0.1:";
    QTest::newRow("port 0") << "127.0.0.1:0" << false << refused
                            << "not an IP address: 127.0.0.1:0";
    QTest::newRow("port beyond 65535")
        << "127.0.0.1:65536" << false << refused << "not an IP address: 127.0.0.1:65536";
    QTest::newRow("port with a sign")
        << "127.0.0.1:+%1" << false << refused << "not an IP address: 127.0.0.1:+%1";
    QTest::newRow("IPv4 in brackets")
        << "[127.0.0.1]:%1" << false << refused << "not an IP address: [127.0.0.1]:%1";
    QTest::newRow("IPv6 bracket not closed")
        << "[::1:%1" << false << refused << "not an IP address: [::1:%1";
    // Nothing is sent, so the status tells what the last request that was
    // sent met.
    QTest::newRow("empty after an unreachable encoder")
        << "" << true << QStringLiteral("Failed, could not connect") << none;
}

void tst_ActiWindow::unusableAddressSendsNothing()
{
    QFETCH(QString, address);
    QFETCH(bool, failedBefore);
    QFETCH(QString, status);
    QFETCH(QString, why);

    if (failedBefore) {
        encoder->systemAnswer = Response::close();
        QVERIFY(connectFromTheMenu(encoder->authority));
        QCOMPARE(encoderStatus()->text(), QStringLiteral("Failed, could not connect"));
        encoder->server.clearRequests();
    } else {
        chooseEncoderEntry();
    }

    addressField()->setText(
        address.contains(QLatin1String("%1")) ? address.arg(encoder->server.port()) : address);
    // The status shown before the request would start.
    QString afterClick;
    QObject probe; // ends the timer with this function, whatever happens
    QTimer::singleShot(0, &probe, [this, &afterClick] { afterClick = encoderStatus()->text(); });
    QVERIFY(clickConnect());

    QCOMPARE(afterClick, QStringLiteral("Connecting.."));
    QCOMPARE(encoder->lines(), QStringList());
    verifyNotConnected(status);
    QCOMPARE(encoderStatus()->toolTip(),
             why.replace(QLatin1String("%1"), QString::number(encoder->server.port())));
}

void tst_ActiWindow::retryTakesTheFieldsAnew()
{
    auto *password = find<QLineEdit>("lineEditActiPassword");
    password->setText(QStringLiteral("wrong"));
    QVERIFY(connectFromTheMenu(encoder->authority));
    verifyNotConnected(QStringLiteral("Failed, authentication"));

    password->setText(formPassword);
    QVERIFY(clickConnect());
    QCOMPARE(encoder->lines(),
             (QStringList{systemLine(QStringLiteral("USER=Admin&PWD=wrong")), systemLine(),
                          settingLine(QStringLiteral("8N1,9600"))}));
    verifyConnected(encoder->authority);
}

// The operator types into a field and ends with Return (connect) or Escape
// (keys to the panels). Where the keyboard focus is afterwards decides what
// Home does: in a field it moves the cursor, on the panels it clicks focus
// Auto.
void tst_ActiWindow::keysFromTheFields_data()
{
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("status"); // a failure leaves the keys in the field

    QTest::newRow("Return in the address: connected, keys on the panels")
        << "lineEditActiIP" << int(Qt::Key_Return) << formPassword << "Connected";
    QTest::newRow("Enter in the password: refused, the field keeps the keys")
        << "lineEditActiPassword" << int(Qt::Key_Enter) << "typo"
        << "Failed, authentication";
    QTest::newRow("Escape in the user field: keys on the panels, no connect")
        << "lineEditActiUser" << int(Qt::Key_Escape) << formPassword << "Not connected";
}

void tst_ActiWindow::keysFromTheFields()
{
    QFETCH(QString, field);
    QFETCH(int, key);
    QFETCH(QString, password);
    QFETCH(QString, status);

    window().show();
    window().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window()));
    chooseEncoderEntry();
    addressField()->setText(encoder->authority);
    find<QLineEdit>("lineEditActiPassword")->setText(password);
    auto *typedInto = harness->find<QLineEdit>(field);
    typedInto->setFocus(Qt::MouseFocusReason);
    QTRY_COMPARE(QApplication::focusWidget(), typedInto);

    QTest::keyClick(typedInto, Qt::Key(key));
    QTRY_COMPARE(encoderStatus()->text(), status);
    const bool connected = status == QLatin1String("Connected");
    const bool onPanels = !status.startsWith(QLatin1String("Failed"));
    QCOMPARE(QApplication::focusWidget()->objectName(),
             onPanels ? QStringLiteral("centralWidget") : field);

    // The field's cursor moves only while the field has the keys; the
    // panels' Focus Auto takes a click only once they are live.
    encoder->server.clearRequests();
    const int cursor = typedInto->cursorPosition();
    QVERIFY(cursor > 0);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Home);
    QCOMPARE(typedInto->cursorPosition(), onPanels ? cursor : 0);
    QCOMPARE(find<QPushButton>("pushButtonFocusAuto")->isChecked(), connected);
    QTRY_COMPARE(encoder->lines(),
                 connected ? QStringList{hexLine(QStringLiteral("8101043802FF"))} : QStringList());
}

void tst_ActiWindow::addressForms_data()
{
    QTest::addColumn<bool>("ipv6");
    QTest::addColumn<QString>("typed");    // %1: the stand-in's port
    QTest::addColumn<QString>("endpoint"); // as the title shows it

    QTest::newRow("IPv4 with port") << false << "127.0.0.1:%1"
                                    << "127.0.0.1:%1";
    QTest::newRow("blanks around") << false << "  127.0.0.1:%1 "
                                   << "127.0.0.1:%1";
    QTest::newRow("IPv6 with port") << true << "[::1]:%1"
                                    << "[::1]:%1";
}

void tst_ActiWindow::addressForms()
{
    QFETCH(bool, ipv6);
    QFETCH(QString, typed);
    QFETCH(QString, endpoint);

    std::unique_ptr<Encoder> v6;
    Encoder *target = encoder.get();
    if (ipv6) {
        v6 = std::make_unique<Encoder>(QHostAddress(QHostAddress::LocalHostIPv6));
        if (!v6->listening)
            QSKIP("::1 cannot be bound on this machine");
        target = v6.get();
    }
    const QString port = QString::number(target->server.port());

    QVERIFY(connectFromTheMenu(typed.arg(port)));

    QCOMPARE(target->lines(), (QStringList{systemLine(), settingLine(QStringLiteral("8N1,9600"))}));
    QCOMPARE(target->server.requests().first().header("Host"), endpoint.arg(port).toLatin1());
    verifyConnected(endpoint.arg(port));
}

void tst_ActiWindow::credentialsArrivePercentEncoded_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("password");
    QTest::addColumn<QString>("credentials"); // as they travel

    QTest::newRow("ampersand, hash, equals") << "a&b"
                                             << "p#w=1"
                                             << "USER=a%26b&PWD=p%23w%3D1";
    QTest::newRow("blank, plus, percent") << "with blank"
                                          << "+%41"
                                          << "USER=with%20blank&PWD=%2B%2541";
    QTest::newRow("question mark, slash") << "x?y"
                                          << "a/b"
                                          << "USER=x%3Fy&PWD=a%2Fb";
    QTest::newRow("Latin-1 letters") << QString::fromUtf8("Jürg") << QString::fromUtf8("pässé")
                                     << "USER=J%C3%BCrg&PWD=p%C3%A4ss%C3%A9";
}

void tst_ActiWindow::credentialsArrivePercentEncoded()
{
    QFETCH(QString, user);
    QFETCH(QString, password);
    QFETCH(QString, credentials);

    encoder->user = user;
    encoder->password = password;
    auto *userField = find<QLineEdit>("lineEditActiUser");
    auto *passwordField = find<QLineEdit>("lineEditActiPassword");
    typeInto(userField, user);
    typeInto(passwordField, password);
    QCOMPARE(userField->text(), user);
    QCOMPARE(passwordField->text(), password);

    QVERIFY(connectFromTheMenu(encoder->authority));
    QCOMPARE(encoder->lines(),
             (QStringList{systemLine(credentials),
                          settingLine(QStringLiteral("8N1,9600"), credentials)}));
    const Request system = encoder->server.requests().first();
    QCOMPARE(system.queryValues(QStringLiteral("USER")), (QStringList{user, user}));
    QCOMPARE(system.queryValues(QStringLiteral("PWD")), (QStringList{password, password}));
    verifyConnected(encoder->authority);
}

// --- After connecting ---------------------------------------------------------

void tst_ActiWindow::commandsTravelAsSerialHex_data()
{
    QTest::addColumn<Gesture>("gesture");
    QTest::addColumn<QStringList>("hex");
    QTest::addColumn<QString>("status");

    QTest::newRow("Page Up key: zoom tele 3, then stop")
        << Gesture::PageUpKey << QStringList{"8101040722FF", "8101040700FF"}
        << "zoom,0 [8101040700FF]";
    QTest::newRow("+ key: lamp up, then stop")
        << Gesture::PlusKey << QStringList{"8201060100010301ff", "8201060100000303FF"}
        << "led,stop [8201060100000303FF]";
    QTest::newRow("3200K button") << Gesture::Button3200K << QStringList{"8101043501FF"}
                                  << "color,3200k [8101043501FF]";
    QTest::newRow("focus trigger button: manual, then trigger")
        << Gesture::ButtonFocusTrigger << QStringList{"8101043803FF", "8101041801FF"}
        << "focus,trigger [8101041801FF]";
    QTest::newRow("zoom slider to -5")
        << Gesture::ZoomSliderWide5 << QStringList{"8101040734FF"} << "zoom,-5 [8101040734FF]";
    QTest::newRow("led up keeps its lower-case text")
        << Gesture::SendLedUp << QStringList{"8201060100010301ff"} << "led,up [8201060100010301ff]";
    QTest::newRow("profile reset: two packets")
        << Gesture::SendProfileReset << QStringList{"8101043F007FFF", "8101043F027FFF"}
        << "profile,reset [8101043F007FFF] [8101043F027FFF]";
}

void tst_ActiWindow::commandsTravelAsSerialHex()
{
    QFETCH(Gesture, gesture);
    QFETCH(QStringList, hex);
    QFETCH(QString, status);

    connectEncoder();
    QStringList whileWaiting;
    encoder->onRequest
        = [this, &whileWaiting](const Request &) { whileWaiting << statusLine()->text(); };

    switch (gesture) {
    case Gesture::PageUpKey:
        QTest::keyClick(&window(), Qt::Key_PageUp);
        break;
    case Gesture::PlusKey:
        QTest::keyClick(&window(), Qt::Key_Plus);
        break;
    case Gesture::Button3200K:
        find<QPushButton>("pushButtonColor3200K")->click();
        break;
    case Gesture::ButtonFocusTrigger:
        find<QPushButton>("pushButtonFocusTrigger")->click();
        break;
    case Gesture::ZoomSliderWide5:
        find<QSlider>("verticalSliderZoom")->setValue(-5);
        break;
    case Gesture::SendLedUp:
        QCOMPARE(window().sendCommand(QStringLiteral("led"), QStringLiteral("up")), 1);
        break;
    case Gesture::SendProfileReset:
        QCOMPARE(window().sendCommand(QStringLiteral("profile"), QStringLiteral("reset")), 1);
        break;
    }

    QTRY_COMPARE(encoder->lines(), hexLines(hex));
    // The status line moves on once the encoder has answered a request.
    QTRY_COMPARE(statusLine()->text(), status);
    QCOMPARE(whileWaiting.value(0),
             QStringLiteral("Connected to ACTi <") + encoder->authority + '>');
    verifyConnected(encoder->authority, status);
}

void tst_ActiWindow::encoderVerdictOnCommands_data()
{
    QTest::addColumn<Response>("hexAnswer");
    QTest::addColumn<int>("result");   // 1: the encoder took the command
    QTest::addColumn<int>("requests"); // each reaches the encoder once, whatever the answer
    QTest::addColumn<QString>("why");  // after "Not sent: zoom,3 – "; empty: sent

    QTest::newRow("OK:") << Response::text("OK: SERIAL_HEX=8101040722FF") << 1 << 1 << "";
    QTest::newRow("ERROR") << Response::text("ERROR: serial port busy\r\nline 2") << 0 << 1
                           << "encoder answered ERROR: serial port busy";
    QTest::newRow("OK: with an error")
        << Response::text("OK: error") << 0 << 1 << "encoder answered OK: error";
    QTest::newRow("no marker") << Response::text("done") << 0 << 1
                               << "encoder did not confirm: done";
    QTest::newRow("HTTP 500") << Response::text("OK:", 500) << 0 << 1
                              << "encoder answered HTTP 500";
    QTest::newRow("connection closed")
        << Response::close() << 0 << 1 << "encoder closed the connection without an answer";
    QTest::newRow("no answer") << Response::hold() << 0 << 1 << "encoder did not answer in 5 s";
    Response crowded = Response::text("OK: SERIAL_HEX");
    for (int i = 0; i < 200; ++i)
        crowded.extraHeaders.append({"X-Line-" + QByteArray::number(i), "v"});
    QTest::newRow("200 header lines")
        << crowded << 0 << 1 << "encoder answered with unreadable or too many header lines";
}

void tst_ActiWindow::encoderVerdictOnCommands()
{
    QFETCH(Response, hexAnswer);
    QFETCH(int, result);
    QFETCH(int, requests);
    QFETCH(QString, why);

    connectEncoder();
    encoder->hexAnswer = hexAnswer;
    LogCapture log("tarndeck.camera");

    // Handed over at once; the encoder's answer is the verdict.
    QCOMPARE(window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 1);
    QStringList sent;
    for (int i = 0; i < requests; ++i)
        sent << QStringLiteral("8101040722FF");
    QTRY_COMPARE(encoder->lines(), hexLines(sent));
    QCOMPARE(window().lastCommandText(), QStringLiteral("zoom,3 [8101040722FF]"));
    // A command that did not leave replaces the status line, in the warning
    // colour, and is logged in the same words.
    const QString notSent = QStringLiteral("Not sent: zoom,3 \u2013 ") + why;
    QTRY_COMPARE_WITH_TIMEOUT(statusLine()->text(), result ? window().lastCommandText() : notSent,
                              SendFailure::encoderTimeoutMs + 5000);
    QCOMPARE(statusLine()->property("failed").toBool(), !result);
    QCOMPARE(LogCapture::lines(QtWarningMsg), result ? QStringList() : QStringList{notSent});
    // A refused command changes nothing else.
    QCOMPARE(window().windowTitle(), titleBase + " - ACTi <" + encoder->authority + '>');
    QCOMPARE(encoderStatus()->text(), QStringLiteral("Connected"));
}

void tst_ActiWindow::encoderSwitchedOffMidSession()
{
    connectEncoder();
    find<QPushButton>("pushButtonBrightnessWDR")->click();
    QTRY_COMPARE(statusLine()->text(), QStringLiteral("wdr,on [8101043D02FF]"));

    const quint16 port = encoder->server.port();
    encoder->server.close();
    find<QPushButton>("pushButtonColor3200K")->click();
    QTRY_COMPARE(statusLine()->text(),
                 QStringLiteral("Not sent: color,3200k \u2013 encoder refused the connection"));
    QVERIFY(statusLine()->property("failed").toBool());
    // The route stays until the operator leaves it.
    verifyConnected(encoder->authority, statusLine()->text());

    // Back on: the next request it answers, a serial setting here, clears
    // the warning; so does the next command.
    QVERIFY(encoder->server.listen(QHostAddress(QHostAddress::LocalHost), port));
    find<QAction>("action19200")->trigger();
    QTRY_VERIFY(!statusLine()->property("failed").toBool());
    verifyConnected(encoder->authority);
    find<QPushButton>("pushButtonColor5800K")->click();
    QTRY_COMPARE(statusLine()->text(), QStringLiteral("color,5800k [8101043502FF]"));
    QVERIFY(!statusLine()->property("failed").toBool());
}

void tst_ActiWindow::noAddressNoRequest_data()
{
    QTest::addColumn<Before>("before");
    QTest::newRow("route chosen, never connected") << Before::RouteChosen;
    QTest::newRow("connect without a usable address") << Before::UnusableAddress;
    QTest::newRow("connected, route left and chosen again") << Before::ConnectedAndLeft;
}

void tst_ActiWindow::noAddressNoRequest()
{
    QFETCH(Before, before);

    reach(before);
    if (QTest::currentTestFailed())
        return;
    const QString line = statusLine()->text();
    const QString title = window().windowTitle();

    QCOMPARE(window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 0);
    QCOMPARE(window().lastCommandText(), QStringLiteral("zoom,3 [8101040722FF]"));
    QTest::keyClick(&window(), Qt::Key_End);
    find<QAction>("action19200")->trigger();
    find<QAction>("actionParityEven")->trigger();

    QCOMPARE(encoder->lines(), QStringList());
    QCOMPARE(statusLine()->text(), line);
    QCOMPARE(window().windowTitle(), title);
    QVERIFY(find<QAction>("action19200")->isChecked());
}

void tst_ActiWindow::serialSettingFollowsTheMenus_data()
{
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QStringList>("settings");

    QTest::newRow("7 data bits") << QStringList{"actionDatabits7"} << QStringList{"7N1,9600"};
    QTest::newRow("7E2,19200 step by step")
        << QStringList{"actionDatabits7", "actionParityEven", "actionStopbits2", "action19200"}
        << QStringList{"7N1,9600", "7E1,9600", "7E2,9600", "7E2,19200"};
    QTest::newRow("one and a half stop bits: digit 3")
        << QStringList{"actionStopbits1_5"} << QStringList{"8N3,9600"};
    QTest::newRow("odd parity, back to none") << QStringList{"actionParityOdd", "actionParityNone"}
                                              << QStringList{"8O1,9600", "8N1,9600"};
    QTest::newRow("every baud rate, hidden ones too")
        << QStringList{"action4800",  "action14400", "action19200", "action28800",
                       "action38400", "action57600", "action115200"}
        << QStringList{"8N1,4800",  "8N1,14400", "8N1,19200", "8N1,28800",
                       "8N1,38400", "8N1,57600", "8N1,115200"};
    QTest::newRow("the checked entry again")
        << QStringList{"action9600"} << QStringList{"8N1,9600"};
    QTest::newRow("flow control: nothing")
        << QStringList{"actionFlowcontrolHardware", "actionFlowcontrolSoftware",
                       "actionFlowcontrolNone"}
        << QStringList();
}

void tst_ActiWindow::serialSettingFollowsTheMenus()
{
    QFETCH(QStringList, entries);
    QFETCH(QStringList, settings);

    connectEncoder();
    // Each change goes out in its turn, one request after the other.
    for (const QString &entry : qAsConst(entries))
        find<QAction>(qPrintable(entry))->trigger();

    QStringList expected;
    for (const QString &setting : qAsConst(settings))
        expected << settingLine(setting);
    QTRY_COMPARE(encoder->lines(), expected);
    QTest::qWait(100);
    QCOMPARE(encoder->lines(), expected);
    verifyConnected(encoder->authority);
}

void tst_ActiWindow::serialSettingSentWhateverTheState_data()
{
    QTest::addColumn<Response>("systemAnswer");
    QTest::addColumn<Response>("settingAnswer");
    QTest::addColumn<QString>("status");

    const Response xml = Response::xml(systemInfoXml);
    const Response refused = Response::text("ERROR: SERIAL_SETTING");
    QTest::newRow("connected, the encoder refuses the change")
        << xml << Response::text("OK:") << "Connected";
    QTest::newRow("log-in failed")
        << Response::text("ERROR: authentication failed") << refused << "Failed, authentication";
    QTest::newRow("serial setting failed") << xml << refused << "Failed, serial parameters";
    QTest::newRow("no answer to the connect")
        << Response::close() << refused << "Failed, could not connect";
}

// The serial setting follows the menus whatever the state; camera commands
// only once connected: after a failed connect, keys and commands reach
// nothing and the status line shows none of them as sent.
void tst_ActiWindow::serialSettingSentWhateverTheState()
{
    QFETCH(Response, systemAnswer);
    QFETCH(Response, settingAnswer);
    QFETCH(QString, status);

    encoder->systemAnswer = systemAnswer;
    encoder->settingAnswer = settingAnswer;
    QVERIFY(connectFromTheMenu(encoder->authority));
    QCOMPARE(encoderStatus()->text(), status);
    encoder->server.clearRequests();
    const bool connected = status == QLatin1String("Connected");
    const QString before = statusLine()->text();
    QTest::keyClick(&window(), Qt::Key_End);
    QCOMPARE(window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), connected ? 1 : 0);
    QTRY_COMPARE(encoder->lines(),
                 connected
                     ? hexLines({QStringLiteral("8101043803FF"), QStringLiteral("8101041801FF"),
                                 QStringLiteral("8101040722FF")})
                     : QStringList());
    QTRY_COMPARE(encoder->server.connectionCount(), 0);
    if (connected)
        QTRY_COMPARE(statusLine()->text(), QStringLiteral("zoom,3 [8101040722FF]"));
    if (!connected)
        QCOMPARE(statusLine()->text(), before);
    encoder->server.clearRequests();
    encoder->settingAnswer = Response::text("ERROR: SERIAL_SETTING");
    const QString title = window().windowTitle();
    const QString line = statusLine()->text();
    const bool buttonEnabled = connectButton()->isEnabled();

    find<QAction>("action38400")->trigger();

    QTRY_COMPARE(encoder->lines(), QStringList{settingLine(QStringLiteral("8N1,38400"))});
    QTRY_COMPARE(encoder->server.connectionCount(), 0);
    QTest::qWait(50);
    // Whatever the encoder answers, the state stays.
    QCOMPARE(encoderStatus()->text(), status);
    QCOMPARE(window().windowTitle(), title);
    QCOMPARE(statusLine()->text(), line);
    QCOMPARE(connectButton()->isEnabled(), buttonEnabled);
    QVERIFY(find<QAction>("action38400")->isChecked());
}

void tst_ActiWindow::serialPortWinsOverTheEncoder()
{
    connectEncoder();
    // The menu keeps the two routes apart; set the flag behind its back
    // (no triggered signal, so the link keeps its address) and choose the
    // port's entry, disabled meanwhile, behind it too (Qt 6 ignores a
    // disabled action's trigger()) to have both.
    encoderEntry()->setChecked(false);
    QAction *portEntry = nullptr;
    for (QAction *entry : harness->showPortMenu()) {
        if (entry->text() == harness->portName())
            portEntry = entry;
    }
    QVERIFY(portEntry && !portEntry->isEnabled());
    emit find<QMenu>("menuPort")->triggered(portEntry);
    QVERIFY(window().windowTitle().endsWith(QStringLiteral(" - ") + harness->portName()));
    encoderEntry()->setChecked(true);

    QCOMPARE(window().sendCommand(QStringLiteral("led"), QStringLiteral("up")), 9);
    // The camera asked for its version as the port opened.
    QCOMPARE(harness->pty().read(14), QByteArray::fromHex("81090002FF8201060100010301ff"));
    QCOMPARE(window().serialSendCommand(QStringLiteral("8101040722FF")), 6);
    QCOMPARE(harness->pty().read(6), QByteArray::fromHex("8101040722FF"));
    QCOMPARE(encoder->lines(), QStringList());

    // With the port closed and the encoder chosen again, the encoder is
    // reached once it has connected again, not before.
    encoderEntry()->setChecked(false);
    harness->closePort();
    QVERIFY(harness->choosePortEntry(QStringLiteral("ACTi")));
    QCOMPARE(window().serialSendCommand(QStringLiteral("8101040722FF")), 0);
    QCOMPARE(encoder->lines(), QStringList());
    QVERIFY(clickConnect());
    encoder->server.clearRequests();
    QCOMPARE(window().serialSendCommand(QStringLiteral("8101040722FF")), 1);
    QTRY_COMPARE(encoder->lines(), hexLines({QStringLiteral("8101040722FF")}));
    QCOMPARE(harness->pty().drain(), QByteArray());
}

// An encoder that takes 150 ms for each pass-through while keys come at
// 100 a second: one request at a time, never one waiting inside another;
// the zoom's last word is its stop.
void tst_ActiWindow::slowEncoderNeverNestsRequests()
{
    connectEncoder();
    int nested = 0;
    QStringList hex;
    QObject probe;
    encoder->hexAnswer = Response::hold();
    encoder->onRequest = [&](const Request &request) {
        if (!request.hasQueryItem(QStringLiteral("SERIAL_HEX")))
            return;
        hex << request.queryValue(QStringLiteral("SERIAL_HEX"));
        nested = qMax(nested, encoder->server.heldCount());
        QTimer::singleShot(
            150, &probe, [this] { encoder->server.answerHeld(Response::text("OK: SERIAL_HEX")); });
    };
    StallWatch stalls;
    // A timer of its own for each key: a timer is not delivered again while
    // its own slot waits, keys are.
    int keys = 0;
    for (int i = 0; i < 100; ++i) {
        QTimer::singleShot(10 * i, &probe, [this, &keys, i] {
            if (i % 2 == 0)
                QTest::keyPress(&window(), Qt::Key_PageUp);
            else
                QTest::keyRelease(&window(), Qt::Key_PageUp);
            ++keys;
        });
    }
    QTRY_VERIFY_WITH_TIMEOUT(keys == 100 && encoder->server.heldCount() == 0, 10000);
    QTest::qWait(400);
    QTRY_COMPARE(encoder->server.heldCount(), 0);

    QCOMPARE(nested, 0);
    QVERIFY2(hex.size() >= 2 && hex.size() <= 20, qPrintable(hex.join(' ')));
    QCOMPARE(hex.constLast(), QStringLiteral("8101040700FF"));
    QVERIFY(stalls.longestMs() < 500);
}

// --- Leaving the route, and the window while requests wait ---------------------

void tst_ActiWindow::leavingTheRouteReturnsToIdle()
{
    connectEncoder();
    find<QPushButton>("pushButtonBrightnessWDR")->click();
    QTRY_COMPARE(encoder->lines(), hexLines({QStringLiteral("8101043D02FF")}));
    encoder->server.clearRequests();

    chooseEncoderEntry();
    verifyIdle();
    // The panel buttons are cleared without a word to the encoder.
    QVERIFY(!find<QPushButton>("pushButtonBrightnessWDR")->isChecked());
    QCOMPARE(encoder->lines(), QStringList());

    // Neither commands nor parameter changes travel now.
    QCOMPARE(window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 0);
    find<QAction>("action19200")->trigger();
    QCOMPARE(encoder->lines(), QStringList());
    QCOMPARE(statusLine()->text(), QStringLiteral("Not connected"));

    // Choosing the route again asks for a new connect.
    chooseEncoderEntry();
    QVERIFY(connectBoxShown());
    QVERIFY(connectButton()->isEnabled());
    QCOMPARE(encoderStatus()->text(), QStringLiteral("Not connected"));
    QCOMPARE(window().windowTitle(), titleBase + QStringLiteral(" - Not connected"));
    QCOMPARE(window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 0);
    QCOMPARE(encoder->lines(), QStringList());

    QVERIFY(clickConnect());
    QCOMPARE(encoder->lines(),
             (QStringList{systemLine(), settingLine(QStringLiteral("8N1,19200"))}));
    verifyConnected(encoder->authority);
}

void tst_ActiWindow::windowStaysLiveDuringARequest_data()
{
    QTest::addColumn<Response>("hexAnswer");
    // The route has not connected while the system information is awaited:
    // the command is neither sent nor shown as sent, whatever the encoder
    // would have answered it.
    QTest::newRow("command would be answered") << Response::text("OK: SERIAL_HEX");
    QTest::newRow("command would never be answered") << Response::hold();
}

void tst_ActiWindow::windowStaysLiveDuringARequest()
{
    QFETCH(Response, hexAnswer);
    Response slow = Response::xml(systemInfoXml);
    slow.delayMs = 1000;
    encoder->systemAnswer = slow;
    encoder->hexAnswer = hexAnswer;

    // A timer started while the system information is held back, and a
    // camera command sent from it.
    bool delivered = false;
    QString statusWhileHeld;
    int commandResult = -1;
    QObject probe;
    encoder->onRequest = [&](const Request &request) {
        if (request.path() != "/cgi-bin/system")
            return;
        QTimer::singleShot(0, &probe, [&] {
            delivered = true;
            statusWhileHeld = encoderStatus()->text();
            commandResult = window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3"));
        });
    };

    QVERIFY(connectFromTheMenu(encoder->authority));

    QVERIFY(delivered);
    QCOMPARE(statusWhileHeld, QStringLiteral("Connecting.."));
    QCOMPARE(commandResult, 0);
    QCOMPARE(encoder->lines(),
             (QStringList{systemLine(), settingLine(QStringLiteral("8N1,9600"))}));
    verifyConnected(encoder->authority);
}

void tst_ActiWindow::leavingTheRouteWhileConnecting_data()
{
    QTest::addColumn<QByteArray>("heldPath");
    QTest::addColumn<QByteArray>("heldItem");
    QTest::newRow("during the system information")
        << QByteArray("/cgi-bin/system") << QByteArray("SYSTEM_INFO_XML");
    QTest::newRow("during the serial setting")
        << QByteArray("/cgi-bin/ENCODER") << QByteArray("SERIAL_SETTING");
}

// The operator unchecks the ACTi entry while a connect request waits: the
// window must end without a route, not looking connected.
void tst_ActiWindow::leavingTheRouteWhileConnecting()
{
    QFETCH(QByteArray, heldPath);
    QFETCH(QByteArray, heldItem);

    Response &held = heldItem == "SYSTEM_INFO_XML" ? encoder->systemAnswer : encoder->settingAnswer;
    const Response answer = held;
    held = Response::hold();
    QObject probe;
    encoder->onRequest = [&](const Request &request) {
        if (request.path() != heldPath || !request.hasQueryItem(QString::fromLatin1(heldItem)))
            return;
        QTimer::singleShot(0, &probe, [&] {
            chooseEncoderEntry();
            encoder->server.answerHeld(answer);
        });
    };

    QVERIFY(connectFromTheMenu(encoder->authority));

    // The flow must notice that the route was left while it waited: no
    // "Connected" with an empty address behind it.
    QCOMPARE(window().windowTitle(), titleBase + QStringLiteral(" - Not connected"));
    verifyIdle();
    QCOMPARE(window().sendCommand(QStringLiteral("zoom"), QStringLiteral("3")), 0);
    QCOMPARE(encoder->lines().size(), heldItem == "SYSTEM_INFO_XML" ? 1 : 2);

    // Choosing the route again offers a fresh connect.
    chooseEncoderEntry();
    QVERIFY(connectBoxShown());
    QVERIFY(connectButton()->isEnabled());
    QCOMPARE(encoderStatus()->text(), QStringLiteral("Not connected"));
}

QTEST_MAIN(tst_ActiWindow)
#include "tst_actiwindow.moc"

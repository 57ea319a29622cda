#include "cameraeditor.h"

#include "camerarecords.h"
#include "endpoint.h"
#include "linkpool.h"
#include "camera.h"
#include "networkcameralink.h"
#include "serialprobe.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include <iterator>

namespace {

// The route box's entries, in its order.
struct RouteEntry
{
    CameraRoute route;
    ViscaIp::Protocol protocol;
};
constexpr RouteEntry routeEntries[] = {
    {CameraRoute::None, ViscaIp::Protocol::Udp},
    {CameraRoute::Serial, ViscaIp::Protocol::Udp},
    {CameraRoute::Encoder, ViscaIp::Protocol::Udp},
    {CameraRoute::Network, ViscaIp::Protocol::Udp},
    {CameraRoute::Network, ViscaIp::Protocol::Tcp},
};

int routeIndex(const CameraConfig &config)
{
    for (int i = 0; i < int(std::size(routeEntries)); ++i) {
        const RouteEntry &entry = routeEntries[i];
        if (entry.route == config.route
            && (entry.route != CameraRoute::Network || entry.protocol == config.protocol))
            return i;
    }
    return 0;
}

QString rowText(int row, const CameraConfig &config)
{
    return QString::number(row + 1) + QLatin1Char(' ') + config.shownName(row + 1) + QStringLiteral("  (")
        + config.routeWords() + QLatin1Char(')');
}

template<typename Widget>
Widget *named(Widget *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

} // namespace

CameraEditor::CameraEditor(const QList<CameraList::Entry> &entries, LinkPool &pool,
                           const QStringList &configuredPorts, QWidget *parent)
    : QDialog(parent)
    , pool(pool)
    , list(entries)
    , cameraList(named(new QListWidget, "listCameras"))
    , addButton(named(new QPushButton(QStringLiteral("Add")), "buttonAdd"))
    , removeButton(named(new QPushButton(QStringLiteral("Remove")), "buttonRemove"))
    , upButton(named(new QPushButton(QStringLiteral("Up")), "buttonUp"))
    , downButton(named(new QPushButton(QStringLiteral("Down")), "buttonDown"))
    , name(named(new QLineEdit, "lineEditName"))
    , route(named(new QComboBox, "comboRoute"))
    , serialPort(named(new QComboBox, "comboSerialPort"))
    , viscaAddress(named(new QSpinBox, "spinViscaAddress"))
    , address(named(new QLineEdit, "lineEditAddress"))
    , lamp(named(new QComboBox, "comboLamp"))
    , connectAtStart(named(new QCheckBox(QStringLiteral("Connect at start")),
                           "checkConnectAtStart"))
    , tallyLamp(named(new QCheckBox(QStringLiteral("Tally lamp lights on program")),
                      "checkTallyLamp"))
    , liveLockout(named(new QCheckBox(QStringLiteral("On program, refuse remote moves")),
                        "checkLiveLockout"))
    , testButton(named(new QPushButton(QStringLiteral("Test")), "buttonTest"))
    , numberButton(named(new QPushButton(QStringLiteral("Number the chain")), "buttonNumberChain"))
    , testResult(named(new QLabel, "labelTest"))
    , serialProbe(new SerialProbe(pool, this))
{
    setObjectName(QStringLiteral("cameraEditor"));
    setWindowTitle(QStringLiteral("Cameras"));
    setWindowModality(Qt::WindowModal);

    name->setMaxLength(CameraConfig::kMaxNameLength);
    name->setPlaceholderText(QStringLiteral("Camera N"));
    for (const RouteEntry &entry : routeEntries) {
        CameraConfig config;
        config.route = entry.route;
        config.protocol = entry.protocol;
        route->addItem(config.routeWords());
    }
    serialPort->setEditable(true);
    const QList<SerialPortEntry> ports = pool.ports(configuredPorts);
    for (const SerialPortEntry &port : ports) {
        if (!port.portName.endsWith(serialPortMissingSuffix))
            serialPort->addItem(port.systemLocation);
    }
    viscaAddress->setRange(1, 7);
    address->setPlaceholderText(QStringLiteral("192.168.0.90 or 192.168.0.90:52381"));
    lamp->addItem(QStringLiteral("none"));
    for (int n = 1; n <= 7; ++n)
        lamp->addItem(QString::number(n));
    testResult->setWordWrap(true);

    auto *buttons = new QHBoxLayout;
    for (QPushButton *button : {addButton, removeButton, upButton, downButton})
        buttons->addWidget(button);
    auto *left = new QVBoxLayout;
    left->addWidget(cameraList);
    left->addLayout(buttons);

    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Name:"), name);
    form->addRow(QStringLiteral("Route:"), route);
    form->addRow(QStringLiteral("Serial port:"), serialPort);
    form->addRow(QStringLiteral("VISCA address:"), viscaAddress);
    form->addRow(QStringLiteral("Address:"), address);
    form->addRow(QStringLiteral("Lamp address:"), lamp);
    form->addRow(QString(), connectAtStart);
    form->addRow(QString(), tallyLamp);
    form->addRow(QString(), liveLockout);
    auto *testRow = new QHBoxLayout;
    testRow->addWidget(testButton);
    testRow->addWidget(numberButton);
    testRow->addWidget(testResult, 1);
    form->addRow(QString(), testRow);

    auto *top = new QHBoxLayout;
    top->addLayout(left, 1);
    top->addLayout(form, 2);
    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel);
    auto *all = new QVBoxLayout(this);
    all->addLayout(top);
    all->addWidget(box);

    connect(box, &QDialogButtonBox::accepted, this, [this] {
        keepEntry();
        accept();
    });
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(cameraList, &QListWidget::currentRowChanged, this, [this](int row) {
        keepEntry();
        showEntry(row);
    });
    connect(addButton, &QPushButton::clicked, this, &CameraEditor::add);
    connect(removeButton, &QPushButton::clicked, this, &CameraEditor::remove);
    connect(upButton, &QPushButton::clicked, this, [this] { move(-1); });
    connect(downButton, &QPushButton::clicked, this, [this] { move(+1); });
    connect(route, QOverload<int>::of(&QComboBox::currentIndexChanged), this,
            [this] { showRouteFields(true); });
    connect(name, &QLineEdit::textEdited, this, [this] {
        keepEntry();
        if (QListWidgetItem *item = cameraList->item(shown))
            item->setText(rowText(shown, list.at(shown).config));
    });
    connect(testButton, &QPushButton::clicked, this, &CameraEditor::test);
    connect(numberButton, &QPushButton::clicked, this, &CameraEditor::numberChain);
    connect(serialProbe, &SerialProbe::finished, this, &CameraEditor::endTest);

    showList();
    cameraList->setCurrentRow(0);
}

CameraEditor::~CameraEditor()
{
    if (probe)
        pool.release(probe);
}

QList<CameraList::Entry> CameraEditor::entries()
{
    keepEntry();
    return list;
}

void CameraEditor::showList()
{
    const QSignalBlocker quiet(cameraList);
    cameraList->clear();
    for (int row = 0; row < list.size(); ++row)
        cameraList->addItem(rowText(row, list.at(row).config));
    addButton->setEnabled(list.size() < CameraRecords::kMaxCameras);
    removeButton->setEnabled(list.size() > 1);
}

void CameraEditor::showEntry(int row)
{
    shown = row;
    upButton->setEnabled(row > 0);
    downButton->setEnabled(row >= 0 && row < list.size() - 1);
    if (row < 0 || row >= list.size())
        return;
    const CameraConfig &config = list.at(row).config;
    name->setText(config.name);
    {
        const QSignalBlocker quiet(route);
        route->setCurrentIndex(routeIndex(config));
    }
    shownRoute = route->currentIndex();
    serialPort->setCurrentText(config.serialPort);
    viscaAddress->setValue(config.viscaAddress);
    address->setText(config.routeAddress());
    lamp->setCurrentIndex(config.lampAddress);
    connectAtStart->setChecked(config.connectAtStart);
    tallyLamp->setChecked(config.tallyLamp);
    liveLockout->setChecked(config.liveLockout);
    testResult->clear();
    showRouteFields(false);
}

CameraConfig CameraEditor::chosenRoute() const
{
    CameraConfig config;
    const RouteEntry &entry = routeEntries[qBound(0, route->currentIndex(),
                                                  int(std::size(routeEntries)) - 1)];
    config.route = entry.route;
    config.protocol = entry.protocol;
    return config;
}

void CameraEditor::keepEntry()
{
    if (shown < 0 || shown >= list.size())
        return;
    CameraConfig &config = list[shown].config;
    const CameraConfig chosen = chosenRoute();
    config.name = name->text();
    config.route = chosen.route;
    if (chosen.route == CameraRoute::Network)
        config.protocol = chosen.protocol;
    config.serialPort = serialPort->currentText().trimmed();
    config.viscaAddress = viscaAddress->value();
    if (chosen.route == CameraRoute::Encoder)
        config.encoderAddress = address->text().trimmed();
    else if (chosen.route == CameraRoute::Network)
        config.networkAddress = address->text().trimmed();
    config.lampAddress = lamp->currentIndex();
    config.connectAtStart = connectAtStart->isChecked();
    config.tallyLamp = tallyLamp->isChecked();
    config.liveLockout = liveLockout->isChecked();
}

void CameraEditor::showRouteFields(bool routeChanged)
{
    const CameraConfig chosen = chosenRoute();
    if (routeChanged && shown >= 0 && shown < list.size()) {
        CameraConfig &config = list[shown].config;
        const CameraRoute left = routeEntries[shownRoute].route;
        if (left == CameraRoute::Encoder)
            config.encoderAddress = address->text().trimmed();
        else if (left == CameraRoute::Network)
            config.networkAddress = address->text().trimmed();
        address->setText(chosen.route == CameraRoute::Encoder ? config.encoderAddress
                                                              : config.networkAddress);
    }
    shownRoute = route->currentIndex();
    const bool serial = chosen.route == CameraRoute::Serial;
    const bool encoder = chosen.route == CameraRoute::Encoder;
    const bool network = chosen.route == CameraRoute::Network;
    serialPort->setEnabled(serial);
    viscaAddress->setEnabled(serial || encoder);
    address->setEnabled(encoder || network);
    lamp->setEnabled(serial || encoder);
    connectAtStart->setEnabled(chosen.route != CameraRoute::None);
    const bool idle = !probe && !serialProbe->isRunning();
    testButton->setEnabled((network || serial) && idle);
    numberButton->setEnabled(serial && idle);
    if (QListWidgetItem *item = cameraList->item(shown)) {
        CameraConfig config = shown < list.size() ? list.at(shown).config : CameraConfig();
        config.route = chosen.route;
        config.protocol = chosen.protocol;
        item->setText(rowText(shown, config));
    }
}

void CameraEditor::add()
{
    if (list.size() >= CameraRecords::kMaxCameras)
        return;
    keepEntry();
    list.append({nullptr, CameraConfig()});
    showList();
    cameraList->setCurrentRow(int(list.size()) - 1);
    name->setFocus();
}

void CameraEditor::remove()
{
    if (list.size() < 2 || shown < 0)
        return;
    const int row = shown;
    list.removeAt(row);
    shown = -1;
    showList();
    cameraList->setCurrentRow(qMin(row, int(list.size()) - 1));
}

void CameraEditor::move(int step)
{
    const int to = shown + step;
    if (shown < 0 || to < 0 || to >= list.size())
        return;
    keepEntry();
    list.swapItemsAt(shown, to);
    shown = -1;
    showList();
    cameraList->setCurrentRow(to);
}

// The version inquiry, as a connect sends it, on a link of its own through
// the pool (a camera that answers only to the shared local port answers it
// too); the answer's model, or why none came.
void CameraEditor::test()
{
    keepEntry();
    const CameraConfig chosen = chosenRoute();
    if (chosen.route == CameraRoute::Serial) {
        testSerial();
        return;
    }
    if (chosen.route != CameraRoute::Network)
        return;
    QHostAddress host;
    quint16 port = 0;
    if (!Endpoint::parse(address->text(), &host, &port, ViscaIp::defaultPort(chosen.protocol))) {
        endTest(QStringLiteral("Failed: not an IP address"));
        return;
    }
    probe = pool.networkCamera(this);
    connect(probe, &NetworkCameraLink::connected, this,
            [this](const QString &model) { endTest(QStringLiteral("Answers: model ") + model); });
    connect(probe, &NetworkCameraLink::connectFailed, this,
            [this](const QString &reason) { endTest(QStringLiteral("Failed: ") + reason); });
    testResult->setText(QStringLiteral("Testing.."));
    testButton->setEnabled(false);
    probe->connectTo(host, port, chosen.protocol);
}

void CameraEditor::endTest(const QString &result)
{
    testResult->setText(result);
    if (probe) {
        NetworkCameraLink *done = probe;
        probe = nullptr;
        pool.release(done);
    }
    showRouteFields(false);
}

QString CameraEditor::chosenSerialPath() const
{
    const QString named = serialPort->currentText().trimmed();
#ifdef Q_OS_UNIX
    if (!named.isEmpty() && !named.startsWith(QLatin1Char('/')))
        return QStringLiteral("/dev/") + named;
#endif
    return named;
}

SerialSettings CameraEditor::shownSerialSettings() const
{
    const Camera *camera = shown >= 0 && shown < list.size() ? list.at(shown).camera : nullptr;
    return camera ? camera->serialSettings() : SerialSettings();
}

// The port a serial question goes to, the dialog showing that it waits;
// empty, and said, when no port is chosen.
QString CameraEditor::serialQuestionPath(const QString &waiting)
{
    const QString path = chosenSerialPath();
    if (path.isEmpty()) {
        endTest(SerialProbe::failedWords(QStringLiteral("no serial port chosen")));
        return path;
    }
    testResult->setText(waiting);
    testButton->setEnabled(false);
    numberButton->setEnabled(false);
    return path;
}

// The version inquiry to the camera's address on its port: the model, a
// line that answers nothing, or why the port did not open.
void CameraEditor::testSerial()
{
    const QString path = serialQuestionPath(QStringLiteral("Testing.."));
    if (!path.isEmpty())
        serialProbe->testCamera(path, viscaAddress->value(), shownSerialSettings());
}

void CameraEditor::numberChain()
{
    keepEntry();
    const QString path = serialQuestionPath(QStringLiteral("Numbering.."));
    if (!path.isEmpty())
        serialProbe->numberChain(path, shownSerialSettings());
}

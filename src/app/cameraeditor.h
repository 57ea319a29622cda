// The camera editor (Options → Cameras…): the list of cameras with their
// names, routes and the routes' parameters. Add, remove, rename, move up and
// down; "Test" sends the version inquiry and shows the model, or why it
// failed (a serial camera's line may answer nothing: "sending only"); for a
// serial camera "Number the chain" numbers the cameras on its port and shows
// how many answered. It edits a copy: the window takes the list on OK
// (entries()), and nothing changes on Cancel.
//
// Object names for those who drive it (tests): listCameras, buttonAdd,
// buttonRemove, buttonUp, buttonDown, lineEditName, comboRoute,
// comboSerialPort, spinViscaAddress, lineEditAddress, comboLamp,
// checkConnectAtStart, buttonTest, buttonNumberChain, labelTest.
#pragma once

#include "cameralist.h"
#include "serialsettings.h"

#include <QDialog>
#include <QPointer>

class LinkPool;
class NetworkCameraLink;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QSpinBox;
class SerialProbe;

class CameraEditor : public QDialog
{
    Q_OBJECT

public:
    // `configuredPorts`: the settings' serialPorts, listed after the ports
    // the system reports.
    CameraEditor(const QList<CameraList::Entry> &entries, LinkPool &pool,
                 const QStringList &configuredPorts, QWidget *parent = nullptr);
    ~CameraEditor() override;

    // The list as the operator left it, in its order.
    QList<CameraList::Entry> entries();

private:
    void showList();
    void showEntry(int row);
    void keepEntry();
    // The fields the chosen route uses; `routeChanged`: the address typed
    // for the route left is kept, the new route's shown.
    void showRouteFields(bool routeChanged);
    void add();
    void remove();
    void move(int step);
    void test();
    void testSerial();
    void numberChain();
    // The port the serial port field names ("ttyUSB0" stands for
    // /dev/ttyUSB0), and the parameters of the camera shown.
    QString chosenSerialPath() const;
    SerialSettings shownSerialSettings() const;
    QString serialQuestionPath(const QString &waiting);
    void endTest(const QString &result);
    // The route box's entry: the set-up's route and, for a network camera,
    // its protocol.
    CameraConfig chosenRoute() const;

    LinkPool &pool;
    QList<CameraList::Entry> list;
    int shown = -1;      // the row the fields show
    int shownRoute = 0;  // the route box's entry the address field is for

    QListWidget *cameraList;
    QPushButton *addButton;
    QPushButton *removeButton;
    QPushButton *upButton;
    QPushButton *downButton;
    QLineEdit *name;
    QComboBox *route;
    QComboBox *serialPort;
    QSpinBox *viscaAddress;
    QLineEdit *address;
    QComboBox *lamp;
    QCheckBox *connectAtStart;
    QCheckBox *tallyLamp;
    QCheckBox *liveLockout;
    QPushButton *testButton;
    QPushButton *numberButton;
    QLabel *testResult;
    QPointer<NetworkCameraLink> probe;
    SerialProbe *serialProbe;
};

// The camera editor (Options → Cameras…): the list of cameras with their
// names, routes and the routes' parameters. Add, remove, rename, move up and
// down; for a network camera "Test" sends the version inquiry and shows the
// model, or why it failed. It edits a copy: the window takes the list on OK
// (entries()), and nothing changes on Cancel.
//
// Object names for those who drive it (tests): listCameras, buttonAdd,
// buttonRemove, buttonUp, buttonDown, lineEditName, comboRoute,
// comboSerialPort, spinViscaAddress, lineEditAddress, comboLamp,
// checkConnectAtStart, buttonTest, labelTest.
#pragma once

#include "cameralist.h"

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
    QLabel *testResult;
    QPointer<NetworkCameraLink> probe;
};

// The simulator's window: the camera view, the state values beside it and
// the log of decoded packets below.
#pragma once

#include <QMap>
#include <QWidget>

class CameraView;
class QLabel;
class QPlainTextEdit;
class Simulator;

class SimWindow : public QWidget
{
    Q_OBJECT

public:
    // links: one line per way in ("encoder http://127.0.0.1:8080", ...).
    SimWindow(Simulator *simulator, const QStringList &links, QWidget *parent = nullptr);

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    void refresh();

    Simulator *sim;
    CameraView *view;
    QMap<QString, QLabel *> values; // by state key
    QLabel *encoderSerial;
    QPlainTextEdit *logView;
};

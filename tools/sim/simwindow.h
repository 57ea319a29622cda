// The simulator's window: each camera's view (small and side by side when
// there are several, the one that moved last framed), the state values of
// the camera that moved last beside them, and the log of decoded packets
// below.
#pragma once

#include <QMap>
#include <QVector>
#include <QWidget>

class CameraView;
class QFrame;
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

    // One camera's place in the window.
    struct Tile
    {
        QFrame *frame = nullptr;
        CameraView *view = nullptr;
        QLabel *caption = nullptr;
        QString name;
    };

    Simulator *sim;
    QVector<Tile> tiles;
    QLabel *shownCamera;            // whose values the form shows
    QMap<QString, QLabel *> values; // by state key
    QLabel *encoderSerial;
    QPlainTextEdit *logView;
    int framed = 0; // the camera framed as the one that moved last
};

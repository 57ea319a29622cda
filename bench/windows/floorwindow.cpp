// The floor the panel's window is measured against: a bare QMainWindow with
// the panel's style sheet and nothing else. With --serial PATH it opens that
// line as a QSerialPort and writes the packets of the panel's zoom key:
// Page Up pressed, zoom tele at speed 2; released, zoom stop.
//
//   floorwindow [--serial PATH]
//
// It prints "ready" on standard output once the window is shown (and the
// line open).
#include "panelstylesheet.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMainWindow>
#include <QSerialPort>

#include <cstdio>

namespace {

class FloorWindow : public QMainWindow
{
public:
    explicit FloorWindow(QSerialPort *line)
        : line(line)
    {
        setObjectName(QStringLiteral("tarnDeckClass"));
        setStyleSheet(QString::fromUtf8(panelStyleSheet));
        setWindowTitle(QStringLiteral("floor"));
        resize(390, 340);
    }

protected:
    void keyPressEvent(QKeyEvent *event) override
    {
        if (line && event->key() == Qt::Key_PageUp && !event->isAutoRepeat())
            line->write(QByteArray::fromHex("8101040722FF"));
    }
    void keyReleaseEvent(QKeyEvent *event) override
    {
        if (line && event->key() == Qt::Key_PageUp && !event->isAutoRepeat())
            line->write(QByteArray::fromHex("8101040700FF"));
    }

private:
    QSerialPort *line;
};

} // namespace

int main(int argc, char *argv[])
{
#if QT_VERSION < QT_VERSION_CHECK(6, 0, 0) // Qt 6 scales always
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
#endif
    QApplication app(argc, argv);

    QSerialPort port;
    const QStringList arguments = QCoreApplication::arguments();
    const int serial = arguments.indexOf(QStringLiteral("--serial"));
    if (serial > 0 && serial + 1 < arguments.size()) {
        port.setPortName(arguments.at(serial + 1));
        if (!port.open(QIODevice::ReadWrite)) {
            std::fprintf(stderr, "floorwindow: cannot open %s\n",
                         qPrintable(arguments.at(serial + 1)));
            return 1;
        }
    }

    FloorWindow window(port.isOpen() ? &port : nullptr);
    window.show();
    std::printf("ready\n");
    std::fflush(stdout);
    return app.exec();
}

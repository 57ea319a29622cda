// The simulator's serial side: VISCA bytes read from a serial device, or
// from a new pseudo-terminal whose other side the panel opens as its port,
// and the cameras' answers written back (unless the simulator keeps the
// line write-only, as an installation that wires the transmit line alone).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

class QSocketNotifier;

class SerialLine : public QObject
{
    Q_OBJECT

public:
    explicit SerialLine(QObject *parent = nullptr);
    ~SerialLine() override;

    // Opens a serial device (or a pseudo-terminal's slave side) at the
    // camera's line settings: 9600 baud, 8N1, no flow control, raw.
    bool openDevice(const QString &device, QString *error);
    // Creates a pseudo-terminal pair; path() is the side to give the panel.
    bool openPty(QString *error);
    void close();

    bool isOpen() const { return readFd >= 0; }
    // Sends bytes towards the far side without waiting. Bytes nobody reads
    // fill the line's buffer; what does not fit then is lost, as on a wire
    // nobody listens to: false, and *error says how much.
    bool write(const QByteArray &bytes, QString *error);
    QString path() const { return devicePath; }

signals:
    void received(const QByteArray &bytes);
    // The far end went away (adapter unplugged, other side closed).
    void closed(const QString &why);

private:
    void readAvailable();
    void start(int fd);

    int readFd = -1;
    int holdFd = -1; // pseudo-terminal: the panel's side, held open so the line stays up
    QSocketNotifier *notifier = nullptr;
    QString devicePath;
};

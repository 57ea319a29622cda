// The simulator without its window: the camera model, the encoder in front
// of it on a loopback HTTP port, the serial side, the network cameras, and
// the model clock.
//
// Besides the encoder's CGI the HTTP port answers two paths of its own:
//   /sim/state             camera 1's state as one JSON object (the keys of the
//                          state line, and the encoder's serial setting)
//   /sim/state?camera=N    camera N's
//   /sim/log               the recent log lines, as plain text
// The cameras on the serial line answer on it (unless it is kept write-only);
// the encoder has no way back. Network camera k answers on its own UDP and
// TCP ports (see ViscaIpFront); camera 1 is also network camera 1.
#pragma once

#include "encoderfront.h"
#include "loophttpserver.h"
#include "serialline.h"
#include "viscaipframing.h"
#include "viscaipfront.h"
#include "viscamodel.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QObject>
#include <QStringList>
#include <QTimer>

#include <memory>
#include <vector>

Q_DECLARE_LOGGING_CATEGORY(lcSim)

class Simulator : public QObject
{
    Q_OBJECT

public:
    // What the camera's serial input is set to; bytes sent at any other
    // setting reach it as noise.
    static const char *const kCameraLineSetting;

    explicit Simulator(QObject *parent = nullptr);
    explicit Simulator(const ViscaModel::Config &config, QObject *parent = nullptr);
    ~Simulator() override;

    // Loopback addresses only; port 0 picks a free one.
    bool listen(const QHostAddress &address, quint16 port);
    QString encoderAuthority() const { return server.authority(); } // "127.0.0.1:port"
    // Every network camera on the protocol, on consecutive ports from `port`
    // (0: from a free one). False, and *error says why, when they cannot be.
    bool listenNetwork(ViscaIp::Protocol protocol, const QHostAddress &address, quint16 port,
                       QString *error);

    EncoderFront &encoder() { return front; }
    SerialLine &serial() { return line; }
    // Network camera k (1..).
    ViscaIpFront &network(int k = 1) { return *networkFronts.at(size_t(k - 1)); }
    int networkCameras() const { return int(networkFronts.size()); }
    // False: the serial line stays write-only, the cameras' answers are not sent.
    void setSerialAnswers(bool on) { serialAnswers = on; }

    // Bytes arriving at the cameras' serial input.
    void receive(const QByteArray &bytes);
    // One whole packet for network camera k; what the model made of it.
    QList<ViscaModel::Packet> receivePacket(const QByteArray &packet, int k = 1);
    // Brings drives and the lamp up to the wall clock, and sends the answers
    // that fell due on the way.
    void catchUp();
    // Every serial camera that is on says it came up (y0 38 FF on the serial
    // line), as the cameras of a chain do when it is switched on.
    void announcePowerUp();
    // A camera's state as of now.
    ViscaModel::State state(int camera = 1);
    int cameras() const { return model.cameras(); }
    int lastMoved() const { return model.lastMoved(); }
    const ViscaModel::Config &config() const { return model.config(); }
    bool moving() const { return model.moving(); }
    QStringList recentLog() const { return history; }
    // How many encoder requests it remembers, at most kRequestHistory.
    static constexpr int kRequestHistory = 200;
    int requestsKept() const { return server.requests().size(); }

signals:
    // Every packet but the inquiries (which change nothing).
    void packetDecoded(const ViscaModel::Packet &packet);
    void logged(const QString &line);

private:
    LoopHttpServer::Response answer(const LoopHttpServer::Request &request);
    void log(const QString &line);
    void report(const QList<ViscaModel::Packet> &packets);
    void sendSerial(const QByteArray &bytes);
    void deliverAnswers();
    void scheduleAnswers();
    QByteArray stateJson(int camera);

    ViscaModel model;
    EncoderFront front;
    LoopHttpServer server;
    SerialLine line;
    std::vector<std::unique_ptr<ViscaIpFront>> networkFronts;
    QElapsedTimer clock;
    qint64 clockMs = 0; // wall time the model has been brought up to
    QTimer answerTimer; // wakes the model when a later answer falls due
    bool serialAnswers = true;
    QString serialTrouble; // the last write failure, said once
    QStringList history;
};

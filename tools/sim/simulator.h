// The simulator without its window: the camera model, the encoder in front
// of it on a loopback HTTP port, the serial side, and the model clock.
//
// Besides the encoder's CGI the HTTP port answers two paths of its own:
//   /sim/state  the model state as one JSON object (the keys of the state line)
//   /sim/log    the recent log lines, as plain text
// The camera can also be reached as a network camera (VISCA over UDP or
// TCP, see ViscaIpFront).
#pragma once

#include "encoderfront.h"
#include "loophttpserver.h"
#include "serialline.h"
#include "viscaipfront.h"
#include "viscamodel.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QLoggingCategory>
#include <QObject>
#include <QStringList>

Q_DECLARE_LOGGING_CATEGORY(lcSim)

class Simulator : public QObject
{
    Q_OBJECT

public:
    // What the camera's serial input is set to; bytes sent at any other
    // setting reach it as noise.
    static const char *const kCameraLineSetting;

    explicit Simulator(QObject *parent = nullptr);

    // Loopback addresses only; port 0 picks a free one.
    bool listen(const QHostAddress &address, quint16 port);
    QString encoderAuthority() const { return server.authority(); } // "127.0.0.1:port"

    EncoderFront &encoder() { return front; }
    SerialLine &serial() { return line; }
    ViscaIpFront &network() { return networkFront; }

    // Bytes arriving at the camera's serial input.
    void receive(const QByteArray &bytes);
    // One whole packet from the network side; what the model made of it.
    QList<ViscaModel::Packet> receivePacket(const QByteArray &packet);
    // Brings drives and the lamp up to the wall clock.
    void catchUp();
    // The state as of now.
    ViscaModel::State state();
    bool moving() const { return model.moving(); }
    QStringList recentLog() const { return history; }
    // How many encoder requests it remembers, at most kRequestHistory.
    static constexpr int kRequestHistory = 200;
    int requestsKept() const { return server.requests().size(); }

signals:
    void packetDecoded(const ViscaModel::Packet &packet);
    void logged(const QString &line);

private:
    LoopHttpServer::Response answer(const LoopHttpServer::Request &request);
    void log(const QString &line);
    QByteArray stateJson();

    ViscaModel model;
    EncoderFront front;
    LoopHttpServer server;
    SerialLine line;
    ViscaIpFront networkFront;
    QElapsedTimer clock;
    qint64 clockMs = 0; // wall time the model has been brought up to
    QStringList history;
};

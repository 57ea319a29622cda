#include "simulator.h"

#include <QJsonDocument>
#include <QJsonObject>

Q_LOGGING_CATEGORY(lcSim, "tarndeck.sim", QtInfoMsg)

const char *const Simulator::kCameraLineSetting = "8N1,9600";

namespace {
const int kHistoryLines = 1000;
}

Simulator::Simulator(QObject *parent)
    : QObject(parent)
    , front(
          [this](const QByteArray &bytes) {
              const QString setting = front.serialSetting();
              if (setting == QLatin1String(kCameraLineSetting)) {
                  receive(bytes);
                  return;
              }
              log(QStringLiteral("encoder: %1 bytes sent at %2, the camera listens at %3: they "
                                 "arrive as noise")
                      .arg(bytes.size())
                      .arg(setting, QLatin1String(kCameraLineSetting)));
          },
          [this](const QString &text) { log(text); })
    , networkFront([this](const QByteArray &packet) { return receivePacket(packet); },
                   [this](const QString &text) { log(text); })
{
    qRegisterMetaType<ViscaModel::Packet>();
    clock.start();
    server.setHandler([this](const LoopHttpServer::Request &request) { return answer(request); });
    // It runs for days behind a panel: only the latest requests are kept.
    server.setHistoryLimit(kRequestHistory);
    connect(&line, &SerialLine::received, this, &Simulator::receive);
    connect(&line, &SerialLine::closed, this, [this](const QString &why) {
        log(QStringLiteral("serial: %1 closed (%2)").arg(line.path(), why));
        catchUp();
        for (const ViscaModel::Packet &packet : model.flush()) {
            log(packet.logLine);
            emit packetDecoded(packet);
        }
    });
}

bool Simulator::listen(const QHostAddress &address, quint16 port)
{
    return server.listen(address, port);
}

void Simulator::catchUp()
{
    const qint64 now = clock.elapsed();
    model.tick(now - clockMs);
    clockMs = now;
}

ViscaModel::State Simulator::state()
{
    catchUp();
    return model.state();
}

void Simulator::receive(const QByteArray &bytes)
{
    catchUp();
    for (const ViscaModel::Packet &packet : model.feed(bytes)) {
        log(packet.logLine);
        emit packetDecoded(packet);
    }
}

QList<ViscaModel::Packet> Simulator::receivePacket(const QByteArray &packet)
{
    catchUp();
    QList<ViscaModel::Packet> packets = model.feed(packet);
    // A packet without its terminator ends with its datagram.
    if (!packet.endsWith(char(0xFF)))
        packets += model.flush();
    for (const ViscaModel::Packet &decoded : qAsConst(packets)) {
        log(decoded.logLine);
        emit packetDecoded(decoded);
    }
    return packets;
}

void Simulator::log(const QString &line)
{
    qCInfo(lcSim).noquote() << line;
    history << line;
    if (history.size() > kHistoryLines)
        history.removeFirst();
    emit logged(line);
}

QByteArray Simulator::stateJson()
{
    QJsonObject object;
    for (const auto &pair : ViscaModel::stateValues(state()))
        object.insert(pair.first, QJsonValue::fromVariant(pair.second));
    object.insert(QStringLiteral("encoderSerial"), front.serialSetting());
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

LoopHttpServer::Response Simulator::answer(const LoopHttpServer::Request &request)
{
    const QByteArray path = request.path();
    if (path == "/sim/state") {
        LoopHttpServer::Response response = LoopHttpServer::Response::text(stateJson());
        response.contentType = "application/json";
        return response;
    }
    if (path == "/sim/log")
        return LoopHttpServer::Response::text(history.join(QLatin1Char('\n')).toUtf8() + '\n');
    if (path.startsWith("/cgi-bin/"))
        return front.answer(request);
    return LoopHttpServer::Response::text("not found\n", 404);
}

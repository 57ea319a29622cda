#include "simulator.h"

#include <QJsonDocument>
#include <QJsonObject>

Q_LOGGING_CATEGORY(lcSim, "tarndeck.sim", QtInfoMsg)

const char *const Simulator::kCameraLineSetting = "8N1,9600";

namespace {
const int kHistoryLines = 1000;
// Tries at binding consecutive free ports before giving up.
const int kPortRuns = 20;
} // namespace

Simulator::Simulator(QObject *parent)
    : Simulator(ViscaModel::Config(), parent)
{
}

Simulator::Simulator(const ViscaModel::Config &config, QObject *parent)
    : QObject(parent)
    , model(config)
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
{
    qRegisterMetaType<ViscaModel::Packet>();
    clock.start();
    for (int k = 1; k <= model.config().networkCameras; ++k) {
        networkFronts.push_back(std::make_unique<ViscaIpFront>(
            [this, k](const QByteArray &packet) { return receivePacket(packet, k); },
            [this, k](const QString &text) {
                log(model.config().networkCameras > 1 ? QStringLiteral("[%1] ").arg(k) + text
                                                      : text);
            }));
    }
    answerTimer.setSingleShot(true);
    connect(&answerTimer, &QTimer::timeout, this, &Simulator::catchUp);
    server.setHandler([this](const LoopHttpServer::Request &request) { return answer(request); });
    // It runs for days behind a panel: only the latest requests are kept.
    server.setHistoryLimit(kRequestHistory);
    connect(&line, &SerialLine::received, this, &Simulator::receive);
    connect(&line, &SerialLine::closed, this, [this](const QString &why) {
        log(QStringLiteral("serial: %1 closed (%2)").arg(line.path(), why));
        catchUp();
        report(model.flush());
    });
}

Simulator::~Simulator() = default;

bool Simulator::listen(const QHostAddress &address, quint16 port)
{
    return server.listen(address, port);
}

bool Simulator::listenNetwork(ViscaIp::Protocol protocol, const QHostAddress &address, quint16 port,
                              QString *error)
{
    const bool udp = protocol == ViscaIp::Protocol::Udp;
    const auto bind = [udp, &address](ViscaIpFront &camera, quint16 at) {
        return udp ? camera.listenUdp(address, at) : camera.listenTcp(address, at);
    };
    const auto unbind = [udp](ViscaIpFront &camera) {
        if (udp)
            camera.closeUdp();
        else
            camera.closeTcp();
    };
    const int count = networkCameras();
    for (int run = 0; run < (port == 0 ? kPortRuns : 1); ++run) {
        ViscaIpFront &first = network(1);
        if (!bind(first, port))
            break;
        const quint16 base = udp ? first.udpPort() : first.tcpPort();
        int bound = 1;
        while (bound < count && base + bound <= 65535
               && bind(network(bound + 1), quint16(base + bound)))
            ++bound;
        if (bound == count)
            return true;
        for (int k = 1; k <= bound; ++k)
            unbind(network(k));
    }
    *error = count == 1
        ? QStringLiteral("cannot listen on %1 port %2").arg(address.toString()).arg(port)
        : QStringLiteral("cannot listen on %1 consecutive ports from %2 port %3")
              .arg(count)
              .arg(address.toString())
              .arg(port);
    return false;
}

void Simulator::catchUp()
{
    const qint64 now = clock.elapsed();
    model.tick(now - clockMs);
    clockMs = now;
    deliverAnswers();
    scheduleAnswers();
}

void Simulator::announcePowerUp()
{
    catchUp();
    model.announcePowerUp();
    deliverAnswers();
}

ViscaModel::State Simulator::state(int camera)
{
    catchUp();
    return model.state(camera);
}

void Simulator::receive(const QByteArray &bytes)
{
    catchUp();
    const QList<ViscaModel::Packet> packets = model.feed(bytes);
    // On the wire before anyone hears of the packet.
    for (const ViscaModel::Packet &packet : packets) {
        for (const QByteArray &reply : packet.replies)
            sendSerial(reply);
    }
    report(packets);
    deliverAnswers();
    scheduleAnswers();
}

QList<ViscaModel::Packet> Simulator::receivePacket(const QByteArray &packet, int k)
{
    catchUp();
    const QList<ViscaModel::Packet> packets = model.receiveNetwork(k, packet);
    report(packets);
    // The packet's own answers go first; what it ended comes after them.
    QTimer::singleShot(0, this, [this] {
        deliverAnswers();
        scheduleAnswers();
    });
    return packets;
}

void Simulator::report(const QList<ViscaModel::Packet> &packets)
{
    for (const ViscaModel::Packet &packet : packets) {
        log(packet.logLine);
        if (packet.kind != ViscaModel::Packet::Kind::Inquiry)
            emit packetDecoded(packet);
    }
}

void Simulator::sendSerial(const QByteArray &bytes)
{
    if (!serialAnswers || !line.isOpen())
        return;
    QString trouble;
    if (line.write(bytes, &trouble)) {
        serialTrouble.clear();
        return;
    }
    // Said once until the line takes answers again.
    if (trouble != serialTrouble)
        log(QStringLiteral("serial: answer %1 not sent (%2)")
                .arg(ViscaModel::hexBytes(bytes), trouble));
    serialTrouble = trouble;
}

void Simulator::deliverAnswers()
{
    for (const ViscaModel::Answer &answer : model.takeAnswers()) {
        const ViscaModel::State camera = model.state(answer.camera);
        const bool overNetwork = answer.route == ViscaModel::Route::Network;
        log(QStringLiteral("%1 s camera %2 later answers %3 on the %4")
                .arg(camera.timeMs / 1000.0, 9, 'f', 3)
                .arg(answer.camera)
                .arg(ViscaModel::hexBytes(answer.bytes),
                     overNetwork ? QStringLiteral("network") : QStringLiteral("serial line")));
        if (overNetwork)
            network(camera.networkPort).sendLater(answer.bytes);
        else
            sendSerial(answer.bytes);
    }
}

void Simulator::scheduleAnswers()
{
    const qint64 due = model.msUntilAnswer();
    if (due < 0) {
        answerTimer.stop();
        return;
    }
    // A millisecond late rather than early: the answer is due by then.
    answerTimer.start(int(qMin<qint64>(due + 1, ViscaModel::kMaxWakeMs + 1)));
}

void Simulator::log(const QString &line)
{
    qCInfo(lcSim).noquote() << line;
    history << line;
    if (history.size() > kHistoryLines)
        history.removeFirst();
    emit logged(line);
}

QByteArray Simulator::stateJson(int camera)
{
    QJsonObject object;
    for (const auto &pair : ViscaModel::stateValues(state(camera)))
        object.insert(pair.first, QJsonValue::fromVariant(pair.second));
    object.insert(QStringLiteral("camera"), camera);
    object.insert(QStringLiteral("cameras"), model.cameras());
    object.insert(QStringLiteral("lastMoved"), model.lastMoved());
    object.insert(QStringLiteral("encoderSerial"), front.serialSetting());
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

LoopHttpServer::Response Simulator::answer(const LoopHttpServer::Request &request)
{
    const QByteArray path = request.path();
    if (path == "/sim/state") {
        const QString asked = request.queryValue(QStringLiteral("camera"));
        bool ok = true;
        const int camera = asked.isNull() ? 1 : asked.toInt(&ok);
        if (!ok || camera < 1 || camera > model.cameras())
            return LoopHttpServer::Response::text(
                QStringLiteral("no camera '%1': cameras are 1..%2\n")
                    .arg(asked)
                    .arg(model.cameras())
                    .toUtf8(),
                404);
        LoopHttpServer::Response response = LoopHttpServer::Response::text(stateJson(camera));
        response.contentType = "application/json";
        return response;
    }
    if (path == "/sim/log")
        return LoopHttpServer::Response::text(history.join(QLatin1Char('\n')).toUtf8() + '\n');
    if (path.startsWith("/cgi-bin/"))
        return front.answer(request);
    return LoopHttpServer::Response::text("not found\n", 404);
}

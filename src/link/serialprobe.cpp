#include "serialprobe.h"

#include "linkpool.h"
#include "logcategories.h"
#include "serialbus.h"
#include "viscaipframing.h"

SerialProbe::SerialProbe(LinkPool &pool, QObject *parent)
    : QObject(parent)
    , pool(pool)
{
    wait.setSingleShot(true);
    wait.setInterval(kWaitMs);
    connect(&wait, &QTimer::timeout, this, [this] { finish(silence); });
}

SerialProbe::~SerialProbe()
{
    if (bus) {
        bus->dropWaiting(this);
        bus->disconnect(this);
        pool.release(bus);
    }
}

QString SerialProbe::modelWords(const QString &model)
{
    return model.isEmpty() ? QStringLiteral("Answers (model not named)")
                           : QStringLiteral("Answers: model ") + model;
}

QString SerialProbe::silentWords()
{
    return SerialAnswers::sendingOnlyWords();
}

QString SerialProbe::chainWords(int cameras)
{
    if (cameras <= 0)
        return QStringLiteral("no camera answered (sending only line)");
    return cameras == 1 ? QStringLiteral("1 camera answered")
                        : QString::number(cameras) + QStringLiteral(" cameras answered");
}

QString SerialProbe::failedWords(const QString &why)
{
    return QStringLiteral("Failed: ") + why;
}

bool SerialProbe::take(const QString &location, const SerialSettings &settings)
{
    if (bus)
        return false;
    bus = pool.serialBus(location);
    if (!bus->isOpen() && !bus->open(settings)) {
        const QString why = bus->openFailure(location);
        pool.release(bus);
        bus = nullptr;
        qCWarning(lcSerial).noquote() << why;
        emit finished(why);
        return false;
    }
    connect(bus, &SerialBus::lost, this,
            [this] { finish(failedWords(QStringLiteral("port lost"))); });
    return true;
}

void SerialProbe::testCamera(const QString &location, int address, const SerialSettings &settings)
{
    if (!take(location, settings))
        return;
    connect(bus, &SerialBus::inquiryAnswered, this, &SerialProbe::onInquiryAnswered);
    connect(bus, &SerialBus::packetFailed, this, [this](const PacketTag &tag, const QString &why) {
        if (tag.origin == this)
            finish(failedWords(why));
    });
    QByteArray inquiry = ViscaIp::versionInquiry();
    inquiry[0] = char(0x80 + qBound(1, address, SerialAnswers::kAddresses));
    silence = silentWords();
    wait.start();
    const PacketLink::Handover handover = bus->send(
        {inquiry, QString::fromLatin1(inquiry.toHex().toUpper()), {this, 1, QStringLiteral("version")}});
    if (handover.result <= 0)
        finish(failedWords(handover.failure));
}

void SerialProbe::numberChain(const QString &location, const SerialSettings &settings)
{
    if (!take(location, settings))
        return;
    connect(bus, &SerialBus::chainNumbered, this, [this](int cameras) { finish(chainWords(cameras)); });
    silence = chainWords(0);
    wait.start();
    bus->numberChain();
}

void SerialProbe::onInquiryAnswered(const PacketTag &tag, const QByteArray &data)
{
    if (tag.origin != this)
        return;
    finish(modelWords(ViscaIp::modelCode(QByteArray(1, char(0x90)) + char(0x50) + data
                                         + char(0xFF))));
}

// Once per question: the bus goes back to the pool first.
void SerialProbe::finish(const QString &result)
{
    if (!bus)
        return;
    wait.stop();
    SerialBus *done = bus;
    bus = nullptr;
    done->dropWaiting(this);
    done->disconnect(this);
    pool.release(done);
    emit finished(result);
}

// One question the camera editor puts to a serial line: "Test" (the version
// inquiry to one address) or "Number the chain" (address set, then interface
// clear). It asks on the running bus where the port is open, else on the
// port opened through the pool for the question and given back after. The
// outcome comes once, as finished(), within kWaitMs; nothing waits on the
// caller's thread.
#pragma once

#include "serialanswers.h"
#include "serialsettings.h"

#include <QObject>
#include <QString>
#include <QTimer>

class LinkPool;
class SerialBus;
struct PacketTag;

class SerialProbe : public QObject
{
    Q_OBJECT

public:
    // An answer's wait on the line, and a margin for the reading.
    static constexpr int kWaitMs = SerialAnswers::kAnswerWaitMs + 300;

    explicit SerialProbe(LinkPool &pool, QObject *parent = nullptr);
    ~SerialProbe() override;

    // The version inquiry to `address` (1 ... 7) on the port at `location`.
    void testCamera(const QString &location, int address, const SerialSettings &settings);
    // Address set, then interface clear, on the port at `location`.
    void numberChain(const QString &location, const SerialSettings &settings);
    bool isRunning() const { return bus != nullptr; }

    // The outcomes' words: "Answers: model 0D15"; "sending only (no
    // answers on this line)"; "3 cameras answered", "1 camera answered",
    // "no camera answered (sending only line)"; "Failed: <why>".
    static QString modelWords(const QString &model);
    static QString silentWords();
    static QString chainWords(int cameras);
    static QString failedWords(const QString &why);

signals:
    void finished(const QString &result);

private:
    bool take(const QString &location, const SerialSettings &settings);
    void onInquiryAnswered(const PacketTag &tag, const QByteArray &data);
    void finish(const QString &result);

    LinkPool &pool;
    SerialBus *bus = nullptr; // given by the pool for one question
    QTimer wait;
    QString silence; // the outcome when the wait ends without an answer
};

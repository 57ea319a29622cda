// Answers read from a serial line, judged without a port: matched to the
// packets by their sender, a line that never answers told from a camera
// that stopped, and everything the line may carry besides (a power-up, the
// chain numbered) named.
#include "serialanswers.h"

#include <QtTest>

class tst_SerialAnswers : public QObject
{
    Q_OBJECT

private slots:
    void conversation_data();
    void conversation();
};

namespace {

const char *hearingWord(SerialAnswers::Hearing hearing)
{
    switch (hearing) {
    case SerialAnswers::Hearing::Unknown:
        return "unknown";
    case SerialAnswers::Hearing::Answers:
        return "answers";
    case SerialAnswers::Hearing::SendingOnly:
        return "sending only";
    case SerialAnswers::Hearing::Silent:
        return "silent";
    }
    return "?";
}

QString changesText(const QList<SerialAnswers::Change> &changes)
{
    QStringList words;
    for (const SerialAnswers::Change &change : changes)
        words.append(QStringLiteral("%1 %2").arg(change.address).arg(
            QLatin1String(hearingWord(change.hearing))));
    return words.join(QLatin1String(", "));
}

QString heardText(const SerialAnswers::Heard &heard)
{
    switch (heard.kind) {
    case SerialAnswers::Heard::Nothing:
        return QString();
    case SerialAnswers::Heard::Answered:
        return QStringLiteral("answered ") + heard.tag.words;
    case SerialAnswers::Heard::Refused:
        return QStringLiteral("refused ") + heard.tag.words + QStringLiteral(": ") + heard.reason;
    case SerialAnswers::Heard::Inquiry:
        return QStringLiteral("inquiry ") + heard.tag.words + QStringLiteral(": ")
            + QString::fromLatin1(heard.data.toHex());
    case SerialAnswers::Heard::PowerUp:
        return QStringLiteral("power-up %1").arg(heard.address);
    case SerialAnswers::Heard::Numbered:
        return QStringLiteral("numbered %1").arg(heard.count);
    case SerialAnswers::Heard::Cleared:
        return QStringLiteral("cleared");
    }
    return QString();
}

} // namespace

// Steps: "> hex words" a packet written, "< hex" a packet read, "+ms" time
// passing. Each step's outcome: what was heard, then the hearing changes
// after " | ".
void tst_SerialAnswers::conversation_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("outcomes");

    QTest::newRow("acknowledge and completion of one command")
        << QStringList{"> 8101040723FF zoom,3", "< 9041FF", "< 9051FF", "+2000"}
        << QStringList{"", "answered zoom,3 | 1 answers", "", ""};
    QTest::newRow("the completion is the acknowledged packet's, not the next one's")
        << QStringList{"> 8101040723FF zoom,3", "< 9041FF", "> 8101040700FF zoom,0",
                       "< 9051FF", "< 9042FF", "< 9052FF", "+2000"}
        << QStringList{"", "answered zoom,3 | 1 answers", "", "", "answered zoom,0", "", ""};
    QTest::newRow("a refusal names the packet in today's words")
        << QStringList{"> 8101040002FF power,on", "< 906141FF", "> 8101040723FF zoom,3",
                       "< 906003FF"}
        << QStringList{"", "refused power,on: camera: command not executable | 1 answers", "",
                       "refused zoom,3: camera: command buffer full"};
    QTest::newRow("refused after the acknowledge")
        << QStringList{"> 8101040723FF zoom,3", "< 9041FF", "< 906104FF"}
        << QStringList{"", "answered zoom,3 | 1 answers",
                       "refused zoom,3: camera: command cancelled"};
    QTest::newRow("an inquiry is answered with its data")
        << QStringList{"> 81090002FF version", "< 9050007A210D150102FF"}
        << QStringList{"", "inquiry version: 007a210d150102 | 1 answers"};
    QTest::newRow("each camera of a chain answers from its own address")
        << QStringList{"> 8201040723FF zoom,3", "> 8101040723FF zoom,3 on 1", "< 9041FF",
                       "< A041FF"}
        << QStringList{"", "", "answered zoom,3 on 1 | 1 answers", "answered zoom,3 | 2 answers"};
    QTest::newRow("a line that never answers is sending only, never silent")
        << QStringList{"> 8101040723FF zoom,3", "+999", "+1", "> 8101040700FF zoom,0",
                       "> 8101040723FF zoom,3", "> 8101040700FF zoom,0", "+5000"}
        << QStringList{"", "", " | 1 sending only", "", "", "", ""};
    QTest::newRow("a camera that answered goes silent at the third packet unanswered")
        << QStringList{"> 8101040723FF zoom,3", "< 9041FF", "> 8101040700FF zoom,0", "+1000",
                       "> 8101040723FF zoom,3", "+1000", "> 8101040700FF zoom,0", "+1000",
                       "< 9041FF"}
        << QStringList{"", "answered zoom,3 | 1 answers", "", "", "", "", "", " | 1 silent",
                       " | 1 answers"};
    QTest::newRow("an answer before the third keeps it answering")
        << QStringList{"> 8101040723FF a", "< 9041FF", "> 8101040723FF b", "> 8101040723FF c",
                       "+1000", "> 8101040723FF d", "< 9041FF", "> 8101040723FF e", "+1000"}
        << QStringList{"", "answered a | 1 answers", "", "", "", "", "answered d", "", ""};
    QTest::newRow("a power-up, the chain numbered and cleared")
        << QStringList{"< A038FF", "< 883003FF", "< 88010001FF"}
        << QStringList{"power-up 2 | 2 answers", "numbered 2", "cleared"};
    QTest::newRow("what is no answer of ours")
        << QStringList{"< 9041FF", "< 8101040723FF", "< 9038", "< F841FF", "< 0041FF",
                       "< 88300FFF", "< 9099FF"}
        << QStringList{" | 1 answers", "", "", "", "", "numbered 7", ""};
}

void tst_SerialAnswers::conversation()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, outcomes);
    QCOMPARE(steps.size(), outcomes.size());

    SerialAnswers answers;
    qint64 now = 0;
    for (int i = 0; i < steps.size(); ++i) {
        const QString step = steps.at(i);
        const QString body = step.mid(2);
        QString outcome;
        if (step.startsWith(QLatin1Char('>'))) {
            PacketTag tag;
            tag.words = body.section(QLatin1Char(' '), 1);
            answers.sent(QByteArray::fromHex(body.section(QLatin1Char(' '), 0, 0).toLatin1()), tag,
                         now);
        } else if (step.startsWith(QLatin1Char('<'))) {
            QList<SerialAnswers::Change> changes;
            const SerialAnswers::Heard heard
                = answers.heard(QByteArray::fromHex(body.toLatin1()), &changes);
            outcome = heardText(heard);
            if (!changes.isEmpty())
                outcome += QStringLiteral(" | ") + changesText(changes);
        } else {
            now += step.mid(1).toLongLong();
            const QList<SerialAnswers::Change> changes = answers.expire(now);
            if (!changes.isEmpty())
                outcome = QStringLiteral(" | ") + changesText(changes);
        }
        QVERIFY2(outcome == outcomes.at(i),
                 qPrintable(QStringLiteral("step %1 \"%2\": \"%3\"").arg(i).arg(step, outcome)));
    }
    QVERIFY(answers.nextDue() < 0 || answers.nextDue() > now);
}

QTEST_GUILESS_MAIN(tst_SerialAnswers)
#include "tst_serialanswers.moc"

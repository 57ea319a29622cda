// The rules a waiting command is kept by, whatever the route: which packets
// wait, in which order, what is refused and what grows stale.
#include "commandqueue.h"

#include <QtTest>

namespace {

const QString zoomTele = QStringLiteral("8101040721FF");
const QString zoomFast = QStringLiteral("8101040725FF");
const QString zoomStop = QStringLiteral("8101040700FF");
const QString focusNear = QStringLiteral("8101040834FF");
const QString focusStop = QStringLiteral("8101040800FF");
const QString recall = QStringLiteral("8101043F0201FF");
const QString colorAuto = QStringLiteral("8101043500FF");
const QString panRight = QStringLiteral("8101060107010203FF");
const QString panStop = QStringLiteral("8101060101010303FF");
const QString lampUp = QStringLiteral("8201060100010301FF");
const QString lampStop = QStringLiteral("8201060100000303FF");

CommandQueue::Entry entry(const QString &hex, qint64 at = 0)
{
    CommandQueue::Entry e;
    e.packet = QByteArray::fromHex(hex.toLatin1());
    e.request = hex;
    e.queuedAt = at;
    return e;
}

QStringList waiting(const CommandQueue &queue)
{
    QStringList out;
    for (const CommandQueue::Entry &e : queue.waiting())
        out << e.request;
    return out;
}

} // namespace

class tst_CommandQueue : public QObject
{
    Q_OBJECT

private slots:
    void rules_data();
    void rules();
    void staleCommandsButNeverStops();
    void refusedPacketsGoAgain();
};

void tst_CommandQueue::rules_data()
{
    QTest::addColumn<QStringList>("pushed");
    QTest::addColumn<QStringList>("waiting");
    QTest::addColumn<int>("refused");

    QTest::newRow("the newest speed waits, behind what came before it")
        << QStringList{zoomTele, recall, zoomFast} << QStringList{recall, zoomFast} << 0;
    QTest::newRow("a stop goes first and takes the drives of its axis")
        << QStringList{zoomTele, colorAuto, focusNear, zoomStop}
        << QStringList{zoomStop, colorAuto, focusNear} << 0;
    QTest::newRow("a drive after its stop, then the stop again")
        << QStringList{zoomStop, zoomTele, zoomStop} << QStringList{zoomStop} << 0;
    QTest::newRow("stops keep their order")
        << QStringList{focusNear, zoomStop, panRight, focusStop, panStop}
        << QStringList{zoomStop, focusStop, panStop} << 0;
    QTest::newRow("the lamp is an axis of its own device")
        << QStringList{panRight, lampUp, lampStop} << QStringList{lampStop, panRight} << 0;
    const auto times = [](int count, const QString &hex) {
        QStringList list;
        for (int i = 0; i < count; ++i)
            list << hex;
        return list;
    };
    QTest::newRow("other commands up to the cap, a stop past it")
        << (times(9, colorAuto) + QStringList{zoomStop})
        << (QStringList{zoomStop} + times(CommandQueue::defaultOtherLimit, colorAuto))
        << 9 - CommandQueue::defaultOtherLimit;
}

void tst_CommandQueue::rules()
{
    QFETCH(QStringList, pushed);
    QFETCH(QStringList, waiting);
    QFETCH(int, refused);
    CommandQueue queue(1000);
    int full = 0;
    for (const QString &hex : pushed)
        full += queue.push(entry(hex)) == CommandQueue::Outcome::Full ? 1 : 0;
    QCOMPARE(::waiting(queue), waiting);
    QCOMPARE(full, refused);
}

void tst_CommandQueue::staleCommandsButNeverStops()
{
    CommandQueue queue(1000);
    queue.push(entry(zoomTele, 0));
    queue.push(entry(focusStop, 0));
    queue.push(entry(recall, 600));
    QCOMPARE(queue.nextExpiry(), 1001);
    QVERIFY(queue.takeExpired(1000).isEmpty());
    const QList<CommandQueue::Entry> stale = queue.takeExpired(1001);
    QCOMPARE(stale.size(), 1);
    QCOMPARE(stale.first().request, zoomTele);
    QCOMPARE(queue.nextExpiry(), 1601);
    queue.takeExpired(1000000);
    QCOMPARE(::waiting(queue), QStringList{focusStop});
    QCOMPARE(queue.nextExpiry(), -1);
}

// A packet the camera refused for want of room: a stop goes first of all; a
// drive is void once its stop or a newer speed waits.
void tst_CommandQueue::refusedPacketsGoAgain()
{
    CommandQueue queue(1000);
    queue.push(entry(focusStop));
    queue.push(entry(recall));
    queue.retry(entry(zoomStop));
    queue.retry(entry(zoomStop));
    queue.retry(entry(colorAuto));
    queue.push(entry(focusNear));
    queue.retry(entry(zoomTele)); // after its stop: void
    queue.retry(entry(panRight));
    queue.retry(entry(QStringLiteral("8101040832FF"))); // a newer speed waits
    QCOMPARE(::waiting(queue),
             (QStringList{zoomStop, focusStop, panRight, colorAuto, recall, focusNear}));
}

QTEST_GUILESS_MAIN(tst_CommandQueue)
#include "tst_commandqueue.moc"

// The remote address space as a client meets it, without sockets: what each
// message asks of the cameras or why it is refused, how remote moves end,
// the settings an operator writes by hand, and the framing and packets that
// come over OSC.
#include "oscpacket.h"
#include "recordingtarget.h"
#include "remotecommand.h"
#include "remotedispatcher.h"
#include "remotejson.h"
#include "remotesettings.h"
#include "slipdecoder.h"
#include "testsettings.h"

#include <QSettings>
#include <QtTest>

#include <lo/lo.h>

#include <memory>

namespace {

// A step: "CLIENT JSON" sends the message as that client (lease 1 min),
// "CLIENT closes" ends its connection, "camera ends N zoom" is the camera
// ending a remote zoom, "remote control stops" ends the dispatcher. Returns
// the refusals; the dispatcher ends after the steps.
QString runSteps(RecordingTarget &target, const QStringList &steps,
                 std::unique_ptr<RemoteDispatcher> &dispatcher)
{
    dispatcher = std::make_unique<RemoteDispatcher>(&target);
    QStringList refused;
    for (const QString &step : steps) {
        const QString client = step.section(QLatin1Char(' '), 0, 0);
        const QString rest = step.section(QLatin1Char(' '), 1);
        if (rest == QLatin1String("closes")) {
            dispatcher->endClient(client);
        } else if (step.startsWith(QLatin1String("camera ends "))) {
            const int camera = step.section(QLatin1Char(' '), 2, 2).toInt();
            target.moving.remove(QString::number(camera) + QStringLiteral(" zoom"));
            emit target.remoteMoveEnded(camera, RemoteAxis::Zoom);
        } else if (step == QLatin1String("remote control stops")) {
            dispatcher.reset();
        } else {
            RemoteMessage message;
            RemoteCommand command;
            QString why;
            if (RemoteJson::decode(rest.toUtf8(), &message, &why)
                && parseRemoteCommand(message, &command, &why))
                why = dispatcher->run(command, client, 60000);
            if (!why.isEmpty())
                refused << why;
        }
    }
    return refused.join(QLatin1String("; "));
}

QString message(const char *address, const char *args = "[]")
{
    return QStringLiteral("a {\"address\": \"%1\", \"args\": %2}")
        .arg(QLatin1String(address), QLatin1String(args));
}

QString from(const char *client, const char *address, const char *args)
{
    return QString(message(address, args)).replace(0, 1, QLatin1String(client));
}

QByteArray serialised(lo_message message, const char *path)
{
    size_t size = 0;
    void *data = lo_message_serialise(message, path, nullptr, &size);
    const QByteArray bytes(static_cast<const char *>(data), int(size));
    free(data);
    lo_message_free(message);
    return bytes;
}

QByteArray zoomMessage(int rate)
{
    lo_message message = lo_message_new();
    lo_message_add_int32(message, rate);
    return serialised(message, "/tarndeck/camera/1/zoom");
}

QByteArray bundleOf(const QList<QByteArray> &elements)
{
    QByteArray out("#bundle\0", 8);
    out += QByteArray(8, '\0');
    for (const QByteArray &element : elements) {
        const quint32 size = qToBigEndian(quint32(element.size()));
        out += QByteArray(reinterpret_cast<const char *>(&size), 4) + element;
    }
    return out;
}

} // namespace

class tst_RemoteProtocol : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void messages_data();
    void messages();
    void settings_data();
    void settings();
    void senders();
    void framing_data();
    void framing();
    void oscPackets_data();
    void oscPackets();
};

void tst_RemoteProtocol::initTestCase()
{
    TestSettings::useTemporaryStore();
}

void tst_RemoteProtocol::messages_data()
{
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QStringList>("calls");
    QTest::addColumn<QString>("refused");

    const auto row = [](const char *name, const QStringList &steps, const QStringList &calls,
                        const char *refused = "") {
        QTest::newRow(name) << steps << calls << QString::fromLatin1(refused);
    };
    // One message each: the address space.
    row("zoom of camera N", {message("/tarndeck/camera/2/zoom", "[3]")}, {"zoom 2 3"});
    row("rates are rounded half away from zero",
        {message("/tarndeck/camera/2/zoom", "[2.5]"), message("/tarndeck/camera/3/zoom", "[-2.5]")},
        {"zoom 2 3", "zoom 3 -3"});
    row("a rate past 8 is refused", {message("/tarndeck/camera/2/zoom", "[8.5]")}, {},
        "from -8 to 8");
    row("focus of the selected camera", {message("/tarndeck/selected/focus", "[-8]")},
        {"focus 1 -8"});
    row("auto focus on, off",
        {message("/tarndeck/camera/1/focus/auto"), message("/tarndeck/camera/1/focus/auto", "[0]"),
         message("/tarndeck/camera/1/focus/auto", "[true]")},
        {"focus-auto 1 on", "focus-auto 1 off", "focus-auto 1 on"});
    row("pan-tilt fractions, ints too",
        {message("/tarndeck/camera/3/pantilt", "[0.5, -0.25]"),
         message("/tarndeck/camera/3/pantilt", "[1, -1]")},
        {"pantilt 3 0.5 -0.25", "pantilt 3 1 -1"});
    row("pan-tilt past the top speed", {message("/tarndeck/camera/3/pantilt", "[1.5, 0]")}, {},
        "-1.0 to 1.0");
    row("presets 1 and 127, whole floats count",
        {message("/tarndeck/camera/1/preset/recall", "[5.0]"),
         message("/tarndeck/selected/preset/store", "[127]")},
        {"recall 1 5", "store 1 127"});
    row("preset 0, 128 and 2.5 are refused",
        {message("/tarndeck/camera/1/preset/recall", "[0]"),
         message("/tarndeck/camera/1/preset/recall", "[128]"),
         message("/tarndeck/camera/1/preset/store", "[2.5]")},
        {}, "whole number from 1 to 127");
    row("tally words in any case",
        {message("/tarndeck/camera/2/tally", "[\"PROGRAM\"]"),
         message("/tarndeck/camera/2/tally", "[\"preview\"]")},
        {"tally 2 program", "tally 2 preview"});
    row("a tally that is no word", {message("/tarndeck/camera/2/tally", "[1]")}, {},
        "program, preview or off");
    row("stop one camera", {message("/tarndeck/camera/2/stop")},
        {"zoom 2 0", "focus 2 0", "pantilt 2 0 0"});
    row("select, next and previous wrap",
        {message("/tarndeck/select", "[3]"), message("/tarndeck/select/next"),
         message("/tarndeck/select/previous")},
        {"select 3", "select 1", "select 3"});
    row("stop every camera", {message("/tarndeck/stop")}, {"stop-all"});
    row("a camera that does not exist", {message("/tarndeck/camera/4/zoom", "[1]")}, {},
        "there is no camera 4");
    row("select a camera that does not exist", {message("/tarndeck/select", "[4]")}, {},
        "there is no camera 4");
    row("camera 0 and 05 are no camera numbers",
        {message("/tarndeck/camera/0/zoom", "[1]"), message("/tarndeck/camera/05/zoom", "[1]")}, {},
        "no camera number");
    row("an unknown address", {message("/tarndeck/camera/1/iris", "[1]")}, {}, "no such address");
    row("another program's address", {message("/mixer/fader", "[1]")}, {}, "start with /tarndeck/");
    row("too few arguments", {message("/tarndeck/camera/1/zoom")}, {}, "takes 1 argument, not 0");
    row("not JSON", {"a {\"address\": "}, {}, "not JSON");
    row("args that are no list", {"a {\"address\": \"/tarndeck/stop\", \"args\": 3}"}, {},
        "not a list");
    row("a key given twice, as written or escaped",
        {"a {\"address\": \"/tarndeck/stop\", \"args\": [1], \"args\": [2.5]}",
         "a {\"address\": \"/tarndeck/stop\", \"a\": {\"x\": [1], \"\\u0078\": {}}}"},
        {}, "given twice");
    row("the same key in two objects is no repeat",
        {"a {\"address\": \"/tarndeck/stop\", \"x\": {\"address\": [1]}, \"y\": [{\"x\": 1}]}"},
        {"stop-all"});
    row("an argument that is an object",
        {"a {\"address\": \"/tarndeck/camera/1/zoom\", \"args\": [{}]}"}, {}, "neither a number");

    // Sequences: how remote moves end.
    row("a release stops the move",
        {message("/tarndeck/camera/1/zoom", "[3]"), message("/tarndeck/camera/1/zoom", "[0]")},
        {"zoom 1 3", "zoom 1 0"});
    row("a repeated move renews it and is not sent again",
        {message("/tarndeck/camera/1/pantilt", "[0.5, 0]"),
         message("/tarndeck/camera/1/pantilt", "[0.5, 0]"),
         message("/tarndeck/camera/1/pantilt", "[0.25, 0]")},
        {"pantilt 1 0.5 0", "pantilt 1 0.25 0"});
    row("a release with no move running sends nothing", {message("/tarndeck/camera/1/zoom", "[0]")},
        {});
    row("a release under selected follows its move's camera",
        {message("/tarndeck/selected/zoom", "[3]"), message("/tarndeck/select", "[2]"),
         message("/tarndeck/selected/zoom", "[0]")},
        {"zoom 1 3", "select 2", "zoom 1 0"});
    row("the last client to move an axis owns it; any release ends it",
        {message("/tarndeck/camera/1/zoom", "[3]"), from("b", "/tarndeck/camera/1/zoom", "[-2]"),
         message("/tarndeck/camera/1/zoom", "[0]"), from("b", "/tarndeck/camera/1/zoom", "[0]")},
        {"zoom 1 3", "zoom 1 -2", "zoom 1 0"});
    row("a closed connection stops its moves, not another client's",
        {message("/tarndeck/camera/1/zoom", "[3]"), from("b", "/tarndeck/camera/2/focus", "[1]"),
         "a closes"},
        {"zoom 1 3", "focus 2 1", "zoom 1 0"});
    row("a recall stops the camera's remote moves first",
        {message("/tarndeck/camera/1/zoom", "[3]"), message("/tarndeck/camera/2/zoom", "[3]"),
         message("/tarndeck/camera/1/preset/recall", "[4]")},
        {"zoom 1 3", "zoom 2 3", "zoom 1 0", "recall 1 4"});
    row("a move the camera ended is not stopped again",
        {message("/tarndeck/camera/1/zoom", "[3]"), "camera ends 1 zoom",
         message("/tarndeck/camera/1/zoom", "[0]")},
        {"zoom 1 3"});
    row("after a stop of everything a release sends nothing",
        {message("/tarndeck/camera/1/zoom", "[3]"), message("/tarndeck/stop"),
         message("/tarndeck/camera/1/zoom", "[0]")},
        {"zoom 1 3", "stop-all"});
    row("remote control stopping stops every remote move",
        {message("/tarndeck/camera/1/zoom", "[3]"),
         from("b", "/tarndeck/camera/2/pantilt", "[0, 1]"), "remote control stops"},
        {"zoom 1 3", "pantilt 2 0 1", "zoom 1 0", "pantilt 2 0 0"});
}

void tst_RemoteProtocol::messages()
{
    QFETCH(QStringList, steps);
    QFETCH(QStringList, calls);
    QFETCH(QString, refused);

    RecordingTarget target;
    std::unique_ptr<RemoteDispatcher> dispatcher;
    const QString why = runSteps(target, steps, dispatcher);
    QCOMPARE(target.calls, calls);
    if (refused.isEmpty())
        QCOMPARE(why, QString());
    else
        QVERIFY2(why.contains(refused), qPrintable(why));
    // Whatever the steps left running stops with remote control.
    dispatcher.reset();
    QVERIFY2(target.moving.isEmpty(), qPrintable(target.moving.values().join(", ")));
}

void tst_RemoteProtocol::settings_data()
{
    QTest::addColumn<QVariantMap>("stored");
    QTest::addColumn<QString>("read");
    QTest::addColumn<int>("problems");

    QTest::newRow("nothing stored") << QVariantMap() << "off 127.0.0.1 9000 9001 10000 - -" << 0;
    QTest::newRow("everything set")
        << QVariantMap{{"remoteControl", "true"},
                       {"remoteListen", "0.0.0.0"},
                       {"remoteOscPort", 7000},
                       {"remoteWebSocketPort", "7001"},
                       {"remoteToken", "sesame-open"},
                       {"remoteAllow", QStringList{"192.168.1.0/24", "10.0.0.5", "fd00::7"}},
                       {"remoteLease", "2.5"}}
        << "on 0.0.0.0 7000 7001 2500 sesame-open 192.168.1.0/24,10.0.0.5/32,fd00::7/128" << 0;
    QTest::newRow("an allow list written as one text")
        << QVariantMap{{"remoteAllow", "192.168.1.20, 192.168.2.0/24"}}
        << "off 127.0.0.1 9000 9001 10000 - 192.168.1.20/32,192.168.2.0/24" << 0;
    QTest::newRow("words that are no switch, address or port")
        << QVariantMap{{"remoteControl", "maybe"},
                       {"remoteListen", "camera.local"},
                       {"remoteOscPort", "0"},
                       {"remoteWebSocketPort", "70000"}}
        << "off 127.0.0.1 9000 9001 10000 - -" << 4;
    QTest::newRow("both servers on one TCP port")
        << QVariantMap{{"remoteOscPort", "8000"}, {"remoteWebSocketPort", "8000"}}
        << "off 127.0.0.1 9000 9001 10000 - -" << 1;
    QTest::newRow("a short token, bad allow entries, leases out of range")
        << QVariantMap{{"remoteToken", "abc"},
                       {"remoteAllow", "x.y, 10.0.0.0/33"},
                       {"remoteLease", "0"}}
        << "off 127.0.0.1 9000 9001 10000 - -" << 4;
    QTest::newRow("a lease that is no number")
        << QVariantMap{{"remoteLease", "ten"}} << "off 127.0.0.1 9000 9001 10000 - -" << 1;
    // "::" becomes the address of both families, shown as 0.0.0.0.
    QTest::newRow("beyond loopback without a token, IPv4 and IPv6")
        << QVariantMap{{"remoteControl", "1"}, {"remoteListen", "::"}}
        << "on 0.0.0.0 9000 9001 10000 - -" << 1;
}

void tst_RemoteProtocol::settings()
{
    QFETCH(QVariantMap, stored);
    QFETCH(QString, read);
    QFETCH(int, problems);

    TestSettings::clear();
    QSettings store;
    for (auto it = stored.cbegin(); it != stored.cend(); ++it)
        store.setValue(it.key(), it.value());
    QStringList said;
    const RemoteSettings out = readRemoteSettings(store, &said);
    QStringList allowed;
    for (const auto &subnet : out.allow)
        allowed << subnet.first.toString() + QLatin1Char('/') + QString::number(subnet.second);
    const QString summary
        = QStringLiteral("%1 %2 %3 %4 %5 %6 %7")
              .arg(out.enabled ? "on" : "off", out.listen.toString())
              .arg(out.oscPort)
              .arg(out.webSocketPort)
              .arg(out.leaseMs)
              .arg(out.token.isEmpty() ? QStringLiteral("-") : out.token,
                   allowed.isEmpty() ? QStringLiteral("-") : allowed.join(QLatin1Char(',')));
    QCOMPARE(summary, read);
    QVERIFY2(said.size() == problems, qPrintable(said.join(QLatin1String(" | "))));
}

void tst_RemoteProtocol::senders()
{
    RemoteSettings settings;
    settings.listen = QHostAddress(QStringLiteral("0.0.0.0"));
    settings.allow = {QHostAddress::parseSubnet(QStringLiteral("192.168.1.0/24"))};
    QVERIFY(settings.listensBeyondLoopback());
    QVERIFY(settings.tokenRequired());
    QVERIFY(settings.allowsSender(QHostAddress(QStringLiteral("127.0.0.9"))));
    QVERIFY(settings.allowsSender(QHostAddress(QStringLiteral("::1"))));
    QVERIFY(settings.allowsSender(QHostAddress(QStringLiteral("192.168.1.77"))));
    // A dual-stack socket shows IPv4 senders mapped into IPv6.
    QVERIFY(settings.allowsSender(QHostAddress(QStringLiteral("::ffff:192.168.1.77"))));
    QVERIFY(!settings.allowsSender(QHostAddress(QStringLiteral("192.168.2.77"))));
    QVERIFY(!settings.allowsSender(QHostAddress(QStringLiteral("::ffff:10.0.0.1"))));
    settings.listen = QHostAddress(QStringLiteral("::ffff:127.0.0.1"));
    QVERIFY(!settings.listensBeyondLoopback());
    QVERIFY(!settings.tokenRequired());
}

void tst_RemoteProtocol::framing_data()
{
    QTest::addColumn<QByteArray>("stream");
    QTest::addColumn<QStringList>("packets"); // hex, or the fault

    QTest::newRow("OSC 1.1 double END")
        << QByteArray::fromHex("C0 2F 61 C0") << QStringList{"2f61"};
    QTest::newRow("a trailing END only, as liblo sends")
        << QByteArray::fromHex("2F 61 C0 2F 62 C0") << QStringList{"2f61", "2f62"};
    QTest::newRow("escaped END and ESC")
        << QByteArray::fromHex("C0 2F DB DC DB DD C0") << QStringList{"2fc0db"};
    QTest::newRow("empty packets are nothing")
        << QByteArray::fromHex("C0 C0 C0 C0") << QStringList();
    QTest::newRow("a bad escape drops its packet only")
        << QByteArray::fromHex("C0 2F DB 41 42 C0 2F 63 C0") << QStringList{"bad escape", "2f63"};
    QTest::newRow("an escape right before END")
        << QByteArray::fromHex("2F DB C0 2F 64 C0") << QStringList{"bad escape", "2f64"};
    QTest::newRow("a packet too long drops whole, the next one counts")
        << QByteArray(SlipDecoder::maxPacket + 1, 'x') + QByteArray::fromHex("C0 2F 65 C0")
        << QStringList{"too long", "2f65"};
    QTest::newRow("the longest packet") << QByteArray(SlipDecoder::maxPacket, 'x')
            + '\xC0' << QStringList{QByteArray(SlipDecoder::maxPacket, 'x').toHex()};
}

void tst_RemoteProtocol::framing()
{
    QFETCH(QByteArray, stream);
    QFETCH(QStringList, packets);

    // Whole, and a byte at a time: where reads are cut changes nothing.
    for (const int step : {int(stream.size()), 1}) {
        SlipDecoder decoder;
        QStringList out;
        for (int at = 0; at < stream.size(); at += step) {
            decoder.feed(stream.constData() + at, qMin(step, int(stream.size()) - at),
                         [&out](const QByteArray &packet, SlipDecoder::Fault fault) {
                             out << (fault == SlipDecoder::Fault::None
                                         ? QString::fromLatin1(packet.toHex())
                                         : fault == SlipDecoder::Fault::TooLong
                                         ? QStringLiteral("too long")
                                         : QStringLiteral("bad escape"));
                         });
        }
        QCOMPARE(out, packets);
        QCOMPARE(decoder.pending(), 0);
    }
}

void tst_RemoteProtocol::oscPackets_data()
{
    QTest::addColumn<QByteArray>("packet");
    QTest::addColumn<QString>("decoded"); // the messages, or the refusal

    // The double and the 64-bit int lie off their 8-byte alignment.
    lo_message all = lo_message_new();
    lo_message_add_int32(all, -3);
    lo_message_add_double(all, -0.25);
    lo_message_add_int64(all, 5);
    lo_message_add_float(all, 0.5f);
    lo_message_add_true(all);
    lo_message_add_false(all);
    lo_message_add_string(all, "program");
    QTest::newRow("every argument type taken")
        << serialised(all, "/tarndeck/camera/1/x")
        << "/tarndeck/camera/1/x -3 -0.25 5 0.5 true false \"program\"";
    QTest::newRow("a bundle runs its messages in order")
        << bundleOf({zoomMessage(3), bundleOf({zoomMessage(0)})})
        << "/tarndeck/camera/1/zoom 3 | /tarndeck/camera/1/zoom 0";
    QTest::newRow("bundles nested too deep")
        << bundleOf({bundleOf({bundleOf({bundleOf({bundleOf({zoomMessage(1)})})})})})
        << "nested deeper than 4";
    QTest::newRow("more than 16 messages in one bundle")
        << bundleOf(QVector<QByteArray>(17, zoomMessage(1)).toList()) << "more than 16 messages";
    QTest::newRow("a bundle element that runs past the end")
        << bundleOf({zoomMessage(1)}).left(40) << "of 32 bytes where 20 are left";
    lo_message blob = lo_message_new();
    const char bytes[4] = {1, 2, 3, 4};
    lo_blob b = lo_blob_new(4, bytes);
    lo_message_add_blob(blob, b);
    QTest::newRow("a blob is refused before liblo reads it")
        << serialised(blob, "/tarndeck/stop") << "type 'b'";
    lo_blob_free(b);
    QTest::newRow("a pattern address")
        << serialised(lo_message_new(), "/tarndeck/camera/*/stop") << "a pattern (*)";
    QTest::newRow("an argument cut short")
        << zoomMessage(3).left(zoomMessage(3).size() - 4) << "do not match their type tags";
    QTest::newRow("no type tags") << QByteArray("/tarndeck/stop\0\0", 16) << "no type tags";
    QTest::newRow("not a multiple of 4")
        << QByteArray("/a\0\0,\0\0\0x", 9) << "not a multiple of 4";
    QTest::newRow("an address that never ends") << QByteArray(64, 'a') << "does not end";
}

void tst_RemoteProtocol::oscPackets()
{
    QFETCH(QByteArray, packet);
    QFETCH(QString, decoded);

    QVector<RemoteMessage> messages;
    QString why;
    if (OscPacket::decode(packet, &messages, &why)) {
        QStringList texts;
        for (const RemoteMessage &message : qAsConst(messages))
            texts << message.text();
        QCOMPARE(texts.join(QLatin1String(" | ")), decoded);
    } else {
        QVERIFY2(why.contains(decoded), qPrintable(why));
        QVERIFY(messages.isEmpty());
    }
}

QTEST_GUILESS_MAIN(tst_RemoteProtocol)
#include "tst_remoteprotocol.moc"

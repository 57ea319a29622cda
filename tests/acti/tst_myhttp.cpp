// The request object against a real HTTP server on loopback: one GET at a
// time, sent at once, its end signalled; nobody waits for it.
#include "logcapture.h"
#include "loophttpserver.h"
#include "myhttp.h"
#include "stallwatch.h"
#include "testsettings.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QtTest>

using Response = LoopHttpServer::Response;

namespace {

// Sends the GET and lets the event loop run until the request has ended;
// false when it was not sent or did not end in time.
bool getAndWait(MYHTTP &http, const QString &url, int timeoutMs = MYHTTP::defaultTimeoutMs)
{
    QSignalSpy returned(&http, &MYHTTP::returned);
    return http.get(url, timeoutMs) && returned.wait(timeoutMs > 0 ? timeoutMs + 5000 : 10000);
}

} // namespace

// Every reply is released once its request has ended.
#define VERIFY_REPLIES_RELEASED(http)                                                              \
    do {                                                                                           \
        QTRY_VERIFY((http).manager().findChildren<QNetworkReply *>().isEmpty());                     \
        QVERIFY((http).reply.isNull());                                                            \
    } while (false)

class TestMyHttp : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();

    void emptyUrlSendsNothing_data();
    void emptyUrlSendsNothing();
    void failureAfterSuccessReturnsEmpty_data();
    void failureAfterSuccessReturnsEmpty();
    void silentEncoderTimesOut();
    void nonPositiveTimeoutWaitsForTheAnswer_data();
    void nonPositiveTimeoutWaitsForTheAnswer();
    void oversizedBodyIsRefused_data();
    void oversizedBodyIsRefused();
    void oversizedHeadIsRefused_data();
    void oversizedHeadIsRefused();
    void headlessReplyIsRefused();
    void closingEncoderGetsEachRequestOnce();
    void redirectIsAnAnswer_data();
    void redirectIsAnAnswer();
    void oneRequestAtATime_data();
    void oneRequestAtATime();
};

void TestMyHttp::initTestCase()
{
    TestSettings::useTemporaryStore();
    // The request object's diagnostics are debug lines; the tests check some.
    QLoggingCategory::setFilterRules(QStringLiteral("tarndeck.acti.debug=true"));
}

void TestMyHttp::emptyUrlSendsNothing_data()
{
    QTest::addColumn<QString>("url");
    QTest::newRow("null") << QString();
    QTest::newRow("empty") << QStringLiteral("");
}

void TestMyHttp::emptyUrlSendsNothing()
{
    QFETCH(QString, url);
    MYHTTP http;
    http.error = QNetworkReply::HostNotFoundError;
    QSignalSpy finished(&http, &MYHTTP::finished);
    QSignalSpy returned(&http, &MYHTTP::returned);

    QVERIFY(!http.get(url));
    QVERIFY(!http.get(url, 0));
    QVERIFY(!http.isWaiting());
    QTest::qWait(20);
    QCOMPARE(returned.count(), 0);
    QCOMPARE(http.error, int(QNetworkReply::HostNotFoundError));
    QCOMPARE(finished.count(), 0);
}

void TestMyHttp::failureAfterSuccessReturnsEmpty_data()
{
    QTest::addColumn<Response>("failure");
    QTest::addColumn<bool>("refuse");
    QTest::addColumn<int>("expectedError");

    QTest::newRow("HTTP 404") << Response::text("no such page", 404) << false
                              << int(QNetworkReply::ContentNotFoundError);
    QTest::newRow("closed without answer")
        << Response::close() << false << int(QNetworkReply::RemoteHostClosedError);
    QTest::newRow("connection refused")
        << Response() << true << int(QNetworkReply::ConnectionRefusedError);
}

void TestMyHttp::failureAfterSuccessReturnsEmpty()
{
    QFETCH(Response, failure);
    QFETCH(bool, refuse);
    QFETCH(int, expectedError);

    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([&](const LoopHttpServer::Request &request) {
        return request.path() == "/good" ? Response::text("first body") : failure;
    });
    QString failingUrl = server.baseUrl() + QStringLiteral("/bad");
    if (refuse) {
        // A port that was just free and is closed again: the connection is refused.
        LoopHttpServer closed;
        QVERIFY(closed.listen());
        failingUrl = closed.baseUrl() + QStringLiteral("/bad");
        closed.close();
    }

    MYHTTP http;
    QSignalSpy finished(&http, &MYHTTP::finished);
    QVERIFY(getAndWait(http, server.baseUrl() + QStringLiteral("/good")));
    QCOMPARE(http.error, int(QNetworkReply::NoError));
    QCOMPARE(http.data, QByteArray("first body"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toByteArray(), QByteArray("first body"));

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^myHTTP\\(\\) ")));
    QVERIFY(getAndWait(http, failingUrl));
    QCOMPARE(http.error, expectedError);
    QVERIFY(http.data.isEmpty());
    QCOMPARE(finished.count(), 1);
    QCOMPARE(server.requestLines().first(), QStringLiteral("GET /good HTTP/1.1"));
    // A request that failed is never sent again.
    QCOMPARE(server.requestLines().size(), refuse ? 1 : 2);
    VERIFY_REPLIES_RELEASED(http);
}

void TestMyHttp::silentEncoderTimesOut()
{
    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([](const LoopHttpServer::Request &) { return Response::hold(); });

    MYHTTP http;
    QElapsedTimer clock;
    clock.start();
    QTest::ignoreMessage(QtDebugMsg, "myHttp() - timeout: QNetworkReply::TimeoutError");
    QVERIFY(getAndWait(http, server.baseUrl() + QStringLiteral("/cgi-bin/system")));
    QVERIFY2(clock.elapsed() >= MYHTTP::defaultTimeoutMs - 5,
             qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(http.error, int(QNetworkReply::TimeoutError));
    QVERIFY(http.data.isEmpty());
    QCOMPARE(server.requestLines(), QStringList{QStringLiteral("GET /cgi-bin/system HTTP/1.1")});
    // The reply was aborted: the encoder sees its connection go.
    QTRY_COMPARE(server.connectionCount(), 0);
    VERIFY_REPLIES_RELEASED(http);
}

void TestMyHttp::nonPositiveTimeoutWaitsForTheAnswer_data()
{
    QTest::addColumn<int>("timeoutMs");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -1;
}

// Without a time-out the request waits for its answer however late.
void TestMyHttp::nonPositiveTimeoutWaitsForTheAnswer()
{
    QFETCH(int, timeoutMs);
    LoopHttpServer server;
    QVERIFY(server.listen());
    Response later = Response::text("later");
    later.delayMs = 300;
    server.setHandler([&later](const LoopHttpServer::Request &) { return later; });

    MYHTTP http;
    QSignalSpy finished(&http, &MYHTTP::finished);
    QVERIFY(http.get(server.baseUrl() + QStringLiteral("/async"), timeoutMs));
    QVERIFY(http.isWaiting());
    QCOMPARE(finished.count(), 0);

    QVERIFY(finished.wait());
    QCOMPARE(finished.at(0).at(0).toByteArray(), QByteArray("later"));
    QCOMPARE(http.data, QByteArray("later"));
    QCOMPARE(http.error, int(QNetworkReply::NoError));
    VERIFY_REPLIES_RELEASED(http);
}

void TestMyHttp::oversizedBodyIsRefused_data()
{
    QTest::addColumn<Response>("answer");
    QTest::addColumn<qint64>("size");
    QTest::addColumn<bool>("accepted");

    const int limit = int(MYHTTP::maxBodyBytes);
    const auto body = [](qint64 size, bool length, bool chunked, int trickleMs) {
        Response answer;
        answer.fillBytes = size;
        answer.sendContentLength = length;
        answer.chunked = chunked;
        answer.trickleMs = trickleMs;
        answer.pieceBytes = trickleMs > 0 ? 128 * 1024 : 16 * 1024;
        return answer;
    };
    QTest::newRow("exactly the limit") << body(limit, true, false, 0) << qint64(limit) << true;
    QTest::newRow("one byte over, announced")
        << body(limit + 1, true, false, 0) << qint64(limit + 1) << false;
    QTest::newRow("one byte over, unannounced")
        << body(limit + 1, false, false, 0) << qint64(limit + 1) << false;
    QTest::newRow("2 MiB, announced")
        << body(2 * limit, true, false, 0) << qint64(2 * limit) << false;
    QTest::newRow("2 MiB, unannounced")
        << body(2 * limit, false, false, 0) << qint64(2 * limit) << false;
    QTest::newRow("chunked, exactly the limit")
        << body(limit, false, true, 0) << qint64(limit) << true;
    QTest::newRow("chunked, one byte over")
        << body(limit + 1, false, true, 0) << qint64(limit + 1) << false;
    QTest::newRow("chunked, endless 2000 MB")
        << body(2000LL * 1000 * 1000, false, true, 0) << qint64(0) << false;
    QTest::newRow("trickled, exactly the limit")
        << body(limit, false, false, 5) << qint64(limit) << true;
    QTest::newRow("trickled chunks, one byte over")
        << body(limit + 1, false, true, 5) << qint64(limit + 1) << false;
}

void TestMyHttp::oversizedBodyIsRefused()
{
    QFETCH(Response, answer);
    QFETCH(qint64, size);
    QFETCH(bool, accepted);

    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([&answer](const LoopHttpServer::Request &) { return answer; });

    MYHTTP http;
    QSignalSpy finished(&http, &MYHTTP::finished);
    const LogCapture log("tarndeck.acti");
    QVERIFY(getAndWait(http, server.baseUrl() + QStringLiteral("/big")));
    const QByteArray body = http.data;

    if (accepted) {
        QCOMPARE(qint64(body.size()), size);
        QCOMPARE(http.error, int(QNetworkReply::NoError));
        QCOMPARE(finished.count(), 1);
        QVERIFY(LogCapture::lines(QtWarningMsg).isEmpty());
    } else {
        QVERIFY(body.isEmpty());
        QVERIFY(http.data.isEmpty());
        QCOMPARE(finished.count(), 0);
        const bool endless = size == 0;
        if (endless && http.error == int(QNetworkReply::TimeoutError)) {
            // On a loaded machine Qt's read-buffer flow control can stop
            // taking an endless body before the limit is reached (seen once
            // in CI); the request then ends at its time-out, holding nothing.
            QVERIFY(LogCapture::lines(QtDebugMsg).contains(
                QStringLiteral("myHttp() - timeout: QNetworkReply::TimeoutError")));
        } else {
            QCOMPARE(http.error, int(MYHTTP::tooLargeError));
            const QStringList warnings = LogCapture::lines(QtWarningMsg);
            QCOMPARE(warnings.size(), 1);
            QVERIFY(warnings.first().startsWith(QStringLiteral("myHTTP() - reply larger than")));
        }
        // The stream is cut off: the encoder sees its connection go.
        QTRY_COMPARE(server.connectionCount(), 0);
    }
    VERIFY_REPLIES_RELEASED(http);
}

void TestMyHttp::oversizedHeadIsRefused_data()
{
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("lineBytes");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<int>("stallBoundMs");
    // The server's own three lines come first.
    const int room = MYHTTP::maxHeaderLines - 3;
    QTest::newRow("as many lines as allowed") << room << 10 << true << 500;
    QTest::newRow("one line more") << room + 1 << 10 << false << 500;
    QTest::newRow("1,000 lines") << 1000 << 10 << false << 500;
    QTest::newRow("one line of 20 KiB") << 1 << 20 * 1024 << false << 500;
    // The network library files the lines away on this thread before the
    // head can be looked at, in time that grows with their square: about
    // 0.6 s here. The bound only keeps that from growing.
    QTest::newRow("10,000 lines") << 10000 << 10 << false << 5000;
}

// An answer whose head an encoder never sends: aborted with its reason,
// and the window's loop stays live meanwhile.
void TestMyHttp::oversizedHeadIsRefused()
{
    QFETCH(int, lines);
    QFETCH(int, lineBytes);
    QFETCH(bool, accepted);
    QFETCH(int, stallBoundMs);
    Response answer = Response::text("OK:");
    for (int i = 0; i < lines; ++i)
        answer.extraHeaders.append(
            {"X-Filler-" + QByteArray::number(i), QByteArray(lineBytes, 'v')});
    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([&answer](const LoopHttpServer::Request &) { return answer; });

    MYHTTP http;
    if (!accepted) {
        // Qt 6 hands over a head of more than 100 lines as no line at all.
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^myHTTP\\(\\) - reply with "
                                                               "(\\d+|no) header lines")));
        QTest::ignoreMessage(QtDebugMsg, "myHTTP() QNetworkReply::ProtocolFailure");
    }
    StallWatch stalls;
    QVERIFY(getAndWait(http, server.baseUrl() + QStringLiteral("/head")));
    QCOMPARE(http.data, accepted ? QByteArray("OK:") : QByteArray());
    QCOMPARE(http.error, accepted ? int(QNetworkReply::NoError) : int(MYHTTP::headRefusedError));
    QVERIFY2(stalls.longestMs() < stallBoundMs, qPrintable(QString::number(stalls.longestMs())));
    VERIFY_REPLIES_RELEASED(http);
}

// A status line without a single header line: no encoder answers so, and it
// is what Qt 6 makes of a head of more than 100 lines. Refused on every Qt.
void TestMyHttp::headlessReplyIsRefused()
{
    QTcpServer server;
    QVERIFY(server.listen(QHostAddress::LocalHost));
    connect(&server, &QTcpServer::newConnection, &server, [&server] {
        QTcpSocket *socket = server.nextPendingConnection();
        connect(socket, &QTcpSocket::readyRead, socket, [socket] {
            if (socket->property("answered").toBool() || !socket->canReadLine())
                return;
            socket->setProperty("answered", true);
            socket->write("HTTP/1.0 200 OK\r\n\r\nOK:");
            socket->disconnectFromHost();
        });
    });

    MYHTTP http;
    QTest::ignoreMessage(
        QtWarningMsg, QRegularExpression(QStringLiteral("^myHTTP\\(\\) - reply with no header")));
    QTest::ignoreMessage(QtDebugMsg, "myHTTP() QNetworkReply::ProtocolFailure");
    QVERIFY(getAndWait(http, QStringLiteral("http://127.0.0.1:%1/").arg(server.serverPort())));
    QCOMPARE(http.data, QByteArray());
    QCOMPARE(http.error, int(MYHTTP::headRefusedError));
    VERIFY_REPLIES_RELEASED(http);
}

void TestMyHttp::closingEncoderGetsEachRequestOnce()
{
    // The encoder announces keep-alive, yet drops the connection at the next
    // request it reads: a client reusing the connection would see the
    // request fail and the network layer would send it again.
    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([](const LoopHttpServer::Request &request) {
        Response answer = Response::text("OK: " + request.query());
        answer.closeAfter = true;
        return answer;
    });

    MYHTTP http;
    QStringList expected;
    for (const char *hex : {"8101040E02FF", "8101040E02FF", "8101040E03FF"}) {
        const QString query = QStringLiteral("SERIAL_HEX=") + QLatin1String(hex);
        QVERIFY(getAndWait(http, server.baseUrl() + QStringLiteral("/cgi-bin/ENCODER?") + query));
        QCOMPARE(http.data, QByteArray("OK: ") + query.toLatin1());
        expected << QStringLiteral("GET /cgi-bin/ENCODER?%1 HTTP/1.1").arg(query);
    }
    QCOMPARE(server.requestLines(), expected);
    VERIFY_REPLIES_RELEASED(http);
}

void TestMyHttp::redirectIsAnAnswer_data()
{
    QTest::addColumn<QByteArray>("location");
    QTest::newRow("elsewhere") << QByteArray("/elsewhere");
    QTest::newRow("to itself") << QByteArray("/cgi-bin/ENCODER?SERIAL_HEX=8101040722FF");
}

// An encoder's redirect is its answer: the request is never sent again, to
// the new place or the same one (Qt 6 would follow it unless told not to).
void TestMyHttp::redirectIsAnAnswer()
{
    QFETCH(QByteArray, location);
    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([&location](const LoopHttpServer::Request &) {
        Response moved = Response::text("moved", 302);
        moved.extraHeaders.append({"Location", location});
        return moved;
    });

    MYHTTP http;
    QVERIFY(getAndWait(
        http, server.baseUrl() + QStringLiteral("/cgi-bin/ENCODER?SERIAL_HEX=8101040722FF")));
    QCOMPARE(http.error, int(QNetworkReply::NoError));
    QCOMPARE(http.data, QByteArray("moved"));
    QTest::qWait(50); // a follow would go out at once
    QCOMPARE(server.requestLines(),
             QStringList{QStringLiteral("GET /cgi-bin/ENCODER?SERIAL_HEX=8101040722FF HTTP/1.1")});
    VERIFY_REPLIES_RELEASED(http);
}

void TestMyHttp::oneRequestAtATime_data()
{
    QTest::addColumn<bool>("abandoned");
    QTest::newRow("the first answered") << false;
    QTest::newRow("the first abandoned") << true;
}

// While one request waits for its answer no second one is sent; once it has
// ended (or was given up, which says nothing) the next one goes.
void TestMyHttp::oneRequestAtATime()
{
    QFETCH(bool, abandoned);
    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([](const LoopHttpServer::Request &request) {
        return request.path() == "/first" ? Response::hold() : Response::text(request.path());
    });

    MYHTTP http;
    QSignalSpy returned(&http, &MYHTTP::returned);
    QVERIFY(http.get(server.baseUrl() + QStringLiteral("/first")));
    QTRY_COMPARE(server.heldCount(), 1);
    QVERIFY(!http.get(server.baseUrl() + QStringLiteral("/second")));
    if (abandoned) {
        http.abandon();
        QTRY_COMPARE(server.connectionCount(), 0);
    } else {
        QVERIFY(server.answerHeld(Response::text("first")));
        QVERIFY(returned.wait());
        QCOMPARE(http.data, QByteArray("first"));
    }
    QCOMPARE(returned.count(), abandoned ? 0 : 1);
    QVERIFY(!http.isWaiting());

    QVERIFY(getAndWait(http, server.baseUrl() + QStringLiteral("/second")));
    QCOMPARE(http.data, QByteArray("/second"));
    QCOMPARE(server.requestLines(),
             (QStringList{QStringLiteral("GET /first HTTP/1.1"),
                          QStringLiteral("GET /second HTTP/1.1")}));
    VERIFY_REPLIES_RELEASED(http);
}

QTEST_GUILESS_MAIN(TestMyHttp)
#include "tst_myhttp.moc"

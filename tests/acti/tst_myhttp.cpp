// The synchronous HTTP request object against a real HTTP server on loopback.
#include "loophttpserver.h"
#include "myhttp.h"
#include "stallwatch.h"
#include "testsettings.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using Response = LoopHttpServer::Response;

// Every reply is released once its get() has returned (or, without a
// time-out, once it has finished).
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
    void nonPositiveTimeoutReturnsAtOnce_data();
    void nonPositiveTimeoutReturnsAtOnce();
    void oversizedBodyIsRefused_data();
    void oversizedBodyIsRefused();
    void oversizedHeadIsRefused_data();
    void oversizedHeadIsRefused();
    void closingEncoderGetsEachRequestOnce();
    void nestedRequestsKeepTheirOwnDeadlines_data();
    void nestedRequestsKeepTheirOwnDeadlines();
    void overlappingRequestsKeepTheirOwnReplies_data();
    void overlappingRequestsKeepTheirOwnReplies();
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

    QVERIFY(http.get(url).isEmpty());
    QVERIFY(http.get(url, 0).isEmpty());
    QTest::qWait(20);
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
    QCOMPARE(http.get(server.baseUrl() + QStringLiteral("/good")), QByteArray("first body"));
    QCOMPARE(http.error, int(QNetworkReply::NoError));
    QCOMPARE(http.data, QByteArray("first body"));
    QCOMPARE(finished.count(), 1);
    QCOMPARE(finished.at(0).at(0).toByteArray(), QByteArray("first body"));

    QTest::ignoreMessage(QtDebugMsg, QRegularExpression(QStringLiteral("^myHTTP\\(\\) ")));
    QVERIFY(http.get(failingUrl).isEmpty());
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

    // Events keep flowing while the caller waits: the window stays live.
    bool delivered = false;
    QTimer::singleShot(50, this, [&delivered] { delivered = true; });

    MYHTTP http;
    QTest::ignoreMessage(QtDebugMsg, "myHttp() - timeout: QNetworkReply::TimeoutError");
    QVERIFY(http.get(server.baseUrl() + QStringLiteral("/cgi-bin/system")).isEmpty());
    QCOMPARE(http.error, int(QNetworkReply::TimeoutError));
    QVERIFY(http.data.isEmpty());
    QVERIFY(delivered);
    QCOMPARE(server.requestLines(), QStringList{QStringLiteral("GET /cgi-bin/system HTTP/1.1")});
    // The reply was aborted: the encoder sees its connection go.
    QTRY_COMPARE(server.connectionCount(), 0);
    VERIFY_REPLIES_RELEASED(http);
}

void TestMyHttp::nonPositiveTimeoutReturnsAtOnce_data()
{
    QTest::addColumn<int>("timeoutMs");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -1;
}

void TestMyHttp::nonPositiveTimeoutReturnsAtOnce()
{
    QFETCH(int, timeoutMs);
    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([](const LoopHttpServer::Request &) { return Response::text("later"); });

    MYHTTP http;
    http.data = "stale";
    QSignalSpy finished(&http, &MYHTTP::finished);
    QVERIFY(http.get(server.baseUrl() + QStringLiteral("/async"), timeoutMs).isEmpty());
    QVERIFY(http.data.isEmpty());
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
    if (!accepted) {
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral("^myHTTP\\(\\) - reply larger than")));
        QTest::ignoreMessage(QtDebugMsg, "myHTTP() QNetworkReply::UnknownContentError");
    }
    const QByteArray body = http.get(server.baseUrl() + QStringLiteral("/big"));

    if (accepted) {
        QCOMPARE(qint64(body.size()), size);
        QCOMPARE(http.error, int(QNetworkReply::NoError));
        QCOMPARE(finished.count(), 1);
    } else {
        QVERIFY(body.isEmpty());
        QVERIFY(http.data.isEmpty());
        QCOMPARE(http.error, int(MYHTTP::tooLargeError));
        QCOMPARE(finished.count(), 0);
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
        QTest::ignoreMessage(QtWarningMsg,
                             QRegularExpression(QStringLiteral("^myHTTP\\(\\) - reply with \\d+ "
                                                               "header lines")));
        QTest::ignoreMessage(QtDebugMsg, "myHTTP() QNetworkReply::ProtocolFailure");
    }
    StallWatch stalls;
    const QByteArray body = http.get(server.baseUrl() + QStringLiteral("/head"));
    QCOMPARE(body, accepted ? QByteArray("OK:") : QByteArray());
    QCOMPARE(http.error, accepted ? int(QNetworkReply::NoError) : int(MYHTTP::headRefusedError));
    QVERIFY2(stalls.longestMs() < stallBoundMs, qPrintable(QString::number(stalls.longestMs())));
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
        QCOMPARE(http.get(server.baseUrl() + QStringLiteral("/cgi-bin/ENCODER?") + query),
                 QByteArray("OK: ") + query.toLatin1());
        expected << QStringLiteral("GET /cgi-bin/ENCODER?%1 HTTP/1.1").arg(query);
    }
    QCOMPARE(server.requestLines(), expected);
    VERIFY_REPLIES_RELEASED(http);
}

void TestMyHttp::nestedRequestsKeepTheirOwnDeadlines_data()
{
    QTest::addColumn<int>("outerDelayMs"); // -1: never answered
    QTest::addColumn<int>("outerTimeoutMs");
    QTest::addColumn<int>("innerDelayMs");
    QTest::addColumn<int>("innerTimeoutMs");
    QTest::addColumn<int>("outerError");
    QTest::addColumn<int>("innerError");

    const int ok = QNetworkReply::NoError;
    const int late = QNetworkReply::TimeoutError;
    QTest::newRow("outer answered in time, inner silent past the outer's deadline")
        << 150 << 400 << -1 << 700 << ok << late;
    QTest::newRow("outer answered after its deadline, while the inner waits")
        << 550 << 400 << -1 << 700 << late << late;
    QTest::newRow("inner answered, outer silent") << -1 << 400 << 100 << 700 << late << ok;
    QTest::newRow("inner ends first, outer answered later") << 300 << 600 << 50 << 700 << ok << ok;
}

void TestMyHttp::nestedRequestsKeepTheirOwnDeadlines()
{
    QFETCH(int, outerDelayMs);
    QFETCH(int, outerTimeoutMs);
    QFETCH(int, innerDelayMs);
    QFETCH(int, innerTimeoutMs);
    QFETCH(int, outerError);
    QFETCH(int, innerError);

    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([&](const LoopHttpServer::Request &request) {
        const bool outer = request.path() == "/outer";
        const int delay = outer ? outerDelayMs : innerDelayMs;
        if (delay < 0)
            return Response::hold();
        Response answer = Response::text(request.path());
        answer.delayMs = delay;
        return answer;
    });

    MYHTTP http;
    QElapsedTimer clock;
    QByteArray innerResult = "not run";
    int innerResultError = -1;
    qint64 innerReturnedMs = -1;
    // A key press during the outer wait starts the inner request.
    QTimer::singleShot(20, this, [&] {
        const qint64 startedMs = clock.elapsed();
        innerResult = http.get(server.baseUrl() + QStringLiteral("/inner"), innerTimeoutMs);
        innerResultError = http.error;
        innerReturnedMs = clock.elapsed() - startedMs;
    });

    clock.start();
    const QByteArray outerResult
        = http.get(server.baseUrl() + QStringLiteral("/outer"), outerTimeoutMs);

    QCOMPARE(http.error, outerError);
    QCOMPARE(outerResult,
             outerError == QNetworkReply::NoError ? QByteArray("/outer") : QByteArray());
    QCOMPARE(innerResultError, innerError);
    QCOMPARE(innerResult,
             innerError == QNetworkReply::NoError ? QByteArray("/inner") : QByteArray());
    // Neither request ended the other's wait early.
    if (innerError == QNetworkReply::TimeoutError)
        QVERIFY2(innerReturnedMs >= innerTimeoutMs - 5,
                 qPrintable(QString::number(innerReturnedMs)));
    VERIFY_REPLIES_RELEASED(http);
}

void TestMyHttp::overlappingRequestsKeepTheirOwnReplies_data()
{
    QTest::addColumn<Response>("outerAnswer");
    QTest::addColumn<Response>("innerAnswer");
    QTest::addColumn<QByteArray>("outerBody");
    QTest::addColumn<int>("outerError");
    QTest::addColumn<QByteArray>("innerBody");
    QTest::addColumn<int>("innerError");

    const int ok = QNetworkReply::NoError;
    const int missing = QNetworkReply::ContentNotFoundError;
    QTest::newRow("both answered") << Response::text("outer") << Response::text("inner")
                                   << QByteArray("outer") << ok << QByteArray("inner") << ok;
    QTest::newRow("inner fails") << Response::text("outer") << Response::text("gone", 404)
                                 << QByteArray("outer") << ok << QByteArray() << missing;
    QTest::newRow("outer fails") << Response::text("gone", 404) << Response::text("inner")
                                 << QByteArray() << missing << QByteArray("inner") << ok;
}

void TestMyHttp::overlappingRequestsKeepTheirOwnReplies()
{
    QFETCH(Response, outerAnswer);
    QFETCH(Response, innerAnswer);
    QFETCH(QByteArray, outerBody);
    QFETCH(int, outerError);
    QFETCH(QByteArray, innerBody);
    QFETCH(int, innerError);

    // The outer request is held by the server until the inner one, started
    // from inside the outer request's wait, has returned.
    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([&](const LoopHttpServer::Request &request) {
        return request.path() == "/outer" ? Response::hold() : innerAnswer;
    });

    MYHTTP http;
    QByteArray innerResult = "not run";
    int innerResultError = -1;
    connect(&server, &LoopHttpServer::requestReceived, this,
            [&](const LoopHttpServer::Request &request) {
                if (request.path() != "/outer")
                    return;
                QTimer::singleShot(0, this, [&] {
                    innerResult = http.get(server.baseUrl() + QStringLiteral("/inner"));
                    innerResultError = http.error;
                    QVERIFY(server.answerHeld(outerAnswer));
                });
            });

    if (innerError != QNetworkReply::NoError || outerError != QNetworkReply::NoError)
        QTest::ignoreMessage(QtDebugMsg, "myHTTP() QNetworkReply::ContentNotFoundError");
    const QByteArray outerResult = http.get(server.baseUrl() + QStringLiteral("/outer"));

    QCOMPARE(innerResult, innerBody);
    QCOMPARE(innerResultError, innerError);
    QCOMPARE(outerResult, outerBody);
    // The outer get returned last: the object describes its request.
    QCOMPARE(http.error, outerError);
    QCOMPARE(http.data, outerBody);
    QCOMPARE(server.requestLines(),
             (QStringList{QStringLiteral("GET /outer HTTP/1.1"),
                          QStringLiteral("GET /inner HTTP/1.1")}));
    VERIFY_REPLIES_RELEASED(http);
}

QTEST_GUILESS_MAIN(TestMyHttp)
#include "tst_myhttp.moc"

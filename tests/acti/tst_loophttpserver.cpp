// The loopback HTTP server that stands in for the encoder, driven by a raw
// TCP client so that framing and connection handling are seen byte for byte.
#include "loophttpserver.h"

#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

using Request = LoopHttpServer::Request;
using Response = LoopHttpServer::Response;
using QueryItems = QList<QPair<QString, QString>>;

namespace {

class Client
{
public:
    bool connectTo(const LoopHttpServer &server)
    {
        socket.connectToHost(server.address(), server.port());
        return QTest::qWaitFor(
            [this] { return socket.state() == QAbstractSocket::ConnectedState; });
    }

    void send(const QByteArray &bytes) { socket.write(bytes); }

    // The next complete response framed by its Content-Length (head and
    // body), or an empty array when none arrives.
    QByteArray nextResponse()
    {
        int length = -1;
        const bool complete = QTest::qWaitFor([this, &length] {
            buffer += socket.readAll();
            const int headEnd = buffer.indexOf("\r\n\r\n");
            if (headEnd < 0)
                return false;
            const QByteArray head = buffer.left(headEnd).toLower();
            const int field = head.indexOf("content-length:");
            const int bodyLength = field < 0
                ? 0
                : head.mid(field + 15, head.indexOf('\r', field) - field - 15).trimmed().toInt();
            length = headEnd + 4 + bodyLength;
            return buffer.size() >= length;
        });
        if (!complete)
            return QByteArray();
        const QByteArray response = buffer.left(length);
        buffer.remove(0, length);
        return response;
    }

    // Everything until the server closes the connection; null when it
    // keeps the connection open.
    QByteArray untilClosed()
    {
        const bool closed = QTest::qWaitFor([this] {
            buffer += socket.readAll();
            return socket.state() == QAbstractSocket::UnconnectedState;
        });
        if (!closed)
            return QByteArray();
        buffer += socket.readAll();
        return buffer.isNull() ? QByteArray("") : buffer;
    }

    QTcpSocket socket;
    QByteArray buffer;
};

Response echoPath(const Request &request)
{
    return Response::text("path " + request.path());
}

} // namespace

class TestLoopHttpServer : public QObject
{
    Q_OBJECT

private slots:
    void keepAliveServesSeveralRequests();
    void connectionEnds_data();
    void connectionEnds();
    void delayedAndHeldAnswers();
    void queryDecoding_data();
    void queryDecoding();
    void listensOnLoopbackOnly();
};

void TestLoopHttpServer::keepAliveServesSeveralRequests()
{
    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler(echoPath);
    QSignalSpy announced(&server, &LoopHttpServer::requestReceived);

    Client client;
    QVERIFY(client.connectTo(server));
    client.send("GET /one?A=1 HTTP/1.1\r\nHost: x\r\n\r\n");
    QCOMPARE(client.nextResponse(),
             QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                        "Content-Length: 9\r\nConnection: keep-alive\r\n\r\n"
                        "path /one"));
    client.send("GET /two HTTP/1.1\r\nHost: x\r\n\r\n");
    QVERIFY(client.nextResponse().endsWith("\r\n\r\npath /two"));

    QCOMPARE(server.requestLines(),
             (QStringList{QStringLiteral("GET /one?A=1 HTTP/1.1"),
                          QStringLiteral("GET /two HTTP/1.1")}));
    QCOMPARE(announced.count(), 2);
    QCOMPARE(announced.at(0).at(0).value<Request>().header("host"), QByteArray("x"));
    QCOMPARE(server.connectionCount(), 1);
}

void TestLoopHttpServer::connectionEnds_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<Response>("answer");
    QTest::addColumn<QByteArray>("received");

    const QByteArray get11 = "GET /x HTTP/1.1\r\n\r\n";
    QTest::newRow("HTTP/1.0") << QByteArray("GET /x HTTP/1.0\r\n\r\n") << Response::text("bye")
                              << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n"
                                            "Content-Length: 3\r\nConnection: close\r\n\r\nbye");
    QTest::newRow("Connection: close")
        << QByteArray("GET /x HTTP/1.1\r\nConnection: close\r\n\r\n") << Response::text("bye", 404)
        << QByteArray("HTTP/1.1 404 Not Found\r\nContent-Type: text/plain\r\n"
                      "Content-Length: 3\r\nConnection: close\r\n\r\nbye");
    Response unframed = Response::xml("<a/>");
    unframed.sendContentLength = false;
    QTest::newRow("body ended by closing")
        << get11 << unframed
        << QByteArray("HTTP/1.1 200 OK\r\nContent-Type: text/xml\r\n"
                      "Connection: close\r\n\r\n<a/>");
    QTest::newRow("closed without answer") << get11 << Response::close() << QByteArray("");
    QTest::newRow("malformed request")
        << QByteArray("HELLO\r\n\r\n") << Response::text("unused")
        << QByteArray("HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain\r\n"
                      "Content-Length: 18\r\nConnection: close\r\n\r\n"
                      "malformed request\n");
    // A body is refused from its announced length, before any of it is
    // held: 300 MB would otherwise be buffered.
    QTest::newRow("body larger than a head")
        << QByteArray("POST /p HTTP/1.1\r\nContent-Length: 300000000\r\n\r\nxxxx")
        << Response::text("unused")
        << QByteArray("HTTP/1.1 413 Payload Too Large\r\nContent-Type: text/plain\r\n"
                      "Content-Length: 23\r\nConnection: close\r\n\r\n"
                      "request body too large\n");
    QTest::newRow("body length not a number")
        << QByteArray("POST /p HTTP/1.1\r\nContent-Length: -5\r\n\r\n") << Response::text("unused")
        << QByteArray("HTTP/1.1 400 Bad Request\r\nContent-Type: text/plain\r\n"
                      "Content-Length: 18\r\nConnection: close\r\n\r\n"
                      "malformed request\n");
}

void TestLoopHttpServer::connectionEnds()
{
    QFETCH(QByteArray, request);
    QFETCH(Response, answer);
    QFETCH(QByteArray, received);

    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([&answer](const Request &) { return answer; });
    Client client;
    QVERIFY(client.connectTo(server));
    client.send(request);
    QCOMPARE(client.untilClosed(), received);
    QTRY_COMPARE(server.connectionCount(), 0);
}

void TestLoopHttpServer::delayedAndHeldAnswers()
{
    LoopHttpServer server;
    QVERIFY(server.listen());
    server.setHandler([](const Request &request) {
        if (request.path() == "/held")
            return Response::hold();
        Response later = Response::text("later");
        later.delayMs = 50;
        return later;
    });

    Client client;
    QVERIFY(client.connectTo(server));
    client.send("GET /delayed HTTP/1.1\r\n\r\n");
    QVERIFY(client.nextResponse().endsWith("\r\n\r\nlater"));

    client.send("GET /held HTTP/1.1\r\n\r\n");
    QTRY_COMPARE(server.heldCount(), 1);
    QTest::qWait(50);
    QVERIFY(client.socket.bytesAvailable() == 0 && client.buffer.isEmpty());
    QVERIFY(server.answerHeld(Response::text("released")));
    QCOMPARE(server.heldCount(), 0);
    QVERIFY(client.nextResponse().endsWith("\r\n\r\nreleased"));
    QVERIFY(!server.answerHeld(Response::text("nobody waits")));

    // A request held when its client goes away is forgotten.
    client.send("GET /held HTTP/1.1\r\n\r\n");
    QTRY_COMPARE(server.heldCount(), 1);
    client.socket.abort();
    QTRY_COMPARE(server.heldCount(), 0);
}

void TestLoopHttpServer::queryDecoding_data()
{
    QTest::addColumn<QByteArray>("target");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QueryItems>("items");

    QTest::newRow("no query") << QByteArray("/cgi-bin/system") << QByteArray("/cgi-bin/system")
                              << QueryItems();
    QTest::newRow("flag and empty value")
        << QByteArray("/cgi-bin/system?USER=Admin&SYSTEM_INFO_XML&PWD=")
        << QByteArray("/cgi-bin/system")
        << QueryItems{{"USER", "Admin"}, {"SYSTEM_INFO_XML", QString()}, {"PWD", ""}};
    QTest::newRow("percent-encoded, plus kept")
        << QByteArray("/p?USER=a%26b&PWD=%C3%9Cn+x%2B&%3D=1") << QByteArray("/p")
        << QueryItems{{"USER", "a&b"}, {"PWD", QString::fromUtf8("Ün+x+")}, {"=", "1"}};
    QTest::newRow("empty items skipped")
        << QByteArray("/p?&&A=1&&") << QByteArray("/p") << QueryItems{{"A", "1"}};
}

void TestLoopHttpServer::queryDecoding()
{
    QFETCH(QByteArray, target);
    QFETCH(QByteArray, path);
    QFETCH(QueryItems, items);

    Request request;
    request.target = target;
    QCOMPARE(request.path(), path);
    QCOMPARE(request.queryItems(), items);
    for (const auto &item : items)
        QVERIFY(request.hasQueryItem(item.first));
    QVERIFY(request.queryValue(QStringLiteral("ABSENT")).isNull());
}

void TestLoopHttpServer::listensOnLoopbackOnly()
{
    LoopHttpServer server;
    QTest::ignoreMessage(QtWarningMsg,
                         "LoopHttpServer: refusing to listen on 0.0.0.0, loopback addresses only");
    QVERIFY(!server.listen(QHostAddress(QHostAddress::AnyIPv4)));
    QVERIFY(!server.isListening());
    QVERIFY(server.listen(QHostAddress(QHostAddress::LocalHost)));
    QVERIFY(server.baseUrl().startsWith(QLatin1String("http://127.0.0.1:")));
}

QTEST_GUILESS_MAIN(TestLoopHttpServer)
#include "tst_loophttpserver.moc"

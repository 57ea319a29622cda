// What judging a hostile or large encoder reply costs: time and peak memory
// of ACTIINFO::parseReply on the largest accepted body (1 MiB of XML) and on
// each hostile document (25,000-deep nesting, entity expansion), beside a
// bare QXmlStreamReader pass over the same bytes (the least any reader could
// do); and of a MYHTTP request on a 2000 MB chunked stream from a loopback
// encoder, which must be cut off at the 1 MiB cap. Targets: under 50 ms and
// under 16 MB extra memory per body.
//
// Peak memory is the growth of the process's peak resident set over one run
// (the kernel's peak is reset through /proc/self/clear_refs first). Blocks of
// 64 KiB and more are mapped and unmapped one by one, so that memory freed by
// an earlier run cannot hide what the next one takes.
#include "actiinfo.h"
#include "hostilereplies.h"
#include "loophttpserver.h"
#include "operatormix.h"

#include <QEventLoop>
#include <QFile>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QXmlStreamReader>

#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>

#include <malloc.h>

namespace {

qint64 statusKiB(const char *field)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

// Extra peak resident memory, in MB, of one run of `work`.
double peakExtraMB(const std::function<void()> &work)
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (!clear.open(QIODevice::WriteOnly) || clear.write("5") != 1)
        return -1;
    clear.close();
    const qint64 before = statusKiB("VmRSS:");
    work();
    return double(statusKiB("VmHWM:") - before) / 1024.0;
}

// One request of the request object, waited for by the benchmark's own
// event loop (the request object never waits): the body, or empty.
QByteArray fetched(MYHTTP &http, const QString &url)
{
    QEventLoop ended;
    QObject::connect(&http, &MYHTTP::returned, &ended, &QEventLoop::quit);
    if (!http.get(url))
        return QByteArray();
    ended.exec();
    return http.data;
}

void judge(benchmark::State &state, QByteArray body, bool accepted)
{
    ACTIINFO info;
    bool judged = false;
    // Measured on the first run, before the heap holds anything from earlier ones.
    state.counters["peak_extra_MB"] = peakExtraMB([&] { judged = info.parseReply(body); });
    if (judged != accepted) {
        state.SkipWithError("the reply was not judged as expected");
        return;
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(info.parseReply(body));
    state.counters["body_KB"] = body.size() / 1024.0;
}

// The reference: one pass of a streaming reader over the same bytes.
void streamPass(benchmark::State &state, QByteArray body)
{
    const auto pass = [&body] {
        QXmlStreamReader reader(body);
        int tokens = 0;
        while (!reader.atEnd()) {
            reader.readNext();
            ++tokens;
        }
        return tokens;
    };
    state.counters["peak_extra_MB"] = peakExtraMB([&] { pass(); });
    for (auto _ : state)
        benchmark::DoNotOptimize(pass());
    state.counters["body_KB"] = body.size() / 1024.0;
}

void endlessChunkedStream(benchmark::State &state)
{
    LoopHttpServer server;
    if (!server.listen()) {
        state.SkipWithError("could not listen on 127.0.0.1");
        return;
    }
    LoopHttpServer::Response stream;
    stream.chunked = true;
    stream.fillBytes = 2000LL * 1000 * 1000;
    server.setHandler([&stream](const LoopHttpServer::Request &) { return stream; });
    const QString url = server.baseUrl() + QStringLiteral("/cgi-bin/system");

    MYHTTP http;
    state.counters["peak_extra_MB"] = peakExtraMB([&] { fetched(http, url); });
    for (auto _ : state) {
        if (!fetched(http, url).isEmpty() || http.error != MYHTTP::tooLargeError) {
            state.SkipWithError("the stream was not cut off at the cap");
            break;
        }
    }
}

// What a connection of its own costs a pass-through: MYHTTP's request beside the
// access manager alone reusing one keep-alive connection, same server.
void passThrough(benchmark::State &state, bool reference)
{
    LoopHttpServer server;
    if (!server.listen()) {
        state.SkipWithError("could not listen on 127.0.0.1");
        return;
    }
    server.setHandler([&server](const LoopHttpServer::Request &) {
        server.clearRequests();
        return LoopHttpServer::Response::text("OK: SERIAL_HEX='8101040722FF'");
    });
    const QString url = server.baseUrl()
        + QStringLiteral("/cgi-bin/ENCODER?USER=Admin&PWD=1&SERIAL_HEX=8101040722FF");
    MYHTTP http;
    QNetworkAccessManager manager;
    const auto keptAlive = [&] {
        QNetworkReply *reply = manager.get(QNetworkRequest(QUrl(url)));
        QEventLoop wait;
        QObject::connect(reply, &QNetworkReply::finished, &wait, &QEventLoop::quit);
        if (!reply->isFinished())
            wait.exec();
        const QByteArray body = reply->readAll();
        reply->deleteLater();
        return body;
    };
    for (auto _ : state) {
        const QByteArray body = reference ? keptAlive() : fetched(http, url);
        if (!body.startsWith("OK:")) {
            state.SkipWithError("the encoder did not answer");
            break;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    BenchmarkProcess process(argc, argv);
    if (!process.ok())
        return 1;
    // The refused documents are logged whole; the log is not what is timed.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});

    const struct
    {
        const char *name;
        QByteArray body;
        bool accepted;
    } documents[] = {
        {"1MiB_document", HostileReplies::largeDocument(1024 * 1024), true},
        {"nested_25000_deep", HostileReplies::nestedElements(25000), false},
        {"entity_expansion", HostileReplies::entityExpansion(5, 10), false},
    };
    for (const auto &document : documents) {
        benchmark::RegisterBenchmark((std::string("judge/") + document.name).c_str(), judge,
                                     document.body, document.accepted)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark(
            (std::string("reference_stream_pass/") + document.name).c_str(), streamPass,
            document.body)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::RegisterBenchmark("fetch/chunked_2000MB_capped", endlessChunkedStream)
        ->Unit(benchmark::kMillisecond);

    benchmark::RegisterBenchmark("pass_through/connection_of_its_own", passThrough, false)
        ->Unit(benchmark::kMicrosecond);
    benchmark::RegisterBenchmark("pass_through/reference_keep_alive", passThrough, true)
        ->Unit(benchmark::kMicrosecond);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Any text typed as the encoder address, and any user name and password:
// a parsed address reads back to itself through the text the panel shows,
// and the request URL built from it names that host and keeps the
// credentials in its query.
#include "acticgi.h"
#include "endpoint.h"
#include "fuzzsupport.h"

#include <QUrl>

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication(false);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QStringList fields = fuzzText(data, size).split(QLatin1Char('\n'));
    QHostAddress address;
    quint16 port = 0;
    if (!Endpoint::parse(fields.value(0), &address, &port, ActiCgi::defaultPort))
        return 0;
    fuzzCheck(!address.isNull() && port > 0, "a parsed endpoint is complete");

    QHostAddress again;
    quint16 againPort = 0;
    fuzzCheck(Endpoint::parse(Endpoint::text(address, port, ActiCgi::defaultPort), &again,
                              &againPort, ActiCgi::defaultPort)
                  && again == address && againPort == port,
              "the shown address parses back to itself");

    // A scoped IPv6 address has no URL form the request can use.
    if (!address.scopeId().isEmpty())
        return 0;
    const QString credentials = ActiCgi::credentialsText(fields.value(1), fields.value(2));
    const QUrl url(ActiCgi::cgiUrl(address, port, QStringLiteral("encoder"), credentials,
                                   QStringLiteral("SERIAL_HEX=8101040700FF")),
                   QUrl::StrictMode);
    fuzzCheck(url.isValid() && QHostAddress(url.host()) == address
                  && url.port(ActiCgi::defaultPort) == port,
              "the request URL names the encoder");
    fuzzCheck(url.query(QUrl::FullyEncoded).startsWith(credentials),
              "the credentials stay in the query");
    return 0;
}

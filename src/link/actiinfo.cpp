#include "actiinfo.h"

#include "acticgi.h"
#include "actixmlhandler.h"
#include "endpoint.h"
#include "logcategories.h"

#include <iterator>

namespace {

// How the value of an element is kept.
enum class Kept {
    Whole,      // the value as it is
    Pieces,     // every piece, in order
    FirstPiece, // the first piece
    FirstRate,  // the first piece once the "MODEn," prefixes are gone
};

struct Element
{
    const char *name;
    Kept kept;
    QString ACTIINFO::*text;     // for Whole and the first-piece kinds
    QStringList ACTIINFO::*list; // for Pieces
};

// The elements of the encoder's system information, each carrying its value
// in its first attribute.
const Element systemInfoElements[] = {
    {"MODEL_NUMBER", Kept::Whole, &ACTIINFO::modelNumber, nullptr},
    {"UNIT_TYPE", Kept::Whole, &ACTIINFO::unitType, nullptr},
    {"DI", Kept::Whole, &ACTIINFO::digitalInputs, nullptr},
    {"DO", Kept::Whole, &ACTIINFO::digitalOutputs, nullptr},
    {"SERIAL_PORT", Kept::Whole, &ACTIINFO::encoderSerialPort, nullptr},
    {"PLATFORM", Kept::Whole, &ACTIINFO::platform, nullptr},
    {"CHANNEL", Kept::Whole, &ACTIINFO::channel, nullptr},
    {"VIDEO_RESOLUTION_CAP", Kept::Pieces, nullptr, &ACTIINFO::videoResolutionCaps},
    {"VIDEO_FPS_CAP", Kept::Pieces, nullptr, &ACTIINFO::videoFpsCaps},
    {"VIDEO_BITRATE_CAP", Kept::Pieces, nullptr, &ACTIINFO::videoBitrateCaps},
    {"ENCODER_CAP", Kept::Pieces, nullptr, &ACTIINFO::encoderCaps},
    {"VIDEO_RESOLUTION_CURRENT", Kept::FirstPiece, &ACTIINFO::videoResolutionCurrent, nullptr},
    {"VIDEO_FPS_CURRENT", Kept::FirstRate, &ACTIINFO::videoFpsCurrent, nullptr},
    {"VIDEO_BITRATE_CURRENT", Kept::FirstPiece, &ACTIINFO::videoBitrateCurrent, nullptr},
    {"ENCODER_CURRENT", Kept::FirstPiece, &ACTIINFO::encoderCurrent, nullptr},
    {"STREAMING_METHOD_CURRENT", Kept::Whole, &ACTIINFO::streamingMethodCurrent, nullptr},
    {"PROTOCOL", Kept::Whole, &ACTIINFO::protocol, nullptr},
    {"STREAMING_MODE", Kept::Whole, &ACTIINFO::streamingMode, nullptr},
    {"STREAMING_MODE_CAP", Kept::Pieces, nullptr, &ACTIINFO::streamingModeCaps},
};
static_assert(std::size(systemInfoElements) == 19, "one row per system-information field");

// Commas, semicolons and hyphens separate; empty pieces are dropped and the
// others kept untrimmed.
QStringList pieces(const QString &value)
{
    // Split by hand: a regular expression per element made a large reply
    // cost several times its parse.
    QStringList all;
    int start = 0;
    for (int at = 0; at <= value.size(); ++at) {
        const bool end = at == value.size();
        if (!end) {
            const QChar c = value.at(at);
            if (c != QLatin1Char(',') && c != QLatin1Char(';') && c != QLatin1Char('-'))
                continue;
        }
        if (at > start)
            all.append(value.mid(start, at - start));
        start = at + 1;
    }
    return all;
}

QString firstPiece(const QString &value)
{
    const QStringList all = pieces(value);
    return all.isEmpty() ? QString() : all.first();
}

// "mode2,15;mode3,7" -> "15;7": the encoder prefixes each stream's frame rate
// with its mode.
QString withoutModePrefixes(QString value)
{
    for (const char *prefix : {"MODE1,", "MODE2,", "MODE3,"})
        value.remove(QLatin1String(prefix), Qt::CaseInsensitive);
    return value;
}

void store(ACTIINFO &info, const Element &element, const QString &value)
{
    switch (element.kept) {
    case Kept::Whole:
        info.*element.text = value;
        break;
    case Kept::Pieces:
        info.*element.list = pieces(value);
        break;
    case Kept::FirstPiece:
        info.*element.text = firstPiece(value);
        break;
    case Kept::FirstRate:
        info.*element.text = firstPiece(withoutModePrefixes(value));
        break;
    }
}

} // namespace

ACTIINFO::ACTIINFO(QObject *parent)
    : QObject(parent)
{
    clearSystemInfo();
    connect(&http, &MYHTTP::returned, this, [this] { emit answered(parseReply(http.data)); });
}

void ACTIINFO::clearSystemInfo()
{
    valid = false;
    for (const Element &element : systemInfoElements) {
        if (element.list)
            (this->*element.list).clear();
        else
            (this->*element.text).clear();
    }
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

bool ACTIINFO::ACTIXMLHANDLER::startElement(const QString &, const QString &localName,
                                            const QString &, const QXmlAttributes &atts)
{
    if (!info || ++depth > maxDepth)
        return false;

    const QString name = localName.toUpper().trimmed();
    for (const Element &element : systemInfoElements) {
        if (name == QLatin1String(element.name)) {
            const QString value = atts.count() > 0 ? atts.value(0) : QString();
            store(*info, element, value);
            break;
        }
    }
    return true;
}

bool ACTIINFO::ACTIXMLHANDLER::endElement(const QString &, const QString &, const QString &)
{
    --depth;
    return true;
}

bool ACTIINFO::parseReply(const QByteArray &body)
{
    lastReply = body;
    const QString text = QString::fromUtf8(body);

    if (text.contains(QLatin1String("ERROR"), Qt::CaseInsensitive)) {
        if (text.contains(QLatin1String("XML"), Qt::CaseInsensitive))
            valid = false;
        qCWarning(lcActi).noquote() << "ACTi error:" << text;
        return false;
    }

    if (body.contains("OK:"))
        return true;

    if (!text.contains(QLatin1String("XML"), Qt::CaseInsensitive))
        return false;

    // The system information needs no document type. A declared one could
    // define entities that expand a small body into gigabytes, so any body
    // declaring one is refused unread.
    const bool declaresType = text.contains(QLatin1String("<!DOCTYPE"), Qt::CaseInsensitive)
        || text.contains(QLatin1String("<!ENTITY"), Qt::CaseInsensitive);

    ACTIXMLHANDLER handler;
    handler.info = this;
    QXmlInputSource source;
    source.setData(body);
    QXmlSimpleReader reader;
    reader.setContentHandler(&handler);
    if (declaresType || !reader.parse(&source)) {
        if (declaresType)
            qCDebug(lcActi).noquote() << "XML reply declares a document type, refused.";
        else if (handler.depth > ACTIXMLHANDLER::maxDepth)
            qCDebug(lcActi).noquote() << "XML reply nested deeper than" << ACTIXMLHANDLER::maxDepth
                                      << "elements, refused.";
        qCWarning(lcActi).noquote() << "XML parser failed:";
        qCWarning(lcActi).noquote() << text;
        return false;
    }

    qCDebug(lcActi).noquote() << "HTTP XML ok.";
    valid = true;
    return true;
}

#pragma GCC diagnostic pop

QString ACTIINFO::credentials() const
{
    return ActiCgi::credentialsText(user, password);
}

bool ACTIINFO::hasAddress() const
{
    return !address.isNull() && address != QHostAddress(QHostAddress::AnyIPv4)
        && address != QHostAddress(QHostAddress::AnyIPv6);
}

bool ACTIINFO::cgiRequest(const QString &command, const QString &parameters)
{
    if (!hasAddress()) {
        qCDebug(lcActi).noquote() << "ACTi: no encoder address, nothing sent:" << command;
        return false;
    }
    return httpRequest(ActiCgi::cgiUrl(address, port, command, credentials(), parameters));
}

bool ACTIINFO::httpRequest(const QString &url)
{
    return http.get(url);
}

bool ACTIINFO::readSystemInfo()
{
    clearSystemInfo();
    return cgiRequest(QStringLiteral("system"), credentials() + QLatin1String("&SYSTEM_INFO_XML"));
}

void ACTIINFO::resetLink()
{
    http.abandon();
    address.clear();
    port = ActiCgi::defaultPort;
    user.clear();
    password.clear();
    clearSystemInfo();
}

bool ACTIINFO::setEndpoint(const QString &text)
{
    if (Endpoint::parse(text, &address, &port, ActiCgi::defaultPort))
        return true;
    address.clear();
    port = ActiCgi::defaultPort;
    return false;
}

QString ACTIINFO::endpointText() const
{
    return Endpoint::text(address, port, ActiCgi::defaultPort);
}

#include "encoderfront.h"

#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <iterator>

const char *const EncoderFront::kDefaultUser = "Admin";
const char *const EncoderFront::kDefaultPassword = "418275";
const char *const EncoderFront::kFactorySerialSetting = "8N1,9600";

namespace {

const QString kCgiPrefix = QStringLiteral("/cgi-bin/");
const QString kSystemCgi = QStringLiteral("system");
const QString kEncoderCgi = QStringLiteral("ENCODER");

const QString kUserKey = QStringLiteral("USER");
const QString kPasswordKey = QStringLiteral("PWD");
const QString kSystemInfoXml = QStringLiteral("SYSTEM_INFO_XML");
const QString kSerialSetting = QStringLiteral("SERIAL_SETTING");
const QString kSerialHex = QStringLiteral("SERIAL_HEX");

// What this encoder says about itself. Lists are separated by commas;
// VIDEO_FPS_CURRENT carries the mode prefix the device reports.
const char *const kSystemInfo[][2] = {
    {"MODEL_NUMBER", "SIM-2100"},
    {"UNIT_TYPE", "VIDEO_ENCODER"},
    {"DI", "1"},
    {"DO", "1"},
    {"SERIAL_PORT", "1"},
    {"PLATFORM", "tarndeck-sim"},
    {"CHANNEL", "1"},
    {"VIDEO_RESOLUTION_CAP", "N720x480,N352x240,N160x112"},
    {"VIDEO_FPS_CAP", "1,3,5,7,10,15,30"},
    {"VIDEO_BITRATE_CAP", "64K,128K,256K,512K,768K,1M,1.5M,2M,3M"},
    {"ENCODER_CAP", "H264,MPEG4,MJPEG"},
    {"VIDEO_RESOLUTION_CURRENT", "N720x480"},
    {"VIDEO_FPS_CURRENT", "MODE1,30"},
    {"VIDEO_BITRATE_CURRENT", "2M"},
    {"ENCODER_CURRENT", "H264"},
    {"STREAMING_METHOD_CURRENT", "TCP"},
    {"PROTOCOL", "RTSP"},
    {"STREAMING_MODE", "TCP"},
    {"STREAMING_MODE_CAP", "TCP,UDP,MULTICAST"},
};

const int kBaudRates[] = {1200, 2400, 4800, 9600, 19200, 38400, 57600, 115200};

QByteArray quoted(const QString &key, const QString &value)
{
    return (key + QStringLiteral("='") + value + QLatin1Char('\'')).toUtf8();
}

} // namespace

EncoderFront::EncoderFront(SerialOut serialOut, Log log)
    : serialOut(std::move(serialOut))
    , log(std::move(log))
    , userName(QString::fromLatin1(kDefaultUser))
    , pass(QString::fromLatin1(kDefaultPassword))
    , setting(QString::fromLatin1(kFactorySerialSetting))
{
}

void EncoderFront::setCredentials(const QString &user, const QString &password)
{
    userName = user;
    pass = password;
}

QByteArray EncoderFront::systemInfoXml()
{
    QByteArray xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<SYSTEM_INFO>\n";
    for (const auto &fact : kSystemInfo)
        xml += QByteArray("  <") + fact[0] + " VALUE=\"" + fact[1] + "\"/>\n";
    return xml + "</SYSTEM_INFO>\n";
}

QString EncoderFront::normalisedSerialSetting(const QString &text)
{
    static const QRegularExpression shape(QStringLiteral("^([5-8])([NOEMS])([123]),(\\d{1,6})$"));
    const QString upper = text.trimmed().toUpper();
    const QRegularExpressionMatch match = shape.match(upper);
    if (!match.hasMatch())
        return QString();
    const int baud = match.captured(4).toInt();
    if (std::find(std::begin(kBaudRates), std::end(kBaudRates), baud) == std::end(kBaudRates))
        return QString();
    return match.captured(1) + match.captured(2) + match.captured(3) + QLatin1Char(',')
        + QString::number(baud);
}

bool EncoderFront::validHex(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    return hex.match(text).hasMatch();
}

LoopHttpServer::Response EncoderFront::answer(const LoopHttpServer::Request &request)
{
    const QString path = LoopHttpServer::percentDecoded(request.path());
    const QString cgi = path.mid(kCgiPrefix.size());
    if (!path.startsWith(kCgiPrefix) || (cgi != kSystemCgi && cgi != kEncoderCgi)) {
        log(QStringLiteral("encoder: refused %1: no such CGI").arg(path));
        return LoopHttpServer::Response::text("ERROR: unknown CGI '" + cgi.toUtf8() + "'");
    }

    const QStringList users = request.queryValues(kUserKey);
    const QStringList passwords = request.queryValues(kPasswordKey);
    const auto all = [](const QStringList &given, const QString &wanted) {
        return !given.isEmpty() && given.count(wanted) == given.size();
    };
    if (!all(users, userName) || !all(passwords, pass)) {
        log(QStringLiteral("encoder: refused %1: wrong user or password").arg(path));
        return LoopHttpServer::Response::text("ERROR: authentication failed");
    }

    QList<QByteArray> lines;
    for (const auto &item : request.queryItems()) {
        if (item.first != kUserKey && item.first != kPasswordKey)
            lines << command(cgi, item.first, item.second);
    }
    if (lines.isEmpty())
        return LoopHttpServer::Response::text("ERROR: no command");
    if (lines.size() == 1 && lines.first().startsWith("<?xml"))
        return LoopHttpServer::Response::xml(lines.first());
    return LoopHttpServer::Response::text(lines.join('\n'));
}

// The answer line of one command; value is null for a read ("&KEY").
QByteArray EncoderFront::command(const QString &cgi, const QString &key, const QString &value)
{
    if (cgi == kSystemCgi && key == kSystemInfoXml) {
        log(QStringLiteral("encoder: system information read"));
        return systemInfoXml();
    }
    if (cgi == kEncoderCgi && key == kSerialSetting) {
        if (value.isNull())
            return quoted(key, setting);
        const QString wanted = normalisedSerialSetting(value);
        if (wanted.isEmpty()) {
            log(QStringLiteral("encoder: refused serial setting '%1'").arg(value));
            return "ERROR: invalid parameters";
        }
        log(QStringLiteral("encoder: serial port %1 -> %2").arg(setting, wanted));
        setting = wanted;
        return "OK: " + quoted(key, value);
    }
    if (cgi == kEncoderCgi && key == kSerialHex) {
        if (!validHex(value)) {
            log(QStringLiteral("encoder: refused serial hex '%1'").arg(value));
            return "ERROR: invalid parameters";
        }
        serialOut(QByteArray::fromHex(value.toLatin1()));
        return "OK: " + quoted(key, value);
    }
    log(QStringLiteral("encoder: refused %1 on /cgi-bin/%2: no such command").arg(key, cgi));
    return "ERROR: unknown command " + key.toUtf8();
}

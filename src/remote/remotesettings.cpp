#include "remotesettings.h"

#include "remotelog.h"

#include <QSettings>

#include <cmath>

namespace {

constexpr int kMinLeaseMs = 500;
constexpr int kMaxLeaseMs = 600000;
constexpr int kMinTokenLength = 8;

bool isLoopback(const QHostAddress &address)
{
    bool mapped = false;
    const QHostAddress v4(address.toIPv4Address(&mapped));
    return address.isLoopback() || (mapped && v4.isLoopback());
}

class Reader
{
public:
    Reader(const QSettings &settings, QStringList *problems)
        : settings(settings)
        , problems(problems)
    {
    }

    bool has(const char *key) const { return settings.contains(QLatin1String(key)); }
    QVariant value(const char *key) const { return settings.value(QLatin1String(key)); }

    void problem(const QString &text)
    {
        qCWarning(lcRemote).noquote() << "Settings:" << text;
        if (problems)
            problems->append(text);
    }

    bool readBool(const char *key, bool fallback)
    {
        if (!has(key))
            return fallback;
        const QString text = value(key).toString().trimmed().toLower();
        if (text == QLatin1String("true") || text == QLatin1String("1"))
            return true;
        if (text == QLatin1String("false") || text == QLatin1String("0"))
            return false;
        problem(QStringLiteral("%1=%2 is neither true nor false: %3 is used")
                    .arg(QLatin1String(key), text, fallback ? "true" : "false"));
        return fallback;
    }

    quint16 readPort(const char *key, quint16 fallback)
    {
        if (!has(key))
            return fallback;
        bool ok = false;
        const int port = value(key).toString().trimmed().toInt(&ok);
        if (ok && port >= 1 && port <= 65535)
            return quint16(port);
        problem(QStringLiteral("%1=%2 is not a port from 1 to 65535: %3 is used")
                    .arg(QLatin1String(key), value(key).toString())
                    .arg(fallback));
        return fallback;
    }

    const QSettings &settings;
    QStringList *problems;
};

// A list key may be stored as a list or as one text with commas.
QStringList entriesOf(const QVariant &value)
{
    QStringList entries;
    const QStringList raw = value.userType() == QMetaType::QStringList
        ? value.toStringList()
        : value.toString().split(QLatin1Char(','));
    for (const QString &entry : raw) {
        if (!entry.trimmed().isEmpty())
            entries.append(entry.trimmed());
    }
    return entries;
}

} // namespace

bool RemoteSettings::listensBeyondLoopback() const
{
    return !isLoopback(listen);
}

bool RemoteSettings::allowsSender(const QHostAddress &sender) const
{
    if (isLoopback(sender))
        return true;
    bool mapped = false;
    const QHostAddress v4(sender.toIPv4Address(&mapped));
    for (const auto &subnet : allow) {
        if (sender.isInSubnet(subnet) || (mapped && v4.isInSubnet(subnet)))
            return true;
    }
    return false;
}

RemoteSettings readRemoteSettings(const QSettings &settings, QStringList *problems)
{
    Reader reader(settings, problems);
    RemoteSettings out;
    out.enabled = reader.readBool("remoteControl", false);

    if (reader.has("remoteListen")) {
        const QString text = reader.value("remoteListen").toString().trimmed();
        QHostAddress address;
        if (text.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0)
            address = QHostAddress(QHostAddress::LocalHost);
        else
            address = QHostAddress(text);
        // "::" listens for IPv4 clients too.
        if (address == QHostAddress(QHostAddress::AnyIPv6))
            address = QHostAddress(QHostAddress::Any);
        if (address.isNull() || address.isMulticast())
            reader.problem(QStringLiteral("remoteListen=%1 is not an address of this computer: "
                                          "remote control listens on 127.0.0.1")
                               .arg(text));
        else
            out.listen = address;
    }

    out.oscPort = reader.readPort("remoteOscPort", RemoteSettings::defaultOscPort);
    out.webSocketPort
        = reader.readPort("remoteWebSocketPort", RemoteSettings::defaultWebSocketPort);
    if (out.oscPort == out.webSocketPort) {
        reader.problem(QStringLiteral("remoteOscPort and remoteWebSocketPort are both %1 (both "
                                      "listen on TCP): ports %2 and %3 are used")
                           .arg(out.oscPort)
                           .arg(RemoteSettings::defaultOscPort)
                           .arg(RemoteSettings::defaultWebSocketPort));
        out.oscPort = RemoteSettings::defaultOscPort;
        out.webSocketPort = RemoteSettings::defaultWebSocketPort;
    }

    const QString token = reader.value("remoteToken").toString();
    if (!token.trimmed().isEmpty() && token.size() < kMinTokenLength)
        reader.problem(QStringLiteral("remoteToken is shorter than %1 characters, too easy to "
                                      "guess: no token is set")
                           .arg(kMinTokenLength));
    else if (!token.trimmed().isEmpty())
        out.token = token;

    for (const QString &entry : entriesOf(reader.value("remoteAllow"))) {
        QPair<QHostAddress, int> subnet;
        if (entry.contains(QLatin1Char('/'))) {
            subnet = QHostAddress::parseSubnet(entry);
        } else {
            const QHostAddress single(entry);
            if (!single.isNull())
                subnet = {single, single.protocol() == QAbstractSocket::IPv6Protocol ? 128 : 32};
        }
        if (subnet.first.isNull())
            reader.problem(QStringLiteral("remoteAllow: %1 is neither an address nor a subnet "
                                          "(192.168.1.0/24): left out")
                               .arg(entry));
        else
            out.allow.append(subnet);
    }

    if (reader.has("remoteLease")) {
        bool ok = false;
        const double seconds = reader.value("remoteLease").toString().trimmed().toDouble(&ok);
        const double ms = seconds * 1000.0;
        if (ok && std::isfinite(ms) && ms >= kMinLeaseMs && ms <= kMaxLeaseMs)
            out.leaseMs = int(std::lround(ms));
        else
            reader.problem(QStringLiteral("remoteLease=%1 is not a number of seconds from %2 to "
                                          "%3: %4 s is used")
                               .arg(reader.value("remoteLease").toString())
                               .arg(kMinLeaseMs / 1000.0)
                               .arg(kMaxLeaseMs / 1000)
                               .arg(RemoteSettings::defaultLeaseMs / 1000));
    }

    if (out.enabled && out.listensBeyondLoopback() && out.token.isEmpty())
        reader.problem(QStringLiteral("remoteListen=%1 reaches beyond this computer but no "
                                      "remoteToken is set: the WebSocket server stays off")
                           .arg(out.listen.toString()));
    return out;
}

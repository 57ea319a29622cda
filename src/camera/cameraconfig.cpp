#include "cameraconfig.h"

namespace {

struct RouteRow
{
    CameraRoute route;
    ViscaIp::Protocol protocol;
    const char *key;
    const char *words;
};

using P = ViscaIp::Protocol;

constexpr RouteRow routeRows[] = {
    {CameraRoute::None, P::Udp, "", "chosen from Connect"},
    {CameraRoute::Serial, P::Udp, "serial", "serial line"},
    {CameraRoute::Encoder, P::Udp, "encoder", "ACTi encoder"},
    {CameraRoute::Network, P::Udp, "udp", "network camera (UDP)"},
    {CameraRoute::Network, P::Tcp, "tcp", "network camera (TCP)"},
};

const RouteRow &rowOf(const CameraConfig &config)
{
    for (const RouteRow &row : routeRows) {
        if (row.route == config.route
            && (row.route != CameraRoute::Network || row.protocol == config.protocol))
            return row;
    }
    return routeRows[0];
}

} // namespace

QString CameraConfig::shownName(int number) const
{
    const QString trimmed = name.trimmed();
    return trimmed.isEmpty() ? QStringLiteral("Camera %1").arg(number) : trimmed;
}

QString CameraConfig::routeKey() const
{
    return QLatin1String(rowOf(*this).key);
}

CameraRoute CameraConfig::routeFromKey(const QString &key, ViscaIp::Protocol *protocol, bool *known)
{
    const QString word = key.trimmed().toLower();
    for (const RouteRow &row : routeRows) {
        if (word != QLatin1String(row.key))
            continue;
        if (known)
            *known = true;
        if (row.route == CameraRoute::Network && protocol)
            *protocol = row.protocol;
        return row.route;
    }
    if (known)
        *known = false;
    return CameraRoute::None;
}

QString CameraConfig::routeWords() const
{
    return QLatin1String(rowOf(*this).words);
}

bool CameraConfig::operator==(const CameraConfig &other) const
{
    return name == other.name && route == other.route && protocol == other.protocol
        && serialPort == other.serialPort && viscaAddress == other.viscaAddress
        && lampAddress == other.lampAddress && connectAtStart == other.connectAtStart
        && tallyLamp == other.tallyLamp && liveLockout == other.liveLockout
        && encoderAddress == other.encoderAddress && networkAddress == other.networkAddress;
}

#include "remotejson.h"

#include "jsonkeys.h"
#include "oscpacket.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

#include <cmath>

namespace RemoteJson {

bool decode(const QByteArray &text, RemoteMessage *message, QString *why)
{
    if (text.size() > maxMessage) {
        *why = QStringLiteral("%1 bytes, more than the %2 a message may have")
                   .arg(text.size())
                   .arg(maxMessage);
        return false;
    }
    const QByteArray repeated = JsonKeys::firstRepeated(text);
    if (!repeated.isEmpty()) {
        *why = QStringLiteral("the key \"%1\" given twice").arg(QString::fromUtf8(repeated));
        return false;
    }
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(text, &error);
    if (error.error != QJsonParseError::NoError) {
        *why = QStringLiteral("not JSON (%1 at %2)").arg(error.errorString()).arg(error.offset);
        return false;
    }
    if (!document.isObject()) {
        *why = QStringLiteral("not a JSON object");
        return false;
    }
    const QJsonObject object = document.object();
    const QJsonValue address = object.value(QLatin1String("address"));
    if (!address.isString()) {
        *why = QStringLiteral("no \"address\" text");
        return false;
    }
    RemoteMessage out;
    out.address = address.toString();
    if (out.address.size() > OscPacket::maxAddress) {
        *why
            = QStringLiteral("the address is longer than %1 characters").arg(OscPacket::maxAddress);
        return false;
    }
    const QJsonValue args = object.value(QLatin1String("args"));
    if (!args.isUndefined() && !args.isArray()) {
        *why = QStringLiteral("\"args\" is not a list");
        return false;
    }
    const QJsonArray list = args.toArray();
    if (list.size() > OscPacket::maxArguments) {
        *why = QStringLiteral("more than %1 arguments").arg(OscPacket::maxArguments);
        return false;
    }
    for (const QJsonValue &arg : list) {
        if (arg.isDouble()) {
            const double number = arg.toDouble();
            const bool whole = std::isfinite(number) && std::trunc(number) == number
                && std::fabs(number) <= 2147483647.0;
            out.args.append(whole ? QVariant(int(number)) : QVariant(number));
        } else if (arg.isBool()) {
            out.args.append(arg.toBool());
        } else if (arg.isString()) {
            out.args.append(arg.toString());
        } else {
            *why = QStringLiteral("an argument that is neither a number, true, false nor a text");
            return false;
        }
    }
    *message = out;
    return true;
}

QByteArray stateMessage(const QJsonObject &state)
{
    return QJsonDocument(QJsonObject{{QStringLiteral("state"), state}})
        .toJson(QJsonDocument::Compact);
}

QByteArray refusedMessage(const QString &address, const QString &why)
{
    return QJsonDocument(
               QJsonObject{{QStringLiteral("refused"), why}, {QStringLiteral("address"), address}})
        .toJson(QJsonDocument::Compact);
}

} // namespace RemoteJson

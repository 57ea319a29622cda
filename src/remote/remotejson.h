// The WebSocket's JSON, one object per text message.
//   in:   {"address": "/tarndeck/camera/1/zoom", "args": [3]}   (args may be
//         left out; numbers, true, false and strings)
//   out:  {"state": {...}}                        the target's state, whole
//         {"refused": "why", "address": "/..."}   a message not taken
#pragma once

#include "remotemessage.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>

namespace RemoteJson {

constexpr int maxMessage = 4096;

// A whole-number JSON argument within 32 bits becomes an int, any other
// number a double.
bool decode(const QByteArray &text, RemoteMessage *message, QString *why);

QByteArray stateMessage(const QJsonObject &state);
QByteArray refusedMessage(const QString &address, const QString &why);

} // namespace RemoteJson

// OSC packets into remote messages. A packet is one message or a bundle;
// a bundle is taken apart and its messages run at once, in order, whatever
// their time tags (nested at most maxDepth deep, at most maxMessages in
// all). A message's address and type tags are checked here first: only the
// argument types remote control uses (i h f d T F s S) reach liblo, which
// checks the arguments' sizes and padding and reads them
// (lo_message_deserialise).
#pragma once

#include "remotemessage.h"

#include <QByteArray>
#include <QString>
#include <QVector>

namespace OscPacket {

constexpr int maxPacket = 4096;
constexpr int maxAddress = 128;
constexpr int maxArguments = 8;
constexpr int maxDepth = 4;
constexpr int maxMessages = 16;

// The messages of `packet`, or false and why not (nothing is taken from a
// packet with any bad part).
bool decode(const QByteArray &packet, QVector<RemoteMessage> *messages, QString *why);

} // namespace OscPacket

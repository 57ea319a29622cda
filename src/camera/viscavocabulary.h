// The camera command vocabulary: which (group, action) pairs the panel knows
// and the VISCA packets, written as hex text, that each one sends.
//
// The controls name an action by two words, e.g. ("focus", "auto"),
// ("profile", "recall2") or ("zoom", "-3"); only this file knows the bytes.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// A word as the vocabulary compares it: surrounding white space removed,
// lower case.
QString normaliseWord(const QString &word);

// The command texts one (group, action) pair sends, in sending order: one
// packet for most pairs, two for ("profile", "reset"), none for a pair that
// is not in the vocabulary. Both words must already be normalised. Zoom and
// focus also take a base-10 integer as the action: its size is the speed,
// its sign the direction, 0 stops. The camera's pan-tilt drive ("pantilt")
// takes "<pan> <tilt>", two such numbers of size 0..5: pan > 0 right, tilt
// > 0 up, "0 0" stops.
QStringList viscaCommands(const QString &group, const QString &action);

// The bytes of one command text: two hex digits per byte, high nibble first,
// either case, white space around the text ignored. Characters that are not
// hex digits are skipped, as QByteArray::fromHex does.
QByteArray commandBytes(const QString &commandText);

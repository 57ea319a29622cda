// A look at a JSON text before it is parsed: the first key that one object
// names twice. Qt 5.15's parser keeps the last value of such a key and loses
// the memory of an earlier list or object, so a client repeating a key could
// make the program grow with every message; such a message is refused
// unparsed. Keys are compared as decoded text ("args" and "\u0061rgs" are
// one key). The look never fails: a text that is no JSON is left to the
// parser to name.
#pragma once

#include <QByteArray>

namespace JsonKeys {

// The first repeated key, as decoded UTF-8; empty when no object repeats one.
QByteArray firstRepeated(const QByteArray &text);

} // namespace JsonKeys

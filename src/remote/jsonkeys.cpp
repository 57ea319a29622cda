#include "jsonkeys.h"

#include <QSet>
#include <QString>
#include <QVector>

namespace JsonKeys {

namespace {

struct Level
{
    bool object = false;
    bool keyNext = false; // the next string is a key
    QSet<QByteArray> keys;
};

char escaped(char c)
{
    switch (c) {
    case 'b':
        return '\b';
    case 'f':
        return '\f';
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case 't':
        return '\t';
    default:
        return c; // '"', '\\', '/' and anything the parser will refuse
    }
}

// Reads the string whose opening quote is at text[at]; `at` ends past its
// closing quote (or at the end).
QByteArray readString(const QByteArray &text, int &at)
{
    QByteArray decoded;
    const int size = text.size();
    ++at;
    while (at < size && text.at(at) != '"') {
        if (text.at(at) != '\\' || at + 1 >= size) {
            decoded += text.at(at++);
            continue;
        }
        const char kind = text.at(at + 1);
        if (kind == 'u' && at + 5 < size) {
            bool ok = false;
            const ushort unit = text.mid(at + 2, 4).toUShort(&ok, 16);
            decoded += QString(QChar(ok ? unit : ushort(0xFFFD))).toUtf8();
            at += 6;
        } else {
            decoded += escaped(kind);
            at += 2;
        }
    }
    ++at;
    return decoded;
}

} // namespace

QByteArray firstRepeated(const QByteArray &text)
{
    QVector<Level> levels;
    int at = 0;
    while (at < text.size()) {
        const char c = text.at(at);
        if (c == '"') {
            const QByteArray string = readString(text, at);
            if (!levels.isEmpty() && levels.last().keyNext) {
                Level &level = levels.last();
                level.keyNext = false;
                if (level.keys.contains(string))
                    return string.isEmpty() ? QByteArrayLiteral("\"\"") : string;
                level.keys.insert(string);
            }
            continue;
        }
        if (c == '{' || c == '[')
            levels.append(Level{c == '{', c == '{', {}});
        else if ((c == '}' || c == ']') && !levels.isEmpty())
            levels.removeLast();
        else if (c == ',' && !levels.isEmpty() && levels.last().object)
            levels.last().keyNext = true;
        ++at;
    }
    return QByteArray();
}

} // namespace JsonKeys

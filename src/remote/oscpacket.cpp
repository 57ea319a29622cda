#include "oscpacket.h"

#include <QtEndian>

#include <lo/lo_lowlevel.h>

#include <cstring>

namespace {

const char kBundle[8] = {'#', 'b', 'u', 'n', 'd', 'l', 'e', '\0'};
const char kTypes[] = "ihfdTFsS";

// The padded size of the string at `data` (ended by 1 to 4 NULs, to a
// multiple of 4), or -1 when it does not end inside `size` bytes.
int paddedString(const char *data, int size)
{
    const void *nul = std::memchr(data, 0, size_t(size));
    if (!nul)
        return -1;
    const int padded = (int(static_cast<const char *>(nul) - data) / 4 + 1) * 4;
    return padded <= size ? padded : -1;
}

bool validAddress(const char *text, QString *why)
{
    const int length = int(std::strlen(text));
    if (length > OscPacket::maxAddress) {
        *why
            = QStringLiteral("the address is longer than %1 characters").arg(OscPacket::maxAddress);
        return false;
    }
    if (text[0] != '/') {
        *why = QStringLiteral("the address does not start with /");
        return false;
    }
    for (int i = 0; i < length; ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c <= ' ' || c >= 0x7F) {
            *why = QStringLiteral("the address holds a character that is not printable ASCII");
            return false;
        }
        if (std::strchr("*?[]{},#", c)) {
            *why = QStringLiteral("the address is a pattern (%1); remote control takes plain "
                                  "addresses only")
                       .arg(QLatin1Char(char(c)));
            return false;
        }
    }
    return true;
}

// liblo's arguments lie at 4-byte steps of its buffer, so an 8-byte one may
// be misaligned for lo_arg: each is copied out as bytes.
template<typename T>
T copied(const lo_arg *arg)
{
    T value;
    std::memcpy(&value, static_cast<const void *>(arg), sizeof value);
    return value;
}

QVariant argument(char type, const lo_arg *arg)
{
    switch (type) {
    case 'i':
        return copied<qint32>(arg);
    case 'h':
        return copied<qint64>(arg);
    case 'f':
        return double(copied<float>(arg));
    case 'd':
        return copied<double>(arg);
    case 'T':
        return true;
    case 'F':
        return false;
    default: // s, S
        return QString::fromUtf8(reinterpret_cast<const char *>(arg));
    }
}

bool decodeMessage(const char *data, int size, QVector<RemoteMessage> *messages, QString *why)
{
    const int addressSize = paddedString(data, size);
    if (addressSize < 0) {
        *why = QStringLiteral("the address does not end");
        return false;
    }
    if (!validAddress(data, why))
        return false;
    const char *types = data + addressSize;
    const int typesSize = addressSize < size ? paddedString(types, size - addressSize) : -1;
    if (typesSize < 0 || types[0] != ',') {
        *why = QStringLiteral("no type tags");
        return false;
    }
    const int typeCount = int(std::strlen(types + 1));
    if (typeCount > OscPacket::maxArguments) {
        *why = QStringLiteral("more than %1 arguments").arg(OscPacket::maxArguments);
        return false;
    }
    for (int i = 1; i <= typeCount; ++i) {
        if (!std::strchr(kTypes, types[i])) {
            *why = QStringLiteral("an argument of type '%1' (remote control takes i, h, f, d, "
                                  "T, F, s and S)")
                       .arg(QLatin1Char(types[i]));
            return false;
        }
    }
    // liblo reads from its own copy and leaves `data` as it is.
    int result = 0;
    lo_message message = lo_message_deserialise(const_cast<char *>(data), size_t(size), &result);
    if (!message) {
        *why = QStringLiteral("the arguments do not match their type tags (liblo error %1)")
                   .arg(result);
        return false;
    }
    RemoteMessage out;
    out.address = QString::fromLatin1(data);
    lo_arg **argv = lo_message_get_argv(message);
    for (int i = 0; i < typeCount; ++i)
        out.args.append(argument(types[i + 1], argv[i]));
    lo_message_free(message);
    messages->append(out);
    return true;
}

bool decodeAny(const char *data, int size, int depth, QVector<RemoteMessage> *messages,
               QString *why)
{
    if (size <= 0 || size % 4 != 0) {
        *why = QStringLiteral("%1 bytes, not a multiple of 4").arg(size);
        return false;
    }
    if (size < 8 || std::memcmp(data, kBundle, sizeof kBundle) != 0)
        return decodeMessage(data, size, messages, why);
    if (depth >= OscPacket::maxDepth) {
        *why = QStringLiteral("bundles nested deeper than %1").arg(OscPacket::maxDepth);
        return false;
    }
    // #bundle, the time tag, then elements: a 32-bit size and that many bytes.
    int at = 16;
    if (size < at) {
        *why = QStringLiteral("a bundle without its time tag");
        return false;
    }
    while (at < size) {
        if (size - at < 4) {
            *why = QStringLiteral("a bundle element without its size");
            return false;
        }
        const qint32 element = qFromBigEndian<qint32>(data + at);
        at += 4;
        if (element <= 0 || element > size - at) {
            *why = QStringLiteral("a bundle element of %1 bytes where %2 are left")
                       .arg(element)
                       .arg(size - at);
            return false;
        }
        if (!decodeAny(data + at, element, depth + 1, messages, why))
            return false;
        if (messages->size() > OscPacket::maxMessages) {
            *why
                = QStringLiteral("more than %1 messages in one bundle").arg(OscPacket::maxMessages);
            return false;
        }
        at += element;
    }
    return true;
}

} // namespace

namespace OscPacket {

bool decode(const QByteArray &packet, QVector<RemoteMessage> *messages, QString *why)
{
    if (packet.size() > maxPacket) {
        *why = QStringLiteral("%1 bytes, more than the %2 a message may have")
                   .arg(packet.size())
                   .arg(maxPacket);
        return false;
    }
    QVector<RemoteMessage> found;
    if (!decodeAny(packet.constData(), int(packet.size()), 0, &found, why))
        return false;
    if (found.isEmpty()) {
        *why = QStringLiteral("a bundle without messages");
        return false;
    }
    *messages += found;
    return true;
}

} // namespace OscPacket

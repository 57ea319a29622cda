#include "viscaipframing.h"

#include "sendfailure.h"

#include <QtEndian>

#include <array>
#include <utility>

namespace ViscaIp {

namespace {

constexpr char kTerminator = char(0xFF);

const std::array<std::pair<int, const char *>, 6> kErrorWords{{
    {MessageLength, "message length error"},
    {Syntax, "syntax error"},
    {BufferFull, "command buffer full"},
    {Cancelled, "command cancelled"},
    {NoSocket, "no socket"},
    {NotExecutable, "command not executable"},
}};

} // namespace

QString protocolKey(Protocol protocol)
{
    return protocol == Protocol::Tcp ? QStringLiteral("tcp") : QStringLiteral("udp");
}

Protocol protocolFromKey(const QString &key)
{
    return key.trimmed().toLower() == QLatin1String("tcp") ? Protocol::Tcp : Protocol::Udp;
}

quint16 defaultPort(Protocol protocol)
{
    return protocol == Protocol::Tcp ? defaultTcpPort : defaultUdpPort;
}

const QByteArray &resetPayload()
{
    static const QByteArray payload("\x01", 1);
    return payload;
}

const QByteArray &sequenceErrorPayload()
{
    static const QByteArray payload("\x0F\x01", 2);
    return payload;
}

const QByteArray &unknownTypePayload()
{
    static const QByteArray payload("\x0F\x02", 2);
    return payload;
}

QByteArray message(quint16 type, quint32 sequence, const QByteArray &payload)
{
    QByteArray bytes(headerSize, Qt::Uninitialized);
    qToBigEndian<quint16>(type, bytes.data());
    qToBigEndian<quint16>(quint16(payload.size()), bytes.data() + 2);
    qToBigEndian<quint32>(sequence, bytes.data() + 4);
    return bytes + payload;
}

bool parseMessage(const QByteArray &datagram, Message *out)
{
    if (datagram.size() < headerSize)
        return false;
    const quint16 length = qFromBigEndian<quint16>(datagram.constData() + 2);
    if (datagram.size() != headerSize + length)
        return false;
    out->type = qFromBigEndian<quint16>(datagram.constData());
    out->sequence = qFromBigEndian<quint32>(datagram.constData() + 4);
    out->payload = datagram.mid(headerSize);
    return true;
}

PayloadType payloadTypeFor(const QByteArray &packet)
{
    return packet.size() > 1 && packet.at(1) == 0x09 ? Inquiry : Command;
}

QByteArray takePacket(QByteArray *stream)
{
    const int end = stream->indexOf(kTerminator);
    if (end < 0)
        return {};
    const QByteArray packet = stream->left(end + 1);
    stream->remove(0, end + 1);
    return packet;
}

Answer readAnswer(const QByteArray &packet)
{
    Answer answer;
    const int size = packet.size();
    if (size < 3 || packet.at(size - 1) != kTerminator || (quint8(packet.at(0)) & 0x8F) != 0x80)
        return answer;
    const quint8 second = quint8(packet.at(1));
    answer.socket = second & 0x0F;
    switch (second & 0xF0) {
    case 0x40:
        answer.kind = size == 3 ? Answer::Ack : Answer::Other;
        break;
    case 0x50:
        answer.kind = Answer::Completion;
        answer.data = packet.mid(2, size - 3);
        break;
    case 0x60:
        if (size == 4) {
            answer.kind = Answer::Error;
            answer.error = quint8(packet.at(2));
        }
        break;
    default:
        break;
    }
    return answer;
}

QString errorWords(int code)
{
    for (const auto &entry : kErrorWords) {
        if (entry.first == code)
            return QString::fromLatin1(entry.second);
    }
    return QStringLiteral("error ")
        + QStringLiteral("%1").arg(code, 2, 16, QLatin1Char('0')).toUpper();
}

QByteArray errorAnswer(int code, int socket)
{
    const char bytes[] = {char(0x90), char(0x60 | (socket & 0x0F)), char(code), kTerminator};
    return QByteArray(bytes, sizeof bytes);
}

QString controlWords(const QByteArray &payload)
{
    if (payload == sequenceErrorPayload())
        return QStringLiteral("sequence number error");
    if (payload == unknownTypePayload())
        return QStringLiteral("unknown message type");
    if (payload == resetPayload())
        return {};
    return QStringLiteral("control reply ") + QString::fromLatin1(payload.toHex(' ')).toUpper();
}

const QByteArray &versionInquiry()
{
    static const QByteArray packet = QByteArray::fromHex("81090002FF");
    return packet;
}

QString modelCode(const QByteArray &answer)
{
    const Answer read = readAnswer(answer);
    if (read.kind != Answer::Completion || read.data.size() != 7)
        return {};
    return QString::fromLatin1(read.data.mid(2, 2).toHex()).toUpper();
}

QString refusalReason(int code)
{
    if (code == BufferFull)
        return SendFailure::reason({SendFailure::Kind::CameraBufferFull, QString()});
    return QStringLiteral("camera: ") + errorWords(code);
}

bool addressedElsewhere(const QByteArray &packet)
{
    return packet.isEmpty() || quint8(packet.at(0)) != 0x81;
}

} // namespace ViscaIp

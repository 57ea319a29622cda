// VISCA on a network camera: the 8-byte message header of the UDP framing
// and the camera's replies in words. Plain functions, shared by the panel's
// link, the simulator's camera and the tests, so all three read the bytes
// one way.
//
// UDP message: payload type (2 bytes), payload length (2 bytes), sequence
// number (4 bytes), all big-endian, then the payload (a VISCA packet, or a
// control payload). TCP carries the VISCA packets alone, each ending in FF.
#pragma once

#include <QByteArray>
#include <QString>

namespace ViscaIp {

constexpr quint16 defaultUdpPort = 52381;
constexpr quint16 defaultTcpPort = 5678;
constexpr int headerSize = 8;

enum class Protocol { Udp, Tcp };

// "udp" / "tcp", as the settings store keeps it; anything else reads as UDP.
QString protocolKey(Protocol protocol);
Protocol protocolFromKey(const QString &key);
quint16 defaultPort(Protocol protocol);

enum PayloadType : quint16 {
    Command = 0x0100,
    Inquiry = 0x0110,
    Reply = 0x0111,
    DeviceSetting = 0x0120,
    Control = 0x0200,
    ControlReply = 0x0201,
};

// The control payloads: the sequence reset the controller sends, and the
// camera's answers to control messages.
const QByteArray &resetPayload();         // 01
const QByteArray &sequenceErrorPayload(); // 0F 01
const QByteArray &unknownTypePayload();   // 0F 02

struct Message
{
    quint16 type = 0;
    quint32 sequence = 0;
    QByteArray payload;
};

QByteArray message(quint16 type, quint32 sequence, const QByteArray &payload);
// A datagram is one message: false when it is shorter than the header or
// its length field disagrees with its size.
bool parseMessage(const QByteArray &datagram, Message *out);

// Inquiry for 8x 09 ..., command for everything else.
PayloadType payloadTypeFor(const QByteArray &packet);

// Takes the first complete packet (up to and including FF) off the front of
// a stream buffer; empty while no FF has arrived. Each call moves the rest of
// the buffer: for a buffer that stays short (the simulator's, cut at 16
// bytes). A stream of any length goes through PacketSplitter.
QByteArray takePacket(QByteArray *stream);

// One answer of the camera (y0 ... FF).
struct Answer
{
    enum Kind {
        Ack,        // y0 4z FF
        Completion, // y0 5z ... FF, inquiry data included
        Error,      // y0 6z ee FF
        Other,      // anything else (not an answer)
    };
    Kind kind = Other;
    int socket = 0;  // z
    int error = 0;   // ee for an error
    QByteArray data; // completion bytes between 5z and FF
};
Answer readAnswer(const QByteArray &packet);

// The camera's error codes.
enum ErrorCode : int {
    MessageLength = 0x01,
    Syntax = 0x02,
    BufferFull = 0x03,
    Cancelled = 0x04,
    NoSocket = 0x05,
    NotExecutable = 0x41,
};
// "command buffer full", ...; "error 7E" for a code outside the list.
QString errorWords(int code);
// The camera's refusal as a failure reason: "camera: command not
// executable", the buffer full as every route words it.
QString refusalReason(int code);
// The camera's error answer from device 1: 90 6z ee FF.
QByteArray errorAnswer(int code, int socket = 0);
// Words for a control reply: "sequence number error", "unknown message
// type"; empty for the acknowledgement of a reset (01).
QString controlWords(const QByteArray &payload);

// The version inquiry and the model code (HHHH, four hex digits, upper case)
// of its answer y0 50 GG GG HH HH JJ JJ KK FF; empty when the answer is not
// one.
const QByteArray &versionInquiry(); // 81 09 00 02 FF
QString modelCode(const QByteArray &answer);

// True for a packet addressed to any device but the camera itself (the
// serial chain's lamp is device 2): such a packet is never sent on a
// network route.
bool addressedElsewhere(const QByteArray &packet);

} // namespace ViscaIp

// The operator's words for a failure: a command that did not leave, an
// encoder connect that did not succeed, a serial port that did not open.
// Plain functions of the outcome (what failed, the error code, the reply
// text), so every route and the tests share the one wording.
#pragma once

#include <QByteArray>
#include <QSerialPort>
#include <QString>

namespace SendFailure {

// How long an encoder request waits for its answer; the failure names it.
constexpr int encoderTimeoutMs = 5000;

// What went wrong, whatever the route. One row each in the wording table.
enum class Kind {
    SerialWriteFailed,    // detail: the port's error text
    SerialBlocked,        // the line does not drain
    EncoderNoAnswer,      // no answer within the request's time-out
    EncoderRefused,       // the connection was refused
    EncoderUnreachable,   // no route to the host, host not found
    EncoderClosed,        // connection closed before any answer
    EncoderHttpStatus,    // detail: "HTTP 500" and the like
    EncoderAnsweredError, // detail: the encoder's own text, one line
    EncoderNotConfirmed,  // detail: the answer, which lacks "OK:"
    EncoderNotSystemInfo, // the connect's answer was not system information
    EncoderRequestFailed, // detail: the network error code
    EncoderBadHead,       // the answer's header lines were unreadable or too many
    CameraBufferFull,     // the camera's command buffer is full
    CameraNoAnswer,       // the camera did not answer
    CameraBusy,           // the command waited too long for the camera's route
    EncoderBusy,          // the encoder holds a request and no room is left to wait
    CameraUnreadable,     // the camera keeps sending bytes that are no packets
    CameraStranger,       // detail: "address:port" of a sender that is not the camera
};

struct Outcome
{
    Kind kind;
    QString detail;
};

// The reason as it follows "Not sent: <request> – ".
QString reason(const Outcome &outcome);
// The reason as the encoder status tooltip and the connect log give it
// ("connection refused", "no answer in 5 s", "HTTP 401", ...).
QString connectReason(const Outcome &outcome);
// Whether the failure says the far end stopped answering (not a refusal
// spoken by a device that did answer).
bool isNetworkFailure(Kind kind);

// "Not sent: " + request + " – " + reason; request is e.g. "zoom,3".
QString notSentText(const QString &request, const QString &reason);
// "Waiting: " + request + " – " + reason: a packet that has not left yet
// and will (a stop behind a line that does not drain).
QString waitingText(const QString &request, const QString &reason);

// Serial route.
QString serialWriteFailed(const QString &portError); // "serial write failed: <text>"
QString serialBlocked();                             // "serial line blocked"
// "Could not open <port>: <error text>", on Linux with a hint at the
// dialout group when the system refused the permission.
QString serialOpenFailedText(const QString &portName, QSerialPort::SerialPortError error,
                             const QString &errorText);

// Encoder route: the outcome of a request from the request object's error
// code (QNetworkReply::NetworkError) and the reply body. `connecting`: the
// request asked for system information, so an answer without it is one.
Outcome encoderOutcome(int networkError, const QByteArray &reply, bool connecting = false);
QString encoderReason(int networkError, const QByteArray &reply);

// The steps of an encoder's connect flow, and the status its panel shows
// when one fails: "Failed, could not connect" (no answer, or an error
// status), "Failed, authentication" (an answer, but not the system
// information), "Failed, serial parameters".
enum class ConnectStep { Reach, LogIn, SerialSetting };
QString connectFailedStatus(ConnectStep step);

// Connect flow reasons that no request produced.
QString noAddressEntered();                        // "no address entered"
QString notAnAddress(const QString &typed);        // "not an IP address: <typed>"
QString notAUsableAddress(const QString &address); // "not a usable address: 0.0.0.0"

// Network cameras over UDP share one local port.
// "local UDP port 52381 unusable: <error text>" (0: "no local UDP port: ...")
QString localPortUnusable(quint16 port, const QString &errorText);
// "another camera of the list drives 127.0.0.1:52381"
QString cameraDrivenTwice(const QString &authority);

// The first non-blank line of a device's text, blanks trimmed and cut to
// a length a status line can show.
QString oneLine(const QString &text);

} // namespace SendFailure

// The status line's sentence is wanted everywhere a command can fail.
using SendFailure::notSentText;

#include "sendfailure.h"

#include <QNetworkReply>

#include <iterator>

namespace SendFailure {

namespace {

constexpr int longestDetail = 80;

// How each failure reads. %1 is the outcome's detail, %2 the request
// time-out in seconds.
struct Wording
{
    Kind kind;
    const char *command; // after "Not sent: <request> – "
    const char *connect; // the encoder status tooltip
    bool network;        // the far end stopped answering
};

const Wording wordings[] = {
    {Kind::SerialWriteFailed, "serial write failed: %1", "serial write failed: %1", false},
    {Kind::SerialBlocked, "serial line blocked", "serial line blocked", false},
    {Kind::EncoderNoAnswer, "encoder did not answer in %2 s", "no answer in %2 s", true},
    {Kind::EncoderRefused, "encoder refused the connection", "connection refused", true},
    {Kind::EncoderUnreachable, "encoder unreachable", "host unreachable", true},
    {Kind::EncoderClosed, "encoder closed the connection without an answer",
     "connection closed without an answer", true},
    {Kind::EncoderHttpStatus, "encoder answered %1", "%1", false},
    {Kind::EncoderAnsweredError, "encoder answered %1", "encoder answered %1", false},
    {Kind::EncoderNotConfirmed, "encoder did not confirm: %1", "encoder did not confirm: %1",
     false},
    {Kind::EncoderNotSystemInfo, "the answer was not system information",
     "the answer was not system information", false},
    {Kind::EncoderRequestFailed, "encoder request failed (network error %1)",
     "request failed (network error %1)", true},
    {Kind::EncoderBadHead, "encoder answered with unreadable or too many header lines",
     "unreadable or too many header lines", false},
    {Kind::CameraBufferFull, "camera: command buffer full", "camera: command buffer full", false},
    {Kind::CameraNoAnswer, "camera did not answer", "camera did not answer", true},
    {Kind::CameraBusy, "camera busy", "camera busy", false},
    {Kind::EncoderBusy, "encoder busy", "encoder busy", false},
    {Kind::CameraUnreadable, "camera sends unreadable data", "camera sends unreadable data", false},
    {Kind::CameraStranger, "answers come from %1, not the camera's address",
     "answers come from %1, not the camera's address", false},
};

const Wording &wordingOf(Kind kind)
{
    for (const Wording &row : wordings) {
        if (row.kind == kind)
            return row;
    }
    Q_UNREACHABLE();
    return wordings[0];
}

QString filledIn(const char *pattern, const QString &detail)
{
    QString text = QString::fromUtf8(pattern);
    if (text.contains(QLatin1String("%1")))
        text = text.arg(detail);
    if (text.contains(QLatin1String("%2")))
        text = text.arg(encoderTimeoutMs / 1000);
    return text;
}

// Network errors that mean the encoder did not answer at all.
struct NetworkRow
{
    QNetworkReply::NetworkError error;
    Kind kind;
};

const NetworkRow networkRows[] = {
    {QNetworkReply::TimeoutError, Kind::EncoderNoAnswer},
    {QNetworkReply::OperationCanceledError, Kind::EncoderNoAnswer},
    {QNetworkReply::ConnectionRefusedError, Kind::EncoderRefused},
    {QNetworkReply::RemoteHostClosedError, Kind::EncoderClosed},
    {QNetworkReply::HostNotFoundError, Kind::EncoderUnreachable},
    {QNetworkReply::TemporaryNetworkFailureError, Kind::EncoderUnreachable},
    {QNetworkReply::NetworkSessionFailedError, Kind::EncoderUnreachable},
    // The network library reports "no route to host" with this code.
    {QNetworkReply::UnknownNetworkError, Kind::EncoderUnreachable},
    // A head the network library could not read, or the request object
    // refused for its size.
    {QNetworkReply::ProtocolFailure, Kind::EncoderBadHead},
};

// HTTP statuses the network library turns into error codes.
struct StatusRow
{
    QNetworkReply::NetworkError error;
    const char *status;
};

const StatusRow statusRows[] = {
    {QNetworkReply::ProtocolInvalidOperationError, "HTTP 400"},
    {QNetworkReply::AuthenticationRequiredError, "HTTP 401"},
    {QNetworkReply::ContentAccessDenied, "HTTP 403"},
    {QNetworkReply::ContentNotFoundError, "HTTP 404"},
    {QNetworkReply::ContentOperationNotPermittedError, "HTTP 405"},
    {QNetworkReply::ContentConflictError, "HTTP 409"},
    {QNetworkReply::ContentGoneError, "HTTP 410"},
    // Unknown 4xx statuses, and a reply cut off for its size.
    {QNetworkReply::UnknownContentError, "HTTP 4xx or an answer over 1 MiB"},
    {QNetworkReply::InternalServerError, "HTTP 500"},
    {QNetworkReply::OperationNotImplementedError, "HTTP 501"},
    {QNetworkReply::ServiceUnavailableError, "HTTP 503"},
    {QNetworkReply::UnknownServerError, "HTTP 5xx"},
};

} // namespace

QString reason(const Outcome &outcome)
{
    return filledIn(wordingOf(outcome.kind).command, outcome.detail);
}

QString connectReason(const Outcome &outcome)
{
    return filledIn(wordingOf(outcome.kind).connect, outcome.detail);
}

bool isNetworkFailure(Kind kind)
{
    return wordingOf(kind).network;
}

QString notSentText(const QString &request, const QString &reason)
{
    return QStringLiteral("Not sent: ") + request + QStringLiteral(" \u2013 ") + reason;
}

QString waitingText(const QString &request, const QString &reason)
{
    return QStringLiteral("Waiting: ") + request + QStringLiteral(" \u2013 ") + reason;
}

QString serialWriteFailed(const QString &portError)
{
    return reason({Kind::SerialWriteFailed, portError});
}

QString serialBlocked()
{
    return reason({Kind::SerialBlocked, QString()});
}

QString serialOpenFailedText(const QString &portName, QSerialPort::SerialPortError error,
                             const QString &errorText)
{
    QString text = QStringLiteral("Could not open ") + portName + QStringLiteral(": ") + errorText;
#ifdef Q_OS_LINUX
    // The serial library says "permission" for a port whose lock another
    // program holds as well: its text names the lock.
    if (error == QSerialPort::PermissionError)
        text += errorText.contains(QLatin1String("locking"), Qt::CaseInsensitive)
            ? QStringLiteral(" (another program holds its lock)")
            : QStringLiteral(" (is this user in the dialout group?)");
#else
    Q_UNUSED(error)
#endif
    return text;
}

Outcome encoderOutcome(int networkError, const QByteArray &reply, bool connecting)
{
    for (const NetworkRow &row : networkRows) {
        if (row.error == networkError)
            return {row.kind, QString()};
    }
    for (const StatusRow &row : statusRows) {
        if (row.error == networkError)
            return {Kind::EncoderHttpStatus, QString::fromLatin1(row.status)};
    }
    if (networkError != QNetworkReply::NoError)
        return {Kind::EncoderRequestFailed, QString::number(networkError)};

    const QString text = oneLine(QString::fromUtf8(reply));
    if (text.contains(QLatin1String("ERROR"), Qt::CaseInsensitive))
        return {Kind::EncoderAnsweredError, text};
    if (connecting)
        return {Kind::EncoderNotSystemInfo, QString()};
    return {Kind::EncoderNotConfirmed, text.isEmpty() ? QStringLiteral("empty answer") : text};
}

QString encoderReason(int networkError, const QByteArray &reply)
{
    return reason(encoderOutcome(networkError, reply));
}

QString connectFailedStatus(ConnectStep step)
{
    switch (step) {
    case ConnectStep::Reach:
        return QStringLiteral("Failed, could not connect");
    case ConnectStep::LogIn:
        return QStringLiteral("Failed, authentication");
    case ConnectStep::SerialSetting:
        break;
    }
    return QStringLiteral("Failed, serial parameters");
}

QString noAddressEntered()
{
    return QStringLiteral("no address entered");
}

QString notAnAddress(const QString &typed)
{
    return QStringLiteral("not an IP address: ") + typed.trimmed();
}

QString notAUsableAddress(const QString &address)
{
    return QStringLiteral("not a usable address: ") + address;
}

QString localPortUnusable(quint16 port, const QString &errorText)
{
    const QString what = port == 0 ? QStringLiteral("no local UDP port")
                                   : QStringLiteral("local UDP port %1 unusable").arg(port);
    return what + QStringLiteral(": ") + oneLine(errorText);
}

QString cameraDrivenTwice(const QString &authority)
{
    return QStringLiteral("another camera of the list drives ") + authority;
}

QString oneLine(const QString &text)
{
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines) {
        const QString trimmed = line.trimmed();
        if (trimmed.isEmpty())
            continue;
        if (trimmed.size() <= longestDetail)
            return trimmed;
        return trimmed.left(longestDetail - 1) + QChar(0x2026);
    }
    return QString();
}

} // namespace SendFailure

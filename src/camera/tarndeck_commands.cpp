// sendCommand turns a (group, action) pair into its packets through the
// vocabulary; serialSendCommand puts one packet on whichever route is up.
#include "logcategories.h"
#include "tarndeck.h"
#include "viscavocabulary.h"

namespace {
// The status line of a command the transport refused.
QString notSentStatus(const QString &request, const QString &reason)
{
    return QStringLiteral("Not sent: ") + request + QStringLiteral(" \u2013 ") + reason;
}
} // namespace

int tarnDeck::sendCommand(QString group, QString action)
{
    group = normaliseWord(group);
    action = normaliseWord(action);
    const QString request = group + QLatin1Char(',') + action;
    lastCommand = request;
    qCDebug(lcCamera).noquote() << "sendCommand():" << lastCommand;

    int result = 0;
    const QStringList packets = viscaCommands(group, action);
    for (const QString &packet : packets)
        result = serialSendCommand(packet);

    // Only bytes that really left count as sent: a failed write (-1) leaves
    // the status line as it was.
    if (result > 0)
        ui.labelLastCommand->setText(lastCommand);
    else if (result < 0 && serialWriter.lastOutcome() == SerialWriter::Outcome::Blocked)
        ui.labelLastCommand->setText(notSentStatus(request, QStringLiteral("serial line blocked")));
    return result;
}

int tarnDeck::serialSendCommand(QString command)
{
    const QByteArray bytes = commandBytes(command);
    lastCommand += QStringLiteral(" [") + command + QLatin1Char(']');

    if (serialPort.isOpen()) {
        // A line that holds earlier bytes refuses at once instead of
        // waiting again; bytes that did not drain count as not sent.
        const int written
            = serialWriter.write(bytes) == SerialWriter::Outcome::Sent ? int(bytes.size()) : -1;
        qCDebug(lcCamera) << "serialSendCommand():" << bytes.toHex() << written;
        return written;
    }
    if (ui.actionACTi->isChecked()) {
        const int sent = actiInfo.cgiRequest(QStringLiteral("ENCODER"),
                                             QStringLiteral("SERIAL_HEX=") + command)
            ? 1
            : 0;
        qCDebug(lcCamera).noquote() << "serialSendCommand() - ACTi:" << command << sent;
        return sent;
    }
    return 0;
}

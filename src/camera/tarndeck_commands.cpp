// sendCommand turns a (group, action) pair into its packets through the
// vocabulary; serialSendCommand puts one packet on whichever route is up.
#include "logcategories.h"
#include "sendfailure.h"
#include "tarndeck.h"
#include "viscavocabulary.h"

int tarnDeck::sendCommand(QString group, QString action)
{
    group = normaliseWord(group);
    action = normaliseWord(action);
    const QString request = group + QLatin1Char(',') + action;
    lastCommand = request;
    qCDebug(lcCamera).noquote() << "sendCommand():" << lastCommand;

    int result = 0;
    QString failure; // the first packet that did not leave
    const QStringList packets = viscaCommands(group, action);
    for (const QString &packet : packets) {
        result = serialSendCommand(packet);
        if (failure.isEmpty())
            failure = packetFailure;
    }

    // The status line tells whether the camera got this request: an older
    // command's text must not stand after a newer one failed.
    if (!failure.isEmpty()) {
        const QString text = notSentText(request, failure);
        qCWarning(lcCamera).noquote() << text;
        showStatus(text, true);
    } else if (result > 0) {
        showStatus(lastCommand);
    }
    return result;
}

int tarnDeck::serialSendCommand(QString command)
{
    const QByteArray bytes = commandBytes(command);
    lastCommand += QStringLiteral(" [") + command + QLatin1Char(']');

    if (serialPort.isOpen()) {
        // A line that holds earlier bytes refuses at once instead of
        // waiting again; bytes that did not drain count as not sent.
        const SerialWriter::Outcome outcome = serialWriter.write(bytes);
        const int written = outcome == SerialWriter::Outcome::Sent ? int(bytes.size()) : -1;
        qCDebug(lcCamera) << "serialSendCommand():" << bytes.toHex() << written;
        switch (outcome) {
        case SerialWriter::Outcome::Sent:
            packetFailure.clear();
            break;
        case SerialWriter::Outcome::Blocked:
            packetFailure = SendFailure::serialBlocked();
            break;
        case SerialWriter::Outcome::Failed:
            // A line that broke while draining has closed the port, which
            // forgets its error text: the text kept at the loss says why.
            packetFailure
                = SendFailure::serialWriteFailed(serialPort.isOpen() ? serialPort.errorString()
                                                                     : QStringLiteral("port lost (")
                                                         + lineBrokenError + QLatin1Char(')'));
            break;
        }
        return written;
    }
    // Without an encoder address the route is chosen but not up: nothing
    // leaves, and nothing is reported.
    if (ui.actionACTi->isChecked() && actiInfo.hasAddress()) {
        const bool delivered = actiInfo.cgiRequest(QStringLiteral("ENCODER"),
                                                   QStringLiteral("SERIAL_HEX=") + command);
        qCDebug(lcCamera).noquote() << "serialSendCommand() - ACTi:" << command << int(delivered);
        const SendFailure::Outcome outcome
            = SendFailure::encoderOutcome(actiInfo.http.error, actiInfo.lastReply);
        packetFailure = delivered ? QString() : SendFailure::reason(outcome);
        encoderSilent = !delivered && SendFailure::isNetworkFailure(outcome.kind);
        return delivered ? 1 : 0;
    }
    packetFailure.clear();
    return 0;
}

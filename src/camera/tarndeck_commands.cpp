// sendCommand turns a (group, action) pair into its packets through the
// vocabulary; serialSendCommand puts one packet on whichever route is up.
#include "logcategories.h"
#include "tarndeck.h"
#include "viscavocabulary.h"

int tarnDeck::sendCommand(QString group, QString action)
{
    group = normaliseWord(group);
    action = normaliseWord(action);
    lastCommand = group + QLatin1Char(',') + action;
    qCDebug(lcCamera).noquote() << "sendCommand():" << lastCommand;

    int result = 0;
    const QStringList packets = viscaCommands(group, action);
    for (const QString &packet : packets)
        result = serialSendCommand(packet);

    // Only bytes that really left count as sent: a failed write (-1) leaves
    // the status line as it was.
    if (result > 0)
        ui.labelLastCommand->setText(lastCommand);
    return result;
}

int tarnDeck::serialSendCommand(QString command)
{
    const QByteArray bytes = commandBytes(command);
    lastCommand += QStringLiteral(" [") + command + QLatin1Char(']');

    if (serialPort.isOpen()) {
        qint64 written = serialPort.write(bytes);
        serialPort.waitForBytesWritten(1000);
        // The line can break while the bytes drain (the port is then closed):
        // what was buffered never left.
        if (!serialPort.isOpen())
            written = -1;
        qCDebug(lcCamera) << "serialSendCommand():" << bytes.toHex() << written;
        return int(written);
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

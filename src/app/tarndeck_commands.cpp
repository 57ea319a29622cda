// sendCommand turns a (group, action) pair into its packets through the
// vocabulary; serialSendCommand hands one packet to the route that is up.
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
    const QString request = lastCommand.section(QStringLiteral(" ["), 0, 0);
    lastCommand += QStringLiteral(" [") + command + QLatin1Char(']');

    // Only a route that has connected carries commands: a chosen one whose
    // connect failed, or has not been tried, sends nothing and shows nothing.
    PacketRoute *route = routes.carrier();
    if (!route) {
        packetFailure.clear();
        return 0;
    }
    const int sent = route->sendPacket(command, bytes, request);
    packetFailure = route->failure();
    return sent;
}

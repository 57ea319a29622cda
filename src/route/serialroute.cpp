#include "serialroute.h"

#include "logcategories.h"
#include "sendfailure.h"
#include "serialwriter.h"

#include <QSerialPort>

int SerialRoute::sendPacket(const QString &, const QByteArray &bytes, const QString &)
{
    if (!port.isOpen()) {
        lastFailure.clear();
        return 0;
    }
    // A line that holds earlier bytes refuses at once instead of waiting
    // again; bytes that did not drain count as not sent.
    const SerialWriter::Outcome outcome = writer.write(bytes);
    const int written = outcome == SerialWriter::Outcome::Sent ? int(bytes.size()) : -1;
    qCDebug(lcCamera) << "serialSendCommand():" << bytes.toHex() << written;
    switch (outcome) {
    case SerialWriter::Outcome::Sent:
        lastFailure.clear();
        break;
    case SerialWriter::Outcome::Blocked:
        lastFailure = SendFailure::serialBlocked();
        break;
    case SerialWriter::Outcome::Failed:
        // A line that broke while draining has closed the port, which
        // forgets its error text: the text kept at the loss says why.
        lastFailure = SendFailure::serialWriteFailed(port.isOpen() ? port.errorString()
                                                                   : QStringLiteral("port lost (")
                                                             + lineBrokenError + QLatin1Char(')'));
        break;
    }
    return written;
}

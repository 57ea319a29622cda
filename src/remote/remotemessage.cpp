#include "remotemessage.h"

namespace {
// Control characters and anything past ASCII become '?', so no message can
// forge or break a line of the log.
QString printable(const QString &text)
{
    QString out = text;
    for (QChar &c : out) {
        if (c.unicode() < 0x20 || c.unicode() >= 0x7F)
            c = QLatin1Char('?');
    }
    return out;
}
} // namespace

QString RemoteMessage::text() const
{
    QString out = printable(address.left(128));
    for (const QVariant &arg : args) {
        out += QLatin1Char(' ');
        if (arg.userType() == QMetaType::QString)
            out += QLatin1Char('"') + printable(arg.toString().left(40)) + QLatin1Char('"');
        else
            out += arg.toString();
    }
    return out;
}

// Collects the log lines of one category while it lives, so a test can
// check what the operator's log says.
#pragma once

#include <QLoggingCategory>
#include <QPair>
#include <QStringList>

class LogCapture
{
public:
    explicit LogCapture(const char *category)
    {
        wanted() = category;
        entries().clear();
        previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture() { qInstallMessageHandler(previous); }
    LogCapture(const LogCapture &) = delete;
    LogCapture &operator=(const LogCapture &) = delete;

    // The lines of one message type, in order.
    static QStringList lines(QtMsgType type)
    {
        QStringList out;
        for (const auto &entry : qAsConst(entries())) {
            if (entry.first == type)
                out << entry.second;
        }
        return out;
    }
    static void clear() { entries().clear(); }

private:
    static QList<QPair<QtMsgType, QString>> &entries()
    {
        static QList<QPair<QtMsgType, QString>> captured;
        return captured;
    }
    static const char *&wanted()
    {
        static const char *category = "";
        return category;
    }
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &text)
    {
        if (qstrcmp(context.category, wanted()) == 0)
            entries().append({type, text});
    }
    QtMessageHandler previous = nullptr;
};

// A remote control client of one kind, as Companion, TouchOSC or a web page
// is one: liblo sending OSC over UDP or over TCP (SLIP framing), or a
// QWebSocket speaking the JSON form; what the WebSocket server sends back is
// kept in `received`.
#pragma once

#include "remotecontrol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QWebSocket>
#include <QtTest>

#include <lo/lo.h>

inline lo_message oscMessage(const QVariantList &args)
{
    lo_message message = lo_message_new();
    for (const QVariant &arg : args) {
        if (arg.userType() == QMetaType::Int)
            lo_message_add_int32(message, arg.toInt());
        else if (arg.userType() == QMetaType::Double)
            lo_message_add_float(message, float(arg.toDouble()));
        else
            lo_message_add_string(message, arg.toString().toUtf8().constData());
    }
    return message;
}

class RemoteClient
{
public:
    RemoteClient(const QString &kind, const RemoteControl &remote, const QString &token = {},
           const QString &origin = {})
        : kind(kind)
        , webSocket(origin)
    {
        if (kind == QLatin1String("websocket")) {
            QObject::connect(&webSocket, &QWebSocket::textMessageReceived,
                             [this](const QString &text) { received << text; });
            QString url = QStringLiteral("ws://127.0.0.1:%1/").arg(remote.webSocketPort());
            if (!token.isEmpty())
                url += QStringLiteral("?token=") + token;
            webSocket.open(QUrl(url));
        } else {
            const int protocol = kind == QLatin1String("osc-tcp") ? LO_TCP : LO_UDP;
            osc = lo_address_new_with_proto(protocol, "127.0.0.1",
                                            QByteArray::number(remote.oscPort()).constData());
            lo_address_set_stream_slip(osc, protocol == LO_TCP);
        }
    }
    ~RemoteClient() { close(); }

    bool ready()
    {
        if (kind != QLatin1String("websocket"))
            return osc != nullptr;
        return QTest::qWaitFor(
            [this] { return webSocket.state() == QAbstractSocket::ConnectedState; });
    }

    void send(const char *path, const QVariantList &args = {})
    {
        if (osc) {
            lo_message message = oscMessage(args);
            QVERIFY(lo_send_message(osc, path, message) >= 0);
            lo_message_free(message);
        } else {
            const QJsonObject object{{QStringLiteral("address"), QLatin1String(path)},
                                     {QStringLiteral("args"), QJsonArray::fromVariantList(args)}};
            webSocket.sendTextMessage(QString::fromUtf8(QJsonDocument(object).toJson()));
        }
    }

    void close()
    {
        if (osc)
            lo_address_free(osc);
        osc = nullptr;
        webSocket.abort();
    }

    QString kind;
    lo_address osc = nullptr;
    QWebSocket webSocket;
    QStringList received;
};

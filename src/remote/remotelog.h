// The remote control's log: who connected or was refused, what was
// dropped and why, moves stopped by a lease or a closed connection. Command
// traffic is debug, on with QT_LOGGING_RULES="tarndeck.remote.debug=true".
#pragma once

#include <QHostAddress>
#include <QLoggingCategory>
#include <QString>

Q_DECLARE_LOGGING_CATEGORY(lcRemote)

// How a client is named in the log and to the target: the way it came and
// its address, "osc-udp 127.0.0.1:53012", "websocket [::1]:40112". An IPv4
// peer of a dual-stack socket is shown as IPv4.
QString remoteClientName(const char *kind, const QHostAddress &address, quint16 port);

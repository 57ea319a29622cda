// A network address as the operator types it and reads it back: "host",
// "host:port", "[v6]" or "[v6]:port". Every address the panel is given (an
// encoder, a network camera) is read here, so all of them take one form.
#pragma once

#include <QHostAddress>
#include <QString>

namespace Endpoint {

// Reads the text (surrounding blanks ignored; a bare IPv6 address is taken
// whole). The host must be an IP address and the port 1..65535 in ASCII
// digits; without one the port is implicitPort. On failure returns false and
// leaves the outputs untouched.
bool parse(const QString &text, QHostAddress *address, quint16 *port, quint16 implicitPort);

// "host" or "host:port" for a URL or a sender's name: an IPv6 address in
// brackets, the port only when it is not implicitPort.
QString authority(const QHostAddress &address, quint16 port, quint16 implicitPort);

// As the operator sees it: the plain address text when the port is
// implicitPort ("::1", "127.0.0.1"), otherwise the authority
// ("127.0.0.1:8080", "[::1]:8080").
QString text(const QHostAddress &address, quint16 port, quint16 implicitPort);

} // namespace Endpoint

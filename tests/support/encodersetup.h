// A loopback encoder's answers to what a connect asks before any packet:
// its model for the system information read and a plain OK for the serial
// setting. Tests answer SERIAL_HEX themselves (hold it, count it, fail it).
#pragma once

#include "loophttpserver.h"

#include <optional>

inline std::optional<LoopHttpServer::Response>
encoderSetupAnswer(const LoopHttpServer::Request &request)
{
    using Response = LoopHttpServer::Response;
    if (request.hasQueryItem(QStringLiteral("SYSTEM_INFO_XML")))
        return Response::xml("<?xml version=\"1.0\"?>\n"
                             "<SYSTEM_INFO><MODEL_NUMBER value=\"T-1\"/></SYSTEM_INFO>\n");
    if (!request.hasQueryItem(QStringLiteral("SERIAL_HEX")))
        return Response::text("OK: SERIAL_SETTING");
    return std::nullopt;
}

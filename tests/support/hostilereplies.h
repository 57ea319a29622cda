// Encoder replies built to hurt a reader: generated here, byte for byte, so
// that tests and benchmarks judge the same documents.
#pragma once

#include <QByteArray>

namespace HostileReplies {

// A system-information document whose one element is nested `depth` deep.
QByteArray nestedElements(int depth);

// A document that declares entities, each `fanOut` times the one before,
// `levels` deep, and uses the last once: small on the wire, huge expanded.
QByteArray entityExpansion(int levels, int fanOut);

// A well-formed system-information document of exactly `size` bytes (filled
// with ordinary elements): the largest body the panel must still judge.
QByteArray largeDocument(int size);

} // namespace HostileReplies

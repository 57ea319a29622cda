// Shared by the fuzz targets: a Qt application object for the whole run and
// no log output (the code under test logs every reply it refuses).
#pragma once

#include <QByteArray>
#include <QString>

// Creates the application object once; `widgets` chooses a QApplication on
// the offscreen platform instead of a QCoreApplication.
void startFuzzApplication(bool widgets);

inline QString fuzzText(const uint8_t *data, size_t size)
{
    return QString::fromUtf8(reinterpret_cast<const char *>(data), int(size));
}

inline QByteArray fuzzBytes(const uint8_t *data, size_t size)
{
    return QByteArray(reinterpret_cast<const char *>(data), int(size));
}

// Stops the run with a message when an invariant of the code under test
// does not hold (libFuzzer then keeps the input).
void fuzzCheck(bool holds, const char *what);

// A settings file of its own for one input: a new name each time in a
// folder that lives for the run (the settings library keeps a parsed copy of
// each file it has read, and a file rewritten within the same second can
// look unchanged to it), holding `bytes`.
QString fuzzStoreFile(const QByteArray &bytes = QByteArray());

// The input as a settings file when the settings guard lets it through as
// at start-up (a file of its own, see fuzzStoreFile()); empty otherwise.
QString fuzzTrustedStore(const uint8_t *data, size_t size);

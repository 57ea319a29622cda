// Gives a test process a settings store of its own.
#pragma once

#include <QString>

namespace TestSettings {

// Points the per-user settings store (native and INI format) at a fresh
// temporary folder that lives until the process ends, and sets the
// application identity the program uses. Call once, before any QSettings is
// constructed (a QTEST_MAIN test does it in initTestCase()).
void useTemporaryStore();

// Empties the store, so the next window starts as on a first start.
void clear();

// The file the default QSettings of the application writes.
QString storeFile();

} // namespace TestSettings

// Guards the start-up against a settings file that cannot be trusted: one
// the settings library would deserialise arbitrary types from, one it cannot
// parse or read, or one others may read (it holds the encoder password).
// Plain functions, called before the window's settings object exists.
#pragma once

#include <QByteArray>
#include <QSettings>
#include <QString>

namespace SettingsGuard {

// The outcome of preparing the store: what the operator should be told
// (empty when all was well).
struct Outcome
{
    QString warning;
    // The file could neither be read nor set aside: it must stay as it is.
    bool keepFile = false;
    // The text handed to the settings library holds at least one value.
    bool heldValues = false;
};

// The file the application's per-user settings object reads, found without
// letting the settings library parse it or keep any copy of it. Empty on
// Windows, where the native store is the registry
// (HKEY_CURRENT_USER\Software\Veltrane\tarnDeck): there prepareStore()
// checks nothing, and the values reach the settings library unchecked (only
// the operator's own account can write them). The rule that a store which
// could not be read is never written over holds there too.
QString storeFile();

// Makes files the process creates from now on private to their owner,
// tightens an existing store file to owner-only, and renames a store file
// that cannot be read safely aside (to "<file>.bad", or a free numbered
// variant), so the program starts with its defaults. A store that is a
// symbolic link is one of those: the link is moved, what it leads to is
// neither tightened nor written.
Outcome prepareStore(const QString &file);
Outcome prepareStore();

// Whether `settings` holds what the store held when prepareStore() let it
// through. When it does not (the file was kept, the library reports an
// error, or values went missing on the way), the window must not write the
// store: that would replace the operator's values with its defaults.
bool storeRead(const Outcome &outcome, const QSettings &settings);

// Why the text of a settings file cannot be handed to the settings library,
// or empty when it can: only plain values, strings and byte arrays (the
// kinds this program writes) pass.
QString untrustedReason(const QByteArray &text);

// Whether a stored window geometry / main-window state is one this window
// could have written; anything else is skipped instead of restored.
bool plausibleGeometry(const QByteArray &geometry);
bool plausibleWindowState(const QByteArray &state);

} // namespace SettingsGuard

// The keys the operator holds down, each known by its physical key (the
// native scan code), and a trustworthy auto-repeat flag for every key event.
//
// A hold belongs to the physical key that started it: its release ends the
// hold with the key and modifiers of the press, whatever text or modifiers
// the release carries (Shift+"=" gives "+", its release after Shift went up
// says "=").
#pragma once

#include <QHash>
#include <Qt>

// Where the auto-repeat flag of a key event comes from.
enum class RepeatSource {
    Toolkit,    // the toolkit's own flag (platforms other than X11)
    Detectable, // X11 with detectable auto-repeat: repeats come as presses alone
    Paired,     // X11 without it: a repeat is a release and a press, same key and time
};

// A key event as the key table should see it.
struct KeyEventView
{
    int key;
    Qt::KeyboardModifiers modifiers;
    bool autoRepeat;
};

class HeldKeys
{
public:
    explicit HeldKeys(RepeatSource source = RepeatSource::Toolkit)
        : source(source)
    {
    }

    // Scan code 0 means the physical key is unknown (synthetic events): such
    // events pass through with their own key, modifiers and flag.
    KeyEventView press(quint32 scanCode, ulong time, int key, Qt::KeyboardModifiers modifiers,
                       bool toolkitRepeat);
    KeyEventView release(quint32 scanCode, ulong time, int key, Qt::KeyboardModifiers modifiers,
                         bool toolkitRepeat);

    // Forgets every held key (focus moved away; no releases will come), so
    // that the next press of any key is a first press.
    void forget();

private:
    struct Hold
    {
        int key;
        Qt::KeyboardModifiers modifiers;
    };

    RepeatSource source;
    QHash<quint32, Hold> held;
    // The last real release (Paired): a press of the same key at the same
    // time turns out to be an auto-repeat.
    quint32 releasedCode = 0;
    ulong releasedTime = 0;
};

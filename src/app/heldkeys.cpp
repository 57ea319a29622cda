#include "heldkeys.h"

KeyEventView HeldKeys::press(quint32 scanCode, ulong time, int key, Qt::KeyboardModifiers modifiers,
                             bool toolkitRepeat)
{
    if (scanCode == 0 || source == RepeatSource::Toolkit) {
        if (scanCode != 0 && !toolkitRepeat)
            held.insert(scanCode, {key, modifiers});
        return {key, modifiers, toolkitRepeat};
    }
    const bool pairedRepeat = source == RepeatSource::Paired
        && (toolkitRepeat || (scanCode == releasedCode && time == releasedTime));
    if (pairedRepeat || held.contains(scanCode)) {
        // A repeat keeps the hold of the first press; the key table sees
        // that key, so a changed modifier cannot start a second action.
        const auto hold = held.constFind(scanCode);
        if (hold != held.constEnd())
            return {hold->key, hold->modifiers, true};
        return {key, modifiers, true};
    }
    held.insert(scanCode, {key, modifiers});
    return {key, modifiers, false};
}

KeyEventView HeldKeys::release(quint32 scanCode, ulong time, int key,
                               Qt::KeyboardModifiers modifiers, bool toolkitRepeat)
{
    // With detectable auto-repeat every release is real; the toolkit's flag on
    // a release is sure when set, since it saw the press that follows.
    const bool repeat = source != RepeatSource::Detectable && toolkitRepeat;
    if (!repeat && scanCode != 0) {
        releasedCode = scanCode;
        releasedTime = time;
    }
    const auto hold = held.constFind(scanCode);
    if (scanCode == 0 || hold == held.constEnd())
        return {key, modifiers, repeat};
    const KeyEventView view{hold->key, hold->modifiers, repeat};
    if (!repeat)
        held.erase(hold);
    return view;
}

void HeldKeys::forget()
{
    held.clear();
    releasedCode = 0;
    releasedTime = 0;
}

#include "launcher/launcher_hotkey_win.h"

namespace corvalo {
namespace {

// Windows 7's MOD_NOREPEAT: a held combination opens the menu once, not again and again.
constexpr UINT kNoRepeat = 0x4000;

}  // namespace

bool LauncherHotkey::Register(const Hotkey& hotkey) {
    return RegisterHotKey(window_, kId, hotkey.modifiers | kNoRepeat, hotkey.key) != FALSE;
}

bool LauncherHotkey::Set(const Hotkey& hotkey) {
    if (hotkey == current_)
        return true;
    const Hotkey previous = current_;
    Clear();
    if (hotkey.Empty())
        return true;
    if (Register(hotkey)) {
        current_ = hotkey;
        return true;
    }
    // The one it had is given back; it was free a moment ago.
    if (!previous.Empty() && Register(previous))
        current_ = previous;
    return false;
}

void LauncherHotkey::Clear() {
    if (!current_.Empty())
        UnregisterHotKey(window_, kId);
    current_ = Hotkey{};
}

}  // namespace corvalo

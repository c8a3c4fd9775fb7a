#pragma once

// "Hotkey...": the small window in which the user chooses the combination that opens the launcher
// menu from anywhere, in the system's hotkey field. Enter or OK takes the combination shown,
// Escape or Cancel leaves the hotkey as it was; an empty field (Backspace) means no hotkey.

#include "launcher/hotkey_text.h"

#include <windows.h>

#include <functional>
#include <optional>

namespace corvalo {

// Tries a combination the user confirmed: true once it is in use. When it cannot be, the taker
// tells the user why (over `dialog`), and the dialog stays open for another one.
using HotkeyTaker = std::function<bool(HWND dialog, const Hotkey& hotkey)>;

// Shows the dialog owned by `owner` and returns when it has closed: the hotkey taken (empty for
// none), or nothing when the user cancelled.
std::optional<Hotkey> RunHotkeyDialog(HWND owner, const Hotkey& current, const HotkeyTaker& take);

inline constexpr wchar_t kHotkeyDialogTitle[] = L"Hotkey";
// Said when another program holds the combination (%s: its text, "Ctrl+Alt+K"): in the dialog,
// and at start-up for the stored one.
inline constexpr wchar_t kHotkeyTakenText[] =
    L"The hotkey %s is in use by another program. Choose another one.";
inline constexpr wchar_t kStoredHotkeyTakenText[] =
    L"The hotkey %s is in use by another program. Choose another one under "
    L"Settings... > Hotkey...";
inline constexpr int kHotkeyFieldId = 100;

// Between the hotkey field's value (HKM_GETHOTKEY, HKM_SETHOTKEY) and a hotkey. The field has no
// Win key: a hotkey with it shows without it.
Hotkey HotkeyFromField(WORD value);
WORD FieldValueOf(const Hotkey& hotkey);

}  // namespace corvalo

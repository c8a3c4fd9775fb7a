#pragma once

// The launcher's hotkey as the settings file holds it: text a person can read and edit, such as
// "Ctrl+Alt+K". Modifiers come first, in the order Ctrl, Alt, Shift, Win, then one key; names are
// read without regard to case or spaces around the "+".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvalo {

// The modifier bits, the same as RegisterHotKey's MOD_ values.
enum HotkeyModifier : uint32_t {
    kHotkeyAlt = 0x1,
    kHotkeyControl = 0x2,
    kHotkeyShift = 0x4,
    kHotkeyWin = 0x8,
};

struct Hotkey {
    uint32_t modifiers = 0;
    uint32_t key = 0;  // a virtual-key code; 0: no hotkey
    bool Empty() const { return key == 0; }
    bool operator==(const Hotkey&) const = default;
};

// The hotkey a text names; none for an empty text. Not a hotkey: a modifier alone, an unknown
// name, a second key, and a key that types (a letter, a digit, Space) without Ctrl, Alt or Win,
// which would take that key from every program.
std::optional<Hotkey> ParseHotkey(std::wstring_view text);
// The text of a hotkey ("" for none); ParseHotkey reads it back to the same hotkey.
std::wstring FormatHotkey(const Hotkey& hotkey);

}  // namespace corvalo

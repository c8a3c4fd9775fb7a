#include "launcher/hotkey_text.h"

#include "base/text.h"

#include <array>
#include <vector>

namespace corvalo {
namespace {

struct NamedKey {
    const wchar_t* name;
    uint32_t key;
};

// Keys other than letters, digits and F1 to F24, by the names their caps carry.
constexpr std::array kNamedKeys = {
    NamedKey{L"Space", 0x20},     NamedKey{L"PageUp", 0x21},      NamedKey{L"PageDown", 0x22},
    NamedKey{L"End", 0x23},       NamedKey{L"Home", 0x24},        NamedKey{L"Left", 0x25},
    NamedKey{L"Up", 0x26},        NamedKey{L"Right", 0x27},       NamedKey{L"Down", 0x28},
    NamedKey{L"Insert", 0x2D},    NamedKey{L"Delete", 0x2E},      NamedKey{L"Tab", 0x09},
    NamedKey{L"Enter", 0x0D},     NamedKey{L"Pause", 0x13},       NamedKey{L"Backspace", 0x08},
    NamedKey{L"Escape", 0x1B},    NamedKey{L"Num0", 0x60},        NamedKey{L"Num1", 0x61},
    NamedKey{L"Num2", 0x62},      NamedKey{L"Num3", 0x63},        NamedKey{L"Num4", 0x64},
    NamedKey{L"Num5", 0x65},      NamedKey{L"Num6", 0x66},        NamedKey{L"Num7", 0x67},
    NamedKey{L"Num8", 0x68},      NamedKey{L"Num9", 0x69},        NamedKey{L"NumMultiply", 0x6A},
    NamedKey{L"NumAdd", 0x6B},    NamedKey{L"NumSubtract", 0x6D}, NamedKey{L"NumDecimal", 0x6E},
    NamedKey{L"NumDivide", 0x6F},
};

struct NamedModifier {
    const wchar_t* name;
    uint32_t bit;
};

constexpr std::array kModifiers = {
    NamedModifier{L"Ctrl", kHotkeyControl}, NamedModifier{L"Alt", kHotkeyAlt},
    NamedModifier{L"Shift", kHotkeyShift}, NamedModifier{L"Win", kHotkeyWin}};

constexpr uint32_t kF1 = 0x70;
constexpr int kFunctionKeys = 24;
// Keys of a keyboard's other caps, written by number ("Key 186") as their caps differ by layout.
constexpr wchar_t kNumberedKey[] = L"key ";

std::wstring_view Trimmed(std::wstring_view text) {
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t'))
        text.remove_suffix(1);
    return text;
}

std::optional<uint32_t> ModifierNamed(const std::wstring& folded) {
    if (folded == L"control")
        return kHotkeyControl;
    for (const NamedModifier& modifier : kModifiers) {
        if (folded == LowerCase(modifier.name))
            return modifier.bit;
    }
    return std::nullopt;
}

std::optional<uint32_t> KeyNamed(const std::wstring& folded) {
    if (folded.size() == 1 &&
        ((folded[0] >= L'a' && folded[0] <= L'z') || (folded[0] >= L'0' && folded[0] <= L'9'))) {
        return static_cast<uint32_t>(folded[0] >= L'a' ? folded[0] - L'a' + L'A' : folded[0]);
    }
    if (folded.size() >= 2 && folded.size() <= 3 && folded[0] == L'f') {
        int number = 0;
        for (size_t i = 1; i < folded.size(); ++i) {
            if (folded[i] < L'0' || folded[i] > L'9')
                return std::nullopt;
            number = number * 10 + (folded[i] - L'0');
        }
        if (folded[1] != L'0' && number >= 1 && number <= kFunctionKeys)
            return kF1 + static_cast<uint32_t>(number - 1);
        return std::nullopt;
    }
    for (const NamedKey& named : kNamedKeys) {
        if (folded == LowerCase(named.name))
            return named.key;
    }
    const std::wstring_view prefix = kNumberedKey;
    if (folded.size() > prefix.size() && folded.size() <= prefix.size() + 3 &&
        folded.compare(0, prefix.size(), prefix) == 0) {
        uint32_t number = 0;
        for (size_t i = prefix.size(); i < folded.size(); ++i) {
            if (folded[i] < L'0' || folded[i] > L'9')
                return std::nullopt;
            number = number * 10 + static_cast<uint32_t>(folded[i] - L'0');
        }
        if (number >= 1 && number <= 254)
            return number;
    }
    return std::nullopt;
}

bool Types(uint32_t key) {
    return key == 0x20 || (key >= L'0' && key <= L'9') || (key >= L'A' && key <= L'Z');
}

}  // namespace

std::optional<Hotkey> ParseHotkey(std::wstring_view text) {
    text = Trimmed(text);
    if (text.empty())
        return std::nullopt;
    Hotkey hotkey;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t plus = text.find(L'+', start);
        const size_t end = plus == std::wstring_view::npos ? text.size() : plus;
        const std::wstring part = LowerCase(Trimmed(text.substr(start, end - start)));
        if (part.empty())
            return std::nullopt;  // "Ctrl++K", "+K", "Ctrl+"
        if (hotkey.key != 0)
            return std::nullopt;  // a key before or among the modifiers, or a second key
        if (const std::optional<uint32_t> modifier = ModifierNamed(part)) {
            hotkey.modifiers |= *modifier;
        } else if (const std::optional<uint32_t> key = KeyNamed(part)) {
            hotkey.key = *key;
        } else {
            return std::nullopt;
        }
        if (plus == std::wstring_view::npos)
            break;
        start = plus + 1;
    }
    if (hotkey.key == 0)
        return std::nullopt;  // modifiers alone
    if (Types(hotkey.key) && !(hotkey.modifiers & (kHotkeyControl | kHotkeyAlt | kHotkeyWin)))
        return std::nullopt;
    return hotkey;
}

std::wstring FormatHotkey(const Hotkey& hotkey) {
    if (hotkey.Empty())
        return L"";
    std::wstring text;
    for (const NamedModifier& modifier : kModifiers) {
        if (hotkey.modifiers & modifier.bit)
            text += std::wstring(modifier.name) + L"+";
    }
    const uint32_t key = hotkey.key;
    if ((key >= L'A' && key <= L'Z') || (key >= L'0' && key <= L'9')) {
        text += static_cast<wchar_t>(key);
        return text;
    }
    if (key >= kF1 && key < kF1 + kFunctionKeys)
        return text + L"F" + std::to_wstring(key - kF1 + 1);
    for (const NamedKey& named : kNamedKeys) {
        if (named.key == key)
            return text + named.name;
    }
    return text + L"Key " + std::to_wstring(key);
}

}  // namespace corvalo

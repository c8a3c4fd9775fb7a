#include "base/settings_file_text.h"

#include "base/text.h"

#include <algorithm>
#include <string_view>

namespace corvalo {
namespace {

std::vector<uint8_t> Utf16FileOf(std::wstring_view text) {
    std::vector<uint8_t> bytes = {0xFF, 0xFE};
    for (uint16_t unit : WideToUtf16(text)) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

}  // namespace

bool IsUtf16SettingsFile(std::span<const uint8_t> bytes) {
    return bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
}

std::optional<std::vector<uint8_t>> SettingsFileAsUtf16(std::span<const uint8_t> bytes) {
    if (bytes.empty())
        return std::vector<uint8_t>(std::begin(kUtf16SettingsStart), std::end(kUtf16SettingsStart));
    if (IsUtf16SettingsFile(bytes) || (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF))
        return std::nullopt;
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    const bool marked = text.starts_with("\xEF\xBB\xBF");
    if (marked)
        text.remove_prefix(3);
    const bool beyondAscii = std::any_of(text.begin(), text.end(),
                                         [](char c) { return static_cast<uint8_t>(c) >= 0x80; });
    if ((!beyondAscii && !marked) || !IsValidUtf8(text))
        return std::nullopt;
    return Utf16FileOf(Utf8ToWide(text));
}

std::vector<uint8_t> AnsiSettingsFileAsUtf16(std::span<const uint8_t> bytes) {
    return Utf16FileOf(
        AnsiToWide(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size())));
}

}  // namespace corvalo

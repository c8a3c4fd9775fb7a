#include "app/legacy_list.h"

#include "base/text.h"

#include <string_view>

namespace corvalo {
namespace {

constexpr wchar_t kLineSeparator = 0x2028;

// UTF-16 units up to the first zero unit (the end of the text) or the last whole unit.
std::wstring DecodeUtf16(std::span<const uint8_t> bytes, bool bigEndian) {
    std::vector<uint16_t> units;
    units.reserve(bytes.size() / 2);
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const uint16_t unit = bigEndian ? static_cast<uint16_t>(bytes[i] << 8 | bytes[i + 1])
                                        : static_cast<uint16_t>(bytes[i + 1] << 8 | bytes[i]);
        if (unit == 0)
            break;
        units.push_back(unit);
    }
    return Utf16ToWide(units);
}

// 8-bit text ends at its first zero byte: no multi-byte form of UTF-8 or of an ANSI code page
// contains one, so cutting the bytes there is the same as cutting the decoded text.
std::string_view UpToZero(std::span<const uint8_t> bytes) {
    std::string_view text(reinterpret_cast<const char*>(bytes.data()), bytes.size());
    return text.substr(0, text.find('\0'));
}

std::vector<std::wstring> SplitLines(std::wstring_view text) {
    std::vector<std::wstring> lines;
    size_t at = 0;
    while (at < text.size()) {
        const size_t end = text.find_first_of(L"\r\n\u2028", at);
        if (end == std::wstring_view::npos) {
            lines.emplace_back(text.substr(at));
            break;
        }
        lines.emplace_back(text.substr(at, end - at));
        at = end;
        if (at < text.size() && text[at] == L'\r')
            ++at;
        if (at < text.size() && text[at] == L'\n')
            ++at;
        if (at < text.size() && text[at] == kLineSeparator)
            ++at;
    }
    return lines;
}

}  // namespace

std::vector<std::wstring> DecodeLegacyList(std::span<const uint8_t> bytes) {
    std::wstring text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        text = DecodeUtf16(bytes.subspan(2), false);
    } else if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        text = DecodeUtf16(bytes.subspan(2), true);
    } else if (bytes.size() >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
        text = Utf8ToWide(UpToZero(bytes.subspan(3)));
    } else {
        text = AnsiToWide(UpToZero(bytes));
    }
    return SplitLines(text);
}

}  // namespace corvalo

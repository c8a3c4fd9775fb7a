#include "base/settings_integer.h"

namespace corvalo {
namespace {

int HexDigitValue(wchar_t ch) {
    if (ch >= L'0' && ch <= L'9')
        return ch - L'0';
    if (ch >= L'a' && ch <= L'f')
        return ch - L'a' + 10;
    if (ch >= L'A' && ch <= L'F')
        return ch - L'A' + 10;
    return -1;
}

}  // namespace

std::optional<int32_t> ParseSettingsInteger(std::wstring_view text) {
    size_t at = 0;
    while (at < text.size() && text[at] == L' ')
        ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == L'+' || text[at] == L'-')) {
        negative = text[at] == L'-';
        ++at;
    }

    size_t hexStart = std::wstring_view::npos;
    if (at < text.size() && text[at] == L'$') {
        hexStart = at + 1;
    } else if (at + 1 < text.size() && text[at] == L'0' &&
               (text[at + 1] == L'x' || text[at + 1] == L'X')) {
        hexStart = at + 2;
    }

    if (hexStart != std::wstring_view::npos) {
        if (hexStart >= text.size())
            return std::nullopt;
        uint32_t pattern = 0;
        for (size_t i = hexStart; i < text.size(); ++i) {
            const int digit = HexDigitValue(text[i]);
            if (digit < 0 || pattern > 0x0FFFFFFFu)
                return std::nullopt;
            pattern = (pattern << 4) | static_cast<uint32_t>(digit);
        }
        if (negative)
            pattern = 0u - pattern;
        return static_cast<int32_t>(pattern);
    }

    if (at >= text.size())
        return std::nullopt;
    // Accumulate the magnitude in 64 bits; it is checked after every digit, so it never grows
    // past 2^31 + 9.
    const int64_t limit = negative ? 2147483648LL : 2147483647LL;
    int64_t magnitude = 0;
    for (size_t i = at; i < text.size(); ++i) {
        if (text[i] < L'0' || text[i] > L'9')
            return std::nullopt;
        magnitude = magnitude * 10 + (text[i] - L'0');
        if (magnitude > limit)
            return std::nullopt;
    }
    return static_cast<int32_t>(negative ? -magnitude : magnitude);
}

std::wstring FormatSettingsInteger(int32_t value) {
    return std::to_wstring(value);
}

}  // namespace corvalo

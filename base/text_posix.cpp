// The native build has no ANSI code page of its own; Windows-1252, the code page of the Windows
// installations the tests model, stands in for it.
#include "base/text.h"

#include <cwctype>

namespace corvalo {
namespace {

// Windows-1252 bytes 0x80..0x9F; 0 marks the five undefined ones, which map to themselves as
// MultiByteToWideChar does.
constexpr char16_t kHighControls[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

wchar_t DecodeByte(uint8_t byte) {
    if (byte >= 0x80 && byte <= 0x9F && kHighControls[byte - 0x80] != 0) {
        return static_cast<wchar_t>(kHighControls[byte - 0x80]);
    }
    return static_cast<wchar_t>(byte);
}

}  // namespace

std::wstring AnsiToWide(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    for (char ch : text)
        out += DecodeByte(static_cast<uint8_t>(ch));
    return out;
}

std::string WideToAnsi(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t ch : text) {
        const uint32_t cp = static_cast<uint32_t>(ch);
        if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
            out += static_cast<char>(cp);
            continue;
        }
        char mapped = '?';
        for (int i = 0; i < 32; ++i) {
            if (kHighControls[i] == cp || (kHighControls[i] == 0 && cp == 0x80u + i)) {
                mapped = static_cast<char>(0x80 + i);
                break;
            }
        }
        out += mapped;
    }
    return out;
}

std::wstring LowerCase(std::wstring_view text) {
    std::wstring out(text);
    for (wchar_t& ch : out) {
        // The C library's default locale folds ASCII only; the Latin-1 capitals fold as the
        // system's lower-casing does, which is enough for the tests of the native build.
        if (ch >= 0xC0 && ch <= 0xDE && ch != 0xD7)
            ch = static_cast<wchar_t>(ch + 0x20);
        else
            ch = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch)));
    }
    return out;
}

}  // namespace corvalo

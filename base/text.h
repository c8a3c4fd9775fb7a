#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace corvalo {

// 8-bit text is in the system's ANSI code page. On Windows these go through CP_ACP; in the native
// build they use Windows-1252, the code page the tests assume. Characters the code page lacks come
// out as the code page's default character '?': no best-fit look-alike letters, so a Greek caption
// shows as default characters and a file name never turns into the name of another file.
std::string WideToAnsi(std::wstring_view text);
std::wstring AnsiToWide(std::string_view text);

// Appends one UTF-16 code unit sequence to a wide string. Where wchar_t is 32 bits wide, surrogate
// pairs are joined into one code point; lone surrogates are kept as they are, so nothing is lost.
std::wstring Utf16ToWide(const std::vector<uint16_t>& units);
std::vector<uint16_t> WideToUtf16(std::wstring_view text);

// UTF-8 to wide text; invalid sequences become U+FFFD.
std::wstring Utf8ToWide(std::string_view text);
// True when the text is UTF-8 through and through: no overlong form, no surrogate, nothing past
// U+10FFFF, no stray or missing continuation byte.
bool IsValidUtf8(std::string_view text);
std::string WideToUtf8(std::wstring_view text);

// Unicode-aware lower-casing of the system (CharLowerBuffW on Windows).
std::wstring LowerCase(std::wstring_view text);

}  // namespace corvalo

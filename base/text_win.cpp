#include "base/text.h"

#include "base/error.h"

#include <windows.h>

#include <climits>

namespace corvalo {
namespace {

// The conversion functions take int lengths; a negative one would make them read up to a zero.
int CheckedLength(size_t length) {
    if (length > static_cast<size_t>(INT_MAX))
        throw Error(L"Text too long");
    return static_cast<int>(length);
}

}  // namespace

std::string WideToAnsi(std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = CheckedLength(text.size());
    const int needed =
        WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text.data(), size, out.data(), needed, nullptr, nullptr);
    return out;
}

std::wstring AnsiToWide(std::string_view text) {
    if (text.empty())
        return {};
    const int size = CheckedLength(text.size());
    const int needed = MultiByteToWideChar(CP_ACP, 0, text.data(), size, nullptr, 0);
    std::wstring out(static_cast<size_t>(needed), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), size, out.data(), needed);
    return out;
}

std::wstring LowerCase(std::wstring_view text) {
    std::wstring out(text);
    if (!out.empty())
        CharLowerBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

}  // namespace corvalo

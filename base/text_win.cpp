#include "base/text.h"

#include <windows.h>

namespace corvalo {

std::string WideToAnsi(std::wstring_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
    const int needed =
        WideCharToMultiByte(CP_ACP, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(needed), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.data(), size, out.data(), needed, nullptr, nullptr);
    return out;
}

std::wstring AnsiToWide(std::string_view text) {
    if (text.empty())
        return {};
    const int size = static_cast<int>(text.size());
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

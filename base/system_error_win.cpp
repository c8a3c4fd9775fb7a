#include "base/system_error_win.h"

#include "base/error.h"

namespace corvalo {

std::wstring SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length ? std::wstring(buffer, length) : FillNumber(L"Error %d.", code);
    if (buffer)
        LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    return text;
}

void ThrowSystemError(std::wstring_view what) {
    const DWORD code = GetLastError();
    std::wstring message(what);
    message += L". ";
    message += SystemErrorText(code);
    throw Error(message);
}

}  // namespace corvalo

#include "base/user_messages_win.h"

#include "base/error.h"
#include "base/text.h"

#include <exception>
#include <new>

namespace corvalo {

constexpr wchar_t kApplicationTitle[] = L"Corvalo";

void MessageBoxUserMessages::ShowError(HWND owner, const std::wstring& text) {
    MessageBoxW(owner, text.c_str(), kApplicationTitle, MB_OK | MB_ICONERROR);
}

void MessageBoxUserMessages::ShowNotice(HWND owner, const std::wstring& text) {
    MessageBoxW(owner, text.c_str(), kApplicationTitle, MB_OK);
}

void ReportCurrentException(UserMessages& messages, HWND owner) {
    try {
        throw;
    } catch (const Error& error) {
        messages.ShowError(owner, error.Message());
    } catch (const std::bad_alloc&) {
        messages.ShowError(owner, L"Out of memory");
    } catch (const std::exception& error) {
        messages.ShowError(owner, AnsiToWide(error.what()));
    }
}

}  // namespace corvalo

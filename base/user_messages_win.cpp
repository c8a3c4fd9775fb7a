#include "base/user_messages_win.h"

#include "base/error.h"
#include "base/text.h"
#include "base/program_name.h"
#include "base/trace.h"

#include <exception>
#include <new>

namespace corvalo {

void MessageBoxUserMessages::ShowError(HWND owner, const std::wstring& text) {
    MessageBoxW(owner, text.c_str(), kProgramTitle, MB_OK | MB_ICONERROR);
}

void MessageBoxUserMessages::ShowNotice(HWND owner, const std::wstring& text) {
    MessageBoxW(owner, text.c_str(), kProgramTitle, MB_OK);
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
    } catch (...) {
        // Only the program's own errors carry a message for the user; anything else is a fault a
        // developer must see, and the program goes on.
        Trace(L"A handler ended with an exception that is not an error of the program");
    }
}

}  // namespace corvalo

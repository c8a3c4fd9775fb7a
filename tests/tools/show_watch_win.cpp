// Test helper DLL: a window-procedure hook that a test sets for every thread of the session, so
// it is loaded into every process with windows. When a window of a process becomes visible, it
// sets the event "CorvaloShowWatch_<process id>" if a test has made one for that process: that is
// how a test learns that a short-lived process showed a window, even for a moment.
#include <windows.h>

#include <cwchar>

namespace {

bool BecomesVisible(const CWPSTRUCT& message) {
    if (message.message == WM_SHOWWINDOW)
        return message.wParam != 0;
    if (message.message == WM_WINDOWPOSCHANGING && message.lParam)
        return (reinterpret_cast<const WINDOWPOS*>(message.lParam)->flags & SWP_SHOWWINDOW) != 0;
    return false;
}

}  // namespace

extern "C" __declspec(dllexport) LRESULT CALLBACK
    ShowWatchHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && lParam && BecomesVisible(*reinterpret_cast<CWPSTRUCT*>(lParam))) {
        wchar_t name[64];
        std::swprintf(name, 64, L"CorvaloShowWatch_%lu", GetCurrentProcessId());
        if (HANDLE event = OpenEventW(EVENT_MODIFY_STATE, FALSE, name)) {
            SetEvent(event);
            CloseHandle(event);
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

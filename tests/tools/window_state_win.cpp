// Test helper for the end-to-end runs: acts on and reports the state of a running Corvalo of this
// Wine prefix, told apart from other running copies by its executable's path.
//   window_state minimize <exe>   minimises that copy's application window (its taskbar button)
//   window_state report <exe>     prints "iconic=<0|1> foreground=<0|1>": whether that copy's
//                                 application window is minimised, and whether the foreground
//                                 window belongs to that copy
//   window_state taskbar <exe>    prints "taskbar=<0|1>": whether that copy has a taskbar button,
//                                 that is a visible, unowned window of its own that is no tool
//                                 window (the rules the taskbar goes by)
// Exit code 1 when no copy of that executable runs.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <utility>

namespace {

DWORD ProcessOf(HWND window) {
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    return processId;
}

std::wstring ImagePath(DWORD processId) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId);
    if (!process)
        return {};
    wchar_t path[MAX_PATH * 4] = {};
    DWORD length = MAX_PATH * 4;
    if (!QueryFullProcessImageNameW(process, 0, path, &length))
        length = 0;
    CloseHandle(process);
    return std::wstring(path, length);
}

HWND ApplicationWindowOf(const std::wstring& exePath) {
    wchar_t full[MAX_PATH * 4] = {};
    GetFullPathNameW(exePath.c_str(), MAX_PATH * 4, full, nullptr);
    HWND window = nullptr;
    while ((window = FindWindowExW(nullptr, window, L"CorvaloApplication", nullptr)) != nullptr) {
        if (lstrcmpiW(ImagePath(ProcessOf(window)).c_str(), full) == 0)
            return window;
    }
    return nullptr;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3)
        return 1;
    HWND application = ApplicationWindowOf(argv[2]);
    if (!application)
        return 1;
    if (std::wcscmp(argv[1], L"minimize") == 0) {
        ShowWindow(application, SW_MINIMIZE);
        for (int i = 0; i < 100 && !IsIconic(application); ++i)
            Sleep(50);
        return IsIconic(application) ? 0 : 2;
    }
    if (std::wcscmp(argv[1], L"taskbar") == 0) {
        // The process, and whether a window of it has a button.
        std::pair<DWORD, bool> state{ProcessOf(application), false};
        EnumWindows(
            [](HWND window, LPARAM found) -> BOOL {
                auto* state = reinterpret_cast<std::pair<DWORD, bool>*>(found);
                const LONG_PTR exStyle = GetWindowLongPtrW(window, GWL_EXSTYLE);
                if (ProcessOf(window) == state->first && IsWindowVisible(window) &&
                    !GetWindow(window, GW_OWNER) &&
                    ((exStyle & WS_EX_APPWINDOW) || !(exStyle & WS_EX_TOOLWINDOW))) {
                    state->second = true;
                    return FALSE;
                }
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&state));
        std::printf("taskbar=%d\n", state.second ? 1 : 0);
        return 0;
    }
    if (std::wcscmp(argv[1], L"report") == 0) {
        const HWND foreground = GetForegroundWindow();
        std::printf("iconic=%d foreground=%d\n", IsIconic(application) ? 1 : 0,
                    foreground && ProcessOf(foreground) == ProcessOf(application) ? 1 : 0);
        return 0;
    }
    return 1;
}

// Test build of the program: the same start, main window and guard as corvalo.exe, but its
// user-interface thread stops answering for good when it receives the message
// "CorvaloTestHang" (posted to the thread or to any of its windows). The tests copy it into a
// folder under the program's own name to play a running copy that has hung.
#include "app/main_window_win.h"
#include "base/user_messages_win.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <string>

namespace {

std::wstring ModulePath() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return path;
}

std::string AnsiModulePath() {
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(sizeof(path)));
    return std::string(path, length);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
    const UINT hang = RegisterWindowMessageW(L"CorvaloTestHang");

    corvalo::MessageBoxUserMessages messages;
    int exitCode = 0;
    corvalo::RunHandler(messages, nullptr, [&] {
        corvalo::MainWindowOptions options;
        options.exePath = ModulePath();
        options.ansiExePath = AnsiModulePath();
        corvalo::MainWindow mainWindow(std::move(options));
        mainWindow.Show();
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (message.message == hang) {
                for (;;)
                    Sleep(INFINITE);
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        exitCode = static_cast<int>(message.wParam);
    });
    OleUninitialize();
    return exitCode;
}

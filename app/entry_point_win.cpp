// The program: the main window over the files beside the executable, then the message loop until
// the main window has closed.
#include "app/main_window_win.h"
#include "base/user_messages_win.h"

#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <string>

namespace {

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length =
            GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::string AnsiModulePath() {
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(sizeof(path)));
    return std::string(path, length);
}

int RunMessageLoop() {
    MSG message{};
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return static_cast<int>(message.wParam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // OLE for drag and drop and the shell; the common controls for image lists and dialogs.
    OleInitialize(nullptr);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);

    corvalo::MessageBoxUserMessages messages;
    int exitCode = 0;
    corvalo::RunHandler(messages, nullptr, [&] {
        corvalo::MainWindowOptions options;
        options.exePath = ModulePath();
        options.ansiExePath = AnsiModulePath();
        corvalo::MainWindow mainWindow(std::move(options));
        mainWindow.Show();
        exitCode = RunMessageLoop();
    });

    OleUninitialize();
    return exitCode;
}

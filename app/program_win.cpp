#include "app/program_win.h"

#include "app/main_window_win.h"
#include "base/user_messages_win.h"

#include <windows.h>

#include <string>

namespace corvalo {
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

// The path as the process's 8-bit argument 0 gives it.
std::string AnsiModulePath() {
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(sizeof(path)));
    return std::string(path, length);
}

}  // namespace

int RunProgram(const ProgramHooks& hooks) {
    // OLE and the common controls start later, in the main window, once its picture is on screen.
    MessageBoxUserMessages messages;
    int exitCode = 0;
    RunHandler(messages, nullptr, [&] {
        MainWindowOptions options;
        options.exePath = ModulePath();
        options.ansiExePath = AnsiModulePath();
        options.iconLookup = hooks.iconLookup;
        MainWindow mainWindow(std::move(options));
        mainWindow.Show();
        MSG message{};
        while (GetMessageW(&message, nullptr, 0, 0) > 0) {
            if (hooks.onMessage)
                hooks.onMessage(message);
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        exitCode = static_cast<int>(message.wParam);
    });
    return exitCode;
}

}  // namespace corvalo

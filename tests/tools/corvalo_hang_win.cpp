// Test build of the program: the same start, main window and guard as corvalo.exe, but its
// user-interface thread stops answering for good when it receives the message
// "CorvaloTestHang" (posted to the thread or to any of its windows). The tests copy it into a
// folder under the program's own name to play a running copy that has hung.
//
// Started with the single argument "/hold-guard-lock" it plays a copy that is killed while it
// holds the guard's lock instead: it takes the lock of its own path, keeps it and waits to be
// ended.
#include "app/app_instances_win.h"
#include "app/optex_win.h"
#include "app/program_win.h"

#include <windows.h>

#include <cwchar>
#include <string>

namespace {

int HoldGuardLock() {
    char path[MAX_PATH * 2] = {};
    const DWORD length = GetModuleFileNameA(nullptr, path, static_cast<DWORD>(sizeof(path)));
    const corvalo::InstanceNames names = corvalo::InstanceNamesOf(std::string(path, length));
    corvalo::Optex lock(corvalo::OptexNames{names.lockEvent, names.lockBlock, names.lockMutex});
    if (!lock.Enter())
        return 1;
    for (;;)
        Sleep(INFINITE);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    if (commandLine && std::wcscmp(commandLine, L"/hold-guard-lock") == 0)
        return HoldGuardLock();
    const UINT hang = RegisterWindowMessageW(L"CorvaloTestHang");
    corvalo::ProgramHooks hooks;
    hooks.onMessage = [hang](const MSG& message) {
        if (message.message == hang) {
            for (;;)
                Sleep(INFINITE);
        }
    };
    return corvalo::RunProgram(hooks);
}

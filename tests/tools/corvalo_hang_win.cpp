// Test build of the program: the same start, main window and guard as corvalo.exe, but its
// user-interface thread stops answering for good when it receives the message
// "CorvaloTestHang" (posted to the thread or to any of its windows). The tests copy it into a
// folder under the program's own name to play a running copy that has hung.
#include "app/program_win.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    const UINT hang = RegisterWindowMessageW(L"CorvaloTestHang");
    return corvalo::RunProgram([hang](const MSG& message) {
        if (message.message == hang) {
            for (;;)
                Sleep(INFINITE);
        }
    });
}

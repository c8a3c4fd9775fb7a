// The program's entry point.
#include "app/program_win.h"
#include "base/dll_search_win.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    // Before anything loads a DLL: only the system folder's, never one dropped beside the exe.
    corvalo::LimitDllSearchToSystemFolder();
    const int exitCode = corvalo::RunProgram();
    // The final save is done and the guard has let go: the process ends here, without the
    // exit-time destructors, which a menu icon lookup the shell still holds up could be using.
    ExitProcess(static_cast<UINT>(exitCode));
}

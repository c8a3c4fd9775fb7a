// Benchmark build of the program: corvalo.exe itself, but the shell takes for ever to answer for
// a target on the share \\unreachable\, as it does on Windows for a network share whose server is
// gone (each lookup waits for the network's time-outs). Every other target is looked up by the
// shell as usual. Wine answers for a missing server at once, so this build stands in for it.
#include "app/program_win.h"
#include "shell/sys_image_list_win.h"

#include <windows.h>

#include <string>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    corvalo::ProgramHooks hooks;
    hooks.iconLookup = [](const std::string& name) {
        if (name.rfind("\\\\unreachable\\", 0) == 0)
            Sleep(INFINITE);
        return corvalo::GetFileIconIndex(name, false);
    };
    return corvalo::RunProgram(hooks);
}

// The program's entry point.
#include "app/program_win.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    return corvalo::RunProgram();
}

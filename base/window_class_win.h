#pragma once

#include <windows.h>

namespace corvalo {

// Registers a window class of this module with the program's icon and the arrow cursor, once:
// a class already registered is left as it is. Throws when the class cannot be registered.
// The background brush may be a system colour (COLOR_xxx + 1) or null for windows that paint it
// all.
void RegisterProgramWindowClass(const wchar_t* className, WNDPROC procedure, UINT style = 0,
                                HBRUSH background = nullptr);

}  // namespace corvalo

#pragma once

// Where the program's DLLs come from. Windows looks for a DLL that is not one of its known DLLs
// in the exe's own folder first, so a msimg32.dll or version.dll dropped beside corvalo.exe (in a
// Downloads folder, say) would be loaded and run when the program first needs it. The entry point
// limits every later load, the delay-loaded ones included, to the system folder before anything
// else runs.

#include <windows.h>

#include <string>

namespace corvalo {

// How DLLs are found from now on.
enum class DllSearch {
    SystemFolderOnly,  // the system's own rule (SetDefaultDllDirectories), Windows 8 and later,
                       // and Windows 7 with its security update
    ByFullPath,        // a system without that rule: every delay-loaded DLL is loaded by its
                       // full path in the system folder instead
};

// The first thing the entry point does. `setDefaultDirectories` is looked up at run time (the
// exe's minimum is Windows 7); a test passes null to take the fallback.
using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
DllSearch LimitDllSearchToSystemFolder(SetDefaultDllDirectoriesFunction setDefaultDirectories);
DllSearch LimitDllSearchToSystemFolder();

// The fallback's load of a delay-loaded DLL: from the system folder by its full path, except the
// common controls, which the manifest's side-by-side assembly names (a load by name finds them
// there, never beside the exe). Null when it cannot be loaded.
HMODULE LoadSystemDll(const char* dllName);

}  // namespace corvalo

#include "base/dll_search_win.h"

#include "base/trace.h"

#include <delayimp.h>

#include <string>

namespace corvalo {
namespace {

bool gLoadByFullPath = false;

// The delay-load helper asks this before it loads a DLL: a module returned here is used as is,
// null lets the helper load it its own way (the system's rule then limits it to the system folder).
FARPROC WINAPI BeforeDelayLoad(unsigned notification, PDelayLoadInfo info) {
    if (notification != dliNotePreLoadLibrary || !gLoadByFullPath || !info || !info->szDll)
        return nullptr;
    return reinterpret_cast<FARPROC>(LoadSystemDll(info->szDll));
}

}  // namespace
}  // namespace corvalo

// The helper's hook: MinGW's helper reads this variable, Visual Studio's its constant.
#if defined(_MSC_VER)
extern "C" const PfnDliHook __pfnDliNotifyHook2 = corvalo::BeforeDelayLoad;
#endif

namespace corvalo {

HMODULE LoadSystemDll(const char* dllName) {
    const std::string name(dllName);
    if (lstrcmpiA(name.c_str(), "comctl32.dll") == 0)
        return LoadLibraryA(name.c_str());
    char folder[MAX_PATH] = {};
    const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH || name.find_first_of("\\/:") != std::string::npos)
        return nullptr;
    return LoadLibraryExA((std::string(folder, length) + "\\" + name).c_str(), nullptr,
                          LOAD_WITH_ALTERED_SEARCH_PATH);
}

DllSearch LimitDllSearchToSystemFolder(SetDefaultDllDirectoriesFunction setDefaultDirectories) {
#if !defined(_MSC_VER)
    __pfnDliNotifyHook2 = BeforeDelayLoad;
#endif
    // The current folder is never searched, whatever the system.
    SetDllDirectoryW(L"");
    if (setDefaultDirectories && setDefaultDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        gLoadByFullPath = false;
        return DllSearch::SystemFolderOnly;
    }
    Trace(L"The system has no rule to load DLLs only from its folder: they are loaded by path");
    gLoadByFullPath = true;
    return DllSearch::ByFullPath;
}

DllSearch LimitDllSearchToSystemFolder() {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return LimitDllSearchToSystemFolder(reinterpret_cast<SetDefaultDllDirectoriesFunction>(
        kernel ? reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories"))
               : nullptr));
}

}  // namespace corvalo

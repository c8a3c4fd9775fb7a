#pragma once

// The visible top-level window of a given class that a process shows, for the benchmarks that
// start a program and wait for its window.

#include <windows.h>

#include <cwchar>

namespace corvalo::bench {

struct ProcessWindowSearch {
    DWORD processId;
    const wchar_t* windowClass;
    HWND found;
};

inline BOOL CALLBACK CheckProcessWindow(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ProcessWindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId || !IsWindowVisible(window))
        return TRUE;
    wchar_t name[256];
    if (GetClassNameW(window, name, 256) == 0 || std::wcscmp(name, search->windowClass) != 0)
        return TRUE;
    search->found = window;
    return FALSE;
}

// Null while the process shows no such window.
inline HWND FindProcessWindow(DWORD processId, const wchar_t* windowClass) {
    ProcessWindowSearch search{processId, windowClass, nullptr};
    EnumWindows(CheckProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

}  // namespace corvalo::bench

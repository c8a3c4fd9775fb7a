// A DLL that someone drops beside corvalo.exe under a system DLL's name (msimg32.dll,
// version.dll), as a download could. Loaded, it leaves "planted-<its name>.txt" beside itself;
// the end-to-end run shows the program never loads it.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH)
        return TRUE;
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameW(module, path, MAX_PATH);
    std::wstring marker(path, length);
    const size_t slash = marker.find_last_of(L'\\');
    const std::wstring name = marker.substr(slash + 1);
    marker = marker.substr(0, slash + 1) + L"planted-" + name + L".txt";
    HANDLE file = CreateFileW(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    return TRUE;
}

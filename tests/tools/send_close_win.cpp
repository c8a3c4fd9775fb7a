// Asks the running Corvalo of this Wine prefix to close, exactly as the window's close button
// would, so that its final save runs. Used by the run script and the end-to-end tests.
#include <windows.h>

#include <cwchar>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    // "/post" only asks, without waiting for the end: the caller goes on while the close runs.
    const bool postOnly = commandLine && lstrcmpW(commandLine, L"/post") == 0;
    const wchar_t* className =
        (commandLine && *commandLine && !postOnly) ? commandLine : L"CorvaloMainWindow";
    HWND window = FindWindowW(className, nullptr);
    if (!window)
        return 1;
    PostMessageW(window, WM_CLOSE, 0, 0);
    if (postOnly)
        return 0;
    // Wait for the process to end, so the caller can read the files the final save wrote.
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, processId);
    if (!process)
        return 0;
    const DWORD waited = WaitForSingleObject(process, 30000);
    CloseHandle(process);
    return waited == WAIT_OBJECT_0 ? 0 : 2;
}

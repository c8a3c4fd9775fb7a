// Makes a shortcut file for the end-to-end runs, through the shell's link object as the shell
// itself does:  make_shortcut <shortcut.lnk> <target>
// Exit code 0 when the file was written.
#include "support/shortcut_file_win.h"

#include <windows.h>
#include <objbase.h>

int wmain(int argc, wchar_t** argv) {
    if (argc != 3)
        return 2;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return 1;
    const HRESULT result = corvalo::test::WriteShortcutFile(argv[1], argv[2]);
    CoUninitialize();
    return SUCCEEDED(result) ? 0 : 1;
}

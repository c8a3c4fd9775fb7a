// The smallest program that does what Corvalo's main window does before the user sees it: a
// frameless, stay-on-top, partly transparent 256 x 256 window showing the built-in picture.
// measure_startup compares Corvalo's start-up against this floor.
//
// Built a second time with CORVALO_BARE_WITH_COMMON_CONTROLS as bare_window_common_controls: the
// same window in a program that loads the common controls before its window, as programs with
// image lists and the newer controls usually do. Its distance to the first shows what that costs;
// Corvalo loads them, and OLE, the shell and the dialogs, only once its picture is on screen.
//
// Built a third time with CORVALO_BARE_WITH_PROGRAM_DLLS as bare_window_program_dlls: the same
// again, also loading every system DLL that corvalo.exe loads before it shows the window, so the
// distance to Corvalo is Corvalo's own work.
#include <windows.h>
#ifdef CORVALO_BARE_WITH_COMMON_CONTROLS
#include <commctrl.h>
#endif

#include "resources/resource_ids.h"

namespace {

constexpr wchar_t kClassName[] = L"CorvaloBareWindow";
constexpr int kSize = 256;
constexpr BYTE kAlpha = 200;

HBITMAP g_picture = nullptr;

void PaintPicture(HWND window) {
    PAINTSTRUCT paint;
    HDC target = BeginPaint(window, &paint);
    if (g_picture) {
        // Drawn through a memory DC, as the launcher's picture is.
        HDC source = CreateCompatibleDC(target);
        HGDIOBJ previous = SelectObject(source, g_picture);
        BitBlt(target, 0, 0, kSize, kSize, source, 0, 0, SRCCOPY);
        SelectObject(source, previous);
        DeleteDC(source);
    }
    EndPaint(window, &paint);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            PaintPicture(window);
            return 0;
        case WM_ERASEBKGND:
            return 1;  // the picture covers every pixel
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            // WM_CLOSE goes on to DefWindowProc, which destroys the window.
            return DefWindowProcW(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
#ifdef CORVALO_BARE_WITH_PROGRAM_DLLS
    // What corvalo.exe imports besides this program's own; the rest load at their first call.
    LoadLibraryW(L"advapi32.dll");
#endif
#ifdef CORVALO_BARE_WITH_COMMON_CONTROLS
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES};
    InitCommonControlsEx(&controls);
#endif
    g_picture = static_cast<HBITMAP>(LoadImageW(instance, MAKEINTRESOURCEW(IDB_DEFAULT_PICTURE),
                                                IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    if (!g_picture)
        return 1;

    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON));
    windowClass.lpszClassName = kClassName;
    if (!RegisterClassW(&windowClass))
        return 1;

    // The launcher's default place on the screen.
    HWND window = CreateWindowExW(WS_EX_TOPMOST | WS_EX_LAYERED, kClassName, L"Corvalo", WS_POPUP,
                                  1588, 251, kSize, kSize, nullptr, nullptr, instance, nullptr);
    if (!window)
        return 1;
    SetLayeredWindowAttributes(window, 0, kAlpha, LWA_ALPHA);
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    DeleteObject(g_picture);
    return static_cast<int>(message.wParam);
}

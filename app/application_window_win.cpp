#include "app/application_window_win.h"

#include "base/error.h"
#include "resources/resource_ids.h"

namespace corvalo {
namespace {

void RegisterApplicationWindowClass(WNDPROC procedure) {
    static bool registered = false;
    if (registered)
        return;
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = instance;
    windowClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_APPLICATION_ICON));
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = kApplicationWindowClass;
    if (!RegisterClassExW(&windowClass))
        throw Error(L"Failed to register the application window");
    registered = true;
}

}  // namespace

ApplicationWindow::ApplicationWindow() {
    RegisterApplicationWindowClass(&ApplicationWindow::WindowProcedure);
    // Zero size and hidden: only its taskbar button is ever seen.
    HWND window = CreateWindowExW(0, kApplicationWindowClass, kApplicationTitle,
                                  WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0, 0, 0, 0,
                                  nullptr, nullptr, GetModuleHandleW(nullptr), this);
    if (!window)
        throw Error(L"Failed to create the application window");
    window_.Reset(window);
}

LRESULT CALLBACK ApplicationWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                                    LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<ApplicationWindow*>(
            reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<ApplicationWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->mainWindow_)
        return self->HandleMessage(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT ApplicationWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ACTIVATE:
            // A click on the taskbar button activates this window: hand the activation on to the
            // picture, which is what the user sees.
            if (LOWORD(wParam) != WA_INACTIVE && IsWindowEnabled(mainWindow_) &&
                IsWindowVisible(mainWindow_)) {
                SetActiveWindow(mainWindow_);
                return 0;
            }
            break;
        case WM_CLOSE:
            // "Close window" on the taskbar button closes the program the normal way.
            PostMessageW(mainWindow_, WM_CLOSE, 0, 0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_.Get(), message, wParam, lParam);
}

}  // namespace corvalo

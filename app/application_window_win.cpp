#include "app/application_window_win.h"

#include "base/error.h"
#include "base/window_class_win.h"

namespace corvalo {

ApplicationWindow::ApplicationWindow() {
    RegisterProgramWindowClass(kApplicationWindowClass, &ApplicationWindow::WindowProcedure);
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

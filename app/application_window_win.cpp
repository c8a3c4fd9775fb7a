#include "app/application_window_win.h"

#include "base/program_name.h"

namespace corvalo {

ApplicationWindow::ApplicationWindow() {
    // Zero size and hidden: only its taskbar button is ever seen.
    Create({kApplicationWindowClass, L"the application window"}, 0, kProgramTitle,
           WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, {});
}

LRESULT ApplicationWindow::OnMessage(const WindowMessage& message) {
    static constexpr MessageHandler<ApplicationWindow> kHandlers[] = {
        {WM_ACTIVATE, &ApplicationWindow::OnActivate},
        {WM_CLOSE, &ApplicationWindow::OnClose},
    };
    if (!mainWindow_)
        return message.Default();
    return Dispatch(*this, kHandlers, message);
}

LRESULT ApplicationWindow::OnActivate(const WindowMessage& message) {
    // A click on the taskbar button activates this window: hand the activation on to the
    // picture, which is what the user sees.
    if (LOWORD(message.wParam) != WA_INACTIVE && IsWindowEnabled(mainWindow_) &&
        IsWindowVisible(mainWindow_)) {
        SetActiveWindow(mainWindow_);
        return 0;
    }
    return message.Default();
}

LRESULT ApplicationWindow::OnClose(const WindowMessage&) {
    // "Close window" on the taskbar button closes the program the normal way.
    PostMessageW(mainWindow_, WM_CLOSE, 0, 0);
    return 0;
}

}  // namespace corvalo

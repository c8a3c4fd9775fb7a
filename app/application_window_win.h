#pragma once

// The application's own hidden top-level window. It carries the program's taskbar button (the
// main window is a tool window and has none of its own): shown, the button appears; hidden, it
// goes. Another copy of the program finds it by its class name.

#include "base/window_win.h"

#include <windows.h>

namespace corvalo {

inline constexpr wchar_t kApplicationWindowClass[] = L"CorvaloApplication";

class ApplicationWindow final : public ProgramWindow {
  public:
    ApplicationWindow();

    HWND Window() const { return Handle(); }
    // The window that activation and close requests of the taskbar button are passed to.
    void SetMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }

  private:
    LRESULT OnMessage(const WindowMessage& message) override;
    LRESULT OnActivate(const WindowMessage& message);
    LRESULT OnClose(const WindowMessage& message);

    HWND mainWindow_ = nullptr;
};

}  // namespace corvalo

#pragma once

// The application's own hidden top-level window. It carries the program's taskbar button (the
// main window is a tool window and has none of its own): shown, the button appears; hidden, it
// goes. Another copy of the program finds it by its class name.

#include "base/scoped_win.h"

#include <windows.h>

namespace corvalo {

inline constexpr wchar_t kApplicationWindowClass[] = L"CorvaloApplication";
inline constexpr wchar_t kApplicationTitle[] = L"Corvalo";

class ApplicationWindow {
  public:
    ApplicationWindow();
    ApplicationWindow(const ApplicationWindow&) = delete;
    ApplicationWindow& operator=(const ApplicationWindow&) = delete;

    HWND Window() const { return window_.Get(); }
    // The window that activation and close requests of the taskbar button are passed to.
    void SetMainWindow(HWND mainWindow) { mainWindow_ = mainWindow; }

  private:
    static LRESULT CALLBACK WindowProcedure(HWND, UINT, WPARAM, LPARAM);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    HWND mainWindow_ = nullptr;
    ScopedWindow window_;
};

}  // namespace corvalo

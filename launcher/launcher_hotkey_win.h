#pragma once

// The hotkey that opens the launcher menu from anywhere: registered with the system on the main
// window (RegisterHotKey, without auto-repeat), which then gets WM_HOTKEY.

#include "launcher/hotkey_text.h"

#include <windows.h>

namespace corvalo {

class LauncherHotkey {
  public:
    // The identifier WM_HOTKEY carries for it.
    static constexpr int kId = 1;

    explicit LauncherHotkey(HWND window) : window_(window) {}
    ~LauncherHotkey() { Clear(); }
    LauncherHotkey(const LauncherHotkey&) = delete;
    LauncherHotkey& operator=(const LauncherHotkey&) = delete;

    // Registers `hotkey` in place of the current one; an empty one means none. False when the
    // system refuses it (another program holds the combination): the current one then stays.
    bool Set(const Hotkey& hotkey);
    void Clear();
    const Hotkey& Current() const { return current_; }

  private:
    bool Register(const Hotkey& hotkey);

    HWND window_;
    Hotkey current_;
};

}  // namespace corvalo

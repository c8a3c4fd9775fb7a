#pragma once

// What the popup menu needs of the window it belongs to, and nothing more: the menu never sees the
// main window itself, nor the item editor behind EditItem.

#include "base/settings_store_win.h"
#include "launcher/hotkey_text.h"
#include "launcher/launcher_items_win.h"
#include "launcher/launcher_list.h"
#include "launcher/menu_font.h"
#include "picture/bitmap.h"
#include "shell/icon_lookup_worker_win.h"
#include "shell/sys_image_list_win.h"

#include <windows.h>

#include <string>

namespace corvalo {

class MenuHost {
  public:
    // The window the menu opens over and its dialogs belong to.
    virtual HWND Window() const = 0;
    virtual corvalo::LauncherList& LauncherList() = 0;
    // Null while the program has no settings store.
    virtual SettingsStore* Settings() = 0;
    virtual const MenuFont& Font() const = 0;
    virtual void SetFont(const MenuFont& font) = 0;

    // The taskbar button: the state every activation gives it, and the window that carries it.
    virtual void SetActivationShowCommand(int command) = 0;
    virtual HWND ApplicationWindowHandle() const = 0;

    // "Start with Windows": whether the program starts at log-on, and the switch.
    virtual bool StartsWithWindows() const = 0;
    virtual void SetStartsWithWindows(bool on) = 0;

    // Where the entries' icons come from: the program's own icon list for an assigned icon, the
    // shell's system list for a target's own, looked up away from the window's thread.
    virtual HIMAGELIST IconList() const = 0;
    virtual const SysImageList& SystemIcons() const = 0;
    virtual IconLookupWorker& SystemIconLookups() = 0;
    // "New image": the picture file becomes the picture. Throws the reader's error.
    virtual void ShowPictureFile(const std::wstring& fileName) = 0;
    // Opens the item editor with these fields (both empty for a new item) and returns when it
    // has closed.
    virtual void EditItem(const std::wstring& target, const std::wstring& caption) = 0;
    // The hotkey that opens the menu (empty: none), and a new one to take into use: false when it
    // cannot be, after the user has been told why over `dialog`.
    virtual const Hotkey& MenuHotkey() const = 0;
    virtual bool TakeMenuHotkey(HWND dialog, const Hotkey& hotkey) = 0;

  protected:
    ~MenuHost() = default;
};

}  // namespace corvalo

#pragma once

// What the item editor needs of the window it edits the items of, and nothing more: the editor
// never sees the main window itself, nor the menu behind ItemsChanged.

#include "base/settings_store_win.h"
#include "base/user_messages_win.h"
#include "launcher/launcher_list.h"
#include "picture/bitmap.h"

#include <windows.h>
#include <commctrl.h>

#include <string>

namespace corvalo {

class CommonDialogs;
class OverwriteQuestion;
class SysImageList;
class VersionInfoReader;

class EditorHost {
  public:
    // The window the editor is modal over.
    virtual HWND Window() const = 0;
    virtual corvalo::LauncherList& LauncherList() = 0;
    // Null while the program has no settings store.
    virtual SettingsStore* Settings() = 0;
    virtual const std::wstring& SettingsPath() const = 0;
    // The program's own icons (32 x 32 images), which "Add icon" appends to.
    virtual HIMAGELIST IconList() const = 0;
    virtual const SysImageList& SystemIcons() const = 0;
    virtual VersionInfoReader& VersionInfo() = 0;
    virtual Bitmap LoadPicture(const std::wstring& fileName) const = 0;

    virtual UserMessages& Messages() = 0;
    virtual CommonDialogs& Dialogs() = 0;
    virtual OverwriteQuestion& Question() = 0;

    // The launcher list has changed: the menu is built again.
    virtual void ItemsChanged() = 0;

  protected:
    ~EditorHost() = default;
};

}  // namespace corvalo

#pragma once

// The launcher items' operations that reach the settings file and the icon lists: the MENU and
// ICONS keys of an item, and the icon every menu entry shows.

#include "base/settings_store_win.h"
#include "launcher/launcher_list.h"
#include "picture/bitmap.h"

#include <windows.h>
#include <commctrl.h>

#include <unordered_map>
#include <string>

namespace corvalo {

// Writes the item's MENU key so that reading it gives the target back (ProfileValueFor).
void StoreItem(SettingsStore& settings, const std::wstring& caption, const std::wstring& target);
// Removes the item's ICONS key, then its MENU key.
void UnstoreItem(SettingsStore& settings, const std::wstring& caption);
// -1 when the caption has no assigned icon (or a value that is not a number).
int IconIndexOf(const SettingsStore& settings, const std::wstring& caption);
// A negative index removes the assignment.
void SetIconIndex(SettingsStore& settings, const std::wstring& caption, int index);

// The ICONS section read once, for a whole menu build: between the shell's lookups, which read
// files of their own, each key read alone would parse the settings file again. Lookups follow the
// profile functions' rules: keys without regard to case, the first of equal keys wins, a value
// that is not a number reads as -1.
class IconMapSnapshot {
  public:
    explicit IconMapSnapshot(const SettingsStore& settings);
    int IconIndexOf(const std::wstring& caption) const;

  private:
    const SettingsStore& settings_;
    std::unordered_map<std::wstring, int> indexes_;
};

int IconCount(HIMAGELIST list);

// Appends an icon to the icon list, scaled to the list's image size; its index is then
// IconCount - 1. A null icon appends nothing. Throws "Invalid image size" for an icon narrower or
// lower than 32 pixels, and appends nothing then.
void AddIcon(HIMAGELIST list, HICON icon, int width, int height);

// Image `index` of the list, drawn with its transparency onto white in a bitmap of the list's image
// size. False, and the bitmap untouched, when there is no such image.
bool CopyIcon(HIMAGELIST list, int index, Bitmap& bitmap);

}  // namespace corvalo

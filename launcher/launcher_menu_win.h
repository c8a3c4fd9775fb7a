#pragma once

// The popup menu of the picture: "Settings..." with the commands, the spacer, and one entry per
// launcher item. Built as a whole (RebuildMenu), opened at the pointer, and dispatching the chosen
// entry to CommandItemClick or LauncherItemClick.

#include "launcher/common_dialogs_win.h"
#include "launcher/menu_entry.h"
#include "launcher/menu_host_win.h"
#include "launcher/menu_painter_win.h"
#include "launcher/menu_type_ahead.h"
#include "shell/sys_image_list_win.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvalo {

// The shell's "open" of a launcher item's target.
class ShellLauncher {
  public:
    virtual ~ShellLauncher() = default;
    // 0 when the shell opened it, otherwise the system's error code (ERROR_CANCELLED when the
    // user refused, at an elevation prompt say).
    virtual DWORD Open(const std::wstring& file, const std::wstring& parameters,
                       const std::wstring& directory) = 0;
};

class ShellExecuteLauncher final : public ShellLauncher {
  public:
    DWORD Open(const std::wstring& file, const std::wstring& parameters,
               const std::wstring& directory) override;
};

class LauncherMenu {
  public:
    LauncherMenu(MenuHost& host, ShellLauncher& shell, CommonDialogs& dialogs);
    LauncherMenu(const LauncherMenu&) = delete;
    LauncherMenu& operator=(const LauncherMenu&) = delete;

    // Builds every entry again. A launcher entry's assigned icon is there at once; its target's
    // system icon is looked up away from the window's thread and replaces, when it arrives, the
    // shell's icon for a file of unknown type (IconsArrived). With IconLookup::Later nothing of
    // the icons starts before the first use of the entries or ResolvePendingIcons: start-up
    // builds the menu before the picture is painted, and the icons need not hold the picture back.
    enum class IconLookup { Now, Later };
    void RebuildMenu(IconLookup icons = IconLookup::Now);
    void ResolvePendingIcons();
    // The window's thread collects the icons the worker has found, and an open menu shows them:
    // drawn again at most once per kRedrawDelayMs, on the window's timer kRedrawTimer, since a
    // long menu's every entry is drawn each time and icons arrive every few milliseconds.
    void IconsArrived();
    static constexpr UINT_PTR kRedrawTimer = 0x4D52;
    static constexpr UINT kRedrawDelayMs = 150;
    // What the menu's frame and its check-mark column take beside the widest entry.
    static constexpr int kMenuFrameAllowance = 40;
    // Arrived icons taken in at one message, at most.
    static constexpr size_t kIconsPerMessage = 32;
    void RedrawTimerElapsed();
    // True while an entry still shows the icon it has until its own arrives.
    bool IconsPending() const;
    // Opens the menu at a screen position and runs the chosen entry's click handler.
    void Popup(POINT screenPosition);
    bool IsOpen() const { return open_; }
    // Whether a mouse button pressed at `messageTime` (the message's time) belongs to the menu:
    // pressed while it was open, as the click that closes it, which the system may hand on to the
    // window once the menu is gone. Such a press starts nothing there (no drag).
    bool PressedWhileOpen(LONG messageTime) const;
    // A letter typed in the open menu (WM_MENUCHAR): what the menu then does with it.
    LRESULT MenuChar(wchar_t typed, HMENU menu);

    // The entries as built; nothing may keep one across a rebuild.
    const std::vector<std::unique_ptr<MenuEntry>>& TopLevel() {
        ResolvePendingIcons();
        return entries_;
    }
    MenuEntry* FindCommand(const std::string& name);

    // Handlers, reachable directly for tests and for keyboard access.
    void TntPopupMenu1Popup();
    void Choose(MenuEntry& entry);
    void CommandItemClick(MenuEntry& entry);
    void LauncherItemClick(MenuEntry& entry);

    MenuPainter& Painter() { return painter_; }

  private:
    void AddCommandItems();
    // The entries still waiting for their own icons show the shell's icon of an unknown file type:
    // once the worker has found it, or at once when `now` (the menu is about to open).
    void ShowUnknownTypeIcons(bool now);
    void ChooseNewImage();
    void ChooseMenuFont();
    void ShowInTaskbar(bool show);

    MenuHost& host_;
    ShellLauncher& shell_;
    CommonDialogs& dialogs_;
    MenuPainter painter_;
    std::vector<std::unique_ptr<MenuEntry>> entries_;
    bool iconsPending_ = false;
    // The entries whose system icons the worker looks up, in the order it was given them.
    std::vector<MenuEntry*> lookedUp_;
    std::vector<bool> arrived_;  // for each of lookedUp_
    std::optional<Bitmap> unknownType_;
    int unknownTypeIndex_ = -1;  // its place in the system image list
    // The shell's 48-pixel icons, attached the first time a menu is drawn large enough for them.
    SysImageList largerSystemIcons_{SysIconSize::ExtraLarge};
    bool open_ = false;       // the menu is on screen
    DWORD closedAt_ = 0;      // when it last closed (the system's tick count); 0: never opened
    TypeAheadPrefix typing_;  // the letters typed into the open menu
    bool redrawDue_ = false;  // kRedrawTimer runs
};

inline constexpr wchar_t kPictureFilter[] =
    L"Graphic Files|*.jpg;*.png;*.bmp;*.jp2;*.tga;*.gif;*.emf;*.webp|JPEG Image "
    L"(*.jpg)|*.jpg;*.jpeg|"
    L"Portable Networks Graphic (*.png)|*.png|Windows Bitmap (*.bmp)|*.bmp|"
    L"JPEG 2000 (*.jp2)|*.jp2;*.jpc;*.j2k|Targa Image (*.tga)|*.tga|GIF Image (*.gif)|*.gif|"
    L"Enhanced Metafile (*.emf)|*.emf|WebP Image (*.webp)|*.webp";

}  // namespace corvalo

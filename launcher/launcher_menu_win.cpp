#include "launcher/launcher_menu_win.h"

#include "app/main_window_win.h"
#include "app/run_entry_win.h"
#include "editor/item_editor_win.h"
#include "launcher/launcher_items_win.h"
#include "launcher/split_target.h"
#include "picture/dib_win.h"
#include "resources/resource_ids.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cwchar>

namespace corvalo {
namespace {

const std::wstring kAdmin = L"ADMIN";

struct CommandSpec {
    const wchar_t* caption;
    const char* name;
    bool autoTick;
};

// The commands of the "Settings..." submenu, in their order.
constexpr CommandSpec kCommands[] = {
    {L"Start with Windows", "Stuff1", true}, {L"New empty item", "Stuff2", false},
    {L"New image", "IMAGE", false},          {L"Font", "Stuff3", false},
    {L"Show in taskbar", "Stuff4", true},    {L"Quit", "Stuff5", false},
};

std::unique_ptr<MenuEntry> NewEntry(MenuEntry::Kind kind, std::wstring caption, std::string name) {
    auto entry = std::make_unique<MenuEntry>();
    entry->kind = kind;
    entry->caption = std::move(caption);
    entry->name = std::move(name);
    return entry;
}

// A platform menu made fresh for each opening, its items pointing at the entry objects.
class NativeMenu {
  public:
    NativeMenu() : menu_(CreatePopupMenu()) {}
    ~NativeMenu() {
        if (menu_)
            DestroyMenu(menu_);  // also destroys the submenus
    }
    NativeMenu(const NativeMenu&) = delete;
    NativeMenu& operator=(const NativeMenu&) = delete;

    HMENU Handle() const { return menu_; }
    MenuEntry* EntryOf(UINT id) const {
        return id >= 1 && id <= byId_.size() ? byId_[id - 1] : nullptr;
    }

    void Fill(HMENU into, const std::vector<std::unique_ptr<MenuEntry>>& entries) {
        for (const auto& entry : entries) {
            MENUITEMINFOW item{};
            item.cbSize = sizeof(item);
            item.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_ID | MIIM_STATE;
            item.fType = MFT_OWNERDRAW;
            item.fState = entry->ticked ? MFS_CHECKED : MFS_UNCHECKED;
            item.dwItemData = reinterpret_cast<ULONG_PTR>(entry.get());
            byId_.push_back(entry.get());
            item.wID = static_cast<UINT>(byId_.size());
            if (!entry->submenu.empty()) {
                HMENU submenu = CreatePopupMenu();
                Fill(submenu, entry->submenu);
                item.fMask |= MIIM_SUBMENU;
                item.hSubMenu = submenu;
            }
            InsertMenuItemW(into, GetMenuItemCount(into), TRUE, &item);
        }
    }

  private:
    HMENU menu_;
    std::vector<MenuEntry*> byId_;
};

}  // namespace

void ShellExecuteLauncher::Open(const std::wstring& file, const std::wstring& parameters,
                                const std::wstring& directory) {
    // The result is not examined: a target that cannot be opened shows nothing.
    ShellExecuteW(nullptr, nullptr, file.c_str(), parameters.c_str(), directory.c_str(),
                  SW_SHOWNORMAL);
}

std::optional<std::wstring> SystemCommonDialogs::OpenPicture(HWND owner, const std::wstring& filter,
                                                             const std::wstring& defaultExtension) {
    // The dialog wants the pairs separated by zero characters and ended by two.
    std::wstring pairs = filter;
    for (wchar_t& ch : pairs) {
        if (ch == L'|')
            ch = L'\0';
    }
    pairs.push_back(L'\0');
    std::wstring file(32768, L'\0');
    OPENFILENAMEW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = pairs.c_str();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.lpstrDefExt = defaultExtension.c_str();
    dialog.Flags = OFN_ENABLESIZING | OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY;
    if (!GetOpenFileNameW(&dialog))
        return std::nullopt;
    file.resize(wcslen(file.c_str()));
    return file;
}

bool SystemCommonDialogs::PickFont(HWND owner, MenuFont& font) {
    HDC screen = GetDC(nullptr);
    const int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    LOGFONTW logFont = LogFontFor(font, pixelsPerInch);
    CHOOSEFONTW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpLogFont = &logFont;
    dialog.rgbColors = ResolveColor(font.color);
    dialog.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT;
    if (!ChooseFontW(&dialog))
        return false;
    font.name = logFont.lfFaceName;
    font.size = dialog.iPointSize / 10;
    font.style =
        static_cast<uint8_t>((logFont.lfWeight >= FW_BOLD ? 1 : 0) | (logFont.lfItalic ? 2 : 0) |
                             (logFont.lfUnderline ? 4 : 0) | (logFont.lfStrikeOut ? 8 : 0));
    font.color = static_cast<int32_t>(dialog.rgbColors);
    font.charSet = logFont.lfCharSet;
    return true;
}

LauncherMenu::LauncherMenu(MainWindow& window, ShellLauncher& shell, CommonDialogs& dialogs)
    : window_(window),
      shell_(shell),
      dialogs_(dialogs),
      painter_(LoadBitmapResource(IDB_GLYPH_TICK), LoadBitmapResource(IDB_GLYPH_GEAR)) {}

MenuEntry* LauncherMenu::FindCommand(const std::string& name) {
    for (const auto& entry : entries_) {
        if (entry->kind == MenuEntry::Kind::Command && entry->name == name)
            return entry.get();
        for (const auto& child : entry->submenu) {
            if (child->name == name)
                return child.get();
        }
    }
    return nullptr;
}

void LauncherMenu::AddCommandItems() {
    auto settings = NewEntry(MenuEntry::Kind::Command, L"Settings...", "ADMIN");
    for (const CommandSpec& command : kCommands) {
        auto entry = NewEntry(MenuEntry::Kind::Command, command.caption, command.name);
        entry->autoTick = command.autoTick;
        if (entry->name == "Stuff4") {
            SettingsStore* store = window_.Settings();
            entry->ticked = store ? store->ReadBool(kAdmin, L"Hide", true) : true;
            window_.SetActivationShowCommand(entry->ticked ? SW_SHOW : SW_HIDE);
        }
        settings->submenu.push_back(std::move(entry));
    }
    entries_.push_back(std::move(settings));
    entries_.push_back(NewEntry(MenuEntry::Kind::Command, L"", "Stuff6"));
}

void LauncherMenu::RebuildMenu(IconLookup icons) {
    entries_.clear();
    iconsPending_ = false;
    AddCommandItems();
    const LauncherList& items = window_.LauncherList();
    for (int i = 0; i < items.ItemCount(); ++i)
        entries_.push_back(NewEntry(MenuEntry::Kind::Launcher, items.ItemCaption(i), ""));
    iconsPending_ = true;
    if (icons == IconLookup::Now)
        ResolvePendingIcons();
}

void LauncherMenu::ResolvePendingIcons() {
    if (!iconsPending_)
        return;
    iconsPending_ = false;
    std::optional<IconMapSnapshot> iconMap;
    for (const auto& entry : entries_) {
        if (entry->kind != MenuEntry::Kind::Launcher)
            continue;
        if (!iconMap && window_.Settings())
            iconMap.emplace(*window_.Settings());
        window_.ResolveItemIcon(entry->caption, entry->bitmap, iconMap ? &*iconMap : nullptr);
    }
}

void LauncherMenu::TntPopupMenu1Popup() {
    if (entries_.empty() || entries_[0]->submenu.empty())
        return;
    entries_[0]->submenu[0]->ticked = RunEntryExists(window_.RunValueName(), window_.ExePath());
}

void LauncherMenu::Popup(POINT at) {
    if (entries_.empty())
        return;  // start-up ended before the menu was built
    ResolvePendingIcons();
    TntPopupMenu1Popup();
    NativeMenu menu;
    menu.Fill(menu.Handle(), entries_);
    HWND owner = window_.Window();
    // The documented way to make a click elsewhere close the menu.
    SetForegroundWindow(owner);
    painter_.BeginOpening(window_.Font());
    const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
        menu.Handle(),
        TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERPOSANIMATION | TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x,
        at.y, owner, nullptr));
    painter_.EndOpening();
    PostMessageW(owner, WM_NULL, 0, 0);
    if (MenuEntry* entry = menu.EntryOf(chosen))
        Choose(*entry);
}

void LauncherMenu::Choose(MenuEntry& entry) {
    if (entry.autoTick)
        entry.ticked = !entry.ticked;
    if (entry.kind == MenuEntry::Kind::Launcher) {
        LauncherItemClick(entry);
    } else {
        CommandItemClick(entry);
    }
}

void LauncherMenu::CommandItemClick(MenuEntry& entry) {
    if (entry.name == "Stuff1") {
        SetRunEntry(window_.RunValueName(), window_.ExePath(), entry.ticked);
    } else if (entry.name == "Stuff2") {
        // The editor's fields are empty: it clears them whenever it closes.
        window_.Editor().ShowModal();
    } else if (entry.name == "IMAGE") {
        ChooseNewImage();
    } else if (entry.name == "Stuff3") {
        ChooseMenuFont();
    } else if (entry.name == "Stuff4") {
        ShowInTaskbar(entry.ticked);
    } else if (entry.name == "Stuff5") {
        // Closing runs the final save; posted, so the menu's own handling ends first.
        PostMessageW(window_.Window(), WM_CLOSE, 0, 0);
    }
}

void LauncherMenu::ChooseNewImage() {
    if (const std::optional<std::wstring> file =
            dialogs_.OpenPicture(window_.Window(), kPictureFilter, L"bmp")) {
        window_.Picture().SetPicture(window_.LoadPicture(*file));
    }
    // A press and release of the left button where the pointer is, so the picture window takes
    // the pointer back after the dialog; only over the picture itself, as anywhere else it would
    // click another program's window, a desktop icon or a taskbar button.
    POINT pointer{};
    HWND under = GetCursorPos(&pointer) ? WindowFromPoint(pointer) : nullptr;
    if (under && GetAncestor(under, GA_ROOT) == window_.Window()) {
        mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    }
    InvalidateRect(window_.Window(), nullptr, FALSE);
    UpdateWindow(window_.Window());
}

void LauncherMenu::ChooseMenuFont() {
    MenuFont font = window_.Font();
    if (dialogs_.PickFont(window_.Window(), font))
        window_.SetFont(font);
    RebuildMenu();
}

void LauncherMenu::ShowInTaskbar(bool show) {
    // The choice is set first: showing the button's window activates it, which hands the
    // activation on to the picture, whose activation shows or hides that window by the choice.
    window_.SetActivationShowCommand(show ? SW_SHOW : SW_HIDE);
    ShowWindow(window_.ApplicationWindowHandle(), show ? SW_SHOW : SW_HIDE);
    if (SettingsStore* settings = window_.Settings())
        settings->WriteBool(kAdmin, L"Hide", show);
}

void LauncherMenu::LauncherItemClick(MenuEntry& entry) {
    const LauncherList& items = window_.LauncherList();
    const int index = items.FindItem(entry.caption);
    if (GetKeyState(VK_SHIFT) < 0) {
        // Shift opens the item in the editor, where saving it under the same caption replaces it.
        ItemEditor& editor = window_.Editor();
        editor.SetFileNameText(items.ItemTarget(index));
        editor.SetCaptionText(entry.caption);
        editor.ShowModal();
        return;
    }
    const LaunchCommand command = SplitTarget(items.ItemTarget(index));
    shell_.Open(command.file, command.parameters, LaunchDirectory(command.file));
}

}  // namespace corvalo

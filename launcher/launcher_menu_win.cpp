#include "launcher/launcher_menu_win.h"

#include "base/color_mode_win.h"
#include "base/dpi_scale.h"
#include "base/dpi_win.h"
#include "base/error.h"
#include "base/system_error_win.h"
#include "base/trace.h"
#include "base/text.h"
#include "launcher/launcher_items_win.h"
#include "launcher/menu_type_ahead.h"
#include "launcher/split_target.h"
#include "picture/dib_win.h"
#include "resources/resource_ids.h"

#include <shellapi.h>

#include <algorithm>
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
    {L"Start with Windows", "Stuff1", true},
    {L"New empty item", "Stuff2", false},
    {L"New image", "IMAGE", false},
    {L"Font", "Stuff3", false},
    {L"Hotkey...", "HOTKEY", false},
    {L"Show in taskbar", "Stuff4", true},
    {L"Quit", "Stuff5", false},
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
            // Drawn by the program, and named too: the caption as the entry's text is what
            // screen readers and the platform's accessibility interfaces read.
            item.fMask = MIIM_FTYPE | MIIM_DATA | MIIM_ID | MIIM_STATE | MIIM_STRING;
            item.fType = MFT_OWNERDRAW;
            item.dwTypeData = const_cast<wchar_t*>(entry->caption.c_str());
            item.cch = static_cast<UINT>(entry->caption.size());
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

// The menu windows this thread shows (the menu and an open submenu): drawn again, their entries
// show the icons that have arrived.
BOOL CALLBACK RedrawIfMenu(HWND window, LPARAM) {
    wchar_t name[16] = {};
    if (GetClassNameW(window, name, 16) && lstrcmpW(name, L"#32768") == 0 &&
        IsWindowVisible(window)) {
        InvalidateRect(window, nullptr, FALSE);
    }
    return TRUE;
}

void RedrawOpenMenus() {
    EnumThreadWindows(GetCurrentThreadId(), RedrawIfMenu, 0);
}

}  // namespace

namespace {

// The system error behind one of the shell's own codes, for a shell that sets no last error.
DWORD ErrorOfShellCode(INT_PTR code) {
    switch (code) {
        case 0:
        case SE_ERR_OOM:
            return ERROR_NOT_ENOUGH_MEMORY;
        case SE_ERR_FNF:
            return ERROR_FILE_NOT_FOUND;
        case SE_ERR_PNF:
            return ERROR_PATH_NOT_FOUND;
        case SE_ERR_ACCESSDENIED:
            return ERROR_ACCESS_DENIED;
        case SE_ERR_SHARE:
            return ERROR_SHARING_VIOLATION;
        case SE_ERR_ASSOCINCOMPLETE:
        case SE_ERR_NOASSOC:
            return ERROR_NO_ASSOCIATION;
        case SE_ERR_DLLNOTFOUND:
            return ERROR_DLL_NOT_FOUND;
        case SE_ERR_DDETIMEOUT:
        case SE_ERR_DDEFAIL:
        case SE_ERR_DDEBUSY:
            return ERROR_DDE_FAIL;
        case ERROR_BAD_FORMAT:
            return ERROR_BAD_FORMAT;
        default:
            return ERROR_GEN_FAILURE;
    }
}

}  // namespace

DWORD ShellExecuteLauncher::Open(const std::wstring& file, const std::wstring& parameters,
                                 const std::wstring& directory) {
    // The shell shows no box of its own: a failure is told once, in the program's error box.
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.lpFile = file.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = directory.c_str();
    info.nShow = SW_SHOWNORMAL;
    SetLastError(ERROR_SUCCESS);
    if (ShellExecuteExW(&info))
        return 0;
    const DWORD code = GetLastError();
    return code != ERROR_SUCCESS ? code
                                 : ErrorOfShellCode(reinterpret_cast<INT_PTR>(info.hInstApp));
}

LauncherMenu::LauncherMenu(MenuHost& host, ShellLauncher& shell, CommonDialogs& dialogs)
    : host_(host),
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
            SettingsStore* store = host_.Settings();
            entry->ticked = store ? store->ReadBool(kAdmin, L"Hide", true) : true;
            host_.SetActivationShowCommand(entry->ticked ? SW_SHOW : SW_HIDE);
        }
        settings->submenu.push_back(std::move(entry));
    }
    entries_.push_back(std::move(settings));
    entries_.push_back(NewEntry(MenuEntry::Kind::Command, L"", "Stuff6"));
}

void LauncherMenu::RebuildMenu(IconLookup icons) {
    // What is still being looked up belongs to the entries that go now: dropped, it never arrives.
    lookedUp_.clear();
    arrived_.clear();
    host_.SystemIconLookups().Cancel();
    entries_.clear();
    iconsPending_ = false;
    AddCommandItems();
    const LauncherList& items = host_.LauncherList();
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
    lookedUp_.clear();
    const SettingsStore* settings = host_.Settings();
    if (!settings) {
        host_.SystemIconLookups().Cancel();
        return;
    }
    const IconMapSnapshot iconMap(*settings);
    const LauncherList& items = host_.LauncherList();
    // The launcher entries follow the list's lines one for one (RebuildMenu); an entry's target
    // is that of the first line of its caption.
    const std::vector<int> firstLines = items.FirstLinesOfCaptions();
    std::vector<std::string> names;
    size_t line = 0;
    for (const auto& entry : entries_) {
        if (entry->kind != MenuEntry::Kind::Launcher)
            continue;
        // Should the list have changed since the build, the caption is looked up itself.
        const bool sameLine =
            line < firstLines.size() && items.ItemCaption(static_cast<int>(line)) == entry->caption;
        const int first = sameLine ? firstLines[line] : -1;
        ++line;
        // An index past the icon list's end (a hand-edited file, an icon list that could not be
        // read) counts as none: the target's own icon, not a blank.
        const int assigned = iconMap.IconIndexOf(entry->caption);
        entry->systemIcon = -1;
        if (assigned >= 0 && CopyIcon(host_.IconList(), assigned, entry->bitmap))
            continue;
        entry->bitmap = unknownType_ ? *unknownType_ : Bitmap();
        entry->systemIcon = unknownType_ ? unknownTypeIndex_ : -1;
        // The whole target, parameters included, by its 8-bit name, as the shell is asked.
        names.push_back(
            WideToAnsi(first >= 0 ? items.ItemTarget(first) : items.TargetOf(entry->caption)));
        lookedUp_.push_back(entry.get());
    }
    arrived_.assign(lookedUp_.size(), false);
    if (names.empty()) {
        host_.SystemIconLookups().Cancel();
    } else {
        host_.SystemIconLookups().Start(std::move(names));
    }
}

void LauncherMenu::ShowUnknownTypeIcons(bool now) {
    if (!unknownType_) {
        std::optional<int> index = host_.SystemIconLookups().UnknownTypeIcon();
        if (!index && now)
            index = UnknownFileTypeIconIndex();
        if (!index)
            return;
        unknownType_.emplace();
        unknownTypeIndex_ = *index;
        CopyIcon(host_.SystemIcons().Handle(), *index, *unknownType_);
    }
    for (size_t i = 0; i < lookedUp_.size(); ++i) {
        if (!arrived_[i] && lookedUp_[i]->bitmap.Empty()) {
            lookedUp_[i]->bitmap = *unknownType_;
            lookedUp_[i]->systemIcon = unknownTypeIndex_;
        }
    }
}

void LauncherMenu::IconsArrived() {
    const bool hadUnknownType = unknownType_.has_value();
    ShowUnknownTypeIcons(false);
    bool changed = hadUnknownType != unknownType_.has_value();
    // A few at a time: drawing each icon costs a little, and a thousand of them at once would keep
    // the window from answering.
    const std::vector<IconLookupWorker::Result> results =
        host_.SystemIconLookups().TakeResults(kIconsPerMessage);
    for (const IconLookupWorker::Result& result : results) {
        if (result.position >= lookedUp_.size())
            continue;
        MenuEntry& entry = *lookedUp_[result.position];
        Bitmap icon;
        CopyIcon(host_.SystemIcons().Handle(), result.iconIndex, icon);
        entry.bitmap = std::move(icon);
        entry.systemIcon = result.iconIndex;
        arrived_[result.position] = true;
        changed = true;
    }
    if (changed && open_ && !redrawDue_) {
        redrawDue_ = SetTimer(host_.Window(), kRedrawTimer, kRedrawDelayMs, nullptr) != 0;
        if (!redrawDue_)
            RedrawOpenMenus();
    }
}

void LauncherMenu::RedrawTimerElapsed() {
    KillTimer(host_.Window(), kRedrawTimer);
    redrawDue_ = false;
    if (open_)
        RedrawOpenMenus();
}

bool LauncherMenu::IconsPending() const {
    return iconsPending_ || (!lookedUp_.empty() && host_.SystemIconLookups().Pending());
}

bool LauncherMenu::PressedWhileOpen(LONG messageTime) const {
    if (open_)
        return true;
    // The tick count wraps: the difference says which came first.
    return closedAt_ != 0 && static_cast<LONG>(static_cast<DWORD>(messageTime) - closedAt_) <= 0;
}

LRESULT LauncherMenu::MenuChar(wchar_t typed, HMENU menu) {
    const int count = menu ? GetMenuItemCount(menu) : 0;
    std::vector<std::wstring> captions;
    std::optional<size_t> selected;
    for (int position = 0; position < count; ++position) {
        MENUITEMINFOW item{};
        item.cbSize = sizeof(item);
        item.fMask = MIIM_DATA | MIIM_STATE;
        if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &item))
            return MAKELRESULT(0, MNC_IGNORE);
        const auto* entry = reinterpret_cast<const MenuEntry*>(item.dwItemData);
        if (!entry)
            return MAKELRESULT(0, MNC_IGNORE);  // not a menu of ours
        captions.push_back(entry->caption);
        if (item.fState & MFS_HILITE)
            selected = static_cast<size_t>(position);
    }
    // The message's own time, so that letters queued behind a slow paint still form one prefix.
    const TypeAheadAnswer answer =
        typing_.Type(captions, selected, typed, static_cast<uint32_t>(GetMessageTime()), menu);
    switch (answer.action) {
        case TypeAheadAnswer::Action::Select:
            return MAKELRESULT(answer.index, MNC_SELECT);
        case TypeAheadAnswer::Action::Choose:
            return MAKELRESULT(answer.index, MNC_EXECUTE);
        case TypeAheadAnswer::Action::Ignore:
            break;
    }
    return MAKELRESULT(0, MNC_IGNORE);
}

void LauncherMenu::TntPopupMenu1Popup() {
    if (entries_.empty() || entries_[0]->submenu.empty())
        return;
    entries_[0]->submenu[0]->ticked = host_.StartsWithWindows();
}

void LauncherMenu::Popup(POINT at) {
    if (entries_.empty())
        return;  // start-up ended before the menu was built
    ResolvePendingIcons();
    ShowUnknownTypeIcons(true);
    TntPopupMenu1Popup();
    NativeMenu menu;
    menu.Fill(menu.Handle(), entries_);
    typing_.Clear();
    HWND owner = host_.Window();
    // The documented way to make a click elsewhere close the menu.
    SetForegroundWindow(owner);
    // Measured and drawn for the DPI of the monitor it opens on, and no entry wider than that
    // monitor's work area; icons drawn larger than the shell's 32-pixel ones come from its
    // 48-pixel ones.
    const int dpi = DpiAt(at);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    const int widest = GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &monitor)
                           ? static_cast<int>(monitor.rcWork.right - monitor.rcWork.left) -
                                 DpiScaled(kMenuFrameAllowance, dpi)
                           : 0;
    // In the colours the user has now: light, dark or high contrast.
    painter_.BeginOpening(host_.Font(), widest, dpi, dpi > kBaseDpi ? &largerSystemIcons_ : nullptr,
                          CurrentColorMode());
    painter_.PaintBackgroundOf(menu.Handle());
    open_ = true;
    const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(
        menu.Handle(),
        TPM_LEFTALIGN | TPM_TOPALIGN | TPM_VERPOSANIMATION | TPM_RETURNCMD | TPM_RIGHTBUTTON, at.x,
        at.y, owner, nullptr));
    open_ = false;
    closedAt_ = std::max<DWORD>(GetTickCount(), 1);
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
        host_.SetStartsWithWindows(entry.ticked);
    } else if (entry.name == "Stuff2") {
        host_.EditItem(L"", L"");
    } else if (entry.name == "IMAGE") {
        ChooseNewImage();
    } else if (entry.name == "Stuff3") {
        ChooseMenuFont();
    } else if (entry.name == "HOTKEY") {
        dialogs_.ChooseHotkey(host_.Window(), host_.MenuHotkey(),
                              [this](HWND dialog, const Hotkey& hotkey) {
                                  return host_.TakeMenuHotkey(dialog, hotkey);
                              });
    } else if (entry.name == "Stuff4") {
        ShowInTaskbar(entry.ticked);
    } else if (entry.name == "Stuff5") {
        // Closing runs the final save; posted, so the menu's own handling ends first.
        PostMessageW(host_.Window(), WM_CLOSE, 0, 0);
    }
}

void LauncherMenu::ChooseNewImage() {
    if (const std::optional<std::wstring> file =
            dialogs_.OpenPicture(host_.Window(), kPictureFilter, L"bmp")) {
        host_.ShowPictureFile(*file);
    }
    // A press and release of the left button where the pointer is, so the picture window takes
    // the pointer back after the dialog; only over the picture itself, as anywhere else it would
    // click another program's window, a desktop icon or a taskbar button.
    POINT pointer{};
    HWND under = GetCursorPos(&pointer) ? WindowFromPoint(pointer) : nullptr;
    if (under && GetAncestor(under, GA_ROOT) == host_.Window()) {
        mouse_event(MOUSEEVENTF_LEFTDOWN, 0, 0, 0, 0);
        mouse_event(MOUSEEVENTF_LEFTUP, 0, 0, 0, 0);
    }
    InvalidateRect(host_.Window(), nullptr, FALSE);
    UpdateWindow(host_.Window());
}

void LauncherMenu::ChooseMenuFont() {
    MenuFont font = host_.Font();
    if (dialogs_.PickFont(host_.Window(), font))
        host_.SetFont(font);
    RebuildMenu();
}

void LauncherMenu::ShowInTaskbar(bool show) {
    // The choice is set first: showing the button's window activates it, which hands the
    // activation on to the picture, whose activation shows or hides that window by the choice.
    host_.SetActivationShowCommand(show ? SW_SHOW : SW_HIDE);
    ShowWindow(host_.ApplicationWindowHandle(), show ? SW_SHOW : SW_HIDE);
    if (SettingsStore* settings = host_.Settings())
        settings->WriteBool(kAdmin, L"Hide", show);
}

void LauncherMenu::LauncherItemClick(MenuEntry& entry) {
    const LauncherList& items = host_.LauncherList();
    const int index = items.FindItem(entry.caption);
    if (GetKeyState(VK_SHIFT) < 0) {
        // Shift opens the item in the editor, where saving it under the same caption replaces it.
        host_.EditItem(items.ItemTarget(index), entry.caption);
        return;
    }
    const std::wstring target = items.ItemTarget(index);
    const LaunchCommand command = SplitTarget(target);
    const DWORD failure =
        shell_.Open(command.file, command.parameters, LaunchDirectory(command.file));
    // A launch the user cancelled (a refused elevation prompt) needs no word.
    if (failure == ERROR_CANCELLED) {
        Trace(L"A launch was cancelled: " + target);
    } else if (failure != 0) {
        throw Error(FillText(L"Cannot open \"%s\" (%s). %s",
                             {entry.caption, target, SystemErrorText(failure)}));
    }
}

}  // namespace corvalo

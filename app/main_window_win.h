#pragma once

// The main window: the picture on the desktop. It owns everything the program works with, runs the
// start-up sequence over the data files and has them written back by the final save when it
// closes. It keeps the input, the layering and the handlers; the files are DataFiles', and the
// menu and the item editor see it only through their narrow hosts.

#include "app/app_instances_win.h"
#include "app/application_window_win.h"
#include "app/data_files_win.h"
#include "app/window_placement.h"
#include "base/scoped_win.h"
#include "base/settings_store_win.h"
#include "base/user_messages_win.h"
#include "base/window_win.h"
#include "editor/editor_host_win.h"
#include "editor/item_editor_win.h"
#include "editor/overwrite_question_win.h"
#include "launcher/common_dialogs_win.h"
#include "launcher/drop_target_win.h"
#include "launcher/launcher_items_win.h"
#include "launcher/launcher_list.h"
#include "launcher/launcher_hotkey_win.h"
#include "launcher/launcher_menu_win.h"
#include "launcher/menu_font.h"
#include "launcher/menu_host_win.h"
#include "picture/dog_image_win.h"
#include "shell/icon_lookup_worker_win.h"
#include "shell/sys_image_list_win.h"
#include "shell/version_info_win.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace corvalo {

inline constexpr wchar_t kMainWindowClass[] = L"CorvaloMainWindow";

struct MainWindowOptions {
    // The executable's full path; every data file lies beside it under its base name.
    std::wstring exePath;
    // The same path as the process's 8-bit argument 0 gives it; derived from exePath when empty.
    std::string ansiExePath;
    // Where errors and notices are shown; the real message boxes when null.
    UserMessages* messages = nullptr;
    // The program's one main window ends the message loop when it is destroyed; test windows don't.
    bool quitWhenDestroyed = true;
    // The menu's system icon lookup; GetFileIconIndex when empty.
    IconLookupWorker::Lookup iconLookup;
    // How launcher items are opened and the common dialogs are run; the real ones when null.
    ShellLauncher* shell = nullptr;
    CommonDialogs* dialogs = nullptr;
    // The item editor's question before an item is replaced; the real dialog when null.
    OverwriteQuestion* question = nullptr;
};

class MainWindow final : public ProgramWindow,
                         public PictureOwner,
                         public MenuHost,
                         public EditorHost {
  public:
    // Creates the window, then runs the start-up sequence. An error in one start-up step is shown
    // and start-up goes on with the steps that do not need it; the window is always usable and
    // closable.
    explicit MainWindow(MainWindowOptions options);
    ~MainWindow() override;

    void Show();
    HWND Window() const override { return Handle(); }
    HWND ApplicationWindowHandle() const override { return application_.Window(); }

    // State other parts of the program read and change.
    corvalo::LauncherList& LauncherList() override { return launcherList_; }
    LauncherMenu& Menu() { return *menu_; }
    // The item editor, made when first needed and kept until the end.
    ItemEditor& Editor();
    DropComboTarget& DropTarget() { return *dropTarget_; }
    CommonDialogs& Dialogs() override {
        return options_.dialogs ? *options_.dialogs : realDialogs_;
    }
    OverwriteQuestion& Question() override {
        return options_.question ? *options_.question : realQuestion_;
    }
    const std::wstring& ExePath() const { return options_.exePath; }
    SettingsStore* Settings() override { return files_->Settings(); }
    const std::wstring& RunValueName() const { return files_->RunValueName(); }
    int ActivationShowCommand() const { return activationShowCommand_; }
    void SetActivationShowCommand(int command) override { activationShowCommand_ = command; }
    // The icon list (ImageList1), made from the file read at start-up when it is first used.
    HIMAGELIST IconList() const override;
    const SysImageList& SystemIcons() const override { return sil_; }
    VersionInfoReader& VersionInfo() override { return versionInfo_; }
    DogImage& Picture() { return picture_; }
    const MenuFont& Font() const override { return font_; }
    void SetFont(const MenuFont& font) override { font_ = font; }
    uint8_t Alpha() const { return alpha_; }
    bool StayOnTop() const;
    Color BackgroundColor() const { return background_; }
    bool ColorKeyEnabled() const { return colorKeyEnabled_; }

    const std::wstring& SettingsPath() const override { return files_->SettingsPath(); }
    const std::wstring& PicturePath() const { return files_->PicturePath(); }
    const std::wstring& LegacyListPath() const { return files_->LegacyListPath(); }
    const std::string& IconListPath() const { return files_->IconListPath(); }

    // The menu's system icon lookups, made away from this window's thread.
    IconLookupWorker& SystemIconLookups() override { return *iconLookups_; }
    // A picture file read for the picture.
    Bitmap LoadPicture(const std::wstring& fileName) const override;

    // Handlers, also reached through the window's messages.
    void FormActivate();
    void FormKeyDown(WORD key);
    void FormMouseWheelUp(bool shift);
    void FormMouseWheelDown(bool shift);
    void DogImage1DblClick();
    // Something dropped on the picture: fills the item editor and shows it, or with Shift a
    // picture file becomes the picture. keyState holds the MK_ flags at the drop. A drop through
    // the drop target runs it from a posted message, once the drop has returned.
    void DropComboTarget1Drop(const std::vector<std::wstring>& files, const std::string& url,
                              DWORD keyState);
    // The final save; true when the window may close. The first failure reaches the caller and
    // keeps the window open; a failure at a later close is shown and the window may close.
    bool FormCloseQuery();

    // PictureOwner
    void SetBorderless(bool borderless) override;
    void FitClientArea(int width, int height) override;
    void SetBackgroundColor(Color color) override;
    void SetColorKey(Color key, bool enabled) override;
    UserMessages& Messages() override { return *messages_; }
    // The work area (screen coordinates) of the monitor the window is on; an empty rectangle when
    // none is known.
    RECT WorkArea() const;

    // MenuHost
    bool StartsWithWindows() const override;
    void SetStartsWithWindows(bool on) override;
    void ShowPictureFile(const std::wstring& fileName) override;
    void EditItem(const std::wstring& target, const std::wstring& caption) override;
    const Hotkey& MenuHotkey() const override { return hotkey_->Current(); }
    bool TakeMenuHotkey(HWND dialog, const Hotkey& hotkey) override;

    // EditorHost
    void ItemsChanged() override { menu_->RebuildMenu(); }

  private:
    LRESULT OnMessage(const WindowMessage& message) override;
    LRESULT OnTimer(const WindowMessage& message);
    LRESULT OnPaint(const WindowMessage& message);
    LRESULT OnEraseBackground(const WindowMessage& message);
    LRESULT OnActivate(const WindowMessage& message);
    LRESULT OnShowWindow(const WindowMessage& message);
    LRESULT OnKeyDown(const WindowMessage& message);
    LRESULT OnMouseWheel(const WindowMessage& message);
    LRESULT OnLeftButtonDown(const WindowMessage& message);
    LRESULT OnLeftButtonDoubleClick(const WindowMessage& message);
    LRESULT OnMouseMove(const WindowMessage& message);
    LRESULT OnMouseLeave(const WindowMessage& message);
    LRESULT OnSetCursor(const WindowMessage& message);
    LRESULT OnContextMenu(const WindowMessage& message);
    LRESULT OnMeasureItem(const WindowMessage& message);
    LRESULT OnDrawItem(const WindowMessage& message);
    LRESULT OnMenuChar(const WindowMessage& message);
    LRESULT OnHotkey(const WindowMessage& message);
    LRESULT OnClose(const WindowMessage& message);
    LRESULT OnQueryEndSession(const WindowMessage& message);
    LRESULT OnEndSession(const WindowMessage& message);
    LRESULT OnDisplayChange(const WindowMessage& message);
    LRESULT OnDpiChanged(const WindowMessage& message);
    LRESULT OnGetDpiScaledSize(const WindowMessage& message);
    LRESULT OnOpenDrop(const WindowMessage& message);
    LRESULT OnIconsArrived(const WindowMessage& message);
    LRESULT OnLateStep(const WindowMessage& message);
    LRESULT OnDestroy(const WindowMessage& message);

    void CreateMainWindow();
    std::string GuardPath() const;
    static void EndProcessSoon();
    void FormCreate();
    void AfterFirstPaint();
    void RunLateStep();
    void LoadSettings();
    WindowSettings CurrentWindowSettings() const;
    void KeepReachableOnScreen();
    void ShowNewPicture(Bitmap&& picture);
    ScreenRect WindowBounds() const;
    // The window's rectangle, from (0, 0), for a client area of this size at `dpi`.
    RECT WindowSizeFor(int clientWidth, int clientHeight, int dpi) const;
    // Moves the window's top-left corner to that of `placed`, unless it is there already.
    void MoveWindowTo(const ScreenRect& placed);
    void SaveForSessionEnd();
    void ApplyLayering();
    void PasteClipboardBitmap();
    void CloseRequested();
    void TakeDrop(DWORD keyState);
    void OpenPendingDrop();

    MainWindowOptions options_;
    MessageBoxUserMessages realMessages_;
    ShellExecuteLauncher realShell_;
    SystemCommonDialogs realDialogs_;
    DialogOverwriteQuestion realQuestion_;
    UserMessages* messages_;
    ApplicationWindow application_;
    // The single-instance guard (JvAppInstances1); made before anything is read.
    std::unique_ptr<AppInstances> instances_;
    // OLE, for drops and the shell's objects; started once the picture is on screen and ended
    // after every component that uses it.
    ScopedOle ole_;
    // What start-up has left until the picture is on screen, in its order.
    enum class LateStep { Taskbar, Ole, Icons, Controls, Done };
    LateStep lateStep_ = LateStep::Taskbar;
    // The first showing of the picture runs; its activation's taskbar state waits for the first
    // late step.
    bool firstShow_ = false;
    bool taskbarPending_ = false;

    // Components.
    DogImage picture_;
    VersionInfoReader versionInfo_;
    SysImageList sil_;
    // Made with the window it posts to, gone before it: its thread never waits to be ended.
    std::unique_ptr<IconLookupWorker> iconLookups_;
    std::unique_ptr<LauncherMenu> menu_;
    // The hotkey that opens the menu from anywhere; registered on this window.
    std::unique_ptr<LauncherHotkey> hotkey_;
    bool hotkeyCleared_ = false;  // the user chose none: the stored one goes at the close
    std::unique_ptr<DropComboTarget> dropTarget_;
    // The item editor, made when first needed and kept until the end (see Editor()).
    std::unique_ptr<ItemEditor> editor_;

    // Own state.
    corvalo::LauncherList launcherList_;
    // The settings store, the icon list and the files beside the executable.
    std::unique_ptr<DataFiles> files_;
    int activationShowCommand_ = SW_HIDE;

    MenuFont font_;
    uint8_t alpha_ = 200;
    Color background_ = 16773849;
    Color colorKey_ = 0;
    bool colorKeyEnabled_ = false;
    int wheelRemainder_ = 0;
    // What the last drop delivered, until its message opens it.
    struct PendingDrop {
        std::vector<std::wstring> files;
        std::string url;
        DWORD keyState = 0;
    };
    std::optional<PendingDrop> pendingDrop_;
    // Set while a close request runs, so a second one from inside its error box waits its turn.
    bool closing_ = false;
    // Set when a log-off or shut-down query has already run the final save.
    bool savedForEndSession_ = false;
};

}  // namespace corvalo

#include "app/main_window_win.h"

#include "app/run_entry_win.h"
#include "base/dpi_scale.h"
#include "base/dpi_win.h"
#include "base/error.h"
#include "base/file_io_win.h"
#include "base/program_name.h"
#include "base/text.h"
#include "base/trace.h"
#include "launcher/launcher_items_win.h"
#include "launcher/locale_compare_win.h"
#include "picture/bmp_format.h"
#include "picture/dib_win.h"
#include "picture/picture_file.h"
#include "resources/resource_ids.h"
#include "shell/shortcut_target_win.h"

#include <windowsx.h>

#include <algorithm>
#include <thread>
#include <utility>

namespace corvalo {
namespace {

constexpr int kDefaultLeft = 1588;
constexpr int kDefaultTop = 251;
constexpr int kDefaultWidth = 272;
constexpr int kDefaultHeight = 295;
constexpr int kPictureSide = 256;
constexpr DWORD kSizeableStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
constexpr DWORD kBorderlessStyle = WS_POPUP | WS_CLIPCHILDREN;
// The timer that does what can wait until start-up has shown the picture: the menu's icons, the
// icon list and the item editor.
constexpr UINT_PTR kAfterFirstPaintTimer = 1;
constexpr UINT kAfterFirstPaintDelayMs = 100;
// Posted by a drop: what it delivered is opened once the drop has returned.
constexpr UINT kOpenDropMessage = WM_APP + 1;
// Posted by the menu's icon lookups when icons have arrived.
constexpr UINT kIconsArrivedMessage = WM_APP + 2;
// Runs the next of what start-up leaves until the picture is on screen.
constexpr UINT kLateStepMessage = WM_APP + 3;
// How long the end of the process may take once the window is gone, at most.
constexpr DWORD kEndGraceMs = 5000;

bool ShiftHeld() {
    return GetKeyState(VK_SHIFT) < 0;
}
bool ControlHeld() {
    return GetKeyState(VK_CONTROL) < 0;
}

ScreenRect ToScreenRect(const RECT& rect) {
    return ScreenRect{rect.left, rect.top, rect.right, rect.bottom};
}

BOOL CALLBACK AddWorkArea(HMONITOR monitor, HDC, LPRECT, LPARAM areas) {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (GetMonitorInfoW(monitor, &info))
        reinterpret_cast<std::vector<ScreenRect>*>(areas)->push_back(ToScreenRect(info.rcWork));
    return TRUE;
}

}  // namespace

MainWindow::MainWindow(MainWindowOptions options)
    : options_(std::move(options)),
      messages_(options_.messages ? options_.messages : &realMessages_),
      picture_(*this, kPictureSide, kPictureSide),
      launcherList_(CompareInUserLocale) {
    if (options_.ansiExePath.empty())
        options_.ansiExePath = WideToAnsi(options_.exePath);
    files_ = std::make_unique<DataFiles>(options_.exePath, options_.ansiExePath);
    CreateMainWindow();
    iconLookups_ =
        std::make_unique<IconLookupWorker>(Handle(), kIconsArrivedMessage, options_.iconLookup);
    menu_ = std::make_unique<LauncherMenu>(*this, options_.shell ? *options_.shell : realShell_,
                                           options_.dialogs ? *options_.dialogs : realDialogs_);
    hotkey_ = std::make_unique<LauncherHotkey>(Handle());
    application_.SetMainWindow(Handle());

    // The single-instance guard decides here, before anything is read: a second copy of the same
    // executable ends at this point.
    instances_ = std::make_unique<AppInstances>(AppInstancesOptions(GuardPath()));
    instances_->EndProcessIfRejected();

    picture_.SetMoveable(true);
    picture_.SetTransparent(true);
    RunHandler(*messages_, Handle(), [&] { FormCreate(); });

    // The built-in picture, unless start-up has put the picture file in its place (making it only
    // then spares every later start a picture that is replaced at once). It is applied with the
    // see-through switch off, so the first start shows it on the button-face colour with nothing
    // see-through; every later picture is see-through.
    if (!picture_.HasPicture()) {
        picture_.SetTransparent(false);
        RunHandler(*messages_, Handle(),
                   [&] { picture_.SetPicture(LoadBitmapResource(IDB_DEFAULT_PICTURE)); });
        picture_.SetTransparent(true);
    }
    // From here on every picture is the user's own change, which the final save may write over a
    // picture file that start-up could not read.
    picture_.onPicChange = [this] { files_->NotePictureChanged(); };
    KeepReachableOnScreen();
}

// The guard's identity comes from the exe's one final long path, so every form of that path (a
// short 8.3 name, a SUBST drive, a link) is the same program over the same files. The path as
// the process knows it stays when it is that path already, as every earlier copy named it.
std::string MainWindow::GuardPath() const {
    const std::wstring final = FinalPathOf(options_.exePath);
    if (lstrcmpiW(final.c_str(), options_.exePath.c_str()) == 0)
        return options_.ansiExePath;
    return WideToAnsi(final);
}

MainWindow::~MainWindow() {
    editor_.reset();
    if (dropTarget_)
        dropTarget_->Revoke();
    // Gone before the components it shows: nothing may reach a half-destroyed window.
    DestroyWithoutHandlers();
}

void MainWindow::CreateMainWindow() {
    // A tool window has no taskbar button of its own: the application window carries the
    // program's. (Owning the main window by the application window would do the same on Windows,
    // but an owned window can't be taken out of the stay-on-top band under Wine.)
    // Made frameless: it is never shown before start-up has given it a picture, which takes the
    // frame away, and a frame taken away costs a round of the window's frame being worked out anew.
    // Double-clicks on the picture switch stay-on-top.
    Create({kMainWindowClass, L"the main window", CS_DBLCLKS},
           WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW, kProgramTitle, kBorderlessStyle,
           {kDefaultLeft, kDefaultTop, kDefaultWidth, kDefaultHeight});
    // Drawn for the monitor it is on from the first picture on.
    picture_.SetDpi(WindowDpi(Handle()));
    ApplyLayering();
    // The program the user dragged from waits in its drag loop until the drop returns, so the drop
    // only takes the data; what it opens (the item editor's modal loop) follows from a message.
    dropTarget_ = std::make_unique<DropComboTarget>(
        [this](DWORD keyState, POINT, DWORD&) { TakeDrop(keyState); },
        [this] { return !pendingDrop_ && !(editor_ && editor_->Showing()); });
    // It takes drops once OLE has started (AfterFirstPaint).
}

void MainWindow::Show() {
    // The picture's first activation would show the taskbar button's window, which costs about as
    // much as the rest of the start: it follows once the picture is on screen (RunLateStep).
    firstShow_ = true;
    ShowWindow(Handle(), SW_SHOW);
    UpdateWindow(Handle());
    firstShow_ = false;
    // OLE, the menu's icons and the item editor are not needed to show the picture, and making
    // them costs more than the rest of the start-up's own work, so they are made once the picture
    // is on screen and the program is idle (or when a handler needs them sooner).
    SetTimer(Handle(), kAfterFirstPaintTimer, kAfterFirstPaintDelayMs, nullptr);
}

// What start-up leaves until the picture is on screen: after the timer that Show sets, one step
// per message, so that the window answers between them; or all at once, by the first handler
// that needs them.
void MainWindow::AfterFirstPaint() {
    while (lateStep_ != LateStep::Done)
        RunLateStep();
}

void MainWindow::RunLateStep() {
    switch (lateStep_) {
        case LateStep::Taskbar:
            lateStep_ = LateStep::Ole;
            if (std::exchange(taskbarPending_, false))
                FormActivate();
            break;
        case LateStep::Ole:
            lateStep_ = LateStep::Icons;
            ole_.Start();
            dropTarget_->Register(Handle());
            break;
        case LateStep::Icons:
            lateStep_ = LateStep::Controls;
            menu_->ResolvePendingIcons();
            break;
        case LateStep::Controls:
            // The item editor's window itself waits until the user first needs it (making it
            // would keep the window from answering for longer than any other step); the common
            // controls it uses are ready before, so that its first opening is quick.
            lateStep_ = LateStep::Done;
            ItemEditor::PrepareControls();
            break;
        case LateStep::Done:
            break;
    }
}

ItemEditor& MainWindow::Editor() {
    // The editor takes drops and uses the icon list, so OLE and the start-up's menu icons come
    // first.
    AfterFirstPaint();
    if (!editor_)
        editor_ = std::make_unique<ItemEditor>(*this);
    return *editor_;
}

HIMAGELIST MainWindow::IconList() const {
    return files_->IconList();
}

// Start-up, in its fixed order. An error in one step is shown and start-up goes on with every
// later step that does not need the failed one, so the window always ends up whole: its menu, Quit
// and the taskbar choice work after any of them.
void MainWindow::FormCreate() {
    const auto step = [&](auto&& run) { RunHandler(*messages_, Handle(), run); };
    // 1. Double buffering: every paint of the picture reaches the screen in one operation
    // (DogImage::Paint).

    // 2. The icon list's file, read now and made into the list at its first use (IconList).
    files_->ReadIconListFile();

    // 3. The launcher list, empty.
    launcherList_.Clear();

    // 4. Settings: window position, font, alpha value, launcher items. Without a settings store
    // the defaults stay.
    step([&] { LoadSettings(); });

    // 5. The older list file, migrated once when the settings file holds no item yet.
    step([&] { files_->MigrateLegacyList(launcherList_); });

    // 6. and 7.: the picture file's path and the Run-key value's name come with the data files.

    // 8. The picture the user had at the last close.
    step([&] {
        if (std::optional<Bitmap> picture = files_->ReadPictureFile()) {
            picture_.SetPicture(std::move(*picture));
            InvalidateRect(Handle(), nullptr, FALSE);
        }
    });

    // 9. The popup menu, which also applies the stored taskbar choice. Its icons come once the
    // picture is on screen.
    step([&] { menu_->RebuildMenu(LauncherMenu::IconLookup::Later); });
}

void MainWindow::LoadSettings() {
    WindowSettings stored = CurrentWindowSettings();
    files_->LoadSettings(stored, launcherList_);
    // The stored position is in the units of a program that is not DPI aware (96-dpi pixels of
    // the system DPI), as every earlier version stored it.
    const int systemDpi = SystemDpi();
    SetWindowPos(Handle(), nullptr, DpiScaled(stored.left, systemDpi),
                 DpiScaled(stored.top, systemDpi), 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    font_ = stored.font;
    alpha_ = stored.alpha;
    ApplyLayering();
    // A combination another program holds is said once; the program starts all the same, and
    // the stored choice stays in the file for the next start.
    if (!hotkey_->Set(stored.hotkey))
        throw Error(FillText(kStoredHotkeyTakenText, {FormatHotkey(stored.hotkey)}));
}

WindowSettings MainWindow::CurrentWindowSettings() const {
    RECT bounds{};
    GetWindowRect(Handle(), &bounds);
    WindowSettings settings;
    // Rounded back the way LoadSettings scales, so a position read and saved again is the same.
    const int systemDpi = SystemDpi();
    settings.left = DpiUnscaled(bounds.left, systemDpi);
    settings.top = DpiUnscaled(bounds.top, systemDpi);
    settings.font = font_;
    settings.alpha = alpha_;
    settings.hotkey = hotkey_->Current();
    settings.hotkeyCleared = hotkeyCleared_;
    return settings;
}

// A window that meets no monitor's work area (a stored position from another monitor set-up, or
// the default position on a narrow screen) comes fully onto the nearest one; the final save then
// stores where it really is.
void MainWindow::KeepReachableOnScreen() {
    std::vector<ScreenRect> areas;
    EnumDisplayMonitors(nullptr, nullptr, AddWorkArea, reinterpret_cast<LPARAM>(&areas));
    MoveWindowTo(KeepReachable(WindowBounds(), areas));
}

ScreenRect MainWindow::WindowBounds() const {
    RECT bounds{};
    GetWindowRect(Handle(), &bounds);
    return ToScreenRect(bounds);
}

void MainWindow::MoveWindowTo(const ScreenRect& placed) {
    const ScreenRect bounds = WindowBounds();
    if (placed.left != bounds.left || placed.top != bounds.top) {
        SetWindowPos(Handle(), nullptr, placed.left, placed.top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

Bitmap MainWindow::LoadPicture(const std::wstring& fileName) const {
    return LoadPictureFile(fileName);
}

bool MainWindow::StartsWithWindows() const {
    return RunEntryExists(RunValueName(), ExePath());
}

void MainWindow::SetStartsWithWindows(bool on) {
    SetRunEntry(RunValueName(), ExePath(), on);
}

void MainWindow::ShowPictureFile(const std::wstring& fileName) {
    ShowNewPicture(LoadPicture(fileName));
}

// A picture the user brings (New image, a paste, a Shift-drop) is shown whole: fitted to the work
// area of the window's monitor when it is larger, and the window moved the least that keeps all of
// it inside that area, so no part of the picture and none of the window's grip are off the screen.
void MainWindow::ShowNewPicture(Bitmap&& picture) {
    const RECT work = WorkArea();
    // The picture's sizes are 96-dpi lengths: it is fitted to the work area as the picture sees
    // it.
    const int dpi = picture_.Dpi();
    const RECT fitInto{0, 0, DpiUnscaled(work.right - work.left, dpi),
                       DpiUnscaled(work.bottom - work.top, dpi)};
    picture_.SetNewPicture(std::move(picture), fitInto);
    if (!IsRectEmpty(&work))
        MoveWindowTo(MovedInside(WindowBounds(), ToScreenRect(work)));
}

RECT MainWindow::WorkArea() const {
    MONITORINFO info{};
    info.cbSize = sizeof(info);
    if (!GetMonitorInfoW(MonitorFromWindow(Handle(), MONITOR_DEFAULTTONEAREST), &info))
        return RECT{};
    return info.rcWork;
}

void MainWindow::EditItem(const std::wstring& target, const std::wstring& caption) {
    Editor().Edit(target, caption);
}

bool MainWindow::FormCloseQuery() {
    if (!files_->SaveForClose(CurrentWindowSettings(), launcherList_, picture_.PictureBitmap()))
        return false;
    // A save that failed again lets the user go after saying why.
    if (!files_->lastError.empty())
        messages_->ShowError(Handle(), files_->lastError);
    return true;
}

void MainWindow::CloseRequested() {
    if (closing_)
        return;
    closing_ = true;
    // From here on a new start waits for this copy to end instead of handing over to it; a save
    // that keeps the window open makes it the running copy again before its error is shown.
    instances_->BeginClose();
    bool allowed = false;
    RunHandler(*messages_, Handle(), [&] {
        try {
            allowed = FormCloseQuery();
        } catch (...) {
            instances_->CloseAbandoned();
            throw;
        }
    });
    closing_ = false;
    if (allowed) {
        Destroy();
    } else {
        instances_->CloseAbandoned();
    }
}

// A log-off or shut-down is never held up: no question, no message box, each file saved that can
// be, once.
void MainWindow::SaveForSessionEnd() {
    if (savedForEndSession_)
        return;
    savedForEndSession_ = true;
    try {
        files_->SaveForSessionEnd(CurrentWindowSettings(), launcherList_, picture_.PictureBitmap());
    } catch (...) {
        TraceCurrentException(L"The save at the end of the session stopped");
    }
}

void MainWindow::FormActivate() {
    ShowWindow(application_.Window(), activationShowCommand_);
}

void MainWindow::FormKeyDown(WORD key) {
    const Bitmap* bitmap = picture_.PictureBitmap();
    const int width = bitmap ? bitmap->Width() : 0;
    if (ShiftHeld() && key == VK_DOWN && width < 500) {
        // A picture that grows past its monitor's work area moves so that all of it stays there.
        const RECT work = WorkArea();
        picture_.ResizeBy(10);
        if (!IsRectEmpty(&work))
            MoveWindowTo(MovedInside(WindowBounds(), ToScreenRect(work)));
    }
    if (ShiftHeld() && key == VK_UP && width > 50)
        picture_.ResizeBy(-10);
    if (ControlHeld() && key == 'V')
        PasteClipboardBitmap();
}

void MainWindow::PasteClipboardBitmap() {
    if (!IsClipboardFormatAvailable(CF_BITMAP))
        return;
    ScopedClipboard clipboard(Handle());
    if (!clipboard.IsOpen())
        return;
    HBITMAP pasted = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    if (!pasted)
        return;
    ShowNewPicture(BitmapFromGdi(pasted));
    InvalidateRect(Handle(), nullptr, FALSE);
    UpdateWindow(Handle());
}

void MainWindow::FormMouseWheelUp(bool shift) {
    if (!shift)
        return;
    if (alpha_ > 50) {
        alpha_ = static_cast<uint8_t>(alpha_ - 10);
        ApplyLayering();
    }
}

void MainWindow::FormMouseWheelDown(bool shift) {
    if (!shift)
        return;
    if (alpha_ < 240) {
        alpha_ = static_cast<uint8_t>(alpha_ + 10);
        ApplyLayering();
    }
}

bool MainWindow::StayOnTop() const {
    return (GetWindowLongPtrW(Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

void MainWindow::DogImage1DblClick() {
    SetWindowPos(Handle(), StayOnTop() ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void MainWindow::DropComboTarget1Drop(const std::vector<std::wstring>& files,
                                      const std::string& url, DWORD keyState) {
    ItemEditor& editor = Editor();
    if (!files.empty()) {
        const std::wstring& first = files.front();  // further names are ignored
        if ((keyState & MK_SHIFT) && IsPictureFile(first)) {
            ShowNewPicture(LoadPictureFile(first));
            InvalidateRect(Handle(), nullptr, FALSE);
        } else {
            const std::wstring target = GetShortcutTarget(first);
            editor.SetFileNameText(target.empty() ? first : target);
        }
    } else {
        editor.SetFileNameText(AnsiToWide(url));
    }
    // The editor's fields are empty while it is closed, so after a new picture this ends here.
    const std::wstring fileName = editor.FileNameText();
    if (fileName.empty())
        return;
    editor.SetCaptionText(GetProductName(versionInfo_, fileName));
    Bitmap icon;
    CopyIcon(sil_.Handle(), GetFileIconIndex(WideToAnsi(fileName), false), icon);
    editor.Preview().SetBitmap(std::move(icon));
    editor.ShowModal();
}

// The program the user dragged from waits in its drag loop until the drop returns, so the drop
// only takes the data; what it opens (the item editor's modal loop) follows from a message.
void MainWindow::TakeDrop(DWORD keyState) {
    const std::vector<std::wstring>& files = dropTarget_->DroppedFiles();
    if ((keyState & MK_SHIFT) && !files.empty() && IsPictureFile(files.front())) {
        // A new picture opens no modal loop: it is taken during the drop, and a file that does
        // not load ends the drop as not taken.
        DropComboTarget1Drop(files, dropTarget_->DroppedUrl(), keyState);
        return;
    }
    pendingDrop_ = PendingDrop{files, dropTarget_->DroppedUrl(), keyState};
    // A drop waiting for a message that never comes would refuse every later drop.
    if (!PostMessageW(Handle(), kOpenDropMessage, 0, 0)) {
        const DWORD code = GetLastError();
        pendingDrop_.reset();
        Trace(L"A drop onto the picture was not taken: its message was not posted. " +
              SystemErrorText(code));
    }
}

void MainWindow::OpenPendingDrop() {
    if (!pendingDrop_)
        return;
    const PendingDrop drop = std::move(*pendingDrop_);
    pendingDrop_.reset();
    // Errors of a drop end it without a message, as inside the drop itself.
    try {
        DropComboTarget1Drop(drop.files, drop.url, drop.keyState);
    } catch (...) {
        TraceCurrentException(L"A drop onto the picture was not taken");
    }
}

void MainWindow::SetBorderless(bool borderless) {
    const LONG_PTR style = GetWindowLongPtrW(Handle(), GWL_STYLE);
    const LONG_PTR wanted = (borderless ? kBorderlessStyle : kSizeableStyle) | (style & WS_VISIBLE);
    if (style == wanted)
        return;
    SetWindowLongPtrW(Handle(), GWL_STYLE, wanted);
    SetWindowPos(Handle(), nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::FitClientArea(int width, int height) {
    const RECT bounds = WindowSizeFor(width, height, picture_.Dpi());
    SetWindowPos(Handle(), nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(Handle(), nullptr, FALSE);
}

RECT MainWindow::WindowSizeFor(int clientWidth, int clientHeight, int dpi) const {
    return WindowRectForClient(RECT{0, 0, clientWidth, clientHeight},
                               static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_STYLE)),
                               static_cast<DWORD>(GetWindowLongPtrW(Handle(), GWL_EXSTYLE)), dpi);
}

void MainWindow::SetBackgroundColor(Color color) {
    background_ = color;
    InvalidateRect(Handle(), nullptr, FALSE);
}

void MainWindow::SetColorKey(Color key, bool enabled) {
    colorKey_ = key;
    colorKeyEnabled_ = enabled;
    ApplyLayering();
}

void MainWindow::ApplyLayering() {
    SetLayeredWindowAttributes(Handle(), colorKey_, alpha_,
                               LWA_ALPHA | (colorKeyEnabled_ ? LWA_COLORKEY : 0));
}

LRESULT MainWindow::OnMessage(const WindowMessage& message) {
    static constexpr MessageHandler<MainWindow> kHandlers[] = {
        {WM_TIMER, &MainWindow::OnTimer},
        {WM_PAINT, &MainWindow::OnPaint},
        {WM_ERASEBKGND, &MainWindow::OnEraseBackground},
        {WM_ACTIVATE, &MainWindow::OnActivate},
        {WM_SHOWWINDOW, &MainWindow::OnShowWindow},
        {WM_KEYDOWN, &MainWindow::OnKeyDown},
        {WM_SYSKEYDOWN, &MainWindow::OnKeyDown},  // with Alt held: Shift and Ctrl count anyway
        {WM_MOUSEWHEEL, &MainWindow::OnMouseWheel},
        {WM_LBUTTONDOWN, &MainWindow::OnLeftButtonDown},
        {WM_LBUTTONDBLCLK, &MainWindow::OnLeftButtonDoubleClick},
        {WM_MOUSEMOVE, &MainWindow::OnMouseMove},
        {WM_MOUSELEAVE, &MainWindow::OnMouseLeave},
        {WM_SETCURSOR, &MainWindow::OnSetCursor},
        {WM_CONTEXTMENU, &MainWindow::OnContextMenu},
        {WM_MEASUREITEM, &MainWindow::OnMeasureItem},
        {WM_DRAWITEM, &MainWindow::OnDrawItem},
        {WM_MENUCHAR, &MainWindow::OnMenuChar},
        {WM_HOTKEY, &MainWindow::OnHotkey},
        {WM_CLOSE, &MainWindow::OnClose},
        {WM_QUERYENDSESSION, &MainWindow::OnQueryEndSession},
        {WM_ENDSESSION, &MainWindow::OnEndSession},
        {WM_DISPLAYCHANGE, &MainWindow::OnDisplayChange},
        {WM_DPICHANGED, &MainWindow::OnDpiChanged},
        {kGetDpiScaledSizeMessage, &MainWindow::OnGetDpiScaledSize},
        {kOpenDropMessage, &MainWindow::OnOpenDrop},
        {kIconsArrivedMessage, &MainWindow::OnIconsArrived},
        {kLateStepMessage, &MainWindow::OnLateStep},
        {WM_DESTROY, &MainWindow::OnDestroy},
    };
    return Dispatch(*this, kHandlers, message);
}

LRESULT MainWindow::OnTimer(const WindowMessage& message) {
    if (message.wParam == LauncherMenu::kRedrawTimer && menu_) {
        menu_->RedrawTimerElapsed();
        return 0;
    }
    if (message.wParam != kAfterFirstPaintTimer)
        return message.Default();
    KillTimer(Handle(), kAfterFirstPaintTimer);
    PostMessageW(Handle(), kLateStepMessage, 0, 0);
    return 0;
}

LRESULT MainWindow::OnLateStep(const WindowMessage&) {
    RunLateStep();
    if (lateStep_ != LateStep::Done)
        PostMessageW(Handle(), kLateStepMessage, 0, 0);
    return 0;
}

LRESULT MainWindow::OnPaint(const WindowMessage&) {
    ScopedPaint paint(Handle());
    picture_.Paint(paint.Dc(), background_);
    return 0;
}

LRESULT MainWindow::OnEraseBackground(const WindowMessage&) {
    return 1;  // the paint covers every pixel
}

LRESULT MainWindow::OnActivate(const WindowMessage& message) {
    if (LOWORD(message.wParam) != WA_INACTIVE) {
        if (firstShow_) {
            taskbarPending_ = true;
        } else {
            FormActivate();
        }
    }
    return message.Default();
}

LRESULT MainWindow::OnShowWindow(const WindowMessage& message) {
    if (message.wParam)
        picture_.OnOwnerShown();
    return message.Default();
}

LRESULT MainWindow::OnKeyDown(const WindowMessage& message) {
    FormKeyDown(static_cast<WORD>(message.wParam));
    return message.Default();  // the key is passed on unchanged
}

LRESULT MainWindow::OnMouseWheel(const WindowMessage& message) {
    const bool shift = (GET_KEYSTATE_WPARAM(message.wParam) & MK_SHIFT) != 0;
    // One step per notch; fine-grained wheels add up to a notch first.
    wheelRemainder_ += GET_WHEEL_DELTA_WPARAM(message.wParam);
    while (wheelRemainder_ >= WHEEL_DELTA) {
        wheelRemainder_ -= WHEEL_DELTA;
        FormMouseWheelUp(shift);
    }
    while (wheelRemainder_ <= -WHEEL_DELTA) {
        wheelRemainder_ += WHEEL_DELTA;
        FormMouseWheelDown(shift);
    }
    return message.Default();  // the wheel is not marked as handled
}

LRESULT MainWindow::OnLeftButtonDown(const WindowMessage&) {
    // Only a press the window itself receives with no menu open starts a drag: the click that
    // closed the menu must not move the picture.
    if (menu_->PressedWhileOpen(GetMessageTime())) {
        Trace(L"A click that closed the menu was not taken for a drag");
        return 0;
    }
    picture_.OnButtonDown(true);
    return 0;
}

LRESULT MainWindow::OnLeftButtonDoubleClick(const WindowMessage&) {
    DogImage1DblClick();
    return 0;
}

LRESULT MainWindow::OnMouseMove(const WindowMessage&) {
    picture_.OnMouseMove();
    return 0;
}

LRESULT MainWindow::OnMouseLeave(const WindowMessage&) {
    picture_.OnMouseLeave();
    return 0;
}

LRESULT MainWindow::OnSetCursor(const WindowMessage& message) {
    return picture_.OnSetCursor() ? TRUE : message.Default();
}

LRESULT MainWindow::OnContextMenu(const WindowMessage& message) {
    // A right click opens the menu at the pointer; Shift+F10 or the menu key at the picture's
    // top-left corner.
    POINT at{GET_X_LPARAM(message.lParam), GET_Y_LPARAM(message.lParam)};
    if (message.lParam == -1) {
        RECT bounds{};
        GetWindowRect(Handle(), &bounds);
        at = POINT{bounds.left, bounds.top};
    }
    AfterFirstPaint();  // OLE, for the shell that opens the chosen item
    menu_->Popup(at);
    return 0;
}

// The hotkey, from whatever program has the focus: the menu at the pointer, the picture's window
// brought to the foreground first so that a click elsewhere or Escape closes it and the arrows
// and letters work at once; pressed while the menu is open, it closes it. While a window of the
// program is modal over the picture, the hotkey does nothing.
LRESULT MainWindow::OnHotkey(const WindowMessage& message) {
    if (message.wParam != static_cast<WPARAM>(LauncherHotkey::kId))
        return message.Default();
    if (menu_->IsOpen()) {
        EndMenu();
        return 0;
    }
    if (!IsWindowEnabled(Handle()))
        return 0;
    POINT at{};
    GetCursorPos(&at);
    // With the pointer over the taskbar, the menu opens at the edge of the work area instead.
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    if (GetMonitorInfoW(MonitorFromPoint(at, MONITOR_DEFAULTTONEAREST), &monitor)) {
        const RECT& work = monitor.rcWork;
        at.x = std::clamp<LONG>(at.x, work.left, std::max(work.left, work.right - 1));
        at.y = std::clamp<LONG>(at.y, work.top, std::max(work.top, work.bottom - 1));
    }
    SetForegroundWindow(Handle());
    AfterFirstPaint();  // OLE, for the shell that opens the chosen item
    menu_->Popup(at);
    return 0;
}

bool MainWindow::TakeMenuHotkey(HWND dialog, const Hotkey& hotkey) {
    if (hotkey_->Set(hotkey)) {
        hotkeyCleared_ = hotkey.Empty();
        return true;
    }
    messages_->ShowError(dialog ? dialog : Handle(),
                         FillText(kHotkeyTakenText, {FormatHotkey(hotkey)}));
    return false;
}

LRESULT MainWindow::OnMeasureItem(const WindowMessage& message) {
    auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(message.lParam);
    if (measure->CtlType != ODT_MENU)
        return message.Default();
    menu_->Painter().Measure(*measure);
    return TRUE;
}

LRESULT MainWindow::OnDrawItem(const WindowMessage& message) {
    const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(message.lParam);
    if (draw->CtlType != ODT_MENU)
        return message.Default();
    menu_->Painter().Draw(*draw);
    return TRUE;
}

LRESULT MainWindow::OnMenuChar(const WindowMessage& message) {
    if (!(HIWORD(message.wParam) & MF_POPUP))
        return message.Default();
    return menu_->MenuChar(static_cast<wchar_t>(LOWORD(message.wParam)),
                           reinterpret_cast<HMENU>(message.lParam));
}

LRESULT MainWindow::OnClose(const WindowMessage&) {
    CloseRequested();
    return 0;
}

LRESULT MainWindow::OnQueryEndSession(const WindowMessage&) {
    SaveForSessionEnd();
    return TRUE;
}

LRESULT MainWindow::OnEndSession(const WindowMessage& message) {
    if (message.wParam) {
        SaveForSessionEnd();
        Destroy();
    } else if (savedForEndSession_) {
        // The log-off was cancelled: the window lives on with its settings store again.
        savedForEndSession_ = false;
        files_->ReopenSettings();
    }
    return 0;
}

LRESULT MainWindow::OnDisplayChange(const WindowMessage& message) {
    KeepReachableOnScreen();
    return message.Default();
}

// Moved onto a monitor of another DPI (or that monitor's scaling changed): the picture is made
// again for it and the window takes the rectangle the system suggests, which WM_GETDPISCALEDSIZE
// has already given the picture's new size, so that a picture being dragged stays under the
// pointer.
LRESULT MainWindow::OnDpiChanged(const WindowMessage& message) {
    const int dpi = HIWORD(message.wParam);
    const auto* suggested = reinterpret_cast<const RECT*>(message.lParam);
    picture_.SetDpi(dpi);
    if (suggested) {
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top,
                     suggested->right - suggested->left, suggested->bottom - suggested->top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    InvalidateRect(Handle(), nullptr, FALSE);
    return 0;
}

LRESULT MainWindow::OnGetDpiScaledSize(const WindowMessage& message) {
    auto* size = reinterpret_cast<SIZE*>(message.lParam);
    const int dpi = static_cast<int>(message.wParam);
    if (!size || dpi <= 0 || !picture_.HasPicture())
        return FALSE;  // the system scales the window as it is
    const RECT bounds = WindowSizeFor(std::max(1, DpiScaled(picture_.Width(), dpi)),
                                      std::max(1, DpiScaled(picture_.Height(), dpi)), dpi);
    size->cx = bounds.right - bounds.left;
    size->cy = bounds.bottom - bounds.top;
    return TRUE;
}

LRESULT MainWindow::OnOpenDrop(const WindowMessage&) {
    OpenPendingDrop();
    return 0;
}

LRESULT MainWindow::OnIconsArrived(const WindowMessage&) {
    menu_->IconsArrived();
    return 0;
}

// The program's window is gone and its files are saved: the process ends now, whatever loop the
// thread is in. A loop that swallowed the quit (a menu's, a move's, another program's hook) must
// not leave a process with no window, so a thread of its own ends it after a grace time in which
// the normal end (the guard letting go, ExitProcess in the entry point) comes first.
void MainWindow::EndProcessSoon() {
    std::thread([] {
        Sleep(kEndGraceMs);
        Trace(L"The process did not end after its window had closed: it ends now");
        ExitProcess(0);
    }).detach();
}

LRESULT MainWindow::OnDestroy(const WindowMessage&) {
    // A copy whose window is gone is no longer the running copy, whatever ends it.
    if (instances_)
        instances_->BeginClose();
    // The combination is free for the next copy at once.
    if (hotkey_)
        hotkey_->Clear();
    // Nothing posts to the window once it is gone.
    if (iconLookups_)
        iconLookups_->StopPosting();
    if (dropTarget_)
        dropTarget_->Revoke();
    if (options_.quitWhenDestroyed) {
        PostQuitMessage(0);
        EndProcessSoon();
    }
    return 0;
}

}  // namespace corvalo

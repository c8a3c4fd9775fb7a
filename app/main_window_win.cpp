#include "app/main_window_win.h"

#include "app/data_paths.h"
#include "app/icon_list_file_win.h"
#include "app/legacy_list.h"
#include "base/error.h"
#include "base/file_io_win.h"
#include "base/window_class_win.h"
#include "base/text.h"
#include "launcher/launcher_items_win.h"
#include "launcher/launcher_line.h"
#include "launcher/locale_compare_win.h"
#include "picture/bmp_format.h"
#include "picture/dib_win.h"
#include "picture/picture_file.h"
#include "resources/resource_ids.h"
#include "shell/shortcut_target_win.h"

#include <windowsx.h>

#include <algorithm>

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

const std::wstring kAdmin = L"ADMIN";
const std::wstring kMenu = L"MENU";

bool ShiftHeld() {
    return GetKeyState(VK_SHIFT) < 0;
}
bool ControlHeld() {
    return GetKeyState(VK_CONTROL) < 0;
}

}  // namespace

MainWindow::MainWindow(MainWindowOptions options)
    : options_(std::move(options)),
      messages_(options_.messages ? options_.messages : &realMessages_),
      picture_(*this, kPictureSide, kPictureSide),
      launcherList_(CompareInUserLocale) {
    if (options_.ansiExePath.empty())
        options_.ansiExePath = WideToAnsi(options_.exePath);
    window_ = CreateMainWindow();
    menu_ = std::make_unique<LauncherMenu>(*this, options_.shell ? *options_.shell : realShell_,
                                           options_.dialogs ? *options_.dialogs : realDialogs_);
    application_.SetMainWindow(window_);

    // The single-instance guard decides here, before anything is read: a second copy of the same
    // executable ends at this point.
    instances_ = std::make_unique<AppInstances>(AppInstancesOptions(options_.ansiExePath));
    instances_->EndProcessIfRejected();

    picture_.SetMoveable(true);
    picture_.SetTransparent(true);
    RunHandler(*messages_, window_, [&] { FormCreate(); });

    // The built-in picture, unless start-up has put the picture file in its place (making it only
    // then spares every later start a picture that is replaced at once). It is applied with the
    // see-through switch off, so the first start shows it on the button-face colour with nothing
    // see-through; every later picture is see-through.
    if (!picture_.HasPicture()) {
        picture_.SetTransparent(false);
        RunHandler(*messages_, window_,
                   [&] { picture_.SetPicture(LoadBitmapResource(IDB_DEFAULT_PICTURE)); });
        picture_.SetTransparent(true);
    }
}

MainWindow::~MainWindow() {
    editor_.reset();
    if (dropTarget_)
        dropTarget_->Revoke();
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

HWND MainWindow::CreateMainWindow() {
    // Double-clicks on the picture switch stay-on-top.
    RegisterProgramWindowClass(kMainWindowClass, &MainWindow::WindowProcedure, CS_DBLCLKS);
    // A tool window has no taskbar button of its own: the application window carries the
    // program's. (Owning the main window by the application window would do the same on Windows,
    // but an owned window can't be taken out of the stay-on-top band under Wine.)
    // Made frameless: it is never shown before start-up has given it a picture, which takes the
    // frame away, and a frame taken away costs a round of the window's frame being worked out anew.
    HWND window = CreateWindowExW(WS_EX_LAYERED | WS_EX_TOPMOST | WS_EX_TOOLWINDOW,
                                  kMainWindowClass, kApplicationTitle, kBorderlessStyle,
                                  kDefaultLeft, kDefaultTop, kDefaultWidth, kDefaultHeight, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), this);
    if (!window)
        throw Error(L"Failed to create the main window");
    window_ = window;
    ApplyLayering();
    dropTarget_ = std::make_unique<DropComboTarget>([this](DWORD keyState, POINT, DWORD&) {
        // Errors inside a drop end it without a message: the drop target swallows them.
        DropComboTarget1Drop(dropTarget_->DroppedFiles(), dropTarget_->DroppedUrl(), keyState);
    });
    return window;  // it takes drops once OLE has started (AfterFirstPaint)
}

void MainWindow::Show() {
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    // OLE, the menu's icons and the item editor are not needed to show the picture, and making
    // them costs more than the rest of the start-up's own work, so they are made once the picture
    // is on screen and the program is idle (or when a handler needs them sooner).
    SetTimer(window_, kAfterFirstPaintTimer, kAfterFirstPaintDelayMs, nullptr);
}

// What start-up leaves until the picture is on screen, done once: by the timer that Show sets, or
// earlier by the first handler that needs it.
void MainWindow::AfterFirstPaint() {
    if (afterFirstPaintDone_)
        return;
    afterFirstPaintDone_ = true;
    ole_.Start();
    dropTarget_->Register(window_);
    menu_->ResolvePendingIcons();
    Editor();
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
    if (!iconList_ && iconListStarted_) {
        ScopedImageList list = CreateIconList();
        if (iconListFile_) {
            // A damaged or foreign file is ignored: the empty list stays.
            try {
                list = IconListFromFile(*iconListFile_);
            } catch (...) {
            }
            iconListFile_.reset();
        }
        iconList_ = std::move(list);
    }
    return iconList_.Get();
}

// Start-up, in its fixed order. An error ends it at the failing step (the caller shows it).
void MainWindow::FormCreate() {
    // 1. Double buffering: every paint of the picture reaches the screen in one operation
    // (DogImage::Paint).

    // 2. The icon list's file, read now and made into the list at its first use (IconList).
    iconListPath_ = ChangeFileExt(options_.ansiExePath, ".icons");
    iconListStarted_ = true;
    if (FileExists(iconListPath_)) {
        try {
            iconListFile_ = ReadWholeFile(iconListPath_);
        } catch (...) {
        }
    }

    // 3. The launcher list, empty.
    launcherList_.Clear();

    // 4. Settings: window position, font, alpha value, launcher items.
    settingsPath_ = ChangeFileExt(options_.exePath, L".ini");
    LoadSettings(settingsPath_);

    // 5. The older list file, migrated once when the settings file holds no item yet.
    legacyListPath_ = ChangeFileExt(options_.exePath, L".data");
    if (settings_->SectionExists(kMenu)) {
        legacyListSafeToDelete_ = true;
    } else if (FileExists(legacyListPath_)) {
        MigrateLegacyList();
    }

    // 6.
    picturePath_ = ChangeFileExt(options_.exePath, L".bmp");

    // 7.
    runValueName_ = ExeBaseName(options_.exePath);

    // 8. The picture the user had at the last close.
    const std::string ansiPicturePath = WideToAnsi(picturePath_);
    if (FileExists(ansiPicturePath)) {
        picture_.SetPicture(ReadBmp(ReadWholeFile(ansiPicturePath)));
        InvalidateRect(window_, nullptr, FALSE);
    }

    // 9. The popup menu, which also applies the stored taskbar choice. Its icons come once the
    // picture is on screen.
    menu_->RebuildMenu(LauncherMenu::IconLookup::Later);
}

void MainWindow::LoadSettings(const std::wstring& path) {
    settings_ = std::make_unique<SettingsStore>(path);
    RECT bounds{};
    GetWindowRect(window_, &bounds);
    const int left = settings_->ReadInteger(kAdmin, L"FormLeft", bounds.left);
    const int top = settings_->ReadInteger(kAdmin, L"FormTop", bounds.top);
    SetWindowPos(window_, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);

    // The face name goes through the 8-bit code page, as fonts are chosen by 8-bit names.
    font_.name = AnsiToWide(WideToAnsi(settings_->ReadString(kAdmin, L"FontName", font_.name)));
    font_.charSet = static_cast<uint8_t>(settings_->ReadInteger(kAdmin, L"CharSet", font_.charSet));
    font_.color = settings_->ReadInteger(kAdmin, L"Color", font_.color);
    font_.size = settings_->ReadInteger(kAdmin, L"Size", font_.size);
    font_.style = static_cast<uint8_t>(settings_->ReadInteger(kAdmin, L"Style", font_.style));
    alpha_ = static_cast<uint8_t>(settings_->ReadInteger(kAdmin, L"Alpha", alpha_));
    ApplyLayering();

    launcherList_.SetLines(settings_->ReadSectionValues(kMenu));
    launcherList_.SortItems();
}

void MainWindow::MigrateLegacyList() {
    // The backup is a byte-for-byte copy; a failed copy does not stop the migration.
    CopyFileW(legacyListPath_.c_str(), ChangeFileExt(legacyListPath_, L".bak").c_str(), FALSE);
    launcherList_.SetLines(DecodeLegacyList(ReadWholeFile(legacyListPath_)));
    legacyListSafeToDelete_ = true;
}

void MainWindow::ResolveItemIcon(const std::wstring& caption, Bitmap& bitmap,
                                 const IconMapSnapshot* iconMap) const {
    bitmap = Bitmap();
    if (!settings_)
        return;
    ItemIconSources sources;
    sources.iconMap = iconMap;
    sources.iconList = IconList();
    sources.systemList = sil_.Handle();
    sources.systemIconIndex = [](const std::string& name) { return GetFileIconIndex(name, false); };
    corvalo::ResolveItemIcon(*settings_, launcherList_, sources, caption, bitmap);
}

Bitmap MainWindow::LoadPicture(const std::wstring& fileName) const {
    return LoadPictureFile(fileName);
}

bool MainWindow::FormCloseQuery() {
    if (settings_) {
        // 1. Window, font and alpha value.
        RECT bounds{};
        GetWindowRect(window_, &bounds);
        settings_->WriteInteger(kAdmin, L"FormLeft", bounds.left);
        settings_->WriteInteger(kAdmin, L"FormTop", bounds.top);
        settings_->WriteString(kAdmin, L"FontName", font_.name);
        settings_->WriteInteger(kAdmin, L"CharSet", font_.charSet);
        settings_->WriteInteger(kAdmin, L"Color", font_.color);
        settings_->WriteInteger(kAdmin, L"Size", font_.size);
        settings_->WriteInteger(kAdmin, L"Style", font_.style);
        settings_->WriteInteger(kAdmin, L"Alpha", alpha_);

        // 2. Every launcher item. A line without "=" (only a hand-made older list file has them)
        // is kept as an item whose caption and target are both the whole line, so nothing of it
        // is lost when the older file goes.
        for (const std::wstring& line : launcherList_.Lines()) {
            const LauncherLine item = SplitLauncherLine(line);
            if (item.hasSeparator) {
                settings_->WriteString(kMenu, item.caption, item.target);
            } else if (!line.empty()) {
                settings_->WriteString(kMenu, line, line);
            }
        }

        // 3. The store is released; it is reopened below should the window stay open after all.
        settings_.reset();

        // 4. The older list file goes once its items are in the settings file.
        if (legacyListSafeToDelete_ && FileExists(legacyListPath_)) {
            DeleteFileW(legacyListPath_.c_str());
        }
    }

    // 5.-7. The picture and the icon list, each written whole beside the old file and then moved
    // over it, so a failed write leaves the old file as it was.
    try {
        const Bitmap* bitmap = picture_.PictureBitmap();
        if (!picturePath_.empty() && bitmap && !bitmap->Empty()) {
            ReplaceFileContents(WideToAnsi(picturePath_), WriteBmp(*bitmap));
        }
        if (!iconListPath_.empty() && IconList()) {
            ReplaceFileContents(iconListPath_, IconListFileOf(IconList()));
        }
    } catch (const Error& error) {
        // The first time, the window stays open and usable so the user can make room and close
        // again, which runs the whole save again. Should the files still not be writable then, the
        // window closes after saying so: the old files are intact, and the user is never trapped.
        if (fileSaveFailedBefore_) {
            messages_->ShowError(window_, error.Message());
            return true;
        }
        fileSaveFailedBefore_ = true;
        try {
            if (!settingsPath_.empty())
                settings_ = std::make_unique<SettingsStore>(settingsPath_);
        } catch (...) {
        }
        throw;
    }
    return true;
}

void MainWindow::CloseRequested() {
    bool allowed = false;
    RunHandler(*messages_, window_, [&] { allowed = FormCloseQuery(); });
    if (allowed)
        DestroyWindow(window_);
}

void MainWindow::FormActivate() {
    ShowWindow(application_.Window(), activationShowCommand_);
}

void MainWindow::FormKeyDown(WORD key) {
    const Bitmap* bitmap = picture_.PictureBitmap();
    const int width = bitmap ? bitmap->Width() : 0;
    if (ShiftHeld() && key == VK_DOWN && width < 500)
        picture_.ResizeBy(10);
    if (ShiftHeld() && key == VK_UP && width > 50)
        picture_.ResizeBy(-10);
    if (ControlHeld() && key == 'V')
        PasteClipboardBitmap();
}

void MainWindow::PasteClipboardBitmap() {
    if (!IsClipboardFormatAvailable(CF_BITMAP))
        return;
    ScopedClipboard clipboard(window_);
    if (!clipboard.IsOpen())
        return;
    HBITMAP pasted = static_cast<HBITMAP>(GetClipboardData(CF_BITMAP));
    if (!pasted)
        return;
    picture_.SetPicture(BitmapFromGdi(pasted));
    InvalidateRect(window_, nullptr, FALSE);
    UpdateWindow(window_);
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

void MainWindow::OnMouseWheel(int delta, bool shift) {
    // One step per notch; fine-grained wheels add up to a notch first.
    wheelRemainder_ += delta;
    while (wheelRemainder_ >= WHEEL_DELTA) {
        wheelRemainder_ -= WHEEL_DELTA;
        FormMouseWheelUp(shift);
    }
    while (wheelRemainder_ <= -WHEEL_DELTA) {
        wheelRemainder_ += WHEEL_DELTA;
        FormMouseWheelDown(shift);
    }
}

bool MainWindow::StayOnTop() const {
    return (GetWindowLongPtrW(window_, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
}

void MainWindow::DogImage1DblClick() {
    SetWindowPos(window_, StayOnTop() ? HWND_NOTOPMOST : HWND_TOPMOST, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void MainWindow::DropComboTarget1Drop(const std::vector<std::wstring>& files,
                                      const std::string& url, DWORD keyState) {
    ItemEditor& editor = Editor();
    if (!files.empty()) {
        const std::wstring& first = files.front();  // further names are ignored
        if ((keyState & MK_SHIFT) && IsPictureFile(first)) {
            picture_.SetPicture(LoadPictureFile(first));
            InvalidateRect(window_, nullptr, FALSE);
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

void MainWindow::SetBorderless(bool borderless) {
    const LONG_PTR style = GetWindowLongPtrW(window_, GWL_STYLE);
    const LONG_PTR wanted = (borderless ? kBorderlessStyle : kSizeableStyle) | (style & WS_VISIBLE);
    if (style == wanted)
        return;
    SetWindowLongPtrW(window_, GWL_STYLE, wanted);
    SetWindowPos(window_, nullptr, 0, 0, 0, 0,
                 SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void MainWindow::FitClientArea(int width, int height) {
    RECT bounds{0, 0, width, height};
    AdjustWindowRectEx(&bounds, static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongPtrW(window_, GWL_EXSTYLE)));
    SetWindowPos(window_, nullptr, 0, 0, bounds.right - bounds.left, bounds.bottom - bounds.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    InvalidateRect(window_, nullptr, FALSE);
}

void MainWindow::SetBackgroundColor(Color color) {
    background_ = color;
    InvalidateRect(window_, nullptr, FALSE);
}

void MainWindow::SetColorKey(Color key, bool enabled) {
    colorKey_ = key;
    colorKeyEnabled_ = enabled;
    ApplyLayering();
}

void MainWindow::ApplyLayering() {
    SetLayeredWindowAttributes(window_, colorKey_, alpha_,
                               LWA_ALPHA | (colorKeyEnabled_ ? LWA_COLORKEY : 0));
}

LRESULT CALLBACK MainWindow::WindowProcedure(HWND window, UINT message, WPARAM wParam,
                                             LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self =
            static_cast<MainWindow*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<MainWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self && self->window_ == window)
        return self->HandleMessage(message, wParam, lParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

LRESULT MainWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_TIMER:
            if (wParam == kAfterFirstPaintTimer) {
                KillTimer(window_, kAfterFirstPaintTimer);
                RunHandler(*messages_, window_, [&] { AfterFirstPaint(); });
                return 0;
            }
            break;
        case WM_PAINT: {
            ScopedPaint paint(window_);
            picture_.Paint(paint.Dc(), background_);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;  // the paint covers every pixel
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE)
                RunHandler(*messages_, window_, [&] { FormActivate(); });
            break;
        case WM_SHOWWINDOW:
            if (wParam)
                picture_.OnOwnerShown();
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:  // with Alt held: Shift and Ctrl count whatever Alt does
            RunHandler(*messages_, window_, [&] { FormKeyDown(static_cast<WORD>(wParam)); });
            break;  // the key is passed on unchanged
        case WM_MOUSEWHEEL: {
            const bool shift = (GET_KEYSTATE_WPARAM(wParam) & MK_SHIFT) != 0;
            const int delta = GET_WHEEL_DELTA_WPARAM(wParam);
            RunHandler(*messages_, window_, [&] { OnMouseWheel(delta, shift); });
            break;
        }
        case WM_LBUTTONDOWN:
            picture_.OnButtonDown(true);
            return 0;
        case WM_LBUTTONDBLCLK:
            RunHandler(*messages_, window_, [&] { DogImage1DblClick(); });
            return 0;
        case WM_MOUSEMOVE:
            picture_.OnMouseMove();
            return 0;
        case WM_MOUSELEAVE:
            picture_.OnMouseLeave();
            return 0;
        case WM_SETCURSOR:
            if (picture_.OnSetCursor())
                return TRUE;
            break;
        case WM_CONTEXTMENU: {
            // A right click opens the menu at the pointer; Shift+F10 or the menu key at the
            // picture's top-left corner.
            POINT at{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
            if (lParam == -1) {
                RECT bounds{};
                GetWindowRect(window_, &bounds);
                at = POINT{bounds.left, bounds.top};
            }
            RunHandler(*messages_, window_, [&] {
                AfterFirstPaint();  // OLE, for the shell that opens the chosen item
                menu_->Popup(at);
            });
            return 0;
        }
        case WM_MEASUREITEM: {
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
            if (measure->CtlType != ODT_MENU)
                break;
            RunHandler(*messages_, window_, [&] { menu_->Painter().Measure(*measure); });
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto* draw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
            if (draw->CtlType != ODT_MENU)
                break;
            RunHandler(*messages_, window_, [&] { menu_->Painter().Draw(*draw); });
            return TRUE;
        }
        case WM_CLOSE:
            CloseRequested();
            return 0;
        case WM_QUERYENDSESSION: {
            // The final save runs here, once; the session may still be cancelled by another
            // program.
            bool allowed = false;
            RunHandler(*messages_, window_, [&] { allowed = FormCloseQuery(); });
            savedForEndSession_ = allowed;
            return allowed ? TRUE : FALSE;
        }
        case WM_ENDSESSION:
            if (wParam) {
                if (!savedForEndSession_) {
                    RunHandler(*messages_, window_, [&] { FormCloseQuery(); });
                }
                DestroyWindow(window_);
            } else if (savedForEndSession_) {
                // The log-off was cancelled: the window lives on with its settings store again.
                savedForEndSession_ = false;
                RunHandler(*messages_, window_,
                           [&] { settings_ = std::make_unique<SettingsStore>(settingsPath_); });
            }
            return 0;
        case WM_DESTROY:
            if (dropTarget_)
                dropTarget_->Revoke();
            if (options_.quitWhenDestroyed)
                PostQuitMessage(0);
            window_ = nullptr;
            return 0;
        default:
            break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

}  // namespace corvalo

#include "editor/item_editor_win.h"

#include "base/error.h"
#include "base/color_mode_win.h"
#include "base/dpi_scale.h"
#include "base/dpi_win.h"
#include "base/file_io_win.h"
#include "base/program_name.h"
#include "base/text.h"
#include "base/user_messages_win.h"
#include "editor/overwrite_question_win.h"
#include "launcher/drop_target_win.h"
#include "launcher/common_dialogs_win.h"
#include "launcher/item_text_rules.h"
#include "launcher/launcher_items_win.h"
#include "picture/icon_picture_win.h"
#include "picture/picture_file.h"
#include "shell/shortcut_target_win.h"
#include "shell/sys_image_list_win.h"
#include "shell/version_info_win.h"

#include <commctrl.h>

#include <utility>

namespace corvalo {
namespace {

// The window's client area at 96 dpi.
constexpr int kClientWidth = 407;
constexpr int kClientHeight = 138;
// The font: Tahoma at 9 points.
constexpr int kFontPoints = 9;
constexpr wchar_t kFontFace[] = L"Tahoma";
constexpr DWORD kStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kExtendedStyle = WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_CONTROLPARENT;

// Control identifiers; 1 and 2 stay free for the dialog keys Enter and Escape.
enum ControlId : int {
    kFileNameId = 101,
    kCaptionId,
    kAddId,
    kRemoveId,
    kFindIconId,
    kIconIndexId,
    kAddIconId,
};

HFONT CreateEditorFont(int dpi) {
    LOGFONTW face{};
    face.lfHeight = -MulDiv(kFontPoints, dpi, 72);
    face.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(face.lfFaceName, kFontFace, LF_FACESIZE);
    return CreateFontIndirectW(&face);
}

std::wstring WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

SettingsStore& OpenSettings(EditorHost& host) {
    if (!host.Settings())
        throw Error(FillText(L"Unable to write to %s", {host.SettingsPath()}));
    return *host.Settings();
}

// Takes the editor out of the stay-on-top band for one scope, so that a question shows in front.
class OutOfTopBand {
  public:
    explicit OutOfTopBand(HWND window) : window_(window) { Place(HWND_NOTOPMOST); }
    ~OutOfTopBand() { Place(HWND_TOPMOST); }
    OutOfTopBand(const OutOfTopBand&) = delete;
    OutOfTopBand& operator=(const OutOfTopBand&) = delete;

  private:
    void Place(HWND where) {
        SetWindowPos(window_, where, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    HWND window_;
};

}  // namespace

void ItemEditor::PrepareControls() {
    // The icon index's spin buttons are a common control.
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_UPDOWN_CLASS};
    InitCommonControlsEx(&controls);
}

ItemEditor::ItemEditor(EditorHost& host) : host_(host) {
    PrepareControls();
    const WindowClass windowClass{
        kItemEditorClass, L"the item editor", 0,
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1))};
    // Sized when it is laid out for the DPI of the monitor it was made on.
    Create(windowClass, kExtendedStyle, kProgramTitle, kStyle,
           {CW_USEDEFAULT, CW_USEDEFAULT, kClientWidth, kClientHeight});
    CreateControls();
    LayOut(WindowDpi(Handle()));
    ApplyColors();

    dropTarget_ = std::make_unique<DropComboTarget>([this](DWORD, POINT, DWORD&) {
        // Errors inside a drop are the drop target's to swallow: they reach no message box.
        DropComboTarget1Drop(dropTarget_->DroppedFiles(), dropTarget_->DroppedUrl());
    });
    dropTarget_->Register(Handle());
}

ItemEditor::~ItemEditor() {
    if (dropTarget_)
        dropTarget_->Revoke();
}

HWND ItemEditor::AddControl(const wchar_t* controlClass, const wchar_t* text, DWORD style, int id,
                            int x, int y, int width, int height, DWORD extendedStyle) {
    HWND control = CreateWindowExW(
        extendedStyle, controlClass, text, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, Handle(),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (!control)
        ThrowSystemError(L"Failed to create the item editor");
    placements_.push_back({control, RECT{x, y, x + width, y + height}});
    return control;
}

HWND ItemEditor::AddLabel(const wchar_t* text, int x, int y) {
    return AddControl(L"STATIC", text, SS_LEFT | SS_NOPREFIX, -1, x, y, 0, 0);
}

SIZE ItemEditor::LabelSize(HWND label) const {
    // A label is as large as its text.
    const std::wstring text = WindowText(label);
    SIZE size{};
    ScopedWindowDc dc(Handle());
    ScopedSelectObject select(dc.Get(), font_.Get());
    GetTextExtentPoint32W(dc.Get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size;
}

SIZE ItemEditor::WindowSizeAt(int dpi) const {
    const RECT bounds =
        WindowRectForClient(RECT{0, 0, DpiScaled(kClientWidth, dpi), DpiScaled(kClientHeight, dpi)},
                            kStyle, kExtendedStyle, dpi);
    return SIZE{bounds.right - bounds.left, bounds.bottom - bounds.top};
}

void ItemEditor::LayOut(int dpi) {
    dpi_ = dpi;
    // The controls take the new font before the old one is deleted.
    ScopedFont font(CreateEditorFont(dpi));
    for (const Placement& placement : placements_)
        SendMessageW(placement.window, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    std::swap(font_, font);

    const SIZE window = WindowSizeAt(dpi);
    SetWindowPos(Handle(), nullptr, 0, 0, window.cx, window.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Where the frame the system draws is not the one it computes for this DPI (a system of one
    // DPI told of another), the client area is brought to its size by what it misses.
    RECT client{};
    GetClientRect(Handle(), &client);
    const int missingWidth = DpiScaled(kClientWidth, dpi) - client.right;
    const int missingHeight = DpiScaled(kClientHeight, dpi) - client.bottom;
    if (missingWidth != 0 || missingHeight != 0) {
        SetWindowPos(Handle(), nullptr, 0, 0, window.cx + missingWidth, window.cy + missingHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    for (const Placement& placement : placements_) {
        const RECT& at = placement.at96;
        SIZE size{DpiScaled(at.right - at.left, dpi), DpiScaled(at.bottom - at.top, dpi)};
        if (size.cx == 0)
            size = LabelSize(placement.window);
        SetWindowPos(placement.window, nullptr, DpiScaled(at.left, dpi), DpiScaled(at.top, dpi),
                     size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    }
    // The spin buttons sit inside the field's right edge again, at their size for this DPI.
    iconIndex_->AttachButtons(dpi);
    preview_->SetDpi(dpi);
    InvalidateRect(Handle(), nullptr, TRUE);
}

void ItemEditor::CreateControls() {
    // Made in tab order; labels and the preview take no focus.
    fileName_ = AddControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kFileNameId, 16, 24, 265, 22,
                           WS_EX_CLIENTEDGE);
    caption_ = AddControl(L"EDIT", L"", WS_TABSTOP | ES_AUTOHSCROLL, kCaptionId, 67, 63, 213, 22,
                          WS_EX_CLIENTEDGE);
    addButton_ = AddControl(L"BUTTON", L"ADD/UPDATE", WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED,
                            kAddId, 296, 23, 92, 25);
    removeButton_ = AddControl(L"BUTTON", L"REMOVE ITEM", WS_TABSTOP | BS_PUSHBUTTON | WS_DISABLED,
                               kRemoveId, 296, 62, 92, 25);
    findIconButton_ = AddControl(L"BUTTON", L"Find icon", WS_TABSTOP | BS_PUSHBUTTON, kFindIconId,
                                 175, 99, 106, 25);
    iconIndex_ = std::make_unique<SpinEdit>(Handle(), kIconIndexId, -1, 20);
    placements_.push_back({iconIndex_->Edit(), RECT{83, 100, 83 + 41, 100 + 23}});
    iconIndex_->SetValue(-1);
    addIconButton_ =
        AddControl(L"BUTTON", L"Add icon", WS_TABSTOP | BS_PUSHBUTTON, kAddIconId, 296, 99, 92, 25);
    AddLabel(L"Filename", 16, 8);
    AddLabel(L"Caption", 66, 47);
    AddLabel(L"Icon index", 16, 104);
    preview_ = std::make_unique<IconPreview>(Handle(), RECT{16, 57, 16 + 32, 57 + 32});
    created_ = true;
}

std::wstring ItemEditor::FileNameText() const {
    return WindowText(fileName_);
}
void ItemEditor::SetFileNameText(const std::wstring& text) {
    SetWindowTextW(fileName_, text.c_str());
}
std::wstring ItemEditor::CaptionText() const {
    return WindowText(caption_);
}
void ItemEditor::SetCaptionText(const std::wstring& text) {
    SetWindowTextW(caption_, text.c_str());
}

void ItemEditor::ShowModal() {
    if (showing_)
        throw Error(L"Cannot make a visible window modal");
    if (!placed_) {
        // Laid out for the monitor it opens on before it is centred there.
        const int screenWidth = GetSystemMetrics(SM_CXSCREEN);
        const int screenHeight = GetSystemMetrics(SM_CYSCREEN);
        if (const int dpi = DpiAt(POINT{screenWidth / 2, screenHeight / 2}); dpi != dpi_)
            LayOut(dpi);
        RECT bounds{};
        GetWindowRect(Handle(), &bounds);
        const int width = bounds.right - bounds.left, height = bounds.bottom - bounds.top;
        SetWindowPos(Handle(), nullptr, (screenWidth - width) / 2, (screenHeight - height) / 2, 0,
                     0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        placed_ = true;
    }
    RunHandler(Messages(), Handle(), [&] { OnShow(); });

    // The owner gets back the state it had: the editor may open while another modal loop (a
    // dialog, an error box) keeps the picture disabled, and enabling it then would let the menu
    // and Quit reach a window under a live dialog.
    HWND owner = host_.Window();
    const bool ownerWasEnabled = EnableWindow(owner, FALSE) == FALSE;
    showing_ = true;
    closeRequested_ = false;
    SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    SetForegroundWindow(Handle());
    SetFocus(fileName_);

    MSG message{};
    while (!closeRequested_) {
        const BOOL got = GetMessageW(&message, nullptr, 0, 0);
        if (got == 0) {
            // The program is ending: the quit belongs to the main loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            FormClose();
            break;
        }
        if (got < 0)
            break;
        if (TakeCaptionEnter(message))
            continue;
        if (!IsDialogMessageW(Handle(), &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    // The picture is enabled again before the editor hides, so that it gets the activation back.
    EnableWindow(owner, ownerWasEnabled);
    ShowWindow(Handle(), SW_HIDE);
    showing_ = false;
}

void ItemEditor::Edit(const std::wstring& target, const std::wstring& caption) {
    SetFileNameText(target);
    SetCaptionText(caption);
    ShowModal();
}

void ItemEditor::Close() {
    closeRequested_ = true;
    FormClose();
}

void ItemEditor::OnShow() {
    SetForegroundWindow(host_.Window());
    iconIndex_->SetUpperBound(IconCount(host_.IconList()) - 1);
    const int assigned = host_.Settings() ? IconIndexOf(*host_.Settings(), CaptionText()) : -1;
    iconIndex_->SetValue(assigned);
    SpinEdit1Change();
}

void ItemEditor::aCaptionChange() {
    const bool hasCaption = GetWindowTextLengthW(caption_) > 0;
    EnableWindow(addButton_, hasCaption && GetWindowTextLengthW(fileName_) > 0);
    EnableWindow(removeButton_, hasCaption);
}

void ItemEditor::aCaptionKeyDown(WORD key) {
    if (key == VK_RETURN && IsWindowEnabled(addButton_))
        AddBtnClick();
}

void ItemEditor::AddBtnClick() {
    const std::wstring caption = CaptionText();
    const std::wstring target = FileNameText();
    // What the settings file could not give back unchanged is refused before anything changes.
    if (const std::wstring problem = ItemStorageProblem(caption, target); !problem.empty())
        throw Error(problem);

    corvalo::LauncherList& items = host_.LauncherList();
    const int found = items.FindItem(caption);
    bool store = true;
    if (found >= 0) {
        OutOfTopBand questionInFront(Handle());
        store = host_.Question().Ask(Handle());
    }
    if (store) {
        // The settings file is written first: should a write fail, the list and the menu still
        // hold the item as it was, and the editor stays open with the user's text.
        SettingsStore& settings = OpenSettings(host_);
        SetIconIndex(settings, caption, iconIndex_->Value());
        StoreItem(settings, caption, target);
        if (found >= 0)
            items.DeleteItem(found);
        items.AppendItem(caption, target);
        items.SortItems();
        host_.ItemsChanged();
    }
    Close();
}

void ItemEditor::RemoveBtnClick() {
    const std::wstring caption = CaptionText();
    corvalo::LauncherList& items = host_.LauncherList();
    const int found = items.FindItem(caption);
    if (found >= 0) {
        // The file first, so that a failed write leaves the item in both places.
        UnstoreItem(OpenSettings(host_), caption);
        items.DeleteItem(found);
    }
    host_.ItemsChanged();
    SetCaptionText(L"");
    Close();
}

void ItemEditor::FormClose() {
    SetCaptionText(L"");
    SetFileNameText(L"");
}

void ItemEditor::SpinEdit1Change() {
    Bitmap image;
    if (CopyIcon(host_.IconList(), iconIndex_->Value(), image)) {
        preview_->SetBitmap(std::move(image));
        return;
    }
    iconIndex_->SetValue(-1);
    ShowSystemIconOf(FileNameText());
}

void ItemEditor::ShowSystemIconOf(const std::wstring& fileName) {
    Bitmap image;
    CopyIcon(host_.SystemIcons().Handle(), GetFileIconIndex(WideToAnsi(fileName), false), image);
    preview_->SetBitmap(std::move(image));
}

void ItemEditor::DropComboTarget1Drop(const std::vector<std::wstring>& files,
                                      const std::string& url) {
    if (!files.empty()) {
        const std::wstring target = GetShortcutTarget(files.front());
        SetFileNameText(target.empty() ? files.front() : target);
    } else {
        SetFileNameText(AnsiToWide(url));
    }
    const std::wstring fileName = FileNameText();
    SetCaptionText(GetProductName(host_.VersionInfo(), fileName));
    ShowSystemIconOf(fileName);
}

void ItemEditor::TntButton3Click() {
    const std::optional<std::wstring> chosen =
        host_.Dialogs().OpenPicture(Handle(), kIconFileFilter, L"bmp");
    if (!chosen)
        return;
    // An icon file stays an icon, so that "Add icon" can append it; any other picture is shown as
    // the bitmap it reads as.
    if (LowerCase(PictureFileExtension(*chosen)) == L".ico") {
        // The image of the menu's icon size, not the file's largest, which the list would shrink.
        preview_->SetIcon(ReadIconFile(ReadWholeFile(*chosen), GetSystemMetrics(SM_CXICON)));
    } else {
        preview_->SetBitmap(host_.LoadPicture(*chosen));
    }
}

void ItemEditor::TntButton2Click() {
    // The list copies the icon; one it refuses stays in view with the error.
    if (const IconPicture* icon = preview_->PictureIcon())
        AddIcon(host_.IconList(), icon->icon.Get(), icon->width, icon->height);
    preview_->Clear();
    const int last = IconCount(host_.IconList()) - 1;
    iconIndex_->SetUpperBound(last);
    iconIndex_->SetValue(last);
}

void ItemEditor::OnCommand(int id, int code) {
    if (!created_)
        return;  // the controls' own notifications while they are being made
    switch (id) {
        case kFileNameId:
        case kCaptionId:
            if (code == EN_CHANGE)
                aCaptionChange();
            break;
        case kIconIndexId:
            if (code == EN_CHANGE)
                SpinEdit1Change();
            break;
        case kAddId:
            AddBtnClick();
            break;
        case kRemoveId:
            RemoveBtnClick();
            break;
        case kFindIconId:
            TntButton3Click();
            break;
        case kAddIconId:
            TntButton2Click();
            break;
        case IDCANCEL:  // Escape closes the editor as its close box does
            Close();
            break;
        default:
            break;
    }
}

bool ItemEditor::TakeCaptionEnter(const MSG& message) {
    if (message.hwnd != caption_ || message.message != WM_KEYDOWN || message.wParam != VK_RETURN)
        return false;
    RunHandler(Messages(), Handle(), [&] { aCaptionKeyDown(VK_RETURN); });
    return true;
}

LRESULT ItemEditor::OnMessage(const WindowMessage& message) {
    static constexpr MessageHandler<ItemEditor> kHandlers[] = {
        {WM_COMMAND, &ItemEditor::OnCommandMessage},
        {WM_NOTIFY, &ItemEditor::OnNotify},
        {WM_CLOSE, &ItemEditor::OnClose},
        {WM_DPICHANGED, &ItemEditor::OnDpiChanged},
        {WM_CTLCOLOREDIT, &ItemEditor::OnControlColor},
        {WM_CTLCOLORSTATIC, &ItemEditor::OnControlColor},
        {WM_CTLCOLORBTN, &ItemEditor::OnControlColor},
        {WM_CTLCOLORDLG, &ItemEditor::OnControlColor},
        {WM_SETTINGCHANGE, &ItemEditor::OnColorsChanged},
        {WM_SYSCOLORCHANGE, &ItemEditor::OnColorsChanged},
        {WM_THEMECHANGED, &ItemEditor::OnColorsChanged},
        {WM_ERASEBKGND, &ItemEditor::OnEraseBackground},
        {kGetDpiScaledSizeMessage, &ItemEditor::OnGetDpiScaledSize},
    };
    return Dispatch(*this, kHandlers, message);
}

LRESULT ItemEditor::OnCommandMessage(const WindowMessage& message) {
    if (message.lParam == 0 || LOWORD(message.wParam) != 0)
        OnCommand(LOWORD(message.wParam), HIWORD(message.wParam));
    return 0;
}

LRESULT ItemEditor::OnNotify(const WindowMessage& message) {
    const auto* header = reinterpret_cast<const NMHDR*>(message.lParam);
    if (iconIndex_ && iconIndex_->OnNotify(*header))
        return TRUE;  // the field has taken the step itself
    return message.Default();
}

LRESULT ItemEditor::OnClose(const WindowMessage&) {
    Close();
    return 0;
}

// Moved onto a monitor of another DPI: laid out again for it, at the place the system suggests.
LRESULT ItemEditor::OnDpiChanged(const WindowMessage& message) {
    const int dpi = HIWORD(message.wParam);
    if (dpi > 0 && dpi != dpi_)
        LayOut(dpi);
    if (const auto* suggested = reinterpret_cast<const RECT*>(message.lParam)) {
        SetWindowPos(Handle(), nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return 0;
}

void ItemEditor::ApplyColors() {
    palette_ = CurrentPalette(0);
    // A dark editor needs the system's dark title bar (Windows 10 1809 and later): where the
    // system has none, the editor stays light as a whole rather than dark under a light frame.
    if (palette_.darkControls && !UseDarkTitleBar(Handle(), true))
        palette_ = PaletteFor(ColorMode::Light, CurrentSystemColors(), 0);
    backgroundBrush_.Reset(palette_.paintsEditor ? CreateSolidBrush(palette_.editorBackground)
                                                 : nullptr);
    fieldBrush_.Reset(palette_.paintsEditor ? CreateSolidBrush(palette_.fieldBackground) : nullptr);
    // A light editor is left as the system draws it; themes are touched only to go dark or to
    // come back from it.
    if (palette_.darkControls || darkThemed_) {
        for (HWND control : {addButton_, removeButton_, findIconButton_, addIconButton_,
                             iconIndex_->Buttons(), fileName_, caption_, iconIndex_->Edit()}) {
            UseDarkControlTheme(control, palette_.darkControls);
        }
        if (!palette_.darkControls)
            UseDarkTitleBar(Handle(), false);
        darkThemed_ = palette_.darkControls;
    }
    preview_->SetBackground(palette_.paintsEditor ? palette_.editorBackground
                                                  : GetSysColor(COLOR_BTNFACE));
    RedrawWindow(Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

// Labels, fields and buttons in the palette's colours; a light editor's controls keep the
// system's.
LRESULT ItemEditor::OnControlColor(const WindowMessage& message) {
    if (!palette_.paintsEditor)
        return message.Default();
    HDC dc = reinterpret_cast<HDC>(message.wParam);
    const bool field = message.id == WM_CTLCOLOREDIT;
    SetTextColor(dc, field ? palette_.fieldText : palette_.editorText);
    SetBkColor(dc, field ? palette_.fieldBackground : palette_.editorBackground);
    return reinterpret_cast<LRESULT>(field ? fieldBrush_.Get() : backgroundBrush_.Get());
}

// The theme, the system's colours or high contrast changed: the open editor follows at once.
LRESULT ItemEditor::OnColorsChanged(const WindowMessage& message) {
    if (ChangesColors(message.id, message.wParam, message.lParam))
        ApplyColors();
    return message.Default();
}

LRESULT ItemEditor::OnEraseBackground(const WindowMessage& message) {
    if (!palette_.paintsEditor)
        return message.Default();
    RECT client{};
    GetClientRect(Handle(), &client);
    FillRect(reinterpret_cast<HDC>(message.wParam), &client, backgroundBrush_.Get());
    return 1;
}

LRESULT ItemEditor::OnGetDpiScaledSize(const WindowMessage& message) {
    auto* size = reinterpret_cast<SIZE*>(message.lParam);
    const int dpi = static_cast<int>(message.wParam);
    if (!size || dpi <= 0)
        return FALSE;
    *size = WindowSizeAt(dpi);
    return TRUE;
}

}  // namespace corvalo

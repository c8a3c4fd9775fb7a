#include "launcher/common_dialogs_win.h"

#include "launcher/menu_painter_win.h"

#include <commdlg.h>
#include <dlgs.h>

#include <cwchar>

namespace corvalo {

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

namespace {

// Whether the user touched anything in the font dialog. The dialog starts at the menu's font, but
// it can only select a face it lists (one the system hides from its list, a font uninstalled
// since): then it shows its first face at its smallest size, and OK without a change must not
// make that the menu's font.
struct FontDialogWatch {
    bool ready = false;    // the dialog has set itself up
    bool changed = false;  // the user has changed a choice since
};

// The font dialog's controls whose changes are the user's choices: the face, style, size,
// colour and script lists, and the strike-out and underline boxes.
bool IsChoiceControl(int id) {
    return (id >= cmb1 && id <= cmb5) || id == chx1 || id == chx2;
}

UINT_PTR CALLBACK WatchFontDialog(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        // The hook sees WM_INITDIALOG once the dialog has set itself up.
        auto* watch =
            reinterpret_cast<FontDialogWatch*>(reinterpret_cast<CHOOSEFONTW*>(lParam)->lCustData);
        SetPropW(dialog, L"CorvaloFontWatch", watch);
        watch->ready = true;
        return TRUE;
    }
    if (message == WM_COMMAND && IsChoiceControl(LOWORD(wParam))) {
        const UINT notification = HIWORD(wParam);
        if (notification == CBN_SELCHANGE || notification == CBN_EDITCHANGE ||
            notification == BN_CLICKED) {
            if (auto* watch = static_cast<FontDialogWatch*>(GetPropW(dialog, L"CorvaloFontWatch")))
                watch->changed |= watch->ready;
        }
    }
    if (message == WM_DESTROY)
        RemovePropW(dialog, L"CorvaloFontWatch");
    return FALSE;
}

}  // namespace

bool SystemCommonDialogs::PickFont(HWND owner, MenuFont& font) {
    HDC screen = GetDC(nullptr);
    const int pixelsPerInch = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    LOGFONTW logFont = LogFontFor(font, pixelsPerInch);
    FontDialogWatch watch;
    CHOOSEFONTW dialog{};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpLogFont = &logFont;
    dialog.rgbColors = ResolveColor(font.color);
    dialog.Flags = CF_SCREENFONTS | CF_EFFECTS | CF_INITTOLOGFONTSTRUCT | CF_ENABLEHOOK;
    dialog.lpfnHook = WatchFontDialog;
    dialog.lCustData = reinterpret_cast<LPARAM>(&watch);
    if (!ChooseFontW(&dialog))
        return false;
    // OK without a change keeps the menu's font exactly as it was.
    if (!watch.changed)
        return true;
    font.name = logFont.lfFaceName;
    font.size = dialog.iPointSize / 10;
    font.style =
        static_cast<uint8_t>((logFont.lfWeight >= FW_BOLD ? 1 : 0) | (logFont.lfItalic ? 2 : 0) |
                             (logFont.lfUnderline ? 4 : 0) | (logFont.lfStrikeOut ? 8 : 0));
    font.color = static_cast<int32_t>(dialog.rgbColors);
    font.charSet = logFont.lfCharSet;
    return true;
}

}  // namespace corvalo

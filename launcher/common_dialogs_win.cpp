#include "launcher/common_dialogs_win.h"

#include "launcher/menu_painter_win.h"

#include <commdlg.h>

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

}  // namespace corvalo

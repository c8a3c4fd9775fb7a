#include "base/color_mode_win.h"

#include "base/dll_search_win.h"

#include <optional>

namespace corvalo {
namespace {

constexpr wchar_t kPersonalizeKey[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\Themes\\Personalize";

const ColorMode* g_forcedMode = nullptr;

std::optional<uint32_t> AppsUseLightTheme() {
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_CURRENT_USER, kPersonalizeKey, L"AppsUseLightTheme", RRF_RT_REG_DWORD,
                     nullptr, &value, &size) != ERROR_SUCCESS) {
        return std::nullopt;
    }
    return value;
}

bool HighContrastOn() {
    HIGHCONTRASTW contrast{};
    contrast.cbSize = sizeof(contrast);
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(contrast), &contrast, 0) &&
           (contrast.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

template <typename Function>
void LookUp(const char* dll, const char* name, Function& function) {
    HMODULE module = LoadSystemDll(dll);
    function =
        module ? reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)))
               : nullptr;
}

const ThemeFunctions& Themes() {
    return ScopedThemeFunctions::Current(SystemThemeFunctions());
}

}  // namespace

ColorMode CurrentColorMode() {
    if (g_forcedMode)
        return *g_forcedMode;
    return ColorModeFrom(HighContrastOn(), AppsUseLightTheme());
}

SystemColors CurrentSystemColors() {
    SystemColors colors;
    colors.menu = GetSysColor(COLOR_MENU);
    colors.menuText = GetSysColor(COLOR_MENUTEXT);
    colors.highlight = GetSysColor(COLOR_HIGHLIGHT);
    colors.highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT);
    colors.window = GetSysColor(COLOR_WINDOW);
    colors.windowText = GetSysColor(COLOR_WINDOWTEXT);
    colors.buttonFace = GetSysColor(COLOR_BTNFACE);
    return colors;
}

Palette CurrentPalette(PaletteColor fontColor) {
    return PaletteFor(CurrentColorMode(), CurrentSystemColors(), fontColor);
}

ScopedColorMode::ScopedColorMode(ColorMode mode) : previous_(g_forcedMode), mode_(mode) {
    g_forcedMode = &mode_;
}

ScopedColorMode::~ScopedColorMode() {
    g_forcedMode = previous_;
}

const ThemeFunctions& SystemThemeFunctions() {
    // Looked up once and never unloaded; neither DLL is loaded before the editor first needs it.
    static const ThemeFunctions functions = [] {
        ThemeFunctions found;
        LookUp("uxtheme.dll", "SetWindowTheme", found.setWindowTheme);
        LookUp("dwmapi.dll", "DwmSetWindowAttribute", found.setWindowAttribute);
        return found;
    }();
    return functions;
}

bool UseDarkControlTheme(HWND control, bool dark) {
    const auto setWindowTheme = Themes().setWindowTheme;
    if (!setWindowTheme)
        return false;
    return SUCCEEDED(setWindowTheme(control, dark ? L"DarkMode_Explorer" : nullptr, nullptr));
}

bool UseDarkTitleBar(HWND window, bool dark) {
    const auto setAttribute = Themes().setWindowAttribute;
    if (!setAttribute)
        return false;
    const BOOL value = dark ? TRUE : FALSE;
    constexpr DWORD kImmersiveDarkMode = 20, kImmersiveDarkModeBefore20H1 = 19;
    return SUCCEEDED(setAttribute(window, kImmersiveDarkMode, &value, sizeof(value))) ||
           SUCCEEDED(setAttribute(window, kImmersiveDarkModeBefore20H1, &value, sizeof(value)));
}

bool ChangesColors(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_SYSCOLORCHANGE || message == WM_THEMECHANGED)
        return true;
    if (message != WM_SETTINGCHANGE)
        return false;
    // Switching the apps' theme says "ImmersiveColorSet"; switching high contrast names its
    // parameter.
    if (wParam == SPI_SETHIGHCONTRAST)
        return true;
    const auto* area = reinterpret_cast<const wchar_t*>(lParam);
    return area && lstrcmpW(area, L"ImmersiveColorSet") == 0;
}

}  // namespace corvalo

#pragma once

// How the user has the system look, asked afresh each time, so that a change of the theme or of
// high contrast shows at the next drawing without a restart.

#include "base/color_palette.h"
#include "base/scoped_functions.h"

#include <windows.h>

namespace corvalo {

// High contrast on (SPI_GETHIGHCONTRAST) wins; otherwise the apps' theme (AppsUseLightTheme in
// the user's Personalize key), light where the system has no such setting.
ColorMode CurrentColorMode();
SystemColors CurrentSystemColors();
Palette CurrentPalette(PaletteColor fontColor);

// Puts a mode in the place of the system's while it lives, so that tests can draw each mode.
class ScopedColorMode {
  public:
    explicit ScopedColorMode(ColorMode mode);
    ~ScopedColorMode();
    ScopedColorMode(const ScopedColorMode&) = delete;
    ScopedColorMode& operator=(const ScopedColorMode&) = delete;

  private:
    const ColorMode* previous_;
    ColorMode mode_;
};

// The documented functions that make controls and title bars dark, looked up at run time; null
// where the system lacks one.
struct ThemeFunctions {
    HRESULT(WINAPI* setWindowTheme)(HWND, const wchar_t*, const wchar_t*) = nullptr;
    HRESULT(WINAPI* setWindowAttribute)(HWND, DWORD, const void*, DWORD) = nullptr;
};
const ThemeFunctions& SystemThemeFunctions();

// Puts other functions in the place of the system's while it lives, so that tests can play a
// system without them or one that refuses the dark title bar.
using ScopedThemeFunctions = ScopedFunctions<ThemeFunctions>;

// Gives a control (a button, the spin buttons) the system's dark theme, the Explorer theme's dark
// variant, or its usual theme back. False where the system has no themes; the control then stays
// plain and light.
bool UseDarkControlTheme(HWND control, bool dark);
// Gives a window a dark or the usual title bar (DWMWA_USE_IMMERSIVE_DARK_MODE: attribute 20,
// 19 on Windows 10 before 20H1). False where the system cannot.
bool UseDarkTitleBar(HWND window, bool dark);

// True for the settings changes after which the colours are to be asked again.
bool ChangesColors(UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace corvalo

#include "base/color_palette.h"

#include <algorithm>
#include <cmath>

namespace corvalo {
namespace {

// The program's own colours: a white launcher panel with a grey selection band and white text on
// it; the command rows' cells take the button face.
constexpr PaletteColor kWhite = 0x00FFFFFF;
constexpr PaletteColor kLightSelection = 0x00A4A0A0;

// Dark: the greys of the system's own dark menus, light text on them.
constexpr PaletteColor kDarkMenu = 0x002B2B2B;
constexpr PaletteColor kDarkSelection = 0x004D4D4D;
constexpr PaletteColor kDarkText = 0x00F2F2F2;
constexpr PaletteColor kDarkEditor = 0x00202020;
constexpr PaletteColor kDarkField = 0x002B2B2B;

constexpr double kReadableContrast = 4.5;

double Linear(uint32_t channel) {
    const double c = static_cast<double>(channel & 0xFF) / 255.0;
    return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

double Luminance(PaletteColor color) {
    return 0.2126 * Linear(color) + 0.7152 * Linear(color >> 8) + 0.0722 * Linear(color >> 16);
}

}  // namespace

ColorMode ColorModeFrom(bool highContrast, std::optional<uint32_t> appsUseLightTheme) {
    if (highContrast)
        return ColorMode::HighContrast;
    return appsUseLightTheme && *appsUseLightTheme == 0 ? ColorMode::Dark : ColorMode::Light;
}

double ContrastRatio(PaletteColor a, PaletteColor b) {
    const double la = Luminance(a), lb = Luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Palette PaletteFor(ColorMode mode, const SystemColors& system, PaletteColor fontColor) {
    fontColor &= 0x00FFFFFF;
    Palette palette;
    palette.mode = mode;
    switch (mode) {
        case ColorMode::Light:
            palette.launcherRow = kWhite;
            palette.commandRow = system.buttonFace;
            palette.selection = kLightSelection;
            palette.selectedText = kWhite;
            palette.text = fontColor;
            palette.editorBackground = system.buttonFace;
            palette.editorText = system.windowText;
            palette.fieldBackground = system.window;
            palette.fieldText = system.windowText;
            break;
        case ColorMode::Dark:
            palette.paintsMenuBackground = true;
            palette.menuBackground = palette.launcherRow = palette.commandRow = kDarkMenu;
            palette.selection = kDarkSelection;
            palette.selectedText = kDarkText;
            palette.text =
                ContrastRatio(fontColor, kDarkMenu) >= kReadableContrast ? fontColor : kDarkText;
            palette.paintsEditor = true;
            palette.editorBackground = kDarkEditor;
            palette.editorText = kDarkText;
            palette.fieldBackground = kDarkField;
            palette.fieldText = kDarkText;
            palette.darkControls = true;
            break;
        case ColorMode::HighContrast:
            palette.paintsMenuBackground = true;
            palette.menuBackground = palette.launcherRow = palette.commandRow = system.menu;
            palette.selection = system.highlight;
            palette.selectedText = system.highlightText;
            palette.text = system.menuText;
            palette.paintsEditor = true;
            palette.editorBackground = system.buttonFace;
            palette.editorText = system.windowText;
            palette.fieldBackground = system.window;
            palette.fieldText = system.windowText;
            break;
    }
    return palette;
}

}  // namespace corvalo

#pragma once

// The colours the launcher menu and the item editor are drawn in, for each of the three ways a
// user can have the system look: light (the program's own colours, as they have always been),
// dark, and high contrast, where every colour is one the user chose for the system. The drawing
// code asks the palette and holds no colour of its own. Colours are 0x00BBGGRR, as Windows
// writes them.

#include <cstdint>
#include <optional>

namespace corvalo {

using PaletteColor = uint32_t;

enum class ColorMode { Light, Dark, HighContrast };

// High contrast wins over the apps' theme; a theme setting that is missing (Windows 7, 8) or
// not 0 means light.
ColorMode ColorModeFrom(bool highContrast, std::optional<uint32_t> appsUseLightTheme);

// The system's own colours, of which the high-contrast palette is made.
struct SystemColors {
    PaletteColor menu = 0;
    PaletteColor menuText = 0;
    PaletteColor highlight = 0;
    PaletteColor highlightText = 0;
    PaletteColor window = 0;
    PaletteColor windowText = 0;
    PaletteColor buttonFace = 0;
};

struct Palette {
    ColorMode mode = ColorMode::Light;
    // The menu's own background brush and filled command rows; in light mode the system's
    // menu background stays and only the caption cells are painted, as ever.
    bool paintsMenuBackground = false;
    PaletteColor menuBackground = 0;
    PaletteColor launcherRow = 0;
    PaletteColor commandRow = 0;
    PaletteColor selection = 0;
    PaletteColor selectedText = 0;
    PaletteColor text = 0;
    // The item editor's colours; in light mode its controls keep the system's own.
    bool paintsEditor = false;
    PaletteColor editorBackground = 0;
    PaletteColor editorText = 0;
    PaletteColor fieldBackground = 0;
    PaletteColor fieldText = 0;
    // Buttons, the spin buttons and the title bar asked for the system's dark theme.
    bool darkControls = false;
};

// `fontColor` is the menu font's colour. Light mode draws it as it is; dark mode keeps it where it
// reads on the dark rows (a contrast of 4.5:1, the WCAG figure) and draws light text otherwise;
// high contrast draws the system's menu text.
Palette PaletteFor(ColorMode mode, const SystemColors& system, PaletteColor fontColor);

// The WCAG 2 contrast ratio of two colours, from 1 (the same) to 21 (black and white).
double ContrastRatio(PaletteColor a, PaletteColor b);

}  // namespace corvalo

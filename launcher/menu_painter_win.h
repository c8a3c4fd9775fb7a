#pragma once

// Measures and draws the owner-drawn menu entries in the main window's font: command items with
// their tick and gear glyphs, launcher entries with their icons, captions as UTF-16 text (the
// font's character set only helps choose the font), so every script a caption holds is drawn.

#include "base/color_palette.h"
#include "base/dpi_scale.h"
#include "base/scoped_win.h"
#include "launcher/menu_entry.h"
#include "shell/sys_image_list_win.h"

#include <windows.h>

#include <string>

namespace corvalo {

struct MenuFont;

// What the handlers draw with; made once per opening of the menu, not per entry.
class MenuPainter {
  public:
    // The tick (Image1) and gear (Image2) glyphs: 32 x 32, black being see-through.
    MenuPainter(Bitmap tick, Bitmap gear);

    // Creates the font and the screen context for one opening of the menu. `widestEntry` is the
    // widest an entry may be (the work area of the monitor the menu opens on): a longer caption
    // is shown shortened with an ellipsis. 0: no limit. Everything is measured and drawn for
    // `dpi`, the DPI of that monitor: the font's point size, every offset, the check mark's
    // square; launcher icons are drawn at their square's size, scaled down from the entry's icon
    // or, for a system icon larger than that, from `largerIcons` (the shell's larger icons).
    // Everything is drawn in the palette of `mode`, made from the system's colours of now.
    void BeginOpening(const MenuFont& font, int widestEntry = 0, int dpi = kBaseDpi,
                      const SysImageList* largerIcons = nullptr, ColorMode mode = ColorMode::Light);
    const Palette& Colors() const { return palette_; }
    // Gives the menu and its submenus the palette's background, where the palette has one; a
    // light menu keeps the system's.
    void PaintBackgroundOf(HMENU menu) const;
    int Dpi() const { return dpi_; }
    void EndOpening();

    Size CommandItemMeasure(const MenuEntry& entry);
    Size LauncherItemMeasure(const MenuEntry& entry);
    void CommandItemDraw(const MenuEntry& entry, HDC dc, const RECT& rect, bool selected);
    void LauncherItemDraw(const MenuEntry& entry, HDC dc, const RECT& rect, bool selected);

    // The platform's owner-draw protocol.
    void Measure(MEASUREITEMSTRUCT& measure);
    void Draw(const DRAWITEMSTRUCT& draw);

  private:
    Size CaptionExtent(HDC dc, const std::wstring& caption) const;
    // Draws the caption at x, y; one wider than `room` is cut with an ellipsis to fit it.
    void DrawCaption(HDC dc, int x, int y, int room, const std::wstring& caption,
                     COLORREF background, COLORREF text) const;
    // The caption's width as measured, held to what the widest entry leaves for it.
    int FittedCaptionWidth(int width, int besidesCaption) const;
    int CheckMarkWidth() const;
    // A launcher entry's icon drawn sharp at a DPI other than 96: at its square's own size.
    void DrawIconAtSize(HDC dc, const MenuEntry& entry, const Rect& square);

    void DrawGlyph(HDC dc, const Bitmap& picture, HBITMAP glyph, const Rect& square);

    Bitmap tickPicture_;
    Bitmap gearPicture_;
    ScopedBitmapHandle tick_;
    ScopedBitmapHandle gear_;
    ScopedMemoryDc glyphDc_;
    ScopedFont font_;
    Palette palette_;
    ScopedBrush menuBackground_;
    HDC screenDc_ = nullptr;
    int widestEntry_ = 0;
    int dpi_ = kBaseDpi;
    bool atSystemDpi_ = true;  // the system's own metrics and screen DPI hold as they are
    const SysImageList* largerIcons_ = nullptr;
};

COLORREF ResolveColor(int32_t color);
LOGFONTW LogFontFor(const MenuFont& font, int pixelsPerInch);

}  // namespace corvalo

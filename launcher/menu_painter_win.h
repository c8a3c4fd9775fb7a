#pragma once

// Measures and draws the owner-drawn menu entries in the main window's font: command items with
// their tick and gear glyphs, launcher entries with their icons, captions as 8-bit text.

#include "base/scoped_win.h"
#include "launcher/menu_entry.h"

#include <windows.h>

#include <string>

namespace corvalo {

struct MenuFont;

// What the handlers draw with; made once per opening of the menu, not per entry.
class MenuPainter {
  public:
    // The tick (Image1) and gear (Image2) glyphs: 32 x 32, black being see-through.
    MenuPainter(Bitmap tick, Bitmap gear);

    // Creates the font and the screen context for one opening of the menu.
    void BeginOpening(const MenuFont& font);
    void EndOpening();

    Size CommandItemMeasure(const MenuEntry& entry);
    Size LauncherItemMeasure(const MenuEntry& entry);
    void CommandItemDraw(const MenuEntry& entry, HDC dc, const RECT& rect, bool selected);
    void LauncherItemDraw(const MenuEntry& entry, HDC dc, const RECT& rect, bool selected);

    // The platform's owner-draw protocol.
    void Measure(MEASUREITEMSTRUCT& measure);
    void Draw(const DRAWITEMSTRUCT& draw);

  private:
    Size CaptionExtent(HDC dc, const std::string& caption) const;
    void DrawCaption(HDC dc, int x, int y, const std::string& caption, COLORREF background,
                     COLORREF text) const;

    ScopedBitmapHandle tick_;
    ScopedBitmapHandle gear_;
    ScopedMemoryDc glyphDc_;
    ScopedFont font_;
    COLORREF fontColor_ = 0;
    HDC screenDc_ = nullptr;
};

COLORREF ResolveColor(int32_t color);
LOGFONTW LogFontFor(const MenuFont& font, int pixelsPerInch);

}  // namespace corvalo

#include "launcher/menu_painter_win.h"

#include "launcher/menu_font.h"
#include "base/color_mode_win.h"
#include "base/dpi_win.h"
#include "base/text.h"
#include "launcher/menu_geometry.h"
#include "picture/dib_win.h"
#include "picture/keyed_resample.h"

#include <algorithm>
#include <cwchar>

namespace corvalo {
namespace {

constexpr COLORREF kGlyphSeeThrough = 0x00000000;

Rect ToRect(const RECT& r) {
    return {r.left, r.top, r.right, r.bottom};
}

void DrawSeeThrough(HDC dc, const Rect& into, HDC source, int width, int height,
                    COLORREF seeThrough) {
    if (into.right <= into.left || into.bottom <= into.top)
        return;
    TransparentBlt(dc, into.left, into.top, into.right - into.left, into.bottom - into.top, source,
                   0, 0, width, height, seeThrough);
}

}  // namespace

COLORREF ResolveColor(int32_t color) {
    // A negative value names a system colour, as the settings file stores those.
    if (color < 0)
        return GetSysColor(color & 0xFF);
    return static_cast<COLORREF>(color) & 0x00FFFFFF;
}

LOGFONTW LogFontFor(const MenuFont& font, int pixelsPerInch) {
    LOGFONTW logFont{};
    logFont.lfHeight = -MulDiv(font.size, pixelsPerInch, 72);
    logFont.lfWeight = (font.style & 1) ? FW_BOLD : FW_NORMAL;
    logFont.lfItalic = (font.style & 2) ? TRUE : FALSE;
    logFont.lfUnderline = (font.style & 4) ? TRUE : FALSE;
    logFont.lfStrikeOut = (font.style & 8) ? TRUE : FALSE;
    logFont.lfCharSet = font.charSet;
    logFont.lfOutPrecision = OUT_DEFAULT_PRECIS;
    logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    logFont.lfQuality = DEFAULT_QUALITY;
    logFont.lfPitchAndFamily = DEFAULT_PITCH;
    wcsncpy(logFont.lfFaceName, font.name.c_str(), LF_FACESIZE - 1);
    return logFont;
}

MenuPainter::MenuPainter(Bitmap tick, Bitmap gear)
    : tickPicture_(std::move(tick)),
      gearPicture_(std::move(gear)),
      tick_(GdiBitmapFrom(tickPicture_)),
      gear_(GdiBitmapFrom(gearPicture_)),
      glyphDc_(CreateCompatibleDC(nullptr)) {}

void MenuPainter::DrawGlyph(HDC dc, const Bitmap& picture, HBITMAP glyph, const Rect& square) {
    const int side = square.right - square.left;
    if (dpi_ == kBaseDpi || side <= 0 || side > picture.Width()) {
        ScopedSelectObject selectedGlyph(glyphDc_.Get(), glyph);
        DrawSeeThrough(dc, square, glyphDc_.Get(), picture.Width(), picture.Height(),
                       kGlyphSeeThrough);
        return;
    }
    // Scaled down to its square first, by area averaging: smooth at any size, its see-through
    // black kept exact.
    ScopedBitmapHandle sized(
        GdiBitmapFrom(KeyedResampledCopy(picture, side, side, kGlyphSeeThrough)));
    ScopedSelectObject selectedGlyph(glyphDc_.Get(), sized.Get());
    DrawSeeThrough(dc, square, glyphDc_.Get(), side, side, kGlyphSeeThrough);
}

void MenuPainter::BeginOpening(const MenuFont& font, int widestEntry, int dpi,
                               const SysImageList* largerIcons, ColorMode mode) {
    EndOpening();
    screenDc_ = GetDC(nullptr);
    dpi_ = dpi > 0 ? dpi : kBaseDpi;
    largerIcons_ = largerIcons;
    // The font's point size at the menu's DPI; at the system's own DPI exactly what the screen
    // says, as ever.
    atSystemDpi_ = dpi_ == SystemDpi();
    const int pixelsPerInch = atSystemDpi_ ? GetDeviceCaps(screenDc_, LOGPIXELSY) : dpi_;
    const LOGFONTW logFont = LogFontFor(font, pixelsPerInch);
    font_.Reset(CreateFontIndirectW(&logFont));
    palette_ = PaletteFor(mode, CurrentSystemColors(), ResolveColor(font.color));
    menuBackground_.Reset(palette_.paintsMenuBackground ? CreateSolidBrush(palette_.menuBackground)
                                                        : nullptr);
    widestEntry_ = widestEntry;
}

void MenuPainter::PaintBackgroundOf(HMENU menu) const {
    if (!menuBackground_)
        return;
    MENUINFO info{};
    info.cbSize = sizeof(info);
    info.fMask = MIM_BACKGROUND | MIM_APPLYTOSUBMENUS;
    info.hbrBack = menuBackground_.Get();
    SetMenuInfo(menu, &info);
}

void MenuPainter::EndOpening() {
    if (screenDc_)
        ReleaseDC(nullptr, screenDc_);
    screenDc_ = nullptr;
}

Size MenuPainter::CaptionExtent(HDC dc, const std::wstring& caption) const {
    ScopedSelectObject font(dc, font_.Get());
    SIZE extent{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
    return {extent.cx, extent.cy};
}

int MenuPainter::CheckMarkWidth() const {
    return atSystemDpi_ ? GetSystemMetrics(SM_CXMENUCHECK)
                        : SystemMetricForDpi(SM_CXMENUCHECK, dpi_);
}

int MenuPainter::FittedCaptionWidth(int width, int besidesCaption) const {
    if (widestEntry_ <= 0)
        return width;
    return std::max(0, std::min(width, widestEntry_ - besidesCaption));
}

void MenuPainter::DrawCaption(HDC dc, int x, int y, int room, const std::wstring& caption,
                              COLORREF background, COLORREF text) const {
    // An opaque background: the character cells take the brush colour, nothing else is painted.
    ScopedSelectObject font(dc, font_.Get());
    SetBkMode(dc, OPAQUE);
    SetBkColor(dc, background);
    SetTextColor(dc, text);
    const Size extent = CaptionExtent(dc, caption);
    if (extent.width <= room) {
        TextOutW(dc, x, y, caption.c_str(), static_cast<int>(caption.size()));
        return;
    }
    // Too wide for the screen: shortened where it is shown, whole where it is stored.
    RECT into{x, y, x + std::max(room, 0), y + extent.height};
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &into,
              DT_SINGLELINE | DT_NOPREFIX | DT_END_ELLIPSIS | DT_LEFT | DT_TOP);
}

Size MenuPainter::CommandItemMeasure(const MenuEntry& entry) {
    HDC dc = screenDc_ ? screenDc_ : GetDC(nullptr);
    const Size caption = CaptionExtent(dc, entry.caption);
    if (!screenDc_)
        ReleaseDC(nullptr, dc);
    return CommandItemSize(CheckMarkWidth(), caption, dpi_);
}

Size MenuPainter::LauncherItemMeasure(const MenuEntry& entry) {
    HDC dc = screenDc_ ? screenDc_ : GetDC(nullptr);
    Size caption = CaptionExtent(dc, entry.caption);
    if (!screenDc_)
        ReleaseDC(nullptr, dc);
    const int besidesCaption = LauncherItemSize({0, 0}, dpi_).width;
    caption.width = FittedCaptionWidth(caption.width, besidesCaption);
    return LauncherItemSize(caption, dpi_);
}

void MenuPainter::CommandItemDraw(const MenuEntry& entry, HDC dc, const RECT& rect, bool selected) {
    const int m = CheckMarkWidth();
    const Rect item = ToRect(rect);
    const Rect glyph = CommandGlyphSquare(item, m, dpi_);
    const COLORREF background = selected ? palette_.selection : palette_.commandRow;
    const COLORREF text = selected ? palette_.selectedText : palette_.text;
    if (palette_.paintsMenuBackground) {
        ScopedBrush row(CreateSolidBrush(palette_.commandRow));
        FillRect(dc, &rect, row.Get());
    }
    if (entry.ticked)
        DrawGlyph(dc, tickPicture_, tick_.Get(), glyph);
    if (entry.name == "ADMIN")
        DrawGlyph(dc, gearPicture_, gear_.Get(), glyph);
    const Size extent = CaptionExtent(dc, entry.caption);
    DrawCaption(dc, CommandCaptionLeft(item, m), CaptionTop(item, extent.height), extent.width,
                entry.caption, background, text);
}

void MenuPainter::LauncherItemDraw(const MenuEntry& entry, HDC dc, const RECT& rect,
                                   bool selected) {
    const Rect item = ToRect(rect);
    ScopedBrush row(CreateSolidBrush(palette_.launcherRow));
    FillRect(dc, &rect, row.Get());
    const COLORREF background = selected ? palette_.selection : palette_.launcherRow;
    const COLORREF text = selected ? palette_.selectedText : palette_.text;
    if (!entry.bitmap.Empty() && dpi_ != kBaseDpi) {
        DrawIconAtSize(dc, entry, LauncherIconSquare(item, dpi_));
    } else if (!entry.bitmap.Empty()) {
        ScopedBitmapHandle icon = GdiBitmapFrom(entry.bitmap);
        ScopedSelectObject selectedIcon(glyphDc_.Get(), icon.Get());
        DrawSeeThrough(dc, LauncherIconSquare(item), glyphDc_.Get(), entry.bitmap.Width(),
                       entry.bitmap.Height(), entry.bitmap.PixelAt(0, entry.bitmap.Height() - 1));
    }
    const Size extent = CaptionExtent(dc, entry.caption);
    const int left = LauncherCaptionLeft(item, dpi_);
    const int room = FittedCaptionWidth(extent.width, LauncherItemSize({0, 0}, dpi_).width);
    DrawCaption(dc, left, CaptionTop(item, extent.height), room, entry.caption, background, text);
}

// The icon is made at the square's size before it is drawn, from a source at least as large where
// there is one, and scaled down by area averaging with its see-through colour kept exact: a
// stretch on drawing would make a 16- or 32-pixel icon jagged or blurred.
void MenuPainter::DrawIconAtSize(HDC dc, const MenuEntry& entry, const Rect& square) {
    const int side = square.right - square.left;
    if (side <= 0 || square.bottom <= square.top)
        return;
    Bitmap larger;
    const Bitmap* source = &entry.bitmap;
    if (largerIcons_ && entry.systemIcon >= 0) {
        const int sides[] = {entry.bitmap.Width(), largerIcons_->ImageWidth()};
        if (sides[1] > sides[0] && IconSourceFor(side, sides) == 1 &&
            largerIcons_->DrawInto(entry.systemIcon, larger)) {
            source = &larger;
        }
    }
    const Color key = source->PixelAt(0, source->Height() - 1);
    Bitmap sized;
    if (source->Width() != side || source->Height() != side) {
        sized = KeyedResampledCopy(*source, side, side, key);
        source = &sized;
    }
    ScopedBitmapHandle icon = GdiBitmapFrom(*source);
    ScopedSelectObject selectedIcon(glyphDc_.Get(), icon.Get());
    DrawSeeThrough(dc, square, glyphDc_.Get(), side, side, key);
}

void MenuPainter::Measure(MEASUREITEMSTRUCT& measure) {
    const auto* entry = reinterpret_cast<const MenuEntry*>(measure.itemData);
    if (!entry)
        return;
    const Size size = entry->kind == MenuEntry::Kind::Launcher ? LauncherItemMeasure(*entry)
                                                               : CommandItemMeasure(*entry);
    measure.itemWidth = static_cast<UINT>(std::max(size.width, 0));
    measure.itemHeight = static_cast<UINT>(std::max(size.height, 0));
}

void MenuPainter::Draw(const DRAWITEMSTRUCT& draw) {
    const auto* entry = reinterpret_cast<const MenuEntry*>(draw.itemData);
    if (!entry)
        return;
    const bool selected = (draw.itemState & ODS_SELECTED) != 0;
    if (entry->kind == MenuEntry::Kind::Launcher) {
        LauncherItemDraw(*entry, draw.hDC, draw.rcItem, selected);
    } else {
        CommandItemDraw(*entry, draw.hDC, draw.rcItem, selected);
    }
}

}  // namespace corvalo

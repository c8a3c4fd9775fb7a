#include "launcher/menu_painter_win.h"

#include "launcher/menu_font.h"
#include "base/text.h"
#include "launcher/menu_geometry.h"
#include "picture/dib_win.h"

#include <algorithm>
#include <cwchar>

namespace corvalo {
namespace {

constexpr COLORREF kSelectionColor = 0x00A4A0A0;
constexpr COLORREF kWhiteText = 0x00FFFFFF;
constexpr COLORREF kGlyphSeeThrough = 0x00000000;

int CheckMarkWidth() {
    return GetSystemMetrics(SM_CXMENUCHECK);
}

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
    : tick_(GdiBitmapFrom(tick)),
      gear_(GdiBitmapFrom(gear)),
      glyphDc_(CreateCompatibleDC(nullptr)) {}

void MenuPainter::BeginOpening(const MenuFont& font, int widestEntry) {
    EndOpening();
    screenDc_ = GetDC(nullptr);
    const LOGFONTW logFont = LogFontFor(font, GetDeviceCaps(screenDc_, LOGPIXELSY));
    font_.Reset(CreateFontIndirectW(&logFont));
    fontColor_ = ResolveColor(font.color);
    widestEntry_ = widestEntry;
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
    return CommandItemSize(CheckMarkWidth(), caption);
}

Size MenuPainter::LauncherItemMeasure(const MenuEntry& entry) {
    HDC dc = screenDc_ ? screenDc_ : GetDC(nullptr);
    Size caption = CaptionExtent(dc, entry.caption);
    if (!screenDc_)
        ReleaseDC(nullptr, dc);
    const int besidesCaption = LauncherItemSize({0, 0}).width;
    caption.width = FittedCaptionWidth(caption.width, besidesCaption);
    return LauncherItemSize(caption);
}

void MenuPainter::CommandItemDraw(const MenuEntry& entry, HDC dc, const RECT& rect, bool selected) {
    const int m = CheckMarkWidth();
    const Rect item = ToRect(rect);
    const Rect glyph = CommandGlyphSquare(item, m);
    const COLORREF background = selected ? kSelectionColor : GetSysColor(COLOR_BTNFACE);
    const COLORREF text = selected ? kWhiteText : fontColor_;
    if (entry.ticked) {
        ScopedSelectObject selectedGlyph(glyphDc_.Get(), tick_.Get());
        DrawSeeThrough(dc, glyph, glyphDc_.Get(), 32, 32, kGlyphSeeThrough);
    }
    if (entry.name == "ADMIN") {
        ScopedSelectObject selectedGlyph(glyphDc_.Get(), gear_.Get());
        DrawSeeThrough(dc, glyph, glyphDc_.Get(), 32, 32, kGlyphSeeThrough);
    }
    const Size extent = CaptionExtent(dc, entry.caption);
    DrawCaption(dc, CommandCaptionLeft(item, m), CaptionTop(item, extent.height), extent.width,
                entry.caption, background, text);
}

void MenuPainter::LauncherItemDraw(const MenuEntry& entry, HDC dc, const RECT& rect,
                                   bool selected) {
    const Rect item = ToRect(rect);
    ScopedBrush white(CreateSolidBrush(kWhiteText));
    FillRect(dc, &rect, white.Get());
    const COLORREF background = selected ? kSelectionColor : kWhiteText;
    const COLORREF text = selected ? kWhiteText : fontColor_;
    if (!entry.bitmap.Empty()) {
        ScopedBitmapHandle icon = GdiBitmapFrom(entry.bitmap);
        ScopedSelectObject selectedIcon(glyphDc_.Get(), icon.Get());
        DrawSeeThrough(dc, LauncherIconSquare(item), glyphDc_.Get(), entry.bitmap.Width(),
                       entry.bitmap.Height(), entry.bitmap.PixelAt(0, entry.bitmap.Height() - 1));
    }
    const Size extent = CaptionExtent(dc, entry.caption);
    const int left = LauncherCaptionLeft(item);
    const int room = FittedCaptionWidth(extent.width, LauncherItemSize({0, 0}).width);
    DrawCaption(dc, left, CaptionTop(item, extent.height), room, entry.caption, background, text);
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

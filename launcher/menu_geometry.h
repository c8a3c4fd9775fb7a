#pragma once

// Sizes and positions of the owner-drawn menu entries, from the check-mark width m of the system
// and the extent of the caption in the menu font. Every offset is a length at 96 dpi, drawn at
// the menu's DPI by the program's one scaling rule.

#include "base/dpi_scale.h"
#include "picture/bitmap.h"

#include <span>

namespace corvalo {

inline Size CommandItemSize(int checkWidth, Size caption, int dpi = kBaseDpi) {
    return {checkWidth + caption.width + DpiScaled(4, dpi), caption.height + DpiScaled(4, dpi)};
}

inline Size LauncherItemSize(Size caption, int dpi = kBaseDpi) {
    return {caption.width + DpiScaled(32, dpi), caption.height + DpiScaled(8, dpi)};
}

// The square of a command's tick or gear.
inline Rect CommandGlyphSquare(const Rect& item, int checkWidth, int dpi = kBaseDpi) {
    const int inset = DpiScaled(4, dpi);
    return {item.left + inset, item.top + inset, item.left + inset + checkWidth,
            item.top + inset + checkWidth};
}

inline int CommandCaptionLeft(const Rect& item, int checkWidth) {
    return item.left + 2 * checkWidth;
}

// The launcher entry's icon square grows with the entry's height.
inline Rect LauncherIconSquare(const Rect& item, int dpi = kBaseDpi) {
    const int inset = DpiScaled(4, dpi);
    const int side = (item.bottom - item.top) - DpiScaled(6, dpi);
    return {item.left + inset, item.top + inset, item.left + inset + side, item.top + inset + side};
}

inline int LauncherCaptionLeft(const Rect& item, int dpi = kBaseDpi) {
    return item.left + DpiScaled(32, dpi);
}

// Vertically centred; the division truncates toward zero.
inline int CaptionTop(const Rect& item, int textHeight) {
    return item.top + ((item.bottom - item.top) - textHeight) / 2;
}

// Which of the icon sources (their sides, smallest first) an icon drawn `drawnSide` pixels wide
// comes from: the smallest that is at least as large, so an icon is only ever scaled down; the
// largest when none is. 0 when there is no source.
inline size_t IconSourceFor(int drawnSide, std::span<const int> sourceSides) {
    for (size_t i = 0; i < sourceSides.size(); ++i) {
        if (sourceSides[i] >= drawnSide)
            return i;
    }
    return sourceSides.empty() ? 0 : sourceSides.size() - 1;
}

}  // namespace corvalo

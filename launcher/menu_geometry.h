#pragma once

// Sizes and positions of the owner-drawn menu entries, from the check-mark width m of the system
// and the extent of the caption in the menu font.

#include "picture/bitmap.h"

namespace corvalo {

inline Size CommandItemSize(int checkWidth, Size caption) {
    return {checkWidth + caption.width + 4, caption.height + 4};
}

inline Size LauncherItemSize(Size caption) {
    return {caption.width + 32, caption.height + 8};
}

// The square of a command's tick or gear.
inline Rect CommandGlyphSquare(const Rect& item, int checkWidth) {
    return {item.left + 4, item.top + 4, item.left + 4 + checkWidth, item.top + 4 + checkWidth};
}

inline int CommandCaptionLeft(const Rect& item, int checkWidth) {
    return item.left + 2 * checkWidth;
}

// The launcher entry's icon square grows with the entry's height.
inline Rect LauncherIconSquare(const Rect& item) {
    const int side = (item.bottom - item.top) - 6;
    return {item.left + 4, item.top + 4, item.left + 4 + side, item.top + 4 + side};
}

inline int LauncherCaptionLeft(const Rect& item) {
    return item.left + 32;
}

// Vertically centred; the division truncates toward zero.
inline int CaptionTop(const Rect& item, int textHeight) {
    return item.top + ((item.bottom - item.top) - textHeight) / 2;
}

}  // namespace corvalo

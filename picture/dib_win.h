#pragma once

// The bridge between the portable Bitmap and GDI: drawing it, and making it from and into GDI
// bitmaps and bitmap resources.

#include "base/scoped_win.h"
#include "picture/bitmap.h"

#include <windows.h>
#include <commctrl.h>

namespace corvalo {

// Copies the bitmap's pixels 1:1 (no stretching) to the device context at (x, y).
void DrawBitmapToDc(HDC dc, const Bitmap& bitmap, int x, int y);

// A new bitmap from any GDI bitmap: 32 bits per pixel when the source has 32, else 24.
Bitmap BitmapFromGdi(HBITMAP source);

// A GDI DIB section holding a copy of the bitmap's pixels, in its own pixel format.
ScopedBitmapHandle GdiBitmapFrom(const Bitmap& bitmap);

// Image `index` of an image list drawn with its transparency onto white, into `target`, which takes
// the list's image size and 24 bits per pixel and keeps its own transparency settings. False, and
// `target` untouched, when the list has no such image or it cannot be drawn.
bool DrawListImage(HIMAGELIST list, int index, Bitmap& target);

// A bitmap resource of this module. Throws "Bitmap image is not valid" when it is missing or
// damaged.
Bitmap LoadBitmapResource(int resourceId);

}  // namespace corvalo

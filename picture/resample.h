#pragma once

#include "picture/bitmap.h"

namespace corvalo {

// Target size of one resize step of the desktop picture: the larger side grows by `step` pixels
// (n = max(width, height) + step) and the other follows in proportion. A picture taller than wide
// becomes width * n / height by n, any other n by height * n / width; each division works on 64-bit
// products and gives the nearest integer, a half going up (192 x 266 / 256 = 199.5 gives 200).
// A side never comes out below 1: a step that would make the picture vanish leaves a 1-pixel
// side, and a side given as 0 or less counts as 1 (there is no shape to keep). A side that would
// exceed the int range is held at INT_MAX; resampling to it is then refused as too large.
Size ScaledBounds(int width, int height, int step);

// The size at which a new picture is first shown in an area of areaWidth x areaHeight (the work
// area of the monitor its window is on): its own size when it fits, else the largest size of its
// proportions that does. The side that meets the area's edge first takes the area's length, the
// other follows in proportion, rounded to the nearest integer with a half going up (as
// ScaledBounds rounds), never below 1 and never past the area. A picture or an area of no size
// is left as it is.
Size FittedBounds(int width, int height, int areaWidth, int areaHeight);

// Replaces the bitmap by its content area-averaged to width x height: 24 bpp, transparency off,
// automatic mode, no palette. A negative or too large size throws Error("Invalid image size") and
// leaves the bitmap unchanged. An empty source gives a white result.
void StretchHalftone(int width, int height, Bitmap& bitmap);

// As StretchHalftone, after the bitmap's transparent pixels (when its transparency is on) have
// been made white. No bitmap: nothing.
void ResampleBitmap(Bitmap* bitmap, int width, int height);

// ResampleBitmap to the rectangle's width and height; an empty bitmap is left alone.
void ResampleToRect(Bitmap& bitmap, const Rect& rect);

// A resize step's picture: a working copy of `source` made as GraphicToBitmap(source, true) does,
// then ResampleToRect'ed to (0, 0, width, height). The result is the same pixel for pixel, but
// an opaque 24- or 32-bpp source is resampled straight away, without first copying a picture of
// possibly many megabytes.
Bitmap ResampledCopy(const Bitmap& source, int width, int height);

enum class ResamplePath {
    Automatic,  // integer reduction factors take the fast path
    General,    // always the general weighted path (for comparisons)
};

// The area-averaging stretch itself: every pixel of `dest` (which must be 24 bpp) becomes the
// average of the part of `src` that it covers, each source pixel weighted by the area it shares
// with the destination pixel, when enlarging too. The arithmetic is exact integer arithmetic with
// one rounding at the end (a half going up), so every platform gives the same pixels and the fast
// path for integer factors gives exactly what the general path gives. Working buffers are kept per
// thread and reused. `src` may have any format; 24 and 32 bpp are read directly.
void AreaResample(const Bitmap& src, Bitmap& dest, ResamplePath path = ResamplePath::Automatic);

// Plain stretch of src over the whole of dest (24 bpp): each destination pixel takes the source
// pixel under its centre.
void StretchNearest(const Bitmap& src, Bitmap& dest);

}  // namespace corvalo

#pragma once

// Resampling a picture with see-through pixels. The window shows every pixel of the key colour as
// a hole, so a resampled picture must keep that colour exact: a pixel blended from the key and
// the picture would show as a fringe of the key's colour around every see-through part.

#include "picture/bitmap.h"

namespace corvalo {

// `source` area-averaged to width x height (24 bpp), the pixels of colour `key` counted apart:
// a result pixel covered more than half by key pixels is exactly `key`; any other is the
// area-weighted average of the other pixels it covers, never `key` itself (a blue channel one
// step away where the average would fall on it). A size below 1 or too large throws
// Error("Invalid image size"); an empty source gives a picture all of `key`.
Bitmap KeyedResampledCopy(const Bitmap& source, int width, int height, Color key);

}  // namespace corvalo

#pragma once

#include "picture/bitmap.h"
#include "picture/graphic.h"

#include <optional>

namespace corvalo {

// A new 24-bpp bitmap of the image's size. With copyContent it also gets the image's palette and
// transparent switch and the image drawn on white (transparent parts stay white); the transparent
// mode and colour are not carried over. Without copyContent the bitmap stays white. An icon becomes
// GraphicToSquareBitmap(icon, 64) whatever copyContent says. No image: no bitmap.
std::optional<Bitmap> GraphicToBitmap(const Graphic* image, bool copyContent);
Bitmap GraphicToBitmap(const Bitmap& image, bool copyContent);

// The image drawn on white and stretched to side x side pixels (24 bpp), with white as its fixed
// transparent colour and transparency on. The stretch takes the nearest source pixel, so the white
// key colour stays exact and no fringe of near-white appears around the picture.
Bitmap GraphicToSquareBitmap(const Graphic& image, int side);
Bitmap GraphicToSquareBitmap(const Bitmap& image, int side);

}  // namespace corvalo

#pragma once

// How a photo is meant to be seen: cameras store the sensor's rows as they came and write down
// which way the camera was held (the EXIF Orientation of a JPEG file, the Orientation tag of a
// TIFF file). The values, as both formats number them, say what showing the picture upright
// takes:
//   1 nothing (as stored)              5 mirroring along the main diagonal
//   2 mirroring left to right          6 turning a quarter clockwise
//   3 turning half round               7 mirroring along the other diagonal
//   4 mirroring top to bottom          8 turning a quarter anticlockwise
// Any other value is taken as 1.

#include "picture/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvalo {

// The orientation an EXIF block names: the block as a JPEG file's APP1 segment carries it
// ("Exif", two zero bytes, then a TIFF structure of either byte order), the Orientation entry
// (tag 0x0112) of its first directory. 1 when the block names none or is damaged; every offset
// and count is checked against the block, which comes from the file.
int ExifOrientation(std::span<const uint8_t> block);

// Orientations 5 to 8 show the stored width as the height.
constexpr bool SwapsSides(int orientation) {
    return orientation >= 5 && orientation <= 8;
}

// Copies `count` stored rows, from stored row `firstRow` on, of a storedWidth x storedHeight
// picture to where they are seen upright in `shown`, a 24-bpp bitmap of the upright size. The rows
// are B,G,R, 3 bytes a pixel, `stride` bytes apart; the caller keeps every row inside the picture.
void PlaceStoredRows(Bitmap& shown, int orientation, int storedWidth, int storedHeight,
                     int firstRow, int count, const uint8_t* rows, size_t stride);

}  // namespace corvalo

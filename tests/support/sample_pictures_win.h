#pragma once

// Small picture files in the formats the system's own decoders read, made on the spot.

#include <cstdint>
#include <vector>

namespace corvalo::test {

// An enhanced metafile of 1 x 0.5 inches (96 x 48 pixels on a 96-dpi screen) with a red
// rectangle from (20, 10) to (40, 30) in screen pixels.
std::vector<uint8_t> EnhancedMetafile();

// A 16 x 16 icon of 32 bits: the left half opaque red, the right half fully transparent.
std::vector<uint8_t> IconFile();

// A 2 x 1 GIF (red, blue) padded with a comment to the general path's 54 bytes.
std::vector<uint8_t> TinyGif();

}  // namespace corvalo::test

#pragma once

// GIF image data decoded without giflib, for files whose LZW minimum code size is 9 to 11:
// giflib refuses them, but they decode like any other (the codes start wider, up to the format's
// 12 bits), and other readers show them.

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvalo {

inline constexpr int kLargestGifCodeSize = 11;

// Decodes the data sub-blocks that start at `data` (after the minimum code size byte) into `out`,
// the image's pixels in the order the file holds them. Returns how many pixels were decoded: fewer
// than out.size() when the data ends or breaks off early. `minimumCodeSize` is 2 to 11.
size_t DecodeGifLzw(std::span<const uint8_t> data, int minimumCodeSize, std::span<uint16_t> out);

}  // namespace corvalo

#pragma once

#include "picture/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace corvalo {

// Reads a Windows bitmap file (file header "BM" and an OS/2 core, info, V2, V3, V4 or V5 header) of
// 1, 4, 8, 16, 24 or 32 bits per pixel, bottom-up or top-down, uncompressed, RLE8, RLE4 or with
// bit fields. The result keeps the file's pixel format where a bitmap can hold it:
//   - 1, 4, 8 bpp (also RLE8 -> 8 bpp, RLE4 -> 4 bpp), 24 bpp: as stored;
//   - 16 bpp 5-5-5 (uncompressed, or bit fields 7C00/03E0/001F): as stored;
//   - 16 bpp with other bit fields (5-6-5 ...): 24 bpp;
//   - 32 bpp (uncompressed, or bit fields 00FF0000/0000FF00/000000FF): as stored; other bit fields:
//     32 bpp B,G,R,0.
// The colour table becomes the palette (for 16, 24 and 32 bpp too, when the file has one). Pixels
// that an RLE picture skips are palette index 0. Transparency settings are the defaults.
//
// Every length and offset is checked against the data: a file too short for what is read throws
// Error("Stream read error"); any other fault, an unsupported kind, or a picture over the size
// limits throws Error("Bitmap image is not valid"). Nothing is read outside `file`.
Bitmap ReadBmp(std::span<const uint8_t> file);

// The same with a smaller limit on the decoded pixel buffer (for fuzzing and for callers that
// must not allocate much: an RLE file of a few bytes may declare a picture of gigabytes).
Bitmap ReadBmp(std::span<const uint8_t> file, size_t maxPixelBytes);

// A bitmap file of the bitmap in its own pixel format: file header and a 40-byte info header,
// uncompressed, rows bottom-up, the palette as colour table (for a palette format without palette,
// a black table of 2^bpp entries). Reading it back gives the same size, format, pixels and palette.
std::vector<uint8_t> WriteBmp(const Bitmap& bitmap);

}  // namespace corvalo

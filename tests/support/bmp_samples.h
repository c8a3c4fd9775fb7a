#pragma once

#include "picture/bitmap.h"
#include "support/sample_bytes.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

namespace corvalo::test {

// What a bitmap file holds, written out field by field so that tests can build the headers that
// other programs write (and damage them).
struct BmpFile {
    uint32_t headerSize = 40;
    int32_t width = 0;
    int32_t height = 0;  // negative: rows top-down
    uint16_t bpp = 24;
    uint32_t compression = 0;
    uint32_t imageSize = 0;
    uint32_t colorsUsed = 0;
    std::vector<uint32_t> masks;  // after a 40-byte header, inside a larger one
    std::vector<Color> palette;   // RGBQUAD, or RGBTRIPLE for the 12-byte header
    std::vector<uint8_t> pixels;  // exactly as stored
    int64_t pixelOffset = -1;     // -1: right after the palette

    // A file of that size and format, everything else at the defaults above.
    static BmpFile Of(int32_t width, int32_t height, uint16_t bpp, uint32_t compression = 0) {
        BmpFile file;
        file.width = width;
        file.height = height;
        file.bpp = bpp;
        file.compression = compression;
        return file;
    }

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> out;
        const bool core = headerSize == 12;
        const size_t masksAfter = (headerSize == 40) ? 4 * masks.size() : 0;
        const size_t entry = core ? 3 : 4;
        const size_t offset = pixelOffset >= 0
                                  ? size_t(pixelOffset)
                                  : 14 + headerSize + masksAfter + entry * palette.size();
        out.push_back('B');
        out.push_back('M');
        AppendU32(out, uint32_t(offset + pixels.size()));
        AppendU32(out, 0);
        AppendU32(out, uint32_t(offset));
        AppendU32(out, headerSize);
        if (core) {
            AppendU16(out, uint32_t(width));
            AppendU16(out, uint32_t(height));
            AppendU16(out, 1);
            AppendU16(out, bpp);
        } else {
            AppendU32(out, uint32_t(width));
            AppendU32(out, uint32_t(height));
            AppendU16(out, 1);
            AppendU16(out, bpp);
            AppendU32(out, compression);
            AppendU32(out, imageSize);
            AppendU32(out, 2835);
            AppendU32(out, 2835);
            AppendU32(out, colorsUsed);
            AppendU32(out, 0);
            size_t written = 40;
            for (size_t i = 0; headerSize > 40 && i < masks.size(); ++i, written += 4) {
                AppendU32(out, masks[i]);
            }
            for (; written < headerSize; ++written) {
                out.push_back(0);
            }
            if (headerSize == 40) {
                for (uint32_t m : masks) {
                    AppendU32(out, m);
                }
            }
        }
        for (Color c : palette) {
            out.push_back(BlueOf(c));
            out.push_back(GreenOf(c));
            out.push_back(RedOf(c));
            if (!core) {
                out.push_back(0);
            }
        }
        out.resize(std::max(out.size(), offset));
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
};

// Run-length data for an 8-bit 5 x 4 picture, bottom row first.
inline const std::vector<uint8_t> kRle8Data = {
    3, 7,              // row 0: three pixels of index 7
    0, 3, 1, 2, 3, 0,  // absolute run of three, padded to 16 bits
    0, 0,              // end of line
    0, 2, 2, 1,        // move 2 right, 1 up: row 2, x 2
    2, 9,              // two pixels of 9 at x 2 and 3
    0, 0, 9, 4,        // end of line, then 9 pixels of 4 on row 3 (clipped to 5)
    0, 1               // end of bitmap
};

// An 8-bit run-length file of kRle8Data with the given palette, every entry of it used.
inline BmpFile Rle8File(int32_t width, int32_t height, std::vector<Color> palette) {
    BmpFile file = BmpFile::Of(width, height, 8, 1);
    file.colorsUsed = uint32_t(palette.size());
    file.palette = std::move(palette);
    file.pixels = kRle8Data;
    file.imageSize = uint32_t(kRle8Data.size());
    return file;
}

// kRle8Data's own picture, in ten shades of red.
inline BmpFile Rle8Sample() {
    std::vector<Color> reds;
    for (int i = 0; i < 10; ++i)
        reds.push_back(MakeColor(uint8_t(20 * i), 0, 0));
    return Rle8File(5, 4, std::move(reds));
}

// A 4-bit run-length 7 x 2 picture: runs that alternate two nibbles, an absolute run of three.
inline BmpFile Rle4Sample() {
    BmpFile file = BmpFile::Of(7, 2, 4, 2);
    file.palette.assign(16, kBlack);
    file.pixels = {5, 0x12, 0, 0, 0, 3, 0xAB, 0xC0, 0, 1};
    return file;
}

// A 16-bit 5-6-5 bit-fields picture 3 pixels wide (negative height: top-down).
inline BmpFile BitFields565(int32_t height) {
    BmpFile file = BmpFile::Of(3, height, 16, 3);
    file.masks = {0xF800, 0x07E0, 0x001F};
    file.pixels.assign(16, 0x5A);
    return file;
}

}  // namespace corvalo::test

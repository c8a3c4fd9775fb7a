#pragma once

#include "picture/bitmap.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
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

    std::vector<uint8_t> Bytes() const {
        std::vector<uint8_t> out;
        const auto u16 = [&](uint32_t v) {
            out.push_back(uint8_t(v));
            out.push_back(uint8_t(v >> 8));
        };
        const auto u32 = [&](uint32_t v) {
            u16(v & 0xFFFF);
            u16(v >> 16);
        };
        const bool core = headerSize == 12;
        const size_t masksAfter = (headerSize == 40) ? 4 * masks.size() : 0;
        const size_t entry = core ? 3 : 4;
        const size_t offset = pixelOffset >= 0
                                  ? size_t(pixelOffset)
                                  : 14 + headerSize + masksAfter + entry * palette.size();
        out.push_back('B');
        out.push_back('M');
        u32(uint32_t(offset + pixels.size()));
        u32(0);
        u32(uint32_t(offset));
        u32(headerSize);
        if (core) {
            u16(uint32_t(width));
            u16(uint32_t(height));
            u16(1);
            u16(bpp);
        } else {
            u32(uint32_t(width));
            u32(uint32_t(height));
            u16(1);
            u16(bpp);
            u32(compression);
            u32(imageSize);
            u32(2835);
            u32(2835);
            u32(colorsUsed);
            u32(0);
            size_t written = 40;
            for (size_t i = 0; headerSize > 40 && i < masks.size(); ++i, written += 4) {
                u32(masks[i]);
            }
            for (; written < headerSize; ++written) {
                out.push_back(0);
            }
            if (headerSize == 40) {
                for (uint32_t m : masks) {
                    u32(m);
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

}  // namespace corvalo::test

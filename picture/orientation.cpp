#include "picture/orientation.h"

#include <algorithm>
#include <cstring>

namespace corvalo {

int ExifOrientation(std::span<const uint8_t> block) {
    static constexpr uint8_t kExifName[] = {'E', 'x', 'i', 'f', 0, 0};
    if (block.size() < sizeof kExifName || std::memcmp(block.data(), kExifName, 6) != 0) {
        return 1;
    }
    // The TIFF structure: byte order, 42, the first directory's offset from its own start.
    const std::span<const uint8_t> tiff = block.subspan(sizeof kExifName);
    if (tiff.size() < 8) {
        return 1;
    }
    bool bigEndian = false;
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        bigEndian = true;
    } else if (tiff[0] != 'I' || tiff[1] != 'I') {
        return 1;
    }
    const auto u16 = [&](size_t at) {
        return bigEndian ? uint32_t(tiff[at]) << 8 | tiff[at + 1]
                         : uint32_t(tiff[at + 1]) << 8 | tiff[at];
    };
    const auto u32 = [&](size_t at) {
        return bigEndian ? u16(at) << 16 | u16(at + 2) : u16(at + 2) << 16 | u16(at);
    };
    if (u16(2) != 42) {
        return 1;
    }
    const uint64_t directory = u32(4);
    if (directory > tiff.size() || tiff.size() - directory < 2) {
        return 1;
    }
    // Entries of 12 bytes: tag, type, count, then the value itself when it fits in 4 bytes. Only
    // the entries wholly inside the block are looked at.
    const uint64_t entries =
        std::min<uint64_t>(u16(size_t(directory)), (tiff.size() - directory - 2) / 12);
    constexpr uint32_t kOrientationTag = 0x0112;
    constexpr uint32_t kShort = 3, kLong = 4;
    for (uint64_t i = 0; i < entries; ++i) {
        const size_t entry = size_t(directory + 2 + 12 * i);
        if (u16(entry) != kOrientationTag) {
            continue;
        }
        const uint32_t type = u16(entry + 2);
        if (u32(entry + 4) == 0) {
            return 1;
        }
        // The standard type is SHORT; a LONG holds the same small number.
        const uint32_t value = type == kShort ? u16(entry + 8) : type == kLong ? u32(entry + 8) : 0;
        return value >= 1 && value <= 8 ? int(value) : 1;
    }
    return 1;
}

void PlaceStoredRows(Bitmap& shown, int orientation, int storedWidth, int storedHeight,
                     int firstRow, int count, const uint8_t* rows, size_t stride) {
    const int w = storedWidth, h = storedHeight;
    if (!SwapsSides(orientation)) {
        // Whole rows stay rows: only their order or their direction changes.
        const bool flipped = orientation == 3 || orientation == 4;
        const bool mirrored = orientation == 2 || orientation == 3;
        for (int i = 0; i < count; ++i) {
            const int y = firstRow + i;
            const uint8_t* in = rows + size_t(i) * stride;
            uint8_t* out = shown.Row(flipped ? h - 1 - y : y);
            if (!mirrored) {
                std::memcpy(out, in, size_t(w) * 3);
                continue;
            }
            out += size_t(w - 1) * 3;
            for (int x = 0; x < w; ++x, in += 3, out -= 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
        }
        return;
    }
    // Stored columns become shown rows. Each stored column of this band of rows is one short run
    // of a shown row, so every shown row is written a band's width at a time.
    const bool columnsDown = orientation == 5 || orientation == 6;  // stored column x: shown row x
    const bool rowsRight = orientation == 5 || orientation == 8;    // stored row y: shown column y
    for (int x = 0; x < w; ++x) {
        uint8_t* row = shown.Row(columnsDown ? x : w - 1 - x);
        const uint8_t* in = rows + size_t(x) * 3;
        for (int i = 0; i < count; ++i, in += stride) {
            const int y = firstRow + i;
            uint8_t* out = row + size_t(rowsRight ? y : h - 1 - y) * 3;
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
        }
    }
}

}  // namespace corvalo

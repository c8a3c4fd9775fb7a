#pragma once

// One picture decoder over the fuzzer's bytes: it gives a whole picture drawn on white, or an
// Error.

#include "base/error.h"
#include "fuzz/fuzz_checks.h"
#include "picture/picture_decoders.h"

#include <cstddef>
#include <cstdint>
#include <span>

namespace corvalo::fuzz {

inline int DecodeAndCheck(const uint8_t* data, size_t size,
                          DecodedPicture (*decode)(std::span<const uint8_t>)) {
    try {
        const DecodedPicture picture = decode(std::span<const uint8_t>(data, size));
        Check(picture.bitmap.BitsPerPixel() == 24, "a decoded picture has 24 bits per pixel");
        Check(!picture.bitmap.Empty(), "a decoded picture has pixels");
        Check(uint64_t(picture.bitmap.Width()) * uint64_t(picture.bitmap.Height()) <=
                  kMaxPicturePixels,
              "a decoded picture is within the size limit");
        CheckWholeBitmap(picture.bitmap);
        Check(picture.palette.size() <= 256 * 256, "a palette is no larger than 16-bit indexes");
    } catch (const Error&) {
    }
    return 0;
}

}  // namespace corvalo::fuzz

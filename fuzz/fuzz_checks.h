#pragma once

// What the fuzz targets share: a broken property of a reader is reported like a crash, so that
// libFuzzer keeps the input that shows it.

#include "picture/bitmap.h"

#include <cstdio>
#include <cstdlib>

namespace corvalo::fuzz {

[[noreturn]] inline void Fail(const char* what) {
    std::fprintf(stderr, "Broken property: %s\n", what);
    std::abort();
}

inline void Check(bool condition, const char* what) {
    if (!condition)
        Fail(what);
}

// A bitmap that a reader hands out must be whole: its pixel memory as large as its rows say.
inline void CheckWholeBitmap(const Bitmap& bitmap) {
    Check(bitmap.Width() >= 0 && bitmap.Height() >= 0, "bitmap size is not negative");
    Check(IsValidBitsPerPixel(bitmap.BitsPerPixel()), "bitmap has a known pixel format");
    Check(bitmap.Stride() == DibStride(bitmap.Width(), bitmap.BitsPerPixel()),
          "bitmap rows have the platform's stride");
    Check(bitmap.Pixels().size() == bitmap.Stride() * size_t(bitmap.Height()),
          "bitmap pixel memory holds every row");
}

}  // namespace corvalo::fuzz

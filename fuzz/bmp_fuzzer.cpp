// The bitmap file reader, as the program's own picture and the icon lists' images use it, and as
// the picture loader uses it: whatever it reads is whole and writes back to a file that reads the
// same.

#include "base/error.h"
#include "fuzz/fuzz_checks.h"
#include "fuzz/picture_fuzzing.h"
#include "picture/bmp_format.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace corvalo;
using corvalo::fuzz::Check;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> file(data, size);
    try {
        const Bitmap bitmap = ReadBmp(file);
        fuzz::CheckWholeBitmap(bitmap);
        const Bitmap again = ReadBmp(WriteBmp(bitmap));
        Check(again.Width() == bitmap.Width() && again.Height() == bitmap.Height() &&
                  again.BitsPerPixel() == bitmap.BitsPerPixel() &&
                  again.Pixels() == bitmap.Pixels(),
              "a bitmap that was read is written back with its pixels");
        // A palette format without a colour table is written with a black one.
        if (!bitmap.Palette().empty() || bitmap.BitsPerPixel() > 8)
            Check(again.Palette() == bitmap.Palette(), "the palette is written back");
    } catch (const Error&) {
    }
    return fuzz::DecodeAndCheck(data, size, DecodeWindowsBitmap);
}

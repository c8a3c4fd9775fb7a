// The EXIF block of a JPEG file, read for the orientation the photo is shown in.

#include "fuzz/fuzz_checks.h"
#include "picture/orientation.h"

#include <cstddef>
#include <cstdint>
#include <span>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const int orientation = corvalo::ExifOrientation(std::span<const uint8_t>(data, size));
    corvalo::fuzz::Check(orientation >= 1 && orientation <= 8, "an orientation is 1 to 8");
    return 0;
}

// WebP pictures (libwebp: still, lossless, with alpha, animated), decoded from memory.

#include "fuzz/picture_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return corvalo::fuzz::DecodeAndCheck(data, size, corvalo::DecodeWebp);
}

// JPEG 2000 files and codestreams (OpenJPEG), decoded from memory.

#include "fuzz/picture_fuzzing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return corvalo::fuzz::DecodeAndCheck(data, size, corvalo::DecodeJpeg2000);
}

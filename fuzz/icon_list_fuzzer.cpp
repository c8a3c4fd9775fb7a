// The icon-list file reader and the image data inside it: any bytes are read or refused with an
// Error, and whatever is read is written back to a file that reads the same.

#include "app/icon_list_stream.h"
#include "base/error.h"
#include "fuzz/fuzz_checks.h"
#include "picture/bmp_format.h"

#include <cstddef>
#include <cstdint>
#include <span>

using namespace corvalo;
using corvalo::fuzz::Check;

namespace {

void ReadImageData(std::span<const uint8_t> data) {
    if (IsImageListStream(data))
        return;  // the platform's own stream, read by the platform
    try {
        const OlderIconLayout layout = ParseOlderIconLayout(data);
        Check(layout.imagesBmp.size() + layout.masksBmp.size() + 8 == data.size(),
              "the older layout's parts are the data after its two sizes");
        Check(layout.imagesBmp.size() >= 2 && layout.imagesBmp[0] == 'B' &&
                  layout.imagesBmp[1] == 'M' && layout.masksBmp.size() >= 2 &&
                  layout.masksBmp[0] == 'B' && layout.masksBmp[1] == 'M',
              "both parts of the older layout are bitmap files");
        // The window layer reads both parts as bitmaps next.
        for (const auto* part : {&layout.imagesBmp, &layout.masksBmp}) {
            try {
                fuzz::CheckWholeBitmap(ReadBmp(*part));
            } catch (const Error&) {
            }
        }
    } catch (const Error&) {
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::span<const uint8_t> bytes(data, size);
    try {
        const IconListProperties list = ReadIconListFile(bytes);
        Check(list.width >= 1 && list.width <= kMaxIconListImageSize && list.height >= 1 &&
                  list.height <= kMaxIconListImageSize,
              "image sizes that are read lie in their range");
        // Everything the reader takes the writer must store, and the stored file reads the same.
        const IconListProperties again = ReadIconListFile(WriteIconListFile(list));
        Check(again == list, "a list that was read is written back unchanged");
        if (list.bitmap)
            ReadImageData(*list.bitmap);
    } catch (const Error&) {
    }
    // The image data alone, so the fuzzer need not build a whole file to reach its readers.
    ReadImageData(bytes);
    return 0;
}

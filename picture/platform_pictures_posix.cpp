// The native build has no metafile, icon or OLE picture decoders: such files fail with the
// decoder's own error, as on a system without them.
#include "base/error.h"
#include "picture/picture_decoders.h"

namespace corvalo {

DecodedPicture DecodeMetafile(std::span<const uint8_t>) {
    throw Error(L"Metafile is not valid");
}

DecodedPicture DecodeIcon(std::span<const uint8_t>) {
    throw Error(L"Icon image is not valid");
}

DecodedPicture DecodeOlePicture(std::span<const uint8_t>) {
    throw Error(L"Picture format is not supported");
}

}  // namespace corvalo

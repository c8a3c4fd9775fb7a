// WebP pictures through libwebp: lossy, lossless, with alpha, and the first frame of an
// animation composed on its canvas as the file says; shown as its EXIF orientation says.
#include "base/error.h"
#include "picture/orientation.h"
#include "picture/picture_decoders.h"

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include <webp/decode.h>
#include <webp/demux.h>

namespace corvalo {
namespace {

constexpr wchar_t kInvalidWebPData[] = L"Invalid WebP data";
constexpr wchar_t kLibraryError[] = L"WebP error #%s (%s)";

// The library's own names for its status codes, as its tools print them.
const wchar_t* StatusName(VP8StatusCode status) {
    switch (status) {
        case VP8_STATUS_OUT_OF_MEMORY:
            return L"OUT_OF_MEMORY";
        case VP8_STATUS_INVALID_PARAM:
            return L"INVALID_PARAM";
        case VP8_STATUS_BITSTREAM_ERROR:
            return L"BITSTREAM_ERROR";
        case VP8_STATUS_UNSUPPORTED_FEATURE:
            return L"UNSUPPORTED_FEATURE";
        case VP8_STATUS_SUSPENDED:
            return L"SUSPENDED";
        case VP8_STATUS_USER_ABORT:
            return L"USER_ABORT";
        case VP8_STATUS_NOT_ENOUGH_DATA:
            return L"NOT_ENOUGH_DATA";
        default:
            return L"UNKNOWN";
    }
}

[[noreturn]] void LibraryError(VP8StatusCode status) {
    throw Error(FillText(kLibraryError, {std::to_wstring(int(status)), StatusName(status)}));
}

struct DemuxCloser {
    void operator()(WebPDemuxer* demux) const { WebPDemuxDelete(demux); }
};
struct AnimationCloser {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

// The orientation the file's EXIF chunk names; 1 without one. The chunk holds the TIFF structure
// itself, which some writers precede with the "Exif" header a JPEG file's segment has.
int FileOrientation(const WebPDemuxer* demux) {
    WebPChunkIterator chunk{};
    if (!WebPDemuxGetChunk(demux, "EXIF", 1, &chunk))
        return 1;
    std::vector<uint8_t> block;
    static constexpr uint8_t kExifHeader[] = {'E', 'x', 'i', 'f', 0, 0};
    const uint8_t* bytes = chunk.chunk.bytes;
    const size_t size = chunk.chunk.size;
    if (size < sizeof(kExifHeader) || std::memcmp(bytes, kExifHeader, sizeof(kExifHeader)) != 0)
        block.assign(std::begin(kExifHeader), std::end(kExifHeader));
    block.insert(block.end(), bytes, bytes + size);
    WebPDemuxReleaseChunkIterator(&chunk);
    return ExifOrientation(block);
}

// A still picture decoded by the library into `pixels` (`stride` bytes a row, `size` in all), in
// `mode`; its size must be the canvas's.
void Decode(std::span<const uint8_t> file, WEBP_CSP_MODE mode, uint8_t* pixels, size_t stride,
            size_t size, uint32_t width, uint32_t height) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        throw Error(kInvalidWebPData);
    config.output.colorspace = mode;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = pixels;
    config.output.u.RGBA.stride = int(stride);
    config.output.u.RGBA.size = size;
    const VP8StatusCode status = WebPDecode(file.data(), file.size(), &config);
    WebPFreeDecBuffer(&config.output);
    if (status != VP8_STATUS_OK)
        LibraryError(status);
    if (uint32_t(config.input.width) != width || uint32_t(config.input.height) != height)
        throw Error(kInvalidWebPData);
}

}  // namespace

DecodedPicture DecodeWebp(std::span<const uint8_t> file) {
    WebPBitstreamFeatures features{};
    if (const VP8StatusCode status = WebPGetFeatures(file.data(), file.size(), &features);
        status != VP8_STATUS_OK) {
        LibraryError(status);
    }
    const WebPData data{file.data(), file.size()};
    std::unique_ptr<WebPDemuxer, DemuxCloser> demux(WebPDemux(&data));
    if (!demux)
        throw Error(kInvalidWebPData);
    const uint32_t width = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    const uint32_t height = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    // Before any pixel memory: the size limit applies to what the header claims.
    CheckPictureSize(width, height, kInvalidWebPData);
    const int orientation = FileOrientation(demux.get());
    DecodedPicture picture;
    picture.bitmap = SwapsSides(orientation) ? NewPictureBitmap(height, width, kInvalidWebPData)
                                             : NewPictureBitmap(width, height, kInvalidWebPData);
    picture.transparent = features.has_alpha != 0;
    Bitmap& shown = picture.bitmap;
    const bool upright = orientation == 1;

    // The common case, an opaque still picture stored upright, is decoded straight into the
    // picture's rows.
    if (!features.has_alpha && !features.has_animation && upright) {
        Decode(file, MODE_BGR, shown.Row(0), shown.Stride(), shown.Stride() * height, width,
               height);
        return picture;
    }

    const size_t stride = size_t(width) * 4;
    std::vector<uint8_t> rgba(stride * height);
    if (features.has_animation) {
        // The first frame on the canvas, composed (blended, disposed) as the file says.
        WebPAnimDecoderOptions options;
        if (!WebPAnimDecoderOptionsInit(&options))
            throw Error(kInvalidWebPData);
        options.color_mode = MODE_RGBA;
        options.use_threads = 0;
        std::unique_ptr<WebPAnimDecoder, AnimationCloser> animation(
            WebPAnimDecoderNew(&data, &options));
        uint8_t* frame = nullptr;
        int timestamp = 0;
        if (!animation || !WebPAnimDecoderGetNext(animation.get(), &frame, &timestamp) || !frame)
            LibraryError(VP8_STATUS_BITSTREAM_ERROR);
        std::memcpy(rgba.data(), frame, rgba.size());
    } else {
        Decode(file, MODE_RGBA, rgba.data(), stride, rgba.size(), width, height);
    }

    // Onto white, as a PNG's alpha is; then turned upright, where the file says it is not.
    std::vector<uint8_t> turned;
    if (!upright)
        turned.resize(size_t(width) * 3 * height);
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* in = rgba.data() + size_t(y) * stride;
        uint8_t* out = upright ? shown.Row(int(y)) : turned.data() + size_t(y) * width * 3;
        for (uint32_t x = 0; x < width; ++x, in += 4, out += 3) {
            const unsigned a = in[3];
            for (int c = 0; c < 3; ++c) {
                const unsigned t = in[2 - c] * a + 255u * (255u - a) + 128u;
                out[c] = uint8_t((t + (t >> 8)) >> 8);
            }
        }
    }
    if (!upright) {
        PlaceStoredRows(shown, orientation, int(width), int(height), 0, int(height), turned.data(),
                        size_t(width) * 3);
    }
    return picture;
}

}  // namespace corvalo

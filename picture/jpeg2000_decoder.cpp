// JPEG 2000 pictures through OpenJPEG: JP2 files and raw codestreams, read from memory.
#include "base/error.h"
#include "picture/picture_decoders.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <optional>
#include <vector>

#include <openjpeg.h>

namespace corvalo {

namespace {

constexpr wchar_t kUnknownType[] = L"Unknown JPEG 2000 file type";
constexpr wchar_t kDecodingFailed[] = L"JPEG 2000 image decoding failed";

[[noreturn]] void Failed() {
    throw Error(kDecodingFailed);
}

struct Jpeg2000Source {
    const uint8_t* data;
    size_t size;
    size_t offset;
};

OPJ_SIZE_T ReadBytes(void* buffer, OPJ_SIZE_T count, void* user) {
    auto* source = static_cast<Jpeg2000Source*>(user);
    if (source->offset >= source->size) {
        return OPJ_SIZE_T(-1);
    }
    const size_t n = std::min<size_t>(count, source->size - source->offset);
    std::memcpy(buffer, source->data + source->offset, n);
    source->offset += n;
    return n;
}

OPJ_OFF_T SkipBytes(OPJ_OFF_T count, void* user) {
    auto* source = static_cast<Jpeg2000Source*>(user);
    if (count < 0 ? uint64_t(-count) > source->offset
                  : uint64_t(count) > source->size - source->offset) {
        return -1;
    }
    source->offset = size_t(int64_t(source->offset) + count);
    return count;
}

OPJ_BOOL SeekTo(OPJ_OFF_T position, void* user) {
    auto* source = static_cast<Jpeg2000Source*>(user);
    if (position < 0 || uint64_t(position) > source->size) {
        return OPJ_FALSE;
    }
    source->offset = size_t(position);
    return OPJ_TRUE;
}

void Quiet(const char*, void*) {}

uint32_t Be16(const uint8_t* p) {
    return uint32_t(p[0]) << 8 | p[1];
}
uint32_t Be32(const uint8_t* p) {
    return Be16(p) << 16 | Be16(p + 2);
}

// Where the codestream starts: the file itself, or the contents of a JP2 file's codestream box.
std::optional<size_t> CodestreamStart(std::span<const uint8_t> file, bool jp2) {
    if (!jp2) {
        return 0;
    }
    size_t at = 0;
    while (file.size() - at >= 8) {
        uint64_t length = Be32(&file[at]);
        const uint32_t type = Be32(&file[at + 4]);
        size_t header = 8;
        if (length == 1) {  // a 64-bit length follows the type
            if (file.size() - at < 16) {
                return std::nullopt;
            }
            length = uint64_t(Be32(&file[at + 8])) << 32 | Be32(&file[at + 12]);
            header = 16;
        } else if (length == 0) {  // the box runs to the end of the file
            length = file.size() - at;
        }
        if (length < header || length > file.size() - at) {
            return std::nullopt;
        }
        if (type == 0x6A703263) {  // "jp2c"
            return at + header;
        }
        at += size_t(length);
    }
    return std::nullopt;
}

// What the codestream's size marker asks of the decoder: OpenJPEG takes memory for every tile of
// every component as soon as it reads the header, and for every sample when it decodes, so a file
// of a few hundred bytes could otherwise make it take gigabytes and seconds.
void CheckDecoderWork(std::span<const uint8_t> file, bool jp2) {
    const std::optional<size_t> start = CodestreamStart(file, jp2);
    // Start and size markers, Lsiz, Rsiz, eight 32-bit sizes and offsets, Csiz.
    constexpr size_t kFixedSize = 4 + 2 + 2 + 32 + 2;
    if (!start || file.size() - *start < kFixedSize) {
        Failed();
    }
    const uint8_t* siz = file.data() + *start;
    if (Be16(siz) != 0xFF4F || Be16(siz + 2) != 0xFF51) {
        Failed();
    }
    const uint64_t x1 = Be32(siz + 8), y1 = Be32(siz + 12);
    const uint64_t x0 = Be32(siz + 16), y0 = Be32(siz + 20);
    const uint64_t tileWidth = Be32(siz + 24), tileHeight = Be32(siz + 28);
    const uint64_t tileX0 = Be32(siz + 32), tileY0 = Be32(siz + 36);
    const uint32_t components = Be16(siz + 40);
    if (x1 <= x0 || y1 <= y0 || tileWidth == 0 || tileHeight == 0 || tileX0 > x0 || tileY0 > y0 ||
        components == 0 || file.size() - *start < kFixedSize + 3 * components) {
        Failed();
    }
    CheckPictureSize(x1 - x0, y1 - y0, kDecodingFailed);

    const uint64_t tiles =
        ((x1 - tileX0 + tileWidth - 1) / tileWidth) * ((y1 - tileY0 + tileHeight - 1) / tileHeight);
    if (tiles * components > kMaxJpeg2000TileComponents) {
        Failed();
    }
    // Every tile has at least one tile-part: its start marker segment and the start of its data,
    // 14 bytes. A codestream too short for all of them is damaged, and OpenJPEG would make up each
    // missing tile, one by one.
    constexpr uint64_t kSmallestTilePart = 12 + 2;
    if (tiles > (file.size() - *start) / kSmallestTilePart) {
        Failed();
    }
    uint64_t samples = 0;
    for (uint32_t c = 0; c < components; ++c) {
        const uint64_t dx = siz[kFixedSize + 3 * c + 1], dy = siz[kFixedSize + 3 * c + 2];
        if (dx == 0 || dy == 0) {
            Failed();
        }
        samples +=
            ((x1 + dx - 1) / dx - (x0 + dx - 1) / dx) * ((y1 + dy - 1) / dy - (y0 + dy - 1) / dy);
    }
    if (samples > kMaxJpeg2000Samples) {
        throw Error(L"Invalid image size");
    }
}

struct CodecCloser {
    void operator()(opj_codec_t* codec) const { opj_destroy_codec(codec); }
};
struct StreamCloser {
    void operator()(opj_stream_t* stream) const { opj_stream_destroy(stream); }
};
struct ImageCloser {
    void operator()(opj_image_t* image) const { opj_image_destroy(image); }
};

// One component's samples as 8-bit values, whatever its precision and sign, on the picture's own
// grid: a component's samples sit every dx columns and dy rows of the reference grid, from the
// first multiple of dx and dy inside the picture's area (which need not start at 0), so a pixel
// takes the sample at or before it.
struct Jpeg2000Channel {
    const opj_image_comp_t* comp;
    int shift;     // right shift for precisions over 8
    int scale;     // multiplier for precisions under 8 (then divided by the maximum)
    int offset;    // added to signed samples
    unsigned max;  // largest sample at the precision
    uint32_t dx, dy;
    uint32_t originX, originY;  // the picture's first column and row on the grid

    Jpeg2000Channel(const opj_image_t& image, const opj_image_comp_t* c)
        : comp(c),
          dx(std::max<uint32_t>(c->dx, 1)),
          dy(std::max<uint32_t>(c->dy, 1)),
          originX(image.x0),
          originY(image.y0) {
        const int prec = std::clamp<int>(int(c->prec), 1, 31);
        shift = prec > 8 ? prec - 8 : 0;
        scale = prec < 8 ? 255 : 0;
        max = prec < 8 ? (1u << prec) - 1u : 0;
        offset = c->sgnd ? int(1u << (prec - 1)) : 0;
    }
    static uint32_t Index(uint64_t grid, uint32_t step, uint32_t first, uint32_t count) {
        const uint64_t sample = grid / step;
        return sample <= first ? 0 : uint32_t(std::min<uint64_t>(sample - first, count - 1));
    }
    uint8_t At(uint32_t x, uint32_t y) const {
        const uint32_t cx = Index(uint64_t(originX) + x, dx, comp->x0, comp->w);
        const uint32_t cy = Index(uint64_t(originY) + y, dy, comp->y0, comp->h);
        int64_t v = int64_t(comp->data[size_t(cy) * comp->w + cx]) + offset;
        if (scale) {
            v = v * scale / int64_t(max);
        } else {
            v >>= shift;
        }
        return uint8_t(std::clamp<int64_t>(v, 0, 255));
    }
    // Subsampled more coarsely than `other`.
    bool CoarserThan(const Jpeg2000Channel& other) const { return dx > other.dx || dy > other.dy; }
};

uint8_t Clamp8(int v) {
    return uint8_t(std::clamp(v, 0, 255));
}

}  // namespace

DecodedPicture DecodeJpeg2000(std::span<const uint8_t> file) {
    static constexpr uint8_t kJp2Signature[] = {0x00, 0x00, 0x00, 0x0C, 0x6A, 0x50, 0x20, 0x20};
    static constexpr uint8_t kCodestreamSignature[] = {0xFF, 0x4F, 0xFF, 0x51};
    OPJ_CODEC_FORMAT format;
    if (file.size() >= 8 && std::memcmp(file.data(), kJp2Signature, 8) == 0) {
        format = OPJ_CODEC_JP2;
    } else if (file.size() >= 4 && std::memcmp(file.data(), kCodestreamSignature, 4) == 0) {
        format = OPJ_CODEC_J2K;
    } else {
        throw Error(kUnknownType);
    }
    CheckDecoderWork(file, format == OPJ_CODEC_JP2);

    std::unique_ptr<opj_codec_t, CodecCloser> codec(opj_create_decompress(format));
    if (!codec) {
        Failed();
    }
    opj_set_error_handler(codec.get(), Quiet, nullptr);
    opj_set_warning_handler(codec.get(), Quiet, nullptr);
    opj_set_info_handler(codec.get(), Quiet, nullptr);
    opj_dparameters_t parameters;
    opj_set_default_decoder_parameters(&parameters);
    if (!opj_setup_decoder(codec.get(), &parameters) ||
        !opj_decoder_set_strict_mode(codec.get(), OPJ_TRUE)) {  // a truncated file is an error
        Failed();
    }

    Jpeg2000Source source{file.data(), file.size(), 0};
    std::unique_ptr<opj_stream_t, StreamCloser> stream(opj_stream_create(1 << 16, OPJ_TRUE));
    if (!stream) {
        Failed();
    }
    opj_stream_set_user_data(stream.get(), &source, nullptr);
    opj_stream_set_user_data_length(stream.get(), file.size());
    opj_stream_set_read_function(stream.get(), ReadBytes);
    opj_stream_set_skip_function(stream.get(), SkipBytes);
    opj_stream_set_seek_function(stream.get(), SeekTo);

    opj_image_t* header = nullptr;
    if (!opj_read_header(stream.get(), codec.get(), &header)) {
        opj_image_destroy(header);
        Failed();
    }
    std::unique_ptr<opj_image_t, ImageCloser> image(header);
    if (image->numcomps == 0 || image->x1 <= image->x0 || image->y1 <= image->y0) {
        Failed();
    }
    const uint32_t width = image->x1 - image->x0;
    const uint32_t height = image->y1 - image->y0;
    // Before any decoding: the size limit applies to what the header claims.
    DecodedPicture picture;
    picture.bitmap = NewPictureBitmap(width, height, kDecodingFailed);
    if (!opj_decode(codec.get(), stream.get(), image.get()) ||
        !opj_end_decompress(codec.get(), stream.get())) {
        Failed();
    }
    const uint32_t count = image->numcomps;
    for (uint32_t i = 0; i < count; ++i) {
        const opj_image_comp_t& comp = image->comps[i];
        if (!comp.data || comp.w == 0 || comp.h == 0) {
            Failed();
        }
    }

    // The colour channels, and the opacity channel that a JP2 file's channel definitions may name
    // (OpenJPEG has put the colour channels in their order by then).
    std::vector<Jpeg2000Channel> colours;
    std::optional<Jpeg2000Channel> opacity;
    bool premultiplied = false;
    for (uint32_t i = 0; i < count; ++i) {
        const opj_image_comp_t& comp = image->comps[i];
        if (comp.alpha == 0) {
            colours.emplace_back(*image, &comp);
        } else if (!opacity) {
            opacity.emplace(*image, &comp);
            premultiplied = comp.alpha == 2;
        }
    }
    // Without channel definitions, a fourth component after three colour components is opacity,
    // as OpenJPEG's own tools read it; four inks are a CMYK file's, which says so.
    if (!opacity && colours.size() == 4 && image->color_space != OPJ_CLRSPC_CMYK) {
        opacity = colours.back();
        colours.pop_back();
    }
    if (colours.empty()) {
        Failed();
    }
    // Grey, colour (RGB or YCC), or CMYK.
    const bool colour = colours.size() >= 3;
    bool ycc =
        colour && (image->color_space == OPJ_CLRSPC_SYCC || image->color_space == OPJ_CLRSPC_EYCC);
    // A bare codestream says nothing about its colours. Three components whose second and third
    // are subsampled are luma and chroma, as OpenJPEG's own tools read them; full-resolution ones
    // are RGB.
    if (format == OPJ_CODEC_J2K && colours.size() == 3 && colours[1].CoarserThan(colours[0]) &&
        colours[2].CoarserThan(colours[0])) {
        ycc = true;
    }
    const bool cmyk = colours.size() >= 4 && image->color_space == OPJ_CLRSPC_CMYK;
    const Jpeg2000Channel& c0 = colours[0];
    const Jpeg2000Channel& c1 = colours[colour ? 1 : 0];
    const Jpeg2000Channel& c2 = colours[colour ? 2 : 0];
    const Jpeg2000Channel& c3 = colours[cmyk ? 3 : 0];
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* out = picture.bitmap.Row(int(y));
        for (uint32_t x = 0; x < width; ++x, out += 3) {
            int r = c0.At(x, y), g = c1.At(x, y), b = c2.At(x, y);
            if (ycc) {
                const int cb = g - 128, cr = b - 128, luma = r;
                r = Clamp8(luma + (91881 * cr + 32768) / 65536);
                g = Clamp8(luma - (22554 * cb + 46802 * cr + 32768) / 65536);
                b = Clamp8(luma + (116130 * cb + 32768) / 65536);
            } else if (cmyk) {
                const int k = 255 - c3.At(x, y);
                r = (255 - r) * k / 255;
                g = (255 - g) * k / 255;
                b = (255 - b) * k / 255;
            }
            if (opacity) {
                // Partly transparent pixels are blended onto the white background.
                const int a = opacity->At(x, y);
                if (premultiplied) {
                    r = std::min(255, r + 255 - a);
                    g = std::min(255, g + 255 - a);
                    b = std::min(255, b + 255 - a);
                } else {
                    r = (r * a + 255 * (255 - a) + 127) / 255;
                    g = (g * a + 255 * (255 - a) + 127) / 255;
                    b = (b * a + 255 * (255 - a) + 127) / 255;
                }
            }
            out[0] = uint8_t(b);
            out[1] = uint8_t(g);
            out[2] = uint8_t(r);
        }
    }
    return picture;
}

}  // namespace corvalo

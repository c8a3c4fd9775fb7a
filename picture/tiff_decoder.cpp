// TIFF pictures through libtiff's RGBA interface, read from memory and shown the way their
// Orientation tag says; and the TIFF preview of an Encapsulated PostScript file.
#include "base/error.h"
#include "base/text.h"
#include "picture/orientation.h"
#include "picture/picture_decoders.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>

#include <tiffio.h>

namespace corvalo {

namespace {

constexpr wchar_t kTiffNotValid[] = L"TIFF image is not valid";

struct TiffSource {
    const uint8_t* data;
    uint64_t size;
    uint64_t offset;
    char message[256];
};

tmsize_t ReadBytes(thandle_t handle, void* buffer, tmsize_t count) {
    auto* source = static_cast<TiffSource*>(handle);
    if (count <= 0 || source->offset >= source->size) {
        return 0;
    }
    const uint64_t n = std::min<uint64_t>(uint64_t(count), source->size - source->offset);
    std::memcpy(buffer, source->data + source->offset, size_t(n));
    source->offset += n;
    return tmsize_t(n);
}

tmsize_t WriteNothing(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t SeekTo(thandle_t handle, toff_t offset, int whence) {
    auto* source = static_cast<TiffSource*>(handle);
    uint64_t base = 0;
    if (whence == SEEK_CUR) {
        base = source->offset;
    } else if (whence == SEEK_END) {
        base = source->size;
    }
    // libtiff passes negative relative offsets as their two's complement.
    source->offset = base + offset;
    return source->offset;
}

int CloseNothing(thandle_t) {
    return 0;
}

toff_t SizeOf(thandle_t handle) {
    return static_cast<TiffSource*>(handle)->size;
}

// The data is in memory already: libtiff may read it in place.
int MapWhole(thandle_t handle, void** base, toff_t* size) {
    auto* source = static_cast<TiffSource*>(handle);
    *base = const_cast<uint8_t*>(source->data);
    *size = source->size;
    return 1;
}

void UnmapNothing(thandle_t, void*, toff_t) {}

// Keeps the first error's text; warnings are not shown.
int OnError(TIFF*, void* user, const char*, const char* format, va_list args) {
    auto* source = static_cast<TiffSource*>(user);
    if (source->message[0] == '\0') {
        std::vsnprintf(source->message, sizeof source->message, format, args);
    }
    return 1;
}

int OnWarning(TIFF*, void*, const char*, const char*, va_list) {
    return 1;
}

struct TiffCloser {
    void operator()(TIFF* tiff) const { TIFFClose(tiff); }
};
struct OptionsFree {
    void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

void KeepReason(TiffSource& source, const char* reason) {
    if (source.message[0] == '\0') {
        std::snprintf(source.message, sizeof source.message, "%s", reason);
    }
}

[[noreturn]] void Fail(const TiffSource& source) {
    throw Error(source.message[0] ? AnsiToWide(source.message) : std::wstring(kTiffNotValid));
}

}  // namespace

DecodedPicture DecodeTiff(std::span<const uint8_t> file) {
    TiffSource source{file.data(), file.size(), 0, {}};
    std::unique_ptr<TIFFOpenOptions, OptionsFree> options(TIFFOpenOptionsAlloc());
    if (!options) {
        throw std::bad_alloc();
    }
    TIFFOpenOptionsSetErrorHandlerExtR(options.get(), OnError, &source);
    TIFFOpenOptionsSetWarningHandlerExtR(options.get(), OnWarning, &source);
    // A damaged directory must not make libtiff take more than the picture itself may.
    TIFFOpenOptionsSetMaxSingleMemAlloc(options.get(), tmsize_t(kMaxPicturePixels) * 4);
    std::unique_ptr<TIFF, TiffCloser> tiff(
        TIFFClientOpenExt("picture", "r", &source, ReadBytes, WriteNothing, SeekTo, CloseNothing,
                          SizeOf, MapWhole, UnmapNothing, options.get()));
    if (!tiff) {
        Fail(source);
    }
    char reason[1024] = {};
    if (!TIFFRGBAImageOK(tiff.get(), reason)) {
        KeepReason(source, reason);
        Fail(source);
    }
    uint32_t width = 0, height = 0;
    TIFFGetField(tiff.get(), TIFFTAG_IMAGEWIDTH, &width);
    TIFFGetField(tiff.get(), TIFFTAG_IMAGELENGTH, &height);
    CheckPictureSize(width, height, kTiffNotValid);

    TIFFRGBAImage reader{};
    if (!TIFFRGBAImageBegin(&reader, tiff.get(), 1, reason)) {
        KeepReason(source, reason);
        Fail(source);
    }
    struct ReaderEnd {
        TIFFRGBAImage* reader;
        ~ReaderEnd() { TIFFRGBAImageEnd(reader); }
    } readerEnd{&reader};
    // The raster as stored, and the picture turned upright here: libtiff's own turning only flips
    // and mirrors, which leaves orientations 5 to 8 wrong.
    const int orientation =
        reader.orientation >= 1 && reader.orientation <= 8 ? reader.orientation : 1;
    reader.req_orientation = reader.orientation;
    const bool turned = SwapsSides(orientation);
    DecodedPicture picture;
    picture.bitmap =
        NewPictureBitmap(turned ? height : width, turned ? width : height, kTiffNotValid);
    // A B,G,R,A raster (libtiff's ABGR words, little-endian in memory: R,G,B,A), alpha
    // premultiplied.
    std::vector<uint32_t> raster(size_t(width) * height);
    if (!TIFFRGBAImageGet(&reader, raster.data(), width, height)) {
        Fail(source);
    }
    if (source.message[0] != '\0') {
        Fail(source);  // a strip or tile failed to decode
    }
    // Stored rows a band at a time, drawn on white, then placed where they are seen.
    constexpr uint32_t kBandRows = 16;
    const size_t bandStride = size_t(width) * 3;
    std::vector<uint8_t> band(orientation == 1 ? 0 : bandStride * kBandRows);
    for (uint32_t first = 0; first < height; first += kBandRows) {
        const uint32_t end = std::min(height, first + kBandRows);
        for (uint32_t y = first; y < end; ++y) {
            const uint32_t* in = raster.data() + size_t(y) * width;
            uint8_t* out = orientation == 1 ? picture.bitmap.Row(int(y))
                                            : band.data() + (y - first) * bandStride;
            for (uint32_t x = 0; x < width; ++x, out += 3) {
                const uint32_t p = in[x];
                const unsigned white = 255u - TIFFGetA(p);  // premultiplied: add what shows through
                out[0] = uint8_t(std::min(255u, TIFFGetB(p) + white));
                out[1] = uint8_t(std::min(255u, TIFFGetG(p) + white));
                out[2] = uint8_t(std::min(255u, TIFFGetR(p) + white));
            }
        }
        if (orientation != 1) {
            PlaceStoredRows(picture.bitmap, orientation, int(width), int(height), int(first),
                            int(end - first), band.data(), bandStride);
        }
    }
    uint16_t photometric = 0;
    uint16_t* reds = nullptr;
    uint16_t* greens = nullptr;
    uint16_t* blues = nullptr;
    uint16_t bits = 0;
    TIFFGetFieldDefaulted(tiff.get(), TIFFTAG_BITSPERSAMPLE, &bits);
    if (TIFFGetField(tiff.get(), TIFFTAG_PHOTOMETRIC, &photometric) &&
        photometric == PHOTOMETRIC_PALETTE && bits >= 1 && bits <= 8 &&
        TIFFGetField(tiff.get(), TIFFTAG_COLORMAP, &reds, &greens, &blues)) {
        for (uint32_t i = 0; i < (1u << bits); ++i) {
            picture.palette.push_back(
                MakeColor(uint8_t(reds[i] >> 8), uint8_t(greens[i] >> 8), uint8_t(blues[i] >> 8)));
        }
    }
    return picture;
}

DecodedPicture DecodeEpsPreview(std::span<const uint8_t> file) {
    // The binary header: C5 D0 D3 C6, then PostScript, metafile and TIFF sections (offset and
    // length each, little-endian), then a checksum.
    static constexpr uint8_t kMagic[] = {0xC5, 0xD0, 0xD3, 0xC6};
    const auto u32 = [&](size_t at) {
        const uint8_t* p = file.data() + at;
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    };
    if (file.size() < 30 || std::memcmp(file.data(), kMagic, 4) != 0) {
        throw Error(L"Encapsulated PostScript file has no TIFF preview");
    }
    const uint64_t offset = u32(20);
    const uint64_t length = u32(24);
    if (offset == 0 || length == 0) {
        throw Error(L"Encapsulated PostScript file has no TIFF preview");
    }
    if (offset > file.size() || length > file.size() - offset) {
        throw Error(kStreamReadError);
    }
    return DecodeTiff(file.subspan(size_t(offset), size_t(length)));
}

}  // namespace corvalo

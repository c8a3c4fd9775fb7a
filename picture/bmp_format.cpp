#include "picture/bmp_format.h"

#include "base/error.h"
#include "picture/picture_decoders.h"

#include <algorithm>
#include <cstring>

namespace corvalo {

namespace {

constexpr size_t kFileHeaderSize = 14;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;

enum Compression : uint32_t {
    kRgb = 0,
    kRle8 = 1,
    kRle4 = 2,
    kBitFields = 3,
    kAlphaBitFields = 6,
};

[[noreturn]] void NotValid() {
    throw Error(kBitmapNotValid);
}
[[noreturn]] void TooShort() {
    throw Error(kStreamReadError);
}

// Little-endian reads that never leave the data: a read past the end is a stream read error.
class Bytes {
  public:
    explicit Bytes(std::span<const uint8_t> data) : data_(data) {}

    size_t Size() const { return data_.size(); }
    void Need(uint64_t at, uint64_t count) const {
        if (at > data_.size() || count > data_.size() - at) {
            TooShort();
        }
    }
    const uint8_t* At(uint64_t at, uint64_t count) const {
        Need(at, count);
        return data_.data() + at;
    }
    uint16_t U16(uint64_t at) const {
        const uint8_t* p = At(at, 2);
        return uint16_t(p[0] | p[1] << 8);
    }
    uint32_t U32(uint64_t at) const {
        const uint8_t* p = At(at, 4);
        return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    }
    int32_t I32(uint64_t at) const { return int32_t(U32(at)); }

  private:
    std::span<const uint8_t> data_;
};

// One colour channel of a bit-field pixel: where it sits and how wide it is.
struct MaskChannel {
    int shift = 0;
    int bits = 0;

    static MaskChannel FromMask(uint32_t mask) {
        MaskChannel c;
        if (mask == 0) {
            return c;
        }
        while (!(mask & 1u)) {
            mask >>= 1;
            ++c.shift;
        }
        while (mask & 1u) {
            mask >>= 1;
            ++c.bits;
        }
        if (mask != 0) {
            NotValid();  // the mask's bits are not contiguous
        }
        return c;
    }

    // The channel widened or narrowed to 8 bits; narrower channels repeat their top bits, so the
    // largest value becomes 255 (a 5-bit channel widens as the 5-5-5 format does).
    uint8_t Extract(uint32_t pixel) const {
        if (bits == 0) {
            return 0;
        }
        const uint32_t v = (pixel >> shift) & ((bits >= 32) ? 0xFFFFFFFFu : ((1u << bits) - 1));
        if (bits >= 8) {
            return uint8_t(v >> (bits - 8));
        }
        uint32_t out = v << (8 - bits);
        for (int filled = bits; filled < 8; filled += bits) {
            out |= out >> bits;
        }
        return uint8_t(out);
    }
};

struct Header {
    int width = 0;
    int height = 0;
    bool topDown = false;
    int bpp = 0;
    uint32_t compression = kRgb;
    uint32_t imageSize = 0;
    uint32_t colorsUsed = 0;
    uint32_t masks[3] = {0, 0, 0};
    uint64_t tableStart = 0;  // first colour table entry
    size_t entrySize = 4;     // RGBQUAD, or RGBTRIPLE for the core header
};

Header ReadHeader(const Bytes& in) {
    in.Need(0, kFileHeaderSize);
    if (in.At(0, 2)[0] != 'B' || in.At(0, 2)[1] != 'M') {
        NotValid();
    }
    Header h;
    const uint32_t headerSize = in.U32(kFileHeaderSize);
    const uint64_t at = kFileHeaderSize;
    if (headerSize == kCoreHeaderSize) {
        in.Need(at, headerSize);
        h.width = in.U16(at + 4);
        h.height = in.U16(at + 6);
        h.bpp = in.U16(at + 10);
        h.entrySize = 3;
        h.tableStart = at + headerSize;
        if (h.bpp != 1 && h.bpp != 4 && h.bpp != 8 && h.bpp != 24) {
            NotValid();
        }
        return h;
    }
    if (headerSize != kInfoHeaderSize && headerSize != 52 && headerSize != 56 &&
        headerSize != 108 && headerSize != 124) {
        NotValid();
    }
    in.Need(at, headerSize);
    const int32_t width = in.I32(at + 4);
    const int32_t height = in.I32(at + 8);
    h.bpp = in.U16(at + 14);
    h.compression = in.U32(at + 16);
    h.imageSize = in.U32(at + 20);
    h.colorsUsed = in.U32(at + 32);
    if (width < 0 || height == INT32_MIN) {
        NotValid();
    }
    h.width = width;
    h.topDown = height < 0;
    h.height = h.topDown ? -height : height;
    if (!IsValidBitsPerPixel(h.bpp)) {
        NotValid();
    }

    uint64_t tableStart = at + headerSize;
    switch (h.compression) {
        case kRgb:
            break;
        case kRle8:
        case kRle4:
            // Run-length pictures are always stored bottom-up.
            if (h.topDown || h.bpp != (h.compression == kRle8 ? 8 : 4)) {
                NotValid();
            }
            break;
        case kBitFields:
        case kAlphaBitFields: {
            if (h.bpp != 16 && h.bpp != 32) {
                NotValid();
            }
            // The info header has no room for the masks: they follow it (with an alpha mask for
            // the alpha variant, which is not used).
            uint64_t masksAt = at + 40;
            if (headerSize == kInfoHeaderSize) {
                tableStart += h.compression == kAlphaBitFields ? 16 : 12;
            }
            for (int i = 0; i < 3; ++i) {
                h.masks[i] = in.U32(masksAt + 4 * uint64_t(i));
            }
            break;
        }
        default:
            NotValid();  // JPEG, PNG or a kind this reader does not know
    }
    h.tableStart = tableStart;
    return h;
}

void DecodeRle(const Bytes& in, uint64_t start, uint64_t end, const Header& h, Bitmap& out) {
    const bool rle8 = h.compression == kRle8;
    const auto put = [&](long long x, long long y, unsigned index) {
        if (x < h.width && y < h.height) {
            uint8_t* row = out.Row(int(h.height - 1 - y));
            if (rle8) {
                row[x] = uint8_t(index);
            } else if (x & 1) {
                row[x >> 1] = uint8_t((row[x >> 1] & 0xF0u) | (index & 0x0Fu));
            } else {
                row[x >> 1] = uint8_t((row[x >> 1] & 0x0Fu) | (index << 4));
            }
        }
    };
    long long x = 0, y = 0;
    uint64_t pos = start;
    for (;;) {
        if (end - pos < 2) {
            // Data ends without an end-of-bitmap mark: fine once every row is done.
            if (y >= h.height) {
                return;
            }
            TooShort();
        }
        const uint8_t* p = in.At(pos, 2);
        pos += 2;
        const unsigned count = p[0], value = p[1];
        if (count > 0) {
            for (unsigned i = 0; i < count; ++i) {
                put(x + i, y, rle8 ? value : ((i & 1) ? (value & 0x0Fu) : (value >> 4)));
            }
            x += count;
            continue;
        }
        switch (value) {
            case 0:  // end of line
                x = 0;
                ++y;
                break;
            case 1:  // end of bitmap
                return;
            case 2: {  // move right and up
                if (end - pos < 2) {
                    TooShort();
                }
                const uint8_t* d = in.At(pos, 2);
                pos += 2;
                x += d[0];
                y += d[1];
                break;
            }
            default: {  // `value` pixels stored as they are, padded to a 16-bit boundary
                const uint64_t bytes = rle8 ? value : (value + 1) / 2;
                if (end - pos < bytes) {
                    TooShort();
                }
                const uint8_t* d = in.At(pos, bytes);
                for (unsigned i = 0; i < value; ++i) {
                    put(x + i, y, rle8 ? d[i] : ((i & 1) ? (d[i / 2] & 0x0Fu) : (d[i / 2] >> 4)));
                }
                x += value;
                pos += std::min<uint64_t>((bytes + 1) & ~uint64_t(1), end - pos);
                break;
            }
        }
    }
}

}  // namespace

Bitmap ReadBmp(std::span<const uint8_t> file) {
    return ReadBmp(file, kMaxBitmapBytes);
}

Bitmap ReadBmp(std::span<const uint8_t> file, size_t maxPixelBytes) {
    const Bytes in(file);
    const Header h = ReadHeader(in);
    const uint32_t pixelOffset = in.U32(10);

    // Pixel format of the result.
    int outBpp = h.bpp;
    MaskChannel channels[3];
    bool convert = false;
    if (h.compression == kBitFields || h.compression == kAlphaBitFields) {
        for (int i = 0; i < 3; ++i) {
            channels[i] = MaskChannel::FromMask(h.masks[i]);
        }
        if (h.bpp == 16) {
            convert = !(h.masks[0] == 0x7C00 && h.masks[1] == 0x03E0 && h.masks[2] == 0x001F);
            outBpp = convert ? 24 : 16;
        } else {
            convert =
                !(h.masks[0] == 0x00FF0000 && h.masks[1] == 0x0000FF00 && h.masks[2] == 0x000000FF);
        }
    }
    if (h.width > kMaxBitmapSide || h.height > kMaxBitmapSide ||
        uint64_t(DibStride(h.width, outBpp)) * uint64_t(h.height) >
            std::min<uint64_t>(maxPixelBytes, kMaxBitmapBytes)) {
        NotValid();
    }
    // Skips and an early end leave a run-length picture's pixels unstored, so a few bytes may
    // claim any size: it is held to the picture loader's limit wherever it is read, or those few
    // bytes could take gigabytes.
    if ((h.compression == kRle8 || h.compression == kRle4) &&
        uint64_t(h.width) * uint64_t(h.height) > kMaxPicturePixels) {
        throw Error(L"Invalid image size");
    }

    // Colour table. A table shorter than declared ends where the pixels begin; an offset that
    // points into the headers (some writers leave it 0) means the pixels follow the table.
    const uint64_t maxEntries = h.bpp <= 8 ? (uint64_t(1) << h.bpp) : 256;
    uint64_t tableEntries =
        h.colorsUsed != 0 ? h.colorsUsed : (h.bpp <= 8 ? (uint64_t(1) << h.bpp) : 0);
    uint64_t pixelStart = pixelOffset;
    if (pixelOffset >= h.tableStart) {
        tableEntries = std::min<uint64_t>(tableEntries, (pixelOffset - h.tableStart) / h.entrySize);
    } else {
        pixelStart = h.tableStart + tableEntries * h.entrySize;
    }
    const uint64_t keptEntries = std::min(tableEntries, maxEntries);
    std::vector<Color> palette(static_cast<size_t>(keptEntries));
    {
        const uint8_t* table = in.At(h.tableStart, keptEntries * h.entrySize);
        for (size_t i = 0; i < palette.size(); ++i, table += h.entrySize) {
            palette[i] = MakeColor(table[2], table[1], table[0]);
        }
    }

    const size_t outStride = DibStride(h.width, outBpp);
    std::vector<uint8_t> pixels;

    if (h.compression == kRle8 || h.compression == kRle4) {
        uint64_t end = in.Size();
        if (h.imageSize != 0) {
            in.Need(pixelStart, h.imageSize);
            end = pixelStart + h.imageSize;
        } else {
            in.Need(pixelStart, 0);
        }
        pixels.assign(outStride * size_t(h.height), 0);
        Bitmap out = Bitmap::FromPixels(h.width, h.height, outBpp, std::move(pixels), palette);
        if (!out.Empty()) {
            DecodeRle(in, pixelStart, end, h, out);
        }
        return out;
    }

    const size_t inStride = DibStride(h.width, h.bpp);
    const uint8_t* data = in.At(pixelStart, uint64_t(inStride) * uint64_t(h.height));
    pixels.resize(outStride * size_t(h.height));
    // A picture of no width has rows of no bytes, and its empty buffer no address to copy to.
    for (int y = 0; h.width > 0 && y < h.height; ++y) {
        const uint8_t* src = data + size_t(h.topDown ? y : h.height - 1 - y) * inStride;
        uint8_t* dst = pixels.data() + size_t(y) * outStride;
        if (!convert) {
            std::memcpy(dst, src, inStride);
            continue;
        }
        for (int x = 0; x < h.width; ++x) {
            uint32_t v;
            if (h.bpp == 16) {
                v = uint32_t(src[2 * size_t(x)]) | uint32_t(src[2 * size_t(x) + 1]) << 8;
            } else {
                const uint8_t* p = src + 4 * size_t(x);
                v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                    uint32_t(p[3]) << 24;
            }
            uint8_t* q = dst + size_t(x) * size_t(outBpp / 8);
            q[0] = channels[2].Extract(v);
            q[1] = channels[1].Extract(v);
            q[2] = channels[0].Extract(v);
        }
    }
    return Bitmap::FromPixels(h.width, h.height, outBpp, std::move(pixels), palette);
}

std::vector<uint8_t> WriteBmp(const Bitmap& bitmap) {
    const int bpp = bitmap.BitsPerPixel();
    std::vector<Color> table = bitmap.Palette();
    uint32_t colorsUsed = uint32_t(table.size());
    if (bpp <= 8 && table.empty()) {
        // A palette picture needs its table; an absent one reads as black.
        table.assign(size_t(1) << bpp, kBlack);
        colorsUsed = 0;
    }
    const size_t stride = bitmap.Stride();
    const size_t imageSize = stride * size_t(bitmap.Height());
    const size_t pixelOffset = kFileHeaderSize + kInfoHeaderSize + 4 * table.size();

    std::vector<uint8_t> out;
    out.reserve(pixelOffset + imageSize);
    const auto u16 = [&](uint32_t v) {
        out.push_back(uint8_t(v));
        out.push_back(uint8_t(v >> 8));
    };
    const auto u32 = [&](uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    };
    out.push_back('B');
    out.push_back('M');
    u32(uint32_t(pixelOffset + imageSize));
    u32(0);  // reserved
    u32(uint32_t(pixelOffset));
    u32(kInfoHeaderSize);
    u32(uint32_t(bitmap.Width()));
    u32(uint32_t(bitmap.Height()));  // positive: rows bottom-up
    u16(1);                          // planes
    u16(uint32_t(bpp));
    u32(kRgb);
    u32(uint32_t(imageSize));
    u32(0);  // pixels per metre across
    u32(0);  // and down: not recorded
    u32(colorsUsed);
    u32(0);  // all colours important
    for (Color c : table) {
        out.push_back(BlueOf(c));
        out.push_back(GreenOf(c));
        out.push_back(RedOf(c));
        out.push_back(0);
    }
    for (int y = bitmap.Height() - 1; y >= 0; --y) {
        out.insert(out.end(), bitmap.Row(y), bitmap.Row(y) + stride);
    }
    return out;
}

}  // namespace corvalo

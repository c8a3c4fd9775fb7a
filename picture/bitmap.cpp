#include "picture/bitmap.h"

#include "base/error.h"

#include <algorithm>
#include <cstring>
#include <unordered_map>

namespace corvalo {

namespace {

constexpr wchar_t kInvalidImageSize[] = L"Invalid image size";
constexpr wchar_t kInvalidPixelFormat[] = L"Invalid pixel format";

bool IsPaletteFormat(int bpp) {
    return bpp <= 8;
}

size_t PaletteCapacity(int bpp) {
    return IsPaletteFormat(bpp) ? size_t(1) << bpp : 256;
}

// Widens a 5-bit channel to 8 bits by repeating its top bits, so 0 stays 0 and 31 becomes 255.
uint8_t Widen5(unsigned v) {
    return uint8_t((v << 3) | (v >> 2));
}

unsigned ReadIndex(const uint8_t* row, int x, int bpp) {
    switch (bpp) {
        case 1:
            return (row[x >> 3] >> (7 - (x & 7))) & 1u;
        case 4:
            return (x & 1) ? (row[x >> 1] & 0x0Fu) : (row[x >> 1] >> 4);
        default:
            return row[x];
    }
}

void WriteIndex(uint8_t* row, int x, int bpp, unsigned index) {
    switch (bpp) {
        case 1: {
            const uint8_t bit = uint8_t(0x80u >> (x & 7));
            row[x >> 3] = index ? uint8_t(row[x >> 3] | bit) : uint8_t(row[x >> 3] & ~bit);
            break;
        }
        case 4:
            if (x & 1) {
                row[x >> 1] = uint8_t((row[x >> 1] & 0xF0u) | (index & 0x0Fu));
            } else {
                row[x >> 1] = uint8_t((row[x >> 1] & 0x0Fu) | ((index & 0x0Fu) << 4));
            }
            break;
        default:
            row[x] = uint8_t(index);
            break;
    }
}

Color PaletteColor(const std::vector<Color>& palette, unsigned index) {
    return index < palette.size() ? palette[index] : kBlack;
}

// Writes one pixel given as a colour in a direct format, or as a palette index in a palette format.
void StoreDirect(uint8_t* row, int x, int bpp, Color c) {
    switch (bpp) {
        case 16: {
            const unsigned v = (unsigned(RedOf(c)) >> 3) << 10 | (unsigned(GreenOf(c)) >> 3) << 5 |
                               (unsigned(BlueOf(c)) >> 3);
            row[2 * x] = uint8_t(v);
            row[2 * x + 1] = uint8_t(v >> 8);
            break;
        }
        case 24: {
            uint8_t* p = row + 3 * size_t(x);
            p[0] = BlueOf(c);
            p[1] = GreenOf(c);
            p[2] = RedOf(c);
            break;
        }
        default: {
            uint8_t* p = row + 4 * size_t(x);
            p[0] = BlueOf(c);
            p[1] = GreenOf(c);
            p[2] = RedOf(c);
            p[3] = 0;
            break;
        }
    }
}

// Turns colours into palette indexes, remembering the last answers: pictures repeat colours.
class IndexCache {
  public:
    explicit IndexCache(const std::vector<Color>& palette) : palette_(palette) {}
    unsigned IndexOf(Color c) {
        auto it = cache_.find(c);
        if (it != cache_.end()) {
            return it->second;
        }
        const unsigned index = unsigned(NearestPaletteIndex(palette_, c));
        if (cache_.size() < 4096) {
            cache_.emplace(c, index);
        }
        return index;
    }

  private:
    const std::vector<Color>& palette_;
    std::unordered_map<Color, unsigned> cache_;
};

// Fills `count` pixels of a row from x with one colour (an index in a palette format).
void FillRow(uint8_t* row, int x, int count, int bpp, Color c, unsigned index) {
    if (count <= 0) {
        return;
    }
    if (bpp == 24) {
        uint8_t* p = row + 3 * size_t(x);
        if (RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c)) {
            std::memset(p, RedOf(c), 3 * size_t(count));
            return;
        }
        for (int i = 0; i < count; ++i, p += 3) {
            p[0] = BlueOf(c);
            p[1] = GreenOf(c);
            p[2] = RedOf(c);
        }
        return;
    }
    if (bpp == 8) {
        std::memset(row + x, int(index), size_t(count));
        return;
    }
    for (int i = 0; i < count; ++i) {
        if (IsPaletteFormat(bpp)) {
            WriteIndex(row, x + i, bpp, index);
        } else {
            StoreDirect(row, x + i, bpp, c);
        }
    }
}

}  // namespace

bool IsValidBitsPerPixel(int bpp) {
    return bpp == 1 || bpp == 4 || bpp == 8 || bpp == 16 || bpp == 24 || bpp == 32;
}

void CheckBitmapSize(int width, int height, int bpp) {
    if (!IsValidBitsPerPixel(bpp)) {
        throw Error(kInvalidPixelFormat);
    }
    if (width < 0 || height < 0 || width > kMaxBitmapSide || height > kMaxBitmapSide) {
        throw Error(kInvalidImageSize);
    }
    // Both factors are at most 65535 * 4 and 65535, so the product fits in 64 bits.
    if (uint64_t(DibStride(width, bpp)) * uint64_t(height) > kMaxBitmapBytes) {
        throw Error(kInvalidImageSize);
    }
}

int NearestPaletteIndex(const std::vector<Color>& palette, Color color) {
    int best = 0;
    long long bestDistance = -1;
    for (size_t i = 0; i < palette.size(); ++i) {
        const long long dr = int(RedOf(palette[i])) - int(RedOf(color));
        const long long dg = int(GreenOf(palette[i])) - int(GreenOf(color));
        const long long db = int(BlueOf(palette[i])) - int(BlueOf(color));
        const long long distance = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || distance < bestDistance) {
            best = int(i);
            bestDistance = distance;
            if (distance == 0) {
                break;
            }
        }
    }
    return best;
}

void ReadRowBgr(const Bitmap& bitmap, int y, int x, int count, uint8_t* bgr) {
    const uint8_t* row = bitmap.Row(y);
    switch (bitmap.BitsPerPixel()) {
        case 24:
            std::memcpy(bgr, row + 3 * size_t(x), 3 * size_t(count));
            return;
        case 32: {
            const uint8_t* p = row + 4 * size_t(x);
            for (int i = 0; i < count; ++i, p += 4, bgr += 3) {
                bgr[0] = p[0];
                bgr[1] = p[1];
                bgr[2] = p[2];
            }
            return;
        }
        case 16:
            for (int i = 0; i < count; ++i, bgr += 3) {
                const unsigned v = row[2 * size_t(x + i)] | unsigned(row[2 * size_t(x + i) + 1])
                                                                << 8;
                bgr[0] = Widen5(v & 31u);
                bgr[1] = Widen5((v >> 5) & 31u);
                bgr[2] = Widen5((v >> 10) & 31u);
            }
            return;
        default: {
            const int bpp = bitmap.BitsPerPixel();
            const std::vector<Color>& palette = bitmap.Palette();
            const int entries = 1 << bpp;
            if (count < entries) {
                // Too few pixels to pay for a table of the whole palette.
                for (int i = 0; i < count; ++i, bgr += 3) {
                    const Color c = PaletteColor(palette, ReadIndex(row, x + i, bpp));
                    bgr[0] = BlueOf(c);
                    bgr[1] = GreenOf(c);
                    bgr[2] = RedOf(c);
                }
                return;
            }
            // Each entry's bytes once, then one copy per pixel: a picture of a hundred
            // megapixels converts in a fraction of a second.
            uint8_t table[256][3];
            for (int i = 0; i < entries; ++i) {
                const Color c = PaletteColor(palette, unsigned(i));
                table[i][0] = BlueOf(c);
                table[i][1] = GreenOf(c);
                table[i][2] = RedOf(c);
            }
            if (bpp == 8) {
                for (int i = 0; i < count; ++i, bgr += 3) {
                    std::memcpy(bgr, table[row[x + i]], 3);
                }
            } else if (bpp == 4) {
                for (int i = 0; i < count; ++i, bgr += 3) {
                    const int at = x + i;
                    const unsigned index = (at & 1) ? (row[at >> 1] & 0x0Fu) : (row[at >> 1] >> 4);
                    std::memcpy(bgr, table[index], 3);
                }
            } else {
                for (int i = 0; i < count; ++i, bgr += 3) {
                    std::memcpy(bgr, table[ReadIndex(row, x + i, bpp)], 3);
                }
            }
            return;
        }
    }
}

Bitmap::Bitmap() = default;

void Bitmap::SetPalette(std::vector<Color> palette) {
    if (palette.size() > PaletteCapacity(bitsPerPixel_)) {
        palette.resize(PaletteCapacity(bitsPerPixel_));
    }
    for (Color& c : palette) {
        c &= 0x00FFFFFFu;
    }
    palette_ = std::move(palette);
}

void Bitmap::SetSize(int width, int height) {
    if (width == width_ && height == height_) {
        return;
    }
    CheckBitmapSize(width, height, bitsPerPixel_);

    unsigned whiteIndex = 0;
    std::vector<Color> palette = palette_;
    if (IsPaletteFormat(bitsPerPixel_)) {
        // A palette without white gets it when there is room, so new area really is white.
        const auto it = std::find(palette.begin(), palette.end(), kWhite);
        if (it == palette.end() && palette.size() < PaletteCapacity(bitsPerPixel_)) {
            palette.push_back(kWhite);
        }
        whiteIndex = unsigned(NearestPaletteIndex(palette, kWhite));
    }

    const size_t stride = DibStride(width, bitsPerPixel_);
    std::vector<uint8_t> pixels(stride * size_t(height), 0);
    const int keepWidth = std::min(width, width_);
    const int keepHeight = std::min(height, height_);
    const size_t keepBytes = (size_t(keepWidth) * size_t(bitsPerPixel_) + 7) / 8;
    for (int y = 0; y < height; ++y) {
        uint8_t* row = pixels.data() + size_t(y) * stride;
        if (y < keepHeight) {
            if (bitsPerPixel_ >= 8) {
                std::memcpy(row, Row(y), keepBytes);
            } else {
                for (int x = 0; x < keepWidth; ++x) {
                    WriteIndex(row, x, bitsPerPixel_, ReadIndex(Row(y), x, bitsPerPixel_));
                }
            }
            FillRow(row, keepWidth, width - keepWidth, bitsPerPixel_, kWhite, whiteIndex);
        } else {
            FillRow(row, 0, width, bitsPerPixel_, kWhite, whiteIndex);
        }
    }
    width_ = width;
    height_ = height;
    stride_ = stride;
    pixels_ = std::move(pixels);
    palette_ = std::move(palette);
}

void Bitmap::SetBitsPerPixel(int bpp) {
    if (!IsValidBitsPerPixel(bpp)) {
        throw Error(kInvalidPixelFormat);
    }
    if (bpp == bitsPerPixel_) {
        return;
    }
    CheckBitmapSize(width_, height_, bpp);
    const size_t stride = DibStride(width_, bpp);
    std::vector<uint8_t> pixels(stride * size_t(height_), 0);
    std::vector<Color> palette = palette_;

    if (!IsPaletteFormat(bpp)) {
        std::vector<uint8_t> line(3 * size_t(width_));
        for (int y = 0; y < height_; ++y) {
            uint8_t* row = pixels.data() + size_t(y) * stride;
            if (bpp == 24) {
                ReadRowBgr(*this, y, 0, width_, row);
                continue;
            }
            ReadRowBgr(*this, y, 0, width_, line.data());
            for (int x = 0; x < width_; ++x) {
                const uint8_t* p = &line[3 * size_t(x)];
                StoreDirect(row, x, bpp, MakeColor(p[2], p[1], p[0]));
            }
        }
    } else {
        const unsigned capacity = 1u << bpp;
        bool keepIndexes = IsPaletteFormat(bitsPerPixel_) && palette_.size() <= capacity;
        for (int y = 0; keepIndexes && y < height_; ++y) {
            for (int x = 0; x < width_; ++x) {
                if (ReadIndex(Row(y), x, bitsPerPixel_) >= capacity) {
                    keepIndexes = false;
                    break;
                }
            }
        }
        if (keepIndexes) {
            for (int y = 0; y < height_; ++y) {
                uint8_t* row = pixels.data() + size_t(y) * stride;
                for (int x = 0; x < width_; ++x) {
                    WriteIndex(row, x, bpp, ReadIndex(Row(y), x, bitsPerPixel_));
                }
            }
        } else {
            // Only an exact palette keeps the picture as it is; anything else would need
            // colour reduction, which this bitmap does not offer.
            palette.clear();
            std::unordered_map<Color, unsigned> indexOf;
            for (int y = 0; y < height_; ++y) {
                uint8_t* row = pixels.data() + size_t(y) * stride;
                for (int x = 0; x < width_; ++x) {
                    const Color c = PixelAt(x, y);
                    auto [it, added] = indexOf.emplace(c, unsigned(palette.size()));
                    if (added) {
                        if (palette.size() == capacity) {
                            throw Error(kInvalidPixelFormat);
                        }
                        palette.push_back(c);
                    }
                    WriteIndex(row, x, bpp, it->second);
                }
            }
        }
    }
    bitsPerPixel_ = bpp;
    stride_ = stride;
    pixels_ = std::move(pixels);
    palette_ = std::move(palette);
    if (palette_.size() > PaletteCapacity(bpp)) {
        palette_.resize(PaletteCapacity(bpp));
    }
}

Color Bitmap::PixelAt(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return kInvalidColor;
    }
    const uint8_t* row = Row(y);
    switch (bitsPerPixel_) {
        case 24:
        case 32: {
            const uint8_t* p = row + size_t(x) * size_t(bitsPerPixel_ / 8);
            return MakeColor(p[2], p[1], p[0]);
        }
        case 16: {
            const unsigned v = row[2 * size_t(x)] | unsigned(row[2 * size_t(x) + 1]) << 8;
            return MakeColor(Widen5((v >> 10) & 31u), Widen5((v >> 5) & 31u), Widen5(v & 31u));
        }
        default:
            return PaletteColor(palette_, ReadIndex(row, x, bitsPerPixel_));
    }
}

void Bitmap::SetPixel(int x, int y, Color color) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) {
        return;
    }
    if (IsPaletteFormat(bitsPerPixel_)) {
        WriteIndex(Row(y), x, bitsPerPixel_, unsigned(NearestPaletteIndex(palette_, color)));
    } else {
        StoreDirect(Row(y), x, bitsPerPixel_, color);
    }
}

void Bitmap::SetTransparentColor(Color color) {
    fixedColor_ = color & 0x00FFFFFFu;
    mode_ = TransparentMode::Fixed;
}

Color Bitmap::TransparentColor() const {
    if (mode_ == TransparentMode::Fixed) {
        return fixedColor_;
    }
    if (bitsPerPixel_ == 1 || Empty()) {
        return kWhite;
    }
    return PixelAt(0, height_ - 1);
}

Bitmap Bitmap::FromPixels(int width, int height, int bpp, std::vector<uint8_t> topDownPixels,
                          std::vector<Color> palette) {
    CheckBitmapSize(width, height, bpp);
    const size_t stride = DibStride(width, bpp);
    if (topDownPixels.size() != stride * size_t(height)) {
        throw Error(kBitmapNotValid);
    }
    Bitmap bitmap;
    bitmap.width_ = width;
    bitmap.height_ = height;
    bitmap.bitsPerPixel_ = bpp;
    bitmap.stride_ = stride;
    bitmap.pixels_ = std::move(topDownPixels);
    bitmap.SetPalette(std::move(palette));
    return bitmap;
}

Bitmap NewBitmap(std::optional<Color> fill) {
    Bitmap bitmap;
    if (fill) {
        FillBitmap(&bitmap, *fill);
    }
    return bitmap;
}

Bitmap NewSizedBitmap(int width, int height, std::optional<Color> fill) {
    Bitmap bitmap = NewBitmap(std::nullopt);
    bitmap.SetWidth(width);
    bitmap.SetHeight(height);
    if (fill) {
        FillBitmap(&bitmap, *fill);
    }
    return bitmap;
}

void FillBitmap(Bitmap* bitmap, Color color) {
    if (bitmap == nullptr) {
        return;
    }
    const Rect bounds = BitmapBounds(*bitmap);
    const int bpp = bitmap->BitsPerPixel();
    const unsigned index =
        IsPaletteFormat(bpp) ? unsigned(NearestPaletteIndex(bitmap->Palette(), color)) : 0;
    for (int y = bounds.top; y < bounds.bottom; ++y) {
        FillRow(bitmap->Row(y), bounds.left, bounds.right - bounds.left, bpp, color & 0x00FFFFFFu,
                index);
    }
}

Rect BitmapBounds(const Bitmap& bitmap) {
    return Rect{0, 0, bitmap.Width(), bitmap.Height()};
}

void DrawBitmap(Bitmap& dest, const Bitmap& src, int x, int y) {
    if (&dest == &src) {
        const Bitmap copy = src;
        DrawBitmap(dest, copy, x, y);
        return;
    }
    // Clip in 64 bits: x + width may not fit in an int.
    const long long left = std::max<long long>(x, 0);
    const long long top = std::max<long long>(y, 0);
    const long long right = std::min<long long>((long long)x + src.Width(), dest.Width());
    const long long bottom = std::min<long long>((long long)y + src.Height(), dest.Height());
    if (left >= right || top >= bottom) {
        return;
    }
    const int count = int(right - left);
    const int srcX = int(left - x);
    const int bpp = dest.BitsPerPixel();

    if (!src.Transparent() && src.BitsPerPixel() == bpp &&
        (bpp >= 16 || (bpp == 8 && src.Palette() == dest.Palette()))) {
        const size_t bytesPerPixel = size_t(bpp) / 8;
        for (long long row = top; row < bottom; ++row) {
            std::memcpy(dest.Row(int(row)) + size_t(left) * bytesPerPixel,
                        src.Row(int(row - y)) + size_t(srcX) * bytesPerPixel,
                        size_t(count) * bytesPerPixel);
        }
        return;
    }

    const bool keyed = src.Transparent();
    if (!keyed && bpp == 24) {
        // Every source format reads straight into a 24-bit row.
        for (long long row = top; row < bottom; ++row) {
            ReadRowBgr(src, int(row - y), srcX, count, dest.Row(int(row)) + 3 * size_t(left));
        }
        return;
    }
    const Color key = src.TransparentColor();
    IndexCache indexes(dest.Palette());
    std::vector<uint8_t> line(3 * size_t(count));
    for (long long row = top; row < bottom; ++row) {
        ReadRowBgr(src, int(row - y), srcX, count, line.data());
        uint8_t* out = dest.Row(int(row));
        for (int i = 0; i < count; ++i) {
            const uint8_t* p = &line[3 * size_t(i)];
            const Color c = MakeColor(p[2], p[1], p[0]);
            if (keyed && c == key) {
                continue;
            }
            const int destX = int(left) + i;
            if (IsPaletteFormat(bpp)) {
                WriteIndex(out, destX, bpp, indexes.IndexOf(c));
            } else {
                StoreDirect(out, destX, bpp, c);
            }
        }
    }
}

}  // namespace corvalo

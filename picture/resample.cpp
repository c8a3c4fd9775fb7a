#include "picture/resample.h"

#include "base/error.h"
#include "picture/bitmap_helpers.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <numeric>
#include <vector>

// The loops below are written to vectorize. GCC's -O2 only vectorizes loops that need no run-time
// checks or remainder loops, which leaves these scalar and about four times slower than at -O3;
// the dynamic cost model lets the ordinary -O2 build vectorize them too.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("vect-cost-model=dynamic")
#endif

namespace corvalo {

namespace {

// Nearest integer of num / den for den > 0, a half going up (towards +infinity).
long long DivideRoundHalfUp(long long num, long long den) {
    long long q = num / den;
    long long r = num % den;
    if (r < 0) {  // C++ truncates towards zero; make it a floor division
        q -= 1;
        r += den;
    }
    return 2 * r >= den ? q + 1 : q;
}

int ClampSide(long long side) {
    return int(std::clamp<long long>(side, 1, INT_MAX));
}

// How the source pixels along one axis share out over the destination pixels. With
// g = gcd(source, destination), a source pixel spans `unitsPerSource` = destination / g units and
// a destination pixel `unitsPerDest` = source / g units; the weight of a source pixel for a
// destination pixel is the number of units they share, so the weights of one destination pixel
// add up to exactly unitsPerDest. Nothing is rounded here.
struct AxisTaps {
    std::vector<int> first;   // first source pixel of each destination pixel
    std::vector<int> count;   // how many source pixels follow from there
    std::vector<int> offset;  // where its weights start in `weights`
    std::vector<uint32_t> weights;
    uint32_t unitsPerDest = 1;

    void Build(int sourceLength, int destLength) {
        const long long g = std::gcd(sourceLength, destLength);
        const long long perSource = destLength / g;
        const long long perDest = sourceLength / g;
        unitsPerDest = uint32_t(perDest);
        first.resize(size_t(destLength));
        count.resize(size_t(destLength));
        offset.resize(size_t(destLength));
        weights.clear();
        for (int d = 0; d < destLength; ++d) {
            const long long start = d * perDest;
            const long long end = start + perDest;
            const long long i0 = start / perSource;
            const long long i1 = (end - 1) / perSource;
            first[size_t(d)] = int(i0);
            count[size_t(d)] = int(i1 - i0 + 1);
            offset[size_t(d)] = int(weights.size());
            for (long long i = i0; i <= i1; ++i) {
                const long long from = std::max(start, i * perSource);
                const long long to = std::min(end, (i + 1) * perSource);
                weights.push_back(uint32_t(to - from));
            }
        }
    }
};

// Exact floor(x / d) for x < 2^31 by one multiplication: with t = floor(log2 d) and
// m = ceil(2^(32+t) / d), (x * m) >> (32 + t) is exact because the error of m, times x, stays below
// 2^-(t+1) < 1/d. The product fits in 64 bits (x < 2^31, m <= 2^32).
class Divider {
  public:
    explicit Divider(uint32_t d) {
        int t = 0;
        while ((uint64_t(2) << t) <= d) {
            ++t;
        }
        shift_ = 32 + t;
        multiplier_ = ((uint64_t(1) << shift_) + d - 1) / d;
    }
    uint8_t operator()(uint32_t x) const { return uint8_t((uint64_t(x) * multiplier_) >> shift_); }

  private:
    uint64_t multiplier_;
    int shift_;
};

// For sums that do not fit the fast divider (very large coprime sizes): plain 64-bit division.
class WideDivider {
  public:
    explicit WideDivider(uint64_t d) : d_(d) {}
    uint8_t operator()(uint64_t x) const { return uint8_t(x / d_); }

  private:
    uint64_t d_;
};

// Working buffers, kept per thread so that repeated resizing does not touch fresh memory.
struct Scratch {
    AxisTaps horizontal;
    AxisTaps vertical;
    std::vector<uint16_t> columns16;
    std::vector<uint32_t> columns32;
};

Scratch& ThreadScratch() {
    thread_local Scratch scratch;
    return scratch;
}

// Column sums of source rows first .. first + count - 1, row j weighted by weights[j - first],
// over `bytes` bytes of each row (all channels side by side). V holds 255 x the weights' total.
template <typename V>
void SumRows(const Bitmap& src, size_t bytes, int first, int count, const uint32_t* weights,
             V* columns) {
    {
        const uint8_t* row = src.Row(first);
        const V w = V(weights[0]);
        if (w == 1) {
            for (size_t k = 0; k < bytes; ++k) {
                columns[k] = row[k];
            }
        } else {
            for (size_t k = 0; k < bytes; ++k) {
                columns[k] = V(w * row[k]);
            }
        }
    }
    for (int t = 1; t < count; ++t) {
        const uint8_t* row = src.Row(first + t);
        const V w = V(weights[t]);
        if (w == 1) {
            for (size_t k = 0; k < bytes; ++k) {
                columns[k] = V(columns[k] + row[k]);
            }
        } else {
            for (size_t k = 0; k < bytes; ++k) {
                columns[k] = V(columns[k] + w * row[k]);
            }
        }
    }
}

// One destination row from the column sums: weighted sums across, plus half the divisor, divided.
// B is the source's bytes per pixel (3 or 4; the fourth byte is not a colour).
template <int B, typename V, typename S, typename Div>
void ReduceColumns(const V* columns, const AxisTaps& taps, int destWidth, S half, const Div& divide,
                   uint8_t* out) {
    const int* first = taps.first.data();
    const int* count = taps.count.data();
    const int* offset = taps.offset.data();
    const uint32_t* weights = taps.weights.data();
    for (int x = 0; x < destWidth; ++x, out += 3) {
        const V* p = columns + size_t(first[x]) * B;
        const uint32_t* w = weights + offset[x];
        S s0 = half, s1 = half, s2 = half;
        for (int t = 0, n = count[x]; t < n; ++t, p += B) {
            s0 += S(w[t]) * p[0];
            s1 += S(w[t]) * p[1];
            s2 += S(w[t]) * p[2];
        }
        out[0] = divide(s0);
        out[1] = divide(s1);
        out[2] = divide(s2);
    }
}

template <int B, typename V, typename S, typename Div>
void ResampleGeneral(const Bitmap& src, Bitmap& dest, Scratch& scratch, std::vector<V>& columns,
                     const Div& divide, S half) {
    const size_t bytes = size_t(src.Width()) * B;
    columns.resize(bytes);
    const AxisTaps& vertical = scratch.vertical;
    for (int y = 0; y < dest.Height(); ++y) {
        SumRows(src, bytes, vertical.first[size_t(y)], vertical.count[size_t(y)],
                vertical.weights.data() + vertical.offset[size_t(y)], columns.data());
        ReduceColumns<B, V, S>(columns.data(), scratch.horizontal, dest.Width(), half, divide,
                               dest.Row(y));
    }
}

// Integer reduction factors: every weight is 1, so a destination pixel is the plain sum of its
// fx x fy source pixels divided by fx * fy, the same arithmetic as the general path without the
// tables.
template <int B, int FX, typename V>
void ReduceIntegerRow(const V* columns, int destWidth, int fx, uint32_t half, const Divider& divide,
                      uint8_t* out) {
    const int factor = FX > 0 ? FX : fx;
    const V* p = columns;
    for (int x = 0; x < destWidth; ++x, out += 3) {
        uint32_t s0 = half, s1 = half, s2 = half;
        for (int t = 0; t < factor; ++t, p += B) {
            s0 += p[0];
            s1 += p[1];
            s2 += p[2];
        }
        out[0] = divide(s0);
        out[1] = divide(s1);
        out[2] = divide(s2);
    }
}

template <int B, typename V>
void ResampleIntegerFactor(const Bitmap& src, Bitmap& dest, int fx, int fy,
                           std::vector<V>& columns) {
    const size_t bytes = size_t(src.Width()) * B;
    columns.resize(bytes);
    const uint32_t divisor = uint32_t(fx) * uint32_t(fy);
    const Divider divide(divisor);
    const uint32_t half = divisor / 2;
    const uint32_t ones[1] = {1};
    for (int y = 0; y < dest.Height(); ++y) {
        const int top = y * fy;
        SumRows(src, bytes, top, 1, ones, columns.data());
        for (int t = 1; t < fy; ++t) {
            const uint8_t* row = src.Row(top + t);
            V* c = columns.data();
            for (size_t k = 0; k < bytes; ++k) {
                c[k] = V(c[k] + row[k]);
            }
        }
        uint8_t* out = dest.Row(y);
        switch (fx) {
            case 1:
                ReduceIntegerRow<B, 1>(columns.data(), dest.Width(), fx, half, divide, out);
                break;
            case 2:
                ReduceIntegerRow<B, 2>(columns.data(), dest.Width(), fx, half, divide, out);
                break;
            case 4:
                ReduceIntegerRow<B, 4>(columns.data(), dest.Width(), fx, half, divide, out);
                break;
            default:
                ReduceIntegerRow<B, 0>(columns.data(), dest.Width(), fx, half, divide, out);
                break;
        }
    }
}

template <int B>
void ResampleDirect(const Bitmap& src, Bitmap& dest, ResamplePath path) {
    const int sw = src.Width(), sh = src.Height(), dw = dest.Width(), dh = dest.Height();
    Scratch& scratch = ThreadScratch();

    // Largest sum a destination channel can reach, plus the rounding half: it decides whether
    // 32-bit sums and the multiplying divider are enough.
    const uint64_t gx = std::gcd(sw, dw), gy = std::gcd(sh, dh);
    const uint64_t divisor = (uint64_t(sw) / gx) * (uint64_t(sh) / gy);
    const bool narrow = divisor * 255 + divisor / 2 < (uint64_t(1) << 31);
    // Column sums reach 255 x (source rows per destination row, in units).
    const bool columns16 = uint64_t(sh / gy) * 255 <= 0xFFFF;

    if (path == ResamplePath::Automatic && narrow && sw % dw == 0 && sh % dh == 0) {
        const int fx = sw / dw, fy = sh / dh;
        if (columns16) {
            ResampleIntegerFactor<B>(src, dest, fx, fy, scratch.columns16);
        } else {
            ResampleIntegerFactor<B>(src, dest, fx, fy, scratch.columns32);
        }
        return;
    }

    scratch.horizontal.Build(sw, dw);
    scratch.vertical.Build(sh, dh);
    if (narrow) {
        const Divider divide{uint32_t(divisor)};
        const uint32_t half = uint32_t(divisor / 2);
        if (columns16) {
            ResampleGeneral<B>(src, dest, scratch, scratch.columns16, divide, half);
        } else {
            ResampleGeneral<B>(src, dest, scratch, scratch.columns32, divide, half);
        }
    } else {
        ResampleGeneral<B>(src, dest, scratch, scratch.columns32, WideDivider(divisor),
                           uint64_t(divisor / 2));
    }
}

}  // namespace

Size ScaledBounds(int width, int height, int step) {
    const long long w = std::max(width, 1);
    const long long h = std::max(height, 1);
    const long long n = std::max(w, h) + step;
    if (n < 1) {
        return Size{1, 1};
    }
    if (h > w) {
        return Size{ClampSide(DivideRoundHalfUp(w * n, h)), ClampSide(n)};
    }
    return Size{ClampSide(n), ClampSide(DivideRoundHalfUp(h * n, w))};
}

Size FittedBounds(int width, int height, int areaWidth, int areaHeight) {
    if (width <= 0 || height <= 0 || areaWidth <= 0 || areaHeight <= 0 ||
        (width <= areaWidth && height <= areaHeight)) {
        return Size{width, height};
    }
    const long long w = width, h = height, aw = areaWidth, ah = areaHeight;
    // w / h >= aw / ah: the width reaches the area's edge first, and the height, h * aw / w, is
    // then at most ah, rounding included.
    if (w * ah >= h * aw) {
        return Size{areaWidth, ClampSide(DivideRoundHalfUp(h * aw, w))};
    }
    return Size{ClampSide(DivideRoundHalfUp(w * ah, h)), areaHeight};
}

void AreaResample(const Bitmap& src, Bitmap& dest, ResamplePath path) {
    if (dest.BitsPerPixel() != 24) {
        throw Error(L"Invalid pixel format");
    }
    if (dest.Empty()) {
        return;
    }
    if (src.Empty()) {
        FillBitmap(&dest, kWhite);
        return;
    }
    switch (src.BitsPerPixel()) {
        case 24:
            ResampleDirect<3>(src, dest, path);
            return;
        case 32:
            ResampleDirect<4>(src, dest, path);
            return;
        default: {
            Bitmap direct = src;
            direct.SetBitsPerPixel(24);
            ResampleDirect<3>(direct, dest, path);
            return;
        }
    }
}

void StretchNearest(const Bitmap& src, Bitmap& dest) {
    if (dest.BitsPerPixel() != 24) {
        throw Error(L"Invalid pixel format");
    }
    if (dest.Empty()) {
        return;
    }
    if (src.Empty()) {
        FillBitmap(&dest, kWhite);
        return;
    }
    const long long sw = src.Width(), sh = src.Height(), dw = dest.Width(), dh = dest.Height();
    std::vector<uint8_t> line(3 * size_t(sw));
    int lineRow = -1;
    for (long long y = 0; y < dh; ++y) {
        const int sy = int((2 * y + 1) * sh / (2 * dh));
        if (sy != lineRow) {
            ReadRowBgr(src, sy, 0, int(sw), line.data());
            lineRow = sy;
        }
        uint8_t* out = dest.Row(int(y));
        for (long long x = 0; x < dw; ++x, out += 3) {
            const uint8_t* p = &line[3 * size_t((2 * x + 1) * sw / (2 * dw))];
            out[0] = p[0];
            out[1] = p[1];
            out[2] = p[2];
        }
    }
}

void StretchHalftone(int width, int height, Bitmap& bitmap) {
    CheckBitmapSize(width, height, 24);
    // Every pixel of the result is written by the resampler, so no white fill first.
    Bitmap result = Bitmap::FromPixels(width, height, 24,
                                       std::vector<uint8_t>(DibStride(width, 24) * size_t(height)));
    AreaResample(bitmap, result);
    bitmap = std::move(result);
}

void ResampleBitmap(Bitmap* bitmap, int width, int height) {
    if (bitmap == nullptr) {
        return;
    }
    if (!bitmap->Transparent() && (bitmap->BitsPerPixel() == 24 || bitmap->BitsPerPixel() == 32)) {
        // The working copy would hold the very same colours: resample straight from the bitmap.
        StretchHalftone(width, height, *bitmap);
        return;
    }
    Bitmap working = GraphicToBitmap(*bitmap, true);
    working.SetTransparent(bitmap->Transparent());
    StretchHalftone(width, height, working);
    *bitmap = std::move(working);
}

Bitmap ResampledCopy(const Bitmap& source, int width, int height) {
    if (!source.Empty() && !source.Transparent() &&
        (source.BitsPerPixel() == 24 || source.BitsPerPixel() == 32)) {
        CheckBitmapSize(width, height, 24);
        Bitmap result = Bitmap::FromPixels(
            width, height, 24, std::vector<uint8_t>(DibStride(width, 24) * size_t(height)));
        AreaResample(source, result);
        return result;
    }
    Bitmap working = GraphicToBitmap(source, true);
    ResampleToRect(working, Rect{0, 0, width, height});
    return working;
}

void ResampleToRect(Bitmap& bitmap, const Rect& rect) {
    if (bitmap.Empty()) {
        return;
    }
    const long long width = (long long)rect.right - rect.left;
    const long long height = (long long)rect.bottom - rect.top;
    if (width < 0 || height < 0 || width > INT_MAX || height > INT_MAX) {
        throw Error(L"Invalid image size");
    }
    ResampleBitmap(&bitmap, int(width), int(height));
}

}  // namespace corvalo

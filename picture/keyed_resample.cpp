#include "picture/keyed_resample.h"

#include "base/error.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace corvalo {
namespace {

struct Tap {
    int source;
    int64_t weight;
};

// For each of `to` result positions along one side, the source positions it covers and how much
// of each: result position i covers [i * from, (i + 1) * from) and source position s covers
// [s * to, (s + 1) * to), both in units of 1 / (from * to) of the side; the weights of one result
// position add up to `from`.
std::vector<std::vector<Tap>> TapsAlong(int from, int to) {
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(to));
    for (int i = 0; i < to; ++i) {
        const int64_t begin = int64_t{i} * from;
        const int64_t end = begin + from;
        for (int64_t s = begin / to; s < from && s * to < end; ++s) {
            const int64_t overlap = std::min(end, (s + 1) * to) - std::max(begin, s * to);
            if (overlap > 0)
                taps[static_cast<size_t>(i)].push_back({static_cast<int>(s), overlap});
        }
    }
    return taps;
}

uint8_t Average(int64_t sum, int64_t weight) {
    return static_cast<uint8_t>((sum * 2 + weight) / (weight * 2));
}

}  // namespace

Bitmap KeyedResampledCopy(const Bitmap& source, int width, int height, Color key) {
    if (width < 1 || height < 1)
        throw Error(L"Invalid image size");
    Bitmap result = NewSizedBitmap(width, height, key);
    if (source.Empty())
        return result;
    const auto columns = TapsAlong(source.Width(), width);
    const auto rows = TapsAlong(source.Height(), height);
    // The source as B,G,R rows with a key flag per pixel, read once.
    const auto sourceWidth = static_cast<size_t>(source.Width());
    std::vector<uint8_t> bgr(sourceWidth * 3 * static_cast<size_t>(source.Height()));
    for (int y = 0; y < source.Height(); ++y)
        ReadRowBgr(source, y, 0, source.Width(),
                   bgr.data() + static_cast<size_t>(y) * sourceWidth * 3);
    const uint8_t keyB = BlueOf(key), keyG = GreenOf(key), keyR = RedOf(key);

    for (int y = 0; y < height; ++y) {
        uint8_t* out = result.Row(y);
        for (int x = 0; x < width; ++x, out += 3) {
            int64_t keyWeight = 0, pictureWeight = 0, b = 0, g = 0, r = 0;
            for (const Tap& row : rows[static_cast<size_t>(y)]) {
                const uint8_t* line =
                    bgr.data() + static_cast<size_t>(row.source) * sourceWidth * 3;
                for (const Tap& column : columns[static_cast<size_t>(x)]) {
                    const uint8_t* pixel = line + static_cast<size_t>(column.source) * 3;
                    const int64_t weight = row.weight * column.weight;
                    if (pixel[0] == keyB && pixel[1] == keyG && pixel[2] == keyR) {
                        keyWeight += weight;
                    } else {
                        pictureWeight += weight;
                        b += pixel[0] * weight;
                        g += pixel[1] * weight;
                        r += pixel[2] * weight;
                    }
                }
            }
            // A pixel half key and half picture keeps the picture, so thin lines stay.
            if (keyWeight > pictureWeight)
                continue;  // already the key
            out[0] = Average(b, pictureWeight);
            out[1] = Average(g, pictureWeight);
            out[2] = Average(r, pictureWeight);
            if (out[0] == keyB && out[1] == keyG && out[2] == keyR)
                out[0] = static_cast<uint8_t>(keyB < 255 ? keyB + 1 : keyB - 1);
        }
    }
    return result;
}

}  // namespace corvalo

#include "base/error.h"
#include "picture/bitmap.h"
#include "picture/bitmap_helpers.h"
#include "picture/keyed_resample.h"
#include "picture/resample.h"

#include <gtest/gtest.h>

#include <climits>
#include <random>

namespace corvalo {
namespace {

Bitmap NoisePicture(int w, int h, int bpp, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> pixels(DibStride(w, bpp) * size_t(h));
    for (uint8_t& p : pixels) {
        p = uint8_t(random());
    }
    return Bitmap::FromPixels(w, h, bpp, std::move(pixels));
}

// Independent oracle: the exact area average of one destination pixel, worked out in two
// dimensions at once. Source pixel i spans [i * dw, (i + 1) * dw) and destination pixel x spans
// [x * sw, (x + 1) * sw) on a common grid; the shared length is the weight, and the sum divided by
// sw * sh is rounded to the nearest integer, a half going up.
Color ReferencePixel(const Bitmap& src, long long dw, long long dh, long long x, long long y) {
    const long long sw = src.Width(), sh = src.Height();
    const auto shared = [](long long a0, long long a1, long long b0, long long b1) {
        return std::max(0LL, std::min(a1, b1) - std::max(a0, b0));
    };
    // Only source pixels near the destination pixel can share anything with it.
    const long long j0 = std::max(0LL, y * sh / dh - 1), j1 = std::min(sh, (y + 1) * sh / dh + 2);
    const long long i0 = std::max(0LL, x * sw / dw - 1), i1 = std::min(sw, (x + 1) * sw / dw + 2);
    unsigned long long sum[3] = {0, 0, 0};
    for (long long j = j0; j < j1; ++j) {
        const long long wy = shared(j * dh, (j + 1) * dh, y * sh, (y + 1) * sh);
        if (wy == 0) {
            continue;
        }
        for (long long i = i0; i < i1; ++i) {
            const long long wx = shared(i * dw, (i + 1) * dw, x * sw, (x + 1) * sw);
            if (wx == 0) {
                continue;
            }
            const Color c = src.PixelAt(int(i), int(j));
            sum[0] += (unsigned long long)(wx * wy) * RedOf(c);
            sum[1] += (unsigned long long)(wx * wy) * GreenOf(c);
            sum[2] += (unsigned long long)(wx * wy) * BlueOf(c);
        }
    }
    const unsigned long long total = (unsigned long long)(sw * sh);
    uint8_t channel[3];
    for (int c = 0; c < 3; ++c) {
        channel[c] = uint8_t((2 * sum[c] + total) / (2 * total));
    }
    return MakeColor(channel[0], channel[1], channel[2]);
}

Bitmap Resampled(const Bitmap& src, int w, int h, ResamplePath path) {
    Bitmap dest = NewSizedBitmap(w, h, kBlack);
    AreaResample(src, dest, path);
    return dest;
}

TEST(ScaledBounds, GrowsTheLargerSideAndKeepsTheProportion) {
    EXPECT_EQ(ScaledBounds(256, 256, 10), (Size{266, 266}));
    EXPECT_EQ(ScaledBounds(256, 192, 10), (Size{266, 200}));  // 199.5 rounds up
    EXPECT_EQ(ScaledBounds(192, 256, 10), (Size{200, 266}));
    EXPECT_EQ(ScaledBounds(300, 400, -10), (Size{293, 390}));  // 292.5 rounds up
    EXPECT_EQ(ScaledBounds(100, 300, 10), (Size{103, 310}));   // 103.33 rounds down
    EXPECT_EQ(ScaledBounds(300, 100, -10), (Size{290, 97}));   // 96.67 rounds up
}

TEST(ScaledBounds, NeverGivesAnEmptyOrOverflowingSize) {
    EXPECT_EQ(ScaledBounds(5, 5, -10), (Size{1, 1}));
    EXPECT_EQ(ScaledBounds(100, 1, -10), (Size{90, 1}));  // 0.9 stays a pixel
    EXPECT_EQ(ScaledBounds(400, 1, -10), (Size{390, 1}));
    EXPECT_EQ(ScaledBounds(0, 0, 10), (Size{11, 11}));
    EXPECT_EQ(ScaledBounds(20, 10, INT_MIN), (Size{1, 1}));
    // 64-bit products: no overflow on the way, the result held within int.
    EXPECT_EQ(ScaledBounds(60000, 50000, 10), (Size{60010, 50008}));
    const Size huge = ScaledBounds(INT_MAX, INT_MAX - 1, INT_MAX);
    EXPECT_EQ(huge.width, INT_MAX);
    EXPECT_EQ(huge.height, INT_MAX);
}

TEST(FittedBounds, APictureTooLargeForTheAreaTakesTheLargestSizeThatFits) {
    // A 3000 x 2000 photo on a 1920 x 1040 work area: the height reaches the edge first.
    EXPECT_EQ(FittedBounds(3000, 2000, 1920, 1040), (Size{1560, 1040}));
    EXPECT_EQ(FittedBounds(2000, 3000, 1920, 1040), (Size{693, 1040}));  // 693.33 rounds down
    EXPECT_EQ(FittedBounds(4000, 1000, 1920, 1040), (Size{1920, 480}));
    EXPECT_EQ(FittedBounds(1000, 999, 500, 500), (Size{500, 500}));  // 499.5 rounds up
    EXPECT_EQ(FittedBounds(65535, 1, 800, 600), (Size{800, 1}));     // never below a pixel
    // A picture that fits, even exactly, keeps its own size; so does one in an unknown area.
    EXPECT_EQ(FittedBounds(1920, 1040, 1920, 1040), (Size{1920, 1040}));
    EXPECT_EQ(FittedBounds(300, 200, 1920, 1040), (Size{300, 200}));
    EXPECT_EQ(FittedBounds(3000, 2000, 0, 0), (Size{3000, 2000}));
    // Whatever the proportions, the result lies within the area.
    for (int w = 1; w < 400; w += 7) {
        for (int h = 1; h < 400; h += 11) {
            const Size s = FittedBounds(w, h, 97, 61);
            ASSERT_TRUE(s.width <= 97 && s.height <= 61 && s.width >= 1 && s.height >= 1)
                << w << " x " << h;
            ASSERT_TRUE(s.width == 97 || s.height == 61 || (w <= 97 && h <= 61)) << w << " x " << h;
        }
    }
}

TEST(AreaResample, AveragesHandWorkedCases) {
    // 2 x 2 to 1 x 1: the plain mean, a half going up.
    const auto quad = [](std::vector<uint8_t> reds) {
        Bitmap b = NewSizedBitmap(2, 2, kBlack);
        for (int i = 0; i < 4; ++i) {
            b.SetPixel(i % 2, i / 2, MakeColor(reds[size_t(i)], 0, 0));
        }
        return RedOf(Resampled(b, 1, 1, ResamplePath::Automatic).PixelAt(0, 0));
    };
    EXPECT_EQ(quad({0, 10, 20, 31}), 15);  // 15.25
    EXPECT_EQ(quad({0, 0, 0, 2}), 1);      // 0.5 goes up
    EXPECT_EQ(quad({0, 0, 0, 1}), 0);      // 0.25
    EXPECT_EQ(quad({255, 255, 255, 255}), 255);

    // 3 to 2 across: each destination pixel covers one and a half source pixels.
    Bitmap three = NewSizedBitmap(3, 1, kBlack);
    three.SetPixel(1, 0, MakeColor(90, 0, 0));
    three.SetPixel(2, 0, MakeColor(30, 0, 0));
    Bitmap two = Resampled(three, 2, 1, ResamplePath::Automatic);
    EXPECT_EQ(two.PixelAt(0, 0), MakeColor(30, 0, 0));  // (0 + 90 / 2) / 1.5
    EXPECT_EQ(two.PixelAt(1, 0), MakeColor(50, 0, 0));  // (90 / 2 + 30) / 1.5

    // 2 to 3 across (enlarging is area-weighted too): the middle pixel straddles both.
    Bitmap pair = NewSizedBitmap(2, 1, std::nullopt);
    pair.SetPixel(0, 0, MakeColor(10, 0, 200));
    pair.SetPixel(1, 0, MakeColor(21, 0, 100));
    const Bitmap wide = Resampled(pair, 3, 1, ResamplePath::Automatic);
    EXPECT_EQ(wide.PixelAt(0, 0), MakeColor(10, 0, 200));
    EXPECT_EQ(wide.PixelAt(1, 0), MakeColor(16, 0, 150));  // 15.5 goes up
    EXPECT_EQ(wide.PixelAt(2, 0), MakeColor(21, 0, 100));

    // One pixel fills any size.
    Bitmap one = NewSizedBitmap(1, 1, MakeColor(1, 2, 3));
    const Bitmap filled = Resampled(one, 5, 4, ResamplePath::Automatic);
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            ASSERT_EQ(filled.PixelAt(x, y), MakeColor(1, 2, 3));
        }
    }
}

TEST(AreaResample, MatchesTheExactAreaAverageForManySizes) {
    uint32_t seed = 1;
    for (int sw : {1, 2, 3, 5, 7, 12}) {
        for (int sh : {1, 4, 9}) {
            for (int bpp : {24, 32, 8}) {
                Bitmap src = NoisePicture(sw, sh, bpp, seed++);
                if (bpp == 8) {
                    std::vector<Color> palette(256);
                    for (size_t i = 0; i < palette.size(); ++i) {
                        palette[i] = MakeColor(uint8_t(i), uint8_t(255 - i), uint8_t(i * 7));
                    }
                    src.SetPalette(palette);
                }
                for (int dw : {1, 2, 3, 4, 6, 13}) {
                    for (int dh : {1, 3, 5, 8}) {
                        for (ResamplePath path : {ResamplePath::Automatic, ResamplePath::General}) {
                            const Bitmap dest = Resampled(src, dw, dh, path);
                            for (int y = 0; y < dh; ++y) {
                                for (int x = 0; x < dw; ++x) {
                                    ASSERT_EQ(dest.PixelAt(x, y), ReferencePixel(src, dw, dh, x, y))
                                        << sw << "x" << sh << "@" << bpp << " -> " << dw << "x"
                                        << dh << " at " << x << "," << y;
                                }
                            }
                        }
                    }
                }
            }
        }
    }
}

TEST(AreaResample, IntegerFactorPathEqualsGeneralPath) {
    struct Case {
        int sw, sh, dw, dh;
    };
    const Case cases[] = {{400, 300, 100, 75}, {401, 300, 401, 100}, {96, 70, 32, 7},
                          {250, 250, 50, 125}, {64, 64, 64, 64},     {770, 9, 7, 3},
                          {1000, 600, 1, 1}};
    uint32_t seed = 100;
    for (const Case& c : cases) {
        for (int bpp : {24, 32}) {
            const Bitmap src = NoisePicture(c.sw, c.sh, bpp, seed++);
            const Bitmap fast = Resampled(src, c.dw, c.dh, ResamplePath::Automatic);
            const Bitmap general = Resampled(src, c.dw, c.dh, ResamplePath::General);
            ASSERT_EQ(fast, general) << c.sw << "x" << c.sh << " -> " << c.dw << "x" << c.dh;
            ASSERT_EQ(fast.PixelAt(c.dw - 1, c.dh - 1),
                      ReferencePixel(src, c.dw, c.dh, c.dw - 1, c.dh - 1));
        }
    }
}

TEST(AreaResample, KeepsExactSumsForLargeCoprimeSizes) {
    // 4099 x 2053 to 4097 x 2051 shares no factor on either axis: a destination pixel's sum needs
    // more than 31 bits, so the wide arithmetic takes over. Spot-check it against the oracle.
    std::vector<uint8_t> pixels(DibStride(4099, 24) * 2053);
    for (size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = uint8_t((i * 2654435761u) >> 24);
    }
    const Bitmap src = Bitmap::FromPixels(4099, 2053, 24, std::move(pixels));
    const Bitmap dest = Resampled(src, 4097, 2051, ResamplePath::Automatic);
    for (int i = 0; i < 12; ++i) {
        const int x = (i * 977) % 4097, y = (i * 613) % 2051;
        ASSERT_EQ(dest.PixelAt(x, y), ReferencePixel(src, 4097, 2051, x, y)) << x << "," << y;
    }
}

TEST(StretchHalftone, GivesAPlain24BitPictureOfTheNewSize) {
    // An 8-bit, transparent, fixed-mode picture with a palette.
    Bitmap b = Bitmap::FromPixels(4, 2, 8, {0, 0, 1, 1, 0, 0, 1, 1}, {kBlack, kWhite});
    b.SetTransparentColor(kWhite);
    b.SetTransparent(true);
    StretchHalftone(2, 1, b);
    EXPECT_EQ(b.Width(), 2);
    EXPECT_EQ(b.Height(), 1);
    EXPECT_EQ(b.BitsPerPixel(), 24);
    EXPECT_FALSE(b.Transparent());
    EXPECT_EQ(b.Mode(), TransparentMode::Automatic);
    EXPECT_TRUE(b.Palette().empty());
    EXPECT_EQ(b.PixelAt(0, 0), kBlack);
    EXPECT_EQ(b.PixelAt(1, 0), kWhite);

    const Bitmap before = b;
    try {
        StretchHalftone(-1, 4, b);
        ADD_FAILURE() << "a negative width was accepted";
    } catch (const Error& e) {
        EXPECT_EQ(e.Message(), L"Invalid image size");
    }
    EXPECT_EQ(b, before);

    StretchHalftone(0, 3, b);
    EXPECT_TRUE(b.Empty());
    EXPECT_EQ(b.Height(), 3);
    // From nothing comes white.
    StretchHalftone(2, 2, b);
    EXPECT_EQ(b.PixelAt(1, 1), kWhite);
}

TEST(ResampleToRect, DoublesAHundredByFiftyPicture) {
    Bitmap b = NoisePicture(100, 50, 32, 7);
    b.SetTransparentColor(MakeColor(1, 2, 3));
    b.SetTransparent(true);
    const Bitmap original = b;
    ResampleToRect(b, Rect{0, 0, 200, 100});
    EXPECT_EQ(b.Width(), 200);
    EXPECT_EQ(b.Height(), 100);
    EXPECT_EQ(b.BitsPerPixel(), 24);
    EXPECT_FALSE(b.Transparent());
    EXPECT_EQ(b.Mode(), TransparentMode::Automatic);
    // Doubling copies every pixel into a 2 x 2 block (no key colour occurs in the noise's corner
    // checked here, so nothing was whitened).
    ASSERT_NE(original.PixelAt(37, 21), MakeColor(1, 2, 3));
    EXPECT_EQ(b.PixelAt(74, 42), original.PixelAt(37, 21));
    EXPECT_EQ(b.PixelAt(75, 43), original.PixelAt(37, 21));

    // The rectangle's size counts, not its position.
    ResampleToRect(b, Rect{10, 20, 15, 23});
    EXPECT_EQ(b.Width(), 5);
    EXPECT_EQ(b.Height(), 3);

    Bitmap empty;
    ResampleToRect(empty, Rect{0, 0, 10, 10});
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.Width(), 0);
}

TEST(ResampleBitmap, WhitensKeyedPixelsBeforeAveraging) {
    // Automatic mode: the bottom-left pixel (red) is the key colour.
    Bitmap b = NewSizedBitmap(2, 1, std::nullopt);
    b.SetPixel(0, 0, MakeColor(255, 0, 0));
    b.SetPixel(1, 0, MakeColor(0, 0, 255));
    Bitmap keyed = b;
    keyed.SetTransparent(true);
    ResampleBitmap(&keyed, 1, 1);
    EXPECT_EQ(keyed.PixelAt(0, 0), MakeColor(128, 128, 255));  // white and blue
    EXPECT_FALSE(keyed.Transparent());

    ResampleBitmap(&b, 1, 1);
    EXPECT_EQ(b.PixelAt(0, 0), MakeColor(128, 0, 128));  // red and blue

    ResampleBitmap(nullptr, 5, 5);  // no bitmap: nothing
}

TEST(ResampledCopy, EqualsCopyingThenResampling) {
    std::vector<Bitmap> sources = {NoisePicture(30, 20, 24, 1), NoisePicture(30, 20, 32, 2),
                                   NoisePicture(9, 31, 8, 3), NoisePicture(16, 16, 16, 4)};
    // A transparent picture whose key colour occurs: keyed pixels turn white on the way.
    Bitmap keyed = NewSizedBitmap(12, 8, MakeColor(0, 90, 0));
    keyed.SetPixel(3, 3, MakeColor(200, 0, 0));
    keyed.SetPixel(0, 7, MakeColor(200, 0, 0));
    keyed.SetTransparent(true);
    sources.push_back(keyed);
    sources.push_back(Bitmap());
    for (const Bitmap& source : sources) {
        for (Size size : {Size{7, 5}, Size{45, 33}}) {
            Bitmap expected = GraphicToBitmap(source, true);
            ResampleToRect(expected, Rect{0, 0, size.width, size.height});
            ASSERT_EQ(ResampledCopy(source, size.width, size.height), expected)
                << source.Width() << "x" << source.Height() << "@" << source.BitsPerPixel();
        }
    }
    // 94 green pixels and the 2 keyed ones, now white: (2 x 255) / 96 = 5.3, (94 x 90 + 510) / 96
    // = 93.4.
    EXPECT_EQ(ResampledCopy(keyed, 1, 1).PixelAt(0, 0), MakeColor(5, 93, 5));
}

TEST(KeyedResampledCopy, EveryPixelIsTheKeyOrThePicturesOwnColour) {
    // A red disc on a see-through (green key) ground, at the sizes of 120, 144 and 192 dpi and
    // below its own: nothing in between, no fringe.
    const Color key = MakeColor(0, 255, 0), red = MakeColor(220, 10, 10);
    Bitmap disc = NewSizedBitmap(20, 20, key);
    for (int y = 0; y < 20; ++y)
        for (int x = 0; x < 20; ++x)
            if ((x - 9.5) * (x - 9.5) + (y - 9.5) * (y - 9.5) < 60)
                disc.SetPixel(x, y, red);
    for (int side : {25, 30, 40, 13}) {
        const Bitmap shown = KeyedResampledCopy(disc, side, side, key);
        int keyed = 0;
        for (int y = 0; y < side; ++y)
            for (int x = 0; x < side; ++x) {
                const Color pixel = shown.PixelAt(x, y);
                ASSERT_TRUE(pixel == key || pixel == red) << side << ": " << x << "," << y;
                keyed += pixel == key;
            }
        EXPECT_EQ(shown.PixelAt(0, side - 1), key);
        EXPECT_GT(keyed, side * side / 3);
        EXPECT_LT(keyed, side * side * 2 / 3);
    }
    // Without key pixels it is the program's area average, pixel for pixel.
    Bitmap noise = NoisePicture(17, 11, 24, 5);
    for (int y = 0; y < 11; ++y)
        for (int x = 0; x < 17; ++x)
            if (noise.PixelAt(x, y) == key)
                noise.SetPixel(x, y, red);
    for (Size size : {Size{26, 17}, Size{34, 22}, Size{7, 5}}) {
        Bitmap expected = NewSizedBitmap(size.width, size.height, std::nullopt);
        AreaResample(noise, expected, ResamplePath::General);
        ASSERT_EQ(KeyedResampledCopy(noise, size.width, size.height, key).Pixels(),
                  expected.Pixels());
    }
    // Exactly half key keeps the picture; more than half is the key.
    Bitmap half = NewSizedBitmap(2, 1, key);
    half.SetPixel(1, 0, red);
    EXPECT_EQ(KeyedResampledCopy(half, 1, 1, key).PixelAt(0, 0), red);
    Bitmap third = NewSizedBitmap(3, 1, key);
    third.SetPixel(2, 0, red);
    EXPECT_EQ(KeyedResampledCopy(third, 1, 1, key).PixelAt(0, 0), key);
    // An average that falls on the key colour is moved off it by one step of blue.
    const Color grey = MakeColor(128, 128, 128);
    Bitmap stripes = NewSizedBitmap(2, 1, MakeColor(0, 0, 0));
    stripes.SetPixel(1, 0, kWhite);
    EXPECT_EQ(KeyedResampledCopy(stripes, 1, 1, grey).PixelAt(0, 0), MakeColor(128, 128, 129));
    EXPECT_THROW(KeyedResampledCopy(disc, 0, 5, key), Error);
    EXPECT_EQ(KeyedResampledCopy(Bitmap(), 2, 2, key).PixelAt(1, 1), key);
}

TEST(StretchNearest, TakesThePixelUnderEachCentre) {
    Bitmap src = NewSizedBitmap(3, 1, std::nullopt);
    for (int x = 0; x < 3; ++x) {
        src.SetPixel(x, 0, MakeColor(uint8_t(x + 1), 0, 0));
    }
    Bitmap dest = NewSizedBitmap(2, 2, std::nullopt);
    StretchNearest(src, dest);
    EXPECT_EQ(dest.PixelAt(0, 1), MakeColor(1, 0, 0));  // centre 0.75 of 3
    EXPECT_EQ(dest.PixelAt(1, 0), MakeColor(3, 0, 0));  // centre 2.25
    Bitmap big = NewSizedBitmap(7, 1, std::nullopt);
    StretchNearest(src, big);
    EXPECT_EQ(big.PixelAt(3, 0), MakeColor(2, 0, 0));
    EXPECT_EQ(big.PixelAt(6, 0), MakeColor(3, 0, 0));
}

}  // namespace
}  // namespace corvalo

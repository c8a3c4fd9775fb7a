// Decoded pixels and transparency settings of every format the loader reads, from sample files
// the codec libraries write.
#include "base/error.h"
#include "support/picture_samples.h"
#include "picture/bmp_format.h"
#include "picture/picture_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

#include <jpeglib.h>

namespace corvalo {
namespace {

using test::Rgba;

Bitmap Decode(const wchar_t* name, const std::vector<uint8_t>& bytes) {
    return DecodePictureFile(name, bytes);
}

int Distance(Color a, Color b) {
    return std::max({std::abs(RedOf(a) - RedOf(b)), std::abs(GreenOf(a) - GreenOf(b)),
                     std::abs(BlueOf(a) - BlueOf(b))});
}

// Every pixel of the result against the source drawn on white, within a tolerance.
void ExpectPixels(const Bitmap& result, const Rgba& source, int tolerance) {
    ASSERT_EQ(result.Width(), source.width);
    ASSERT_EQ(result.Height(), source.height);
    ASSERT_EQ(result.BitsPerPixel(), 24);
    int worst = 0, worstX = 0, worstY = 0;
    for (int y = 0; y < source.height; ++y) {
        for (int x = 0; x < source.width; ++x) {
            const int d = Distance(result.PixelAt(x, y), source.OnWhite(x, y));
            if (d > worst) {
                worst = d;
                worstX = x;
                worstY = y;
            }
        }
    }
    EXPECT_LE(worst, tolerance) << "at " << worstX << "," << worstY << ": got " << std::hex
                                << result.PixelAt(worstX, worstY) << ", want "
                                << source.OnWhite(worstX, worstY);
}

void ExpectOpaque(const Bitmap& result) {
    EXPECT_FALSE(result.Transparent());
    EXPECT_EQ(result.Mode(), TransparentMode::Automatic);
}

// The same file decoded by libjpeg alone into R,G,B: our result must match it exactly.
Rgba PlainJpegDecode(const std::vector<uint8_t>& file) {
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, file.data(), static_cast<unsigned long>(file.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    Rgba out{int(info.output_width), int(info.output_height), 3, {}};
    out.samples.resize(size_t(out.width) * out.height * 3);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out.samples.data() + size_t(info.output_scanline) * out.width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return out;
}

TEST(PictureLoadJpeg, BaselineProgressiveAndGreyMatchTheLibraryAndTheSource) {
    struct Case {
        int channels;
        bool progressive;
    };
    for (const Case c : {Case{3, false}, Case{3, true}, Case{1, false}, Case{1, true}}) {
        SCOPED_TRACE(testing::Message()
                     << c.channels << " channels, progressive " << c.progressive);
        const Rgba source = test::BlockPattern(37, 29, c.channels);  // not a multiple of 8
        test::JpegOptions options;
        options.progressive = c.progressive;
        const auto file = test::EncodeJpeg(source, options);
        const Bitmap result = Decode(L"photo.jpg", file);
        ExpectPixels(result, PlainJpegDecode(file), 0);
        ExpectPixels(result, source, 12);
        ExpectOpaque(result);
        EXPECT_TRUE(result.Palette().empty());
    }
}

TEST(PictureLoadJpeg, AdobeCmykInksBecomeTheirColours) {
    // Inverted inks as Adobe stores them: 255 is no ink. Expected colour = ink * black / 255.
    Rgba cmyk{16, 16, 4, {}};
    static constexpr uint8_t kInks[4][4] = {
        {255, 255, 255, 255}, {0, 255, 255, 255}, {255, 255, 0, 255}, {255, 255, 255, 128}};
    for (int y = 0; y < 16; ++y) {
        for (int x = 0; x < 16; ++x) {
            const uint8_t* ink = kInks[(x / 8) + 2 * (y / 8)];
            cmyk.samples.insert(cmyk.samples.end(), ink, ink + 4);
        }
    }
    test::JpegOptions options;
    options.cmyk = true;
    const Bitmap result = Decode(L"print.jpg", test::EncodeJpeg(cmyk, options));
    ASSERT_EQ(result.Width(), 16);
    const Color expected[4] = {MakeColor(255, 255, 255), MakeColor(0, 255, 255),
                               MakeColor(255, 255, 0), MakeColor(128, 128, 128)};
    for (int i = 0; i < 4; ++i) {
        EXPECT_LE(Distance(result.PixelAt(4 + 8 * (i % 2), 4 + 8 * (i / 2)), expected[i]), 4)
            << "block " << i;
    }
}

TEST(PictureLoadPng, EveryColourTypeAndDepthWithAndWithoutInterlace) {
    for (const bool interlaced : {false, true}) {
        for (const int channels : {1, 2, 3, 4}) {
            for (const int depth : {8, 16}) {
                SCOPED_TRACE(testing::Message() << channels << " channels, " << depth
                                                << " bits, interlaced " << interlaced);
                const Rgba source = test::NoisePattern(19, 13, channels, 7 + channels);
                test::PngOptions options;
                options.bitDepth = depth;
                options.interlaced = interlaced;
                const Bitmap result = Decode(L"image.png", test::EncodePng(source, options));
                ExpectPixels(result, source, 0);
                const bool alpha = channels == 2 || channels == 4;
                EXPECT_EQ(result.Transparent(), alpha);
                EXPECT_EQ(result.Mode(), TransparentMode::Automatic);
            }
        }
    }
}

TEST(PictureLoadPng, LowBitDepthGreyWidensToFullRange) {
    for (const int depth : {1, 2, 4}) {
        SCOPED_TRACE(depth);
        const int max = (1 << depth) - 1;
        Rgba source{11, 3, 1, {}};
        for (int i = 0; i < 33; ++i) {
            source.samples.push_back(uint8_t(i % (max + 1)));
        }
        test::PngOptions options;
        options.bitDepth = depth;
        const Bitmap result = Decode(L"grey.png", test::EncodePng(source, options));
        for (int i = 0; i < 33; ++i) {
            const uint8_t g = uint8_t(source.samples[size_t(i)] * 255 / max);
            EXPECT_EQ(result.PixelAt(i % 11, i / 11), MakeColor(g, g, g)) << i;
        }
        EXPECT_FALSE(result.Transparent());
    }
}

TEST(PictureLoadPng, PalettePicturesOfEveryDepthKeepTheirPalette) {
    for (const int depth : {1, 2, 4, 8}) {
        for (const bool interlaced : {false, true}) {
            SCOPED_TRACE(testing::Message() << depth << " bits, interlaced " << interlaced);
            const int entries = 1 << depth;
            test::PngOptions options;
            options.palette = true;
            options.bitDepth = depth;
            options.interlaced = interlaced;
            for (int i = 0; i < entries; ++i) {
                options.paletteColors.push_back(
                    MakeColor(uint8_t(i * 7), uint8_t(255 - i), uint8_t(i * 3)));
            }
            Rgba indexes{13, 9, 1, {}};
            for (int i = 0; i < 13 * 9; ++i) {
                indexes.samples.push_back(uint8_t((i * 5) % entries));
            }
            const Bitmap result = Decode(L"palette.png", test::EncodePng(indexes, options));
            for (int y = 0; y < 9; ++y) {
                for (int x = 0; x < 13; ++x) {
                    ASSERT_EQ(result.PixelAt(x, y), options.paletteColors[indexes.At(x, y, 0)]);
                }
            }
            EXPECT_EQ(result.Palette(), options.paletteColors);
            ExpectOpaque(result);
        }
    }
}

TEST(PictureLoadPng, PaletteTransparencyChunkGivesTheFirstFullyTransparentEntry) {
    test::PngOptions options;
    options.palette = true;
    options.paletteColors = {MakeColor(10, 20, 30), MakeColor(200, 0, 0), MakeColor(0, 0, 200),
                             MakeColor(0, 100, 0), MakeColor(40, 40, 40)};
    // Entry 1 half transparent, 2 and 3 fully transparent, 4 opaque (past the chunk).
    options.paletteAlpha = {255, 128, 0, 0};
    Rgba indexes{5, 1, 1, {0, 1, 2, 3, 4}};
    const Bitmap result = Decode(L"keyed.png", test::EncodePng(indexes, options));
    EXPECT_TRUE(result.Transparent());
    EXPECT_EQ(result.Mode(), TransparentMode::Fixed);
    EXPECT_EQ(result.FixedTransparentColor(), MakeColor(0, 0, 200));
    EXPECT_EQ(result.PixelAt(0, 0), MakeColor(10, 20, 30));
    EXPECT_EQ(result.PixelAt(1, 0), MakeColor(227, 127, 127));  // blended onto white
    // Every fully transparent pixel carries the key colour, so all of them are see-through.
    EXPECT_EQ(result.PixelAt(2, 0), MakeColor(0, 0, 200));
    EXPECT_EQ(result.PixelAt(3, 0), MakeColor(0, 0, 200));
    EXPECT_EQ(result.PixelAt(4, 0), MakeColor(40, 40, 40));

    // Only partial transparency: transparent, but no colour to key: automatic mode.
    options.paletteAlpha = {255, 128};
    const Bitmap partial = Decode(L"soft.png", test::EncodePng(indexes, options));
    EXPECT_TRUE(partial.Transparent());
    EXPECT_EQ(partial.Mode(), TransparentMode::Automatic);
    EXPECT_EQ(partial.PixelAt(2, 0), MakeColor(0, 0, 200));
}

TEST(PictureLoadPng, GreyAndRgbKeysBecomeTheFixedColour) {
    struct Case {
        int channels, depth;
        std::vector<uint16_t> key;
        Color expected;
    };
    const Case cases[] = {
        {1, 8, {77}, MakeColor(77, 77, 77)},
        {1, 16, {77 * 257}, MakeColor(77, 77, 77)},
        {1, 4, {5}, MakeColor(85, 85, 85)},
        {1, 1, {1}, kWhite},
        {3, 8, {1, 2, 3}, MakeColor(1, 2, 3)},
        {3, 16, {1 * 257, 2 * 257, 3 * 257}, MakeColor(1, 2, 3)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.channels << " channels, " << c.depth << " bits");
        Rgba source = test::BlockPattern(16, 8, c.channels);
        if (c.depth < 8) {
            for (auto& v : source.samples) {
                v = uint8_t(v >> (8 - c.depth));
            }
        }
        test::PngOptions options;
        options.bitDepth = c.depth;
        options.key = c.key;
        const Bitmap result = Decode(L"key.png", test::EncodePng(source, options));
        EXPECT_TRUE(result.Transparent());
        EXPECT_EQ(result.Mode(), TransparentMode::Fixed);
        EXPECT_EQ(result.FixedTransparentColor(), c.expected);
        if (c.depth >= 8) {
            ExpectPixels(result, source, 0);  // the keyed pixels keep their colour
        }
    }
}

TEST(PictureLoadPng, AlphaIsBlendedOntoWhiteInAutomaticMode) {
    Rgba source{4, 1, 4, {0, 0, 0, 0, 0, 0, 0, 255, 255, 0, 0, 128, 10, 200, 30, 1}};
    const Bitmap result = Decode(L"alpha.png", test::EncodePng(source, {}));
    EXPECT_TRUE(result.Transparent());
    EXPECT_EQ(result.Mode(), TransparentMode::Automatic);
    EXPECT_EQ(result.PixelAt(0, 0), kWhite);
    EXPECT_EQ(result.PixelAt(1, 0), kBlack);
    EXPECT_EQ(result.PixelAt(2, 0), MakeColor(255, 127, 127));
    EXPECT_EQ(result.PixelAt(3, 0), MakeColor(254, 255, 254));
    EXPECT_EQ(result.TransparentColor(), kWhite);  // the bottom-left pixel
}

TEST(PictureLoadGif, FirstImageWithItsPaletteAndTransparentIndexOnWhite) {
    for (const bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced);
        test::GifOptions options;
        options.palette = {MakeColor(255, 0, 0), MakeColor(0, 255, 0), MakeColor(0, 0, 255),
                           MakeColor(9, 9, 9)};
        options.transparentIndex = 3;
        options.interlaced = interlaced;
        Rgba indexes{10, 11, 1, {}};
        for (int i = 0; i < 110; ++i) {
            indexes.samples.push_back(uint8_t((i / 3) % 4));
        }
        const Bitmap result = Decode(L"anim.gif", test::EncodeGif(indexes, options));
        ASSERT_EQ(result.Width(), 10);
        ASSERT_EQ(result.Height(), 11);
        for (int y = 0; y < 11; ++y) {
            for (int x = 0; x < 10; ++x) {
                const int index = indexes.At(x, y, 0);
                ASSERT_EQ(result.PixelAt(x, y),
                          index == 3 ? kWhite : options.palette[size_t(index)])
                    << x << "," << y;
            }
        }
        ExpectOpaque(result);
        EXPECT_EQ(result.Palette(), options.palette);
    }
}

TEST(PictureLoadGif, ImageSmallerThanItsScreenSitsAtItsOffsetOnWhite) {
    test::GifOptions options;
    options.palette = {MakeColor(1, 2, 3), MakeColor(4, 5, 6)};
    options.screenWidth = 8;
    options.screenHeight = 6;
    options.left = 3;
    options.top = 2;
    Rgba indexes{2, 2, 1, {0, 1, 1, 0}};
    const Bitmap result = Decode(L"small.gif", test::EncodeGif(indexes, options));
    ASSERT_EQ(result.Width(), 8);
    ASSERT_EQ(result.Height(), 6);
    EXPECT_EQ(result.PixelAt(3, 2), MakeColor(1, 2, 3));
    EXPECT_EQ(result.PixelAt(4, 2), MakeColor(4, 5, 6));
    EXPECT_EQ(result.PixelAt(4, 3), MakeColor(1, 2, 3));
    EXPECT_EQ(result.PixelAt(0, 0), kWhite);
    EXPECT_EQ(result.PixelAt(7, 5), kWhite);
}

TEST(PictureLoadTiff, StripsAndTilesWithEveryCompression) {
    using test::TiffCompression;
    for (const bool tiled : {false, true}) {
        for (const auto compression : {TiffCompression::None, TiffCompression::Lzw,
                                       TiffCompression::Deflate, TiffCompression::Jpeg}) {
            for (const int channels : {1, 3, 4}) {
                if (compression == TiffCompression::Jpeg && channels == 4) {
                    continue;
                }
                SCOPED_TRACE(testing::Message()
                             << "tiled " << tiled << ", compression " << int(compression) << ", "
                             << channels << " channels");
                const bool lossy = compression == TiffCompression::Jpeg;
                const Rgba source = lossy ? test::BlockPattern(40, 24, channels)
                                          : test::NoisePattern(37, 21, channels, 3);
                test::TiffOptions options;
                options.compression = compression;
                options.tiled = tiled;
                const Bitmap result = Decode(L"scan.tiff", test::EncodeTiff(source, options));
                // Alpha comes back premultiplied from libtiff: one step of rounding.
                ExpectPixels(result, source, lossy ? 12 : (channels == 4 ? 1 : 0));
                ExpectOpaque(result);
            }
        }
    }
}

TEST(PictureLoadJpeg2000, LosslessJp2AndCodestreamGiveTheSourcePixels) {
    for (const bool jp2 : {true, false}) {
        for (const int channels : {1, 3}) {
            SCOPED_TRACE(testing::Message() << "jp2 " << jp2 << ", " << channels << " channels");
            const Rgba source = test::NoisePattern(23, 17, channels, 11);
            const auto file = test::EncodeJpeg2000(source, jp2);
            for (const wchar_t* name : {L"a.jp2", L"a.j2k", L"a.jpc"}) {
                SCOPED_TRACE(testing::Message() << name);
                if (file.size() < 54 && std::wstring(name) != L"a.jp2") {
                    continue;  // the general path wants 54 bytes at least
                }
                const Bitmap result = Decode(name, file);
                ExpectPixels(result, source, 0);
                ExpectOpaque(result);
            }
        }
    }
}

TEST(PictureLoadTarga, TrueColourDepthsAndOrigins) {
    // 2 x 2: red, green / blue, white as seen on screen (top row first).
    const Color want[2][2] = {{MakeColor(255, 0, 0), MakeColor(0, 255, 0)},
                              {MakeColor(0, 0, 255), kWhite}};
    const auto pixel = [&](int bits, Color c) -> std::vector<uint8_t> {
        if (bits <= 16) {
            const unsigned v = (RedOf(c) >> 3) << 10 | (GreenOf(c) >> 3) << 5 | (BlueOf(c) >> 3);
            return {uint8_t(v), uint8_t(v >> 8)};
        }
        std::vector<uint8_t> p = {BlueOf(c), GreenOf(c), RedOf(c)};
        if (bits == 32) {
            p.push_back(0);  // alpha: ignored
        }
        return p;
    };
    for (const int bits : {15, 16, 24, 32}) {
        for (const int descriptor : {0x00, 0x20, 0x10, 0x30}) {
            SCOPED_TRACE(testing::Message() << bits << " bits, descriptor " << descriptor);
            std::vector<uint8_t> pixels;
            for (int row = 0; row < 2; ++row) {
                const int y = (descriptor & 0x20) ? row : 1 - row;
                for (int col = 0; col < 2; ++col) {
                    const int x = (descriptor & 0x10) ? 1 - col : col;
                    const auto p = pixel(bits, want[y][x]);
                    pixels.insert(pixels.end(), p.begin(), p.end());
                }
            }
            const Bitmap result =
                Decode(L"art.tga", test::TargaFile(2, 2, 2, bits, descriptor, pixels));
            for (int y = 0; y < 2; ++y) {
                for (int x = 0; x < 2; ++x) {
                    EXPECT_EQ(result.PixelAt(x, y), want[y][x]) << x << "," << y;
                }
            }
            ExpectOpaque(result);
        }
    }
}

TEST(PictureLoadTarga, RleGreyAndColourMapped) {
    // RLE true colour, 3 x 2 top-down: a run of 4 red pixels across the row end, then 2 raw.
    const auto rle =
        test::TargaFile(10, 3, 2, 24, 0x20, {0x83, 0, 0, 255, 0x01, 0, 255, 0, 255, 255, 255});
    Bitmap result = Decode(L"run.tga", rle);
    EXPECT_EQ(result.PixelAt(0, 0), MakeColor(255, 0, 0));
    EXPECT_EQ(result.PixelAt(0, 1), MakeColor(255, 0, 0));
    EXPECT_EQ(result.PixelAt(1, 1), MakeColor(0, 255, 0));
    EXPECT_EQ(result.PixelAt(2, 1), kWhite);

    // Grey, uncompressed and RLE, bottom-up.
    result = Decode(L"grey.tga", test::TargaFile(3, 2, 2, 8, 0, {10, 20, 30, 40}));
    EXPECT_EQ(result.PixelAt(0, 1), MakeColor(10, 10, 10));
    EXPECT_EQ(result.PixelAt(1, 0), MakeColor(40, 40, 40));
    result = Decode(L"grey.tga", test::TargaFile(11, 2, 2, 8, 0, {0x81, 50, 0x01, 60, 70}));
    EXPECT_EQ(result.PixelAt(1, 1), MakeColor(50, 50, 50));
    EXPECT_EQ(result.PixelAt(1, 0), MakeColor(70, 70, 70));

    // Colour-mapped with 24-bit entries (B,G,R), an image ID before the map; and RLE.
    const std::vector<uint8_t> map = {0, 0, 255, 0, 255, 0, 255, 0, 0};
    result = Decode(L"map.tga", test::TargaFile(1, 3, 1, 8, 0x20, {2, 1, 0}, 24, map, 3, "id!"));
    EXPECT_EQ(result.PixelAt(0, 0), MakeColor(0, 0, 255));
    EXPECT_EQ(result.PixelAt(1, 0), MakeColor(0, 255, 0));
    EXPECT_EQ(result.PixelAt(2, 0), MakeColor(255, 0, 0));
    EXPECT_EQ(result.Palette(), (std::vector<Color>{MakeColor(255, 0, 0), MakeColor(0, 255, 0),
                                                    MakeColor(0, 0, 255)}));
    result = Decode(L"map.tga", test::TargaFile(9, 3, 1, 8, 0x20, {0x82, 1}, 24, map, 3));
    EXPECT_EQ(result.PixelAt(2, 0), MakeColor(0, 255, 0));
    // 16-bit map entries.
    result = Decode(L"map16.tga", test::TargaFile(1, 1, 1, 8, 0, {0}, 16, {0x1F, 0x00}, 1));
    EXPECT_EQ(result.PixelAt(0, 0), MakeColor(0, 0, 255));
}

TEST(PictureLoadTarga, UnsupportedKindsHaveTheirOwnError) {
    const std::vector<uint8_t> four = {0, 0, 0, 0};
    for (const auto& file :
         {test::TargaFile(2, 2, 1, 8, 0, four), test::TargaFile(3, 2, 1, 16, 0, four),
          test::TargaFile(32, 2, 1, 24, 0, four), test::TargaFile(1, 2, 1, 8, 0, four),
          test::TargaFile(0, 2, 1, 24, 0, four), test::TargaFile(2, 0, 1, 24, 0, four)}) {
        try {
            Decode(L"bad.tga", file);
            ADD_FAILURE() << "decoded";
        } catch (const Error& e) {
            EXPECT_EQ(e.Message(), L"Targa image is not valid");
        }
    }
}

TEST(PictureLoadBitmap, EveryStoredKindBecomesTwentyFourBitsOnWhite) {
    // Written by the bitmap writer in every format, read back through the loader.
    Bitmap source = NewSizedBitmap(5, 3, std::nullopt);
    for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
            source.SetPixel(x, y, (x + y) % 2 ? MakeColor(0, 0, 0) : MakeColor(255, 255, 255));
        }
    }
    source.SetPixel(2, 1, MakeColor(255, 0, 0));
    for (const int bpp : {1, 4, 8, 16, 24, 32}) {
        SCOPED_TRACE(bpp);
        Bitmap stored = source;
        if (bpp == 1) {
            stored.SetPixel(2, 1, kBlack);
        }
        const Color red = stored.PixelAt(2, 1);
        stored.SetBitsPerPixel(bpp);
        for (const wchar_t* name : {L"a.bmp", L"a.dib", L"a.rle", L"a.xyz"}) {
            const Bitmap result = Decode(name, WriteBmp(stored));
            ASSERT_EQ(result.BitsPerPixel(), 24);
            EXPECT_EQ(result.PixelAt(2, 1), red);
            EXPECT_EQ(result.PixelAt(0, 0), kWhite);
            EXPECT_EQ(result.PixelAt(1, 0), kBlack);
            ExpectOpaque(result);
            if (bpp <= 8) {
                EXPECT_EQ(result.Palette(), stored.Palette());
            }
        }
    }
}

TEST(PictureLoadBitmap, RleAndTopDownFilesReadByTheBitmapReader) {
    // RLE8, 4 x 2: bottom row 4 x index 1, top row 2 x index 0 then end of picture.
    std::vector<uint8_t> f = {
        'B', 'M', 0, 0, 0, 0, 0, 0, 0, 0, 62, 0, 0, 0, 40,  0, 0,   0, 4, 0, 0,
        0,   2,   0, 0, 0, 1, 0, 8, 0, 1, 0,  0, 0, 0, 0,   0, 0,   0, 0, 0, 0,
        0,   0,   0, 0, 2, 0, 0, 0, 0, 0, 0,  0, 0, 0, 255, 0, 255, 0, 0, 0,  // palette: red, blue
        4,   1,   0, 0, 2, 0, 0, 1};
    const Bitmap result = Decode(L"a.rle", f);
    EXPECT_EQ(result.PixelAt(0, 1), MakeColor(0, 0, 255));
    EXPECT_EQ(result.PixelAt(3, 1), MakeColor(0, 0, 255));
    EXPECT_EQ(result.PixelAt(1, 0), MakeColor(255, 0, 0));
}

TEST(PictureLoadPortableAnymap, PlainAndBinaryKinds) {
    const auto bytes = [](const std::string& s) {
        return std::vector<uint8_t>(s.begin(), s.end());
    };
    Bitmap result = Decode(L"a.pbm", bytes("P1\n# comment\n3 1\n1 0 1\n"
                                           "                                          "));
    EXPECT_EQ(result.PixelAt(0, 0), kBlack);
    EXPECT_EQ(result.PixelAt(1, 0), kWhite);
    result = Decode(L"a.pgm", bytes("P2 2 1 15 0 15                                          "
                                    "       "));
    EXPECT_EQ(result.PixelAt(1, 0), kWhite);
    std::string p6 = "P6\n2 1\n255\n";
    p6 += std::string("\x01\x02\x03\xFA\xFB\xFC", 6);
    p6.resize(60, ' ');
    result = Decode(L"a.ppm", bytes(p6));
    EXPECT_EQ(result.PixelAt(0, 0), MakeColor(1, 2, 3));
    EXPECT_EQ(result.PixelAt(1, 0), MakeColor(250, 251, 252));
    std::string p5 = "P5 1 1 65535\n";
    p5 += std::string("\x80\x00", 2);
    p5.resize(60, ' ');
    result = Decode(L"a.pgm", bytes(p5));
    EXPECT_EQ(result.PixelAt(0, 0), MakeColor(128, 128, 128));
    std::string p4 = "P4 9 1\n";
    p4 += std::string("\x80\x80", 2);
    p4.resize(60, ' ');
    result = Decode(L"a.pbm", bytes(p4));
    EXPECT_EQ(result.PixelAt(0, 0), kBlack);
    EXPECT_EQ(result.PixelAt(8, 0), kBlack);
    EXPECT_EQ(result.PixelAt(1, 0), kWhite);
}

TEST(PictureLoadEps, TiffPreviewIsShown) {
    const Rgba source = test::NoisePattern(9, 7, 3, 5);
    const auto tiff = test::EncodeTiff(source);
    const std::vector<uint8_t> eps = test::EpsWithTiffPreview(tiff);
    ExpectPixels(Decode(L"figure.eps", eps), source, 0);
}

}  // namespace
}  // namespace corvalo

// Decoded pixels and transparency settings of every format the loader reads, from sample files
// the codec libraries write.
#include "base/error.h"
#include "base/text.h"
#include "support/picture_samples.h"
#include "picture/bmp_format.h"
#include "picture/picture_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string>

#include <jerror.h>
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

std::wstring ErrorOf(const wchar_t* name, const std::vector<uint8_t>& bytes) {
    try {
        Decode(name, bytes);
    } catch (const Error& e) {
        return e.Message();
    }
    return L"(decoded)";
}

std::vector<uint8_t> FirstBytes(const std::vector<uint8_t>& bytes, size_t length) {
    return std::vector<uint8_t>(bytes.begin(), bytes.begin() + ptrdiff_t(length));
}

// The mean of every pixel's largest channel difference.
double MeanDistance(const Bitmap& a, const Bitmap& b) {
    double sum = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            sum += Distance(a.PixelAt(x, y), b.PixelAt(x, y));
        }
    }
    return sum / (double(a.Width()) * a.Height());
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

TEST(PictureLoadJpeg, AFileThatOnlyLostItsEndOrHasStrayBytesIsShownMissingRowsAreNot) {
    const auto file = test::RealPictureFile("hopper_orientation_6.jpg");
    const Bitmap whole = Decode(L"photo.jpg", file);
    // A copy cut off just before its end marker holds every row.
    EXPECT_EQ(Decode(L"photo.jpg", FirstBytes(file, file.size() - 2)), whole);
    EXPECT_EQ(Decode(L"photo.jpg", FirstBytes(file, file.size() - 1)), whole);
    // An EXIF segment that claims 2 bytes less than it holds: the library skips them as stray
    // bytes before the next marker.
    auto strayBytes = file;
    ASSERT_EQ(strayBytes[20], 0xFF);
    ASSERT_EQ(strayBytes[21], 0xE1);
    strayBytes[23] = uint8_t(strayBytes[23] - 2);
    EXPECT_EQ(Decode(L"photo.jpg", strayBytes), whole);
    // A real progressive file that lost the last byte of its end marker: every scan is whole.
    auto progressiveCut = test::RealPictureFile("truncated_jpeg.jpg");
    const Bitmap cutShown = Decode(L"cut.jpg", progressiveCut);
    progressiveCut.push_back(0xD9);
    EXPECT_EQ(cutShown, Decode(L"whole.jpg", progressiveCut));
    // Cut inside the rows' data: refused, as a file that ended early.
    const std::wstring endedEarly = FillNumber(L"JPEG error #%d", JWRN_JPEG_EOF);
    EXPECT_EQ(ErrorOf(L"photo.jpg", FirstBytes(file, file.size() * 2 / 3)), endedEarly);
    EXPECT_EQ(ErrorOf(L"photo.jpg", FirstBytes(file, file.size() - 40)), endedEarly);
    // A progressive file that ends before its last scan: every row is there, but not at its full
    // quality.
    test::JpegOptions progressive;
    progressive.progressive = true;
    const auto layered = test::EncodeJpeg(test::BlockPattern(40, 24, 3), progressive);
    static constexpr uint8_t kScanStart[] = {0xFF, 0xDA};
    const auto lastScan =
        std::find_end(layered.begin(), layered.end(), std::begin(kScanStart), std::end(kScanStart));
    EXPECT_EQ(ErrorOf(L"layers.jpg", FirstBytes(layered, size_t(lastScan - layered.begin()))),
              endedEarly);
    // Damaged data inside a row still refuses the file.
    auto damaged = file;
    for (size_t i = file.size() / 2; i < file.size() / 2 + 40; ++i) {
        damaged[i] = 0xFF;
    }
    EXPECT_EQ(ErrorOf(L"photo.jpg", damaged).substr(0, 12), L"JPEG error #");
}

TEST(PictureLoadJpeg, ExifOrientationShowsThePhotoAsTheCameraWasHeld) {
    // One photo stored in each orientation: shown upright, all of them are the same picture.
    const Bitmap mirrored = Decode(L"2.jpg", test::RealPictureFile("hopper_orientation_2.jpg"));
    const Bitmap asStored = Decode(L"plain.jpg", [] {
        auto f = test::RealPictureFile("hopper_orientation_2.jpg");
        // The EXIF block's little-endian orientation entry (tag, type SHORT, one value): its
        // value becomes 1.
        static constexpr uint8_t kEntry[] = {0x12, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00};
        const auto entry = std::search(f.begin(), f.end(), std::begin(kEntry), std::end(kEntry));
        EXPECT_NE(entry, f.end());
        entry[8] = 1;
        return f;
    }());
    EXPECT_GT(MeanDistance(mirrored, asStored), 20.0);  // the photo tells its sides apart
    for (int orientation = 3; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string name = "hopper_orientation_" + std::to_string(orientation) + ".jpg";
        const Bitmap upright = Decode(L"photo.jpg", test::RealPictureFile(name.c_str()));
        ASSERT_EQ(upright.Width(), mirrored.Width());
        EXPECT_LT(MeanDistance(upright, mirrored), 6.0);
    }

    // Where the stored picture's top-left and top-right corners are seen, and the size: a
    // picture stored 24 x 16 and turned a quarter is 16 x 24.
    const Color topLeft = MakeColor(255, 0, 0), topRight = MakeColor(0, 0, 255);
    Rgba stored{24, 16, 3, std::vector<uint8_t>(24 * 16 * 3, 255)};
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            uint8_t* left = &stored.samples[size_t(y * 24 + x) * 3];
            left[1] = left[2] = 0;
            uint8_t* right = &stored.samples[size_t(y * 24 + 16 + x) * 3];
            right[0] = right[1] = 0;
        }
    }
    enum Corner { TL, TR, BR, BL };
    const Corner corners[9][2] = {{},       {TL, TR}, {TR, TL}, {BR, BL}, {BL, BR},
                                  {TL, BL}, {TR, BR}, {BR, TR}, {BL, TL}};
    for (int orientation = 1; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        test::JpegOptions options;
        options.exifOrientation = orientation;
        const Bitmap shown = Decode(L"turned.jpg", test::EncodeJpeg(stored, options));
        const bool turned = orientation >= 5;
        ASSERT_EQ(shown.Width(), turned ? 16 : 24);
        ASSERT_EQ(shown.Height(), turned ? 24 : 16);
        const auto at = [&](Corner c) {
            return shown.PixelAt(c == TR || c == BR ? shown.Width() - 2 : 1,
                                 c == BL || c == BR ? shown.Height() - 2 : 1);
        };
        EXPECT_LE(Distance(at(corners[orientation][0]), topLeft), 8);
        EXPECT_LE(Distance(at(corners[orientation][1]), topRight), 8);
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

// A GIF whose image data is the given 12-bit codes after a minimum code size byte.
std::vector<uint8_t> WideCodeGif(int width, int height, uint8_t codeSize,
                                 const std::vector<int>& codes) {
    std::vector<uint8_t> file = {'G', 'I',  'F', '8', '9', 'a', uint8_t(width), 0, uint8_t(height),
                                 0,   0xF7, 0,   0};
    for (int i = 0; i < 256; ++i) {  // index 5 red, 7 green, the rest black
        file.insert(file.end(), {uint8_t(i == 5 ? 255 : 0), uint8_t(i == 7 ? 255 : 0), 0});
    }
    file.insert(file.end(), {0x2C, 0, 0, 0, 0, uint8_t(width), 0, uint8_t(height), 0, 0, codeSize});
    std::vector<uint8_t> data;
    uint32_t bits = 0;
    int held = 0;
    for (const int code : codes) {
        bits |= uint32_t(code) << held;
        for (held += 12; held >= 8; held -= 8, bits >>= 8) {
            data.push_back(uint8_t(bits));
        }
    }
    if (held > 0) {
        data.push_back(uint8_t(bits));
    }
    file.push_back(uint8_t(data.size()));
    file.insert(file.end(), data.begin(), data.end());
    file.insert(file.end(), {0, 0x3B});
    return file;
}

// Minimum code sizes up to 11 decode as other readers decode them (the codes start at 12 bits),
// a real file's (Pillow's issue_2811.gif) included; 12 leaves no room for a code and is refused.
TEST(PictureLoadGif, WideMinimumCodeSizesUpToElevenDecode) {
    // Clear, 5, 7, then 2050 (5 7), 2051 (7 5) and 2053, the code being made (7 5 7); end.
    const Bitmap result =
        Decode(L"wide.gif", WideCodeGif(9, 1, 11, {2048, 5, 7, 2050, 2051, 2053, 2049}));
    const Color red = MakeColor(255, 0, 0), green = MakeColor(0, 255, 0);
    const Color expected[] = {red, green, red, green, green, red, green, red, green};
    ASSERT_EQ(result.Width(), 9);
    for (int x = 0; x < 9; ++x) {
        EXPECT_EQ(result.PixelAt(x, 0), expected[x]) << x;
    }
    // Data that ends early shows the rows that came; a code size beyond 11 is no GIF data.
    const Bitmap early = Decode(L"wide.gif", WideCodeGif(3, 2, 11, {2048, 5, 7, 2050}));
    EXPECT_EQ(early.PixelAt(2, 0), red);
    EXPECT_EQ(early.PixelAt(0, 1), kWhite);
    EXPECT_THROW(Decode(L"wide.gif", WideCodeGif(3, 1, 12, {4096, 5, 4097})), Error);

    const Bitmap real = Decode(L"issue_2811.gif", test::RealPictureFile("issue_2811.gif"));
    EXPECT_EQ(real.Width(), 100);
    EXPECT_EQ(real.Height(), 100);
    std::set<Color> colours;
    for (int y = 0; y < real.Height(); ++y) {
        for (int x = 0; x < real.Width(); ++x) {
            colours.insert(real.PixelAt(x, y));
        }
    }
    EXPECT_GT(colours.size(), 2u) << "a picture, not a blank";
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

TEST(PictureLoadGif, ImageDataThatEndsEarlyShowsTheRowsThatCame) {
    const auto file = test::RealPictureFile("hopper_resized.gif");
    const Bitmap whole = Decode(L"photo.gif", file);
    ASSERT_EQ(whole.Height(), 64);
    // Cut at every length: refused until the first row has come, then the rows that came in
    // place and white for the rest, more rows the more of the file there is.
    const std::vector<uint8_t> whiteRow(whole.Stride(), 255);
    int shownBefore = 0;
    bool refusedFirst = false;
    for (size_t length = 0; length < file.size(); ++length) {
        const auto cut = FirstBytes(file, length);
        if (shownBefore == 0) {
            const std::wstring error = ErrorOf(L"photo.gif", cut);
            if (error != L"(decoded)") {
                refusedFirst = refusedFirst || error == L"Invalid GIF data";
                continue;
            }
        }
        const Bitmap shown = Decode(L"photo.gif", cut);
        int rows = 0;
        for (int y = 0; y < 64; ++y) {
            if (std::equal(shown.Row(y), shown.Row(y) + whole.Stride(), whole.Row(y))) {
                ++rows;
            } else {
                ASSERT_TRUE(std::equal(whiteRow.begin(), whiteRow.end(), shown.Row(y)))
                    << length << " bytes, row " << y;
            }
        }
        ASSERT_GE(rows, std::max(shownBefore, 1)) << length << " bytes";
        shownBefore = rows;
    }
    EXPECT_TRUE(refusedFirst);
    EXPECT_GT(shownBefore, 50);
}

TEST(PictureLoadTiff, OrientationTagShowsThePageUpright) {
    // One page stored in each of the eight orientations (real files; 5 to 8 stored 88 x 590):
    // upright, all are the page as the first stores it, 590 x 88. The files were scanned apart:
    // a few pixels along the strokes' edges differ.
    const Bitmap page = Decode(L"page.tif", test::RealPictureFile("g4_orientation_1.tif"));
    ASSERT_EQ(page.Width(), 590);
    ASSERT_EQ(page.Height(), 88);
    for (int orientation = 2; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string name = "g4_orientation_" + std::to_string(orientation) + ".tif";
        const Bitmap upright = Decode(L"page.tif", test::RealPictureFile(name.c_str()));
        ASSERT_EQ(upright.Width(), 590);
        ASSERT_EQ(upright.Height(), 88);
        int differing = 0;
        for (int y = 0; y < 88; ++y) {
            for (int x = 0; x < 590; ++x) {
                differing += upright.PixelAt(x, y) != page.PixelAt(x, y);
            }
        }
        EXPECT_LT(differing, 590 * 88 / 250);
    }
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

TEST(PictureLoadJpeg2000, AnOpacityChannelIsBlendedOntoWhite) {
    for (const int channels : {2, 4}) {
        SCOPED_TRACE(channels);
        const Rgba source = test::NoisePattern(21, 13, channels, 17);
        test::Jpeg2000Options options;
        options.opacity = true;
        const Bitmap result = Decode(L"soft.jp2", test::EncodeJpeg2000(source, options));
        ExpectPixels(result, source, 1);
        ExpectOpaque(result);
    }
}

// Real files of four components without channel definitions (Pillow's rgb_trns_ycbc, as a JP2
// file and as a bare codestream): the fourth is opacity, so the see-through part is white.
TEST(PictureLoadJpeg2000, AFourthComponentWithoutChannelDefinitionsIsOpacity) {
    const Bitmap jp2 = Decode(L"rgb_trns_ycbc.jp2", test::RealPictureFile("rgb_trns_ycbc.jp2"));
    const Bitmap j2k = Decode(L"rgb_trns_ycbc.j2k", test::RealPictureFile("rgb_trns_ycbc.j2k"));
    ASSERT_EQ(jp2.Width(), j2k.Width());
    ASSERT_EQ(jp2.Height(), j2k.Height());
    // A fifth of the picture is see-through; the two files hold the same picture.
    int white = 0;
    for (int y = 0; y < jp2.Height(); ++y) {
        for (int x = 0; x < jp2.Width(); ++x) {
            white += jp2.PixelAt(x, y) == kWhite;
            for (const int shift : {0, 8, 16}) {
                ASSERT_NEAR((jp2.PixelAt(x, y) >> shift) & 0xFF,
                            (j2k.PixelAt(x, y) >> shift) & 0xFF, 2)
                    << x << "," << y;
            }
        }
    }
    EXPECT_GT(white, jp2.Width() * jp2.Height() / 5);
}

TEST(PictureLoadJpeg2000, ASubsampledCodestreamIsYCbCrLinedUpWithThePicture) {
    // Luma for every pixel, chroma for every 2 x 2 cell of the reference grid, and the picture's
    // area starting at (3, 5) on that grid: a cell's chroma belongs to the grid points from its
    // sample on, and the pixels before the first sample take the first.
    const int width = 20, height = 14, x0 = 3, y0 = 5;
    const auto cell = [](int picture, int origin) {
        return std::max((origin + picture) / 2, (origin + 1) / 2);
    };
    Rgba ycc{width, height, 3, {}};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int cx = cell(x, x0), cy = cell(y, y0);
            ycc.samples.push_back(uint8_t(60 + (x * 7 + y * 3) % 130));
            ycc.samples.push_back(uint8_t(128 + ((cx * 37 + cy * 11) % 90) - 45));
            ycc.samples.push_back(uint8_t(128 + ((cx * 13 + cy * 29) % 90) - 45));
        }
    }
    test::Jpeg2000Options options;
    options.jp2 = false;
    options.chromaStep = 2;
    options.originX = x0;
    options.originY = y0;
    const Bitmap result = Decode(L"video.j2k", test::EncodeJpeg2000(ycc, options));
    ASSERT_EQ(result.Width(), width);
    ASSERT_EQ(result.Height(), height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double luma = ycc.At(x, y, 0), cb = ycc.At(x, y, 1) - 128.0,
                         cr = ycc.At(x, y, 2) - 128.0;
            const auto channel = [](double v) { return uint8_t(std::clamp(v + 0.5, 0.0, 255.0)); };
            const Color want =
                MakeColor(channel(luma + 1.402 * cr), channel(luma - 0.344136 * cb - 0.714136 * cr),
                          channel(luma + 1.772 * cb));
            ASSERT_LE(Distance(result.PixelAt(x, y), want), 1) << x << "," << y;
        }
    }
}

// Real files (libwebp's test.webp, lossy; Pillow's hopper, lossy, transparent, lossy with alpha,
// and iss634, a lossless animation) against the decodes Debian's dwebp made of them (of the
// animation's first frame, which covers its canvas, taken out by webpmux): the same pixels, alpha
// blended onto white as the PNG reader blends the reference's.
TEST(PictureLoadWebp, RealFilesMatchTheLibrarysOwnTool) {
    for (const std::string name : {"test", "hopper", "transparent", "iss634"}) {
        SCOPED_TRACE(name);
        const Bitmap ours =
            Decode(L"picture.webp", test::RealPictureFile((name + ".webp").c_str()));
        const Bitmap reference = Decode(
            L"reference.png", test::RealPictureFile(("webp-reference/" + name + ".png").c_str()));
        ASSERT_EQ(ours.Width(), reference.Width());
        ASSERT_EQ(ours.Height(), reference.Height());
        int worst = 0;
        for (int y = 0; y < ours.Height(); ++y) {
            for (int x = 0; x < ours.Width(); ++x) {
                worst = std::max(worst, Distance(ours.PixelAt(x, y), reference.PixelAt(x, y)));
            }
        }
        EXPECT_LE(worst, 1);
    }
}

TEST(PictureLoadWebp, ExifOrientationShowsThePhotoUprightAndDamageIsTheLibrarysError) {
    // Pillow's one photo stored in each orientation: shown upright, each is the plain one.
    const Bitmap plain = Decode(L"plain.webp", test::RealPictureFile("hopper.webp"));
    for (int orientation = 2; orientation <= 8; ++orientation) {
        SCOPED_TRACE(orientation);
        const std::string name = "hopper_orientation_" + std::to_string(orientation) + ".webp";
        const Bitmap upright = Decode(L"photo.webp", test::RealPictureFile(name.c_str()));
        ASSERT_EQ(upright.Width(), plain.Width());
        EXPECT_LT(MeanDistance(upright, plain), 6.0);
    }
    // Their EXIF chunks matter: the mirrored one with its orientation set to 1 is not upright.
    std::vector<uint8_t> mirrored = test::RealPictureFile("hopper_orientation_2.webp");
    static constexpr uint8_t kEntry[] = {0x12, 0x01, 0x03, 0x00, 0x01, 0x00, 0x00, 0x00};
    const auto entry =
        std::search(mirrored.begin(), mirrored.end(), std::begin(kEntry), std::end(kEntry));
    ASSERT_NE(entry, mirrored.end());
    entry[8] = 1;
    EXPECT_GT(MeanDistance(Decode(L"asStored.webp", mirrored), plain), 20.0);

    // A file cut anywhere, or damaged, is the library's error, never a crash; one cut inside its
    // header says the data ran out.
    const std::vector<uint8_t> whole = test::RealPictureFile("transparent.webp");
    for (size_t size = 0; size < whole.size(); size += size < 64 ? 1 : 397) {
        const std::vector<uint8_t> cut(whole.begin(), whole.begin() + ptrdiff_t(size));
        try {
            Decode(L"cut.webp", cut);
        } catch (const Error&) {
        }
    }
    try {
        Decode(L"cut.webp", std::vector<uint8_t>(whole.begin(), whole.begin() + 20));
        ADD_FAILURE() << "a header alone decoded";
    } catch (const Error& error) {
        EXPECT_EQ(error.Message(), L"WebP error #7 (NOT_ENOUGH_DATA)");
    }
    std::vector<uint8_t> damaged = test::RealPictureFile("test.webp");
    damaged[23] = 0;  // the lossy frame's start code
    try {
        Decode(L"damaged.webp", damaged);
        ADD_FAILURE() << "a damaged frame decoded";
    } catch (const Error& error) {
        EXPECT_EQ(error.Message(), L"WebP error #3 (BITSTREAM_ERROR)");
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

    // Grey with an alpha byte after it, uncompressed and RLE: the grey shows, whatever the alpha.
    result = Decode(L"ga.tga", test::TargaFile(3, 2, 1, 16, 0x28, {10, 0, 200, 255}));
    EXPECT_EQ(result.PixelAt(0, 0), MakeColor(10, 10, 10));
    EXPECT_EQ(result.PixelAt(1, 0), MakeColor(200, 200, 200));
    result = Decode(L"ga.tga", test::TargaFile(11, 2, 1, 16, 0x28, {0x81, 90, 7}));
    EXPECT_EQ(result.PixelAt(1, 0), MakeColor(90, 90, 90));
    // A real one: 64 x 64, run-length, top-down.
    result = Decode(L"la.tga", test::RealPictureFile("la.tga"));
    ASSERT_EQ(result.Width(), 64);
    std::set<Color> greys;
    for (int y = 0; y < 64; ++y) {
        for (int x = 0; x < 64; ++x) {
            const Color c = result.PixelAt(x, y);
            ASSERT_TRUE(RedOf(c) == GreenOf(c) && GreenOf(c) == BlueOf(c)) << x << "," << y;
            greys.insert(c);
        }
    }
    EXPECT_GT(greys.size(), 32u);

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
         {test::TargaFile(2, 2, 1, 8, 0, four), test::TargaFile(3, 2, 1, 24, 0, four),
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

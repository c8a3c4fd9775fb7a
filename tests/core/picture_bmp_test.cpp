#include "base/error.h"
#include "support/bmp_samples.h"
#include "picture/bitmap.h"
#include "picture/bmp_format.h"
#include "picture/picture_decoders.h"

#include <gtest/gtest.h>

#include <random>

namespace corvalo {
namespace {

constexpr wchar_t kStreamReadError[] = L"Stream read error";
constexpr wchar_t kNotValid[] = L"Bitmap image is not valid";

using test::BmpFile;

std::wstring ReadError(const std::vector<uint8_t>& file, size_t limit = kMaxBitmapBytes) {
    try {
        ReadBmp(file, limit);
    } catch (const Error& e) {
        return e.Message();
    }
    return L"(read)";
}

Bitmap RandomBitmap(int w, int h, int bpp, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> pixels(DibStride(w, bpp) * size_t(h));
    for (uint8_t& p : pixels) {
        p = uint8_t(random());
    }
    std::vector<Color> palette;
    if (bpp <= 8) {
        palette.resize(size_t(1) << bpp);
        for (Color& c : palette) {
            c = Color(random()) & 0x00FFFFFF;
        }
    }
    return Bitmap::FromPixels(w, h, bpp, std::move(pixels), std::move(palette));
}

void ExpectSamePicture(const Bitmap& a, const Bitmap& b) {
    ASSERT_EQ(a.Width(), b.Width());
    ASSERT_EQ(a.Height(), b.Height());
    ASSERT_EQ(a.BitsPerPixel(), b.BitsPerPixel());
    EXPECT_EQ(a.Palette(), b.Palette());
    EXPECT_EQ(a.Pixels(), b.Pixels());
}

TEST(BmpFormat, RoundTripsEveryPixelFormat) {
    uint32_t seed = 1;
    for (int bpp : {1, 4, 8, 16, 24, 32}) {
        for (int width : {1, 3, 13, 33}) {
            const Bitmap original = RandomBitmap(width, 5, bpp, seed++);
            ExpectSamePicture(ReadBmp(WriteBmp(original)), original);
        }
    }
    // A short palette, a palette carried by a direct format, and none at all.
    Bitmap shortPalette = RandomBitmap(7, 2, 8, 50);
    shortPalette.SetPalette({kBlack, kWhite, MakeColor(1, 2, 3)});
    ExpectSamePicture(ReadBmp(WriteBmp(shortPalette)), shortPalette);
    Bitmap informative = RandomBitmap(3, 3, 24, 51);
    informative.SetPalette({MakeColor(9, 9, 9), MakeColor(8, 8, 8)});
    ExpectSamePicture(ReadBmp(WriteBmp(informative)), informative);
    const Bitmap noPalette = Bitmap::FromPixels(2, 2, 4, {0x12, 0, 0, 0, 0x34, 0, 0, 0});
    const Bitmap back = ReadBmp(WriteBmp(noPalette));
    EXPECT_EQ(back.Pixels(), noPalette.Pixels());
    EXPECT_EQ(back.PixelAt(1, 1), noPalette.PixelAt(1, 1));
    // An empty picture stays empty.
    const Bitmap empty = ReadBmp(WriteBmp(Bitmap()));
    EXPECT_TRUE(empty.Empty());
    EXPECT_EQ(empty.BitsPerPixel(), 24);
    // A picture of no width but many rows, as a damaged mask of an icon list may declare.
    for (int bpp : {1, 24}) {
        BmpFile noWidth;
        noWidth.height = 64;
        noWidth.bpp = uint16_t(bpp);
        noWidth.palette.assign(bpp == 1 ? 2 : 0, kBlack);
        const Bitmap thin = ReadBmp(noWidth.Bytes());
        EXPECT_TRUE(thin.Empty()) << bpp;
        EXPECT_EQ(thin.Height(), 64) << bpp;
    }
}

TEST(BmpFormat, WritesAPlainBottomUpInfoHeaderFile) {
    Bitmap b = NewSizedBitmap(2, 2, kWhite);
    b.SetPixel(0, 1, MakeColor(10, 20, 30));  // bottom-left
    const std::vector<uint8_t> file = WriteBmp(b);
    ASSERT_EQ(file.size(), 14u + 40u + 16u);
    EXPECT_EQ(file[0], 'B');
    EXPECT_EQ(file[1], 'M');
    EXPECT_EQ(file[2], file.size());  // file size
    EXPECT_EQ(file[10], 54);          // pixels right after the header
    EXPECT_EQ(file[14], 40);          // info header
    EXPECT_EQ(file[22], 2);           // positive height: bottom-up
    EXPECT_EQ(file[28], 24);
    EXPECT_EQ(file[30], 0);  // uncompressed
    // The first stored row is the bottom one.
    EXPECT_EQ(file[54], 30);
    EXPECT_EQ(file[55], 20);
    EXPECT_EQ(file[56], 10);
}

TEST(BmpFormat, ReadsOtherHeaderKinds) {
    // OS/2 core header: 16-bit sizes and three-byte palette entries.
    BmpFile core = BmpFile::Of(3, 2, 8);
    core.headerSize = 12;
    core.palette.assign(256, kBlack);
    core.palette[5] = MakeColor(50, 60, 70);
    core.palette[6] = MakeColor(1, 2, 3);
    core.pixels = {5, 6, 5, 0, 6, 6, 6, 0};  // bottom row first
    const Bitmap fromCore = ReadBmp(core.Bytes());
    EXPECT_EQ(fromCore.BitsPerPixel(), 8);
    EXPECT_EQ(fromCore.PixelAt(0, 1), MakeColor(50, 60, 70));
    EXPECT_EQ(fromCore.PixelAt(1, 1), MakeColor(1, 2, 3));
    EXPECT_EQ(fromCore.PixelAt(0, 0), MakeColor(1, 2, 3));

    // V4 and V5 headers, top-down.
    for (uint32_t headerSize : {108u, 124u, 52u, 56u}) {
        BmpFile v = BmpFile::Of(1, -2, 24);
        v.headerSize = headerSize;
        v.pixels = {1, 2, 3, 0, 4, 5, 6, 0};  // top row first
        const Bitmap b = ReadBmp(v.Bytes());
        EXPECT_EQ(b.PixelAt(0, 0), MakeColor(3, 2, 1)) << headerSize;
        EXPECT_EQ(b.PixelAt(0, 1), MakeColor(6, 5, 4)) << headerSize;
    }
}

TEST(BmpFormat, ReadsShortAndMisplacedPalettes) {
    // Three entries for 8 bits per pixel.
    BmpFile file = BmpFile::Of(4, 1, 8);
    file.colorsUsed = 3;
    file.palette = {MakeColor(10, 0, 0), MakeColor(0, 10, 0), MakeColor(0, 0, 10)};
    file.pixels = {2, 1, 0, 7};
    const Bitmap b = ReadBmp(file.Bytes());
    EXPECT_EQ(b.Palette(), file.palette);
    EXPECT_EQ(b.PixelAt(0, 0), MakeColor(0, 0, 10));
    EXPECT_EQ(b.PixelAt(3, 0), kBlack);  // index past the palette

    // Colours used left 0 but the pixels begin after two entries: the table ends there.
    BmpFile cut = file;
    cut.colorsUsed = 0;
    cut.bpp = 4;
    cut.palette.resize(2);
    cut.pixels = {0x10, 0x11, 0, 0};
    const Bitmap fromCut = ReadBmp(cut.Bytes());
    EXPECT_EQ(fromCut.Palette().size(), 2u);
    EXPECT_EQ(fromCut.PixelAt(0, 0), MakeColor(0, 10, 0));

    // A pixel offset of 0 (some writers leave it out): the pixels follow the table.
    BmpFile zero = file;
    zero.pixelOffset = 0;
    std::vector<uint8_t> bytes = zero.Bytes();
    EXPECT_EQ(ReadBmp(bytes).Pixels(), b.Pixels());
}

TEST(BmpFormat, ReadsBitFields) {
    // 5-6-5 becomes 24 bpp, each channel widened to full range.
    BmpFile rgb565 = BmpFile::Of(4, 1, 16, 3);
    rgb565.masks = {0xF800, 0x07E0, 0x001F};
    rgb565.pixels = {0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x10, 0x84};
    for (uint32_t headerSize : {40u, 108u}) {
        rgb565.headerSize = headerSize;
        const Bitmap b = ReadBmp(rgb565.Bytes());
        EXPECT_EQ(b.BitsPerPixel(), 24);
        EXPECT_EQ(b.PixelAt(0, 0), MakeColor(255, 0, 0));
        EXPECT_EQ(b.PixelAt(1, 0), MakeColor(0, 255, 0));
        EXPECT_EQ(b.PixelAt(2, 0), MakeColor(0, 0, 255));
        EXPECT_EQ(b.PixelAt(3, 0), MakeColor(132, 130, 132));
    }

    // 5-5-5 bit fields are the bitmap's own 16-bit format: kept.
    BmpFile rgb555 = rgb565;
    rgb555.headerSize = 40;
    rgb555.masks = {0x7C00, 0x03E0, 0x001F};
    const Bitmap b555 = ReadBmp(rgb555.Bytes());
    EXPECT_EQ(b555.BitsPerPixel(), 16);
    EXPECT_EQ(b555.Pixels(),
              (std::vector<uint8_t>{0x00, 0xF8, 0xE0, 0x07, 0x1F, 0x00, 0x10, 0x84}));

    // 32 bits: the usual masks are kept as they are, others are rearranged to B,G,R.
    BmpFile rgbx = BmpFile::Of(1, 1, 32, 3);
    rgbx.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
    rgbx.pixels = {1, 2, 3, 4};
    const Bitmap usual = ReadBmp(rgbx.Bytes());
    EXPECT_EQ(usual.BitsPerPixel(), 32);
    EXPECT_EQ(usual.Pixels(), rgbx.pixels);
    rgbx.masks = {0x000000FF, 0x0000FF00, 0x00FF0000};
    const Bitmap swapped = ReadBmp(rgbx.Bytes());
    EXPECT_EQ(swapped.BitsPerPixel(), 32);
    EXPECT_EQ(swapped.PixelAt(0, 0), MakeColor(1, 2, 3));
    rgbx.masks = {0xFFC00000, 0x003FF000, 0x00000FFC};  // 10 bits a channel
    rgbx.pixels = {0xFC, 0x0F, 0x00, 0x00};             // blue full, green 0, red 0
    EXPECT_EQ(ReadBmp(rgbx.Bytes()).PixelAt(0, 0), MakeColor(0, 0, 255));
}

TEST(BmpFormat, DecodesRunLengthPictures) {
    const Bitmap b = ReadBmp(test::Rle8Sample().Bytes());
    ASSERT_EQ(b.BitsPerPixel(), 8);
    // Expected indexes, top row first; skipped pixels are index 0.
    const int expected[4][5] = {{4, 4, 4, 4, 4}, {0, 0, 9, 9, 0}, {0, 0, 0, 0, 0}, {7, 7, 7, 1, 2}};
    for (int y = 0; y < 4; ++y) {
        for (int x = 0; x < 5; ++x) {
            EXPECT_EQ(b.Row(y)[x], expected[y][x]) << x << "," << y;
        }
    }

    // RLE4: runs alternate the two nibbles; absolute runs count nibbles.
    const Bitmap b4 = ReadBmp(test::Rle4Sample().Bytes());
    ASSERT_EQ(b4.BitsPerPixel(), 4);
    const auto nibble = [&](int x, int y) {
        const uint8_t byte = b4.Row(y)[x / 2];
        return (x % 2) ? (byte & 0x0F) : (byte >> 4);
    };
    const int row0[7] = {1, 2, 1, 2, 1, 0, 0};  // bottom row
    const int row1[7] = {0xA, 0xB, 0xC, 0, 0, 0, 0};
    for (int x = 0; x < 7; ++x) {
        EXPECT_EQ(nibble(x, 1), row0[x]) << x;
        EXPECT_EQ(nibble(x, 0), row1[x]) << x;
    }
}

TEST(BmpFormat, RefusesWhatItCannotRead) {
    BmpFile good = BmpFile::Of(2, 2, 24);
    good.pixels.assign(16, 0);
    ASSERT_EQ(ReadError(good.Bytes()), L"(read)");

    std::vector<uint8_t> png = good.Bytes();
    png[0] = 0x89;
    EXPECT_EQ(ReadError(png), kNotValid);

    const auto variant = [&](auto change) {
        BmpFile f = good;
        change(f);
        return ReadError(f.Bytes());
    };
    EXPECT_EQ(variant([](BmpFile& f) { f.headerSize = 64; }), kNotValid);
    EXPECT_EQ(variant([](BmpFile& f) { f.bpp = 2; }), kNotValid);
    EXPECT_EQ(variant([](BmpFile& f) { f.bpp = 0; }), kNotValid);
    EXPECT_EQ(variant([](BmpFile& f) { f.compression = 4; }), kNotValid);  // JPEG inside
    EXPECT_EQ(variant([](BmpFile& f) { f.compression = 1; }), kNotValid);  // RLE8 at 24 bpp
    EXPECT_EQ(variant([](BmpFile& f) { f.width = -2; }), kNotValid);
    EXPECT_EQ(variant([](BmpFile& f) { f.height = INT32_MIN; }), kNotValid);
    EXPECT_EQ(variant([](BmpFile& f) {
                  f.bpp = 8;
                  f.compression = 1;
                  f.height = -2;  // run-length pictures are never top-down
              }),
              kNotValid);
    EXPECT_EQ(variant([](BmpFile& f) {
                  f.bpp = 16;
                  f.compression = 3;
                  f.masks = {0xF00F, 0x0F00, 0x00F0};  // red's bits are not contiguous
              }),
              kNotValid);
    // Sizes beyond the limits are refused before anything is allocated.
    EXPECT_EQ(variant([](BmpFile& f) { f.width = 70000; }), kNotValid);
    EXPECT_EQ(variant([](BmpFile& f) {
                  f.bpp = 8;
                  f.compression = 1;
                  f.width = 60000;
                  f.height = 60000;  // 3.6 GB from a few bytes
                  f.pixels = {0, 1};
              }),
              kNotValid);
    BmpFile bomb = good;
    bomb.bpp = 8;
    bomb.compression = 1;
    bomb.width = 4000;
    bomb.height = 4000;
    bomb.pixels = {0, 1};
    EXPECT_NO_THROW(ReadBmp(bomb.Bytes()));
    try {
        ReadBmp(bomb.Bytes(), 1 << 20);
        ADD_FAILURE() << "16 MB picture read under a 1 MB limit";
    } catch (const Error& e) {
        EXPECT_EQ(e.Message(), kNotValid);
    }

    // Pixels that the file does not hold.
    EXPECT_EQ(variant([](BmpFile& f) { f.pixels.resize(15); }), kStreamReadError);
    std::vector<uint8_t> farOffset = good.Bytes();
    farOffset[11] = 0x10;  // pixels said to start at 4096 + 54, past the end
    EXPECT_EQ(ReadError(farOffset), kStreamReadError);
    EXPECT_EQ(variant([](BmpFile& f) { f.height = 200000; }), kNotValid);
    EXPECT_EQ(variant([](BmpFile& f) { f.height = 30000; }), kStreamReadError);
    // Run-length data that stops before the picture is complete and has no end mark.
    EXPECT_EQ(variant([](BmpFile& f) {
                  f.bpp = 8;
                  f.compression = 1;
                  f.palette.assign(2, kWhite);
                  f.pixels = {2, 1, 0, 0};  // one row of two
              }),
              kStreamReadError);
    // ... while one that fills every row may leave the end mark out.
    EXPECT_EQ(variant([](BmpFile& f) {
                  f.bpp = 8;
                  f.compression = 1;
                  f.palette.assign(2, kWhite);
                  f.pixels = {2, 1, 0, 0, 2, 1, 0, 0};
              }),
              L"(read)");
}

// Skips and an early end let a run-length file of a few bytes claim any size, so it is held to the
// picture loader's limit; a file whose pixels are all stored keeps the bitmap's own limit, since
// its size already pays for them.
TEST(BmpFormat, HoldsRunLengthPicturesToThePictureLimit) {
    BmpFile rle;
    rle.bpp = 4;
    rle.compression = 2;
    rle.palette.assign(16, kWhite);
    rle.pixels = {0, 1};  // end of bitmap at once: every pixel index 0
    rle.width = 16384;
    rle.height = int32_t(kMaxPicturePixels / 16384);
    const Bitmap largest = ReadBmp(rle.Bytes());
    EXPECT_EQ(uint64_t(largest.Width()) * uint64_t(largest.Height()), kMaxPicturePixels);
    rle.height += 1;
    EXPECT_EQ(ReadError(rle.Bytes()), L"Invalid image size");
    rle.bpp = 8;
    rle.compression = 1;
    EXPECT_EQ(ReadError(rle.Bytes()), L"Invalid image size");

    BmpFile stored;
    stored.bpp = 1;
    stored.palette = {kBlack, kWhite};
    stored.width = rle.width;
    stored.height = rle.height;
    stored.pixels.assign(DibStride(stored.width, 1) * size_t(stored.height), 0xAA);
    EXPECT_EQ(ReadError(stored.Bytes()), L"(read)");
}

// Every prefix of a valid file is a damaged file: each must be refused with one of the reader's
// two messages, never read past its end (the sanitizers watch that).
void ExpectEveryTruncationRefused(const std::vector<uint8_t>& file, size_t pixelsFrom) {
    ASSERT_EQ(ReadError(file), L"(read)");
    for (size_t length = 0; length < file.size(); ++length) {
        // A copy of exactly `length` bytes, so a read past the end is caught.
        const std::vector<uint8_t> cut(file.begin(), file.begin() + std::ptrdiff_t(length));
        const std::wstring error = ReadError(cut);
        if (length < 14 || length >= pixelsFrom) {
            ASSERT_EQ(error, kStreamReadError) << "length " << length;
        } else {
            ASSERT_TRUE(error == kStreamReadError || error == kNotValid) << "length " << length;
        }
    }
}

TEST(BmpFormat, RefusesEveryTruncation) {
    const Bitmap paletted = RandomBitmap(5, 3, 4, 9);
    const std::vector<uint8_t> written = WriteBmp(paletted);
    ExpectEveryTruncationRefused(written, 14 + 40 + 16 * 4);

    BmpFile rle = test::Rle8File(5, 4, std::vector<Color>(10, kBlack));
    ExpectEveryTruncationRefused(rle.Bytes(), 14 + 40 + 40);
    rle.imageSize = 0;  // without a size the data runs to the end of the file
    ExpectEveryTruncationRefused(rle.Bytes(), 14 + 40 + 40);

    BmpFile fields = test::BitFields565(2);
    fields.headerSize = 124;
    ExpectEveryTruncationRefused(fields.Bytes(), 14 + 124);
    fields.headerSize = 40;
    ExpectEveryTruncationRefused(fields.Bytes(), 14 + 40 + 12);
}

TEST(BmpFormat, SurvivesRandomDamage) {
    BmpFile rle = test::Rle8File(9, 6, std::vector<Color>(10, kWhite));
    rle.imageSize = 0;
    const std::vector<std::vector<uint8_t>> seeds = {
        WriteBmp(RandomBitmap(6, 4, 1, 1)), WriteBmp(RandomBitmap(5, 3, 16, 2)), rle.Bytes()};
    std::mt19937 random(2024);
    int read = 0;
    for (int round = 0; round < 3000; ++round) {
        std::vector<uint8_t> file = seeds[size_t(round) % seeds.size()];
        const int flips = 1 + int(random() % 4);
        for (int i = 0; i < flips; ++i) {
            file[random() % file.size()] = uint8_t(random());
        }
        // A damaged size may ask for gigabytes; that path is covered above.
        const std::wstring error = ReadError(file, 1 << 20);
        ASSERT_TRUE(error == L"(read)" || error == kStreamReadError || error == kNotValid);
        read += error == L"(read)";
    }
    EXPECT_GT(read, 0);  // damage to pixel bytes alone leaves a readable file
}

}  // namespace
}  // namespace corvalo

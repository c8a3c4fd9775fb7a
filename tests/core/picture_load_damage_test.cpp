// Damaged files of every format: every truncation and random corruption gives a bitmap or that
// format's error, never a crash (this suite runs under AddressSanitizer and
// UndefinedBehaviorSanitizer natively), and claimed sizes past the limit fail before any large
// allocation.
#include "base/error.h"
#include "support/bmp_samples.h"
#include "support/picture_samples.h"
#include "picture/bmp_format.h"
#include "picture/picture_decoders.h"
#include "picture/picture_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <random>
#include <set>
#include <utility>

namespace corvalo {
namespace {

struct Sample {
    const wchar_t* name;
    std::vector<uint8_t> bytes;
    // What a truncated copy may fail with; empty: any message (libraries with their own texts).
    std::set<std::wstring> truncationErrors;
};

std::vector<Sample> Samples() {
    const test::Rgba rgb = test::NoisePattern(24, 20, 3, 1);
    const test::Rgba rgba = test::NoisePattern(24, 20, 4, 2);
    test::JpegOptions progressive;
    progressive.progressive = true;
    test::PngOptions interlaced;
    interlaced.interlaced = true;
    test::GifOptions gif;
    for (int i = 0; i < 256; ++i) {
        gif.palette.push_back(MakeColor(uint8_t(i), uint8_t(255 - i), uint8_t(i / 2)));
    }
    gif.interlaced = true;
    gif.transparentIndex = 4;
    test::Rgba indexes = test::NoisePattern(24, 20, 1, 3);
    test::TiffOptions lzwTiles;
    lzwTiles.compression = test::TiffCompression::Lzw;
    lzwTiles.tiled = true;
    test::TiffOptions jpegStrips;
    jpegStrips.compression = test::TiffCompression::Jpeg;
    std::vector<uint8_t> tga = {0, 0, 10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 24, 0, 20, 0, 24, 0x20};
    for (int i = 0; i < 24 * 20; i += 4) {
        tga.insert(tga.end(), {0x83, uint8_t(i), 0, 0});
    }
    Bitmap bmp = NewSizedBitmap(24, 20, std::nullopt);
    for (int i = 0; i < 24 * 20; ++i) {
        bmp.SetPixel(i % 24, i / 24, MakeColor(uint8_t(i), uint8_t(i * 3), 0));
    }

    const std::set<std::wstring> jpegErrors;  // "JPEG error #n": checked by prefix below
    return {
        {L"a.jpg", test::EncodeJpeg(rgb), jpegErrors},
        {L"a.jpg", test::EncodeJpeg(rgb, progressive), jpegErrors},
        {L"a.png", test::EncodePng(rgba), {L"Stream read error"}},
        {L"a.png", test::EncodePng(rgb, interlaced), {L"Stream read error"}},
        {L"a.gif",
         test::EncodeGif(indexes, gif),
         {L"Invalid GIF signature", L"Unsupported GIF version", L"Invalid GIF data"}},
        {L"a.jp2",
         test::EncodeJpeg2000(rgb, true),
         {L"JPEG 2000 image decoding failed", L"Unknown JPEG 2000 file type"}},
        {L"a.jp2",
         test::EncodeJpeg2000(rgb, false),
         {L"JPEG 2000 image decoding failed", L"Unknown JPEG 2000 file type"}},
        {L"a.tif", test::EncodeTiff(rgb, lzwTiles), {}},
        {L"a.tif", test::EncodeTiff(rgb, jpegStrips), {}},
        {L"a.tga", tga, {L"Stream read error", L"Targa image is not valid"}},
        {L"a.bmp", WriteBmp(bmp), {L"Stream read error", L"Bitmap image is not valid"}},
    };
}

// Decodes and reports the error, or "" for a bitmap (which must then be whole).
std::wstring Outcome(const wchar_t* name, std::span<const uint8_t> bytes) {
    try {
        const Bitmap b = DecodePictureFile(name, bytes);
        EXPECT_EQ(b.BitsPerPixel(), 24);
        EXPECT_EQ(b.Pixels().size(), b.Stride() * size_t(b.Height()));
        return L"";
    } catch (const Error& e) {
        EXPECT_FALSE(e.Message().empty());
        return e.Message();
    }
}

TEST(PictureLoadDamage, EveryTruncationGivesTheFormatsError) {
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(testing::Message()
                     << "sample " << s.name << ", " << s.bytes.size() << " bytes");
        ASSERT_EQ(Outcome(s.name, s.bytes), L"");
        // Every length up to 300 bytes, then in steps.
        for (size_t length = 0; length < s.bytes.size();
             length += length < 300 ? 1 : 1 + s.bytes.size() / 97) {
            const std::wstring message =
                Outcome(s.name, std::span<const uint8_t>(s.bytes).first(length));
            if (std::wstring(s.name) == L"a.png" && length >= s.bytes.size() - 12 &&
                message.empty()) {
                continue;  // only the end chunk is missing: every pixel is there
            }
            if (std::wstring(s.name) == L"a.jpg" && length >= s.bytes.size() - 2 &&
                message.empty()) {
                continue;  // only the end marker is missing: every row is there
            }
            if (std::wstring(s.name) == L"a.gif" && message.empty()) {
                continue;  // the rows that came are shown (the picture was checked whole)
            }
            if (std::wstring(s.name) == L"a.jpg") {
                EXPECT_EQ(message.substr(0, 12), L"JPEG error #") << length;
            } else if (!s.truncationErrors.empty() && length > 0) {
                EXPECT_TRUE(s.truncationErrors.count(message)) << length << ": " << message.c_str();
            } else {
                EXPECT_NE(message, L"") << length;
            }
        }
    }
}

TEST(PictureLoadDamage, RandomCorruptionNeverCrashes) {
    std::mt19937 random(20240611);
    for (const Sample& s : Samples()) {
        SCOPED_TRACE(s.name);
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> damaged = s.bytes;
            const int changes = 1 + int(random() % 8);
            for (int i = 0; i < changes; ++i) {
                damaged[random() % damaged.size()] = uint8_t(random());
            }
            Outcome(s.name, damaged);  // a bitmap or an Error, nothing else
        }
    }
}

std::vector<uint8_t> Be32(uint32_t v) {
    return {uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
}

TEST(PictureLoadDamage, HugeClaimedSizesFailBeforeAllocating) {
    const auto err = [](const wchar_t* name, const std::vector<uint8_t>& bytes) {
        try {
            DecodePictureFile(name, bytes);
        } catch (const Error& e) {
            return e.Message();
        }
        return std::wstring(L"(decoded)");
    };
    // PNG of 100000 x 100000: libpng accepts the header, the loader's limit refuses it.
    auto png = test::EncodePng(test::BlockPattern(2, 2, 3));
    const auto w = Be32(100000);
    std::copy(w.begin(), w.end(), png.begin() + 16);
    std::copy(w.begin(), w.end(), png.begin() + 20);
    // The header's CRC must stay right, or libpng stops at that instead.
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 12; i < 29; ++i) {
        crc ^= png[i];
        for (int k = 0; k < 8; ++k) {
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
        }
    }
    const auto c = Be32(~crc);
    std::copy(c.begin(), c.end(), png.begin() + 29);
    EXPECT_EQ(err(L"big.png", png), L"Invalid image size");

    // Targa of 65535 x 65535 (over the pixel limit) in 20 bytes.
    EXPECT_EQ(
        err(L"big.tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 255, 255, 255, 255, 24, 0, 0, 0}),
        L"Invalid image size");
    // GIF whose screen is 65535 x 65535.
    EXPECT_EQ(err(L"big.gif", {'G', 'I', 'F', '8', '9', 'a', 255, 255, 255, 255, 0,    0, 0, ',', 0,
                               0,   0,   0,   1,   0,   1,   0,   0,   2,   2,   0x4C, 1, 0, ';'}),
              L"Invalid image size");
    // PPM of 100000 x 100000.
    std::string ppm = "P6 100000 100000 255\n";
    ppm.resize(64, '\0');
    EXPECT_EQ(err(L"big.ppm", std::vector<uint8_t>(ppm.begin(), ppm.end())), L"Invalid image size");
    // JPEG: the library's own limit (65500) or the loader's.
    auto jpeg = test::EncodeJpeg(test::BlockPattern(8, 8, 3));
    for (size_t i = 2; i + 9 < jpeg.size(); ++i) {
        if (jpeg[i] == 0xFF && jpeg[i + 1] == 0xC0) {  // start of frame: height, then width
            jpeg[i + 5] = 0xFF;
            jpeg[i + 6] = 0x00;
            jpeg[i + 7] = 0xFF;
            jpeg[i + 8] = 0x00;
            break;
        }
    }
    EXPECT_EQ(err(L"big.jpg", jpeg), L"Invalid image size");
    // TIFF: width and height tags of 100000.
    const auto tiff = test::EncodeTiff(test::BlockPattern(2, 2, 3));
    auto bigTiff = tiff;
    const uint32_t ifd =
        bigTiff[4] | bigTiff[5] << 8 | bigTiff[6] << 16 | uint32_t(bigTiff[7]) << 24;
    const unsigned entries = bigTiff[ifd] | bigTiff[ifd + 1] << 8;
    for (unsigned i = 0; i < entries; ++i) {
        uint8_t* e = &bigTiff[ifd + 2 + 12 * i];
        const unsigned tag = e[0] | e[1] << 8;
        if (tag == 256 || tag == 257) {
            const unsigned type = e[2] | e[3] << 8;
            e[2] = 4;  // LONG
            e[3] = 0;
            (void)type;
            e[8] = 0xA0;
            e[9] = 0x86;
            e[10] = 0x01;
            e[11] = 0x00;
        }
    }
    const std::wstring tiffError = err(L"big.tif", bigTiff);
    EXPECT_NE(tiffError, L"(decoded)");
    // BMP of 100000 x 100000 x 24: the bitmap reader refuses it.
    Bitmap small = NewSizedBitmap(1, 1, kWhite);
    auto bmp = WriteBmp(small);
    for (int at : {18, 22}) {
        bmp[size_t(at)] = 0xA0;
        bmp[size_t(at) + 1] = 0x86;
        bmp[size_t(at) + 2] = 0x01;
    }
    EXPECT_EQ(err(L"big.bmp", bmp), L"Bitmap image is not valid");
}

// Sets the size marker's fields of the codestream in a JPEG 2000 file: picture and tile size.
std::vector<uint8_t> WithJpeg2000Layout(std::vector<uint8_t> file, uint32_t width, uint32_t height,
                                        uint32_t tileWidth, uint32_t tileHeight) {
    const uint8_t marker[] = {0xFF, 0x4F, 0xFF, 0x51};
    const auto siz = std::search(file.begin(), file.end(), std::begin(marker), std::end(marker));
    EXPECT_NE(siz, file.end());
    const size_t at = size_t(siz - file.begin());
    for (const auto& [offset, value] :
         {std::pair<size_t, uint32_t>{8, width}, {12, height}, {24, tileWidth}, {28, tileHeight}}) {
        const auto bytes = Be32(value);
        std::copy(bytes.begin(), bytes.end(), file.begin() + ptrdiff_t(at + offset));
    }
    return file;
}

TEST(PictureLoadDamage, Jpeg2000LayoutsThatAskTooMuchOfTheLibraryAreRefused) {
    const auto outcome = [](const std::vector<uint8_t>& bytes) {
        try {
            DecodePictureFile(L"big.jp2", bytes);
        } catch (const Error& e) {
            return e.Message();
        }
        return std::wstring(L"(decoded)");
    };
    for (bool jp2 : {false, true}) {
        SCOPED_TRACE(jp2 ? "JP2 file" : "codestream");
        const auto rgb = test::EncodeJpeg2000(test::BlockPattern(9, 7, 3), jp2);
        // Within the pixel limit, but three components of 32-bit samples would take 1.4 GB.
        EXPECT_EQ(outcome(WithJpeg2000Layout(rgb, 11000, 11000, 11000, 11000)),
                  L"Invalid image size");
        // A small picture cut into 9 x 7 tiles: tens of thousands of tiles in a few hundred bytes.
        EXPECT_EQ(outcome(WithJpeg2000Layout(rgb, 9, 63000, 9, 7)),
                  L"JPEG 2000 image decoding failed");
        // One component in 9000 tiles is within the tile limit, but a few hundred bytes cannot
        // hold a tile-part for each: the library would make up the missing tiles.
        const auto grey = test::EncodeJpeg2000(test::NoisePattern(40, 30, 1, 4), jp2);
        EXPECT_EQ(outcome(WithJpeg2000Layout(grey, 9, 63000, 9, 7)),
                  L"JPEG 2000 image decoding failed");
        // The sample files themselves still decode, in one tile or in many small ones.
        EXPECT_EQ(outcome(rgb), L"(decoded)");
        EXPECT_EQ(outcome(grey), L"(decoded)");
        EXPECT_EQ(outcome(test::EncodeJpeg2000(test::NoisePattern(40, 30, 1, 4), jp2, 8)),
                  L"(decoded)");
    }
}

TEST(PictureLoadDamage, ShortFilesOfLargePicturesFailWithoutTakingTheirMemory) {
    // 11000 x 11000 fits the limit but needs 363 MB: a header alone says "too short" first.
    const auto err = [](const wchar_t* name, std::vector<uint8_t> bytes) {
        bytes.resize(std::max<size_t>(bytes.size(), 60), 0);
        try {
            DecodePictureFile(name, bytes);
        } catch (const Error& e) {
            return e.Message();
        }
        return std::wstring(L"(decoded)");
    };
    EXPECT_EQ(err(L"big.tga", {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xF8, 0x2A, 0xF8, 0x2A, 24, 0}),
              L"Stream read error");
    // Run-length packets stand for 128 pixels at most: 11000 x 11000 needs at least 3.7 MB.
    EXPECT_EQ(err(L"big.tga", {0, 0,    10,   0,    0,    0,  0, 0,    0, 0, 0,
                               0, 0xF8, 0x2A, 0xF8, 0x2A, 24, 0, 0xFF, 1, 2, 3}),
              L"Stream read error");
    // GIF: an image of 11000 x 11000 whose few bytes of data cannot hold it.
    EXPECT_EQ(err(L"big.gif", {'G', 'I', 'F', '8',  '9',  'a',  1,    0, 1, 0, 0,    0, 0, ',', 0,
                               0,   0,   0,   0xF8, 0x2A, 0xF8, 0x2A, 0, 2, 2, 0x4C, 1, 0, ';'}),
              L"Invalid GIF data");
    const std::string ppm = "P6 11000 11000 255\n";
    EXPECT_EQ(err(L"big.ppm", std::vector<uint8_t>(ppm.begin(), ppm.end())), L"Stream read error");
}

TEST(PictureLoadDamage, PictureSizeLimit) {
    EXPECT_THROW(NewPictureBitmap(100000, 100000, L"x"), Error);
    EXPECT_THROW(NewPictureBitmap(16384, 8193, L"x"), Error);
    try {
        NewPictureBitmap(0, 5, L"zero");
        ADD_FAILURE();
    } catch (const Error& e) {
        EXPECT_EQ(e.Message(), L"zero");
    }
    const Bitmap ok = NewPictureBitmap(3, 2, L"x");
    EXPECT_EQ(ok.PixelAt(2, 1), kWhite);
}

// The bitmap reader reads a file of no rows or no columns (the program's own picture may be one),
// but as a picture to show it is refused, in the 24-bit layout the loader takes as it is too.
TEST(PictureLoadDamage, BitmapFilesOfNoSizeAreNotPictures) {
    for (const auto& [width, height] : {std::pair{245, 0}, std::pair{0, 3}}) {
        for (uint16_t bpp : {24, 8}) {
            test::BmpFile file = test::BmpFile::Of(width, height, bpp);
            if (bpp == 8) {
                file.palette.assign(256, kWhite);
            }
            ASSERT_NO_THROW(ReadBmp(file.Bytes()));
            try {
                DecodeWindowsBitmap(file.Bytes());
                ADD_FAILURE() << width << " x " << height << " at " << bpp << " bpp decoded";
            } catch (const Error& e) {
                EXPECT_EQ(e.Message(), L"Bitmap image is not valid");
            }
        }
    }
}

}  // namespace
}  // namespace corvalo

// Writes the seed inputs of every fuzz target: sound files and blocks of each kind, made by the
// same builders and codec libraries as the tests' samples, so the fuzzers start from inputs that
// reach deep into each reader.
//
//   make_fuzz_seeds <folder>    writes <folder>/<target>/<name>, replacing what was there

#include "app/icon_list_stream.h"
#include "app/instance_list.h"
#include "base/text.h"
#include "support/bmp_samples.h"
#include "support/dropped_data_samples.h"
#include "support/icon_list_samples.h"
#include "support/picture_samples.h"
#include "support/version_block_samples.h"
#include "picture/bitmap.h"
#include "picture/bmp_format.h"

#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvalo::test {
namespace {

namespace fs = std::filesystem;
using namespace std::literals;

class SeedWriter {
  public:
    explicit SeedWriter(fs::path root) : root_(std::move(root)) {}

    void Add(const std::string& target, const std::string& name,
             const std::vector<uint8_t>& bytes) {
        const fs::path folder = root_ / target;
        fs::create_directories(folder);
        std::ofstream out(folder / name, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!out)
            throw std::runtime_error("cannot write " + (folder / name).string());
        ++count_;
    }
    void Add(const std::string& target, const std::string& name, std::string_view text) {
        Add(target, name, std::vector<uint8_t>(text.begin(), text.end()));
    }
    int Count() const { return count_; }

  private:
    fs::path root_;
    int count_ = 0;
};

Bitmap PatternBitmap(int width, int height, int bpp) {
    Bitmap bitmap = NewSizedBitmap(width, height, std::nullopt);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, MakeColor(uint8_t(x * 40), uint8_t(y * 60), uint8_t(x ^ y)));
    }
    if (bpp <= 8) {
        std::vector<Color> palette;
        for (int i = 0; i < (1 << bpp); ++i)
            palette.push_back(MakeColor(uint8_t(i * 37), uint8_t(255 - i), uint8_t(i * 11)));
        bitmap.SetPalette(palette);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x)
                bitmap.SetPixel(x, y, palette[size_t(x + y) % palette.size()]);
        }
    }
    bitmap.SetBitsPerPixel(bpp);
    return bitmap;
}

void IconListSeeds(SeedWriter& seeds) {
    const std::string target = "icon_list";
    seeds.Add(target, "defaults", WriteIconListFile(IconListProperties{}));
    seeds.Add(target, "main-window-empty", WriteIconListFile(MainWindowList(std::nullopt)));
    seeds.Add(target, "main-window-stream",
              WriteIconListFile(MainWindowList(Bytes{'I', 'L', 1, 1, 4, 0, 4, 0, 0, 0})));
    const Bytes older =
        OlderLayout(WriteBmp(PatternBitmap(64, 32, 24)), 3, WriteBmp(PatternBitmap(64, 32, 1)));
    seeds.Add(target, "main-window-older", WriteIconListFile(MainWindowList(older)));
    seeds.Add(target, "older-layout-alone", older);
    seeds.Add(target, "other-properties", WithHeader(StreamWith(OtherProperties())));
}

void LegacyListSeeds(SeedWriter& seeds) {
    const std::string target = "legacy_list";
    const std::wstring text =
        L"Editor=C:\\Tools\\edit.exe\r\nNotes=D:\\n\u00f6tes.txt\n"
        L"Mail=mailto:a@b.c\rSite=http://example.com/\u2028Last=x\r\n";
    seeds.Add(target, "ansi", WideToAnsi(text));
    std::string utf8 = "\xEF\xBB\xBF" + WideToUtf8(text);
    seeds.Add(target, "utf8", utf8);
    seeds.Add(target, "utf16le", Utf16Le(WideToUtf16(text)));
    seeds.Add(target, "utf16be", Utf16Be(WideToUtf16(text)));
    seeds.Add(target, "utf16-surrogates", Utf16Le(WideToUtf16(L"Music=\U0001D11E\r\nZero=a\0b"sv)));
}

void SettingsIntegerSeeds(SeedWriter& seeds) {
    const std::string target = "settings_integer";
    int n = 0;
    for (const wchar_t* text :
         {L"0", L"  -42", L"+2147483647", L"-2147483648", L"$FF000000", L"-$80000000",
          L"0x7fffffff", L"0X0000000000001", L"2147483648", L"- 5", L"0x", L"$", L"12 "}) {
        seeds.Add(target, "text" + std::to_string(n++), Utf16Le(WideToUtf16(text), false));
    }
}

void BmpSeeds(SeedWriter& seeds) {
    const std::string target = "bmp";
    for (int bpp : {1, 4, 8, 16, 24, 32})
        seeds.Add(target, "plain" + std::to_string(bpp), WriteBmp(PatternBitmap(7, 5, bpp)));

    seeds.Add(target, "rle8", Rle8Sample().Bytes());
    seeds.Add(target, "rle4", Rle4Sample().Bytes());

    BmpFile fields = BitFields565(-2);
    seeds.Add(target, "bitfields565-topdown", fields.Bytes());
    fields.headerSize = 108;
    fields.bpp = 32;
    fields.masks = {0xFF000000, 0x00FF0000, 0x0000FF00, 0x000000FF};
    fields.pixels.assign(24, 0xA5);
    seeds.Add(target, "v4-bitfields32", fields.Bytes());

    BmpFile core = BmpFile::Of(4, 2, 8);
    core.headerSize = 12;
    core.palette = {kBlack, kWhite, MakeColor(1, 2, 3)};
    core.pixels.assign(8, 1);
    seeds.Add(target, "os2-core", core.Bytes());
}

void PictureSeeds(SeedWriter& seeds) {
    const Rgba grey = NoisePattern(9, 7, 1, 1);
    const Rgba rgb = BlockPattern(16, 16, 3);
    const Rgba rgba = NoisePattern(9, 7, 4, 2);
    const Rgba greyAlpha = NoisePattern(5, 4, 2, 3);

    seeds.Add("jpeg", "baseline", EncodeJpeg(rgb));
    seeds.Add("jpeg", "grey", EncodeJpeg(BlockPattern(16, 8, 1), {75, false, false, false}));
    seeds.Add("jpeg", "progressive", EncodeJpeg(rgb, {90, true, false, false}));
    seeds.Add("jpeg", "cmyk", EncodeJpeg(BlockPattern(8, 8, 4), {100, false, true, false}));
    seeds.Add("jpeg", "exif-turned",
              EncodeJpeg(BlockPattern(16, 8, 3), {90, false, false, false, 6}));
    seeds.Add("jpeg", "exif-mirrored-cmyk",
              EncodeJpeg(BlockPattern(8, 16, 4), {90, false, true, false, 2}));
    seeds.Add("jpeg", "real-exif", RealPictureFile("hopper_orientation_5.jpg"));

    // EXIF blocks as a JPEG file's APP1 segment holds them, in both byte orders.
    const Bytes exifLittle = {'E', 'x',  'i', 'f', 0, 0, 'I', 'I', 42, 0,   8,   0,   0, 0,    2,
                              0,   0x0F, 1,   2,   0, 4, 0,   0,   0,  'M', 'a', 'k', 0, 0x12, 1,
                              3,   0,    1,   0,   0, 0, 8,   0,   0,  0,   0,   0,   0, 0};
    const Bytes exifBig = {'E', 'x',  'i', 'f', 0, 0, 'M', 'M', 0, 42, 0, 0, 0, 8, 0, 1,
                           1,   0x12, 0,   3,   0, 0, 0,   1,   0, 6,  0, 0, 0, 0, 0, 0};
    seeds.Add("exif", "little-endian", exifLittle);
    seeds.Add("exif", "big-endian", exifBig);

    seeds.Add("png", "grey", EncodePng(grey));
    seeds.Add("png", "grey-alpha", EncodePng(greyAlpha));
    seeds.Add("png", "rgb-interlaced", EncodePng(rgb, {8, true, false, {}, {}, std::nullopt}));
    seeds.Add("png", "rgba-16bit", EncodePng(rgba, {16, false, false, {}, {}, std::nullopt}));
    seeds.Add("png", "rgb-key",
              EncodePng(rgb, {8, false, false, {}, {}, std::vector<uint16_t>{0, 0, 0}}));
    Rgba indexes = NoisePattern(6, 5, 1, 4);
    for (uint8_t& index : indexes.samples)
        index %= 4;
    PngOptions palette{2,
                       false,
                       true,
                       {kBlack, kWhite, MakeColor(200, 0, 0), MakeColor(0, 9, 99)},
                       {255, 0, 128, 255},
                       std::nullopt};
    seeds.Add("png", "palette-2bit-alpha", EncodePng(indexes, palette));

    GifOptions gif;
    for (int i = 0; i < 16; ++i)
        gif.palette.push_back(MakeColor(uint8_t(i * 16), uint8_t(255 - i * 16), uint8_t(i)));
    Rgba gifIndexes = NoisePattern(12, 9, 1, 5);
    for (uint8_t& index : gifIndexes.samples)
        index %= 16;
    seeds.Add("gif", "plain", EncodeGif(gifIndexes, gif));
    gif.interlaced = true;
    gif.transparentIndex = 3;
    gif.screenWidth = 20;
    gif.screenHeight = 14;
    gif.left = 2;
    gif.top = 3;
    seeds.Add("gif", "interlaced-transparent-offset", EncodeGif(gifIndexes, gif));
    const Bytes photoGif = RealPictureFile("hopper_resized.gif");
    seeds.Add("gif", "real-cut-short", Bytes(photoGif.begin(), photoGif.begin() + 1500));
    seeds.Add("gif", "real-wide-codes", RealPictureFile("issue_2811.gif"));

    // WebP: real files of each kind (lossy, lossy with alpha, EXIF, a lossless animation cut to
    // its first frames).
    seeds.Add("webp", "lossy", RealPictureFile("test.webp"));
    seeds.Add("webp", "alpha", RealPictureFile("transparent.webp"));
    seeds.Add("webp", "exif", RealPictureFile("hopper_orientation_6.webp"));
    const Bytes animation = RealPictureFile("iss634.webp");
    seeds.Add("webp", "animation-start", Bytes(animation.begin(), animation.begin() + 20000));

    seeds.Add("jpeg2000", "jp2", EncodeJpeg2000(NoisePattern(9, 7, 3, 6), true));
    seeds.Add("jpeg2000", "codestream", EncodeJpeg2000(NoisePattern(9, 7, 3, 7), false));
    seeds.Add("jpeg2000", "grey-codestream", EncodeJpeg2000(grey, false));
    Jpeg2000Options soft;
    soft.opacity = true;
    seeds.Add("jpeg2000", "rgb-opacity", EncodeJpeg2000(rgba, soft));
    seeds.Add("jpeg2000", "grey-opacity", EncodeJpeg2000(greyAlpha, soft));
    seeds.Add("jpeg2000", "real-fourth-component", RealPictureFile("rgb_trns_ycbc.jp2"));
    Jpeg2000Options video;
    video.jp2 = false;
    video.chromaStep = 2;
    video.originX = 3;
    video.originY = 1;
    seeds.Add("jpeg2000", "subsampled-offset", EncodeJpeg2000(NoisePattern(9, 7, 3, 9), video));

    const Rgba small = NoisePattern(9, 7, 3, 8);
    seeds.Add("tiff", "plain", EncodeTiff(small));
    seeds.Add("tiff", "lzw-tiles", EncodeTiff(rgb, {TiffCompression::Lzw, true, 8}));
    seeds.Add("tiff", "deflate", EncodeTiff(rgba, {TiffCompression::Deflate, false, 4}));
    seeds.Add("tiff", "jpeg", EncodeTiff(rgb, {TiffCompression::Jpeg, false, 8}));
    seeds.Add("tiff", "grey", EncodeTiff(grey));
    seeds.Add("tiff", "real-turned", RealPictureFile("g4_orientation_6.tif"));

    seeds.Add("eps", "tiff-preview", EpsWithTiffPreview(EncodeTiff(small)));

    seeds.Add("targa", "true24", TargaFile(2, 2, 2, 24, 0, Bytes(12, 0x40)));
    seeds.Add("targa", "true16-top", TargaFile(2, 2, 2, 16, 0x20, Bytes(8, 0x7C)));
    seeds.Add("targa", "true32-right", TargaFile(2, 2, 2, 32, 0x18, Bytes(16, 0x99)));
    seeds.Add("targa", "rle24",
              TargaFile(10, 3, 2, 24, 0x20, {0x83, 0, 0, 255, 0x01, 0, 255, 0, 255, 255, 255}));
    seeds.Add("targa", "grey", TargaFile(3, 2, 2, 8, 0, {10, 20, 30, 40}));
    seeds.Add("targa", "rle-grey", TargaFile(11, 2, 2, 8, 0, {0x81, 50, 0x01, 60, 70}));
    seeds.Add("targa", "grey-alpha", TargaFile(3, 2, 1, 16, 0x28, {10, 0, 200, 255}));
    seeds.Add("targa", "real-rle-grey-alpha", RealPictureFile("la.tga"));
    const Bytes map = {0, 0, 255, 0, 255, 0, 255, 0, 0};
    seeds.Add("targa", "mapped", TargaFile(1, 3, 1, 8, 0x20, {2, 1, 0}, 24, map, 3, "id!"));
    seeds.Add("targa", "rle-mapped", TargaFile(9, 3, 1, 8, 0x20, {0x82, 1}, 24, map, 3));
    seeds.Add("targa", "mapped16", TargaFile(1, 1, 1, 8, 0, {0}, 16, {0x1F, 0x00}, 1));

    seeds.Add("pnm", "p1", "P1\n# comment\n3 1\n1 0 1\n");
    seeds.Add("pnm", "p2", "P2 2 1 15 0 15\n");
    seeds.Add("pnm", "p3", "P3\n2 2\n255\n1 2 3 4 5 6\n7 8 9 250 251 252\n");
    seeds.Add("pnm", "p4", std::string("P4 9 1\n\x80\x80", 9));
    seeds.Add("pnm", "p5-16bit", std::string("P5 1 1 65535\n\x80\x00", 15));
    seeds.Add("pnm", "p6", std::string("P6\n2 1\n255\n\x01\x02\x03\xFA\xFB\xFC", 17));
}

void DroppedDataSeeds(SeedWriter& seeds) {
    const std::string target = "dropped_data";
    const std::string names("C:\\a.txt\0C:\\Docs\\b c.lnk\0D:\\x\0\0", 31);
    seeds.Add(target, "file-list", DropFiles(names));
    seeds.Add(target, "file-list-wide", DropFiles(names, true));

    Bytes idLists;
    PutU32(idLists, 0, 2);
    PutU32(idLists, 4, 16);
    PutU32(idLists, 8, 18);
    PutU32(idLists, 12, 24);
    AppendIdList(idLists, {});
    AppendIdList(idLists, {2});
    AppendIdList(idLists, {1, 3});
    seeds.Add(target, "shell-id-lists", idLists);

    Bytes field;
    AppendChars(field, std::string("Example.url\0junk", 16));
    seeds.Add(target, "descriptor", Descriptor(2, field));
    Bytes wideField;
    AppendWide(wideField, u"\u00c9t\u00e9.URL");
    AppendU16(wideField, 0);
    seeds.Add(target, "descriptor-wide", Descriptor(1, wideField, true));

    const std::string shortcut = "internet_shortcut";
    seeds.Add(shortcut, "shortcut", "[InternetShortcut]\r\nURL=http://example.com/a?b=c\r\n");
    seeds.Add(shortcut, "shortcut-later-section",
              "[DEFAULT]\nBASEURL=http://x/\n[InternetShortcut]\nIconIndex=0\nurl=ftp://f/\n");
    seeds.Add(shortcut, "plain-url", std::string("https://example.org/\0tail", 25));
}

void InstanceListSeeds(SeedWriter& seeds) {
    const std::string target = "instance_list";
    // Operations after the block: append 1, 2, 3, remove 2, set the maximum, append 4.
    Bytes operations;
    for (const auto& [op, id] : std::vector<std::pair<uint8_t, uint32_t>>{
             {0, 1}, {0, 2}, {0, 3}, {1, 2}, {2, 2}, {0, 4}, {3, 3}, {1, 9}}) {
        operations.push_back(op);
        AppendU32(operations, id);
    }
    Bytes fresh(kInstanceListBytes, 0);
    fresh.insert(fresh.end(), operations.begin(), operations.end());
    seeds.Add(target, "fresh", fresh);

    Bytes full(kInstanceListBytes, 0x11);
    PutU16(full, 0, 0);
    PutU16(full, 2, kInstanceListCapacity);
    full.insert(full.end(), operations.begin(), operations.end());
    seeds.Add(target, "full", full);

    Bytes damaged(kInstanceListBytes, 0x22);
    PutU16(damaged, 0, 3);
    PutU16(damaged, 2, 0xFFFF);
    damaged.insert(damaged.end(), operations.begin(), operations.end());
    seeds.Add(target, "count-beyond-room", damaged);
}

void VersionBlockSeeds(SeedWriter& seeds) {
    const std::string target = "version_block";
    seeds.Add(target, "typical-32bit", Block(TypicalRoot(), true));
    seeds.Add(target, "typical-16bit", Block(TypicalRoot(), false));
    const Node product{
        "VS_VERSION_INFO",
        FixedInfoBytes(),
        false,
        {Branch("StringFileInfo", {Branch("040904b0", {Text("ProductName", "Corvalo Example"),
                                                       Text("FileVersion", "1.2.3.4")})}),
         Branch("VarFileInfo",
                {Node{"Translation", TranslationBytes({{0x0409, 0x04B0}}), false, {}}})}};
    seeds.Add(target, "product-32bit", Block(product, true));
}

}  // namespace
}  // namespace corvalo::test

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <seed folder>\n", argv[0]);
        return 2;
    }
    try {
        using namespace corvalo::test;
        std::filesystem::remove_all(argv[1]);
        SeedWriter seeds(argv[1]);
        IconListSeeds(seeds);
        LegacyListSeeds(seeds);
        SettingsIntegerSeeds(seeds);
        BmpSeeds(seeds);
        PictureSeeds(seeds);
        DroppedDataSeeds(seeds);
        InstanceListSeeds(seeds);
        VersionBlockSeeds(seeds);
        std::printf("%d seed inputs in %s\n", seeds.Count(), argv[1]);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "make_fuzz_seeds: %s\n", e.what());
        return 1;
    }
    return 0;
}

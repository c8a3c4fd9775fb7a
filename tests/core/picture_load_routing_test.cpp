// Which decoder a picture file goes to, the registered formats and the picture-file test, and
// the loader's own errors, with real files.
#include "base/error.h"
#include "base/text.h"
#include "support/error_message.h"
#include "support/picture_samples.h"
#include "picture/bmp_format.h"
#include "picture/picture_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string_view>

#include <cstdio>
#include <jerror.h>
#include <fstream>

namespace corvalo {
namespace {

using namespace std::string_view_literals;
using test::ErrorOf;

TEST(PictureFileNames, ExtensionStopsAtPathSeparators) {
    EXPECT_EQ(PictureFileExtension(L"C:\\pics\\Photo.JPG"), L".JPG");
    EXPECT_EQ(PictureFileExtension(L"C:\\my.pictures\\readme"), L"");
    EXPECT_EQ(PictureFileExtension(L"/home/me/my.pictures/readme"), L"");
    EXPECT_EQ(PictureFileExtension(L"C:.x:y"), L"");
    EXPECT_EQ(PictureFileExtension(L"archive.tar.gz"), L".gz");
    EXPECT_EQ(PictureFileExtension(L"trailing."), L".");
    EXPECT_EQ(PictureFileExtension(L""), L"");
}

TEST(PictureFileNames, FixedTableTakesSevenExtensionsInAnyCase) {
    EXPECT_EQ(DecoderForFile(L"Photo.JPG"), PictureDecoder::Jpeg);
    EXPECT_EQ(DecoderForFile(L"a.Bmp"), PictureDecoder::WindowsBitmap);
    EXPECT_EQ(DecoderForFile(L"a.PNG"), PictureDecoder::Png);
    EXPECT_EQ(DecoderForFile(L"a.gif"), PictureDecoder::Gif);
    EXPECT_EQ(DecoderForFile(L"a.TGA"), PictureDecoder::Targa);
    EXPECT_EQ(DecoderForFile(L"a.jp2"), PictureDecoder::Jpeg2000);
    EXPECT_EQ(DecoderForFile(L"a.Emf"), PictureDecoder::WindowsMetafile);
    EXPECT_EQ(DecoderForFile(L"\u00C9T\u00C9.JPG"), PictureDecoder::Jpeg);
    for (const wchar_t* general : {L"photo.jpeg", L"photo.jpe", L"scan.tiff", L"shot.j2k", L"a.wmf",
                                   L"a.ico", L"readme", L"a.dib", L"a.jpg.txt"}) {
        EXPECT_FALSE(DecoderForFile(general).has_value()) << general;
    }
}

TEST(PictureFileRegistry, EffectiveContentInRegistrationOrder) {
    const auto& formats = RegisteredFormats();
    std::wstring order;
    for (const auto& f : formats) {
        order += (f.extension.empty() ? L"(none)" : f.extension) + L" ";
    }
    // The standard kinds went when the multi-format library came; the OLE loader stayed.
    EXPECT_EQ(order,
              L"(none) bmp ico wmf emf jfif jpg jpe jpeg msk rle dib tga vst vda win icb tif "
              L"tiff fax eps pcx pcc scr rpf rla sgi rgba rgb bw psd pdd ppm pgm pbm cel pic "
              L"pcd gif cut psp pfr tub png ged gif png jp2 j2k jpc webp ");
    EXPECT_EQ(RegisteredDecoder(L"GIF"), PictureDecoder::Gif);
    EXPECT_EQ(RegisteredDecoder(L"jpe"), PictureDecoder::Jpeg);
    EXPECT_EQ(RegisteredDecoder(L"jpc"), PictureDecoder::Jpeg2000);
    EXPECT_EQ(RegisteredDecoder(L"WebP"), PictureDecoder::Webp);
    EXPECT_EQ(RegisteredDecoder(L"fax"), PictureDecoder::Tiff);
    EXPECT_EQ(RegisteredDecoder(L"rle"), PictureDecoder::WindowsBitmap);
    EXPECT_EQ(RegisteredDecoder(L""), PictureDecoder::OlePicture);
    EXPECT_FALSE(RegisteredDecoder(L"xyz").has_value());
    EXPECT_EQ(PictureFileMask().substr(0, 51),
              L"*.webp;*.jpc;*.j2k;*.jp2;*.png;*.gif;*.ged;*.png;*.");
    EXPECT_EQ(PictureFileMask().substr(PictureFileMask().size() - 5), L"*.bmp");
}

TEST(PictureFileRegistry, IsPictureFileIsASubstringTestOfTheMask) {
    for (const wchar_t* yes : {L"a.PNG", L"a.Tif", L"a.jp", L"b.tg", L"c.jpeg", L"d.JFIF",
                               L"x\\e.j2k", L"f.ico", L"g.wmf", L"h.pbm", L"i.p", L"photo.WEBP"}) {
        EXPECT_TRUE(IsPictureFile(yes)) << yes;
    }
    for (const wchar_t* no :
         {L"a.txt", L"readme", L"C:\\my.pictures\\readme", L"a.exe", L"a.jpgx", L""}) {
        EXPECT_FALSE(IsPictureFile(no)) << no;
    }
}

// Files on disk, in a folder of their own.
class PictureFileOnDisk : public testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("corvalo-pictures-" +
                   std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "-" +
                   testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::wstring Write(const std::wstring& name, const std::vector<uint8_t>& bytes) {
        const std::filesystem::path path = folder_ / std::filesystem::path(WideToUtf8(name));
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        return Utf8ToWide(path.string());
    }
    std::filesystem::path folder_;
};

std::vector<uint8_t> SmallBmp() {
    Bitmap b = NewSizedBitmap(6, 4, MakeColor(10, 20, 30));
    b.SetPixel(5, 3, MakeColor(1, 2, 3));
    return WriteBmp(b);
}

TEST_F(PictureFileOnDisk, RoutingRulesOfTheLoader) {
    const test::Rgba source = test::BlockPattern(16, 16, 3);
    const auto jpeg = test::EncodeJpeg(source);
    // Through the fixed table, and through the general path.
    for (const wchar_t* name : {L"Photo.JPG", L"photo.jpeg", L"photo.jpe", L"photo.JFIF"}) {
        const Bitmap b = LoadPictureFile(Write(name, jpeg));
        EXPECT_EQ(b.Width(), 16) << name;
        EXPECT_LE(std::abs(int(RedOf(b.PixelAt(0, 0))) - 255), 3) << name;
    }
    // "BM" wins in the general path whatever the extension.
    const Bitmap bm = LoadPictureFile(Write(L"picture.xyz", SmallBmp()));
    EXPECT_EQ(bm.PixelAt(5, 3), MakeColor(1, 2, 3));
    EXPECT_EQ(bm.PixelAt(0, 0), MakeColor(10, 20, 30));
    // Not "BM", not registered.
    EXPECT_EQ(ErrorOf([&] { LoadPictureFile(Write(L"picture.xyz", jpeg)); }),
              L"Unknown picture file extension (.xyz)");
    EXPECT_EQ(ErrorOf([&] { LoadPictureFile(Write(L"picture.XyZ", jpeg)); }),
              L"Unknown picture file extension (.XyZ)");
    // In the fixed table the extension alone decides.
    EXPECT_EQ(ErrorOf([&] { LoadPictureFile(Write(L"logo.bmp", test::EncodePng(source))); }),
              L"Bitmap image is not valid");
    // A registered format this build cannot read.
    EXPECT_EQ(ErrorOf([&] { LoadPictureFile(Write(L"layers.psd", jpeg)); }),
              L"Unknown picture file extension (.psd)");
    // No extension: the system's OLE picture loader (the native build has none).
    const std::wstring readme = Write(L"my.pictures/readme", jpeg);
    EXPECT_FALSE(IsPictureFile(readme));
#ifdef _WIN32
    EXPECT_EQ(LoadPictureFile(readme).Width(), 16);
#else
    EXPECT_EQ(ErrorOf([&] { LoadPictureFile(readme); }), L"Picture format is not supported");
#endif
    // The general path reads 54 bytes first.
    const std::vector<uint8_t> short53(jpeg.begin(), jpeg.begin() + 53);
    EXPECT_EQ(ErrorOf([&] { LoadPictureFile(Write(L"short.jpeg", short53)); }),
              L"Stream read error");
    EXPECT_EQ(ErrorOf([&] { LoadPictureFile(Write(L"empty.tiff", {})); }), L"Stream read error");
    // A name outside any 8-bit code page.
    const Bitmap greek = LoadPictureFile(Write(L"\u03B5\u03B9\u03BA\u03CC\u03BD\u03B1.jpg", jpeg));
    EXPECT_EQ(greek.Height(), 16);
}

TEST_F(PictureFileOnDisk, MissingFileNamesItsFullPath) {
    const std::wstring missing = Utf8ToWide((folder_ / "gone.png").string());
    const std::wstring message = ErrorOf([&] { LoadPictureFile(missing); });
    EXPECT_EQ(message.rfind(L"Cannot open file \"" + missing + L"\". ", 0), 0u) << message;
    EXPECT_GT(message.size(), missing.size() + 20);  // the system's reason follows
}

TEST(PictureFileErrors, EveryDecoderMessageFromAFileThatCausesIt) {
    // Padded to 60 bytes, past the general path's first read.
    const auto bytes = [](std::string_view text) {
        std::vector<uint8_t> b(text.begin(), text.end());
        b.resize(std::max<size_t>(b.size(), 60), 0);
        return b;
    };
    const auto err = [&](const wchar_t* name, const std::vector<uint8_t>& b) {
        return ErrorOf([&] { DecodePictureFile(name, b); });
    };
    EXPECT_EQ(err(L"a.bmp", bytes("BM"sv)), L"Bitmap image is not valid");
    EXPECT_EQ(err(L"a.bmp", {'B', 'M', 1}), L"Stream read error");
    EXPECT_EQ(err(L"a.jpg", bytes("\xFF\xD8\xFF\xFF"sv)).substr(0, 12), L"JPEG error #");
    EXPECT_EQ(err(L"a.jpg", bytes("not a jpeg"sv)), FillNumber(L"JPEG error #%d", JERR_NO_SOI));
    EXPECT_EQ(err(L"a.gif", bytes("GIX89a"sv)), L"Invalid GIF signature");
    EXPECT_EQ(err(L"a.gif", bytes("GIF90a"sv)), L"Unsupported GIF version");
    EXPECT_EQ(err(L"a.gif", bytes("GIF89a\x01"sv)), L"Invalid GIF data");
    EXPECT_EQ(err(L"a.jp2", bytes("\x00\x00\x00\x0CjP  "sv)).substr(0, 8), L"JPEG 200");
    EXPECT_EQ(err(L"a.jp2", bytes("\x00\x00\x00\x0CjP  "sv)), L"JPEG 2000 image decoding failed");
    EXPECT_EQ(err(L"a.jp2", bytes("\xFF\x4F\xFF\x51"sv)), L"JPEG 2000 image decoding failed");
    EXPECT_EQ(err(L"a.jp2", bytes("\xFF\x4F\xFF\x52"sv)), L"Unknown JPEG 2000 file type");
    EXPECT_EQ(err(L"a.png", {}), L"This \"Portable Network Graphics\" image contains no data.");
    EXPECT_EQ(err(L"a.png", bytes("not a png"sv)), L"Not a PNG file");
    // Signature, IHDR, IEND and no image data between them.
    auto noData = test::EncodePng(test::BlockPattern(2, 2, 3));
    const size_t idat = 8 + 25;
    noData.erase(noData.begin() + idat, noData.end() - 12);
    EXPECT_EQ(err(L"a.png", noData), L"This \"Portable Network Graphics\" image contains no data.");
    EXPECT_EQ(err(L"a.tga", bytes("\0\0\x07"sv)), L"Targa image is not valid");
    EXPECT_EQ(err(L"a.tif", bytes("II*\0\xFF\xFF\xFF\x0F"sv)).empty(), false);
    EXPECT_EQ(err(L"a.emf", bytes("x"sv)), L"Metafile is not valid");
    EXPECT_EQ(err(L"a.ico", bytes("x"sv)), L"Icon image is not valid");
    EXPECT_EQ(err(L"a.xyz", bytes("x"sv)), L"Unknown picture file extension (.xyz)");
    EXPECT_EQ(err(L"a.ppm", bytes("P7"sv)), L"Portable anymap image is not valid");
    EXPECT_EQ(err(L"a.eps", bytes("%!PS"sv)), L"Encapsulated PostScript file has no TIFF preview");
}

}  // namespace
}  // namespace corvalo

// The system's own picture decoders (enhanced and placeable metafiles, icons, the OLE loader for
// files without an extension) and UTF-16 file names, through LoadPictureFile.
#include "base/error.h"
#include "picture/bmp_format.h"
#include "picture/picture_file.h"
#include "support/sample_pictures_win.h"
#include "support/test_support_win.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace corvalo {
namespace {

using test::EnhancedMetafile;
using test::IconFile;
using test::TempFolder;
using test::TinyGif;
using test::WriteBytes;

std::wstring ErrorOf(const std::wstring& file) {
    try {
        LoadPictureFile(file);
    } catch (const Error& e) {
        return e.Message();
    }
    return L"(loaded)";
}

constexpr Color kRed = MakeColor(255, 0, 0);

// An old-style metafile behind a placeable header: 200 x 100 units at 200 units per inch, a red
// rectangle on units (20, 20) to (80, 60).
std::vector<uint8_t> PlaceableMetafile(bool goodChecksum) {
    HDC dc = CreateMetaFileW(nullptr);
    SetMapMode(dc, MM_ANISOTROPIC);
    SetWindowOrgEx(dc, 0, 0, nullptr);
    SetWindowExtEx(dc, 200, 100, nullptr);
    HBRUSH red = CreateSolidBrush(RGB(255, 0, 0));
    HGDIOBJ old = SelectObject(dc, red);
    SelectObject(dc, GetStockObject(NULL_PEN));
    Rectangle(dc, 20, 20, 81, 61);
    SelectObject(dc, old);
    DeleteObject(red);
    HMETAFILE metafile = CloseMetaFile(dc);
    std::vector<uint8_t> body(GetMetaFileBitsEx(metafile, 0, nullptr));
    GetMetaFileBitsEx(metafile, UINT(body.size()), body.data());
    DeleteMetaFile(metafile);

    const uint16_t words[10] = {0xCDD7, 0x9AC6, 0, 0, 0, 200, 100, 200, 0, 0};
    uint16_t sum = 0;
    std::vector<uint8_t> file;
    for (uint16_t w : words) {
        sum ^= w;
        file.push_back(uint8_t(w));
        file.push_back(uint8_t(w >> 8));
    }
    if (!goodChecksum) {
        sum ^= 1;
    }
    file.push_back(uint8_t(sum));
    file.push_back(uint8_t(sum >> 8));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

TEST(PictureLoadPlatform, EnhancedMetafileIsTransparentInAutomaticMode) {
    TempFolder folder;
    const std::wstring path = folder.File(L"drawing.emf");
    WriteBytes(path, EnhancedMetafile());
    const Bitmap result = LoadPictureFile(path);
    EXPECT_NEAR(result.Width(), 96, 1);
    EXPECT_NEAR(result.Height(), 48, 1);
    EXPECT_EQ(result.BitsPerPixel(), 24);
    EXPECT_EQ(result.PixelAt(30, 20), kRed);
    EXPECT_EQ(result.PixelAt(5, 5), kWhite);
    EXPECT_EQ(result.PixelAt(60, 40), kWhite);
    EXPECT_TRUE(result.Transparent());
    EXPECT_EQ(result.Mode(), TransparentMode::Automatic);
    EXPECT_EQ(result.TransparentColor(), kWhite);
}

TEST(PictureLoadPlatform, PlaceableMetafileByContentAndByExtension) {
    TempFolder folder;
    const auto wmf = PlaceableMetafile(true);
    // ".emf" tells the two kinds apart by content; the result is transparent.
    const std::wstring asEmf = folder.File(L"old.emf");
    WriteBytes(asEmf, wmf);
    const Bitmap fromEmf = LoadPictureFile(asEmf);
    EXPECT_NEAR(fromEmf.Width(), 96, 1);
    EXPECT_NEAR(fromEmf.Height(), 48, 1);
    EXPECT_EQ(fromEmf.PixelAt(20, 20), kRed);
    EXPECT_EQ(fromEmf.PixelAt(4, 4), kWhite);
    EXPECT_EQ(fromEmf.PixelAt(60, 20), kWhite);
    EXPECT_TRUE(fromEmf.Transparent());
    // ".wmf" takes the general path, which hands on an opaque bitmap of the same pixels.
    const std::wstring asWmf = folder.File(L"old.wmf");
    WriteBytes(asWmf, wmf);
    const Bitmap fromWmf = LoadPictureFile(asWmf);
    EXPECT_EQ(fromWmf.Pixels(), fromEmf.Pixels());
    EXPECT_FALSE(fromWmf.Transparent());

    const std::wstring bad = folder.File(L"bad.wmf");
    WriteBytes(bad, PlaceableMetafile(false));
    EXPECT_EQ(ErrorOf(bad), L"Metafile is not valid");
    std::vector<uint8_t> junk(100, 0x41);
    WriteBytes(bad, junk);
    EXPECT_EQ(ErrorOf(bad), L"Metafile is not valid");
    const std::wstring badEmf = folder.File(L"bad.emf");
    WriteBytes(badEmf, junk);
    EXPECT_EQ(ErrorOf(badEmf), L"Metafile is not valid");
}

TEST(PictureLoadPlatform, IconIsDrawnOntoWhite) {
    TempFolder folder;
    const std::wstring path = folder.File(L"app.ico");
    WriteBytes(path, IconFile());
    const Bitmap result = LoadPictureFile(path);
    ASSERT_EQ(result.Width(), 16);
    ASSERT_EQ(result.Height(), 16);
    EXPECT_EQ(result.PixelAt(2, 2), kRed);
    EXPECT_EQ(result.PixelAt(12, 2), kWhite);
    EXPECT_FALSE(result.Transparent());

    std::vector<uint8_t> broken = IconFile();
    broken[18] = 0xFF;  // the image's offset points past the file
    broken[19] = 0xFF;
    WriteBytes(path, broken);
    EXPECT_EQ(ErrorOf(path), L"Icon image is not valid");
}

TEST(PictureLoadPlatform, FileWithoutExtensionGoesToTheOlePictureLoader) {
    TempFolder folder;
    CreateDirectoryW(folder.File(L"my.pictures").c_str(), nullptr);
    const std::wstring readme = folder.File(L"my.pictures\\readme");
    WriteBytes(readme, TinyGif());
    EXPECT_FALSE(IsPictureFile(readme));
    const Bitmap viaOle = LoadPictureFile(readme);
    ASSERT_EQ(viaOle.Width(), 2);
    ASSERT_EQ(viaOle.Height(), 1);
    EXPECT_EQ(viaOle.PixelAt(0, 0), kRed);
    EXPECT_EQ(viaOle.PixelAt(1, 0), MakeColor(0, 0, 255));
    EXPECT_FALSE(viaOle.Transparent());
    // The GIF decoder reads the same file alike.
    const std::wstring gif = folder.File(L"tiny.gif");
    WriteBytes(gif, TinyGif());
    EXPECT_EQ(LoadPictureFile(gif).Pixels(), viaOle.Pixels());

    std::vector<uint8_t> junk(80, 0x37);
    WriteBytes(readme, junk);
    EXPECT_NE(ErrorOf(readme), L"(loaded)");
}

TEST(PictureLoadPlatform, NamesOutsideTheAnsiCodePageLoad) {
    TempFolder folder;
    Bitmap picture = NewSizedBitmap(3, 2, MakeColor(9, 8, 7));
    const std::wstring greek = folder.File(L"\u03B5\u03B9\u03BA\u03CC\u03BD\u03B1.bmp");
    WriteBytes(greek, WriteBmp(picture));
    EXPECT_EQ(LoadPictureFile(greek).PixelAt(2, 1), MakeColor(9, 8, 7));
    const std::wstring cjk = folder.File(L"\u5199\u771F.gif");
    WriteBytes(cjk, TinyGif());
    EXPECT_EQ(LoadPictureFile(cjk).PixelAt(0, 0), kRed);
    const std::wstring emf = folder.File(L"\u0444\u043E\u0442\u043E.emf");
    WriteBytes(emf, EnhancedMetafile());
    EXPECT_EQ(LoadPictureFile(emf).PixelAt(30, 20), kRed);

    const std::wstring missing = folder.File(L"\u03B5\u03B9\u03BA.png");
    const std::wstring message = ErrorOf(missing);
    EXPECT_EQ(message.rfind(L"Cannot open file \"" + missing + L"\". ", 0), 0u);
}

}  // namespace
}  // namespace corvalo

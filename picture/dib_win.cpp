#include "picture/dib_win.h"

#include "base/trace.h"
#include "base/error.h"
#include "picture/bmp_format.h"

#include <cstring>
#include <vector>

namespace corvalo {
namespace {

// BITMAPINFO with room for a full 256-entry palette.
struct DibInfo {
    BITMAPINFOHEADER header;
    RGBQUAD colors[256];
};

DibInfo DescribeBitmap(const Bitmap& bitmap) {
    DibInfo info{};
    info.header.biSize = sizeof(BITMAPINFOHEADER);
    info.header.biWidth = bitmap.Width();
    info.header.biHeight = -bitmap.Height();  // the pixels are stored top-down
    info.header.biPlanes = 1;
    info.header.biBitCount = static_cast<WORD>(bitmap.BitsPerPixel());
    info.header.biCompression = BI_RGB;
    const auto& palette = bitmap.Palette();
    const size_t entries = std::min<size_t>(palette.size(), 256);
    info.header.biClrUsed = static_cast<DWORD>(entries);
    for (size_t i = 0; i < entries; ++i) {
        info.colors[i] =
            RGBQUAD{GetBValue(palette[i]), GetGValue(palette[i]), GetRValue(palette[i]), 0};
    }
    return info;
}

}  // namespace

void DrawBitmapToDc(HDC dc, const Bitmap& bitmap, int x, int y) {
    if (bitmap.Empty())
        return;
    const DibInfo info = DescribeBitmap(bitmap);
    SetDIBitsToDevice(dc, x, y, bitmap.Width(), bitmap.Height(), 0, 0, 0, bitmap.Height(),
                      bitmap.Pixels().data(), reinterpret_cast<const BITMAPINFO*>(&info),
                      DIB_RGB_COLORS);
}

Bitmap BitmapFromGdi(HBITMAP source) {
    BITMAP description{};
    if (!source || !GetObjectW(source, sizeof(description), &description) ||
        description.bmWidth <= 0 || description.bmHeight <= 0) {
        throw Error(L"Bitmap image is not valid");
    }
    const int bitsPerPixel = description.bmBitsPixel == 32 ? 32 : 24;
    Bitmap result = Bitmap::FromPixels(
        description.bmWidth, description.bmHeight, bitsPerPixel,
        std::vector<uint8_t>(
            static_cast<size_t>(((description.bmWidth * bitsPerPixel + 31) / 32) * 4) *
            static_cast<size_t>(description.bmHeight)));
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = description.bmWidth;
    info.bmiHeader.biHeight = -description.bmHeight;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = static_cast<WORD>(bitsPerPixel);
    info.bmiHeader.biCompression = BI_RGB;
    ScopedWindowDc screen(nullptr);
    if (!GetDIBits(screen.Get(), source, 0, static_cast<UINT>(description.bmHeight),
                   result.Pixels().data(), &info, DIB_RGB_COLORS)) {
        throw Error(L"Bitmap image is not valid");
    }
    return result;
}

ScopedBitmapHandle GdiBitmapFrom(const Bitmap& bitmap) {
    const DibInfo info = DescribeBitmap(bitmap);
    void* bits = nullptr;
    ScopedBitmapHandle handle(CreateDIBSection(nullptr, reinterpret_cast<const BITMAPINFO*>(&info),
                                               DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!handle || !bits)
        throw Error(L"Out of system resources");
    std::memcpy(bits, bitmap.Pixels().data(), bitmap.Pixels().size());
    GdiFlush();
    return handle;
}

bool DrawListImage(HIMAGELIST list, int index, Bitmap& target) {
    int width = 0;
    int height = 0;
    if (!list || index < 0 || index >= ImageList_GetImageCount(list) ||
        !ImageList_GetIconSize(list, &width, &height) || width <= 0 || height <= 0)
        return false;
    try {
        // A top-down 24-bit DIB section has exactly the Bitmap's row layout, so its bits are the
        // result's pixels once the image is drawn onto white.
        BITMAPINFO description{};
        description.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        description.bmiHeader.biWidth = width;
        description.bmiHeader.biHeight = -height;
        description.bmiHeader.biPlanes = 1;
        description.bmiHeader.biBitCount = 24;
        description.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        ScopedBitmapHandle section(
            CreateDIBSection(nullptr, &description, DIB_RGB_COLORS, &bits, nullptr, 0));
        ScopedMemoryDc dc(CreateCompatibleDC(nullptr));
        if (!section || !bits || !dc)
            return false;
        const size_t bytes = DibStride(width, 24) * static_cast<size_t>(height);
        std::memset(bits, 0xFF, bytes);
        {
            ScopedSelectObject select(dc.Get(), section.Get());
            if (!ImageList_Draw(list, index, dc.Get(), 0, 0, ILD_TRANSPARENT))
                return false;
        }
        GdiFlush();
        const auto* first = static_cast<const uint8_t*>(bits);
        Bitmap drawn =
            Bitmap::FromPixels(width, height, 24, std::vector<uint8_t>(first, first + bytes));
        drawn.SetTransparentColor(target.FixedTransparentColor());
        drawn.SetMode(target.Mode());
        drawn.SetTransparent(target.Transparent());
        target = std::move(drawn);
        return true;
    } catch (...) {
        TraceCurrentException(L"A picture was not drawn");
        return false;
    }
}

Bitmap LoadBitmapResource(int resourceId) {
    HMODULE module = GetModuleHandleW(nullptr);
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(resourceId), MAKEINTRESOURCEW(2));
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const void* data = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = found ? SizeofResource(module, found) : 0;
    if (!data || size < sizeof(BITMAPINFOHEADER))
        throw Error(L"Bitmap image is not valid");
    // A bitmap resource is a bitmap file without its 14-byte file header: put one in front, with
    // the pixel offset after the header and palette, and read it like a file.
    const auto* header = static_cast<const BITMAPINFOHEADER*>(data);
    DWORD paletteEntries = header->biClrUsed;
    if (paletteEntries == 0 && header->biBitCount <= 8)
        paletteEntries = 1u << header->biBitCount;
    DWORD masks =
        (header->biSize == sizeof(BITMAPINFOHEADER) && header->biCompression == BI_BITFIELDS) ? 12
                                                                                              : 0;
    std::vector<uint8_t> file(14 + size);
    const DWORD offset = 14 + header->biSize + masks + paletteEntries * 4;
    const DWORD fileSize = static_cast<DWORD>(file.size());
    file[0] = 'B';
    file[1] = 'M';
    std::memcpy(&file[2], &fileSize, 4);
    std::memcpy(&file[10], &offset, 4);
    std::memcpy(&file[14], data, size);
    return ReadBmp(file);
}

}  // namespace corvalo

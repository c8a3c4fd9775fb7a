// The system's own decoders: GDI for enhanced and placeable metafiles and for icons, OLE for
// pictures without an extension. Each picture is drawn onto a white surface of its size.
#include "base/error.h"
#include "base/file_io_win.h"
#include "base/scoped_win.h"
#include "picture/icon_picture_win.h"
#include "picture/picture_decoders.h"

#include <windows.h>
#include <ocidl.h>
#include <olectl.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <tuple>

namespace corvalo {

namespace {

constexpr wchar_t kMetafileNotValid[] = L"Metafile is not valid";
constexpr wchar_t kIconNotValid[] = L"Icon image is not valid";

// A white 32-bit drawing surface of the picture's size; Finish() copies what was drawn into the
// picture's 24-bit bitmap.
class WhiteSurface {
  public:
    WhiteSurface(int width, int height, const wchar_t* failure)
        : width_(width), height_(height), failure_(failure) {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;  // top-down
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        dc_.Reset(CreateCompatibleDC(nullptr));
        bitmap_.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits_, nullptr, 0));
        if (!dc_ || !bitmap_ || !bits_) {
            throw Error(failure_);
        }
        std::memset(bits_, 0xFF, size_t(width) * size_t(height) * 4);
        select_.emplace(dc_.Get(), bitmap_.Get());
    }
    HDC Dc() const { return dc_.Get(); }

    Bitmap Finish() {
        GdiFlush();
        Bitmap result = NewPictureBitmap(uint64_t(width_), uint64_t(height_), failure_);
        const auto* in = static_cast<const uint8_t*>(bits_);
        for (int y = 0; y < height_; ++y) {
            uint8_t* out = result.Row(y);
            for (int x = 0; x < width_; ++x, in += 4, out += 3) {
                out[0] = in[0];
                out[1] = in[1];
                out[2] = in[2];
            }
        }
        return result;
    }

  private:
    int width_;
    int height_;
    const wchar_t* failure_;
    ScopedMemoryDc dc_;
    ScopedBitmapHandle bitmap_;
    void* bits_ = nullptr;
    std::optional<ScopedSelectObject> select_;
};

// Pixels per inch of the screen, which metafile and OLE sizes are measured against.
int ScreenPixelsPerInch(bool across) {
    ScopedWindowDc screen(nullptr);
    const int ppi =
        screen.Get() ? GetDeviceCaps(screen.Get(), across ? LOGPIXELSX : LOGPIXELSY) : 0;
    return ppi > 0 ? ppi : 96;
}

// Throws for a picture the surface could not hold, before any GDI object is made.
void CheckSurfaceSize(long long width, long long height, const wchar_t* failure) {
    if (width <= 0 || height <= 0) {
        throw Error(failure);
    }
    if (width > kMaxBitmapSide || height > kMaxBitmapSide ||
        uint64_t(width) * uint64_t(height) > kMaxPicturePixels) {
        throw Error(L"Invalid image size");
    }
}

uint16_t U16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
uint32_t U32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

DecodedPicture PlayMetafile(HENHMETAFILE metafile, long long width, long long height) {
    CheckSurfaceSize(width, height, kMetafileNotValid);
    WhiteSurface surface(int(width), int(height), kMetafileNotValid);
    const RECT area{0, 0, int(width), int(height)};
    if (!PlayEnhMetaFile(surface.Dc(), metafile, &area)) {
        throw Error(kMetafileNotValid);
    }
    DecodedPicture picture;
    picture.bitmap = surface.Finish();
    picture.transparent = true;  // where the metafile draws nothing, the white shows
    return picture;
}

}  // namespace

DecodedPicture DecodeMetafile(std::span<const uint8_t> file) {
    constexpr uint32_t kPlaceableKey = 0x9AC6CDD7;
    constexpr size_t kPlaceableHeader = 22;
    if (file.size() >= kPlaceableHeader && U32(file.data()) == kPlaceableKey) {
        // Old-style metafile behind a placeable header: bounds in logical units, units per inch,
        // and a checksum, the XOR of the ten words before it.
        const uint8_t* h = file.data();
        uint16_t sum = 0;
        for (size_t i = 0; i < 10; ++i) {
            sum ^= U16(h + 2 * i);
        }
        const int left = int16_t(U16(h + 6)), top = int16_t(U16(h + 8));
        const int right = int16_t(U16(h + 10)), bottom = int16_t(U16(h + 12));
        const int unitsPerInch = U16(h + 14);
        if (sum != U16(h + 20) || unitsPerInch == 0 || file.size() <= kPlaceableHeader) {
            throw Error(kMetafileNotValid);
        }
        const long long spanX = std::abs(right - left), spanY = std::abs(bottom - top);
        const long long width = spanX * ScreenPixelsPerInch(true) / unitsPerInch;
        const long long height = spanY * ScreenPixelsPerInch(false) / unitsPerInch;
        CheckSurfaceSize(width, height, kMetafileNotValid);
        METAFILEPICT picture{MM_ANISOTROPIC, LONG(spanX * 2540 / unitsPerInch),
                             LONG(spanY * 2540 / unitsPerInch), nullptr};
        ScopedEnhMetaFile metafile(SetWinMetaFileBits(UINT(file.size() - kPlaceableHeader),
                                                      h + kPlaceableHeader, nullptr, &picture));
        if (!metafile) {
            throw Error(kMetafileNotValid);
        }
        return PlayMetafile(metafile.Get(), width, height);
    }

    // Enhanced metafile: its header record first, with the " EMF" signature.
    ENHMETAHEADER header{};
    if (file.size() < 88 || file.size() > 0x7FFFFFFF) {
        throw Error(kMetafileNotValid);
    }
    std::memcpy(&header, file.data(), std::min(sizeof header, file.size()));
    if (header.iType != EMR_HEADER || header.dSignature != ENHMETA_SIGNATURE ||
        header.nBytes > file.size()) {
        throw Error(kMetafileNotValid);
    }
    ScopedEnhMetaFile metafile(SetEnhMetaFileBits(UINT(file.size()), file.data()));
    if (!metafile) {
        throw Error(kMetafileNotValid);
    }
    // The picture frame is in hundredths of a millimetre.
    long long width = (long long)header.rclFrame.right - header.rclFrame.left;
    long long height = (long long)header.rclFrame.bottom - header.rclFrame.top;
    width = width * ScreenPixelsPerInch(true) / 2540;
    height = height * ScreenPixelsPerInch(false) / 2540;
    if (width <= 0 || height <= 0) {
        width = (long long)header.rclBounds.right - header.rclBounds.left + 1;
        height = (long long)header.rclBounds.bottom - header.rclBounds.top + 1;
    }
    return PlayMetafile(metafile.Get(), width, height);
}

IconPicture ReadIconFile(std::span<const uint8_t> file, int wantedSize) {
    constexpr size_t kDirectory = 6, kEntry = 16;
    const uint8_t* d = file.data();
    if (file.size() < kDirectory || U16(d) != 0 || (U16(d + 2) != 1 && U16(d + 2) != 2)) {
        throw Error(kIconNotValid);
    }
    const size_t count = U16(d + 4);
    if (count == 0 || count * kEntry > file.size() - kDirectory) {
        throw Error(kIconNotValid);
    }
    // Each entry gives its image's size (0 for 256) and colour depth; the smallest key is taken,
    // the first of equal ones.
    const auto key = [&](size_t i) {
        const uint8_t* e = d + kDirectory + i * kEntry;
        const long long w = e[0] ? e[0] : 256, h = e[1] ? e[1] : 256;
        const long long distance =
            wantedSize > 0 ? std::llabs(w - wantedSize) + std::llabs(h - wantedSize) : 0;
        return std::tuple(distance, -w * h, -static_cast<long long>(U16(e + 6)));
    };
    size_t best = 0;
    for (size_t i = 1; i < count; ++i) {
        if (key(i) < key(best))
            best = i;
    }
    const uint8_t* e = d + kDirectory + best * kEntry;
    const uint64_t size = U32(e + 8), offset = U32(e + 12);
    if (size < 40 || offset > file.size() || size > file.size() - offset) {
        throw Error(kIconNotValid);
    }
    const uint8_t* image = d + offset;
    long long width, height;
    static constexpr uint8_t kPng[] = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    if (std::memcmp(image, kPng, 8) == 0) {
        width = (long long)image[16] << 24 | image[17] << 16 | image[18] << 8 | image[19];
        height = (long long)image[20] << 24 | image[21] << 16 | image[22] << 8 | image[23];
    } else {
        width = int32_t(U32(image + 4));
        height = int32_t(U32(image + 8)) / 2;  // colour and mask bitmaps, one above the other
    }
    CheckSurfaceSize(width, height, kIconNotValid);
    // The resource layout CreateIconFromResourceEx takes is the image itself.
    std::vector<uint8_t> resource(image, image + size);
    IconPicture picture;
    picture.icon.Reset(CreateIconFromResourceEx(resource.data(), DWORD(resource.size()), TRUE,
                                                0x00030000, int(width), int(height),
                                                LR_DEFAULTCOLOR));
    if (!picture.icon) {
        throw Error(kIconNotValid);
    }
    picture.width = int(width);
    picture.height = int(height);
    return picture;
}

DecodedPicture DecodeIcon(std::span<const uint8_t> file) {
    const IconPicture icon = ReadIconFile(file);
    WhiteSurface surface(icon.width, icon.height, kIconNotValid);
    if (!DrawIconEx(surface.Dc(), 0, 0, icon.icon.Get(), icon.width, icon.height, 0, nullptr,
                    DI_NORMAL)) {
        throw Error(kIconNotValid);
    }
    DecodedPicture picture;
    picture.bitmap = surface.Finish();
    return picture;
}

DecodedPicture DecodeOlePicture(std::span<const uint8_t> file) {
    const auto fail = [](HRESULT result) {
        std::wstring reason = SystemErrorText(DWORD(result));
        throw Error(reason.empty() ? std::wstring(L"Invalid picture") : reason);
    };
    if (file.size() > 0x7FFFFFFF) {
        fail(E_OUTOFMEMORY);
    }
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, std::max<size_t>(file.size(), 1));
    if (!memory) {
        fail(E_OUTOFMEMORY);
    }
    {
        ScopedGlobalLock lock(memory);
        if (!lock.Data()) {
            GlobalFree(memory);
            fail(E_OUTOFMEMORY);
        }
        std::memcpy(lock.Data(), file.data(), file.size());
    }
    ComPtr<IStream> stream;
    HRESULT result = CreateStreamOnHGlobal(memory, TRUE, stream.Receive());
    if (FAILED(result)) {
        GlobalFree(memory);
        fail(result);
    }
    ComPtr<IPicture> ole;
    result = OleLoadPicture(stream.Get(), LONG(file.size()), FALSE, IID_IPicture,
                            reinterpret_cast<void**>(ole.Receive()));
    if (FAILED(result) || !ole) {
        fail(FAILED(result) ? result : E_FAIL);
    }
    OLE_XSIZE_HIMETRIC extentX = 0;
    OLE_YSIZE_HIMETRIC extentY = 0;
    ole->get_Width(&extentX);
    ole->get_Height(&extentY);
    long long width = (long long)extentX * ScreenPixelsPerInch(true) / 2540;
    long long height = (long long)extentY * ScreenPixelsPerInch(false) / 2540;
    short type = PICTYPE_NONE;
    OLE_HANDLE handle = 0;
    if (SUCCEEDED(ole->get_Type(&type)) && type == PICTYPE_BITMAP &&
        SUCCEEDED(ole->get_Handle(&handle))) {
        BITMAP description{};  // a bitmap's own size, free of the rounding of the extent
        if (GetObjectW(reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle)), sizeof description,
                       &description)) {
            width = description.bmWidth;
            height = std::abs(description.bmHeight);
        }
    }
    CheckSurfaceSize(width, height, L"Invalid picture");
    WhiteSurface surface(int(width), int(height), L"Invalid picture");
    result = ole->Render(surface.Dc(), 0, 0, LONG(width), LONG(height), 0, extentY, extentX,
                         -extentY, nullptr);
    if (FAILED(result)) {
        fail(result);
    }
    DecodedPicture picture;
    picture.bitmap = surface.Finish();
    return picture;
}

}  // namespace corvalo

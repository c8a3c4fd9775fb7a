#include "app/icon_list_file_win.h"

#include "app/icon_list_stream.h"
#include "base/error.h"
#include "picture/bmp_format.h"
#include "picture/dib_win.h"

#include <shlwapi.h>

namespace corvalo {
namespace {

constexpr int kIconSide = 32;

// The image list stream written by ImageList_WriteEx with ILP_DOWNLEVEL is the one that older
// common-controls libraries also read; the function exists only from version 6 on.
using ImageListWriteExFunction = HRESULT(WINAPI*)(HIMAGELIST, DWORD, IStream*);

ImageListWriteExFunction FindImageListWriteEx() {
    HMODULE controls = GetModuleHandleW(L"comctl32.dll");
    return controls ? reinterpret_cast<ImageListWriteExFunction>(
                          reinterpret_cast<void*>(GetProcAddress(controls, "ImageList_WriteEx")))
                    : nullptr;
}

std::vector<uint8_t> ImageListStreamBytes(HIMAGELIST list) {
    ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Receive()))) {
        throw Error(L"Out of memory");
    }
    constexpr DWORD kDownlevelFormat = 1;  // ILP_DOWNLEVEL
    bool written = false;
    if (ImageListWriteExFunction writeEx = FindImageListWriteEx()) {
        written = SUCCEEDED(writeEx(list, kDownlevelFormat, stream.Get()));
    } else {
        written = ImageList_Write(list, stream.Get()) != FALSE;
    }
    if (!written)
        throw Error(L"Failed to write the icon list");

    ULARGE_INTEGER size{};
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &size);
    HGLOBAL memory = nullptr;
    GetHGlobalFromStream(stream.Get(), &memory);
    ScopedGlobalLock locked(memory);
    if (!locked.Data() || locked.Size() < size.QuadPart)
        throw Error(L"Out of memory");
    const auto* bytes = static_cast<const uint8_t*>(locked.Data());
    return std::vector<uint8_t>(bytes, bytes + size.QuadPart);
}

ScopedImageList ImageListFromStreamBytes(std::span<const uint8_t> data) {
    ComPtr<IStream> stream;
    *stream.Receive() = SHCreateMemStream(data.data(), static_cast<UINT>(data.size()));
    if (!stream)
        throw Error(L"Out of memory");
    ScopedImageList list(ImageList_Read(stream.Get()));
    if (!list)
        throw Error(L"Invalid icon list data");
    return list;
}

// The older layout: every image side by side in rows of one bitmap, their masks in a second one.
ScopedImageList ImageListFromOlderLayout(std::span<const uint8_t> data) {
    const OlderIconLayout layout = ParseOlderIconLayout(data);
    const Bitmap images = ReadBmp(layout.imagesBmp);
    const Bitmap masks = ReadBmp(layout.masksBmp);
    const int perRow = images.Width() / kIconSide;
    const int rows = images.Height() / kIconSide;
    if (perRow <= 0 || static_cast<int64_t>(perRow) * rows < layout.imageCount ||
        masks.Width() < images.Width() || masks.Height() < images.Height()) {
        throw Error(L"Invalid icon list data");
    }
    ScopedImageList list = CreateIconList();
    for (uint32_t i = 0; i < layout.imageCount; ++i) {
        const int x = static_cast<int>(i % perRow) * kIconSide;
        const int y = static_cast<int>(i / perRow) * kIconSide;
        Bitmap image = NewSizedBitmap(kIconSide, kIconSide, std::nullopt);
        Bitmap mask = NewSizedBitmap(kIconSide, kIconSide, std::nullopt);
        DrawBitmap(image, images, -x, -y);
        DrawBitmap(mask, masks, -x, -y);
        ScopedBitmapHandle imageHandle = GdiBitmapFrom(image);
        ScopedBitmapHandle maskHandle = GdiBitmapFrom(mask);
        if (ImageList_Add(list.Get(), imageHandle.Get(), maskHandle.Get()) < 0) {
            throw Error(L"Invalid icon list data");
        }
    }
    return list;
}

}  // namespace

ScopedImageList CreateIconList() {
    ScopedImageList list(ImageList_Create(kIconSide, kIconSide, ILC_COLOR32 | ILC_MASK, 0, 4));
    if (!list)
        throw Error(L"Out of system resources");
    return list;
}

ScopedImageList IconListFromFile(std::span<const uint8_t> file) {
    const IconListProperties properties = ReadIconListFile(file);
    if (!properties.bitmap)
        return CreateIconList();
    const std::vector<uint8_t>& data = *properties.bitmap;
    return IsImageListStream(data) ? ImageListFromStreamBytes(data)
                                   : ImageListFromOlderLayout(data);
}

std::vector<uint8_t> IconListFileOf(HIMAGELIST list) {
    IconListProperties properties;
    properties.drawingStyle = "dsTransparent";
    properties.height = kIconSide;
    properties.width = kIconSide;
    properties.shareImages = true;
    properties.left = 168;
    properties.top = 24;
    if (ImageList_GetImageCount(list) > 0)
        properties.bitmap = ImageListStreamBytes(list);
    return WriteIconListFile(properties);
}

}  // namespace corvalo

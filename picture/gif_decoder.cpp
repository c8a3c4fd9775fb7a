// GIF pictures through giflib: the first image, on its logical screen. Image data of the wider
// LZW code sizes that giflib refuses is decoded by the program's own LZW decoder.
#include "base/error.h"
#include "picture/gif_lzw.h"
#include "picture/picture_decoders.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include <gif_lib.h>

namespace corvalo {

namespace {

constexpr wchar_t kInvalidSignature[] = L"Invalid GIF signature";
constexpr wchar_t kUnsupportedVersion[] = L"Unsupported GIF version";
constexpr wchar_t kInvalidGifData[] = L"Invalid GIF data";

[[noreturn]] void InvalidData() {
    throw Error(kInvalidGifData);
}

struct GifSource {
    std::span<const uint8_t> data;
    size_t offset = 0;
};

int ReadBytes(GifFileType* gif, GifByteType* out, int count) {
    auto* source = static_cast<GifSource*>(gif->UserData);
    const size_t left = source->data.size() - source->offset;
    const size_t n = std::min(left, size_t(count < 0 ? 0 : count));
    std::memcpy(out, source->data.data() + source->offset, n);
    source->offset += n;
    return int(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int ignored = 0;
        DGifCloseFile(gif, &ignored);
    }
};

}  // namespace

DecodedPicture DecodeGif(std::span<const uint8_t> file) {
    if (file.size() < 6 || std::memcmp(file.data(), "GIF", 3) != 0) {
        throw Error(kInvalidSignature);
    }
    if (std::memcmp(file.data() + 3, "87a", 3) != 0 &&
        std::memcmp(file.data() + 3, "89a", 3) != 0) {
        throw Error(kUnsupportedVersion);
    }
    GifSource source{file};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadBytes, &error));
    if (!gif) {
        if (error == D_GIF_ERR_NOT_GIF_FILE) {
            throw Error(kInvalidSignature);
        }
        InvalidData();
    }

    // Extensions up to the first image; the graphic control block before it names the
    // transparent index.
    int transparentIndex = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType type = UNDEFINED_RECORD_TYPE;
        if (DGifGetRecordType(gif.get(), &type) == GIF_ERROR) {
            InvalidData();
        }
        if (type == IMAGE_DESC_RECORD_TYPE) {
            break;
        }
        if (type != EXTENSION_RECORD_TYPE) {
            InvalidData();  // the trailer, or anything else, before any image
        }
        int code = 0;
        GifByteType* block = nullptr;
        if (DGifGetExtension(gif.get(), &code, &block) == GIF_ERROR) {
            InvalidData();
        }
        if (code == GRAPHICS_EXT_FUNC_CODE && block && block[0] >= 4) {
            GraphicsControlBlock control{};
            if (DGifExtensionToGCB(block[0], block + 1, &control) == GIF_OK) {
                transparentIndex = control.TransparentColor;
            }
        }
        while (block) {
            if (DGifGetExtensionNext(gif.get(), &block) == GIF_ERROR) {
                InvalidData();
            }
        }
    }
    // giflib reads the image's description, then refuses a minimum code size above 8, the byte it
    // read last; such data is decoded here instead.
    int wideCodeSize = 0;
    if (DGifGetImageDesc(gif.get()) == GIF_ERROR) {
        const int codeSize = source.offset > 0 ? source.data[source.offset - 1] : 0;
        if (gif->Error != D_GIF_ERR_READ_FAILED || codeSize <= 8 ||
            codeSize > kLargestGifCodeSize) {
            InvalidData();
        }
        wideCodeSize = codeSize;
    }
    const GifImageDesc& image = gif->Image;
    if (image.Width <= 0 || image.Height <= 0 || image.Left < 0 || image.Top < 0) {
        InvalidData();
    }
    const uint64_t screenWidth =
        std::max<uint64_t>(uint64_t(std::max(gif->SWidth, 0)), uint64_t(image.Left) + image.Width);
    const uint64_t screenHeight =
        std::max<uint64_t>(uint64_t(std::max(gif->SHeight, 0)), uint64_t(image.Top) + image.Height);
    CheckPictureSize(screenWidth, screenHeight, kInvalidGifData);

    // The image's own indexes first, so a file whose data is damaged or missing fails before the
    // screen's memory is taken. The data bounds the image too: a code takes at least one bit and
    // stands for at most 4096 pixels.
    const uint64_t imagePixels = uint64_t(image.Width) * uint64_t(image.Height);
    if (imagePixels / (8 * 4096) > source.data.size() - source.offset) {
        InvalidData();
    }
    // Up to 4096 colours with the widest codes: those beyond the colour table show black.
    std::vector<uint16_t> indexes(static_cast<size_t>(imagePixels));
    // The rows in the order the file holds them.
    std::vector<int> order;
    order.reserve(size_t(image.Height));
    if (image.Interlace) {
        static constexpr int kStart[] = {0, 4, 2, 1};
        static constexpr int kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kStart[pass]; y < image.Height; y += kStep[pass]) {
                order.push_back(y);
            }
        }
    } else {
        for (int y = 0; y < image.Height; ++y) {
            order.push_back(y);
        }
    }
    // A file whose image data ends early (a download cut off) shows the rows that arrived, as
    // browsers do; the rest stays white, as area the image does not cover is. Without one whole
    // row there is no picture.
    size_t decoded = 0;
    if (wideCodeSize) {
        // Decoded in the file's row order, then put in their rows.
        std::vector<uint16_t> inFileOrder(indexes.size());
        decoded = DecodeGifLzw(source.data.subspan(source.offset), wideCodeSize, inFileOrder) /
                  size_t(image.Width);
        for (size_t row = 0; row < decoded; ++row) {
            std::copy_n(inFileOrder.begin() + ptrdiff_t(row * size_t(image.Width)), image.Width,
                        indexes.begin() + ptrdiff_t(size_t(order[row]) * size_t(image.Width)));
        }
    } else {
        std::vector<GifPixelType> line(size_t(image.Width));
        while (decoded < order.size() &&
               DGifGetLine(gif.get(), line.data(), image.Width) != GIF_ERROR) {
            std::copy(line.begin(), line.end(),
                      indexes.begin() + ptrdiff_t(size_t(order[decoded]) * size_t(image.Width)));
            ++decoded;
        }
    }
    if (decoded == 0) {
        InvalidData();
    }

    DecodedPicture picture;
    picture.bitmap = NewPictureBitmap(screenWidth, screenHeight, kInvalidGifData);
    const ColorMapObject* map = image.ColorMap ? image.ColorMap : gif->SColorMap;
    std::vector<Color> colors(size_t(1) << 12);  // indexes the map lacks are black
    if (map && map->Colors) {
        const int count = std::min(map->ColorCount, 256);
        for (int i = 0; i < count; ++i) {
            colors[i] = MakeColor(map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue);
            picture.palette.push_back(colors[i]);
        }
    }
    for (size_t row = 0; row < decoded; ++row) {
        const int y = order[row];
        const uint16_t* line = indexes.data() + size_t(y) * size_t(image.Width);
        uint8_t* out = picture.bitmap.Row(image.Top + y) + 3 * size_t(image.Left);
        for (int x = 0; x < image.Width; ++x, out += 3) {
            if (line[x] == transparentIndex) {
                continue;  // the white background shows
            }
            const Color c = colors[line[x]];
            out[0] = BlueOf(c);
            out[1] = GreenOf(c);
            out[2] = RedOf(c);
        }
    }
    return picture;
}

}  // namespace corvalo

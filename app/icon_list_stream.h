#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvalo {

// The icon-list file: a resource header followed by the icon list's object stream. Integers are
// little-endian.
//
//   FF, u16 10, "TIMAGELIST" 0, u16 0x1030, u32 length of the object stream,
//   "TPF0", short string "TImageList", short string object name,
//   properties (short string name, value)..., 0 (end of properties), 0 (no owned objects)
//
// A short string is one length byte and that many 8-bit characters. A value is a type byte and
// its data: 2/3/4 signed 8/16/32-bit integer, 7 identifier (short string), 8 false, 9 true,
// 10 raw bytes (u32 length, bytes).
//
// The image data ("Bitmap") stays opaque here: it is the platform's image-list stream, or an
// older layout (ParseOlderIconLayout); the window layer turns it into an image list.
struct IconListProperties {
    std::string objectName = "ImageList1";
    std::string drawingStyle = "dsNormal";  // dsFocus, dsSelected, dsNormal or dsTransparent
    int32_t height = 16, width = 16;        // image size in pixels, 1 .. kMaxIconListImageSize
    bool shareImages = false;
    int32_t left = 0, top = 0;                   // design position, kept for the file's sake
    std::optional<std::vector<uint8_t>> bitmap;  // absent when the list has no image

    bool operator==(const IconListProperties&) const = default;
};

// Image sizes beyond this are taken for damage: the list holds 32 x 32 icons, and nothing of the
// platform's draws images of more than a signed 16-bit coordinate.
constexpr int32_t kMaxIconListImageSize = 32767;

// The whole file. Properties are written in a fixed order, each only when it differs from its
// default: DrawingStyle, Height, ShareImages, Width, Left, Top (when not 0), Bitmap (when
// present). Integers take the smallest of the three integer types that holds them.
// Throws Error for properties that could not be read back (an unknown drawing style, an image
// size out of range, a name longer than 255 bytes, data beyond 32-bit lengths).
std::vector<uint8_t> WriteIconListFile(const IconListProperties& properties);

// Reads the file back. The header must start with FF and resource type 10; its name is skipped to
// its zero byte and its flags are not looked at; the object stream must fit in the file as its
// declared length says and is read within that length (anything after it is ignored). Class and
// property names and identifiers compare without regard to ASCII case, as the stream's own
// readers do. Besides the properties that are written, "BlendColor" and "BkColor" (integer or a
// colour identifier "cl..."), "AllocBy" (integer), "ImageType" (itImage or itMask) and "Masked"
// (boolean) are accepted and ignored. Throws Error on a damaged file, another class, an unknown
// property, a value of the wrong type or out of range, or owned objects.
IconListProperties ReadIconListFile(std::span<const uint8_t> file);

// True when the image data is the platform's image-list stream: it begins with "IL" and its
// first two 32-bit words differ. Shorter data than two words is not such a stream.
bool IsImageListStream(std::span<const uint8_t> bitmapData);

// The older layout of the image data: u32 byte size of the image bitmap, u32 image count, a bitmap
// file of the images side by side in rows (that many bytes), and a bitmap file of their masks
// (the rest).
struct OlderIconLayout {
    uint32_t imageCount = 0;
    std::vector<uint8_t> imagesBmp;
    std::vector<uint8_t> masksBmp;
};

// Throws Error when the sizes do not fit the data, the count is beyond a signed 32-bit number, or
// either part is too short for a bitmap file header or does not begin with "BM". The bitmaps
// themselves are the bitmap reader's to check.
OlderIconLayout ParseOlderIconLayout(std::span<const uint8_t> bitmapData);

}  // namespace corvalo

#pragma once

// Reading picture files for the desktop picture: every supported format becomes a new 24-bpp
// bitmap with the picture's transparency.

#include "picture/bitmap.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace corvalo {

// The decoders a picture file can go to.
enum class PictureDecoder {
    WindowsBitmap,
    WindowsIcon,
    WindowsMetafile,
    Jpeg,
    Png,
    Gif,
    Targa,
    Jpeg2000,
    Tiff,
    EpsTiffPreview,
    Pcx,
    Rla,
    SgiImage,
    PhotoshopImage,
    PortableAnymap,
    AutodeskCel,
    PhotoCd,
    Cut,
    PaintShopPro,
    Ged,
    OlePicture,
    Webp,
};

// One registered picture format: extension without dot in lower case (empty for files without
// an extension), a description, the decoder.
struct RegisteredFormat {
    std::wstring extension;
    std::wstring description;
    PictureDecoder decoder;
};

// The registered formats in the order of registration, as start-up leaves them.
const std::vector<RegisteredFormat>& RegisteredFormats();

// The decoder the registered formats give an extension (without dot, any case): the entry
// registered last wins. None for an extension that is not registered.
std::optional<PictureDecoder> RegisteredDecoder(std::wstring_view extension);

// True when the decoder exists in this build. Registered formats without one fail to load with
// the message for an unknown extension.
bool CanDecode(PictureDecoder decoder);

// The text from the file name's last "." to its end, dot included, when no path separator ("\",
// "/" or ":") follows that dot; otherwise empty.
std::wstring PictureFileExtension(std::wstring_view fileName);

// The decoder of the fixed extension table (.bmp .jpg .png .gif .tga .jp2 .emf, compared after
// lower-casing), or none: such files go through the general loading path.
std::optional<PictureDecoder> DecoderForFile(std::wstring_view fileName);

// "*.ext" for each registered format with an extension, last registered first, joined with ";".
std::wstring PictureFileMask();

// True when the file name's extension is not empty and occurs in PictureFileMask(), letter case
// ignored. A substring test: ".jp" and ".tg" count.
bool IsPictureFile(const std::wstring& fileName);

// Reads a picture file into a new 24-bpp bitmap carrying the picture's transparency. Throws
// Error with the decoder's words; the caller's own picture is never touched.
Bitmap LoadPictureFile(const std::wstring& fileName);

// The same for a file's contents already in memory (fileName chooses the decoder).
Bitmap DecodePictureFile(std::wstring_view fileName, std::span<const uint8_t> contents);

}  // namespace corvalo

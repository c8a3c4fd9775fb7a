#pragma once

// The decoders behind LoadPictureFile. Each takes the whole picture file in memory and returns the
// picture already drawn onto a white 24-bpp bitmap (partly transparent pixels blended onto white),
// with what the loader needs to know about its transparency and palette. Every failure is an
// Error with that format's own words; nothing is read outside the given bytes.

#include "picture/bitmap.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace corvalo {

// Largest picture the loader decodes: 128 megapixels (11585 x 11585, or 16384 x 8192). The result
// alone then takes 384 MB, and a decoder may need as much again for its own work; anything larger
// is refused with "Invalid image size" before any pixel memory is taken, so a damaged or hostile
// file that claims 100000 x 100000 pixels fails at once instead of asking for tens of gigabytes.
//
// The fuzz build lowers it (CORVALO_FUZZ_MAX_PICTURE_PIXELS): a small file may honestly describe a
// picture of the full size, and filling one in under the sanitizers takes seconds. Every reader
// keeps the same checks at the lower limit, so the fuzzer spends its time on the readers' logic.
#ifdef CORVALO_FUZZ_MAX_PICTURE_PIXELS
constexpr uint64_t kMaxPicturePixels = CORVALO_FUZZ_MAX_PICTURE_PIXELS;
#else
constexpr uint64_t kMaxPicturePixels = uint64_t(1) << 27;
#endif

struct DecodedPicture {
    Bitmap bitmap;                          // 24 bpp, the picture drawn on white
    std::vector<Color> palette;             // the picture's own colour table, if it has one
    bool transparent = false;               // the picture reports itself transparent
    std::optional<Color> transparentColor;  // its fixed transparent colour, if it names one
};

// Throws as NewPictureBitmap does, without allocating anything: for decoders that can tell from
// the header alone that a file is too short, so they say that before taking the memory.
void CheckPictureSize(uint64_t width, uint64_t height, const wchar_t* invalidMessage);

// A white 24-bpp bitmap for a decoded picture. A zero side throws Error(invalidMessage); a picture
// over kMaxPicturePixels or over the bitmap's own limits throws Error("Invalid image size").
Bitmap NewPictureBitmap(uint64_t width, uint64_t height, const wchar_t* invalidMessage);

// Windows bitmap ("BM"), any kind that ReadBmp reads: "Bitmap image is not valid",
// "Stream read error".
DecodedPicture DecodeWindowsBitmap(std::span<const uint8_t> file);

// JPEG (libjpeg-turbo): "JPEG error #%d" with the library's message number. Greyscale, YCbCr,
// RGB, CMYK and YCCK, baseline and progressive, shown as its EXIF orientation says (picture/
// orientation.h: a photo taken upright gives a tall picture). A file is refused when a row's data
// is missing or damaged; one that merely ends before its end marker, or has stray bytes between
// its markers, is shown.
DecodedPicture DecodeJpeg(std::span<const uint8_t> file);

// PNG (libpng): every colour type and bit depth, interlaced or not. A transparency chunk makes the
// picture transparent with its fixed colour (for a palette picture the first fully transparent
// entry's colour, none when no entry is fully transparent); an alpha channel makes it transparent
// in automatic mode. Fully transparent pixels of a picture with a fixed colour keep that colour, so
// they stay see-through; all other transparency is blended onto white. Errors: libpng's own
// messages, "This "Portable Network Graphics" image contains no data." for a picture without
// image data, "Stream read error" for a file that ends early.
DecodedPicture DecodePng(std::span<const uint8_t> file);

// GIF (giflib): the first image on its logical screen; pixels of the transparent index and area
// the image does not cover stay white, and so do the rows after image data that ends early (or
// breaks off) once at least one row has come. "Invalid GIF signature", "Unsupported GIF version",
// "Invalid GIF data".
DecodedPicture DecodeGif(std::span<const uint8_t> file);

// JPEG 2000 (OpenJPEG): a JP2 file or a raw codestream, told apart by their first bytes.
// "Unknown JPEG 2000 file type", "JPEG 2000 image decoding failed". An opacity channel that a JP2
// file's channel definitions name is blended onto white (the picture still reports itself opaque);
// a raw codestream of three components whose second and third are subsampled is YCbCr; components
// that start off the grid's origin are lined up with the picture's pixels.
// The codestream's size marker is checked before the library reads the file: the library keeps
// every sample as 32 bits and state for every tile of every component, and empty code blocks let a
// file of a few hundred bytes claim any of that. So the samples of all components together may
// take as much memory as the result (kMaxJpeg2000Samples, else "Invalid image size"), and a
// layout of more than kMaxJpeg2000TileComponents tiles times components is refused as damaged.
constexpr uint64_t kMaxJpeg2000Samples = kMaxPicturePixels * 3 / 4;
constexpr uint64_t kMaxJpeg2000TileComponents = 16384;
DecodedPicture DecodeJpeg2000(std::span<const uint8_t> file);

// WebP (libwebp): lossy, lossless, with alpha (blended onto white, the picture transparent as a
// PNG with alpha is), and an animation's first frame composed on its canvas as the file says;
// shown as its EXIF orientation says. "WebP error #%d (%s)" with the library's status code and its
// name for it, "Invalid WebP data".
DecodedPicture DecodeWebp(std::span<const uint8_t> file);

// TIFF (libtiff): the first image, any kind libtiff's RGBA interface reads (strips and tiles, no
// compression, LZW, deflate, JPEG, PackBits ...), shown as its Orientation tag says. Errors carry
// libtiff's own message, or "TIFF image is not valid".
DecodedPicture DecodeTiff(std::span<const uint8_t> file);

// Encapsulated PostScript with a TIFF preview (the binary DOS EPS header): the preview.
// "Encapsulated PostScript file has no TIFF preview", and the TIFF decoder's errors.
DecodedPicture DecodeEpsPreview(std::span<const uint8_t> file);

// Targa: uncompressed and RLE; true colour of 15, 16, 24 and 32 bits, 8-bit grey (alone or with
// an 8-bit alpha value), colour-mapped with 8- or 16-bit indexes and 15/16/24/32-bit map entries;
// any origin corner. An alpha channel is ignored (Targa pictures are opaque). "Targa image is not
// valid", "Stream read error".
DecodedPicture DecodeTarga(std::span<const uint8_t> file);

// Portable bitmap, graymap and pixmap (P1 to P6, any maximum value up to 65535).
// "Portable anymap image is not valid", "Stream read error".
DecodedPicture DecodePortableAnymap(std::span<const uint8_t> file);

// The platform's decoders (GDI and OLE on Windows). Where the platform has none they fail with
// their error. Metafiles report themselves transparent (automatic mode).
DecodedPicture DecodeMetafile(std::span<const uint8_t> file);    // "Metafile is not valid"
DecodedPicture DecodeIcon(std::span<const uint8_t> file);        // "Icon image is not valid"
DecodedPicture DecodeOlePicture(std::span<const uint8_t> file);  // the system's reason

// The whole file. Throws "Cannot open file "%s". %s" with the full path and the system's reason.
std::vector<uint8_t> ReadPictureFileBytes(const std::wstring& fileName);

}  // namespace corvalo

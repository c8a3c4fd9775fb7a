#pragma once

// Sample picture files for the loader's tests, written by the codec libraries themselves (and
// byte by byte for the formats without a library), from pixels the tests know.

#include "picture/bitmap.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvalo::test {

// An R,G,B(,A) picture, rows top-down.
struct Rgba {
    int width = 0;
    int height = 0;
    int channels = 3;  // 1 grey, 2 grey+alpha, 3 RGB, 4 RGBA
    std::vector<uint8_t> samples;

    uint8_t At(int x, int y, int c) const {
        return samples[(size_t(y) * size_t(width) + size_t(x)) * size_t(channels) + size_t(c)];
    }
    // The colour drawn onto white: alpha blended, grey spread to all three channels.
    Color OnWhite(int x, int y) const;
};

// Blocks of flat colour (8 x 8 pixels each), which lossy codecs keep nearly exact.
Rgba BlockPattern(int width, int height, int channels);
// Every pixel different: for lossless formats.
Rgba NoisePattern(int width, int height, int channels, uint32_t seed);

// A real picture file kept beside the tests (tests/data/pictures, whose README says where
// each comes from).
std::vector<uint8_t> RealPictureFile(const char* name);

struct JpegOptions {
    int quality = 100;
    bool progressive = false;
    bool cmyk = false;        // the samples are C,M,Y,K as Adobe stores them (inverted)
    bool subsampled = false;  // the library's default chroma subsampling instead of none
    int exifOrientation = 0;  // 1 to 8: an EXIF block (little-endian) that names it
};
std::vector<uint8_t> EncodeJpeg(const Rgba& picture, const JpegOptions& options = {});

struct PngOptions {
    int bitDepth = 8;
    bool interlaced = false;
    // Palette pictures: indexes in samples (channels 1), the colours and their alpha values.
    bool palette = false;
    std::vector<Color> paletteColors;
    std::vector<uint8_t> paletteAlpha;
    // Grey and RGB pictures: the transparency key, in the picture's bit depth.
    std::optional<std::vector<uint16_t>> key;
};
// Samples at 16 bits are given as 8-bit values and written as v * 257; below 8 bits they are
// given at that depth.
std::vector<uint8_t> EncodePng(const Rgba& picture, const PngOptions& options = {});

struct GifOptions {
    std::vector<Color> palette;  // up to 256
    int transparentIndex = -1;
    bool interlaced = false;
    int screenWidth = 0, screenHeight = 0;  // 0: the image's own size
    int left = 0, top = 0;
};
// samples: palette indexes (channels 1).
std::vector<uint8_t> EncodeGif(const Rgba& indexes, const GifOptions& options);

enum class TiffCompression { None, Lzw, Deflate, Jpeg };
struct TiffOptions {
    TiffCompression compression = TiffCompression::None;
    bool tiled = false;
    int rowsPerStrip = 8;  // JPEG compression wants a multiple of 8
};
std::vector<uint8_t> EncodeTiff(const Rgba& picture, const TiffOptions& options = {});

// Lossless JPEG 2000: a JP2 file, or a raw codestream; in square tiles of the given side, or one.
std::vector<uint8_t> EncodeJpeg2000(const Rgba& picture, bool jp2, int tileSide = 0);

struct Jpeg2000Options {
    bool jp2 = true;
    // The last component is an opacity channel (grey + alpha or RGB + alpha): a JP2 file names it
    // in its channel definitions.
    bool opacity = false;
    // Every component after the first is subsampled by this in both directions (its samples
    // taken from the picture's pixels at or after each sample's grid position); no colour
    // transform.
    int chromaStep = 1;
    int originX = 0, originY = 0;  // where the picture's area starts on the reference grid
    int tileSide = 0;              // square tiles of this side, or one tile
};
std::vector<uint8_t> EncodeJpeg2000(const Rgba& picture, const Jpeg2000Options& options);

// A Targa file, built field by field: header, identification text, colour map, pixel data.
std::vector<uint8_t> TargaFile(int imageType, int width, int height, int bits, int descriptor,
                               const std::vector<uint8_t>& pixels, int mapBits = 0,
                               const std::vector<uint8_t>& map = {}, int mapEntries = 0,
                               const std::string& id = {});

// An Encapsulated PostScript file with the binary DOS header: a few bytes of PostScript and the
// given TIFF file as its preview.
std::vector<uint8_t> EpsWithTiffPreview(const std::vector<uint8_t>& tiff);

}  // namespace corvalo::test

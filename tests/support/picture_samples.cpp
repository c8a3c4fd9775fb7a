#include "support/picture_samples.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

#include <gif_lib.h>
#include <jpeglib.h>
#include <openjpeg.h>
#include <png.h>
#include <tiffio.h>

namespace corvalo::test {

std::vector<uint8_t> RealPictureFile(const char* name) {
    const std::filesystem::path path =
        std::filesystem::path(CORVALO_TEST_DATA_DIR) / "pictures" / name;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        throw std::runtime_error("missing test picture " + path.string());
    }
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

Color Rgba::OnWhite(int x, int y) const {
    const auto blend = [&](unsigned v, unsigned a) {
        return uint8_t((v * a + 255u * (255u - a) + 127u) / 255u);
    };
    switch (channels) {
        case 1:
            return MakeColor(At(x, y, 0), At(x, y, 0), At(x, y, 0));
        case 2: {
            const uint8_t g = blend(At(x, y, 0), At(x, y, 1));
            return MakeColor(g, g, g);
        }
        case 3:
            return MakeColor(At(x, y, 0), At(x, y, 1), At(x, y, 2));
        default: {
            const unsigned a = At(x, y, 3);
            return MakeColor(blend(At(x, y, 0), a), blend(At(x, y, 1), a), blend(At(x, y, 2), a));
        }
    }
}

Rgba BlockPattern(int width, int height, int channels) {
    static constexpr uint8_t kColors[][4] = {
        {255, 0, 0, 255},    {0, 255, 0, 255},    {0, 0, 255, 255}, {255, 255, 255, 255},
        {0, 0, 0, 255},      {255, 255, 0, 128},  {0, 128, 255, 0}, {128, 64, 32, 64},
        {200, 100, 50, 255}, {20, 220, 120, 200},
    };
    Rgba p{width, height, channels, std::vector<uint8_t>(size_t(width) * height * channels)};
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* c = kColors[((x / 8) + 3 * (y / 8)) % 10];
            uint8_t* out = &p.samples[(size_t(y) * width + x) * channels];
            if (channels <= 2) {
                out[0] = uint8_t((c[0] * 30 + c[1] * 59 + c[2] * 11) / 100);
                if (channels == 2) {
                    out[1] = c[3];
                }
            } else {
                std::memcpy(out, c, size_t(channels));
            }
        }
    }
    return p;
}

Rgba NoisePattern(int width, int height, int channels, uint32_t seed) {
    std::mt19937 random(seed);
    Rgba p{width, height, channels, std::vector<uint8_t>(size_t(width) * height * channels)};
    for (uint8_t& v : p.samples) {
        v = uint8_t(random());
    }
    return p;
}

// ---------------------------------------------------------------------------------------------
// JPEG

std::vector<uint8_t> EncodeJpeg(const Rgba& picture, const JpegOptions& options) {
    jpeg_compress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(picture.width);
    info.image_height = JDIMENSION(picture.height);
    info.input_components = picture.channels;
    info.in_color_space =
        options.cmyk ? JCS_CMYK : (picture.channels == 1 ? JCS_GRAYSCALE : JCS_RGB);
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, options.quality, TRUE);
    for (int c = 0; !options.subsampled && c < info.num_components; ++c) {
        info.comp_info[c].h_samp_factor = 1;  // no chroma subsampling: flat blocks stay flat
        info.comp_info[c].v_samp_factor = 1;
    }
    if (options.progressive) {
        jpeg_simple_progression(&info);
    }
    jpeg_start_compress(&info, TRUE);
    if (options.exifOrientation) {
        // "Exif", two zero bytes, then a little-endian TIFF structure: its first directory holds
        // one entry, the orientation (tag 0x0112, SHORT, one value).
        const uint8_t o = uint8_t(options.exifOrientation);
        const uint8_t exif[] = {'E',  'x', 'i', 'f', 0, 0, 'I', 'I', 42, 0, 8, 0, 0, 0, 1, 0,
                                0x12, 1,   3,   0,   1, 0, 0,   0,   o,  0, 0, 0, 0, 0, 0, 0};
        jpeg_write_marker(&info, JPEG_APP0 + 1, exif, sizeof exif);
    }
    const size_t stride = size_t(picture.width) * picture.channels;
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(picture.samples.data()) + info.next_scanline * stride;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    std::vector<uint8_t> out(buffer, buffer + size);
    jpeg_destroy_compress(&info);
    std::free(buffer);
    return out;
}

// ---------------------------------------------------------------------------------------------
// PNG

namespace {
void AppendPng(png_structp png, png_bytep data, size_t size) {
    auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    out->insert(out->end(), data, data + size);
}
void FlushNothing(png_structp) {}
}  // namespace

std::vector<uint8_t> EncodePng(const Rgba& picture, const PngOptions& options) {
    std::vector<uint8_t> out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        throw std::runtime_error("png write failed");
    }
    png_set_write_fn(png, &out, AppendPng, FlushNothing);
    int colorType = PNG_COLOR_TYPE_PALETTE;
    if (!options.palette) {
        static constexpr int kTypes[] = {0, PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA,
                                         PNG_COLOR_TYPE_RGB, PNG_COLOR_TYPE_RGB_ALPHA};
        colorType = kTypes[picture.channels];
    }
    png_set_IHDR(png, info, png_uint_32(picture.width), png_uint_32(picture.height),
                 options.bitDepth, colorType,
                 options.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (options.palette) {
        std::vector<png_color> colors;
        for (Color c : options.paletteColors) {
            colors.push_back({RedOf(c), GreenOf(c), BlueOf(c)});
        }
        png_set_PLTE(png, info, colors.data(), int(colors.size()));
        if (!options.paletteAlpha.empty()) {
            png_set_tRNS(png, info, options.paletteAlpha.data(), int(options.paletteAlpha.size()),
                         nullptr);
        }
    } else if (options.key) {
        png_color_16 key{};
        const auto& k = *options.key;
        if (picture.channels == 1) {
            key.gray = k[0];
        } else {
            key.red = k[0];
            key.green = k[1];
            key.blue = k[2];
        }
        png_set_tRNS(png, info, nullptr, 0, &key);
    }
    png_write_info(png, info);
    if (options.bitDepth < 8) {
        png_set_packing(png);
    }
    const int passes = png_set_interlace_handling(png);
    const size_t samplesPerRow = size_t(picture.width) * picture.channels;
    std::vector<uint8_t> row(samplesPerRow * 2);
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < picture.height; ++y) {
            const uint8_t* in = picture.samples.data() + y * samplesPerRow;
            if (options.bitDepth == 16) {
                for (size_t i = 0; i < samplesPerRow; ++i) {
                    row[2 * i] = in[i];  // v * 257, big-endian
                    row[2 * i + 1] = in[i];
                }
            } else {
                std::memcpy(row.data(), in, samplesPerRow);
            }
            png_write_row(png, row.data());
        }
    }
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return out;
}

// ---------------------------------------------------------------------------------------------
// GIF

namespace {
int AppendGif(GifFileType* gif, const GifByteType* data, int size) {
    auto* out = static_cast<std::vector<uint8_t>*>(gif->UserData);
    out->insert(out->end(), data, data + size);
    return size;
}
}  // namespace

std::vector<uint8_t> EncodeGif(const Rgba& indexes, const GifOptions& options) {
    std::vector<uint8_t> out;
    int error = 0;
    GifFileType* gif = EGifOpen(&out, AppendGif, &error);
    int bits = 1;
    while ((1 << bits) < int(options.palette.size())) {
        ++bits;
    }
    std::vector<GifColorType> colors(size_t(1) << bits);
    for (size_t i = 0; i < options.palette.size(); ++i) {
        colors[i] = {RedOf(options.palette[i]), GreenOf(options.palette[i]),
                     BlueOf(options.palette[i])};
    }
    ColorMapObject* map = GifMakeMapObject(1 << bits, colors.data());
    EGifSetGifVersion(gif, true);
    const int sw = options.screenWidth ? options.screenWidth : indexes.width;
    const int sh = options.screenHeight ? options.screenHeight : indexes.height;
    EGifPutScreenDesc(gif, sw, sh, bits, 0, map);
    if (options.transparentIndex >= 0) {
        GraphicsControlBlock control{};
        control.TransparentColor = options.transparentIndex;
        GifByteType block[4];
        const size_t n = EGifGCBToExtension(&control, block);
        EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), block);
    }
    EGifPutImageDesc(gif, options.left, options.top, indexes.width, indexes.height,
                     options.interlaced, nullptr);
    std::vector<GifPixelType> line(size_t(indexes.width));
    const auto put = [&](int y) {
        std::memcpy(line.data(), indexes.samples.data() + size_t(y) * indexes.width, line.size());
        EGifPutLine(gif, line.data(), indexes.width);
    };
    if (options.interlaced) {
        static constexpr int kStart[] = {0, 4, 2, 1}, kStep[] = {8, 8, 4, 2};
        for (int pass = 0; pass < 4; ++pass) {
            for (int y = kStart[pass]; y < indexes.height; y += kStep[pass]) {
                put(y);
            }
        }
    } else {
        for (int y = 0; y < indexes.height; ++y) {
            put(y);
        }
    }
    EGifCloseFile(gif, &error);
    GifFreeMapObject(map);
    return out;
}

// ---------------------------------------------------------------------------------------------
// TIFF

namespace {
struct MemoryFile {
    std::vector<uint8_t> data;
    uint64_t offset = 0;
};
tmsize_t TiffRead(thandle_t h, void* buffer, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    const uint64_t n = std::min<uint64_t>(
        uint64_t(size), f->data.size() - std::min<uint64_t>(f->offset, f->data.size()));
    std::memcpy(buffer, f->data.data() + f->offset, size_t(n));
    f->offset += n;
    return tmsize_t(n);
}
tmsize_t TiffWrite(thandle_t h, void* buffer, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    if (f->offset + uint64_t(size) > f->data.size()) {
        f->data.resize(size_t(f->offset + uint64_t(size)));
    }
    std::memcpy(f->data.data() + f->offset, buffer, size_t(size));
    f->offset += uint64_t(size);
    return size;
}
toff_t TiffSeek(thandle_t h, toff_t offset, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    const uint64_t base = whence == SEEK_CUR ? f->offset : whence == SEEK_END ? f->data.size() : 0;
    f->offset = base + offset;
    return f->offset;
}
int TiffClose(thandle_t) {
    return 0;
}
toff_t TiffSize(thandle_t h) {
    return static_cast<MemoryFile*>(h)->data.size();
}
int TiffMap(thandle_t, void**, toff_t*) {
    return 0;
}
void TiffUnmap(thandle_t, void*, toff_t) {}
}  // namespace

std::vector<uint8_t> EncodeTiff(const Rgba& picture, const TiffOptions& options) {
    MemoryFile file;
    TIFF* tiff = TIFFClientOpen("sample", "w", &file, TiffRead, TiffWrite, TiffSeek, TiffClose,
                                TiffSize, TiffMap, TiffUnmap);
    const bool alpha = picture.channels == 2 || picture.channels == 4;
    TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, uint32_t(picture.width));
    TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, uint32_t(picture.height));
    TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, uint16_t(picture.channels));
    TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, uint16_t(8));
    TIFFSetField(tiff, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC,
                 picture.channels <= 2 ? PHOTOMETRIC_MINISBLACK : PHOTOMETRIC_RGB);
    if (alpha) {
        const uint16_t extra = EXTRASAMPLE_UNASSALPHA;
        TIFFSetField(tiff, TIFFTAG_EXTRASAMPLES, uint16_t(1), &extra);
    }
    switch (options.compression) {
        case TiffCompression::None:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_NONE);
            break;
        case TiffCompression::Lzw:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_LZW);
            TIFFSetField(tiff, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL);
            break;
        case TiffCompression::Deflate:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE);
            break;
        case TiffCompression::Jpeg:
            TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_JPEG);
            TIFFSetField(tiff, TIFFTAG_JPEGQUALITY, 100);
            break;
    }
    const size_t stride = size_t(picture.width) * picture.channels;
    if (options.tiled) {
        const uint32_t tile = 16;
        TIFFSetField(tiff, TIFFTAG_TILEWIDTH, tile);
        TIFFSetField(tiff, TIFFTAG_TILELENGTH, tile);
        std::vector<uint8_t> buffer(size_t(tile) * tile * picture.channels);
        for (uint32_t ty = 0; ty < uint32_t(picture.height); ty += tile) {
            for (uint32_t tx = 0; tx < uint32_t(picture.width); tx += tile) {
                std::fill(buffer.begin(), buffer.end(), 0);
                for (uint32_t y = 0; y < tile && ty + y < uint32_t(picture.height); ++y) {
                    for (uint32_t x = 0; x < tile && tx + x < uint32_t(picture.width); ++x) {
                        std::memcpy(
                            &buffer[(y * tile + x) * picture.channels],
                            &picture.samples[(ty + y) * stride + (tx + x) * picture.channels],
                            size_t(picture.channels));
                    }
                }
                TIFFWriteTile(tiff, buffer.data(), tx, ty, 0, 0);
            }
        }
    } else {
        TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, uint32_t(options.rowsPerStrip));
        std::vector<uint8_t> row(stride);
        for (int y = 0; y < picture.height; ++y) {
            std::memcpy(row.data(), picture.samples.data() + y * stride, stride);
            TIFFWriteScanline(tiff, row.data(), uint32_t(y), 0);
        }
    }
    TIFFClose(tiff);
    return file.data;
}

// ---------------------------------------------------------------------------------------------
// JPEG 2000

namespace {
OPJ_SIZE_T J2kWrite(void* buffer, OPJ_SIZE_T size, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    TiffWrite(f, buffer, tmsize_t(size));
    return size;
}
OPJ_OFF_T J2kSkip(OPJ_OFF_T count, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    f->offset += uint64_t(count);
    if (f->offset > f->data.size()) {
        f->data.resize(size_t(f->offset));
    }
    return count;
}
OPJ_BOOL J2kSeek(OPJ_OFF_T position, void* user) {
    auto* f = static_cast<MemoryFile*>(user);
    f->offset = uint64_t(position);
    if (f->offset > f->data.size()) {
        f->data.resize(size_t(f->offset));
    }
    return OPJ_TRUE;
}
}  // namespace

std::vector<uint8_t> EncodeJpeg2000(const Rgba& picture, bool jp2, int tileSide) {
    Jpeg2000Options options;
    options.jp2 = jp2;
    options.tileSide = tileSide;
    return EncodeJpeg2000(picture, options);
}

std::vector<uint8_t> EncodeJpeg2000(const Rgba& picture, const Jpeg2000Options& options) {
    const int count = picture.channels;
    const uint32_t x0 = uint32_t(options.originX), y0 = uint32_t(options.originY);
    const uint32_t x1 = x0 + uint32_t(picture.width), y1 = y0 + uint32_t(picture.height);
    std::vector<opj_image_cmptparm_t> parameters(static_cast<size_t>(count));
    for (int c = 0; c < count; ++c) {
        opj_image_cmptparm_t& p = parameters[size_t(c)];
        p = {};
        p.dx = p.dy = OPJ_UINT32(c == 0 ? 1 : options.chromaStep);
        p.x0 = (x0 + p.dx - 1) / p.dx;
        p.y0 = (y0 + p.dy - 1) / p.dy;
        p.w = (x1 + p.dx - 1) / p.dx - p.x0;
        p.h = (y1 + p.dy - 1) / p.dy - p.y0;
        p.prec = 8;
        p.sgnd = 0;
    }
    opj_image_t* image = opj_image_create(OPJ_UINT32(count), parameters.data(),
                                          count >= 3 ? OPJ_CLRSPC_SRGB : OPJ_CLRSPC_GRAY);
    image->x0 = x0;
    image->y0 = y0;
    image->x1 = x1;
    image->y1 = y1;
    for (int c = 0; c < count; ++c) {
        opj_image_comp_t& comp = image->comps[c];
        comp.alpha = OPJ_UINT16(options.opacity && c == count - 1 ? 1 : 0);
        for (uint32_t sy = 0; sy < comp.h; ++sy) {
            for (uint32_t sx = 0; sx < comp.w; ++sx) {
                // The pixel at the sample's own grid position, or the first one after it.
                const uint32_t px = std::max((comp.x0 + sx) * comp.dx, x0) - x0;
                const uint32_t py = std::max((comp.y0 + sy) * comp.dy, y0) - y0;
                comp.data[sy * comp.w + sx] = picture.At(int(px), int(py), c);
            }
        }
    }
    opj_cparameters_t settings;
    opj_set_default_encoder_parameters(&settings);
    settings.tcp_numlayers = 1;
    settings.tcp_rates[0] = 0;  // lossless
    settings.cp_disto_alloc = 1;
    settings.tcp_mct = count >= 3 && options.chromaStep == 1 ? 1 : 0;
    settings.numresolution = 3;  // small pictures allow few resolution levels
    settings.image_offset_x0 = int(x0);
    settings.image_offset_y0 = int(y0);
    if (options.tileSide > 0) {
        settings.tile_size_on = OPJ_TRUE;
        settings.cp_tdx = settings.cp_tdy = options.tileSide;
    }
    opj_codec_t* codec = opj_create_compress(options.jp2 ? OPJ_CODEC_JP2 : OPJ_CODEC_J2K);
    opj_setup_encoder(codec, &settings, image);
    MemoryFile file;
    opj_stream_t* stream = opj_stream_create(1 << 16, OPJ_FALSE);
    opj_stream_set_user_data(stream, &file, nullptr);
    opj_stream_set_write_function(stream, J2kWrite);
    opj_stream_set_skip_function(stream, J2kSkip);
    opj_stream_set_seek_function(stream, J2kSeek);
    const bool ok = opj_start_compress(codec, image, stream) && opj_encode(codec, stream) &&
                    opj_end_compress(codec, stream);
    opj_stream_destroy(stream);
    opj_destroy_codec(codec);
    opj_image_destroy(image);
    if (!ok) {
        throw std::runtime_error("JPEG 2000 encoding failed");
    }
    return file.data;
}

std::vector<uint8_t> TargaFile(int imageType, int width, int height, int bits, int descriptor,
                               const std::vector<uint8_t>& pixels, int mapBits,
                               const std::vector<uint8_t>& map, int mapEntries,
                               const std::string& id) {
    std::vector<uint8_t> f = {uint8_t(id.size()),
                              uint8_t(mapBits ? 1 : 0),
                              uint8_t(imageType),
                              0,
                              0,
                              uint8_t(mapEntries),
                              uint8_t(mapEntries >> 8),
                              uint8_t(mapBits),
                              0,
                              0,
                              0,
                              0,
                              uint8_t(width),
                              uint8_t(width >> 8),
                              uint8_t(height),
                              uint8_t(height >> 8),
                              uint8_t(bits),
                              uint8_t(descriptor)};
    f.insert(f.end(), id.begin(), id.end());
    f.insert(f.end(), map.begin(), map.end());
    f.insert(f.end(), pixels.begin(), pixels.end());
    return f;
}

std::vector<uint8_t> EpsWithTiffPreview(const std::vector<uint8_t>& tiff) {
    std::vector<uint8_t> eps = {0xC5, 0xD0, 0xD3, 0xC6};
    const auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i) {
            eps.push_back(uint8_t(v >> (8 * i)));
        }
    };
    u32(30 + uint32_t(tiff.size()));  // PostScript after the preview
    u32(10);
    u32(0);
    u32(0);
    u32(30);
    u32(uint32_t(tiff.size()));
    eps.push_back(0xFF);
    eps.push_back(0xFF);
    eps.insert(eps.end(), tiff.begin(), tiff.end());
    const std::string ps = "%!PS-Adobe";
    eps.insert(eps.end(), ps.begin(), ps.end());
    return eps;
}

}  // namespace corvalo::test

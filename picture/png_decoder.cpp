// PNG pictures through libpng: rows decoded straight into the result where the format allows,
// transparency blended onto white or kept as the picture's key colour.
#include "base/error.h"
#include "base/text.h"
#include "picture/picture_decoders.h"

#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>

namespace corvalo {

namespace {

constexpr wchar_t kNoData[] = L"This \"Portable Network Graphics\" image contains no data.";

// How the decoded rows reach the result.
enum class RowKind {
    Bgr,      // 3 bytes a pixel, straight into the result
    Bgra,     // 4 bytes a pixel, blended onto white
    Indexes,  // palette indexes, 1 byte a pixel, through the colour table
};

// libpng reports failures by longjmp. Everything it touches lives in this plain struct, and each
// setjmp sits in a small function that owns no C++ object, so the jump skips no destructor.
struct PngJob {
    png_structp png;
    png_infop info;
    const uint8_t* data;
    size_t size;
    size_t offset;
    bool readPastEnd;
    char message[256];
    // From the header.
    png_uint_32 width, height;
    int bitDepth, colorType, interlace;
    png_color palette[256];
    int paletteSize;
    png_byte alpha[256];  // palette transparency
    int alphaCount;
    bool hasKey;  // grey or RGB transparency chunk
    png_color_16 key;
};

PngJob* JobOf(png_structp png) {
    return static_cast<PngJob*>(png_get_error_ptr(png));
}

void OnError(png_structp png, png_const_charp message) {
    PngJob* job = JobOf(png);
    std::strncpy(job->message, message ? message : "", sizeof job->message - 1);
    job->message[sizeof job->message - 1] = '\0';
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

void ReadBytes(png_structp png, png_bytep out, size_t count) {
    PngJob* job = static_cast<PngJob*>(png_get_io_ptr(png));
    if (count > job->size - job->offset) {
        job->readPastEnd = true;
        png_error(png, "Read Error");
    }
    std::memcpy(out, job->data + job->offset, count);
    job->offset += count;
}

int ReadHeader(PngJob* job) {
    if (setjmp(png_jmpbuf(job->png))) {
        return 1;
    }
    png_set_read_fn(job->png, job, ReadBytes);
    png_read_info(job->png, job->info);
    png_get_IHDR(job->png, job->info, &job->width, &job->height, &job->bitDepth, &job->colorType,
                 &job->interlace, nullptr, nullptr);
    png_colorp palette = nullptr;
    int count = 0;
    if (png_get_PLTE(job->png, job->info, &palette, &count) && palette) {
        job->paletteSize = count < 0 ? 0 : (count > 256 ? 256 : count);
        std::memcpy(job->palette, palette, sizeof(png_color) * size_t(job->paletteSize));
    }
    png_bytep alpha = nullptr;
    png_color_16p key = nullptr;
    if (png_get_valid(job->png, job->info, PNG_INFO_tRNS) &&
        png_get_tRNS(job->png, job->info, &alpha, &count, &key)) {
        if (job->colorType == PNG_COLOR_TYPE_PALETTE && alpha) {
            job->alphaCount = count < 0 ? 0 : (count > 256 ? 256 : count);
            std::memcpy(job->alpha, alpha, size_t(job->alphaCount));
        } else if (key && (job->colorType == PNG_COLOR_TYPE_GRAY ||
                           job->colorType == PNG_COLOR_TYPE_RGB)) {
            job->hasKey = true;
            job->key = *key;
        }
    }
    return 0;
}

// Blends one row of B,G,R,A onto white: c * a / 255 + 255 - a, rounded.
void BlendRow(const uint8_t* in, uint8_t* out, png_uint_32 width) {
    for (png_uint_32 x = 0; x < width; ++x, in += 4, out += 3) {
        const unsigned a = in[3];
        if (a == 255) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            continue;
        }
        const unsigned white = 255u * (255u - a) + 128u;
        for (int c = 0; c < 3; ++c) {
            const unsigned t = in[c] * a + white;
            out[c] = uint8_t((t + (t >> 8)) >> 8);
        }
    }
}

void MapRow(const uint8_t* in, uint8_t* out, png_uint_32 width, const uint8_t* table) {
    for (png_uint_32 x = 0; x < width; ++x, out += 3) {
        const uint8_t* c = table + 3 * size_t(in[x]);
        out[0] = c[0];
        out[1] = c[1];
        out[2] = c[2];
    }
}

// Reads the pixels. rows: the result's rows. scratch: one row (not interlaced) or the whole
// picture (interlaced) of the decoded row kind, with scratchRows pointing into it when
// interlaced. table: 256 B,G,R entries for palette indexes.
int ReadPixels(PngJob* job, RowKind kind, uint8_t** rows, uint8_t* scratch, uint8_t** scratchRows,
               const uint8_t* table) {
    if (setjmp(png_jmpbuf(job->png))) {
        return 1;
    }
    png_structp png = job->png;
    size_t bytesPerPixel = 3;
    if (kind == RowKind::Indexes) {
        png_set_packing(png);
        bytesPerPixel = 1;
    } else {
        png_set_strip_16(png);
        if (!(job->colorType & PNG_COLOR_MASK_COLOR)) {
            png_set_expand_gray_1_2_4_to_8(png);
            png_set_gray_to_rgb(png);
        }
        png_set_bgr(png);
        if (kind == RowKind::Bgra) {
            bytesPerPixel = 4;
        }
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, job->info);
    if (png_get_rowbytes(png, job->info) != bytesPerPixel * job->width) {
        png_error(png, "Unexpected row layout");
    }

    if (job->interlace == PNG_INTERLACE_NONE) {
        for (png_uint_32 y = 0; y < job->height; ++y) {
            if (kind == RowKind::Bgr) {
                png_read_row(png, rows[y], nullptr);
            } else {
                png_read_row(png, scratch, nullptr);
                if (kind == RowKind::Bgra) {
                    BlendRow(scratch, rows[y], job->width);
                } else {
                    MapRow(scratch, rows[y], job->width, table);
                }
            }
        }
        return 0;
    }
    if (kind == RowKind::Bgr) {
        png_read_image(png, rows);
        return 0;
    }
    png_read_image(png, scratchRows);
    for (png_uint_32 y = 0; y < job->height; ++y) {
        if (kind == RowKind::Bgra) {
            BlendRow(scratchRows[y], rows[y], job->width);
        } else {
            MapRow(scratchRows[y], rows[y], job->width, table);
        }
    }
    return 0;
}

uint32_t BigEndian32(const uint8_t* p) {
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// False when the file is empty or its chunks end (IEND) before any image data (IDAT). Anything
// else, damaged or not, is left to libpng.
bool HasImageData(std::span<const uint8_t> file) {
    if (file.empty()) {
        return false;
    }
    size_t at = 8;
    while (at <= file.size() && file.size() - at >= 8) {
        const uint8_t* type = file.data() + at + 4;
        if (std::memcmp(type, "IDAT", 4) == 0) {
            return true;
        }
        if (std::memcmp(type, "IEND", 4) == 0) {
            return false;
        }
        const uint64_t next = uint64_t(at) + 12 + BigEndian32(file.data() + at);
        if (next > file.size()) {
            return true;
        }
        at = size_t(next);
    }
    return true;
}

// The colour of a grey transparency key at the picture's bit depth, widened to 8 bits as
// libpng widens the pixels (low depths repeat their bits, 16 bits keep the high byte).
uint8_t GreyKey(png_uint_16 value, int bitDepth) {
    if (bitDepth == 16) {
        return uint8_t(value >> 8);
    }
    const unsigned max = (1u << bitDepth) - 1u;
    return uint8_t((value & max) * 255u / max);
}

uint8_t ChannelKey(png_uint_16 value, int bitDepth) {
    return bitDepth == 16 ? uint8_t(value >> 8) : uint8_t(value);
}

}  // namespace

DecodedPicture DecodePng(std::span<const uint8_t> file) {
    if (!HasImageData(file)) {
        throw Error(kNoData);
    }
    PngJob job{};
    job.data = file.data();
    job.size = file.size();
    job.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &job, OnError, OnWarning);
    if (!job.png) {
        throw std::bad_alloc();
    }
    struct Guard {
        PngJob* job;
        ~Guard() { png_destroy_read_struct(&job->png, job->info ? &job->info : nullptr, nullptr); }
    } guard{&job};
    job.info = png_create_info_struct(job.png);
    if (!job.info) {
        throw std::bad_alloc();
    }
    // The loader's own size limit applies; libpng's default limits would stop short of it.
    png_set_user_limits(job.png, 0x7FFFFFFF, 0x7FFFFFFF);

    const auto fail = [&]() {
        if (job.readPastEnd) {
            throw Error(kStreamReadError);
        }
        throw Error(job.message[0] ? AnsiToWide(job.message) : std::wstring(L"Invalid PNG data"));
    };
    if (ReadHeader(&job) != 0) {
        fail();
    }

    DecodedPicture picture;
    picture.bitmap = NewPictureBitmap(job.width, job.height, kNoData);
    const size_t width = job.width;

    RowKind kind = RowKind::Bgr;
    uint8_t table[256 * 3];
    std::memset(table, 0, sizeof table);  // indexes past the palette are black
    if (job.colorType == PNG_COLOR_TYPE_PALETTE) {
        kind = RowKind::Indexes;
        // The first fully transparent entry names the key colour; every fully transparent
        // pixel is drawn in it, so all of them are see-through. Partly transparent entries
        // are blended onto white.
        std::optional<Color> key;
        for (int i = 0; i < job.alphaCount && i < job.paletteSize; ++i) {
            if (job.alpha[i] == 0) {
                const png_color& c = job.palette[i];
                key = MakeColor(c.red, c.green, c.blue);
                break;
            }
        }
        for (int i = 0; i < job.paletteSize; ++i) {
            const png_color& c = job.palette[i];
            picture.palette.push_back(MakeColor(c.red, c.green, c.blue));
            const unsigned a = i < job.alphaCount ? job.alpha[i] : 255u;
            uint8_t bgr[3] = {c.blue, c.green, c.red};
            if (a == 0 && key) {
                bgr[0] = BlueOf(*key);
                bgr[1] = GreenOf(*key);
                bgr[2] = RedOf(*key);
            } else if (a != 255) {
                for (uint8_t& v : bgr) {
                    const unsigned t = v * a + 255u * (255u - a) + 128u;
                    v = uint8_t((t + (t >> 8)) >> 8);
                }
            }
            std::memcpy(table + 3 * i, bgr, 3);
        }
        if (job.alphaCount > 0) {
            picture.transparent = true;
            picture.transparentColor = key;
        }
    } else if (job.colorType & PNG_COLOR_MASK_ALPHA) {
        kind = RowKind::Bgra;
        picture.transparent = true;
    } else if (job.hasKey) {
        // Keyed pixels keep their colour, which becomes the key colour.
        picture.transparent = true;
        if (job.colorType == PNG_COLOR_TYPE_GRAY) {
            const uint8_t g = GreyKey(job.key.gray, job.bitDepth);
            picture.transparentColor = MakeColor(g, g, g);
        } else {
            picture.transparentColor = MakeColor(ChannelKey(job.key.red, job.bitDepth),
                                                 ChannelKey(job.key.green, job.bitDepth),
                                                 ChannelKey(job.key.blue, job.bitDepth));
        }
    }

    std::vector<uint8_t*> rows(job.height);
    for (png_uint_32 y = 0; y < job.height; ++y) {
        rows[y] = picture.bitmap.Row(int(y));
    }
    const size_t scratchPixelBytes = kind == RowKind::Bgra ? 4 : 1;
    std::vector<uint8_t> scratch;
    std::vector<uint8_t*> scratchRows;
    if (kind != RowKind::Bgr) {
        if (job.interlace == PNG_INTERLACE_NONE) {
            scratch.resize(width * scratchPixelBytes);
        } else {
            scratch.resize(width * scratchPixelBytes * job.height);
            scratchRows.resize(job.height);
            for (png_uint_32 y = 0; y < job.height; ++y) {
                scratchRows[y] = scratch.data() + size_t(y) * width * scratchPixelBytes;
            }
        }
    }
    if (ReadPixels(&job, kind, rows.data(), scratch.data(), scratchRows.data(), table) != 0) {
        fail();
    }
    return picture;
}

}  // namespace corvalo

// JPEG pictures through libjpeg-turbo, decoded straight into the result's rows, and shown the way
// the camera was held.
#include "base/error.h"
#include "picture/orientation.h"
#include "picture/picture_decoders.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <span>
#include <vector>

#include <jerror.h>
#include <jpeglib.h>

namespace corvalo {

namespace {

// libjpeg reports failures by longjmp. Everything it touches lives in this plain struct, and each
// setjmp sits in a small function that owns no C++ object, so the jump skips no destructor.
struct JpegJob {
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    jmp_buf jump;
    int failure;  // the library's message number
    bool created;
    bool endedEarly;  // the data ran out before the end marker
};

JpegJob* JobOf(j_common_ptr info) {
    return reinterpret_cast<JpegJob*>(reinterpret_cast<char*>(info->err) -
                                      offsetof(JpegJob, errors));
}

void OnError(j_common_ptr info) {
    JpegJob* job = JobOf(info);
    job->failure = info->err->msg_code;
    std::longjmp(job->jump, 1);
}

// Warnings about damaged pixel data end the decode: a row that lost its data is an error, not a
// picture with a grey or smeared part. Harmless oddities (an unknown JFIF revision, extra bytes
// between markers such as those a wrong EXIF length leaves, an odd progression, a bad colour
// profile) are let through.
//
// The end of the data by itself is not damage: a copy or download cut off just before the end
// marker still holds every row. A row whose data is missing makes the entropy decoder ask for bits
// past the end (JWRN_HIT_MARKER), and a progressive file's missing scans are found once the whole
// input is read (WholeInput).
void OnMessage(j_common_ptr info, int level) {
    if (level >= 0) {
        return;  // trace messages
    }
    JpegJob* job = JobOf(info);
    switch (info->err->msg_code) {
        case JWRN_JPEG_EOF:
            job->endedEarly = true;
            break;
        case JWRN_HIT_MARKER:
            if (job->endedEarly) {
                info->err->msg_code = JWRN_JPEG_EOF;  // the file ends early: say that
            }
            OnError(info);
            break;
        case JWRN_HUFF_BAD_CODE:
        case JWRN_MUST_RESYNC:
            OnError(info);
            break;
        default:
            break;
    }
}

// After a file whose data ran out: whether the decoder still got all of it. A single scan lost
// nothing unless the entropy decoder said so. A progressive file is whole when every coefficient of
// every component arrived at full precision; one that ends between scans is not, nor is a
// sequential file whose components come in scans of their own (which scan is missing can't be
// told).
bool WholeInput(const jpeg_decompress_struct& info, bool multipleScans) {
    if (!multipleScans) {
        return true;
    }
    if (!info.progressive_mode || !info.coef_bits) {
        return false;
    }
    for (int c = 0; c < info.num_components; ++c) {
        for (int k = 0; k < DCTSIZE2; ++k) {
            if (info.coef_bits[c][k] != 0) {
                return false;
            }
        }
    }
    return true;
}

void NoOutput(j_common_ptr) {}

// 0 on success, else 1 with job->failure set.
int ReadHeader(JpegJob* job, const uint8_t* data, size_t size) {
    if (setjmp(job->jump)) {
        return 1;
    }
    jpeg_create_decompress(&job->info);
    job->created = true;
    // The decoder's own working memory (a progressive picture keeps all its coefficients) is
    // bounded too; past it libjpeg fails cleanly rather than taking gigabytes.
    job->info.mem->max_memory_to_use = 1024L * 1024L * 1024L;
    jpeg_mem_src(&job->info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&job->info, JPEG_APP0 + 1, 0xFFFF);  // EXIF: the camera's orientation
    jpeg_read_header(&job->info, TRUE);
    return 0;
}

// The orientation of the first EXIF block, 1 without one.
int OrientationOf(const jpeg_decompress_struct& info) {
    for (jpeg_saved_marker_ptr m = info.marker_list; m; m = m->next) {
        if (m->marker == JPEG_APP0 + 1 && m->data_length >= 6 &&
            std::memcmp(m->data, "Exif\0", 6) == 0) {
            return ExifOrientation(std::span<const uint8_t>(m->data, m->data_length));
        }
    }
    return 1;
}

// Where the decoded rows go. As stored: straight into the result's rows. Any other orientation:
// a band of rows at a time into `band`, then placed where they are seen upright.
struct Output {
    Bitmap* shown;
    int orientation;
    uint8_t** rows;  // stored orientation: every row of the result; else the band's rows
    uint8_t* band;
    size_t bandStride;
    uint8_t* cmykRow;  // one row of 4 bytes a pixel, for CMYK
};
constexpr JDIMENSION kBandRows = 16;

// Decodes a width x height picture (as stored) into the output, B,G,R.
int Decompress(JpegJob* job, const Output& output, JDIMENSION width, JDIMENSION height) {
    if (setjmp(job->jump)) {
        return 1;
    }
    jpeg_decompress_struct& info = job->info;
    const bool multipleScans = jpeg_has_multiple_scans(&info);
    jpeg_start_decompress(&info);
    // The rows hold exactly the picture the header announced.
    if (info.output_width != width || info.output_height != height ||
        info.output_components != (info.out_color_space == JCS_CMYK ? 4 : 3)) {
        job->failure = JERR_IMAGE_TOO_BIG;
        return 1;
    }
    // A file of several scans has been read whole by now.
    if (job->endedEarly && !WholeInput(info, multipleScans)) {
        job->failure = JWRN_JPEG_EOF;
        return 1;
    }
    const bool cmyk = info.out_color_space == JCS_CMYK;
    // Adobe's CMYK files (the only ones met in practice) store the inks inverted.
    const bool inverted = info.saw_Adobe_marker;
    const bool banded = output.orientation != 1;
    const JDIMENSION step = banded ? kBandRows : height;
    for (JDIMENSION first = 0; first < height; first += step) {
        const JDIMENSION end = std::min(height, first + step);
        while (info.output_scanline < end) {
            const JDIMENSION y = info.output_scanline;
            uint8_t** target = output.rows + (banded ? y - first : y);
            if (!cmyk) {
                jpeg_read_scanlines(&info, const_cast<JSAMPARRAY>(target), end - y);
                continue;
            }
            JSAMPROW in = output.cmykRow;
            if (jpeg_read_scanlines(&info, &in, 1) != 1) {
                continue;
            }
            uint8_t* out = *target;
            for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 3) {
                const unsigned c = inverted ? in[0] : 255u - in[0];
                const unsigned m = inverted ? in[1] : 255u - in[1];
                const unsigned y = inverted ? in[2] : 255u - in[2];
                const unsigned k = inverted ? in[3] : 255u - in[3];
                out[0] = uint8_t((y * k + 127) / 255);
                out[1] = uint8_t((m * k + 127) / 255);
                out[2] = uint8_t((c * k + 127) / 255);
            }
        }
        if (banded) {
            PlaceStoredRows(*output.shown, output.orientation, int(width), int(height), int(first),
                            int(end - first), output.band, output.bandStride);
        }
    }
    jpeg_finish_decompress(&info);
    return 0;
}

// Releases libjpeg's state whatever happened; its own failures here end nothing.
void Destroy(JpegJob* job) {
    if (job->created) {
        jpeg_destroy_decompress(&job->info);
        job->created = false;
    }
}

[[noreturn]] void Fail(int code) {
    throw Error(FillNumber(L"JPEG error #%d", code));
}

}  // namespace

DecodedPicture DecodeJpeg(std::span<const uint8_t> file) {
    JpegJob job{};
    job.info.err = jpeg_std_error(&job.errors);
    job.errors.error_exit = OnError;
    job.errors.emit_message = OnMessage;
    job.errors.output_message = NoOutput;
    if (file.size() > ULONG_MAX) {
        Fail(JERR_INPUT_EOF);
    }
    struct Guard {
        JpegJob* job;
        ~Guard() { Destroy(job); }
    } guard{&job};

    if (ReadHeader(&job, file.data(), file.size()) != 0) {
        Fail(job.failure);
    }
    switch (job.info.jpeg_color_space) {
        case JCS_CMYK:
        case JCS_YCCK:
            job.info.out_color_space = JCS_CMYK;
            break;
        default:
            job.info.out_color_space = JCS_EXT_BGR;
            break;
    }
    const JDIMENSION width = job.info.image_width, height = job.info.image_height;
    const int orientation = OrientationOf(job.info);
    const bool turned = SwapsSides(orientation);
    DecodedPicture picture;
    picture.bitmap = NewPictureBitmap(turned ? height : width, turned ? width : height,
                                      FillNumber(L"JPEG error #%d", JERR_EMPTY_IMAGE).c_str());
    Output output{&picture.bitmap, orientation, nullptr, nullptr, 0, nullptr};
    std::vector<uint8_t*> rows;
    std::vector<uint8_t> band;
    if (orientation == 1) {
        rows.resize(height);
        for (JDIMENSION y = 0; y < height; ++y) {
            rows[y] = picture.bitmap.Row(int(y));
        }
    } else {
        output.bandStride = size_t(width) * 3;
        band.resize(output.bandStride * kBandRows);
        rows.resize(kBandRows);
        for (JDIMENSION y = 0; y < kBandRows; ++y) {
            rows[y] = band.data() + y * output.bandStride;
        }
        output.band = band.data();
    }
    output.rows = rows.data();
    std::vector<uint8_t> cmykRow;
    if (job.info.out_color_space == JCS_CMYK) {
        cmykRow.resize(size_t(width) * 4);
        output.cmykRow = cmykRow.data();
    }
    if (Decompress(&job, output, width, height) != 0) {
        Fail(job.failure);
    }
    return picture;
}

}  // namespace corvalo

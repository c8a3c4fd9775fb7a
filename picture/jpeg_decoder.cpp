// JPEG pictures through libjpeg-turbo, decoded straight into the result's rows.
#include "base/error.h"
#include "picture/picture_decoders.h"

#include <climits>
#include <csetjmp>
#include <cstdio>
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

// Warnings about damaged pixel data end the decode: a truncated or corrupted file is an error,
// not a picture with a grey or smeared part. Harmless oddities (an unknown JFIF revision, extra
// bytes between markers, an odd progression, a bad colour profile) are let through.
void OnMessage(j_common_ptr info, int level) {
    if (level >= 0) {
        return;  // trace messages
    }
    switch (info->err->msg_code) {
        case JWRN_JPEG_EOF:
        case JWRN_HIT_MARKER:
        case JWRN_HUFF_BAD_CODE:
        case JWRN_MUST_RESYNC:
            OnError(info);
            break;
        default:
            break;
    }
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
    jpeg_read_header(&job->info, TRUE);
    return 0;
}

// Decodes into the row pointers (BGR, 3 bytes a pixel) of a width x height picture. For CMYK,
// cmykRow holds one row of 4 bytes a pixel.
int Decompress(JpegJob* job, uint8_t* const* rows, JDIMENSION width, JDIMENSION height,
               uint8_t* cmykRow) {
    if (setjmp(job->jump)) {
        return 1;
    }
    jpeg_decompress_struct& info = job->info;
    jpeg_start_decompress(&info);
    // The rows hold exactly the picture the header announced.
    if (info.output_width != width || info.output_height != height ||
        info.output_components != (info.out_color_space == JCS_CMYK ? 4 : 3)) {
        job->failure = JERR_IMAGE_TOO_BIG;
        return 1;
    }
    const bool cmyk = info.out_color_space == JCS_CMYK;
    // Adobe's CMYK files (the only ones met in practice) store the inks inverted.
    const bool inverted = info.saw_Adobe_marker;
    while (info.output_scanline < info.output_height) {
        if (!cmyk) {
            const JDIMENSION y = info.output_scanline;
            jpeg_read_scanlines(&info, const_cast<JSAMPARRAY>(rows + y), info.output_height - y);
            continue;
        }
        uint8_t* out = rows[info.output_scanline];
        JSAMPROW in = cmykRow;
        if (jpeg_read_scanlines(&info, &in, 1) != 1) {
            continue;
        }
        for (JDIMENSION x = 0; x < info.output_width; ++x, in += 4, out += 3) {
            const unsigned c = inverted ? in[0] : 255u - in[0];
            const unsigned m = inverted ? in[1] : 255u - in[1];
            const unsigned y = inverted ? in[2] : 255u - in[2];
            const unsigned k = inverted ? in[3] : 255u - in[3];
            out[0] = uint8_t((y * k + 127) / 255);
            out[1] = uint8_t((m * k + 127) / 255);
            out[2] = uint8_t((c * k + 127) / 255);
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
    DecodedPicture picture;
    picture.bitmap = NewPictureBitmap(job.info.image_width, job.info.image_height,
                                      FillNumber(L"JPEG error #%d", JERR_EMPTY_IMAGE).c_str());
    std::vector<uint8_t*> rows(size_t(picture.bitmap.Height()));
    for (int y = 0; y < picture.bitmap.Height(); ++y) {
        rows[size_t(y)] = picture.bitmap.Row(y);
    }
    std::vector<uint8_t> cmykRow;
    if (job.info.out_color_space == JCS_CMYK) {
        cmykRow.resize(size_t(picture.bitmap.Width()) * 4);
    }
    if (Decompress(&job, rows.data(), job.info.image_width, job.info.image_height,
                   cmykRow.data()) != 0) {
        Fail(job.failure);
    }
    return picture;
}

}  // namespace corvalo

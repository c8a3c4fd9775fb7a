// Picture file loading beside the bare library decode of the same file: a 6000 x 4000 JPEG,
// 6000 x 4000 PNGs (RGB and RGBA) and a 6000 x 4000 lossy WebP. The bare decode is the plainest
// use of each library: a jpeg_read_scanlines loop, png_read_image from the file, and
// WebPDecodeRGBInto of the file read whole, into a buffer allocated once.
// Builds natively and for Windows (run under Wine); prints one line per measurement:
//   <name> <best ms> <median ms>
// Usage: picture_load_timing [folder for the sample files] [rounds]
#include "base/error.h"
#include "base/text.h"
#include "picture/picture_file.h"
#include "support/picture_samples.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <png.h>
#include <webp/decode.h>
#include <webp/encode.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace {

constexpr int kWidth = 6000;
constexpr int kHeight = 4000;

// A photograph-like picture: smooth colour gradients with fine grain.
corvalo::test::Rgba MakePicture(int channels) {
    corvalo::test::Rgba picture{kWidth, kHeight, channels,
                                std::vector<uint8_t>(size_t(kWidth) * kHeight * channels)};
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y) {
        uint8_t* p = picture.samples.data() + size_t(y) * kWidth * channels;
        for (int x = 0; x < kWidth; ++x, p += channels) {
            seed = seed * 1664525u + 1013904223u;
            const int grain = int(seed >> 29) - 4;
            const double fx = double(x) / kWidth, fy = double(y) / kHeight;
            p[0] = uint8_t(std::clamp(int(255 * fx) + grain, 0, 255));
            p[1] = uint8_t(std::clamp(int(255 * fy) + grain, 0, 255));
            p[2] = uint8_t(std::clamp(int(128 + 100 * std::sin(fx * 20 + fy * 7)) + grain, 0, 255));
            if (channels == 4) {
                p[3] = uint8_t(std::clamp(int(255 * (1 - fx * fy)), 0, 255));
            }
        }
    }
    return picture;
}

void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteJpeg(const std::string& path) {
    // Chroma at half resolution, as cameras store their photographs.
    WriteFile(path, corvalo::test::EncodeJpeg(MakePicture(3), {90, false, false, true}));
}

void WritePng(const std::string& path, int channels) {
    WriteFile(path, corvalo::test::EncodePng(MakePicture(channels)));
}

void WriteWebp(const std::string& path) {
    const corvalo::test::Rgba picture = MakePicture(3);
    uint8_t* encoded = nullptr;
    const size_t size =
        WebPEncodeRGB(picture.samples.data(), kWidth, kHeight, kWidth * 3, 90, &encoded);
    WriteFile(path, std::vector<uint8_t>(encoded, encoded + size));
    WebPFree(encoded);
}

// Bare decodes into a buffer that lives across rounds.
std::vector<uint8_t> reused(size_t(kWidth) * kHeight * 4);

void BareJpeg(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    jpeg_decompress_struct info{};
    jpeg_error_mgr errors{};
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_stdio_src(&info, file);
    jpeg_read_header(&info, TRUE);
    jpeg_start_decompress(&info);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = reused.data() + size_t(info.output_scanline) * info.output_width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    std::fclose(file);
}

void BarePng(const std::string& path) {
    FILE* file = std::fopen(path.c_str(), "rb");
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        std::fclose(file);
        return;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    std::vector<png_bytep> rows(png_get_image_height(png, info));
    for (size_t y = 0; y < rows.size(); ++y) {
        rows[y] = reused.data() + y * rowBytes;
    }
    png_read_image(png, rows.data());
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(file);
}

void BareWebp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    const std::vector<uint8_t> file(std::istreambuf_iterator<char>(in), {});
    WebPDecodeRGBInto(file.data(), file.size(), reused.data(), reused.size(), kWidth * 3);
}

double Milliseconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
        .count();
}

struct Figures {
    std::vector<double> times;
    double Best() const { return *std::min_element(times.begin(), times.end()); }
    double Median() const {
        auto t = times;
        std::sort(t.begin(), t.end());
        return t[t.size() / 2];
    }
};

void Report(const char* name, const char* variant, const Figures& f) {
    std::printf("%s/%s %.1f %.1f\n", name, variant, f.Best(), f.Median());
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    const std::filesystem::path folder =
        argc > 1 ? std::filesystem::path(argv[1]) : std::filesystem::temp_directory_path();
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::filesystem::create_directories(folder);
    struct Sample {
        const char* name;
        std::string path;
        std::function<void(const std::string&)> write;
        std::function<void(const std::string&)> bare;
    };
    std::vector<Sample> samples = {
        {"jpeg", (folder / "bench-6000x4000.jpg").string(), WriteJpeg, BareJpeg},
        {"png_rgb", (folder / "bench-6000x4000-rgb.png").string(),
         [](const std::string& p) { WritePng(p, 3); }, BarePng},
        {"png_rgba", (folder / "bench-6000x4000-rgba.png").string(),
         [](const std::string& p) { WritePng(p, 4); }, BarePng},
        {"webp", (folder / "bench-6000x4000.webp").string(), WriteWebp, BareWebp},
    };
    std::fill(reused.begin(), reused.end(), 0);  // touched once, outside the timing
    const auto run = [&](const char* variant) {
        for (const Sample& s : samples) {
            Figures bare, load;
            const std::wstring wide = corvalo::Utf8ToWide(s.path);
            for (int i = 0; i < rounds; ++i) {  // interleaved: both meet the same load
                bare.times.push_back(Milliseconds([&] { s.bare(s.path); }));
                load.times.push_back(Milliseconds([&] {
                    const corvalo::Bitmap b = corvalo::LoadPictureFile(wide);
                    if (b.Width() != kWidth) {
                        std::fprintf(stderr, "wrong size\n");
                    }
                }));
            }
            Report(s.name, (std::string("bare_") + variant).c_str(), bare);
            Report(s.name, (std::string("load_") + variant).c_str(), load);
        }
    };
    for (const Sample& s : samples) {
        if (!std::filesystem::exists(s.path)) {
            s.write(s.path);
        }
    }
    try {
        // As the program runs: every result is fresh memory from the system.
        run("fresh");
#ifdef __GLIBC__
        // With the allocator keeping freed memory for the next picture, as a long-running
        // program's heap does, only the decoding itself is compared.
        mallopt(M_MMAP_MAX, 0);
        mallopt(M_TRIM_THRESHOLD, 1 << 30);
        run("warm");
#endif
    } catch (const corvalo::Error& e) {
        std::fprintf(stderr, "%s\n", corvalo::WideToUtf8(e.Message()).c_str());
        return 1;
    }
    return 0;
}

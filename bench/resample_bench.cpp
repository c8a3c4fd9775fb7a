// Speed of the area-averaging resampler, in source megapixels per second.
//
// "into" cases resample into a destination that is reused from run to run (the resampler alone);
// "StretchHalftone" cases run the real helper, which creates its result each time as the
// desktop picture does (and as Pillow's resize and reduce do).

#include "picture/bitmap.h"
#include "picture/resample.h"

#include <benchmark/benchmark.h>

#include <string>

namespace corvalo {
namespace {

Bitmap Photo(int width, int height, int bpp) {
    // Smooth gradients with some noise: the speed does not depend on the content, but a real
    // picture is not all one colour.
    std::vector<uint8_t> pixels(DibStride(width, bpp) * size_t(height));
    uint32_t noise = 12345;
    const size_t stride = DibStride(width, bpp);
    for (int y = 0; y < height; ++y) {
        for (size_t k = 0; k < stride; ++k) {
            noise = noise * 1103515245u + 12345u;
            pixels[size_t(y) * stride + k] =
                uint8_t((k / 7 + size_t(y) / 3 + (noise >> 28)) & 0xFF);
        }
    }
    return Bitmap::FromPixels(width, height, bpp, std::move(pixels));
}

void SetRate(benchmark::State& state, const Bitmap& src) {
    state.counters["src_Mpx/s"] = benchmark::Counter(double(src.Width()) * src.Height() / 1e6,
                                                     benchmark::Counter::kIsIterationInvariantRate);
}

void ResampleInto(benchmark::State& state, int sw, int sh, int bpp, int dw, int dh,
                  ResamplePath path) {
    const Bitmap src = Photo(sw, sh, bpp);
    Bitmap dest = NewSizedBitmap(dw, dh, std::nullopt);
    for (auto _ : state) {
        AreaResample(src, dest, path);
        benchmark::DoNotOptimize(dest.Pixels().data());
        benchmark::ClobberMemory();
    }
    SetRate(state, src);
}

void Halftone(benchmark::State& state, int sw, int sh, int dw, int dh) {
    const Bitmap src = Photo(sw, sh, 24);
    Bitmap work;
    for (auto _ : state) {
        state.PauseTiming();
        work = src;
        state.ResumeTiming();
        StretchHalftone(dw, dh, work);
        benchmark::DoNotOptimize(work.Pixels().data());
    }
    SetRate(state, src);
}

std::string Name(const char* kind, int sw, int sh, int dw, int dh, const char* note = "") {
    return std::string(kind) + "/" + std::to_string(sw) + "x" + std::to_string(sh) + "->" +
           std::to_string(dw) + "x" + std::to_string(dh) + note;
}

void Register() {
    const auto into = [](int sw, int sh, int bpp, int dw, int dh, ResamplePath path,
                         const char* note) {
        benchmark::RegisterBenchmark(
            Name("into", sw, sh, dw, dh, note).c_str(),
            [=](benchmark::State& s) { ResampleInto(s, sw, sh, bpp, dw, dh, path); })
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    };
    const auto halftone = [](int sw, int sh, int dw, int dh) {
        // Each run first copies the source outside the timing, into fresh memory: a fixed,
        // modest number of runs keeps the wall time down.
        benchmark::RegisterBenchmark(Name("StretchHalftone", sw, sh, dw, dh).c_str(),
                                     [=](benchmark::State& s) { Halftone(s, sw, sh, dw, dh); })
            ->Unit(benchmark::kMillisecond)
            ->Iterations(sw * sh > 1000000 ? 20 : 200)
            ->UseRealTime();
    };
    into(4000, 3000, 24, 1000, 750, ResamplePath::Automatic, "");
    into(4000, 3000, 24, 1000, 750, ResamplePath::General, " general");
    into(4000, 3000, 32, 1000, 750, ResamplePath::Automatic, " 32bpp");
    into(500, 375, 24, 510, 383, ResamplePath::Automatic, "");
    into(1920, 1080, 24, 266, 150, ResamplePath::Automatic, "");
    into(256, 256, 24, 266, 266, ResamplePath::Automatic, "");
    halftone(4000, 3000, 1000, 750);
    halftone(500, 375, 510, 383);
}

}  // namespace
}  // namespace corvalo

int main(int argc, char** argv) {
    corvalo::Register();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// Converting decoded pictures for the window: 1280x720 YUV 4:2:0 to the front pane's 640x360
// BGRA with fast bilinear, through CPictureConverter, with FFmpeg's AVX2 horizontal scaler
// (gather loads; FFmpeg's own choice on this CPU) against its SSSE3 one (what MarkGathersSlow
// makes FFmpeg choose). "cold" cycles through 40 different pictures (55 MB, more than the
// caches hold), as the player converts pictures it has just decoded; "hot" converts the same
// picture again and again. Both converters are made before the runs, so they alternate in one
// process.
#include "BenchSupport.h"
#include "player/decoder/CPictureConverter.h"
#include "player/decoder/ScalerGathers.h"
#include "tools/tatcard/AvSupport.h"

#include <cstdio>
#include <vector>

extern "C" {
#include <libavutil/cpu.h>
#include <libavutil/frame.h>
}

namespace {

constexpr int kSourceWidth = 1280;
constexpr int kSourceHeight = 720;
constexpr int kWidth = 640;
constexpr int kHeight = 360;
constexpr int kPictures = 40;

// A picture with detail in every plane, different for each `seed`.
av::Frame MakePicture(int seed) {
    av::Frame frame(av_frame_alloc());
    frame->width = kSourceWidth;
    frame->height = kSourceHeight;
    frame->format = AV_PIX_FMT_YUV420P;
    if (av_frame_get_buffer(frame.get(), 64) < 0)
        return nullptr;
    for (int plane = 0; plane < 3; ++plane) {
        const int width = plane == 0 ? kSourceWidth : kSourceWidth / 2;
        const int height = plane == 0 ? kSourceHeight : kSourceHeight / 2;
        for (int y = 0; y < height; ++y) {
            uint8_t* row = frame->data[plane] + static_cast<ptrdiff_t>(y) * frame->linesize[plane];
            for (int x = 0; x < width; ++x)
                row[x] = static_cast<uint8_t>(x * 7 + y * 13 + plane * 50 + seed);
        }
    }
    return frame;
}

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    std::vector<av::Frame> pictures;
    for (int i = 0; i < kPictures; ++i) {
        pictures.push_back(MakePicture(i));
        if (!pictures.back()) {
            std::fprintf(stderr, "no memory for the pictures\n");
            return 1;
        }
    }
    std::vector<uint8_t> out(static_cast<size_t>(kWidth) * kHeight * 4);
    const auto convert = [&](CPictureConverter& converter, const AVFrame& frame) {
        return converter.Convert(frame, out.data(), kWidth * 4, kWidth, kHeight, 0, 1 << 16, 4);
    };

    // Each converter's scaling context is made under the flags of its kind, then kept.
    CPictureConverter gathers;
    CPictureConverter plain;
    av_force_cpu_flags(-1);
    const bool madeGathers = convert(gathers, *pictures[0]);
    MarkGathersSlow();
    const bool madePlain = convert(plain, *pictures[0]);
    if (!madeGathers || !madePlain) {
        std::fprintf(stderr, "the scaler refused the conversion\n");
        return 1;
    }
    std::printf("gathers marked slow for the second converter: %s\n",
                GathersMarkedSlow() ? "yes" : "no (not x86, or TATV_SCALER_GATHERS=1)");

    const auto cold = [&](CPictureConverter& converter) {
        return [&](benchmark::State& state) {
            size_t next = 0;
            for (auto _ : state) {
                convert(converter, *pictures[next]);
                next = (next + 1) % pictures.size();
            }
        };
    };
    const auto hot = [&](CPictureConverter& converter) {
        return [&](benchmark::State& state) {
            for (auto _ : state)
                convert(converter, *pictures[0]);
        };
    };
    ConfigureRepeated(benchmark::RegisterBenchmark("BM_ConvertCold/gathers", cold(gathers)));
    ConfigureRepeated(benchmark::RegisterBenchmark("BM_ConvertCold/plain", cold(plain)));
    ConfigureRepeated(benchmark::RegisterBenchmark("BM_ConvertHot/gathers", hot(gathers)));
    ConfigureRepeated(benchmark::RegisterBenchmark("BM_ConvertHot/plain", hot(plain)));

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatio("plain loads against gathers, pictures just decoded",
                        "BM_ConvertCold/gathers", "BM_ConvertCold/plain");
    reporter.PrintRatio("plain loads against gathers, the same picture", "BM_ConvertHot/gathers",
                        "BM_ConvertHot/plain");
    benchmark::Shutdown();
    return 0;
}

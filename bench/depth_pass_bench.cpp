// The depth pass of the depth-conversion program, once through the framework's
// per-pixel calls and once as a plain loop over the raw buffers. Both must
// produce the same pixels; the last line printed is their time ratio.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "image/image_store.h"

namespace {

constexpr int kWidth = 768;
constexpr int kHeight = 576;

// Image 0: a frame with every colour sector present; image 1: the depth map.
void set_up_images() {
    kaplo::image_store_reset_for_tests();
    kaplo::image_store_attach_buffer_for_tests(0, kWidth, kHeight, 32);
    kaplo::image_store_attach_buffer_for_tests(1, kWidth, kHeight, 32);
    KPL_SelectImage(0);
    KPL_TestPatternHsv();
    uint32_t* frame = kaplo::pixels32[0];
    for (int i = 0; i < kWidth * kHeight; i += 7)
        frame[i] ^= static_cast<uint32_t>(i * 2654435761u) & 0x3F3F3Fu;
}

void depth_pass_framework() {
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            KPL_SelectImage(0);
            const int32_t p = KPL_GetPixel(x, y);
            int32_t hue, saturation, value;
            KPL_RgbToHsv(p, &hue, &saturation, &value);
            KPL_SelectImage(1);
            KPL_SetPixel(x, y, value * 65793);
        }
}

void depth_pass_raw(const uint32_t* __restrict src, uint32_t* __restrict dst) {
    for (int i = 0; i < kWidth * kHeight; ++i) {
        const uint32_t p = src[i];
        uint32_t v = (p >> 16) & 255;
        const uint32_t g = (p >> 8) & 255, b = p & 255;
        if (g > v) v = g;
        if (b > v) v = b;
        dst[i] = v * 65793u;
    }
}

bool passes_agree() {
    set_up_images();
    depth_pass_framework();
    const size_t bytes = size_t{kWidth} * kHeight * 4;
    std::string framework(reinterpret_cast<const char*>(kaplo::pixels32[1]), bytes);
    std::memset(kaplo::pixels32[1], 0, bytes);
    depth_pass_raw(kaplo::pixels32[0], kaplo::pixels32[1]);
    return std::memcmp(framework.data(), kaplo::pixels32[1], bytes) == 0;
}

void BM_DepthPassFramework(benchmark::State& state) {
    set_up_images();
    for (auto _ : state) {
        depth_pass_framework();
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DepthPassFramework)->Unit(benchmark::kMillisecond);

void BM_DepthPassRaw(benchmark::State& state) {
    set_up_images();
    for (auto _ : state) {
        depth_pass_raw(kaplo::pixels32[0], kaplo::pixels32[1]);
        benchmark::ClobberMemory();
    }
}
BENCHMARK(BM_DepthPassRaw)->Unit(benchmark::kMillisecond);

// Console output as usual, keeping each run's time per iteration by name.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    std::map<std::string, double> seconds;
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (run.run_type == Run::RT_Iteration && run.iterations > 0)
                seconds[run.benchmark_name()] =
                    run.real_accumulated_time / static_cast<double>(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
};

}  // namespace

int main(int argc, char** argv) {
    if (!passes_agree()) {
        std::fprintf(stderr, "depth pass: framework and raw loops produced different pixels\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double framework = reporter.seconds["BM_DepthPassFramework"];
    const double raw = reporter.seconds["BM_DepthPassRaw"];
    if (framework <= 0 || raw <= 0) {
        std::printf("depth-pass framework/raw ratio: n/a\n");
        return 1;
    }
    std::fflush(stdout);
    std::printf("depth-pass framework/raw ratio: %.2f\n", framework / raw);
    return 0;
}

// The whole frame work of kaplo-depth at 768 x 576: the BGR frame into
// image 0, the depth pass into image 1 and the converted view into image 2,
// through the player's code (the framework's per-pixel calls), through the
// export's row loops over the images' buffers, and as plain loops over raw
// arrays. All three must produce the same pixels.
//
// The ratio line is printed when the process ends, after the other
// benchmarks' summary lines, so `make bench` ends with it.

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "app/depth_frame.h"
#include "image/image_store.h"

namespace {

constexpr int kWidth = 768;
constexpr int kHeight = 576;
constexpr size_t kStride = kWidth * 3 + 16;  // padded rows, as decoders deliver them

// A frame with smooth regions, sharp depth steps and noise: every branch of
// the converted view (covering, gaps, equal shifts) is taken many times.
std::vector<uint8_t> make_frame() {
    std::vector<uint8_t> f(kStride * kHeight);
    uint32_t seed = 12345;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) {
            seed = seed * 1664525u + 1013904223u;
            const bool near = ((x / 48) + (y / 40)) % 3 == 0;
            const int base = near ? 200 : 60;
            uint8_t* p = &f[static_cast<size_t>(y) * kStride + static_cast<size_t>(x) * 3];
            p[0] = static_cast<uint8_t>(base + static_cast<int>(seed >> 27));
            p[1] = static_cast<uint8_t>(base / 2 + static_cast<int>((seed >> 20) & 63));
            p[2] = static_cast<uint8_t>((x * 255) / kWidth);
        }
    return f;
}

const std::vector<uint8_t>& frame_bytes() {
    static const std::vector<uint8_t> f = make_frame();
    return f;
}

void set_up_images() {
    kaplo::image_store_reset_for_tests();
    kaplo::image_store_attach_buffer_for_tests(depth::kSourceImage, kWidth, kHeight, 32);
    kaplo::image_store_attach_buffer_for_tests(depth::kDepthImage, kWidth, kHeight, 32);
    kaplo::image_store_attach_buffer_for_tests(depth::kConvImage, 2 * kWidth, kHeight, 32);
}

bool frame_framework() {
    const depth::BgrFrame f{frame_bytes().data(), kStride, kWidth, kHeight};
    return depth::convert_frame(f, depth::depth_scale_for(kWidth), nullptr);
}

bool frame_rows() {
    const depth::BgrFrame f{frame_bytes().data(), kStride, kWidth, kHeight};
    return depth::convert_frame_by_rows(f, depth::depth_scale_for(kWidth));
}

// The same rules over raw arrays: one row at a time, shifts from the depth
// of each pixel, gaps before a farther neighbour filled with its colour.
struct RawImages {
    std::vector<uint32_t> source = std::vector<uint32_t>(size_t{kWidth} * kHeight);
    std::vector<uint32_t> depth = std::vector<uint32_t>(size_t{kWidth} * kHeight);
    std::vector<uint32_t> conv = std::vector<uint32_t>(size_t{2 * kWidth} * kHeight);
};

void frame_raw(RawImages& im) {
    const uint8_t* bytes = frame_bytes().data();
    const int scale = depth::depth_scale_for(kWidth);
    uint8_t value[kWidth + 1];
    for (int y = 0; y < kHeight; ++y) {
        const uint8_t* in = bytes + static_cast<size_t>(y) * kStride;
        uint32_t* src = &im.source[static_cast<size_t>(y) * kWidth];
        uint32_t* dep = &im.depth[static_cast<size_t>(y) * kWidth];
        uint32_t* out = &im.conv[static_cast<size_t>(y) * 2 * kWidth];
        for (int x = 0; x < kWidth; ++x, in += 3) {
            src[x] = in[0] | (uint32_t{in[1]} << 8) | (uint32_t{in[2]} << 16);
            uint8_t v = in[0] > in[1] ? in[0] : in[1];
            v = v > in[2] ? v : in[2];
            value[x] = v;
            dep[x] = v * 0x010101u;
        }
        value[kWidth] = 0;
        std::memset(out, 0, kWidth * sizeof(uint32_t));
        std::memcpy(out + kWidth, src, kWidth * sizeof(uint32_t));
        for (int x = 0; x < kWidth; ++x) {
            const int s1 = scale * value[x] >> 8;
            if (x - s1 >= 0) out[x - s1] = src[x];
            if (value[x + 1] < value[x]) {
                const int s2 = scale * value[x + 1] >> 8;
                const uint32_t fill = x + 1 < kWidth ? src[x + 1] : 0;
                for (int c = x - s1 + 1; c <= x - s2; ++c)
                    if (c >= 0) out[c] = fill;
            }
        }
    }
}

bool frames_agree() {
    RawImages raw;
    frame_raw(raw);
    const auto same = [](const uint32_t* a, const std::vector<uint32_t>& b) {
        return std::memcmp(a, b.data(), b.size() * sizeof(uint32_t)) == 0;
    };
    for (bool (*frame)() : {frame_framework, frame_rows}) {
        set_up_images();
        if (!frame() || !same(kaplo::pixels32[depth::kSourceImage], raw.source) ||
            !same(kaplo::pixels32[depth::kDepthImage], raw.depth) ||
            !same(kaplo::pixels32[depth::kConvImage], raw.conv))
            return false;
    }
    return true;
}

// Seconds per frame of each benchmark's final (longest) run.
double g_framework_seconds = 0;
double g_rows_seconds = 0;
double g_raw_seconds = 0;

template <typename Body>
void timed(benchmark::State& state, double* per_frame, Body body) {
    const auto start = std::chrono::steady_clock::now();
    for (auto _ : state) {
        body();
        benchmark::ClobberMemory();
    }
    const std::chrono::duration<double> t = std::chrono::steady_clock::now() - start;
    if (state.iterations() > 0) *per_frame = t.count() / static_cast<double>(state.iterations());
}

void BM_DepthFrameFramework(benchmark::State& state) {
    set_up_images();
    timed(state, &g_framework_seconds, [] { frame_framework(); });
}
BENCHMARK(BM_DepthFrameFramework)->Unit(benchmark::kMillisecond);

void BM_DepthFrameRows(benchmark::State& state) {
    set_up_images();
    timed(state, &g_rows_seconds, [] { frame_rows(); });
}
BENCHMARK(BM_DepthFrameRows)->Unit(benchmark::kMillisecond);

void BM_DepthFrameRaw(benchmark::State& state) {
    RawImages raw;
    timed(state, &g_raw_seconds, [&raw] { frame_raw(raw); });
}
BENCHMARK(BM_DepthFrameRaw)->Unit(benchmark::kMillisecond);

void print_ratio() {
    if (g_framework_seconds <= 0 || g_raw_seconds <= 0) return;  // not run (filtered out)
    std::fflush(stdout);
    std::printf("depth-frame framework: %.2f ms per %dx%d frame\n", g_framework_seconds * 1e3,
                kWidth, kHeight);
    if (g_rows_seconds > 0)
        std::printf("depth-frame rows (the export's): %.2f ms per frame\n", g_rows_seconds * 1e3);
    std::printf("depth-frame framework/raw ratio: %.2f\n", g_framework_seconds / g_raw_seconds);
    std::fflush(stdout);
}

// Checked before main() runs any benchmark; a disagreement fails the run.
const bool g_checked = [] {
    if (!frames_agree()) {
        std::fprintf(stderr, "depth frame: framework, rows and raw loops made different pixels\n");
        std::exit(1);
    }
    std::atexit(print_ratio);
    return true;
}();

}  // namespace

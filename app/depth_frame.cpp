// The pixel work of one frame, written with the framework's per-pixel calls
// in the order the program's rules give them: the selections, reads, HSV
// conversions and writes are the documented cost of a frame, and the
// benchmark measures exactly this code against plain array loops.

#include "depth_frame.h"

#include <kaplo.h>

#include <algorithm>
#include <vector>

void CopyBgr24ToPixels32(const uint8_t* bytes, uint32_t* words, int32_t count) {
    for (int32_t i = 0; i < count; ++i, bytes += 3)
        words[i] = bytes[0] + 256u * bytes[1] + 65536u * bytes[2];
}

namespace depth {

namespace {

bool slot_is(int number, int32_t width, int32_t height) {
    int w = 0, h = 0, depth = 0;
    return KPL_GetImageInfo(number, &w, &h, &depth) == 0 && depth == 32 && w == width &&
           h == height;
}

int32_t value_of(int32_t pixel) {
    int32_t hue, saturation, value;
    KPL_RgbToHsv(pixel, &hue, &saturation, &value);
    return value;
}

// The `gap` columns right of `placed` in row y of the current image take
// `fill`. Kept out of line: an inner loop in the converted view's column loop
// stops GCC from keeping the selection in registers along that loop, even on
// its common path where no gap is filled.
[[gnu::noinline]] void fill_gap(int32_t placed, int32_t gap, int32_t y, int32_t fill) {
    for (int32_t k = 1; k <= gap; ++k) KPL_SetPixel(placed + k, y, fill);
}

}  // namespace

bool frame_slots_match(int32_t width, int32_t height) {
    return width >= 1 && height >= 1 && slot_is(kSourceImage, width, height) &&
           slot_is(kDepthImage, width, height) && slot_is(kConvImage, 2 * width, height);
}

void copy_frame_to_source(const BgrFrame& frame) {
    // Row by row with the frame's own stride: decoders pad rows (to 4 bytes
    // or more) whenever 3 x width is not already aligned.
    auto* out = static_cast<uint32_t*>(KPL_GetImageBits(kSourceImage));
    for (int32_t y = 0; y < frame.height; ++y)
        CopyBgr24ToPixels32(frame.bytes + static_cast<size_t>(y) * frame.stride,
                            out + static_cast<size_t>(y) * static_cast<size_t>(frame.width),
                            frame.width);
}

void depth_pass(int32_t width, int32_t height) {
    for (int32_t y = 0; y < height; ++y)
        for (int32_t x = 0; x < width; ++x) {
            KPL_SelectImage(kSourceImage);
            const int32_t p = KPL_GetPixel(x, y);
            const int32_t value = value_of(p);
            KPL_SelectImage(kDepthImage);
            KPL_SetPixel(x, y, value * 65793);  // value x 0x010101: its grey
        }
}

void depth_from_map(const DepthMap& depth, int32_t width, int32_t height) {
    auto* out = static_cast<uint32_t*>(KPL_GetImageBits(kDepthImage));
    for (int32_t y = 0; y < height; ++y) {
        const uint8_t* in = depth.bytes + static_cast<size_t>(y) * depth.stride;
        uint32_t* row = out + static_cast<size_t>(y) * static_cast<size_t>(width);
        for (int32_t x = 0; x < width; ++x) row[x] = in[x] * 0x010101u;  // its grey
    }
}

void build_converted_view(int32_t depth_scale) {
    int w0 = 0, h0 = 0, w1 = 0, h1 = 0;
    KPL_GetImageInfo(kSourceImage, &w0, &h0, nullptr);
    KPL_GetImageInfo(kDepthImage, &w1, &h1, nullptr);
    if (depth_scale < 0) depth_scale = 0;  // shifts go left only

    KPL_SelectImage(kConvImage);
    KPL_FillBox(0, 0, w0, h0, 0, 0);
    KPL_PutImageBlock(KPL_GetImageBits(kSourceImage), w0, w0, h0);  // right half: the frame

    for (int32_t y = 0; y < h1; ++y) {
        for (int32_t x = 0; x < w1;) {
            KPL_SelectImage(kDepthImage);
            const int32_t d1 = value_of(KPL_GetPixel(x, y));
            const int32_t s1 = (depth_scale * d1) >> 8;  // both >= 0: the same as / 256
            KPL_SelectImage(kSourceImage);
            const int32_t c = KPL_GetPixel(x, y);
            KPL_SelectImage(kConvImage);
            // Left to right, so a nearer pixel (larger shift) covers the
            // farther ones already placed; columns below 0 are dropped.
            KPL_SetPixel(x - s1, y, c);
            ++x;
            KPL_SelectImage(kDepthImage);
            const int32_t d2 = value_of(KPL_GetPixel(x, y));  // 0 past the right edge
            if (d2 < d1) {
                // The next pixel is farther: the columns between this pixel's
                // place and the next one's take the farther colour (black past
                // the right edge).
                const int32_t s2 = (depth_scale * d2) >> 8;
                const int32_t gap = s1 - s2;
                KPL_SelectImage(kSourceImage);
                const int32_t fill = KPL_GetPixel(x, y);
                KPL_SelectImage(kConvImage);
                fill_gap(x - 1 - s1, gap, y, fill);
            }
        }
    }
}

namespace {

// Splitting packed 3-byte pixels into vector lanes takes byte shuffles, which
// the x86-64 baseline (SSE2) lacks: on x86 the row loop is also compiled for
// AVX2 and the processor's best version is chosen when the program starts.
// The choice is made by a resolver that runs before ThreadSanitizer's
// runtime is set up, which crashes it: its builds keep the baseline.
#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_THREAD__)
#define KAPLO_ROW_LOOP [[gnu::target_clones("avx2", "default")]]
#else
#define KAPLO_ROW_LOOP
#endif

// One row of images 0 and 1 and the right half of image 2, and each pixel's
// shift, with each pixel's depth from `depth_of(x, b, g, r)`. Branch-free,
// so GCC vectorises it.
template <class DepthOf>
[[gnu::always_inline]] inline void row_with_depth(const uint8_t* __restrict bgr,
                                                  uint32_t* __restrict source,
                                                  uint32_t* __restrict grey,
                                                  uint32_t* __restrict right,
                                                  int32_t* __restrict shift, int32_t width,
                                                  int32_t depth_scale, DepthOf depth_of) {
    const auto n = static_cast<size_t>(width);
    for (size_t x = 0; x < n; ++x) {
        const uint32_t b = bgr[3 * x], g = bgr[3 * x + 1], r = bgr[3 * x + 2];
        const uint32_t word = b | g << 8 | r << 16;
        const uint32_t value = depth_of(x, b, g, r);
        source[x] = word;
        right[x] = word;
        grey[x] = value * 0x010101u;
        shift[x] = (depth_scale * static_cast<int32_t>(value)) >> 8;
    }
}

// The row with the brightness as depth (KPL_RgbToHsv's value: the largest of
// red, green and blue), or with the depth row `given` when there is one.
KAPLO_ROW_LOOP void source_and_depth_row(const uint8_t* __restrict bgr,
                                         const uint8_t* __restrict given,
                                         uint32_t* __restrict source, uint32_t* __restrict grey,
                                         uint32_t* __restrict right, int32_t* __restrict shift,
                                         int32_t width, int32_t depth_scale) {
    if (given)
        row_with_depth(
            bgr, source, grey, right, shift, width, depth_scale,
            [given](size_t x, uint32_t, uint32_t, uint32_t) { return uint32_t{given[x]}; });
    else
        row_with_depth(
            bgr, source, grey, right, shift, width, depth_scale,
            [](size_t, uint32_t b, uint32_t g, uint32_t r) { return std::max(std::max(b, g), r); });
}

// The converted view's row loop writes whole blocks of this many words.
constexpr int32_t kBlock = 8;

// The left half of one row of image 2 from the row's pixels and shifts
// (shift[-1] and shift[width] are 0). Left to right, pixel x lands on column
// x - shift[x], and when its left neighbour landed left of the column just
// before that, the columns between take pixel x's colour too (a farther
// pixel fills the gap a nearer one left); the last writer of a column wins,
// so a nearer pixel covers the farther ones before it. After the last pixel,
// the columns up to the half's right edge are black (the depth past the edge
// is 0). So pixel x writes columns x - max(shift[x], shift[x-1]) to
// x - shift[x], and a black pixel past the edge writes width - shift[width-1]
// to width - 1.
//
// Here the same writes run right to left, where the first writer of a column
// wins instead. The columns already final then always form one run, from
// `done` to the right edge (a pixel's columns begin at most one column right
// of its left neighbour's last one), so pixel x only extends that run
// leftwards, from its first column to done - 1. Columns left of `done` are
// not final yet and are all written again later: the run ends at column 0 or
// below. So the usual short extension is one whole block of kBlock words
// ending at done - 1, with no test of its length. `out` has room for kBlock
// + the largest shift words before column 0; those are dropped.
KAPLO_ROW_LOOP void shifted_row(const uint32_t* __restrict source, const int32_t* __restrict shift,
                                uint32_t* __restrict out, int32_t width) {
    int32_t done = width;
    const auto extend = [&](int32_t from, uint32_t colour) {
        if (done - from <= kBlock) {
            uint32_t* const block = out + done - kBlock;
            for (int32_t k = 0; k < kBlock; ++k) block[k] = colour;
        } else {
            for (int32_t c = from; c < done; ++c) out[c] = colour;
        }
        done = std::min(done, from);
    };
    extend(width - shift[width - 1], 0);
    for (int32_t x = width - 1; x >= 0; --x)
        extend(x - std::max(shift[x], shift[x - 1]), source[x]);
}

}  // namespace

bool convert_frame_by_rows(const BgrFrame& frame, int32_t depth_scale, const DepthMap* depth) {
    if (!frame.bytes || frame.stride < static_cast<size_t>(frame.width) * 3 ||
        !frame_slots_match(frame.width, frame.height))
        return false;
    if (depth_scale < 0) depth_scale = 0;
    const auto width = static_cast<size_t>(frame.width);
    auto* source = static_cast<uint32_t*>(KPL_GetImageBits(kSourceImage));
    auto* grey = static_cast<uint32_t*>(KPL_GetImageBits(kDepthImage));
    auto* conv = static_cast<uint32_t*>(KPL_GetImageBits(kConvImage));
    std::vector<int32_t> shifts(width + 2, 0);
    int32_t* const shift = shifts.data() + 1;  // shift[-1] and shift[width] stay 0
    const size_t before = static_cast<size_t>((depth_scale * 255) >> 8) + kBlock;
    std::vector<uint32_t> shifted(before + width);
    for (int32_t y = 0; y < frame.height; ++y) {
        const size_t row = static_cast<size_t>(y) * width;
        uint32_t* const conv_row = conv + 2 * row;
        source_and_depth_row(
            frame.bytes + static_cast<size_t>(y) * frame.stride,
            depth ? depth->bytes + static_cast<size_t>(y) * depth->stride : nullptr, source + row,
            grey + row, conv_row + width, shift, frame.width, depth_scale);
        shifted_row(source + row, shift, shifted.data() + before, frame.width);
        std::copy_n(shifted.data() + before, width, conv_row);
    }
    return true;
}

bool convert_frame(const BgrFrame& frame, int32_t depth_scale, RefreshImage refresh,
                   const DepthMap* depth) {
    if (!frame.bytes || frame.stride < static_cast<size_t>(frame.width) * 3 ||
        !frame_slots_match(frame.width, frame.height))
        return false;
    copy_frame_to_source(frame);
    if (refresh) refresh(kSourceImage);
    if (depth)
        depth_from_map(*depth, frame.width, frame.height);
    else
        depth_pass(frame.width, frame.height);
    if (refresh) refresh(kDepthImage);
    build_converted_view(depth_scale);
    if (refresh) refresh(kConvImage);
    return true;
}

}  // namespace depth

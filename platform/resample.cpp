#include "platform/resample.h"

#include <algorithm>
#include <cmath>

namespace kaplo::platform {

std::vector<std::vector<Tap>> smooth_taps(int32_t src, int32_t dst) {
    std::vector<std::vector<Tap>> taps(static_cast<size_t>(std::max(0, dst)));
    if (src <= 0 || dst <= 0) return taps;
    const double scale = static_cast<double>(src) / dst;
    for (int32_t i = 0; i < dst; ++i) {
        std::vector<Tap>& t = taps[static_cast<size_t>(i)];
        if (dst <= src) {
            // Shrinking: every source sample under the output's span, by overlap.
            const double start = i * scale, end = (i + 1) * scale;
            const int32_t first = static_cast<int32_t>(std::floor(start));
            const int32_t last = std::min(src - 1, static_cast<int32_t>(std::ceil(end)) - 1);
            for (int32_t j = first; j <= last; ++j) {
                const double overlap =
                    std::min(end, j + 1.0) - std::max(start, static_cast<double>(j));
                t.push_back(Tap{j, static_cast<int32_t>(std::lround(overlap / scale * 256))});
            }
        } else {
            // Growing: the two nearest samples around the output's centre.
            const double centre = (i + 0.5) * scale - 0.5;
            const int32_t j0 = static_cast<int32_t>(std::floor(centre));
            const int32_t w1 = static_cast<int32_t>(std::lround((centre - j0) * 256));
            t.push_back(Tap{std::clamp(j0, 0, src - 1), 256 - w1});
            if (w1 > 0) t.push_back(Tap{std::clamp(j0 + 1, 0, src - 1), w1});
        }
        // Rounding must not brighten or darken: the weights sum to 256 exactly.
        int32_t sum = 0;
        for (const Tap& tap : t) sum += tap.weight;
        t.back().weight += 256 - sum;
    }
    return taps;
}

void smooth_scale(const uint32_t* src, int32_t src_w, int32_t src_h, int32_t stride, uint32_t* dst,
                  int32_t dst_w, int32_t dst_h) {
    const auto xs = smooth_taps(src_w, dst_w);
    const auto ys = smooth_taps(src_h, dst_h);
    for (int32_t y = 0; y < dst_h; ++y) {
        for (int32_t x = 0; x < dst_w; ++x) {
            uint32_t r = 0, g = 0, b = 0;  // at most 256 * 256 * 255 each
            for (const Tap& ty : ys[static_cast<size_t>(y)]) {
                const uint32_t* row = src + static_cast<int64_t>(ty.index) * stride;
                for (const Tap& tx : xs[static_cast<size_t>(x)]) {
                    const uint32_t p = row[tx.index];
                    const uint32_t w = static_cast<uint32_t>(ty.weight * tx.weight);
                    r += ((p >> 16) & 255) * w;
                    g += ((p >> 8) & 255) * w;
                    b += (p & 255) * w;
                }
            }
            dst[static_cast<int64_t>(y) * dst_w + x] =
                (((r + 32768) >> 16) << 16) | (((g + 32768) >> 16) << 8) | ((b + 32768) >> 16);
        }
    }
}

}  // namespace kaplo::platform

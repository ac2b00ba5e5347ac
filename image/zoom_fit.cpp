#include "image/zoom_fit.h"

#include <algorithm>
#include <cmath>

namespace kaplo {

bool image_size_limits(int mode, const ScreenMetrics& m, SizeLimits* out) {
    if (mode == 1) {
        // The horizontal frame thickness serves for the height too.
        out->min_width = m.min_window_width - 2 * m.frame_width;
        out->min_height = m.min_window_height - 2 * m.frame_width - m.caption_height;
        out->max_width = m.screen_width;
        out->max_height = m.screen_height - m.caption_height;
        return true;
    }
    if (mode == 0) {
        out->min_width = 1;
        out->min_height = 1;
        out->max_width = 2 * m.screen_width;
        out->max_height = 2 * m.screen_height;
        return true;
    }
    return false;
}

bool fit_zoom(int32_t width, int32_t height, int32_t zoom, const SizeLimits& limits, ZoomFit* out) {
    const int64_t w = std::max<int32_t>(width, 1);
    const int64_t h = std::max<int32_t>(height, 1);
    // 64-bit products: a large image at a large zoom cannot overflow.
    double dw = static_cast<double>(w * zoom) / 100.0;
    double dh = static_cast<double>(h * zoom) / 100.0;
    dw = std::max(1.0, std::min(static_cast<double>(limits.max_width), dw));
    dh = std::max(1.0, std::min(static_cast<double>(limits.max_height), dh));

    int64_t z = static_cast<int64_t>(std::min(100.0 * dw / w, 100.0 * dh / h));
    int64_t disp_w = z * w / 100;
    int64_t disp_h = z * h / 100;
    if (disp_w < limits.min_width || disp_h < limits.min_height) {
        const double zw = std::ceil(100.0 * limits.min_width / static_cast<double>(w));
        const double zh = std::ceil(100.0 * limits.min_height / static_cast<double>(h));
        z = static_cast<int64_t>(std::max(zw, zh));
        disp_w = z * w / 100;
        disp_h = z * h / 100;
        if (disp_w > limits.max_width || disp_h > limits.max_height) return false;
    }
    out->zoom = static_cast<int32_t>(z);
    out->display_width = static_cast<int32_t>(disp_w);
    out->display_height = static_cast<int32_t>(disp_h);
    return true;
}

}  // namespace kaplo

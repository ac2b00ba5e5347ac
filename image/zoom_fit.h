#pragma once
// Zoom fitting of image windows: the pure computation, given the screen
// metrics, so any screen can be tried without a window system.

#include <cstdint>

namespace kaplo {

struct ScreenMetrics {
    int32_t screen_width, screen_height;
    int32_t caption_height;
    int32_t frame_width;
    int32_t min_window_width, min_window_height;
};

struct SizeLimits {
    int32_t min_width, min_height, max_width, max_height;
};

// Mode 1: client sizes between the system minimum and the screen; mode 0:
// between 1 pixel and twice the screen. False for any other mode.
bool image_size_limits(int mode, const ScreenMetrics& m, SizeLimits* out);

struct ZoomFit {
    int32_t zoom;
    int32_t display_width, display_height;
};

// Shrinks the requested zoom until the client area fits under the maxima, then,
// if that leaves it under the minima, grows it until it reaches them. False
// when no zoom satisfies both. width and height must be at least 1.
bool fit_zoom(int32_t width, int32_t height, int32_t zoom, const SizeLimits& limits, ZoomFit* out);

}  // namespace kaplo

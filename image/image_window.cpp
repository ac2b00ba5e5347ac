// Image window store, the part that talks to the window system: creation
// with zoom fitting, destruction, re-creation at a new size, refresh,
// captions, stretch mode, and the provisional window procedure.
//
// Sections:
//   1. Helpers (metrics, captions, refresh)
//   2. Creation and destruction
//   3. Refresh, captions, stretch mode
//   4. Window procedure
//
// Threads: worker thread only (image windows belong to it).

#include <cstdio>
#include <cstring>
#include <new>

#include "image/image_store.h"
#include "image/image_window_proc.h"
#include "image/zoom_fit.h"
#include "platform/platform.h"
#include "shell/shell.h"

namespace kaplo {

namespace pf = platform;

namespace {

// Image windows have a caption and a close box; they cannot be resized by
// dragging (re-creation changes their size).
constexpr uint32_t kImageWindowStyle = pf::kStyleCaption | pf::kStyleSysMenu | pf::kStyleFixedSize;

}  // namespace

ScreenMetrics screen_metrics() {
    const pf::Metrics m = pf::metrics();
    return ScreenMetrics{m.screen_width, m.screen_height,    m.caption_height,
                         m.frame_width,  m.min_window_width, m.min_window_height};
}

std::u16string caption_of(const ImageWindowRecord& rec) {
    char text[256];
    format_image_caption(text, sizeof text, rec.title, rec.zoomPercent, rec.bitDepth,
                         rec.stretchMode == kStretchSmooth);
    return pf::ansi_to_wide(text, 256);
}

namespace {

void repaint_after_palette_change(int number) {
    if (image_live(number) && image_table[number].window)
        pf::invalidate(image_table[number].window);
}

// The slot whose live window is `window`, or -1. Each window carries its
// slot number + 1 (0 until the slot has its window).
int slot_of_window(pf::WindowId window) {
    const intptr_t slot = pf::window_data(window) - 1;
    if (slot < 0 || slot >= kImageSlots) return -1;
    const ImageWindowRecord& rec = image_table[slot];
    return rec.used && rec.window == window ? static_cast<int>(slot) : -1;
}

// ---------------------------------------------------------------------------
// 2. Creation and destruction

int create_image_window(int number, const char* title, int x, int y, int width, int height,
                        int zoom, int bit_depth, int screen_limited) {
    if (static_cast<uint32_t>(number) >= static_cast<uint32_t>(kImageSlots)) return 1;
    ImageWindowRecord& rec = image_table[number];
    if (rec.used == 1) return 1;
    if (bit_depth != 8 && bit_depth != 32) return 3;

    rec.bitDepth = bit_depth;
    rec.screenLimited = screen_limited;
    rec.width = width < 1 ? 1 : width;
    rec.height = height < 1 ? 1 : height;

    SizeLimits limits{};
    image_size_limits(screen_limited, screen_metrics(), &limits);
    ZoomFit fit{};
    if (!fit_zoom(rec.width, rec.height, zoom, limits, &fit)) return 2;
    rec.displayWidth = fit.display_width;
    rec.displayHeight = fit.display_height;
    rec.zoomPercent = fit.zoom;

    // The buffer comes first: when it cannot be made, no window, title or
    // screen copy has been made either, and the slot stays free.
    if (!attach_image_buffer(number, rec.width, rec.height, bit_depth)) return 3;
    const size_t title_len = title ? std::strlen(title) : 0;
    rec.title = new (std::nothrow) char[title_len + 1];
    if (!rec.title) {
        release_image_slot(number);
        return 3;
    }
    if (title_len) std::memcpy(rec.title, title, title_len);
    rec.title[title_len] = '\0';
    rec.stretchMode = kStretchNearest;
    image_palette_changed_hook = repaint_after_palette_change;

    const pf::Rect outer = pf::adjust_window_rect(
        pf::Rect{0, 0, rec.displayWidth, rec.displayHeight}, kImageWindowStyle, false);
    pf::CreateParams params;
    params.kind = "kpl_iw";
    params.title = caption_of(rec);
    params.x = x == -1 ? pf::kDefaultPosition : x;
    params.y = y == -1 ? pf::kDefaultPosition : y;
    params.width = outer.width();
    params.height = outer.height();
    params.style = kImageWindowStyle;
    params.owner = main_window();
    rec.window = pf::create_window(params);
    if (rec.window) {
        pf::set_window_data(rec.window, number + 1);
        pf::bring_to_front(rec.window);
        pf::accept_drops(rec.window, true);
    }
    KPL_SelectImage(number);
    return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// 3. Refresh, captions, stretch mode

void set_image_stretch_mode(int number, int32_t mode) {
    if (!image_live(number) || (mode != kStretchNearest && mode != kStretchSmooth)) return;
    image_table[number].stretchMode = mode;
    KPL_RefreshImageTitle(number);
    if (image_table[number].window) pf::invalidate(image_table[number].window);
}

// ---------------------------------------------------------------------------
// 4. Window procedure

intptr_t image_window_proc(platform::WindowId window, platform::Message& msg) {
    switch (msg.type) {
        case pf::MsgType::Paint: {
            const int n = slot_of_window(window);
            if (n >= 0) KPL_UpdateImage(n);
            return 0;
        }
        case pf::MsgType::Destroy: {
            // A window closed by the user frees its slot like KPL_DestroyImage;
            // a slot already freed by KPL_DestroyImage no longer names it.
            const int n = slot_of_window(window);
            if (n >= 0) release_image_slot(n);
            return 0;
        }
        default:
            return pf::default_proc(window, msg);
    }
}

}  // namespace kaplo

using kaplo::image_live;
using kaplo::image_table;
using kaplo::ImageWindowRecord;

int KPL_CreateImageWindow(int number, const char* title, int x, int y, int width, int height,
                          int zoom, int bit_depth) {
    return kaplo::create_image_window(number, title, x, y, width, height, zoom, bit_depth, 1);
}

int KPL_CreateImage(int number, const char* title, int x, int y, int width, int height, int zoom) {
    return KPL_CreateImageWindow(number, title, x, y, width, height, zoom, 32);
}

int KPL_CreateImage8(int number, const char* title, int x, int y, int width, int height, int zoom) {
    return KPL_CreateImageWindow(number, title, x, y, width, height, zoom, 8);
}

int KPL_CreateImageFL(int number, const char* title, int x, int y, int width, int height,
                      int zoom) {
    return kaplo::create_image_window(number, title, x, y, width, height, zoom, 32, 0);
}

int KPL_CreateImage8FL(int number, const char* title, int x, int y, int width, int height,
                       int zoom) {
    return kaplo::create_image_window(number, title, x, y, width, height, zoom, 8, 0);
}

int KPL_DestroyImage(int number) {
    if (!image_live(number)) return 1;
    const kaplo::platform::WindowId window = image_table[number].window;
    // The slot is freed before the window goes, so the Destroy message the
    // window system sends finds no slot naming it.
    kaplo::release_image_slot(number);
    if (window) kaplo::platform::destroy_window(window);
    return 0;
}

int KPL_ResizeImage(int number, int width, int height) {
    if (!image_live(number)) return 1;
    const ImageWindowRecord& rec = image_table[number];
    char title[256];
    std::snprintf(title, sizeof title, "%s", rec.title ? rec.title : "");
    const int32_t depth = rec.bitDepth;
    const int32_t zoom = rec.zoomPercent;
    const int32_t screen_limited = rec.screenLimited;
    const int32_t stretch = rec.stretchMode;
    kaplo::platform::Rect outer{-1, -1, -1, -1};
    if (rec.window) kaplo::platform::window_rect(rec.window, &outer);
    uint32_t colours[256];
    std::memcpy(colours, rec.colours, sizeof colours);

    KPL_DestroyImage(number);
    const int code = kaplo::create_image_window(number, title, outer.left, outer.top, width, height,
                                                zoom, depth, screen_limited);
    if (code != 0) return code;
    if (depth == 8) std::memcpy(image_table[number].colours, colours, sizeof colours);
    kaplo::set_image_stretch_mode(number, stretch);
    return 0;
}

int KPL_UpdateImage(int number) {
    if (!image_live(number)) return 1;
    ImageWindowRecord& rec = image_table[number];
    if (!rec.window) return 0;
    const uint32_t* pixels = kaplo::pixels32[number];
    if (rec.bitDepth == 8) {
        // The screen takes 32-bit words: look the indexes up in the colour table.
        const kaplo::detail::PixelView& v = kaplo::detail::image_views[number];
        const size_t stride = kaplo::detail::row_bytes(v);
        for (int32_t y = 0; y < rec.height; ++y) {
            const uint8_t* row = rec.buffer + static_cast<size_t>(y) * stride;
            uint32_t* out = rec.screenBuffer + static_cast<size_t>(y) * rec.width;
            for (int32_t x = 0; x < rec.width; ++x) out[x] = rec.colours[row[x]] & 0x00FFFFFFu;
        }
        pixels = rec.screenBuffer;
    }
    const auto mode = rec.stretchMode == kaplo::kStretchSmooth ? kaplo::platform::Stretch::Smooth
                                                               : kaplo::platform::Stretch::Nearest;
    if (rec.zoomPercent == 100)
        kaplo::platform::present(rec.window, pixels, rec.width, rec.height, rec.width, 0, 0,
                                 rec.width, rec.height, mode);
    else
        kaplo::platform::present(rec.window, pixels, rec.width, rec.height, rec.width, 0, 0,
                                 rec.displayWidth, rec.displayHeight, mode);
    return 0;
}

void KPL_RefreshImageTitle(int number) {
    if (!image_live(number) || !image_table[number].window) return;
    kaplo::platform::set_title(image_table[number].window, kaplo::caption_of(image_table[number]));
}

void KPL_GetImageSizeLimits(int mode, int* min_width, int* min_height, int* max_width,
                            int* max_height) {
    kaplo::SizeLimits l{};
    if (!kaplo::image_size_limits(mode, kaplo::screen_metrics(), &l)) return;
    if (min_width) *min_width = l.min_width;
    if (min_height) *min_height = l.min_height;
    if (max_width) *max_width = l.max_width;
    if (max_height) *max_height = l.max_height;
}

// Image window store, the part that talks to the window system: creation
// with zoom fitting, destruction, re-creation at a new size, refresh,
// captions, zoom and stretch mode.
//
// Sections:
//   1. Helpers (metrics, captions, refresh)
//   2. Creation and destruction
//   3. Zoom and stretch mode
//
// Threads: worker thread only (image windows belong to it).

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "image/image_store.h"
#include "image/image_window_proc.h"
#include "image/zoom_fit.h"
#include "platform/platform.h"
#include "runtime/guarded.h"
#include "runtime/misuse.h"
#include "runtime/services.h"
#include "text/window_edges.h"

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

namespace {

std::u16string caption(const char* title, int32_t zoom, int32_t depth, int32_t stretch_mode) {
    char text[256];
    format_image_caption(text, sizeof text, title, zoom, depth, stretch_mode == kStretchSmooth);
    return pf::ansi_to_wide(text, 256);
}

}  // namespace

std::u16string caption_of(const ImageWindowRecord& rec) {
    return caption(rec.title.get(), rec.zoomPercent, rec.bitDepth, rec.stretchMode);
}

namespace {

// A repaint that cannot be asked for (out of memory) leaves the old picture
// on screen until the next one; the colour table has changed all the same.
void repaint(int number) {
    if (image_live(number) && image_table[number].window)
        guarded([number] { pf::invalidate(image_table[number].window); });
}

// ---------------------------------------------------------------------------
// 2. Creation and destruction

// A creation worked out and paid for, not yet carried out.
struct ImagePlan {
    SlotStorage storage;
    ZoomFit fit{};
    int32_t screen_limited = 1;
    int32_t stretch_mode = kStretchNearest;
    const uint32_t* colours = nullptr;  // a colour table to keep instead of the grey ramp
};

// The checks and allocations of a creation. 0, or the creation codes 2
// (cannot be fitted to the screen) and 3 (bad depth, size gate or memory).
int plan_image(const char* title, int width, int height, int zoom, int bit_depth,
               int screen_limited, ImagePlan* plan) {
    if (bit_depth != 8 && bit_depth != 32) return 3;
    const int32_t w = width < 1 ? 1 : width, h = height < 1 ? 1 : height;
    SizeLimits limits{};
    image_size_limits(screen_limited, screen_metrics(), &limits);
    if (!fit_zoom(w, h, zoom, limits, &plan->fit)) return 2;
    if (!make_slot_storage(w, h, bit_depth, title, &plan->storage)) return 3;
    plan->screen_limited = screen_limited;
    return 0;
}

// The window for `plan`, its outer top-left at (x, y) (-1: the system's
// choice); 0 when it cannot be made.
pf::WindowId make_image_window(const ImagePlan& plan, int x, int y) {
    return guarded(pf::WindowId{0}, [&] {
        const pf::Rect outer =
            pf::adjust_window_rect(pf::Rect{0, 0, plan.fit.display_width, plan.fit.display_height},
                                   kImageWindowStyle, false);
        pf::CreateParams params;
        params.kind = "kpl_iw";
        params.title =
            caption(plan.storage.title.get(), plan.fit.zoom, plan.storage.depth, plan.stretch_mode);
        params.x = x == -1 ? pf::kDefaultPosition : x;
        params.y = y == -1 ? pf::kDefaultPosition : y;
        params.width = outer.width();
        params.height = outer.height();
        params.style = kImageWindowStyle;
        params.owner = main_window();
        return pf::create_window(params);
    });
}

// Carries out `plan` in slot `number` and makes the image current. The window
// is made first, while the slot is still as it was: when it cannot be made
// the result is 3 and nothing has changed. A live slot (a re-creation) lets
// go of its old image and window only after that.
int carry_out(int number, ImagePlan&& plan, int x, int y) {
    const pf::WindowId window = make_image_window(plan, x, y);
    if (!window) return 3;
    if (image_live(number)) KPL_DestroyImage(number);
    install_image_slot(number, std::move(plan.storage));
    ImageWindowRecord& rec = image_table[number];
    if (plan.colours) std::memcpy(rec.colours, plan.colours, sizeof rec.colours);
    rec.screenLimited = plan.screen_limited;
    rec.displayWidth = plan.fit.display_width;
    rec.displayHeight = plan.fit.display_height;
    rec.zoomPercent = plan.fit.zoom;
    rec.stretchMode = plan.stretch_mode;
    rec.window = window;
    image_palette_changed_hook = repaint;
    pf::set_window_data(window, number + 1);
    rebuild_window_edges();
    // Being brought to the front and taking drops are the window's extras:
    // the image is made whether or not they can be done.
    guarded([&] {
        pf::bring_to_front(window);
        pf::accept_drops(window, true);
    });
    KPL_SelectImage(number);
    return 0;
}

int create_image_window(int number, const char* title, int x, int y, int width, int height,
                        int zoom, int bit_depth, int screen_limited) {
    if (static_cast<uint32_t>(number) >= static_cast<uint32_t>(kImageSlots)) return 1;
    if (image_live(number)) return 1;
    ImagePlan plan;
    const int code = plan_image(title, width, height, zoom, bit_depth, screen_limited, &plan);
    return code != 0 ? code : carry_out(number, std::move(plan), x, y);
}

}  // namespace

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
    if (!image_live(number)) {
        kaplo::report_missing_image("KPL_DestroyImage", number);
        return 1;
    }
    const kaplo::platform::WindowId window = image_table[number].window;
    // The slot is freed before the window goes, so the Destroy message the
    // window system sends finds no slot naming it.
    kaplo::release_image_slot(number);
    if (window) kaplo::platform::destroy_window(window);
    return 0;
}

int KPL_ResizeImage(int number, int width, int height) {
    if (!image_live(number)) {
        kaplo::report_missing_image("KPL_ResizeImage", number);
        return 1;
    }
    const ImageWindowRecord& rec = image_table[number];
    // Everything the new size needs is checked and made while the old image
    // is whole: a refusal leaves the old window, picture and slot as they were.
    uint32_t colours[256];
    std::memcpy(colours, rec.colours, sizeof colours);
    const bool keep_colours = rec.bitDepth == 8;
    const int32_t stretch = rec.stretchMode;
    if (!rec.window) {
        // A window-less image has no screen to fit.
        kaplo::SlotStorage storage;
        if (!kaplo::make_slot_storage(width, height, rec.bitDepth, rec.title.get(), &storage))
            return 3;
        kaplo::release_image_slot(number);
        kaplo::install_windowless_image(number, std::move(storage));
        if (keep_colours) std::memcpy(image_table[number].colours, colours, sizeof colours);
        image_table[number].stretchMode = stretch;
        return 0;
    }
    kaplo::ImagePlan plan;
    const int code = kaplo::plan_image(rec.title.get(), width, height, rec.zoomPercent,
                                       rec.bitDepth, rec.screenLimited, &plan);
    if (code != 0) return code;
    if (keep_colours) plan.colours = colours;
    plan.stretch_mode = stretch;
    kaplo::platform::Rect outer{-1, -1, -1, -1};
    kaplo::platform::window_rect(rec.window, &outer);
    return kaplo::carry_out(number, std::move(plan), outer.left, outer.top);
}

int KPL_UpdateImage(int number) {
    if (!image_live(number)) {
        kaplo::report_missing_image("KPL_UpdateImage", number);
        return 1;
    }
    ImageWindowRecord& rec = image_table[number];
    if (!rec.window) return 0;
    const uint32_t* pixels = kaplo::pixels32[number];
    if (rec.bitDepth == 8) {
        // The screen takes 32-bit words: look the indexes up in the colour table.
        const kaplo::detail::PixelView& v = kaplo::detail::image_views[number];
        const size_t stride = kaplo::detail::row_bytes(v);
        for (int32_t y = 0; y < rec.height; ++y) {
            const uint8_t* row = rec.buffer.get() + static_cast<size_t>(y) * stride;
            uint32_t* out = rec.screenBuffer.get() + static_cast<size_t>(y) * rec.width;
            for (int32_t x = 0; x < rec.width; ++x) out[x] = rec.colours[row[x]] & 0x00FFFFFFu;
        }
        pixels = rec.screenBuffer.get();
    }
    const auto mode = rec.stretchMode == kaplo::kStretchSmooth ? kaplo::platform::Stretch::Smooth
                                                               : kaplo::platform::Stretch::Nearest;
    const bool plain = rec.zoomPercent == 100;
    return kaplo::guarded(1, [&] {
        kaplo::platform::present(rec.window, pixels, rec.width, rec.height, rec.width, 0, 0,
                                 plain ? rec.width : rec.displayWidth,
                                 plain ? rec.height : rec.displayHeight, mode);
        return 0;
    });
}

void KPL_RefreshImageTitle(int number) {
    if (!image_live(number)) kaplo::report_missing_image("KPL_RefreshImageTitle", number);
    if (!image_live(number) || !image_table[number].window) return;
    kaplo::guarded([number] {
        kaplo::platform::set_title(image_table[number].window,
                                   kaplo::caption_of(image_table[number]));
    });
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

// ---------------------------------------------------------------------------
// 3. Zoom and stretch mode

int KPL_SetZoom(int zoom, int number) {
    if (!image_live(number) || !image_table[number].window) return 1;
    ImageWindowRecord& rec = image_table[number];
    kaplo::SizeLimits limits{};
    kaplo::image_size_limits(rec.screenLimited, kaplo::screen_metrics(), &limits);
    kaplo::ZoomFit fit{};
    if (!kaplo::fit_zoom(rec.width, rec.height, zoom, limits, &fit)) return 2;
    // The window grows or shrinks by the change of its client area, its
    // corner staying where it is.
    return kaplo::guarded(1, [&] {
        kaplo::platform::Rect outer;
        kaplo::platform::window_rect(rec.window, &outer);
        rec.zoomPercent = fit.zoom;
        kaplo::platform::resize_window(rec.window,
                                       outer.width() + fit.display_width - rec.displayWidth,
                                       outer.height() + fit.display_height - rec.displayHeight);
        rec.displayWidth = fit.display_width;
        rec.displayHeight = fit.display_height;
        kaplo::platform::invalidate(rec.window);
        KPL_RefreshImageTitle(number);
        kaplo::rebuild_window_edges();
        return 0;
    });
}

int KPL_GetStretchMode(int number) {
    return image_live(number) ? image_table[number].stretchMode : 0;
}

int KPL_SetStretchMode(int mode, int number) {
    if (!image_live(number)) return 1;
    if (mode == kaplo::kStretchNearest || mode == kaplo::kStretchSmooth)
        image_table[number].stretchMode = mode;
    KPL_RefreshImageTitle(number);
    kaplo::repaint(number);
    return 0;
}

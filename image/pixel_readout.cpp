// The pixel readout in the main window's status line (see pixel_readout.h).

#include "image/pixel_readout.h"

#include <cstdio>

#include "image/image_store.h"
#include "image/tool_state.h"
#include "kaplo.h"
#include "runtime/services.h"

namespace kaplo {

namespace {
bool g_readout_on = false;
platform::WindowId g_shown_for = 0;  // the window whose pixel the line shows, or 0
}  // namespace

bool pixel_readout_on() {
    return g_readout_on;
}

void readout_pointer_at(platform::WindowId window, int number, int32_t x, int32_t y) {
    if (!g_readout_on || tool_state.active || !image_live(number)) return;
    const ImageWindowRecord& rec = image_table[number];
    // The client area may be wider than the zoomed picture (the smallest
    // window a window manager allows): nothing to read there.
    if (x >= rec.width || y >= rec.height) return readout_pointer_gone(window);
    char text[64];
    if (rec.bitDepth == 32) {
        const uint32_t v = pixels32[number][int64_t{y} * rec.width + x];
        std::snprintf(text, sizeof text, "x %d y %d  R %u G %u B %u", x, y, (v >> 16) & 255,
                      (v >> 8) & 255, v & 255);
    } else {
        const uint8_t index = pixels8[number][y * image_stride(rec.width, 8) + x];
        const uint32_t v = rec.colours[index];
        std::snprintf(text, sizeof text, "x %d y %d  [%u] %u %u %u", x, y, unsigned{index},
                      (v >> 16) & 255, (v >> 8) & 255, v & 255);
    }
    show_status_overlay(text);
    g_shown_for = window;
}

void readout_pointer_gone(platform::WindowId window) {
    if (window != g_shown_for) return;
    g_shown_for = 0;
    end_status_overlay();
}

}  // namespace kaplo

void KPL_SetPixelReadout(int on) {
    kaplo::g_readout_on = on != 0;
    if (!kaplo::g_readout_on) kaplo::readout_pointer_gone(kaplo::g_shown_for);
}

// The frame every mouse tool shares: its start and end, the loop that pumps
// the worker's messages and hands what the mouse did to the tool, and the
// band drawn by inversion.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "image/image_store.h"
#include "image/tool_state.h"
#include "kaplo.h"
#include "platform/platform.h"
#include "runtime/guarded.h"
#include "runtime/services.h"

namespace kaplo {

ToolState tool_state;

namespace {

bool g_tool_hints = false;
platform::WindowId g_crosshair_window = 0;  // the running tool's window, with hints on

void show_prompt(const char* prompt, const char* hint) {
    char text[64];
    std::snprintf(text, sizeof text, "%s%s", prompt, g_tool_hints ? hint : "");
    KPL_SetStatusText(text);
}

}  // namespace

bool begin_tool(int number, const char* prompt) {
    if (!image_live(number)) return false;
    // The tool's prompt takes the place of the pixel readout.
    end_status_overlay();
    show_prompt(prompt, kCancelHint);
    if (g_tool_hints && image_table[number].window) {
        g_crosshair_window = image_table[number].window;
        guarded([] { platform::set_cursor(g_crosshair_window, platform::Cursor::Cross); });
    }
    // Files dropped on the main window would create windows under the tool.
    guarded([] { platform::accept_drops(main_window(), false); });
    KPL_SelectImage(number);
    tool_state.toolSlot = number;
    tool_state.clicked = 0;
    kpl_stop.store(0);
    tool_state.active = 1;
    g_tool_active.store(1);
    return true;
}

int end_tool(int code) {
    show_idle_status();
    if (g_crosshair_window) {
        guarded([] { platform::set_cursor(g_crosshair_window, platform::Cursor::Arrow); });
        g_crosshair_window = 0;
    }
    tool_state.active = 0;
    tool_state.toolSlot = -1;
    g_tool_active.store(0);
    guarded([] { platform::accept_drops(main_window(), true); });
    return code;
}

int MouseTool::run(const char* prompt) {
    if (!begin_tool(number_, prompt)) return 2;
    window_ = image_table[number_].window;
    // A right click or a move that came with the last tool's final click
    // belongs to that tool.
    tool_state.cancelled = 0;
    tool_state.moved = 0;
    start();
    for (;;) {
        KPL_ProcessMessages();
        if (ending_ != kRunning) return end_tool(ending_);
        // Stop, Exit and a closed window end the tool as a cancel does, so
        // that the command it serves draws nothing.
        if (kpl_stop.load() != 0) {
            hide_band();
            repaint();
            return end_tool(1);
        }
        if (!image_live(number_) || image_table[number_].window != window_) return end_tool(1);
        busy_ = false;
        const int code = react();
        if (code != kRunning) return end_tool(code);
        // Nothing happened: let the core rest a millisecond instead of spinning.
        if (!busy_) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// The band goes into the tool image's own buffer, whatever the current image;
// the selection and the pen are left as they were. An image that is gone, or
// a newer image in the same slot, is not touched.
void MouseTool::invert() const {
    if (!image_live(number_) || image_table[number_].window != window_) return;
    const detail::Selection saved = detail::selection;
    detail::selection.view = &detail::image_views[number_];
    invert_band();
    detail::selection = saved;
}

void MouseTool::show_band() {
    if (band_shown_) return;
    invert();
    band_shown_ = true;
}

void MouseTool::hide_band() {
    if (!band_shown_) return;
    invert();
    band_shown_ = false;
}

void MouseTool::repaint() const {
    const int number = number_;
    if (image_live(number) && image_table[number].window)
        guarded([number] { platform::invalidate(image_table[number].window); });
}

void MouseTool::set_prompt(const char* prompt, const char* hint) const {
    show_prompt(prompt, hint);
}

}  // namespace kaplo

void KPL_SetToolHints(int on) {
    kaplo::g_tool_hints = on != 0;
}

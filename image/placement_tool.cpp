// The placement tool: a box the size of what is to be placed follows the
// mouse over an image window until a click takes its centre.
//
// Threads: worker thread only. The tool pumps the worker's messages in its
// own loop; the image window procedure records the mouse in tool_state.

#include <chrono>
#include <thread>

#include "image/image_store.h"
#include "image/tool_state.h"
#include "kaplo.h"
#include "platform/platform.h"
#include "shell/guarded.h"

namespace kaplo {
namespace {

// The box centred on a point, drawn by inversion so that drawing it again at
// the same place erases it. Boxes of 9 x 9 and more also show their two
// diagonals, one pixel inside the outline.
struct Band {
    int number;
    int32_t width, height;
    int32_t x = 0, y = 0;  // the centre

    // Inverts the band in the image's own buffer, whatever the current image,
    // and leaves the selection and the pen as they were.
    void invert() const {
        if (!image_live(number)) return;
        const detail::Selection saved = detail::selection;
        detail::selection.view = &detail::image_views[number];
        const int32_t left = x - width / 2, top = y - height / 2;
        const int32_t right = left + width - 1, bottom = top + height - 1;
        KPL_InvertBox(left, top, right, bottom);
        if (width >= 9 && height >= 9) {
            KPL_InvertLine(left + 1, top + 1, right - 1, bottom - 1);
            KPL_InvertLine(right - 1, top + 1, left + 1, bottom - 1);
        }
        detail::selection = saved;
    }
};

void repaint(int number) {
    if (image_live(number) && image_table[number].window)
        guarded([number] { platform::invalidate(image_table[number].window); });
}

}  // namespace

int pick_placement(int number, int width, int height, int* x, int* y, bool* taken) {
    if (taken) *taken = false;
    if (!image_live(number)) return 2;
    if (x) *x = 0;
    if (y) *y = 0;
    if (!begin_tool(number, "Click a point")) return 2;
    // A right click that came with the last tool's taking click is no
    // cancel of this one.
    tool_state.cancelled = 0;
    tool_state.moved = 0;
    Band band{number, width, height, tool_state.mouseX, tool_state.mouseY};
    band.invert();
    repaint(number);
    bool point_taken = false;
    for (;;) {
        KPL_ProcessMessages();
        // Stop leaves the band where it is.
        if (kpl_stop.load() != 0 || point_taken) break;
        // The user closed the window (or the program destroyed the image).
        if (!image_live(number)) return end_tool(2);
        bool busy = false;
        if (tool_state.moved) {
            tool_state.moved = 0;
            band.invert();
            band.x = tool_state.mouseX;
            band.y = tool_state.mouseY;
            band.invert();
            repaint(number);
            busy = true;
        }
        if (tool_state.clicked) {
            tool_state.clicked = 0;
            band.invert();
            repaint(number);
            if (x) *x = tool_state.clickX;
            if (y) *y = tool_state.clickY;
            point_taken = true;
            busy = true;
        }
        if (tool_state.cancelled && !point_taken) {
            tool_state.cancelled = 0;
            band.invert();
            repaint(number);
            return end_tool(1);
        }
        // Nothing happened: let the core rest a millisecond instead of spinning.
        if (!busy) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (taken) *taken = point_taken;
    return end_tool(0);
}

}  // namespace kaplo

int KPL_PickPlacement(int number, int width, int height, int* x, int* y) {
    return kaplo::pick_placement(number, width, height, x, y, nullptr);
}

// The process menu's text commands: "Draw Text" (bitmap font at a picked
// point), TrueType "Draw" (a picked box sets the cell) and "Font Change".
// They run on the worker, in the image window's procedure; the line is typed
// into text window 0.

#include "image/commands.h"
#include "image/image_store.h"
#include "image/image_window_proc.h"
#include "image/truetype_text.h"
#include "kaplo.h"
#include "platform/truetype.h"

namespace kaplo {
namespace {

namespace pf = platform;

enum : int32_t { kDrawText = 1042, kTrueTypeDraw = 1048, kFontChange = 1049 };

void repaint_current() {
    const int n = current_image();
    if (image_live(n) && image_table[n].window) pf::invalidate(image_table[n].window);
}

// The line the user types after the prompt.
void read_line(char (&line)[512]) {
    KPL_EnsureTextWindow();
    KPL_Printf("Text>");
    KPL_InputLine(line);
}

void draw_text(pf::WindowId window) {
    const int n = KPL_SelectImageByWindow(window);
    if (n < 0) return;
    int x = 0, y = 0;
    if (KPL_PickPoint(n, &x, &y) != 0) return;
    char line[512] = {};
    read_line(line);
    image_text_cursor.text_x = image_text_cursor.left_margin = x;
    image_text_cursor.baseline_y = y;
    kpl_tc = drawing_colour;
    KPL_DrawTextf("%s", line);
    repaint_current();
}

void draw_truetype(pf::WindowId window) {
    const int n = KPL_SelectImageByWindow(window);
    if (n < 0) return;
    int left = 0, top = 0, right = 0, bottom = 0;
    if (KPL_PickBox(n, &left, &top, &right, &bottom) != 0) return;
    char line[512] = {};
    read_line(line);
    image_text_cursor.baseline_y = bottom;
    image_text_cursor.text_x = image_text_cursor.left_margin = left;
    KPL_SetTrueTypeSize(right - left + 1, bottom - top + 1);
    KPL_DrawTrueTypeText(line);
    repaint_current();
}

// The chosen face, size, weight, slant and underline become the font; the
// cell stays, and so does the text colour.
void change_font() {
    TrueTypeState& state = truetype_state();
    if (std::optional<pf::FontDescription> chosen = pf::ask_font(state.font))
        if (pf::font_can_be_made(*chosen)) state.font = *chosen;
}

}  // namespace

bool text_command(pf::WindowId window, int32_t id) {
    switch (id) {
        case kDrawText:
            draw_text(window);
            return true;
        case kTrueTypeDraw:
            draw_truetype(window);
            return true;
        case kFontChange:
            change_font();
            return true;
        default:
            return false;
    }
}

}  // namespace kaplo

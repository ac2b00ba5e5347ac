#include "text/text_layout.h"

namespace kaplo {

bool text_line_break(TextCursor& c, TextCanvas& canvas) {
    c.y += c.char_height;
    c.x = 0;
    if (c.y + c.char_height < c.height) return false;
    // Scroll one line: rows charHeight..cursorY move to the top, and the band
    // from the new line down is cleared.
    canvas.copy_rows(c.char_height, 0, c.y - c.char_height);
    c.y -= c.char_height;
    canvas.fill_black(c.y, c.y + c.char_height);
    return true;
}

void text_layout(TextCursor& c, TextCanvas& canvas, const char16_t* units, size_t count) {
    size_t run = 0;      // first unit of the pending run
    size_t pending = 0;  // units in it
    int32_t end = c.x;   // x where the run ends
    for (size_t i = 0; i < count; ++i) {
        const char16_t u = units[i];
        if (u == u'\n') {
            if (pending > 0) canvas.draw_run(c.x, c.y, units + run, pending);
            text_line_break(c, canvas);
            run = i + 1;
            pending = 0;
            end = 0;
            continue;
        }
        const int32_t w = cells_of(u) * c.char_width;
        if (end + w > c.width) {
            if (pending > 0) canvas.draw_run(c.x, c.y, units + run, pending);
            text_line_break(c, canvas);
            run = i;
            pending = 0;
            end = 0;
        }
        ++pending;
        end += w;
    }
    if (pending > 0) {
        canvas.draw_run(c.x, c.y, units + run, pending);
        c.x = end;
    }
}

}  // namespace kaplo

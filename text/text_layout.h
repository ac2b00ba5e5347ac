#pragma once
// Layout of console text on a cell grid: runs, wraps at the right edge and
// one-line scrolling. Kept apart from any window so it can be checked with a
// recording canvas.

#include <cstddef>
#include <cstdint>

namespace kaplo {

// Where the layout draws. A text window's canvas is its surface.
class TextCanvas {
  public:
    virtual ~TextCanvas() = default;
    // Draws `count` units from (x, y), each one cell (< 0x80) or two cells wide.
    virtual void draw_run(int32_t x, int32_t y, const char16_t* units, size_t count) = 0;
    virtual void copy_rows(int32_t src_y, int32_t dst_y, int32_t rows) = 0;
    virtual void fill_black(int32_t y, int32_t rows) = 0;
};

struct TextCursor {
    int32_t width = 0, height = 0;             // surface size in pixels
    int32_t char_width = 8, char_height = 16;  // one cell
    int32_t x = 0, y = 0;                      // next character's cell, top-left
};

inline int32_t cells_of(char16_t unit) {
    return unit < 0x80 ? 1 : 2;
}

// Moves the cursor to the start of the next line, scrolling the canvas up one
// line when that line would not end strictly above the bottom edge. Returns
// true when it scrolled.
bool text_line_break(TextCursor& cursor, TextCanvas& canvas);

// Lays out and draws `count` units at the cursor: line feed breaks the line,
// every other unit is a glyph; a unit that would cross the right edge starts
// a new line (one that ends exactly at the edge still fits).
void text_layout(TextCursor& cursor, TextCanvas& canvas, const char16_t* units, size_t count);

}  // namespace kaplo

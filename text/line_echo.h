#pragma once
// The line being typed and its echo on a cell grid: which units the line
// takes, where each character is drawn, the wraps that keep the cursor cell
// on the surface, Backspace across those wraps, and laying the whole line out
// again after the surface was re-created. Kept apart from any window so the
// unit tests can drive it with a recording surface.
//
// The line must come back to the caller as UTF-8 in 256 bytes (terminator
// included), so it takes whole characters while their bytes fit: a unit
// that would not fit is dropped and never echoed. A character outside the
// BMP arrives as a surrogate pair in two units; the high half waits for the
// low one, and the pair goes in whole or not at all, so an unpaired surrogate
// never enters the line.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "text/text_layout.h"

namespace kaplo {

// Where the echo draws. A text window's echo surface is its surface.
class EchoSurface {
  public:
    virtual ~EchoSurface() = default;
    // Draws units at (x, y), each one cell (< 0x80) or two, and shows them.
    virtual void draw_cells(int32_t x, int32_t y, const char16_t* units, size_t count) = 0;
    // Moves the cursor to the start of the next line, scrolling when needed.
    virtual void line_break() = 0;
};

class LineEcho {
  public:
    static constexpr size_t kMaxBytes = 255;  // UTF-8 bytes, terminator excluded

    // The echo starts at `cursor`, which it moves (the window's own cursor).
    LineEcho(TextCursor& cursor, EchoSurface& surface);

    // Starts the echo: when the cursor cell would cross the right edge (a
    // prompt ended there), the line breaks first.
    void start();
    // Takes one typed unit other than Backspace and Enter.
    void type(char16_t unit);
    // Removes the last character and puts the cursor where it stood before
    // that character was typed.
    void backspace();
    // Draws the cursor cell: an underscore when shown, otherwise a space.
    void draw_cursor(bool shown);
    // Lays the whole line out again from the cursor, with the wraps of the
    // present width: the surface was re-created and the echo is gone.
    void redraw();
    // Erases the cursor and breaks the line (Enter).
    void finish();

    const std::u16string& line() const { return line_; }
    size_t bytes() const { return bytes_; }

  private:
    struct Placed {
        int32_t before_x, before_row;  // where the cursor stood before it was typed
        int32_t x, row;                // where it is drawn
        int32_t cells;
        size_t units;  // 1, or 2 for a surrogate pair
    };

    void append(const char16_t* units, size_t count, size_t bytes);
    void echo(const char16_t* units, size_t count);
    void break_line();
    void blank(int32_t x, int32_t y, int32_t cells);
    // The y of a row of the echo, counted in line breaks since it started;
    // relative to the cursor's row, so scrolling does not disturb it.
    int32_t y_of(int32_t row) const { return cursor_.y - (row_ - row) * cursor_.char_height; }

    TextCursor& cursor_;
    EchoSurface& surface_;
    std::u16string line_;
    std::vector<Placed> placed_;  // one entry per character of the line
    size_t bytes_ = 0;
    char16_t high_ = 0;  // the high half of a pair, waiting for its low half
    int32_t row_ = 0;
};

}  // namespace kaplo

#include "text/line_echo.h"

namespace kaplo {
namespace {

bool is_high_surrogate(char16_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool is_low_surrogate(char16_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

// UTF-8 length of a unit of the BMP that is not a surrogate.
size_t utf8_bytes(char16_t u) {
    return u < 0x80 ? 1 : u < 0x800 ? 2 : 3;
}

}  // namespace

LineEcho::LineEcho(TextCursor& cursor, EchoSurface& surface) : cursor_(cursor), surface_(surface) {}

void LineEcho::start() {
    if (cursor_.x > 0 && cursor_.x + cursor_.char_width > cursor_.width) break_line();
}

void LineEcho::type(char16_t unit) {
    if (is_high_surrogate(unit)) {
        high_ = unit;  // a high half still waiting is unpaired: it goes
        return;
    }
    if (is_low_surrogate(unit)) {
        if (high_ == 0) return;
        const char16_t pair[2] = {high_, unit};
        high_ = 0;
        append(pair, 2, 4);
        return;
    }
    high_ = 0;
    append(&unit, 1, utf8_bytes(unit));
}

void LineEcho::append(const char16_t* units, size_t count, size_t bytes) {
    if (bytes_ + bytes > kMaxBytes) return;
    line_.append(units, count);
    bytes_ += bytes;
    echo(units, count);
}

// Places one character at the cursor: to the next line first when it would
// cross the right edge (unless it starts a line: a window narrower than the
// character gets it clipped), and the line breaks after it when no cell is
// left for the cursor, so the cursor is always drawn on the surface.
void LineEcho::echo(const char16_t* units, size_t count) {
    int32_t cells = 0;
    for (size_t i = 0; i < count; ++i) cells += cells_of(units[i]);
    const int32_t before_x = cursor_.x, before_row = row_;
    if (cursor_.x > 0 && cursor_.x + cells * cursor_.char_width > cursor_.width) {
        blank(cursor_.x, cursor_.y, 1);  // the cursor
        break_line();
    }
    surface_.draw_cells(cursor_.x, cursor_.y, units, count);
    placed_.push_back(Placed{before_x, before_row, cursor_.x, row_, cells, count});
    cursor_.x += cells * cursor_.char_width;
    if (cursor_.x + cursor_.char_width > cursor_.width) break_line();
}

void LineEcho::backspace() {
    high_ = 0;
    if (placed_.empty()) return;
    const Placed p = placed_.back();
    placed_.pop_back();
    blank(cursor_.x, cursor_.y, 1);
    blank(p.x, y_of(p.row), p.cells);
    bytes_ -= p.units == 2 ? 4 : utf8_bytes(line_.back());
    line_.resize(line_.size() - p.units);
    cursor_.y = y_of(p.before_row);
    cursor_.x = p.before_x;
    row_ = p.before_row;
}

void LineEcho::draw_cursor(bool shown) {
    const char16_t glyph = shown ? u'_' : u' ';
    surface_.draw_cells(cursor_.x, cursor_.y, &glyph, 1);
}

void LineEcho::redraw() {
    placed_.clear();
    row_ = 0;
    start();
    for (size_t i = 0; i < line_.size();) {
        const size_t count = is_high_surrogate(line_[i]) ? 2 : 1;
        echo(line_.data() + i, count);
        i += count;
    }
}

void LineEcho::finish() {
    high_ = 0;
    blank(cursor_.x, cursor_.y, 1);
    break_line();
}

void LineEcho::break_line() {
    surface_.line_break();
    ++row_;
}

void LineEcho::blank(int32_t x, int32_t y, int32_t cells) {
    const std::u16string spaces(static_cast<size_t>(cells), u' ');
    surface_.draw_cells(x, y, spaces.data(), spaces.size());
}

}  // namespace kaplo

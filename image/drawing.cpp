// Drawing primitives and bitmap text: lines, boxes, circles, discs, the flood
// fill and the glyph writer. Every shape goes through the single-pixel calls,
// so each pixel is clipped by their bounds test and nothing else clips.
//
// Sections:
//   1. Shared drawing state
//   2. Lines and boxes
//   3. Circles and discs
//   4. Flood fill
//   5. Bitmap text

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <utility>
#include <vector>

#include "image/glyphs.h"
#include "image/image_store.h"

// ---------------------------------------------------------------------------
// 1. Shared drawing state (worker thread)

int32_t kpl_tc = 0;

namespace kaplo {

int32_t drawing_colour = 0x00FFFFFF;
ImageTextCursor image_text_cursor{0, 0, 0};

namespace {

// ---------------------------------------------------------------------------
// 2. Lines and boxes

// Plots every pixel from (x1, y1) to (x2, y2) exactly once, both ends
// included; the error-term walk always runs left to right, so a line and its
// reverse cover the same pixels.
template <typename Plot>
void walk_line(int32_t x1, int32_t y1, int32_t x2, int32_t y2, Plot plot) {
    // Straight runs are cut to the current image first: the pixels beyond it
    // would be skipped one by one anyway, and a run can span 2^32 points.
    const detail::PixelView& v = *detail::selection.view;
    if (x1 == x2) {
        int64_t a = std::min(y1, y2), b = std::max(y1, y2);
        a = std::max<int64_t>(a, 0);
        b = std::min<int64_t>(b, int64_t{v.height} - 1);
        for (int64_t y = a; y <= b; ++y) plot(x1, static_cast<int32_t>(y));
        return;
    }
    if (y1 == y2) {
        int64_t a = std::min(x1, x2), b = std::max(x1, x2);
        a = std::max<int64_t>(a, 0);
        b = std::min<int64_t>(b, int64_t{v.width} - 1);
        for (int64_t x = a; x <= b; ++x) plot(static_cast<int32_t>(x), y1);
        return;
    }
    if (x1 > x2) {
        std::swap(x1, x2);
        std::swap(y1, y2);
    }
    // 64-bit differences: end points far apart cannot overflow.
    const int64_t dx = int64_t{x2} - x1;
    const int64_t dy = std::llabs(int64_t{y2} - y1);
    const int32_t s = y2 > y1 ? 1 : -1;
    int32_t x = x1, y = y1;
    plot(x, y);
    if (dx >= dy) {
        int64_t e = (dx + 1) / 2;
        while (x != x2) {
            e -= dy;
            ++x;
            if (e <= 0) e += dx, y += s;
            plot(x, y);
        }
    } else {
        int64_t e = (dy + 1) / 2;
        while (y != y2) {
            e -= dx;
            y += s;
            if (e <= 0) e += dy, ++x;
            plot(x, y);
        }
    }
}

// The pixels x1..x2 of row y, cut to the current image: the same pixels a
// walk along the row would set one by one, written as one run (box and
// disc interiors are made of such rows).
void fill_row(int32_t x1, int32_t x2, int32_t y, int32_t colour) {
    const detail::PixelView& v = *detail::selection.view;
    if (static_cast<uint32_t>(y) >= v.height) return;
    const int64_t a = std::max<int64_t>(x1, 0);
    const int64_t b = std::min<int64_t>(x2, int64_t{v.width} - 1);
    if (a > b) return;
    uint8_t* row = v.bits + static_cast<size_t>(y) * detail::row_bytes(v);
    const auto count = static_cast<size_t>(b - a + 1);
    if (detail::is_32bit(v))
        std::fill_n(reinterpret_cast<uint32_t*>(row) + a, count, static_cast<uint32_t>(colour));
    else
        std::memset(row + a, colour & 255, count);
}

void order(int32_t& a, int32_t& b) {
    if (a > b) std::swap(a, b);
}

}  // namespace
}  // namespace kaplo

using kaplo::walk_line;

void KPL_DrawLine(int32_t colour, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    kaplo::detail::move_pen(x2, y2);
    if (y1 == y2) {
        kaplo::fill_row(std::min(x1, x2), std::max(x1, x2), y1, colour);
        return;
    }
    walk_line(x1, y1, x2, y2, [colour](int32_t x, int32_t y) { KPL_SetPixelNoMove(x, y, colour); });
}

void KPL_InvertLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    kaplo::detail::move_pen(x2, y2);
    walk_line(x1, y1, x2, y2, [](int32_t x, int32_t y) { KPL_InvertPixelNoMove(x, y); });
}

void KPL_DrawBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    const int32_t c = kaplo::drawing_colour;
    KPL_DrawLine(c, x1, y1, x2, y1);
    KPL_DrawLine(c, x2, y1, x2, y2);
    KPL_DrawLine(c, x2, y2, x1, y2);
    KPL_DrawLine(c, x1, y2, x1, y1);
}

// Each outline pixel is inverted exactly once, also for boxes one pixel wide
// or high, so drawing the box twice restores the picture.
void KPL_InvertBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    kaplo::order(x1, x2);
    kaplo::order(y1, y2);
    KPL_InvertLine(x1, y1, x2, y1);
    if (y2 != y1) KPL_InvertLine(x1, y2, x2, y2);
    if (int64_t{y2} - y1 > 1) {
        KPL_InvertLine(x1, y1 + 1, x1, y2 - 1);
        if (x2 != x1) KPL_InvertLine(x2, y1 + 1, x2, y2 - 1);
    }
}

void KPL_FillBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t outline_colour,
                 int32_t fill_colour) {
    kaplo::order(x1, x2);
    kaplo::order(y1, y2);
    KPL_DrawLine(outline_colour, x1, y1, x2, y1);
    KPL_DrawLine(outline_colour, x2, y1, x2, y2);
    KPL_DrawLine(outline_colour, x2, y2, x1, y2);
    KPL_DrawLine(outline_colour, x1, y2, x1, y1);
    if (int64_t{x2} - x1 >= 2 && int64_t{y2} - y1 >= 2)
        for (int32_t y = y1 + 1; y <= y2 - 1; ++y) KPL_DrawLine(fill_colour, x1 + 1, y, x2 - 1, y);
}

void KPL_InvertFillBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    kaplo::order(x1, x2);
    kaplo::order(y1, y2);
    for (int64_t y = y1; y <= y2; ++y)
        KPL_InvertLine(x1, static_cast<int32_t>(y), x2, static_cast<int32_t>(y));
}

// ---------------------------------------------------------------------------
// 3. Circles and discs

namespace kaplo {
namespace {

// One octant of the midpoint walk, mirrored eight ways. The axis (i = 0) and
// diagonal (i = x) duplicates are skipped, so for r >= 1 no pixel is plotted
// twice and the inverting form can be undone by drawing it again.
template <typename Plot>
void walk_circle(int32_t cx, int32_t cy, int32_t r, Plot plot) {
    int32_t x = r, i = 0, d = r;
    const int32_t limit = 5 * r / 7;
    for (;;) {
        plot(cx - i, cy + x);
        plot(cx + i, cy - x);
        if (i != 0 && i != x) {
            plot(cx + i, cy + x);
            plot(cx - i, cy - x);
            plot(cx + x, cy - i);
            plot(cx - x, cy + i);
        }
        plot(cx + x, cy + i);
        plot(cx - x, cy - i);
        d -= 2 * i + 1;
        if (d <= 0) d += 2 * x - 2, --x;
        ++i;
        if (i > limit || i > x) break;
    }
}

// Horizontal spans of the disc; each row is spanned once for r >= 1.
template <typename Span>
void walk_disc(int32_t cx, int32_t cy, int32_t r, Span span) {
    int32_t x = r, j = 0, d = r;
    const int32_t limit = 5 * r / 7;
    bool stepped = false;
    for (;;) {
        if (x != j) {
            span(cx - x, cx + x, cy + j);
            if (j != 0) span(cx - x, cx + x, cy - j);
        }
        d -= 2 * j + 1;
        stepped = false;
        if (d <= 0) {
            span(cx - j, cx + j, cy + x);
            span(cx - j, cx + j, cy - x);
            d += 2 * x - 2;
            --x;
            stepped = true;
        }
        if (j + 1 > limit || x < j + 1) break;
        ++j;
    }
    if (!stepped) {
        span(cx - j, cx + j, cy + x);
        span(cx - j, cx + j, cy - x);
    }
}

// Radii whose walk would overflow 32-bit coordinates are not drawn.
bool radius_ok(int32_t r) {
    return r >= 0 && r <= (1 << 28);
}

}  // namespace
}  // namespace kaplo

void KPL_DrawCircle(int32_t colour, int32_t cx, int32_t cy, int32_t r) {
    if (!kaplo::radius_ok(r)) return;
    kaplo::walk_circle(cx, cy, r, [colour](int32_t x, int32_t y) { KPL_SetPixel(x, y, colour); });
}

void KPL_InvertCircle(int32_t cx, int32_t cy, int32_t r) {
    if (!kaplo::radius_ok(r)) return;
    kaplo::walk_circle(cx, cy, r, [](int32_t x, int32_t y) { KPL_InvertPixel(x, y); });
}

void KPL_FillCircle(int32_t cx, int32_t cy, int32_t r) {
    if (!kaplo::radius_ok(r)) return;
    const int32_t c = kaplo::drawing_colour;
    kaplo::walk_disc(cx, cy, r,
                     [c](int32_t xa, int32_t xb, int32_t y) { KPL_DrawLine(c, xa, y, xb, y); });
    KPL_DrawCircle(c, cx, cy, r);
}

void KPL_InvertFillCircle(int32_t cx, int32_t cy, int32_t r) {
    if (!kaplo::radius_ok(r)) return;
    kaplo::walk_disc(cx, cy, r,
                     [](int32_t xa, int32_t xb, int32_t y) { KPL_InvertLine(xa, y, xb, y); });
}

// ---------------------------------------------------------------------------
// 4. Flood fill

void KPL_Paint(int32_t x, int32_t y) {
    using kaplo::detail::selection;
    const kaplo::detail::PixelView& v = *selection.view;
    if (!kaplo::detail::inside(v, x, y)) return;
    const int32_t t = KPL_ProbePixel(x, y);
    // An 8-bit image stores only the colour's low byte; comparing the whole
    // colour would refill pixels that already hold it, for ever.
    const int32_t colour = v.depth == 8 ? (kaplo::drawing_colour & 255) : kaplo::drawing_colour;
    if (t == colour) return;

    // A point reads as the target only when it is inside: outside points read
    // -1, which would otherwise match a target of -1 and run off the image.
    auto is_target = [&v, t](int32_t px, int32_t py) {
        return kaplo::detail::inside(v, px, py) && KPL_ProbePixel(px, py) == t;
    };

    // Seeds wait on a fixed stack in the call's own frame; the few that find
    // it full (a very ragged region) wait on the heap instead of being
    // dropped, so every region is filled whole. Regions that fit the stack
    // are filled run by run in the same order either way.
    constexpr int kMaxSeeds = 4000;
    int32_t seed_x[kMaxSeeds];
    int32_t seed_y[kMaxSeeds];
    int seeds = 0;
    std::vector<std::pair<int32_t, int32_t>> spilled;
    auto push = [&](int32_t px, int32_t py) {
        if (seeds < kMaxSeeds) {
            seed_x[seeds] = px, seed_y[seeds] = py, ++seeds;
            return true;
        }
        try {
            spilled.emplace_back(px, py);
            return true;
        } catch (const std::bad_alloc&) {
            return false;  // out of memory: this stretch may stay unfilled
        }
    };
    auto pop = [&](int32_t* px, int32_t* py) {
        if (seeds > 0) {
            --seeds;
            *px = seed_x[seeds], *py = seed_y[seeds];
        } else if (!spilled.empty()) {
            *px = spilled.back().first, *py = spilled.back().second;
            spilled.pop_back();
        } else {
            return false;
        }
        return true;
    };

    int32_t sx = x, sy = y;
    for (;;) {
        while (is_target(sx - 1, sy)) --sx;
        const int32_t first = sx;
        bool look_up = true, look_down = true;
        for (; is_target(sx, sy); ++sx) {
            if (is_target(sx, sy - 1)) {
                if (look_up && push(sx, sy - 1)) look_up = false;
            } else {
                look_up = true;
            }
            if (is_target(sx, sy + 1)) {
                if (look_down && push(sx, sy + 1)) look_down = false;
            } else {
                look_down = true;
            }
        }
        KPL_DrawLine(kaplo::drawing_colour, first, sy, sx - 1, sy);
        bool found = false;
        int32_t px = 0, py = 0;
        while (pop(&px, &py)) {
            if (is_target(px, py)) {
                sx = px, sy = py;
                found = true;
                break;
            }
        }
        if (!found) return;
    }
}

// ---------------------------------------------------------------------------
// 5. Bitmap text

void KPL_DrawChar(int c) {
    auto& cur = kaplo::image_text_cursor;
    c &= 255;  // a plain char may be signed
    if (c == '\n') {
        cur.text_x = cur.left_margin;
        cur.baseline_y += 16;
        return;
    }
    if (c < 32 || c > 127) return;
    const uint8_t* rows = kaplo::glyph_rows(c);
    const int32_t top = cur.baseline_y - kaplo::kGlyphRows;
    for (int r = 0; r < kaplo::kGlyphRows; ++r) {
        const uint8_t bits = rows[r];
        if (!bits) continue;
        for (int k = 0; k < 8; ++k)
            if (bits & (0x80 >> k)) KPL_SetPixel(cur.text_x + k, top + r, kpl_tc);
    }
    cur.text_x += 8;
    if (static_cast<int64_t>(cur.text_x) >
        static_cast<int64_t>(kaplo::image_table[kaplo::current_image()].width) - 8) {
        cur.text_x = cur.left_margin;
        cur.baseline_y += 16;
    }
}

void KPL_DrawString(const char* text) {
    if (!text) return;
    for (; *text; ++text) KPL_DrawChar(static_cast<unsigned char>(*text));
}

void KPL_DrawTextf(const char* format, ...) {
    if (!format) return;
    char buffer[4096];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    KPL_DrawString(buffer);
}

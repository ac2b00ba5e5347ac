// The image commands of the process pop-up menu: invert, flips, rotations,
// rescaling, clipping, the drawing colour, drawing by hand with the mouse
// tools, and test patterns.
//
// Sections:
//   1. Pixels in place (invert, flips)
//   2. Re-creation (rotations, rescaling)
//   3. Clipping
//   4. Colours
//   5. Drawing by hand
//   6. Dispatch
//
// Threads: worker thread only (image windows belong to it).

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <utility>

#include "image/commands.h"
#include "image/image_store.h"
#include "image/image_window_proc.h"
#include "kaplo.h"
#include "platform/colour_dialog.h"
#include "platform/nearest_colour.h"
#include "platform/resample.h"
#include "runtime/misuse.h"
#include "text/window_edges.h"

namespace kaplo {

namespace pf = platform;

namespace {

using namespace command;

void repaint(int number) {
    if (image_live(number) && image_table[number].window)
        pf::invalidate(image_table[number].window);
}
void repaint_current() {
    repaint(current_image());
}

// Row `y` of a live image.
uint8_t* row_of(int number, int32_t y) {
    const ImageWindowRecord& rec = image_table[number];
    return rec.buffer.get() + static_cast<size_t>(image_stride(rec.width, rec.bitDepth)) * y;
}

// ---------------------------------------------------------------------------
// 1. Pixels in place

void invert(int number) {
    const ImageWindowRecord& rec = image_table[number];
    for (int32_t y = 0; y < rec.height; ++y) {
        if (rec.bitDepth == 32) {
            auto* p = reinterpret_cast<uint32_t*>(row_of(number, y));
            for (int32_t x = 0; x < rec.width; ++x) p[x] ^= 0x00FFFFFFu;
        } else {
            uint8_t* p = row_of(number, y);
            for (int32_t x = 0; x < rec.width; ++x) p[x] = static_cast<uint8_t>(255 - p[x]);
        }
    }
}

template <class Pixel>
void mirror_rows(int number) {
    const ImageWindowRecord& rec = image_table[number];
    for (int32_t y = 0; y < rec.height; ++y) {
        auto* p = reinterpret_cast<Pixel*>(row_of(number, y));
        for (int32_t l = 0, r = rec.width - 1; l < r; ++l, --r) std::swap(p[l], p[r]);
    }
}

void flip_horizontally(int number) {
    if (image_table[number].bitDepth == 32)
        mirror_rows<uint32_t>(number);
    else
        mirror_rows<uint8_t>(number);
}

void flip_vertically(int number) {
    const ImageWindowRecord& rec = image_table[number];
    const size_t bytes = static_cast<size_t>(image_stride(rec.width, rec.bitDepth));
    for (int32_t t = 0, b = rec.height - 1; t < b; ++t, --b)
        std::swap_ranges(row_of(number, t), row_of(number, t) + bytes, row_of(number, b));
}

// ---------------------------------------------------------------------------
// 2. Re-creation

// The whole picture of a live image, packed (no row padding), as
// KPL_GetImageBlock gives it.
struct Picture {
    int32_t width = 0, height = 0, depth = 0;
    std::unique_ptr<uint8_t[]> bytes;
    size_t pixel_size() const { return depth == 32 ? 4 : 1; }
};

// Makes `number` current and copies its picture aside.
Picture copy_aside(int number) {
    KPL_SelectImage(number);
    const ImageWindowRecord& rec = image_table[number];
    Picture p;
    p.width = rec.width;
    p.height = rec.height;
    p.depth = rec.bitDepth;
    p.bytes.reset(new uint8_t[static_cast<size_t>(p.width) * p.height * p.pixel_size()]);
    KPL_GetImageBlock(p.bytes.get(), 0, 0, p.width, p.height);
    return p;
}

// Fills the re-created image `number` pixel by pixel: source(x, y) names the
// packed index in `p` of the pixel that goes to (x, y).
template <class Source>
void fill_from(int number, const Picture& p, Source source) {
    const ImageWindowRecord& rec = image_table[number];
    for (int32_t y = 0; y < rec.height; ++y) {
        uint8_t* row = row_of(number, y);
        if (p.depth == 32) {
            auto* out = reinterpret_cast<uint32_t*>(row);
            const auto* in = reinterpret_cast<const uint32_t*>(p.bytes.get());
            for (int32_t x = 0; x < rec.width; ++x) out[x] = in[source(x, y)];
        } else {
            for (int32_t x = 0; x < rec.width; ++x) row[x] = p.bytes[source(x, y)];
        }
    }
}

void rotate(int number, bool clockwise) {
    const Picture p = copy_aside(number);
    if (KPL_ResizeImage(number, p.height, p.width) != 0) {
        repaint_current();
        return;
    }
    const int64_t w = p.width, h = p.height;
    if (clockwise)
        fill_from(number, p,
                  [&](int64_t x, int64_t y) { return static_cast<size_t>((h - 1 - x) * w + y); });
    else
        fill_from(number, p,
                  [&](int64_t x, int64_t y) { return static_cast<size_t>(x * w + (w - 1 - y)); });
    rebuild_window_edges();
    repaint_current();
}

// Smooth scaling of an 8-bit picture: the averaged colours of its table's
// entries, each mapped back to the nearest entry.
void smooth_scale_indexes(int number, const Picture& p) {
    const ImageWindowRecord& rec = image_table[number];
    const size_t count = static_cast<size_t>(p.width) * p.height;
    std::unique_ptr<uint32_t[]> colours(new uint32_t[count]);
    for (size_t i = 0; i < count; ++i) colours[i] = rec.colours[p.bytes[i]] & 0x00FFFFFFu;
    std::unique_ptr<uint32_t[]> scaled(new uint32_t[static_cast<size_t>(rec.width) * rec.height]);
    pf::smooth_scale(colours.get(), p.width, p.height, p.width, scaled.get(), rec.width,
                     rec.height);
    pf::NearestColour nearest(rec.colours, 256);
    for (int32_t y = 0; y < rec.height; ++y) {
        uint8_t* row = row_of(number, y);
        const uint32_t* in = scaled.get() + static_cast<size_t>(y) * rec.width;
        for (int32_t x = 0; x < rec.width; ++x) row[x] = nearest(in[x]);
    }
}

// Rescales by `per_mille`, rounded to whole pixels.
void rescale(int number, int64_t per_mille) {
    const Picture p = copy_aside(number);
    const int64_t w = (p.width * per_mille + 500) / 1000, h = (p.height * per_mille + 500) / 1000;
    if (KPL_ResizeImage(number, static_cast<int>(w), static_cast<int>(h)) != 0) {
        repaint_current();
        return;
    }
    if (KPL_GetStretchMode(number) == kStretchSmooth) {
        if (p.depth == 32) {
            const ImageWindowRecord& rec = image_table[number];
            std::unique_ptr<uint32_t[]> scaled(new uint32_t[static_cast<size_t>(w * h)]);
            pf::smooth_scale(reinterpret_cast<const uint32_t*>(p.bytes.get()), p.width, p.height,
                             p.width, scaled.get(), rec.width, rec.height);
            for (int32_t y = 0; y < rec.height; ++y)
                std::memcpy(row_of(number, y), scaled.get() + static_cast<size_t>(y) * rec.width,
                            static_cast<size_t>(rec.width) * 4);
        } else {
            smooth_scale_indexes(number, p);
        }
    } else {
        // Nearest pixel, as a zoomed repaint picks it.
        fill_from(number, p, [&](int64_t x, int64_t y) {
            return static_cast<size_t>(y * p.height / h * p.width + x * p.width / w);
        });
    }
    rebuild_window_edges();
    repaint_current();
}

// ---------------------------------------------------------------------------
// 3. Clipping

void clip(int number) {
    int32_t l = 0, t = 0, r = 0, b = 0;
    if (KPL_PickBox(number, &l, &t, &r, &b) != 0) return;
    if (!image_live(number)) return;
    const int32_t w = r - l + 1, h = b - t + 1, depth = image_table[number].bitDepth;
    uint32_t colours[256];
    std::memcpy(colours, image_table[number].colours, sizeof colours);
    Picture p;
    p.width = w;
    p.height = h;
    p.depth = depth;
    p.bytes.reset(new uint8_t[static_cast<size_t>(w) * h * p.pixel_size()]);
    KPL_SelectImage(number);
    KPL_GetImageBlock(p.bytes.get(), l, t, w, h);
    char title[96];
    std::snprintf(title, sizeof title, "(%d,%d)-(%d,%d)", l, t, r, b);
    int made = -1;
    {
        // Numbers in use refuse quietly: the lowest free one is looked for.
        const QuietMisuse quiet;
        for (int k = 0; k < kImageSlots && made < 0; ++k)
            if (KPL_CreateImageWindow(k, title, 0, 0, w, h, 100, depth) == 0) made = k;
    }
    if (made < 0) return;
    if (depth == 8) KPL_SetPalette(colours, 256);
    KPL_PutImageBlock(p.bytes.get(), 0, w, h);
    KPL_UpdateImage(made);
}

// ---------------------------------------------------------------------------
// 4. Colours

// The custom colours of the colour dialog, kept for the whole run.
uint32_t custom_colours[16] = {};

void change_colour() {
    uint32_t chosen = static_cast<uint32_t>(drawing_colour);
    pf::choose_colour(static_cast<uint32_t>(drawing_colour), custom_colours, &chosen);
    drawing_colour = static_cast<int32_t>(chosen);
    kpl_tttc = chosen;
    kpl_tc = static_cast<int32_t>(chosen);
}

void pick_colour(int number) {
    int32_t x = 0, y = 0;
    // The tool leaves the picked image current.
    if (KPL_PickPoint(number, &x, &y) != 0 || !image_live(number)) return;
    const int32_t v = KPL_GetPixel(x, y);
    drawing_colour = v;
    kpl_tttc = image_table[number].bitDepth == 32
                   ? static_cast<uint32_t>(v)
                   : image_table[number].colours[static_cast<uint8_t>(v)] & 0x00FFFFFFu;
}

// ---------------------------------------------------------------------------
// 5. Drawing by hand

void draw_line(int number, int32_t id) {
    KPL_SelectImage(number);
    const int32_t c = drawing_colour;
    int32_t x1 = 0, y1 = 0, x2 = 0, y2 = 0;
    int code = 0;
    if (id == kDrawLine) {
        code = KPL_PickLine(number, &x1, &y1, &x2, &y2);
    } else if (id == kDrawHorz) {
        code = KPL_PickRow(number, &x1, &y1);
        x1 = 0;
        x2 = image_table[number].width - 1;
        y2 = y1;
    } else {
        code = KPL_PickColumn(number, &x1, &y1);
        y1 = 0;
        y2 = image_table[number].height - 1;
        x2 = x1;
    }
    if (code != 0 || !image_live(number)) return;
    KPL_DrawLine(c, x1, y1, x2, y2);
    repaint_current();
}

void draw_box(int number, int32_t id) {
    KPL_SelectImage(number);
    int32_t l = 0, t = 0, r = 0, b = 0;
    if (KPL_PickBox(number, &l, &t, &r, &b) != 0) return;
    if (id == kDrawBox)
        KPL_DrawBox(l, t, r, b);
    else if (id == kFillBox)
        KPL_FillBox(l, t, r, b, drawing_colour, drawing_colour);
    else
        KPL_InvertFillBox(l, t, r, b);
    repaint_current();
}

void draw_circle(int number, int32_t id) {
    KPL_SelectImage(number);
    int32_t cx = 0, cy = 0, radius = 0;
    if (KPL_PickCircle(number, &cx, &cy, &radius) != 0) return;
    if (id == kDrawCircle)
        KPL_DrawCircle(drawing_colour, cx, cy, radius);
    else if (id == kFillCircle)
        KPL_FillCircle(cx, cy, radius);
    else
        KPL_InvertFillCircle(cx, cy, radius);
    repaint_current();
}

void paint(int number) {
    KPL_SelectImage(number);
    int32_t x = 0, y = 0;
    if (KPL_PickPoint(number, &x, &y) != 0) return;
    KPL_Paint(x, y);
    repaint_current();
}

void test_pattern(int number, void (*pattern)()) {
    KPL_SelectImage(number);
    pattern();
    repaint_current();
}

}  // namespace

// ---------------------------------------------------------------------------
// 6. Dispatch

bool image_command(pf::WindowId window, int32_t id) {
    const int n = KPL_FindImageByWindow(window);
    // A command for a window whose image has gone is still ours: it does nothing.
    const auto on_image = [n](auto work) {
        if (n >= 0) work(n);
        return true;
    };
    switch (id) {
        case kInvert:
            return on_image([](int k) {
                invert(k);
                repaint(k);
            });
        case kFlipHorz:
            return on_image([](int k) {
                flip_horizontally(k);
                repaint(k);
            });
        case kFlipVert:
            return on_image([](int k) {
                flip_vertically(k);
                repaint(k);
            });
        case kRotateRight:
            return on_image([](int k) { rotate(k, true); });
        case kRotateLeft:
            return on_image([](int k) { rotate(k, false); });
        case kSize50:
            return on_image([](int k) { rescale(k, 500); });
        case kSize71:
            return on_image([](int k) { rescale(k, 707); });
        case kSize141:
            return on_image([](int k) { rescale(k, 1414); });
        case kSize200:
            return on_image([](int k) { rescale(k, 2000); });
        case kClipping:
            return on_image(clip);
        case kColorChange:
            change_colour();
            return true;
        case kColorPick:
            return on_image(pick_colour);
        case kDrawLine:
        case kDrawHorz:
        case kDrawVert:
            return on_image([id](int k) { draw_line(k, id); });
        case kDrawBox:
        case kFillBox:
        case kXorBox:
            return on_image([id](int k) { draw_box(k, id); });
        case kDrawCircle:
        case kFillCircle:
        case kXorCircle:
            return on_image([id](int k) { draw_circle(k, id); });
        case kPaint:
            return on_image(paint);
        case kPatternRgb:
            return on_image([](int k) { test_pattern(k, KPL_TestPatternRgb); });
        case kPatternHsv:
            return on_image([](int k) { test_pattern(k, KPL_TestPatternHsv); });
        case kPatternYCrCb:
            return on_image([](int k) { test_pattern(k, KPL_TestPatternYCrCb); });
        case kPatternYuv:
            return on_image([](int k) { test_pattern(k, KPL_TestPatternYuv); });
        case kPatternYiq:
            return on_image([](int k) { test_pattern(k, KPL_TestPatternYiq); });
        case kPatternGrey:
            return on_image([](int k) { test_pattern(k, KPL_TestPatternGrey); });
        default:
            return false;
    }
}

}  // namespace kaplo

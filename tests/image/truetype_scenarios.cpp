// TrueType text on the real framework (Qt offscreen): the cursor, control
// codes, two-level ink, clipping, the cell set from a box,
// Japanese and broken UTF-8, the font dialog (hook and real dialog), and the
// process menu's text commands.
//
// Everything that draws runs in UserMain on the worker thread.
#include <kaplo.h>

#include <QFontDialog>
#include <algorithm>
#include <string>
#include <thread>
#include <vector>

#include "image/commands.h"
#include "image/truetype_text.h"
#include "platform/truetype.h"
#include "tests/driver.h"

namespace pf = kaplo::platform;

namespace {

auto& cursor = kaplo::image_text_cursor;

// A window-less image of one value everywhere, made current.
void fresh(int n, int width, int height, int depth, int32_t value) {
    KPL_DestroyImage(n);
    CHECK(KPL_CreateImageBuffer(n, width, height, depth) == 0);
    KPL_SelectImage(n);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) KPL_SetPixelNoMove(x, y, value);
}

void at(int x, int baseline) {
    cursor.text_x = cursor.left_margin = x;
    cursor.baseline_y = baseline;
}

// The pixels of image n that are not black, and the box around them.
int ink(int n) {
    const std::vector<uint32_t> p = pixels_of(n);
    return static_cast<int>(std::count_if(p.begin(), p.end(), [](uint32_t v) { return v != 0; }));
}
struct Box {
    int left = 1 << 30, top = 1 << 30, right = -1, bottom = -1;
};
Box ink_box(int n) {
    const std::vector<uint32_t> p = pixels_of(n);
    const int w = kaplo::image_table[n].width;
    Box b;
    for (int i = 0; i < static_cast<int>(p.size()); ++i)
        if (p[i] != 0)
            b = {std::min(b.left, i % w), std::min(b.top, i / w), std::max(b.right, i % w),
                 std::max(b.bottom, i / w)};
    return b;
}

// One character drawn in a fresh 32-bit image n (64 x 48, black), its cell's
// top-left at (8, 8).
void glyph(int n, int code) {
    fresh(n, 64, 48, 32, 0);
    at(8, 8 + kaplo::truetype_state().cell_height - 1);
    KPL_DrawTrueTypeChar(code);
}

void render_scenario() {
    kpl_tttc = 0xFFFFFF;
    const kaplo::TrueTypeState& state = kaplo::truetype_state();
    CHECK(state.cell_width == 8 && state.cell_height == 16 && state.font.height == 16 &&
          state.font.width == 8);

    // The cursor moves by the advance; a line break by the cell height.
    fresh(0, 200, 100, 32, 0);
    at(10, 30);
    KPL_DrawTrueTypeChar('A');
    KPL_DrawTrueTypeText("BC\a\r");  // other control codes do nothing
    CHECK(cursor.text_x == 34 && cursor.baseline_y == 30);
    KPL_DrawTrueTypeChar(10);
    CHECK(cursor.text_x == 10 && cursor.baseline_y == 46);
    CHECK(KPL_SetTrueTypeSize(40, 30) == 0);
    KPL_DrawChar('\n');  // the bitmap font keeps its own line height, not the cell's
    CHECK(cursor.baseline_y == 62 && KPL_SetTrueTypeSize(16, 16) == 0);

    // Control codes change the rendering and back.
    glyph(1, 'W');
    const int plain = ink(1);
    const std::vector<uint32_t> plain_pixels = pixels_of(1);
    KPL_DrawTrueTypeChar(3);
    glyph(2, 'W');
    CHECK(ink(2) > plain);
    KPL_DrawTrueTypeChar(4);
    glyph(3, 'o');
    const Box bare = ink_box(3);
    const std::vector<uint32_t> upright = pixels_of(3);
    KPL_DrawTrueTypeChar(1);
    glyph(2, 'o');
    CHECK(pixels_of(2) != upright && ink_box(2).bottom == bare.bottom);
    KPL_DrawTrueTypeChar(2);
    KPL_DrawTrueTypeChar(5);
    // For every cell, the underline runs under the character's whole advance
    // in the cell's bottom rows, at or above its baseline, never below it.
    for (const auto& [box_width, box_height] :
         {std::pair{16, 16}, {16, 12}, {24, 20}, {33, 24}, {40, 30}, {64, 48}}) {
        CHECK(KPL_SetTrueTypeSize(box_width, box_height) == 0);
        const int baseline = 8 + box_height - 1;
        fresh(2, 100, 80, 32, 0);
        at(8, baseline);
        KPL_DrawTrueTypeChar('o');
        const int advance = cursor.text_x - 8;
        const int bottom = ink_box(2).bottom;
        int under = 0;
        for (int x = 8; x < 8 + advance; ++x) under += KPL_GetPixel(x, bottom) != 0;
        CHECK(bottom <= baseline && bottom >= baseline - box_height / 4 && under == advance);
    }
    CHECK(KPL_SetTrueTypeSize(16, 16) == 0);
    KPL_DrawTrueTypeChar(6);
    glyph(2, 'W');
    CHECK(pixels_of(2) == plain_pixels);

    // Ink or untouched; the background shows through.
    const auto back = [](int i) { return static_cast<uint32_t>((i % 120 * 7 + i / 120 * 13)); };
    fresh(4, 120, 40, 32, 0);
    for (int i = 0; i < 120 * 40; ++i) KPL_SetPixelNoMove(i % 120, i / 120, back(i));
    kpl_tttc = 0xFF8000;
    at(2, 20);
    KPL_DrawTrueTypeText("Ag\xE6\x97\xA5");
    const std::vector<uint32_t> drawn = pixels_of(4);
    int text_pixels = 0, other = 0;
    for (int i = 0; i < 120 * 40; ++i)
        drawn[i] == 0xFF8000 ? ++text_pixels : other += drawn[i] != back(i);
    CHECK(other == 0 && text_pixels > 30);
    kpl_tttc = 0xFFFFFF;

    // Clipped at the edges: the part inside is what an unclipped glyph has
    // there.
    glyph(1, 'W');
    const std::vector<uint32_t> whole = pixels_of(1);
    fresh(6, 64, 48, 32, 0);
    at(-5, 8 + 15 - 20);
    KPL_DrawTrueTypeChar('W');
    const std::vector<uint32_t> cut = pixels_of(6);
    int differ = 0;
    for (int y = 0, sy = 20; y < 48; ++y, ++sy)
        for (int x = 0, sx = 13; x < 64; ++x, ++sx)
            differ += cut[y * 64 + x] != (sx < 64 && sy < 48 ? whole[sy * 64 + sx] : 0);
    CHECK(differ == 0 && ink(6) > 0 && ink(6) < plain);

    // A box 33 wide and 24 high: a 16 x 24 cell whose top row is the box's.
    CHECK(KPL_SetTrueTypeSize(33, 24) == 0);
    CHECK(state.cell_width == 16 && state.cell_height == 24 && state.font.width == 16 &&
          state.font.height == 24);
    fresh(7, 100, 60, 32, 0);
    at(5, 10 + 24 - 1);
    KPL_DrawTrueTypeText("Hj");
    const Box in_box = ink_box(7);
    CHECK(in_box.top >= 10 && in_box.top <= 14 && in_box.bottom > 30 && in_box.left >= 5);
    CHECK(cursor.text_x >= 5 + 30 && cursor.text_x <= 5 + 34);
    CHECK(KPL_SetTrueTypeSize(10, 0) == 1 && KPL_SetTrueTypeSize(-4, 10) == 1);
    CHECK(state.cell_width == 16 && state.cell_height == 24);
    CHECK(KPL_SetTrueTypeSize(16, 16) == 0);

    // Japanese written in the source: three full-width characters.
    fresh(8, 80, 24, 32, 0);
    at(0, 16);
    KPL_DrawTrueTypeText("日本語");
    CHECK(cursor.text_x >= 45 && cursor.text_x <= 51 && ink(8) > 45);

    // A sequence cut short by the end stops the walk; a stray byte is U+FFFD.
    at(0, 16);
    KPL_DrawTrueTypeText("AB\xE6\x97");
    CHECK(cursor.text_x == 16);
    glyph(1, 0xFFFD);
    const int replacement_advance = cursor.text_x - 8;
    const std::vector<uint32_t> replacement = pixels_of(1);
    CHECK(replacement_advance > 0 && ink(1) > 0);
    glyph(2, 0xD800);
    CHECK(pixels_of(2) == replacement);
    fresh(2, 64, 48, 32, 0);
    at(8, 23);
    KPL_DrawTrueTypeText("\xFF");
    CHECK(pixels_of(2) == replacement);
    at(0, 16);
    KPL_DrawTrueTypeText("A\xC3(B\xE0\x80");  // a bad second byte, an overlong form
    CHECK(cursor.text_x == 8 + replacement_advance + 8 + 8 + 2 * replacement_advance);
}

// The font dialog: through the hook (cancel keeps the font, a choice changes
// the rendering, the cell stays), then the real dialog, cancelled and
// accepted on the GUI thread.
void dialog_scenario() {
    CHECK(KPL_CreateImage(0, "text", 10, 10, 100, 60, 100) == 0);
    kpl_tttc = 0xFFFFFF;
    const pf::FontDescription font = kaplo::truetype_state().font;
    pf::FontDescription seen;
    int height = 0;  // what the hook chooses; 0 cancels
    pf::set_font_dialog_answer_hook([&](const pf::FontDescription& start) {
        seen = start;
        pf::FontDescription chosen = start;
        chosen.height = height;
        chosen.width = 0;
        return height ? std::optional(chosen) : std::nullopt;
    });
    const auto change_font = [] {
        CHECK(kaplo::text_command(kaplo::image_table[0].window, kaplo::command::kFontChange));
    };
    change_font();
    CHECK(seen == font && kaplo::truetype_state().font == font);
    height = 30;
    change_font();
    CHECK(kaplo::truetype_state().font.height == 30 && kaplo::truetype_state().cell_height == 16);
    glyph(1, 'W');
    const Box big = ink_box(1);
    CHECK(big.bottom - big.top > 16);
    pf::set_font_dialog_answer_hook({});
    CHECK(KPL_SetTrueTypeSize(16, 16) == 0);

    // The real dialog, asked from another thread so the worker can watch.
    for (const bool accept : {false, true}) {
        std::optional<pf::FontDescription> chosen;
        std::thread asker([&] { chosen = pf::ask_font(kaplo::truetype_state().font); });
        CHECK(on_visible<QFontDialog>([&](QFontDialog* d) {
            QFont f = d->currentFont();
            f.setPixelSize(28);
            f.setUnderline(true);
            d->setCurrentFont(f);
            accept ? d->accept() : d->reject();
        }));
        asker.join();
        CHECK(accept ? chosen && chosen->height == 28 && chosen->underline && chosen->width == 0
                     : !chosen);
    }
}

// The commands with the tools, clicked and typed as a user does: each click
// once its prompt shows, the line once the line input waits.
void commands_scenario() {
    CHECK(KPL_CreateImage(0, "text", 10, 10, 200, 100, 100) == 0);
    CHECK(KPL_CreateImage(1, "bitmap", 10, 150, 200, 100, 100) == 0);
    kpl_tttc = 0x00FF00;
    KPL_OpenTextWindow(0, -1, -1, -1, -1);
    // "TrueType Draw": a box picked by two clicks sets the cell, then the line.
    std::thread driver([] {
        CHECK(says("Click the first point"));
        post_mouse(kaplo::image_table[0].window, pf::MsgType::LeftDown, 20, 30);
        CHECK(says("Click the second point"));
        post_mouse(kaplo::image_table[0].window, pf::MsgType::LeftDown, 52, 53);
        answer(u"Hi\r").join();
    });
    CHECK(kaplo::text_command(kaplo::image_table[0].window, kaplo::command::kTrueTypeDraw));
    driver.join();
    const Box box = ink_box(0);
    CHECK(box.top >= 30 && box.left >= 20 && box.bottom <= 56);
    CHECK(kaplo::truetype_state().cell_width == 16 && kaplo::truetype_state().cell_height == 24);

    // "Draw Text": one click, then the line in the bitmap font, in the
    // drawing colour, whose glyphs end on the clicked row.
    kaplo::drawing_colour = 0xFF00FF;
    std::thread typist([] {
        CHECK(says("Click a point"));
        post_mouse(kaplo::image_table[1].window, pf::MsgType::LeftDown, 40, 60);
        answer(u"Ab\r").join();
    });
    CHECK(kaplo::text_command(kaplo::image_table[1].window, kaplo::command::kDrawText));
    typist.join();
    const Box drawn = ink_box(1);
    CHECK(drawn.left >= 40 && drawn.left < 48 && drawn.bottom <= 60 && drawn.bottom > 50);
    CHECK(kpl_tc == 0xFF00FF);
}

}  // namespace

void UserInit() {
    start_run();
}

void UserMain() {
    run_scenario({{"render", render_scenario},
                  {"dialog", dialog_scenario},
                  {"commands", commands_scenario}});
}

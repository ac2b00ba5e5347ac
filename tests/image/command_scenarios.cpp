// The image commands of the process menu on the real framework (Qt offscreen):
// invert, flips, rotations, rescaling, test patterns and the colour dialog,
// and the commands drawn by hand with the mouse tools.
//
// Everything runs in UserMain on the worker thread, which owns the image
// windows: commands posted to them run when it pumps. The mouse tools are
// driven by a second thread that posts mouse messages, as the window system
// would, while the worker runs the tool.
#include <kaplo.h>

#include <QColorDialog>
#include <array>
#include <atomic>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "image/commands.h"
#include "platform/colour_dialog.h"
#include "tests/driver.h"

namespace pf = kaplo::platform;
using namespace kaplo::command;

namespace {

const auto window_of = [](int n) { return kaplo::image_table[n].window; };
const auto width_of = [](int n) { return kaplo::image_table[n].width; };
const auto height_of = [](int n) { return kaplo::image_table[n].height; };

void pump_a_while() {
    for (int i = 0; i < 20; ++i) {
        KPL_ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// Runs command `id` of image `n`'s window as the process menu sends it.
void run(int n, int32_t id) {
    pf::post_command(window_of(n), id);
    pump_a_while();
}

// Reads pixel (x, y) of image n, the current image kept.
int32_t pixel(int n, int32_t x, int32_t y) {
    KPL_SelectImage(n);
    const int32_t v = KPL_GetPixel(x, y);
    KPL_SelectPreviousImage();
    return v;
}

// Fills image n with value(x, y), the current image kept.
template <class F>
void fill(int n, F value) {
    KPL_SelectImage(n);
    for (int32_t y = 0; y < height_of(n); ++y)
        for (int32_t x = 0; x < width_of(n); ++x) KPL_SetPixelNoMove(x, y, value(x, y));
    KPL_SelectPreviousImage();
}

// True when every pixel of image n is expected(x, y).
template <class F>
bool all_pixels(int n, F expected) {
    for (int32_t y = 0; y < height_of(n); ++y)
        for (int32_t x = 0; x < width_of(n); ++x)
            if (pixel(n, x, y) != expected(x, y)) return false;
    return true;
}

const auto small = [](int32_t x, int32_t y) { return x + 10 * y + 1; };
const auto code = [](int32_t x, int32_t y) { return (y << 8) | x; };

// Invert, flips and rotations, 32-bit (3 x 2) and 8-bit (5 x 3, rows padded
// to 8 and, turned, to 4), each step on what the one before left. Only the
// rotations make the window's image current.
void transform_scenario() {
    CHECK(KPL_CreateImage(0, "a", 0, 0, 3, 2, 100) == 0);
    CHECK(KPL_CreateImage8(1, "b", 100, 0, 5, 3, 100) == 0);
    fill(0, small);
    fill(1, small);
    using Pixel = int32_t (*)(int32_t x, int32_t y);
    const struct {
        int n;
        int32_t id;
        int width, height;
        Pixel expected;
    } steps[] = {
        {0, kFlipHorz, 3, 2, [](int32_t x, int32_t y) { return small(2 - x, y); }},
        {0, kFlipVert, 3, 2, [](int32_t x, int32_t y) { return small(2 - x, 1 - y); }},
        // Clockwise: the old bottom-left goes to the top-left.
        {0, kRotateRight, 2, 3, [](int32_t x, int32_t y) { return small(2 - y, x); }},
        {0, kRotateLeft, 3, 2, [](int32_t x, int32_t y) { return small(2 - x, 1 - y); }},
        {0, kInvert, 3, 2, [](int32_t x, int32_t y) { return small(2 - x, 1 - y) ^ 0xFFFFFF; }},
        {1, kFlipHorz, 5, 3, [](int32_t x, int32_t y) { return small(4 - x, y); }},
        {1, kFlipVert, 5, 3, [](int32_t x, int32_t y) { return small(4 - x, 2 - y); }},
        {1, kRotateRight, 3, 5, [](int32_t x, int32_t y) { return small(4 - y, x); }},
        {1, kRotateLeft, 5, 3, [](int32_t x, int32_t y) { return small(4 - x, 2 - y); }},
        {1, kInvert, 5, 3, [](int32_t x, int32_t y) { return 255 - small(4 - x, 2 - y); }},
    };
    for (const auto& s : steps) {
        KPL_SelectImage(1 - s.n);
        run(s.n, s.id);
        const bool rotates = s.id == kRotateRight || s.id == kRotateLeft;
        CHECK(kaplo::current_image() == (rotates ? s.n : 1 - s.n));
        CHECK(width_of(s.n) == s.width && height_of(s.n) == s.height);
        if (!all_pixels(s.n, s.expected))
            std::printf("FAIL command %d of image %d\n", s.id, s.n), failures++;
    }
}

// Rescaling by the four factors, nearest and smooth, 32-bit and 8-bit.
void rescale_scenario() {
    CHECK(KPL_CreateImage(0, "a", 0, 0, 100, 51, 100) == 0);
    fill(0, code);
    run(0, kSize71);
    // Nearest pixel: source (x * 100 / 71, y * 51 / 36).
    CHECK(pixel(0, 0, 0) == 0 && pixel(0, 1, 1) == 0x0101);
    CHECK(pixel(0, 35, 18) == 0x1931 && pixel(0, 70, 35) == 0x3162);
    for (const auto& [id, w, h] : {std::array<int, 3>{kSize71, 71, 36},
                                   {kSize141, 100, 51},  // (71 * 1414 + 500) / 1000
                                   {kSize200, 200, 102},
                                   {kSize50, 100, 51}}) {
        if (id != kSize71) run(0, id);
        CHECK(width_of(0) == w && height_of(0) == h);
    }

    // Smooth: alternating black and white columns average to grey.
    CHECK(KPL_CreateImage(1, "s", 300, 0, 8, 4, 100) == 0);
    fill(1, [](int32_t x, int32_t) { return x % 2 ? 0xFFFFFF : 0; });
    CHECK(KPL_SetStretchMode(4, 1) == 0);
    run(1, kSize50);
    CHECK(width_of(1) == 4 && height_of(1) == 2 && KPL_GetStretchMode(1) == 4);
    CHECK(all_pixels(1, [](int32_t, int32_t) { return 0x808080; }));

    // 8-bit smooth: the averaged colour goes to the nearest table entry.
    CHECK(KPL_CreateImage8(3, "h", 500, 0, 4, 1, 100) == 0);
    uint32_t table[256];
    for (uint32_t& c : table) c = 0xFF0000;
    table[0] = 0;
    table[1] = 0xFFFFFF;
    table[7] = 0x808080;
    CHECK(KPL_SetPalette(table, 256) == 0);
    fill(3, [](int32_t x, int32_t) { return x % 2; });
    KPL_SetStretchMode(4, 3);
    run(3, kSize50);
    CHECK(width_of(3) == 2 && height_of(3) == 1 && pixel(3, 0, 0) == 7 && pixel(3, 1, 0) == 7);

    // 1 x 1 stays 1 x 1.
    CHECK(KPL_CreateImage(4, "one", 600, 0, 1, 1, 100) == 0);
    fill(4, [](int32_t, int32_t) { return 0x345678; });
    run(4, kSize50);
    CHECK(width_of(4) == 1 && height_of(4) == 1 && pixel(4, 0, 0) == 0x345678);

    // A size past the limits leaves image and window as they were.
    CHECK(KPL_CreateImageFL(5, "wide", 0, 300, 10000, 100, 10) == 0);
    fill(5, code);
    const pf::WindowId before = window_of(5);
    run(5, kSize200);
    CHECK(width_of(5) == 10000 && height_of(5) == 100 && window_of(5) == before);
}

// Each test pattern goes into the window's own image, which becomes current.
void patterns_scenario() {
    CHECK(KPL_CreateImage(0, "a", 0, 0, 24, 12, 100) == 0);
    CHECK(KPL_CreateImage(1, "b", 200, 0, 24, 12, 100) == 0);
    CHECK(KPL_CreateImageBuffer(9, 24, 12, 32) == 0);
    const std::pair<int32_t, void (*)()> patterns[] = {{kPatternRgb, KPL_TestPatternRgb},
                                                       {kPatternGrey, KPL_TestPatternGrey}};
    for (const auto& [id, draw] : patterns) {
        KPL_SelectImage(9);
        draw();
        KPL_SelectImage(1);
        run(0, id);
        CHECK(kaplo::current_image() == 0);
        CHECK(all_pixels(0, [](int32_t x, int32_t y) { return pixel(9, x, y); }));
    }
}

bool colours_are(int32_t c) {
    return kaplo::drawing_colour == c && kpl_tc == c && kpl_tttc == static_cast<uint32_t>(c);
}

void colours_scenario() {
    CHECK(KPL_CreateImage(0, "a", 0, 0, 20, 10, 100) == 0);
    std::vector<std::pair<uint32_t, std::array<uint32_t, 16>>> calls;  // initial, custom
    std::optional<uint32_t> answer;
    std::pair<int, uint32_t> add_custom{-1, 0};
    const auto hook = [&](uint32_t initial, uint32_t* custom) {
        calls.emplace_back(initial, std::array<uint32_t, 16>{});
        std::memcpy(calls.back().second.data(), custom, sizeof calls.back().second);
        if (add_custom.first >= 0) custom[add_custom.first] = add_custom.second;
        return answer;
    };
    pf::set_colour_dialog_hook(hook);

    // Cancelled: the drawing colour stays and both text colours take it.
    kaplo::drawing_colour = 0x112233;
    kpl_tc = 5;
    kpl_tttc = 7;
    run(0, kColorChange);
    CHECK(calls.size() == 1 && calls[0].first == 0x112233 &&
          (calls[0].second == std::array<uint32_t, 16>{}));
    CHECK(colours_are(0x112233));

    // Chosen, with a custom colour added, which Qt's dialog below starts with.
    answer = 0x445566;
    add_custom = {3, 0xABCDEF};
    run(0, kColorChange);
    CHECK(colours_are(0x445566));
    answer.reset();
    add_custom = {-1, 0};

    // Qt's dialog starts at the drawing colour with the custom colours, and
    // what it holds at the end comes back, custom colours too.
    // Qt's dialog is answered on the GUI thread from a thread of its own
    // while the worker runs the command.
    pf::set_colour_dialog_hook({});
    std::thread driver([] {
        CHECK(on_visible<QColorDialog>([](QColorDialog* d) {
            CHECK((d->currentColor().rgb() & 0xFFFFFF) == 0x445566);
            CHECK((QColorDialog::customColor(3).rgb() & 0xFFFFFF) == 0xABCDEF);
            QColorDialog::setCustomColor(5, QColor(1, 2, 3));
            d->setCurrentColor(QColor(0, 255, 127));
            d->accept();
        }));
    });
    run(0, kColorChange);
    driver.join();
    CHECK(colours_are(0x00FF7F));
    pf::set_colour_dialog_hook(hook);
    run(0, kColorChange);
    CHECK(calls.size() == 3 && calls[2].second[5] == 0x010203 && calls[2].second[3] == 0xABCDEF);
    pf::set_colour_dialog_hook({});
}

// ---------------------------------------------------------------------------
// Commands drawn by hand.

using Points = std::vector<std::pair<int32_t, int32_t>>;

// Runs command `id` of image n while a second thread clicks `points` (image
// coordinates) once the tool has started, one click of `button` per point.
void run_with_clicks(int n, int32_t id, Points points, pf::MsgType button = pf::MsgType::LeftDown) {
    std::atomic<bool> done{false};
    std::thread driver([&] {
        CHECK(eventually([] { return kaplo::g_tool_active.load() == 1; }));
        for (size_t k = 0; k < points.size(); ++k) {
            // A two-point tool asks for its second point once it has the first.
            if (k > 0) CHECK(says("Click the second point"));
            image_mouse(n, pf::MsgType::MouseMove, points[k].first, points[k].second);
            image_mouse(n, button, points[k].first, points[k].second);
        }
        done = true;
    });
    pf::post_command(window_of(n), id);
    CHECK(eventually([&] {
        KPL_ProcessMessages();
        return done.load() && kaplo::g_tool_active.load() == 0;
    }));
    driver.join();
    pump_a_while();
}

void drawing_scenario() {
    // Clipping into the lowest free number, at the box's size.
    CHECK(KPL_CreateImageFL(0, "src", 0, 0, 40, 30, 100) == 0);
    fill(0, code);
    CHECK(KPL_CreateImageFL(2, "busy", 300, 0, 10, 10, 100) == 0);
    run_with_clicks(0, kClipping, {{10, 20}, {13, 22}});
    CHECK(kaplo::current_image() == 1 && width_of(1) == 4 && height_of(1) == 3);
    CHECK(std::string(kaplo::image_table[1].title.get()) == "(10,20)-(13,22)");
    CHECK(all_pixels(1, [&](int32_t x, int32_t y) { return code(10 + x, 20 + y); }));
    KPL_DestroyImage(1);
    KPL_DestroyImage(2);

    // An 8-bit source (zoom 200) hands its colour table on.
    CHECK(KPL_CreateImage8FL(3, "eight", 0, 200, 16, 16, 200) == 0);
    uint32_t table[256];
    for (int i = 0; i < 256; ++i) table[i] = 0x010101u * (255 - i);
    KPL_SetPalette(table, 256);
    fill(3, [](int32_t x, int32_t y) { return x + 16 * y; });
    run_with_clicks(3, kClipping, {{2, 2}, {4, 3}});
    CHECK(width_of(1) == 3 && height_of(1) == 2 && kaplo::image_table[1].bitDepth == 8 &&
          kaplo::image_table[1].colours[10] == table[10]);
    CHECK(pixel(1, 0, 0) == 2 + 32 && pixel(1, 2, 1) == 4 + 48);
    KPL_DestroyImage(1);

    // Pick: the drawing colour and the TrueType text colour, not the glyphs'.
    kpl_tc = 77;
    run_with_clicks(0, kColorPick, {{5, 6}});
    CHECK(kaplo::drawing_colour == code(5, 6) && kpl_tttc == static_cast<uint32_t>(code(5, 6)));
    CHECK(kpl_tc == 77 && kaplo::current_image() == 0);
    run_with_clicks(3, kColorPick, {{3, 1}});  // index 19
    CHECK(kaplo::drawing_colour == 19 && kpl_tttc == table[19] && kaplo::current_image() == 3);

    // Lines, boxes and circles in the drawing colour, each on what the ones
    // before drew; a cancelled tool (right button) draws nothing.
    CHECK(KPL_CreateImageFL(4, "draw", 300, 200, 40, 40, 100) == 0);
    kaplo::drawing_colour = 0x00FF00;
    constexpr int32_t G = 0x00FF00, X = 0xFF00FF;
    const struct {
        int32_t id;
        Points points;
        std::vector<std::array<int32_t, 3>> expected;  // x, y, value
        pf::MsgType button = pf::MsgType::LeftDown;
    } strokes[] = {
        {kDrawLine, {{2, 2}, {10, 2}}, {{2, 2, G}, {10, 2, G}, {11, 2, 0}}},
        {kDrawHorz, {{7, 5}}, {{0, 5, G}, {39, 5, G}}},
        {kDrawVert, {{30, 7}}, {{30, 0, G}, {30, 39, G}}},
        {kDrawBox, {{5, 5}, {9, 9}}, {{5, 7, G}, {9, 7, G}, {7, 9, G}, {7, 7, 0}}},
        {kFillBox, {{5, 5}}, {{7, 7, 0}}, pf::MsgType::RightDown},
        {kFillBox, {{5, 5}, {9, 9}}, {{7, 7, G}}},
        {kXorBox, {{5, 5}, {9, 9}}, {{7, 7, X}}},
        {kDrawCircle, {{20, 20}, {25, 20}}, {{25, 20, G}, {20, 20, 0}}},
        {kFillCircle, {{20, 20}, {25, 20}}, {{20, 20, G}}},
        {kXorCircle, {{20, 20}, {25, 20}}, {{20, 20, X}}},
    };
    for (const auto& s : strokes) {
        run_with_clicks(4, s.id, s.points, s.button);
        for (const auto& [x, y, value] : s.expected)
            if (pixel(4, x, y) != value)
                std::printf("FAIL command %d at (%d, %d)\n", s.id, x, y), failures++;
    }
    // Paint fills the area around the click up to another colour.
    fill(4, [](int32_t x, int32_t) { return x == 10 ? 0xFFFFFF : 0; });
    kaplo::drawing_colour = 0x0000FF;
    run_with_clicks(4, kPaint, {{3, 3}});
    CHECK(pixel(4, 0, 39) == 0x0000FF && pixel(4, 9, 0) == 0x0000FF && pixel(4, 11, 0) == 0);
}

}  // namespace

void UserInit() {
    make_probe_window();
    start_run();
}

void UserMain() {
    run_scenario({{"transform", transform_scenario},
                  {"rescale", rescale_scenario},
                  {"patterns", patterns_scenario},
                  {"colours", colours_scenario},
                  {"drawing", drawing_scenario}});
}

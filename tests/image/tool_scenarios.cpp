// The mouse tools and the measuring commands on the real framework (Qt
// offscreen), driven by mouse messages posted to an image window from a
// driver thread while UserMain runs the tools on the worker thread.
//
//   tool_scenarios tools     point, row, column, line, box and circle: their
//                            outputs, codes, prompts and bands, cancels,
//                            Stop and a closed window
//   tool_scenarios measures  the pixel report, the row profiles and the
//                            Cr-Cb plots, through measurement_command
#include <kaplo.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "image/commands.h"
#include "image/image_store.h"
#include "image/tool_state.h"
#include "tests/driver.h"
#include "text/log_file.h"

namespace pf = kaplo::platform;

namespace {

std::atomic<int> step{0};  // which tool UserMain runs

constexpr int kImage = 5;
constexpr int kScratch = 200;

uint32_t pattern(int x, int y) {
    return static_cast<uint32_t>((x * 37 + y * 91) * 0x010307 + 0x102030) & 0xFFFFFFu;
}
// Image kImage, w x h at `zoom` and current, shows the pattern.
void draw_pattern(int w, int h, int zoom) {
    CHECK(KPL_CreateImage(kImage, "source", 0, 0, w, h, zoom) == 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) KPL_SetPixel(x, y, static_cast<int32_t>(pattern(x, y)));
}

void move(int x, int y) {
    image_mouse(kImage, pf::MsgType::MouseMove, x, y);
}
void click(int x, int y) {
    image_click(kImage, x, y);
}
void right() {
    image_mouse(kImage, pf::MsgType::RightDown, 0, 0);
}

// `draw` over an image of w x h, black or `base` (worker thread): drawn in a
// window-less scratch image; the selection is left as it was.
std::vector<uint32_t> drawn(int w, int h, const std::function<void()>& draw,
                            const std::vector<uint32_t>* base = nullptr) {
    const kaplo::detail::Selection saved = kaplo::detail::selection;
    KPL_CreateImageBuffer(kScratch, w, h, 32);
    if (base) std::copy(base->begin(), base->end(), kaplo::pixels32[kScratch]);
    draw();
    std::vector<uint32_t> out = pixels_of(kScratch);
    KPL_DestroyImage(kScratch);
    kaplo::detail::selection = saved;
    return out;
}

std::vector<uint32_t> original;  // image kImage before every tool

// Driver thread: the tool of `s` runs, and image kImage shows `draw` over the
// original (a band), or nothing but the original.
bool running(int s) {
    return eventually([&] {
        return step.load() == s && on_worker([] { return kaplo::tool_state.active == 1; });
    });
}
bool shows(const std::function<void()>& draw) {
    return eventually([&] {
        return on_worker([&] {
            const std::vector<uint32_t> want = drawn(160, 100, draw, &original);
            return pixels_of(kImage) == want && want != original;
        });
    });
}
// The pointer moved to (x, y) shows `draw`.
bool moved(int x, int y, const std::function<void()>& draw) {
    move(x, y);
    return shows(draw);
}
bool clean() {
    return eventually([] { return on_worker([] { return pixels_of(kImage) == original; }); });
}

void row_band(int y) {
    KPL_InvertLine(0, y, 159, y);
}

// ---------------------------------------------------------------------------
// tools

void drive_tools() {
    // 1: a point.
    CHECK(running(1) && says("Click a point"));
    click(12, 34);
    // 2: a row follows the mouse; the click takes it.
    CHECK(running(2) && moved(5, 20, [] { row_band(20); }) && moved(5, 30, [] { row_band(30); }));
    click(7, 31);
    // 3: a column, cancelled by a middle click.
    CHECK(running(3) && moved(40, 5, [] { KPL_InvertLine(40, 0, 40, 99); }));
    image_mouse(kImage, pf::MsgType::MiddleDown, 40, 5);
    // 4: a line: a cancel after the first point goes back to it; the
    // outputs are in click order.
    CHECK(running(4) && says("Click the first point"));
    click(10, 10);
    CHECK(says("Click the second point") && shows([] { KPL_InvertLine(10, 10, 10, 10); }));
    CHECK(moved(30, 20, [] { KPL_InvertLine(10, 10, 30, 20); }));
    right();
    CHECK(says("Click the first point") && clean());
    click(50, 40);
    CHECK(says("Click the second point") && moved(20, 5, [] { KPL_InvertLine(50, 40, 20, 5); }));
    click(20, 5);
    // 5: a box from its lower right corner.
    CHECK(running(5));
    click(60, 50);
    CHECK(says("Click the second point") && moved(20, 10, [] { KPL_InvertBox(60, 50, 20, 10); }));
    click(20, 10);
    // 6: a box cancelled before its first point.
    CHECK(running(6));
    right();
    // 7: a circle of radius 0 while Q = P inverts nothing; then 5 (3 right,
    // 4 down).
    CHECK(running(7));
    click(40, 40);
    CHECK(says("Click the second point") && clean());
    CHECK(moved(43, 44, [] { KPL_InvertCircle(40, 40, 5); }));
    click(43, 44);
    // 8, 9: Stop with a band shown, in a one-point and a two-point tool.
    CHECK(running(8) && moved(8, 9, [] { row_band(9); }));
    main_command(kStop);
    CHECK(running(9));
    click(20, 20);
    CHECK(moved(25, 30, [] { KPL_InvertLine(20, 20, 25, 30); }));
    main_command(kStop);
    // 10: the window closed while a line follows the mouse; tool hints on.
    CHECK(running(10) && says("Click the first point (right: cancel)"));
    click(20, 20);
    CHECK(says("Click the second point (right: back)"));
    CHECK(moved(25, 30, [] { KPL_InvertLine(20, 20, 25, 30); }));
    pf::Message close;
    close.type = pf::MsgType::Close;
    pf::post(kaplo::image_table[kImage].window, close);
}

// The status line with no prompt.
std::string idle() {
    char depth[32];
    std::snprintf(depth, sizeof depth, "%d-bit color", kaplo::display_depth());
    return prompt(depth);
}

void tools() {
    std::thread(drive_tools).detach();
    const int n = kImage;
    draw_pattern(160, 100, 200);
    original = pixels_of(n);
    KPL_CreateImage(6, "other", 400, 0, 20, 20, 100);

    // Numbers not in use: code 2, no prompt, outputs untouched.
    int a = -9, b = -9, c = -9, d = -9;
    CHECK(KPL_PickPoint(300, &a, &b) == 2 && KPL_PickLine(9, &a, &b, &c, &d) == 2);
    CHECK(a == -9 && b == -9 && c == -9 && d == -9 && status_text() == idle() &&
          kaplo::current_image() == 6);

    // Step s: `pick` runs a tool, which gives `want`, the outputs `outs`
    // (-1: not an output) and ends idle, with the original buffer and the
    // tool image current.
    const auto tool = [&](int s, int want, std::array<int, 4> outs, auto pick) {
        a = b = c = d = -1;
        step = s;
        CHECK(pick() == want);
        CHECK((std::array<int, 4>{a, b, c, d}) == outs);
        CHECK(pixels_of(n) == original && status_text() == idle());
        CHECK(kaplo::tool_state.active == 0 && kaplo::tool_state.toolSlot == -1 &&
              kaplo::current_image() == n);
        KPL_SelectImage(6);
    };
    tool(1, 0, {12, 34, -1, -1}, [&] { return KPL_PickPoint(n, &a, &b); });
    tool(2, 0, {7, 31, -1, -1}, [&] { return KPL_PickRow(n, &a, &b); });
    tool(3, 1, {0, 0, -1, -1}, [&] { return KPL_PickColumn(n, &a, &b); });
    tool(4, 0, {50, 40, 20, 5}, [&] { return KPL_PickLine(n, &a, &b, &c, &d); });
    tool(5, 0, {20, 10, 60, 50}, [&] { return KPL_PickBox(n, &a, &b, &c, &d); });
    tool(6, 1, {0, 0, 0, 0}, [&] { return KPL_PickBox(n, &a, &b, &c, &d); });
    tool(7, 0, {40, 40, 5, -1}, [&] { return KPL_PickCircle(n, &a, &b, &c); });
    tool(8, 1, {0, 0, -1, -1}, [&] { return KPL_PickRow(n, &a, &b); });
    tool(9, 1, {0, 0, 0, 0}, [&] { return KPL_PickLine(n, &a, &b, &c, &d); });
    step = 10;
    KPL_SetToolHints(1);
    CHECK(KPL_PickLine(n, &a, &b, &c, &d) == 1 && !kaplo::image_live(n) &&
          status_text() == idle() && kaplo::tool_state.active == 0);
}

// ---------------------------------------------------------------------------
// measures

void drive_measures() {
    // Steps 1..7 each take a click (image, x, y); 7 a second one.
    const int clicks[7][3] = {{5, 7, 8}, {6, 3, 4}, {5, 10, 8}, {5, 10, 8},
                              {6, 0, 4}, {7, 1, 0}, {7, 0, 0}};
    for (int i = 0; i < 7; ++i) {
        CHECK(running(i + 1));
        image_click(clicks[i][0], clicks[i][1], clicks[i][2]);
    }
    CHECK(says("Click the second point"));
    image_click(7, 2, 1);
    CHECK(running(8));
    right();
}

void text(const char* s, int x, int y, int32_t colour) {
    kaplo::image_text_cursor = {x, x, y};
    kpl_tc = colour;
    KPL_DrawString(s);
}
// A profile graph drawn by hand, w x 128, black: each trace's values v(i)
// joined from (12, 127 - v(0) x 127 / scale) on, one column per value, its
// label at x 2 and baselines 40, 72, 104 in its colour.
struct Trace {
    std::vector<int> values;
    int scale;
    int32_t colour;
    const char* label;
};
std::vector<uint32_t> profile_graph(int w, std::initializer_list<Trace> traces) {
    return drawn(w, 128, [&] {
        int baseline = 40;
        for (const Trace& t : traces) {
            const auto y = [&](size_t i) { return 127 - t.values[i] * 127 / t.scale; };
            for (size_t i = 1; i < t.values.size(); ++i)
                KPL_DrawLine(t.colour, 11 + static_cast<int>(i), y(i - 1), 12 + static_cast<int>(i),
                             y(i));
            text(t.label, 2, baseline, t.colour);
            baseline += 32;
        }
    });
}

// The Cr-Cb plane drawn by hand with paths: each path's first point set in
// white, each further one joined to the one before, in white or
// (`alternate`) in 0xFF00FF and white by turns.
using Path = std::vector<std::pair<int, int>>;
std::vector<uint32_t> crcb_graph(std::initializer_list<Path> paths, bool alternate) {
    return drawn(256, 256, [&] {
        KPL_DrawLine(0x808080, 0, 128, 256, 128);
        KPL_DrawLine(0x808080, 128, 0, 128, 256);
        text("Cr", 110, 16, 0xFF8888);
        text("Cb", 238, 144, 0x8888FF);
        for (const Path& p : paths) {
            KPL_SetPixel(p[0].first, p[0].second, 0xFFFFFF);
            for (size_t i = 1; i < p.size(); ++i)
                KPL_DrawLine(alternate && i % 2 ? 0xFF00FF : 0xFFFFFF, p[i - 1].first,
                             p[i - 1].second, p[i].first, p[i].second);
        }
    });
}

void measures() {
    std::thread(drive_measures).detach();
    draw_pattern(500, 60, 100);
    KPL_SetPixel(7, 8, 0xFF0000);
    CHECK(KPL_CreateImage8(6, "indexes", 0, 200, 40, 30, 100) == 0);
    for (int x = 0; x < 40; ++x) KPL_SetPixel(x, 4, x == 3 ? 77 : x * 6);
    CHECK(KPL_CreateImage(7, "three", 0, 300, 3, 2, 100) == 0);
    const uint32_t three[6] = {0xFF0000, 0x00FF00, 0x0000FF, 0x808080, 0xFF0000, 0x808080};
    KPL_PutImageBlock(three, 0, 3, 2);
    auto window = [](int n) { return kaplo::image_table[n].window; };

    // The pixel report, into the text window's log.
    CHECK(KPL_OpenTextWindow(0, 600, 0, 400, 300) == 0);
    const std::string log = kaplo::log_file_name(0);
    std::remove(log.c_str());
    CHECK(KPL_StartLog(0) == 0);
    step = 1;
    CHECK(kaplo::measurement_command(window(5), 1015));
    step = 2;
    CHECK(kaplo::measurement_command(window(6), 1015));
    KPL_StopLog(0);
    CHECK(read_file(log) ==
          "(X,Y)=(7,8)\n(R,G,B)=(255,0,0)\n(H,S,V)=(0,255,255)\n(Y,Cr,Cb)=(76,128,-42)\n"
          "(Y,u,v)=(76,-36,157)\n(Y,I,Q)=(76,152,53)\n\n(X,Y)=(3,4)\n(Luminance)=(77)\n\n");
    std::remove(log.c_str());
    CHECK(kaplo::current_image() == 6);

    // Row profiles (curves of row 8) and Cr-Cb plots, in the lowest free
    // numbers. Red is at (86, 0), green at (45, 234), blue at (256, 148)
    // (outside), grey at (128, 128).
    std::vector<int> r, g, b, bytes;
    for (int x = 0; x < 500; ++x) {
        const int32_t p = x == 7 ? 0xFF0000 : static_cast<int32_t>(pattern(x, 8));
        r.push_back((p >> 16) & 255), g.push_back((p >> 8) & 255), b.push_back(p & 255);
        if (x < 40) bytes.push_back(x == 3 ? 77 : x * 6);
    }
    const Path red_green_blue = {{86, 0}, {45, 234}, {256, 148}};
    const struct {
        int source, command, graph, w, h;
        const char* title;
        std::vector<uint32_t> picture;  // none: only the text colour left
        int32_t text_colour;
    } graphs[] = {
        {5, 1016, 0, 512, 128, "RGB(Y=8)",
         profile_graph(512,
                       {{r, 255, 0xFF0000, "R"}, {g, 255, 0x00FF00, "G"}, {b, 255, 0x0000FF, "B"}}),
         0x0000FF},
        {5, 1018, 1, 520, 128, "YCrCb(Y=8)", {}, 0x8888FF},
        {6, 1070, 2, 52, 128, "Luminance(Y=4)", profile_graph(52, {{bytes, 255, 0xFFFFFF, "L"}}),
         0xFFFFFF},
        {7, 1021, 3, 256, 256, "CrCb(Y=0)", crcb_graph({red_green_blue}, true), 0x8888FF},
        {7, 1022, 4, 256, 256, "CrCb(0,0)-(2,1)",
         crcb_graph({red_green_blue, {{128, 128}, {86, 0}, {128, 128}}}, false), 0x8888FF},
    };
    for (const auto& gr : graphs) {
        step = step + 1;
        CHECK(kaplo::measurement_command(window(gr.source), gr.command));
        const kaplo::ImageWindowRecord& rec = kaplo::image_table[gr.graph];
        CHECK(kaplo::image_live(gr.graph) && kaplo::current_image() == gr.graph);
        CHECK(rec.width == gr.w && rec.height == gr.h && rec.bitDepth == 32);
        CHECK(image_caption(gr.graph).rfind(gr.title, 0) == 0 && kpl_tc == gr.text_colour);
        CHECK(gr.picture.empty() || pixels_of(gr.graph) == gr.picture);
    }
    CHECK(pixels_of(1)[64 * 520 + 19] == 0);  // the YCrCb labels left of the curves
    // A cancelled tool makes no graph.
    step = 8;
    CHECK(kaplo::measurement_command(window(5), 1021) && !kaplo::image_live(8));
    CHECK(!kaplo::measurement_command(window(5), 1019));
}

}  // namespace

void UserInit() {
    make_probe_window();
    start_run();
}

void UserMain() {
    run_scenario({{"tools", tools}, {"measures", measures}});
}

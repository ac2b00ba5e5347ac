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

#include <atomic>
#include <cstdio>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "image/commands.h"
#include "image/image_store.h"
#include "image/tool_state.h"
#include "shell/services.h"
#include "shell/status_text.h"
#include "tests/scenario.h"
#include "text/log_file.h"

namespace pf = kaplo::platform;

namespace {

enum MainCommand : int32_t { kStart = 1001, kExit = 1002, kStop = 1003 };

std::string scenario_name;
std::atomic<int> step{0};  // which tool UserMain runs

constexpr int kImage = 5;
constexpr int kScratch = 200;

std::vector<uint32_t> pixels_of(int n) {
    const kaplo::ImageWindowRecord& rec = kaplo::image_table[n];
    const int64_t stride = kaplo::image_stride(rec.width, rec.bitDepth);
    std::vector<uint32_t> out;
    for (int64_t y = 0; y < rec.height; ++y)
        for (int64_t x = 0; x < rec.width; ++x)
            out.push_back(rec.bitDepth == 32 ? kaplo::pixels32[n][y * rec.width + x]
                                             : kaplo::pixels8[n][y * stride + x]);
    return out;
}

uint32_t pattern(int x, int y) {
    return static_cast<uint32_t>((x * 37 + y * 91) * 0x010307 + 0x102030) & 0xFFFFFFu;
}

std::string status_text() {
    char text[256];
    kaplo::get_window_text_ansi(kaplo::status_line(), text, sizeof text);
    return text;
}
std::string prompt(const char* text) {
    return kaplo::centred_status_text(text);
}

// Posts a mouse message to image n's window at the client point that its
// zoom turns into image point (x, y).
void mouse(int n, pf::MsgType type, int x, int y) {
    const int zoom = on_worker([n] { return kaplo::image_table[n].zoomPercent; });
    pf::Message m;
    m.type = type;
    m.x = (x * zoom + 99) / 100;
    m.y = (y * zoom + 99) / 100;
    pf::post(kaplo::image_table[n].window, m);
}
void move(int x, int y) {
    mouse(kImage, pf::MsgType::MouseMove, x, y);
}
void click(int x, int y) {
    move(x, y);
    mouse(kImage, pf::MsgType::LeftDown, x, y);
}
void right() {
    mouse(kImage, pf::MsgType::RightDown, 0, 0);
}

// `base` (an image of 160 x 100) with `draw` inverting over it (worker
// thread): drawn in a window-less scratch image; the selection is left as
// it was.
std::vector<uint32_t> with(const std::vector<uint32_t>& base, const std::function<void()>& draw) {
    const kaplo::detail::Selection saved = kaplo::detail::selection;
    KPL_CreateImageBuffer(kScratch, 160, 100, 32);
    std::copy(base.begin(), base.end(), kaplo::pixels32[kScratch]);
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
            const std::vector<uint32_t> want = with(original, draw);
            return pixels_of(kImage) == want && want != original;
        });
    });
}
bool clean() {
    return eventually([] { return on_worker([] { return pixels_of(kImage) == original; }); });
}
bool says(const char* text) {
    return eventually([&] { return status_text() == prompt(text); });
}

void row_band(int y) {
    KPL_InvertLine(0, y, 159, y);
}
void column_band(int x) {
    KPL_InvertLine(x, 0, x, 99);
}

// ---------------------------------------------------------------------------
// tools

void drive_tools() {
    // 1: a point; moves draw nothing.
    CHECK(running(1) && says("Click a point"));
    move(30, 30);
    click(12, 34);
    // 2: a point cancelled by a right click.
    CHECK(running(2));
    right();
    // 3: a row follows the mouse; the click takes it.
    CHECK(running(3));
    move(5, 20);
    CHECK(shows([] { row_band(20); }));
    move(5, 30);
    CHECK(shows([] { row_band(30); }));
    click(7, 31);
    // 4: a column, cancelled by a middle click.
    CHECK(running(4));
    move(40, 5);
    CHECK(shows([] { column_band(40); }));
    mouse(kImage, pf::MsgType::MiddleDown, 40, 5);
    // 5: a line: a cancel after the first point goes back to it; the
    // outputs are in click order.
    CHECK(running(5) && says("Click the first point"));
    move(70, 70);
    CHECK(clean());
    click(10, 10);
    CHECK(says("Click the second point") && shows([] { KPL_InvertLine(10, 10, 10, 10); }));
    move(30, 20);
    CHECK(shows([] { KPL_InvertLine(10, 10, 30, 20); }));
    right();
    CHECK(says("Click the first point") && clean());
    click(50, 40);
    CHECK(says("Click the second point"));
    move(20, 5);
    CHECK(shows([] { KPL_InvertLine(50, 40, 20, 5); }));
    click(20, 5);
    // 6: a box from its lower right corner.
    CHECK(running(6));
    click(60, 50);
    CHECK(says("Click the second point"));
    move(20, 10);
    CHECK(shows([] { KPL_InvertBox(60, 50, 20, 10); }));
    click(20, 10);
    // 7: a box from its upper left corner, cancelled before the first one
    // on a second try.
    CHECK(running(7));
    click(3, 4);
    CHECK(says("Click the second point"));
    click(9, 8);
    CHECK(running(8));
    right();
    // 9: circles of radius 0 while Q = P, 5 (3 right, 4 down), and 1.
    CHECK(running(9));
    click(40, 40);
    // A circle of radius 0 inverts nothing.
    CHECK(says("Click the second point") && clean());
    move(43, 44);
    CHECK(shows([] { KPL_InvertCircle(40, 40, 5); }));
    click(43, 44);
    CHECK(running(10));
    click(40, 40);
    CHECK(says("Click the second point"));
    click(41, 41);
    // 11..16: Stop with a band shown, in every tool.
    CHECK(running(11));
    pf::post_command(kaplo::main_window(), kStop);
    CHECK(running(12));
    move(8, 9);
    CHECK(shows([] { row_band(9); }));
    pf::post_command(kaplo::main_window(), kStop);
    CHECK(running(13));
    move(8, 9);
    CHECK(shows([] { column_band(8); }));
    pf::post_command(kaplo::main_window(), kStop);
    CHECK(running(14));
    click(20, 20);
    move(25, 30);
    CHECK(shows([] { KPL_InvertLine(20, 20, 25, 30); }));
    pf::post_command(kaplo::main_window(), kStop);
    CHECK(running(15));
    click(20, 20);
    move(25, 30);
    CHECK(shows([] { KPL_InvertBox(20, 20, 25, 30); }));
    pf::post_command(kaplo::main_window(), kStop);
    CHECK(running(16));
    click(50, 50);
    move(50, 60);
    CHECK(shows([] { KPL_InvertCircle(50, 50, 10); }));
    pf::post_command(kaplo::main_window(), kStop);
    // 17: the window closed while a line follows the mouse.
    CHECK(running(17));
    click(20, 20);
    move(25, 30);
    CHECK(shows([] { KPL_InvertLine(20, 20, 25, 30); }));
    pf::Message close;
    close.type = pf::MsgType::Close;
    pf::post(kaplo::image_table[kImage].window, close);
}

void tools() {
    const int n = kImage;
    char depth[32];
    std::snprintf(depth, sizeof depth, "%d-bit color", kaplo::display_depth());
    const std::string idle = prompt(depth);
    CHECK(KPL_CreateImage(n, "tools", 0, 0, 160, 100, 200) == 0);
    for (int y = 0; y < 100; ++y)
        for (int x = 0; x < 160; ++x) KPL_SetPixel(x, y, static_cast<int32_t>(pattern(x, y)));
    original = pixels_of(n);
    KPL_CreateImage(6, "other", 400, 0, 20, 20, 100);

    // Numbers not in use: code 2, no prompt, outputs untouched.
    int a = -9, b = -9, c = -9, d = -9;
    CHECK(KPL_PickPoint(300, &a, &b) == 2 && KPL_PickRow(-1, &a, &b) == 2 &&
          KPL_PickColumn(9, &a, &b) == 2 && KPL_PickLine(9, &a, &b, &c, &d) == 2 &&
          KPL_PickBox(256, &a, &b, &c, &d) == 2 && KPL_PickCircle(9, &a, &b, &c) == 2);
    CHECK(a == -9 && b == -9 && c == -9 && d == -9 && status_text() == idle &&
          kaplo::current_image() == 6);

    // Each tool ends idle, with the original buffer and the tool image current.
    auto ended = [&](int code, int want) {
        CHECK(code == want);
        CHECK(pixels_of(n) == original && status_text() == idle);
        CHECK(kaplo::tool_state.active == 0 && kaplo::tool_state.toolSlot == -1 &&
              kaplo::current_image() == n);
        KPL_SelectImage(6);
    };
    step = 1;
    ended(KPL_PickPoint(n, &a, &b), 0);
    CHECK(a == 12 && b == 34);
    step = 2;
    ended(KPL_PickPoint(n, &a, &b), 1);
    CHECK(a == 0 && b == 0);
    step = 3;
    ended(KPL_PickRow(n, &a, &b), 0);
    CHECK(a == 7 && b == 31);
    step = 4;
    ended(KPL_PickColumn(n, &a, &b), 1);
    CHECK(a == 0 && b == 0);
    step = 5;
    int e = 0;
    ended(KPL_PickLine(n, &a, &b, &c, &d), 0);
    CHECK(a == 50 && b == 40 && c == 20 && d == 5);
    step = 6;
    ended(KPL_PickBox(n, &a, &b, &c, &d), 0);
    CHECK(a == 20 && b == 10 && c == 60 && d == 50);
    step = 7;
    ended(KPL_PickBox(n, &a, &b, &c, &d), 0);
    CHECK(a == 3 && b == 4 && c == 9 && d == 8);
    step = 8;
    ended(KPL_PickBox(n, &a, &b, &c, &d), 1);
    CHECK(a == 0 && b == 0 && c == 0 && d == 0);
    step = 9;
    ended(KPL_PickCircle(n, &a, &b, &e), 0);
    CHECK(a == 40 && b == 40 && e == 5);
    step = 10;
    ended(KPL_PickCircle(n, &a, &b, &e), 0);
    CHECK(a == 40 && b == 40 && e == 1);
    step = 11;
    ended(KPL_PickPoint(n, &a, &b), 1);
    step = 12;
    ended(KPL_PickRow(n, &a, &b), 1);
    step = 13;
    ended(KPL_PickColumn(n, &a, &b), 1);
    step = 14;
    ended(KPL_PickLine(n, &a, &b, &c, &d), 1);
    CHECK(a == 0 && b == 0 && c == 0 && d == 0);
    step = 15;
    ended(KPL_PickBox(n, &a, &b, &c, &d), 1);
    step = 16;
    ended(KPL_PickCircle(n, &a, &b, &e), 1);
    CHECK(a == 0 && b == 0 && e == 0);
    step = 17;
    CHECK(KPL_PickLine(n, &a, &b, &c, &d) == 1 && !kaplo::image_live(n) && status_text() == idle &&
          kaplo::tool_state.active == 0);
}

}  // namespace

// ---------------------------------------------------------------------------

void UserInit() {
    scenario_name = KPL_ArgCount() > 1 ? KPL_Arg(1) : "";
    make_probe_window();
    std::thread([] {
        pf::post_command(kaplo::main_window(), kStart);
        if (scenario_name == "tools") drive_tools();
    }).detach();
}

void UserMain() {
    if (scenario_name == "tools")
        tools();
    else
        CHECK(!"unknown scenario");
    report_result();
    pf::post_command(kaplo::main_window(), kExit);
}

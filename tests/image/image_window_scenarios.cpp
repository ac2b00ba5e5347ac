// The image window procedure on the real framework (Qt offscreen): the two
// pop-up menus as Qt shows them, keys, Ctrl+wheel, the zoom and resize
// prompts answered through the line input, the mouse routing
// to a running tool and to the pixel readout, and the refusals (no menu
// while a line input waits or a tool runs, no resizing by the border).
// "interactive" and "measures" serve the end-to-end scripts (Xvfb).
//
// Everything runs in UserMain on the worker thread, which owns the image
// windows: messages posted to them are handled when it pumps.
#include <kaplo.h>

#include <QApplication>
#include <QCursor>
#include <QMenu>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>

#include "image/commands.h"
#include "image/image_store.h"
#include "image/image_window_proc.h"
#include "image/tool_state.h"
#include "platform/keys.h"
#include "tests/driver.h"
#include "text/log_file.h"

namespace pf = kaplo::platform;
namespace key = kaplo::platform::key;

namespace {

pf::WindowId window_of(int n) {
    return kaplo::image_table[n].window;
}
int zoom_of(int n) {
    return kaplo::image_table[n].zoomPercent;
}
void post_to(int n, pf::MsgType type) {
    pf::Message m;
    m.type = type;
    pf::post(window_of(n), m);
}

// Pumps the worker's messages until `cond` holds.
template <class F>
bool pumped_until(F cond, int limit_ms = 20000) {
    return eventually(
        [&] {
            KPL_ProcessMessages();
            return cond();
        },
        limit_ms);
}
void pump_a_while() {
    for (int i = 0; i < 50; ++i) {
        KPL_ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

// The menu Qt shows, as text: items "|"-separated, "-" for a separator,
// "[x]" before a checked item, a sub-menu's items in braces after its text.
std::string describe(QMenu* menu) {
    std::string out;
    for (QAction* a : menu->actions()) {
        if (!out.empty()) out += "|";
        out += a->isSeparator() ? "-" : a->isChecked() ? "[x]" : "";
        out += a->text().toStdString();
        if (a->menu()) out += '{' + describe(a->menu()) + '}';
    }
    return out;
}

// Clicks the window (right, or middle, with or without Ctrl), reads the menu
// shown, chooses the item `choose` (its text up to the tab) if given and
// closes the menu. "" when no menu opened (after `wait_ms`).
std::string popup(int n, pf::MsgType button, bool ctrl, const std::string& choose = {},
                  int wait_ms = 20000) {
    pf::Message m;
    m.type = button;
    m.x = m.y = 5;
    m.ctrl = ctrl;
    pf::post(window_of(n), m);
    std::string shown;
    pumped_until(
        [&] {
            on_gui([&] {
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                if (!menu) return;
                shown = describe(menu);
                for (QAction* a : menu->actions())
                    if (!choose.empty() && a->text().section('\t', 0, 0).toStdString() == choose)
                        a->trigger();
                menu->close();
            });
            return !shown.empty();
        },
        wait_ms);
    return shown;
}
bool menu_opens(int n, pf::MsgType button) {
    return !popup(n, button, false, {}, 100).empty();
}

// The menus written out from the program's documented tables.
const std::string kImageMenu =
    "Cut\tCtrl+X|Copy\tCtrl+C|Paste\tCtrl+V|-|&Load image file|&Save as|-|"
    "Zoom: 50%|[x]Zoom:100%\tCtrl+0|Zoom:200%|&Zoom...|-|&Resize...|&Destroy\tCtrl+Q";
const std::string kProcessHead =
    "Process...{Invert|-|R. Rotate|L. Rotate|-|Horz. Flip|Vert. Flip|-|Size 50.0%|Size 70.7%|"
    "Size 141.4%|Size 200.0%|-|Pixel Readout}|-|Information...{";
const std::string kProcessTail =
    "}|-|Test Pattern...{RGB|HSV|YCrCb|Yuv|YIQ|Grey}|-|Clipping\tCtrl+R|-|"
    "Color...{Change|Pick}|Draw Line...{Normal|Horz.|Vert.}|Draw Box...{Normal|Fill|Fill XOR}|"
    "Draw Circle...{Normal|Fill|Fill XOR}|TrueType...{Draw|Font Change}|Draw Text|Paint";

void menus_scenario() {
    CHECK(KPL_CreateImage(0, "abc", 0, 0, 300, 200, 100) == 0);
    CHECK(KPL_CreateImage8(1, "eight", 300, 0, 200, 150, 100) == 0);
    CHECK(popup(0, pf::MsgType::RightDown, false) == kImageMenu);
    const std::string process32 = kProcessHead +
                                  "Pixel|Line(RGB)|Line(HSV)|Line(YCrCb)|Line(CrCb)|-|Area(CrCb)" +
                                  kProcessTail;
    CHECK(popup(0, pf::MsgType::MiddleDown, false) == process32);
    CHECK(popup(1, pf::MsgType::MiddleDown, true) ==
          kProcessHead + "Pixel|Line(Lumi)" + kProcessTail);

    // The check mark follows the zoom set, and no zoom item is checked at 75%.
    CHECK(KPL_SetZoom(200, 0) == 0 &&
          popup(0, pf::MsgType::RightDown, false).find("[x]Zoom:200%") != std::string::npos);
    CHECK(KPL_SetZoom(75, 0) == 0);
    CHECK(popup(0, pf::MsgType::RightDown, false).find("[x]") == std::string::npos);

    // No menu while a line input waits or a tool runs; a tool's window
    // takes the click as a cancel, another window ignores it.
    kaplo::g_input_active.store(1);
    CHECK(!menu_opens(0, pf::MsgType::RightDown));
    kaplo::g_input_active.store(0);
    kaplo::tool_state.active = 1;
    kaplo::tool_state.toolSlot = 1;
    kaplo::tool_state.cancelled = 0;
    CHECK(!menu_opens(0, pf::MsgType::MiddleDown) && kaplo::tool_state.cancelled == 0);
    CHECK(!menu_opens(1, pf::MsgType::RightDown) && kaplo::tool_state.cancelled == 1);
    kaplo::tool_state.active = 0;
    kaplo::tool_state.toolSlot = -1;

    popup(1, pf::MsgType::RightDown, false, "&Destroy");
    CHECK(pumped_until([] { return !kaplo::image_live(1); }));
}

void keys_scenario() {
    CHECK(KPL_CreateImage(0, "k", 0, 0, 300, 200, 100) == 0);
    CHECK(KPL_CreateImage(1, "other", 200, 0, 20, 20, 100) == 0);
    const pf::WindowId w = window_of(0);
    const auto key_then = [&](int32_t k, bool ctrl, auto cond) {
        pf::post_key(w, k, ctrl);
        return pumped_until(cond);
    };
    // Zoom keys and Ctrl+wheel; the main keyboard's 0 and the wheel without
    // Ctrl do nothing.
    const struct {
        pf::MsgType type;
        int32_t key;
        bool ctrl;
        int zoom;
    } zooms[] = {{pf::MsgType::KeyDown, key::kAdd, true, 111},
                 {pf::MsgType::KeyDown, '0', true, 111},
                 {pf::MsgType::KeyDown, key::kNumpad0, true, 100},
                 {pf::MsgType::KeyDown, key::kSubtract, true, 90},
                 {pf::MsgType::Wheel, 120, false, 90},
                 {pf::MsgType::Wheel, -120, true, 100}};
    for (const auto& z : zooms) {
        pf::Message m;
        m.type = z.type;
        m.key = z.key;
        m.ctrl = z.ctrl;
        pf::post(w, m);
        pump_a_while();
        CHECK(pumped_until([&] { return zoom_of(0) == z.zoom; }));
    }
    int32_t cw = 0, ch = 0;
    CHECK(pf::client_size(w, &cw, &ch) && cw == 300 && ch == 200);

    CHECK(KPL_SetStretchMode(7, 0) == 0 && KPL_GetStretchMode(0) == 3);

    // Every key is ignored while a tool runs.
    kaplo::tool_state.active = 1;
    pf::post_key(w, key::kTab, false);
    pf::post_key(w, key::kAdd, true);
    pump_a_while();
    CHECK(image_caption(0) == "k(100%)");
    kaplo::tool_state.active = 0;

    // Ctrl+X clears, Ctrl+C copies, Ctrl+V pastes at the corner.
    KPL_SelectImage(0);
    KPL_SetPixel(0, 0, 0x123456);
    const auto first_pixel = [] { return pixels_of(0)[0] & 0xFFFFFF; };
    CHECK(key_then('X', true, [&] { return first_pixel() == 0; }));
    KPL_SetPixel(0, 0, 0x654321);
    pf::post_key(w, 'C', true);
    pump_a_while();
    KPL_SetPixel(0, 0, 0);
    CHECK(key_then('V', true, [&] { return first_pixel() == 0x654321; }));

    // C goes on to the main window (Stop); Ctrl+Q destroys the image.
    kpl_stop.store(0);
    CHECK(key_then('C', false, [] { return kpl_stop.load() == 1; }));
    kpl_stop.store(0);
    CHECK(key_then('Q', true, [] { return !kaplo::image_live(0); }) && kaplo::image_live(1));

    // The close box destroys the image too.
    post_to(1, pf::MsgType::Close);
    CHECK(pumped_until([] { return !kaplo::image_live(1); }));
}

// The zoom and resize prompts, answered in text window 0 (a second line
// typed ahead waits for the second prompt); its log keeps prompts and answers.
void prompts_scenario() {
    CHECK(KPL_CreateImage(3, "p", 0, 0, 120, 90, 100) == 0);
    KPL_OpenTextWindow(0, -1, -1, -1, -1);
    CHECK(KPL_StartLog(0) == 0);
    std::thread typist = answer(u"150\r");
    pf::post_command(window_of(3), kaplo::command::kZoomPrompt);
    CHECK(pumped_until([] { return zoom_of(3) == 150; }));
    typist.join();

    typist = answer(u"0\r0\r");
    pf::post_command(window_of(3), kaplo::command::kResizePrompt);
    CHECK(pumped_until([] { return kaplo::image_table[3].width == 1; }) &&
          kaplo::image_table[3].height == 1);
    typist.join();
    CHECK(KPL_CreateImageBuffer(2, 10, 10, 32) == 0 && KPL_SetZoom(100, 2) == 1);
    KPL_StopLog(0);
    const std::string log = read_file(kaplo::log_file_name(0));
    CHECK(log.find("[3] Zoom(%)=150\n") != std::string::npos);
    CHECK(log.find("[3] New x-size(pixel)=0\n[3] New y-size(pixel)=0\n") != std::string::npos);
}

// Mouse messages reach a running tool in image coordinates (client
// coordinates scaled by the zoom); other windows' messages do not.
void routing_scenario() {
    CHECK(KPL_CreateImage(0, "t", 0, 0, 100, 100, 200) == 0);
    CHECK(KPL_CreateImage(1, "u", 300, 0, 100, 100, 100) == 0);
    auto& t = kaplo::tool_state;
    t = kaplo::ToolState{};
    t.active = 1;
    t.toolSlot = 0;
    post_mouse(window_of(1), pf::MsgType::MouseMove, 50, 31);
    post_mouse(window_of(1), pf::MsgType::LeftDown, 50, 31);
    pump_a_while();
    CHECK(t.moved == 0 && t.clicked == 0);
    post_mouse(window_of(0), pf::MsgType::LeftDown, 199, 3);
    CHECK(pumped_until([&] { return t.clicked == 1; }) && t.clickX == 99 && t.clickY == 1);
    t = kaplo::ToolState{};

    // The pixel readout (from the menu; its zoom and the program's text are
    // the measuring menus' end-to-end test's): 8-bit images show the index's
    // colour.
    pf::post_command(window_of(0), kaplo::command::kPixelReadout);
    CHECK(KPL_CreateImage8(2, "e", 0, 200, 200, 150, 100) == 0);
    KPL_SetPixel(3, 4, 7);
    post_mouse(window_of(2), pf::MsgType::MouseMove, 3, 4);
    CHECK(pumped_until([] { return status_text() == prompt("x 3 y 4  [7] 7 7 7"); }));
    CHECK(popup(0, pf::MsgType::MiddleDown, false).find("[x]Pixel Readout") != std::string::npos);
    KPL_SetPixelReadout(0);

    // The border does not resize an image window: the proposal is replaced
    // by the window's own rectangle.
    pf::Message sizing;
    sizing.type = pf::MsgType::Sizing;
    sizing.rect = pf::Rect{0, 0, 999, 999};
    kaplo::image_window_proc(window_of(1), sizing);
    pf::Rect outer;
    CHECK(pf::window_rect(window_of(1), &outer) && sizing.rect == outer);
}

// For the end-to-end tests under a window manager: an image window that the
// script drives with real clicks, wheel turns and keys. Until Stop or Exit,
// a thread of its own (a running tool holds the worker in its loop) prints
// each pop-up menu shown, one line per item with the screen position of its
// centre ("menu item Zoom:200% at 412 230"), and every change of the status
// line and of the pointer's shape ("status Click a point", "cursor cross");
// the worker prints every change of image 0's caption ("caption
// live(200%)"), also shown in the status line. A script clicks for a tool
// once the tool asks.
void print_change(const char* what, std::string* shown, const std::string& now) {
    if (now == *shown) return;
    *shown = now;
    std::printf("%s %s\n", what, now.c_str());
    std::fflush(stdout);
}
void serve_interactively() {
    std::atomic<bool> done{false};
    std::thread watcher([&] {
        std::string status, cursor;
        QMenu* reported = nullptr;
        while (!done) {
            std::string now = status_text();
            now.erase(0, now.find_first_not_of(' '));
            print_change("status", &status, now.erase(now.find_last_not_of(' ') + 1));
            bool cross = false;
            on_gui([&] {
                const QWidget* w = QApplication::widgetAt(QCursor::pos());
                cross = w && w->cursor().shape() == Qt::CrossCursor;
                auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
                if (!menu || menu == reported) return;
                reported = menu;
                for (QAction* a : menu->actions()) {
                    const QPoint c = menu->mapToGlobal(menu->actionGeometry(a).center());
                    std::printf("menu item %s at %d %d\n",
                                a->text().section('\t', 0, 0).toStdString().c_str(), c.x(), c.y());
                }
                std::fflush(stdout);
            });
            print_change("cursor", &cursor, cross ? "cross" : "arrow");
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    std::printf("ready\n");
    std::fflush(stdout);
    std::string caption;
    while (!kpl_stop) {
        KPL_ProcessMessages();
        if (kaplo::image_live(0) && image_caption(0) != caption) {
            print_change("caption", &caption, image_caption(0));
            KPL_SetStatusText(caption.c_str());
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    done = true;
    watcher.join();
}

void interactive_scenario() {
    CHECK(KPL_CreateImage(0, "live", 100, 100, 300, 200, 100) == 0);
    KPL_TestPatternRgb();
    KPL_UpdateImage(0);
    KPL_SetToolHints(1);
    serve_interactively();
}

// For the measuring commands' end-to-end test: the RGB pattern with a red
// square at (20, 20)-(59, 59), and text window 0 logging to its file in the
// working folder.
void measures_scenario() {
    CHECK(KPL_OpenTextWindow(0, 450, 20, 360, 200) == 0 && KPL_StartLog(0) == 0);
    CHECK(KPL_CreateImage(0, "live", 20, 20, 300, 200, 100) == 0);
    KPL_TestPatternRgb();
    KPL_FillBox(20, 20, 59, 59, 0xFF0000, 0xFF0000);
    KPL_UpdateImage(0);
    serve_interactively();
}

}  // namespace

void UserInit() {
    start_run();
}

void UserMain() {
    run_scenario({{"menus", menus_scenario},
                  {"keys", keys_scenario},
                  {"prompts", prompts_scenario},
                  {"routing", routing_scenario},
                  {"interactive", interactive_scenario},
                  {"measures", measures_scenario}},
                 {"interactive", "measures"});
}

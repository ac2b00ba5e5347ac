// A test user program run by the real framework (Qt offscreen). A driver
// thread works the main window through its messages, as the user would, and
// checks the shell flags; it prints "scenario passed" when every check held.
#include <kaplo.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "image/image_store.h"
#include "platform/keys.h"
#include "shell/shell.h"
#include "tests/scenario.h"

namespace pf = kaplo::platform;

namespace {

std::atomic<int> main_calls{0};
std::atomic<int> main_returns{0};
std::atomic<bool> ignore_stop{false};
// The "wait" scenario: what its runs' KPL_Wait calls returned, and how long
// the first one took.
bool waiting = false;  // set in UserInit
std::atomic<int> short_wait{-1}, short_wait_ms{-1}, zero_wait{-1};
std::atomic<int> long_wait{-1}, wait_after_stop{-1};
std::atomic<bool> in_long_wait{false};

void command(int id) {
    pf::post_command(kaplo::main_window(), id);
}
void key(int vk, bool ctrl = false) {
    pf::post_key(kaplo::main_window(), vk, ctrl);
}

void finish_and_exit() {
    report_result();
    command(1002);
}

void start_and_wait() {
    command(1001);
    CHECK(eventually([] { return kpl_running == 1; }));
}

void stop_and_wait() {
    const int returns = main_returns;
    command(1003);
    CHECK(eventually([&] { return main_returns == returns + 1 && kpl_running == 0; }));
}

void scenario(const std::string& name) {
    if (name == "start_stop_exit") {
        start_and_wait();
        CHECK(kpl_start == 0 && kpl_stop == 0 && main_calls == 1);
        stop_and_wait();
        CHECK(kpl_stop == 0);
        start_and_wait();
        CHECK(main_calls == 2);
        stop_and_wait();
    } else if (name == "keys") {
        key('S');
        CHECK(eventually([] { return kpl_running == 1; }));
        key('C');
        CHECK(eventually([] { return kpl_running == 0; }));
        // Ctrl+X and Ctrl+S do nothing; the Start that follows them in the
        // queue proves they were handled.
        key('X', true);
        key('S', true);
        key('S');
        CHECK(eventually([] { return kpl_running == 1; }));
        CHECK(kpl_exit == 0 && main_calls == 2);
        key('C');
        CHECK(eventually([] { return kpl_running == 0; }));
        report_result();
        key(pf::key::kEscape);
        return;
    } else if (name == "start_while_running") {
        start_and_wait();
        command(1001);
        key('S');
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        CHECK(kpl_start == 0);
        stop_and_wait();
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        CHECK(main_calls == 1);
    } else if (name == "stop_while_idle") {
        command(1003);
        CHECK(eventually([] { return kpl_stop == 1; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        CHECK(kpl_stop == 1);
        start_and_wait();
        CHECK(kpl_stop == 0);
        stop_and_wait();
    } else if (name == "request_during_run") {
        start_and_wait();
        std::atomic<bool> poster_returned{false};
        pf::run_on_gui_thread([&] {
            kaplo::post_open_text_window_request(3);
            poster_returned = true;
        });
        CHECK(eventually(
            [] { return kaplo::request_slot().pending() == kaplo::kRequestOpenTextWindow; }));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // Still pending while the run goes on, and the main window still
        // answers: Stop goes through while the poster waits.
        CHECK(kaplo::request_slot().pending() == kaplo::kRequestOpenTextWindow);
        CHECK(!poster_returned);
        stop_and_wait();
        CHECK(eventually([&] { return poster_returned.load(); }));
        CHECK(kaplo::request_slot().pending() == kaplo::kRequestNone);
    } else if (name == "exit_ignored_stop") {
        ignore_stop = true;
        start_and_wait();
        command(1003);
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        CHECK(kpl_running == 1);
    } else if (name == "wait") {
        // kpl_start set in UserInit started the run without a Start.
        CHECK(eventually([] { return kpl_running == 1 && main_calls == 1; }));
        CHECK(eventually([] { return short_wait_ms >= 0; }));
        CHECK(short_wait == 0 && short_wait_ms >= 300 && zero_wait == 0);
        // The run does nothing but wait: the probe's message is dispatched
        // by the wait itself.
        CHECK(eventually([] { return in_long_wait.load(); }));
        const int runs = probe_runs;
        pf::post_command(probe_window, 0);
        CHECK(eventually([&] { return probe_runs > runs; }));
        // Stop ends a wait of ten minutes at once, and then a wait of 0
        // reports the stop.
        stop_and_wait();
        CHECK(long_wait == 1 && wait_after_stop == 1);
        // Exit ends it within the hand-over (run_expect.sh --prompt-exit).
        start_and_wait();
        CHECK(eventually([] { return in_long_wait.load(); }));
    } else if (name == "status_and_geometry") {
        const pf::Metrics m = pf::metrics();
        char expected[16];
        std::snprintf(expected, sizeof expected, "%d-bit color", m.display_depth);
        CHECK(eventually([&] {
            char text[256];
            kaplo::get_window_text_ansi(kaplo::status_line(), text, sizeof text);
            return std::string(text) ==
                   std::string(static_cast<size_t>(18 - std::string(expected).size() / 2), ' ') +
                       expected;
        }));
        char title[256];
        kaplo::get_window_text_ansi(kaplo::main_window(), title, sizeof title);
        CHECK(std::string(title).rfind("KAPLO ", 0) == 0);
        CHECK(kaplo::main_window_class_name() == "kaplo_mw0");
        int32_t cw = 0, ch = 0;
        CHECK(pf::client_size(kaplo::main_window(), &cw, &ch));
        CHECK(cw == 240 && ch == 32);
        // The drop-in animation has ended 55 pixels below the created
        // position: the window's bottom sits on the work area's bottom.
        pf::Rect r;
        CHECK(pf::window_rect(kaplo::main_window(), &r));
        CHECK(r.top == m.fullscreen_client_height + m.caption_height - r.height());
        CHECK(r.left == (m.fullscreen_client_width - r.width()) / 2);
        CHECK(std::string(KPL_Arg(1)) == "status_and_geometry" && KPL_ArgCount() == 2);
    } else if (name == "image_requests") {
        // Requests 9001 and 9002 from the main thread, carried out by the worker.
        std::atomic<int> created{-1}, again{-1}, out_of_range{-1};
        std::atomic<bool> done{false};
        pf::run_on_gui_thread([&] {
            created = kaplo::post_create_image_request(0, "abc", 200, 100, 32);
            again = kaplo::post_create_image_request(0, "abc", 200, 100, 32);
            out_of_range = kaplo::post_create_image_request(256, "x", 8, 8, 32);
            kaplo::post_refresh_image_request(0);
            done = true;
        });
        CHECK(eventually([&] { return done.load(); }));
        CHECK(created == 0 && again == 1 && out_of_range == 4);
        const pf::WindowId w = kaplo::image_table[0].window;
        CHECK(pf::is_window(w));
        char title[256];
        kaplo::get_window_text_ansi(w, title, sizeof title);
        CHECK(std::string(title) == "abc(100%)");
        int32_t cw = 0, ch = 0;
        CHECK(pf::client_size(w, &cw, &ch) && cw == 200 && ch == 100);
        // The user closes the window: the slot is freed with it.
        pf::Message close;
        close.type = pf::MsgType::Close;
        pf::post(w, close);
        CHECK(eventually([&] { return !pf::is_window(w) && kaplo::image_table[0].used == 0; }));
    } else {
        std::printf("FAIL unknown scenario %s\n", name.c_str());
        failures++;
    }
    finish_and_exit();
}

}  // namespace

void UserInit() {
    const std::string name = KPL_ArgCount() > 1 ? KPL_Arg(1) : "";
    if (name == "wait") {
        waiting = true;
        make_probe_window();
        kpl_start = 1;
    }
    std::thread([name] { scenario(name); }).detach();
}

void UserMain() {
    ++main_calls;
    if (waiting) {
        if (main_calls == 1) {
            const uint32_t t = pf::millis();
            short_wait = KPL_Wait(300);
            short_wait_ms = static_cast<int>(pf::millis() - t);
            zero_wait = KPL_Wait(0);
        }
        in_long_wait = true;
        long_wait = KPL_Wait(600000);
        in_long_wait = false;
        wait_after_stop = KPL_Wait(0);
        ++main_returns;
        return;
    }
    while (ignore_stop || !kpl_stop) {
        if (!ignore_stop) KPL_ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ++main_returns;
}

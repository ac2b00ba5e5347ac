// A test user program run by the real framework (Qt offscreen). A driver
// thread works the main window through its messages, as the user would, and
// checks the shell flags; it prints "scenario passed" when every check held.
#include <kaplo.h>

#include <chrono>
#include <cstring>

#include "platform/keys.h"
#include "shell/shell.h"
#include "tests/driver.h"

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

void key(int vk, bool ctrl = false) {
    pf::post_key(kaplo::main_window(), vk, ctrl);
}

void start_and_wait() {
    start_run();
    CHECK(eventually([] { return kpl_running == 1; }));
}

void stop_and_wait() {
    const int returns = main_returns;
    main_command(kStop);
    CHECK(eventually([&] { return main_returns == returns + 1 && kpl_running == 0; }));
}

// Stop while idle sets the flag, which stays until a Start clears it.
void start_stop_exit() {
    main_command(kStop);
    CHECK(eventually([] { return kpl_stop == 1; }));
    start_and_wait();
    CHECK(kpl_start == 0 && kpl_stop == 0 && main_calls == 1);
    stop_and_wait();
    CHECK(kpl_stop == 0);
    start_and_wait();  // UserMain is called again for the next run
    CHECK(main_calls == 2);
    stop_and_wait();
}

// S, C and Esc typed for real are main_window.sh's.
void keys() {
    // Ctrl+X and Ctrl+S do nothing; the Start that follows them in the
    // queue proves they were handled.
    key('X', true);
    key('S', true);
    key('S');
    CHECK(eventually([] { return kpl_running == 1; }));
    CHECK(kpl_exit == 0 && main_calls == 1);
    key('C');
    CHECK(eventually([] { return kpl_running == 0; }));
}

void start_while_running() {
    start_and_wait();
    start_run();
    key('S');
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    CHECK(kpl_start == 0);
    stop_and_wait();
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    CHECK(main_calls == 1);
}

void request_during_run() {
    start_and_wait();
    std::atomic<bool> poster_returned{false};
    pf::run_on_gui_thread([&] {
        kaplo::post_open_text_window_request(3);
        poster_returned = true;
    });
    CHECK(eventually(
        [] { return kaplo::request_slot().pending() == kaplo::kRequestOpenTextWindow; }));
    // The main window still answers: Stop goes through while the poster waits.
    CHECK(!poster_returned);
    stop_and_wait();
    CHECK(eventually([&] { return poster_returned.load(); }));
    CHECK(kaplo::request_slot().pending() == kaplo::kRequestNone);
}

void exit_ignored_stop() {
    ignore_stop = true;
    start_and_wait();
    main_command(kStop);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    CHECK(kpl_running == 1);
}

void wait_scenario() {
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
}

void status_and_geometry() {
    const pf::Metrics m = pf::metrics();
    char expected[16];
    std::snprintf(expected, sizeof expected, "%d-bit color", m.display_depth);
    CHECK(eventually([&] {
        return caption_of(kaplo::status_line()) ==
               std::string(18 - std::strlen(expected) / 2, ' ') + expected;
    }));
    CHECK(caption_of(kaplo::main_window()).rfind("KAPLO ", 0) == 0);
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
}

void image_requests() {
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
    CHECK(pf::is_window(w) && caption_of(w) == "abc(100%)");
    // The user closes the window: the slot is freed with it.
    pf::Message close;
    close.type = pf::MsgType::Close;
    pf::post(w, close);
    CHECK(eventually([&] { return !pf::is_window(w) && kaplo::image_table[0].used == 0; }));
}

void driver() {
    run_scenario({{"start_stop_exit", start_stop_exit},
                  {"keys", keys},
                  {"start_while_running", start_while_running},
                  {"request_during_run", request_during_run},
                  {"exit_ignored_stop", exit_ignored_stop},
                  {"wait", wait_scenario},
                  {"status_and_geometry", status_and_geometry},
                  {"image_requests", image_requests}},
                 {"keys"});
    if (scenario_name() == "keys") key(pf::key::kEscape);  // Escape ends the program
}

}  // namespace

void UserInit() {
    if (scenario_name() == "wait") {
        waiting = true;
        make_probe_window();
        kpl_start = 1;
    }
    std::thread(driver).detach();
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

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
// The "wait" scenario: what its KPL_Wait calls returned, and how long the
// short one took.
bool waiting = false;  // set in UserInit
std::atomic<int> short_wait{-1}, short_wait_ms{-1}, long_wait{-1};

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
    // Ctrl+X does not exit; the Start that follows it in the queue proves it
    // was handled.
    key('X', true);
    key('S');
    CHECK(eventually([] { return kpl_running == 1; }));
    CHECK(kpl_exit == 0 && main_calls == 1);
    // S while running neither sets the flag nor calls UserMain again.
    key('S');
    stop_and_wait();
    CHECK(kpl_start == 0);
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
}

void exit_ignored_stop() {
    ignore_stop = true;
    start_and_wait();
    main_command(kStop);
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    CHECK(kpl_running == 1);
}

// That a wait ends at Stop and keeps the windows alive is also what the
// example program's loop in main_window.sh and keyboard.sh relies on.
void wait_scenario() {
    // kpl_start set in UserInit started the run without a Start.
    CHECK(eventually([] { return kpl_running == 1 && short_wait_ms >= 0; }));
    CHECK(short_wait == 0 && short_wait_ms >= 300);
    // Stop ends a wait of ten minutes at once.
    stop_and_wait();
    CHECK(long_wait == 1);
    // Exit ends it within the hand-over (run_expect.sh --prompt-exit).
    start_and_wait();
}

void status_and_geometry() {
    const pf::Metrics m = pf::metrics();
    char expected[16];
    std::snprintf(expected, sizeof expected, "%d-bit color", m.display_depth);
    CHECK(eventually([&] {
        return caption_of(kaplo::status_line()) ==
               std::string(18 - std::strlen(expected) / 2, ' ') + expected;
    }));
    // The caption and the class name are what the end-to-end scripts find the
    // main window by.
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

void driver() {
    run_scenario({{"start_stop_exit", start_stop_exit},
                  {"keys", keys},
                  {"request_during_run", request_during_run},
                  {"exit_ignored_stop", exit_ignored_stop},
                  {"wait", wait_scenario},
                  {"status_and_geometry", status_and_geometry}},
                 {"keys"});
    if (scenario_name() == "keys") key(pf::key::kEscape);  // Escape ends the program
}

}  // namespace

void UserInit() {
    if (scenario_name() == "wait") {
        waiting = true;
        kpl_start = 1;
    }
    std::thread(driver).detach();
}

void UserMain() {
    ++main_calls;
    if (waiting) {
        const uint32_t t = pf::millis();
        short_wait = KPL_Wait(300);
        short_wait_ms = static_cast<int>(pf::millis() - t);
        long_wait = KPL_Wait(600000);
        ++main_returns;
        return;
    }
    while (ignore_stop || !kpl_stop) {
        if (!ignore_stop) KPL_ProcessMessages();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ++main_returns;
}

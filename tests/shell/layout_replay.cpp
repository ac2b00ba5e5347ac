// A user program whose init routine is the window information report's
// source lines (generated.inc, found on the include path), as a developer
// pastes them. It writes the layout they made to replayed.txt and ends, or,
// with the argument "wm", stays for a script to drive.
#include <kaplo.h>
#include <kaplo_boxes.h>
#include <kaplo_image.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <thread>

#include "tests/scenario.h"
#include "tests/shell/layout_dump.h"

void UserInit() {
#include "generated.inc"
    // "wm": the program as a developer runs it, under a window manager, for
    // the script to look at and to press keys in; Start says "started".
    if (KPL_ArgCount() > 1 && std::string(KPL_Arg(1)) == "wm") {
        std::printf("ready\n");
        std::fflush(stdout);
        return;
    }
    make_probe_window();
    std::thread([] {
        CHECK(eventually([] { return probe_window.load() != 0; }));
        std::ofstream("replayed.txt") << on_worker([] { return window_layout(); });
        report_result();
        kaplo::platform::post_command(kaplo::main_window(), 1002);
    }).detach();
}

void UserMain() {
    std::printf("started\n");
    std::fflush(stdout);
}

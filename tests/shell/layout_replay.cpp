// A user program whose init routine is the window information report's
// source lines (generated.inc, found on the include path), as a developer
// pastes them. It writes the layout they made to replayed.txt and ends.
#include <kaplo.h>
#include <kaplo_boxes.h>
#include <kaplo_image.h>

#include <fstream>
#include <thread>

#include "tests/scenario.h"
#include "tests/shell/layout_dump.h"

void UserInit() {
#include "generated.inc"
    make_probe_window();
    std::thread([] {
        CHECK(eventually([] { return probe_window.load() != 0; }));
        std::ofstream("replayed.txt") << on_worker([] { return window_layout(); });
        report_result();
        kaplo::platform::post_command(kaplo::main_window(), 1002);
    }).detach();
}

void UserMain() {}

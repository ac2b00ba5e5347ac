// A user program for the end-to-end tests of the boxes, snapping and file
// drops, driven from outside with real keys, clicks and drags. It uses the
// public calls only, as any user program does (but for the snapping
// scenario's view of the window records), and reports on standard output:
//
//   input    an input box of three fields, 0 and 2 given texts of their
//            own ("640", "1.5"); each change of a committed value prints
//            "value I [TEXT] int N real R", each change of the columns'
//            widths "widths ISIZE ESIZE"; "set A B refused C D E" gives
//            what setting the two texts answered, and setting one with no
//            box open and for items 3 and -1. The main window is titled
//            "Input test " and 100 times "日" (shown cut to 81 of them).
//   buttons  a 3 x 2 button box; each change of counters 0..9 prints
//            "count I N"
//   snap     image window 0 ("left"), an input box and a button box at
//            fixed places, to be dragged; each change of the framework's
//            record of their outer rectangles prints "rect NAME L T R B" (a
//            move from outside is recorded once the procedure's Moving hook
//            has had its say)
//   drops    image window 1 ("target", 200 x 150, grey) and no run, so that
//            the main window takes dropped files
//
// "ready" follows once the windows are open. The boxes' programs run until
// Stop or Exit.
#include <kaplo.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "boxes/boxes.h"
#include "image/image_store.h"
#include "platform/platform.h"

namespace {

std::string scenario() {
    return KPL_ArgCount() > 1 ? KPL_Arg(1) : "";
}

void ready() {
    std::printf("ready\n");
    std::fflush(stdout);
}

// Says "ready", then pumps messages until Stop or Exit, calling `look` after
// each pump.
template <class F>
void serve(F look) {
    ready();
    while (!kpl_stop) {
        KPL_ProcessMessages();
        look();
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

void report(const char* format, auto... args) {
    std::printf(format, args...);
    std::fflush(stdout);
}

void watch_input_box() {
    std::string title = "Input test ";
    for (int i = 0; i < 100; ++i) title += "日";
    KPL_SetProgramTitle(title.c_str());
    const int no_box = KPL_SetInputText(0, "1");
    KPL_OpenInputBox(100, 100, 3);
    const int set0 = KPL_SetInputText(0, "640"), set2 = KPL_SetInputText(2, "1.5");
    report("set %d %d refused %d %d %d\n", set0, set2, no_box, KPL_SetInputText(3, "1"),
           KPL_SetInputText(-1, "1"));
    std::array<std::string, 3> shown = {"0", "0", "0"};
    std::array<int, 2> widths{};
    serve([&] {
        for (int i = 0; i < 3; ++i) {
            const std::string now = KPL_GetInputText(i);
            if (now == shown[i]) continue;
            shown[i] = now;
            report("value %d [%s] int %d real %g\n", i, now.c_str(), KPL_GetInputInt(i),
                   KPL_GetInputDouble(i));
        }
        std::array<int, 2> now{};
        KPL_GetInputBoxWidths(&now[0], &now[1]);
        if (now == widths) return;
        widths = now;
        report("widths %d %d\n", now[0], now[1]);
    });
}

void watch_button_box() {
    KPL_OpenButtonBox(100, 100, 3, 2);
    KPL_SetButtonBoxTitle(5, "Two\\nlines");
    std::array<int, 10> shown{};
    serve([&] {
        for (int i = 0; i < 10; ++i) {
            const int now = KPL_GetButtonCount(i);
            if (now == shown[i]) continue;
            shown[i] = now;
            report("count %d %d\n", i, now);
        }
    });
}

void hold_windows_to_drag() {
    namespace pf = kaplo::platform;
    KPL_CreateImage(0, "left", 100, 100, 200, 120, 100);
    KPL_UpdateImage(0);
    KPL_OpenInputBox(100, 500, 2);
    KPL_OpenButtonBox(700, 500, 2, 2);
    const std::array<std::pair<const char*, pf::WindowId>, 3> windows = {{
        {"left", kaplo::image_table[0].window},
        {"inbox", kaplo::input_box_window()},
        {"buttons", kaplo::button_box_window()},
    }};
    std::array<pf::Rect, 3> shown{};
    serve([&] {
        for (size_t i = 0; i < windows.size(); ++i) {
            pf::Rect r;
            if (!pf::window_rect(windows[i].second, &r) || r == shown[i]) continue;
            shown[i] = r;
            report("rect %s %d %d %d %d\n", windows[i].first, r.left, r.top, r.right, r.bottom);
        }
    });
}

}  // namespace

void UserInit() {
    if (scenario() == "drops") {
        KPL_CreateImage(1, "target", 700, 100, 200, 150, 100);
        KPL_FillBox(0, 0, 199, 149, 0x808080, 0x808080);
        KPL_UpdateImage(1);
        ready();
        return;
    }
    kpl_start = 1;
}

void UserMain() {
    const std::string name = scenario();
    if (name == "input")
        watch_input_box();
    else if (name == "buttons")
        watch_button_box();
    else if (name == "snap")
        hold_windows_to_drag();
    else
        std::printf("unknown scenario %s\n", name.c_str());
}

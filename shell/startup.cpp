// Start-up and the main window: instance number, directories, window kinds,
// the main window with its status line and drop-in animation, the message
// loop. The state other subsystems read is published to runtime/services.

#include <pthread.h>
#include <unistd.h>
#include <csignal>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "boxes/boxes.h"
#include "image/image_window_proc.h"
#include "kaplo.h"
#include "runtime/guarded.h"
#include "shell/shell.h"
#include "text/text_window_proc.h"

using namespace kaplo::platform;

// Weak: programs that do not define it leave its address null.
extern int UserCommandLine(int argc, char** argv) __attribute__((weak));

uint32_t kpl_tttc = 0;

namespace kaplo {
namespace {

// Written on the main thread before the worker starts, read-only afterwards.
// Never destroyed: a thread the program started may still read the
// arguments (KPL_Arg) while the process ends.
std::vector<std::string>& g_args = *new std::vector<std::string>;
MenuId g_main_menu = 0;

constexpr int32_t kStatusLineId = 2001;
constexpr int32_t kClientHeight = 32;  // below the menu bar
constexpr int32_t kClientWidth = 240;
constexpr uint32_t kMainWindowStyle = kStyleCaption | kStyleFixedSize;

// The drop-in animation: 28 steps of 20 ms that bring the window down by
// exactly 55 pixels with two small bounces.
constexpr int kDropOffsets[28] = {1,  2,  3, 4, 5, 6, 7, 8, 9,  10, -6, -5, -4, -3,
                                  -2, -1, 1, 2, 3, 4, 5, 6, -3, -2, -1, 1,  2,  3};

std::string current_directory() {
    std::vector<char> buf(4096);
    if (!getcwd(buf.data(), buf.size())) return ".";
    return buf.data();
}

void busy_wait_from(uint32_t t, uint32_t ms) {
    while (millis() - t < ms) {
        // A pure busy wait, as the window must not take input during its
        // entrance; only the display connection is kept flowing.
    }
}

void drop_in_animation(WindowId window) {
    uint32_t t = millis();
    for (int offset : kDropOffsets) {
        Rect r;
        window_rect(window, &r);
        move_window(window, r.left, r.top + offset);
        flush_display();
        busy_wait_from(t, 20);
        t = millis();
    }
    busy_wait_from(t, 500);
}

}  // namespace

// ---------------------------------------------------------------------------
// Main window creation, run from the Create message on the main thread.

void on_main_window_create(WindowId window) {
    // Published before the worker starts, so the user init routine can use
    // the main window from its first instruction.
    set_main_window(window, create_control(ControlKind::Static, window, u"Ready", 0, 6, 234, 20,
                                           kStatusLineId));
    drop_in_animation(window);
    set_display_depth(metrics().display_depth);
    start_worker_thread();
}

// The display connection is a socket: when another client kills it, the
// next write to it raises SIGPIPE, whose default ends the process before the
// lost display can be reported. The GUI thread holds the signal blocked, so
// the write fails and the loss takes its ordinary way (exit code 1, the log
// complete); the worker takes it back (hold false), so a user program keeps
// the usual disposition.
void hold_broken_pipe_signal(bool hold) {
    sigset_t pipe;
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(hold ? SIG_BLOCK : SIG_UNBLOCK, &pipe, nullptr);
}

int run_shell(int argc, char** argv) {
    // 0. The user program's own look at the command line, before any window.
    if (UserCommandLine) {
        const int code = UserCommandLine(argc, argv);
        if (code >= 0) return code;
    }
    g_args.assign(argv, argv + argc);

    // 1. Instance number (claimed before anything is shown).
    const int instance = claim_instance_number(kMainWindowClassPrefix, kMaxInstances);
    std::string why;
    const std::string class_name =
        std::string(kMainWindowClassPrefix) + std::to_string(instance < 0 ? 0 : instance);
    set_display_lost_handler(on_display_lost);
    hold_broken_pipe_signal(true);
    if (!init(argc, argv, class_name.c_str(), &why)) {
        std::fprintf(stderr, "kaplo: %s\n", why.c_str());
        return 1;
    }
    if (instance < 0) {
        message_box(u"Over instance limit!", u"KAPLO", MessageIcon::None);
        return 1;
    }
    set_instance_number(instance);
    set_window_info_report(window_info_report);
    set_termination_handler(on_termination_signal);

    // 6. The start-up directory, three times.
    set_start_directory(current_directory());

    // 8. Window kinds.
    if (!register_window_kind(main_window_class_name(), main_window_proc) ||
        !register_window_kind("kpl_iw", image_window_proc) ||
        !register_window_kind("kpl_twi", text_window_proc) ||
        !register_window_kind("kpl_ib", input_box_proc, kKindDoubleClicks) ||
        !register_window_kind("kpl_bb", button_box_proc, kKindDoubleClicks))
        return 1;

    // 9-11. Menu, size and position.
    const Metrics m = metrics();
    g_main_menu = create_menu();
    insert_menu_text(g_main_menu, 0, 0, 1001, "Start(&S)");
    insert_menu_text(g_main_menu, 1, 0, 1003, "Stop(&C)");
    insert_menu_text(g_main_menu, 2, 0, 1002, "Exit(&X)");
    const Rect outer = adjust_window_rect(Rect{0, 0, kClientWidth, m.menu_height + kClientHeight},
                                          kMainWindowStyle, false);
    const int32_t w = outer.width(), h = outer.height();
    CreateParams p;
    p.kind = main_window_class_name();
    p.title = ansi_to_wide(banner(), 256);
    p.x = (m.fullscreen_client_width - w) / 2;
    p.y = m.fullscreen_client_height + m.caption_height - h - 55;
    p.width = w;
    p.height = h;
    p.style = kMainWindowStyle;
    p.menu = g_main_menu;
    p.dialog = true;

    // 12. Creation runs the status line, the animation and the worker start.
    if (create_window(p) == 0) return 1;

    // 13-16.
    show_idle_status();
    accept_drops(main_window(), true);
    kpl_tttc = 0xFFFFFF;

    // 17. Message loop, until the main window is destroyed.
    run_main_loop();
    // The loop can also end without Exit (a library quitting the
    // application): the worker is then stopped the same way, so the process
    // never ends under a running worker.
    if (!worker_finished()) stop_worker();
    // The worker reports itself finished while Qt still tears its thread
    // down (posted events, thread storage); that must end before the
    // process's static objects go.
    worker_wait(2000);

    // 18. Shut down.
    destroy_menu(g_main_menu);
    shutdown();
    return 0;
}

}  // namespace kaplo

int KPL_SetProgramTitle(const char* text) {
    return kaplo::guarded(1, [text] {
        const std::string title =
            kaplo::ansi_prefix(text && *text ? text : kaplo::banner(), kaplo::kTitleBytes - 1);
        // No main window: not made yet (UserCommandLine), or gone after Exit.
        const bool set =
            set_title(kaplo::main_window(), ansi_to_wide(title.c_str(), kaplo::kTitleBytes));
        return set ? 0 : 1;
    });
}

void KPL_Pause(const char* message) {
    kaplo::guarded([message] {
        message_box(ansi_to_wide(message ? message : "", 256), u"Pause", MessageIcon::None);
    });
}

int KPL_ArgCount() {
    return static_cast<int>(kaplo::g_args.size());
}

const char* KPL_Arg(int index) {
    if (index < 0 || index >= KPL_ArgCount()) return nullptr;
    return kaplo::g_args[static_cast<size_t>(index)].c_str();
}

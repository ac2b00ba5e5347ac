// Start-up and the main window: instance number, directories, window kinds,
// the main window with its status line and drop-in animation, the message
// loop, and the small utilities other subsystems use.

#include <pthread.h>
#include <unistd.h>
#include <csignal>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "boxes/boxes.h"
#include "image/image_window_proc.h"
#include "kaplo.h"
#include "shell/guarded.h"
#include "shell/shell.h"
#include "shell/status_text.h"
#include "text/text_window_proc.h"

using namespace kaplo::platform;

// Weak: programs that do not define it leave its address null.
extern int UserCommandLine(int argc, char** argv) __attribute__((weak));

uint32_t kpl_tttc = 0;

namespace kaplo {
namespace {

// Written on the main thread before the worker starts, read-only afterwards.
int g_instance = 0;
std::string g_load_dir, g_save_dir, g_log_dir;
std::vector<std::string> g_args;

std::atomic<WindowId> g_main_window{0};
std::atomic<WindowId> g_status_line{0};
std::atomic<int> g_display_depth{0};
MenuId g_main_menu = 0;

// The status line's two texts: the program's own (KPL_SetStatusText, from
// either thread) and a passing one shown over it (the pixel readout, from
// the worker). One mutex orders their showing, so the line always ends with
// the text that should be there.
std::mutex g_status_mutex;
std::u16string g_program_status;  // as shown (centred); empty until a text is set
std::u16string g_overlay_status;  // as shown; empty while none is

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
// Accessors

const char* banner() {
    return "KAPLO " KAPLO_VERSION " video depth framework";
}
WindowId main_window() {
    return g_main_window.load(std::memory_order_acquire);
}
WindowId status_line() {
    return g_status_line.load(std::memory_order_acquire);
}
int instance_number() {
    return g_instance;
}
std::string main_window_class_name() {
    return std::string(kMainWindowClassPrefix) + std::to_string(g_instance);
}
const std::string& load_directory() {
    return g_load_dir;
}
const std::string& save_directory() {
    return g_save_dir;
}
void set_load_directory(std::string folder) {
    g_load_dir = std::move(folder);
}
void set_save_directory(std::string folder) {
    g_save_dir = std::move(folder);
}
const std::string& log_directory() {
    return g_log_dir;
}
int display_depth() {
    return g_display_depth.load();
}

namespace {
std::string idle_status_text() {
    char text[16];
    std::snprintf(text, sizeof text, "%d-bit color", display_depth());
    return text;
}
std::u16string status_shown_for(const char* text) {
    return ansi_to_wide(centred_status_text(text).c_str(), 256);
}
}  // namespace

void show_idle_status() {
    KPL_SetStatusText(idle_status_text().c_str());
}

void show_status_overlay(const char* text) {
    guarded([text] {
        const WindowId status = g_status_line.load();
        if (status == 0) return;
        std::u16string shown = status_shown_for(text);
        std::lock_guard lock(g_status_mutex);
        if (shown == g_overlay_status) return;  // the pointer moved within a pixel
        set_title(status, shown);
        g_overlay_status = std::move(shown);
    });
}

void end_status_overlay() {
    guarded([] {
        const WindowId status = g_status_line.load();
        std::lock_guard lock(g_status_mutex);
        if (status == 0 || g_overlay_status.empty()) return;
        set_title(status, g_program_status.empty() ? status_shown_for(idle_status_text().c_str())
                                                   : g_program_status);
        g_overlay_status.clear();
    });
}

std::string with_trailing_separator(const std::string& dir) {
    if (!dir.empty() && dir.back() == '/') return dir;
    return dir + "/";
}

// ---------------------------------------------------------------------------
// Main window creation, run from the Create message on the main thread.

void on_main_window_create(WindowId window) {
    // Published before the worker starts, so the user init routine can use
    // the main window from its first instruction.
    g_main_window.store(window, std::memory_order_release);
    g_status_line.store(
        create_control(ControlKind::Static, window, u"Ready", 0, 6, 234, 20, kStatusLineId));
    drop_in_animation(window);
    g_display_depth.store(metrics().display_depth);
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
    g_instance = instance;
    set_termination_handler(on_termination_signal);

    // 6. The start-up directory, three times.
    const std::string cwd = current_directory();
    g_load_dir = cwd;
    g_save_dir = cwd;
    g_log_dir = with_trailing_separator(cwd);

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

// ---------------------------------------------------------------------------
// Utilities

void get_window_text_ansi(WindowId window, char* buffer, int capacity) {
    if (!buffer || capacity <= 0) return;
    std::u16string t = title(window);
    if (t.size() > 256) t.resize(256);
    const std::string a = wide_to_ansi(t, static_cast<size_t>(capacity) - 1);
    std::memcpy(buffer, a.c_str(), a.size() + 1);
}

void set_window_text_ansi(WindowId window, const char* text) {
    set_title(window, ansi_to_wide(text, 256));
}

std::string ansi_prefix(const char* text, size_t max_bytes) {
    // The conversions stop at their capacity without splitting a character.
    return wide_to_ansi(ansi_to_wide(text, SIZE_MAX), max_bytes);
}

void insert_menu_text(MenuId menu, int position, int state, int id, const char* text) {
    insert_menu_item(menu, position, state, id, ansi_to_wide(text, 256));
}

void insert_menu_separator_item(MenuId menu, int position) {
    insert_menu_separator(menu, position);
}

void insert_sub_menu(MenuId menu, MenuId sub, int position, const char* text) {
    insert_submenu(menu, sub, position, ansi_to_wide(text, 256));
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

void KPL_SetStatusText(const char* text) {
    kaplo::guarded([text] {
        const WindowId status = kaplo::g_status_line.load();
        if (status == 0) return;
        std::u16string shown = kaplo::status_shown_for(text);
        // Kept, but not shown, while a passing text is over it.
        std::lock_guard lock(kaplo::g_status_mutex);
        if (kaplo::g_overlay_status.empty()) set_title(status, shown);
        kaplo::g_program_status = std::move(shown);
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

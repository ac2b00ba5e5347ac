// The services every subsystem uses: the main window and its status line,
// the instance number, the start-up directories, the display depth, the
// markers the main window's procedure reads, and the window-text and menu
// helpers. The shell fills the state in at start-up (the setters below the
// accessors); text windows, image windows and boxes read it.

#include "runtime/services.h"

#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include <utility>

#include "kaplo.h"
#include "runtime/guarded.h"
#include "runtime/status_text.h"

using namespace kaplo::platform;

namespace kaplo {

std::atomic<int32_t> g_input_active{0};
std::atomic<int32_t> g_tool_active{0};

namespace {

// Written on the main thread before the worker starts, read-only afterwards.
int g_instance = 0;
std::string g_load_dir, g_save_dir, g_log_dir;

std::atomic<WindowId> g_main_window{0};
std::atomic<WindowId> g_status_line{0};
std::atomic<int> g_display_depth{0};
void (*g_window_info_report)(int slot) = nullptr;

// The status line's two texts: the program's own (KPL_SetStatusText, from
// either thread) and a passing one shown over it (the pixel readout, from
// the worker). One mutex orders their showing, so the line always ends with
// the text that should be there.
std::mutex g_status_mutex;
std::u16string g_program_status;  // as shown (centred); empty until a text is set
std::u16string g_overlay_status;  // as shown; empty while none is

// Joins a folder and a trailing separator unless it has one.
std::string with_trailing_separator(const std::string& dir) {
    if (!dir.empty() && dir.back() == '/') return dir;
    return dir + "/";
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

// ---------------------------------------------------------------------------
// Set by the shell at start-up

void set_instance_number(int instance) {
    g_instance = instance;
}
void set_start_directory(const std::string& folder) {
    g_load_dir = folder;
    g_save_dir = folder;
    g_log_dir = with_trailing_separator(folder);
}
void set_main_window(WindowId window, WindowId status) {
    // Published before the worker starts, so the user init routine can use
    // the main window from its first instruction.
    g_main_window.store(window, std::memory_order_release);
    g_status_line.store(status, std::memory_order_release);
}
void set_display_depth(int depth) {
    g_display_depth.store(depth);
}
void set_window_info_report(void (*report)(int slot)) {
    g_window_info_report = report;
}
void print_window_info(int slot) {
    if (g_window_info_report) g_window_info_report(slot);
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

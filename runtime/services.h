#pragma once
// The services below text windows, image windows and boxes, which all of them
// use: the main window, the instance number, the start-up directories, the
// display depth, the markers the main window's procedure reads, and small
// window-text and menu helpers. The shell, above them, fills the state in at
// start-up.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kaplo {

// The framework banner: the main window's title.
const char* banner();

platform::WindowId main_window();  // readable from the worker from its first instruction on
platform::WindowId status_line();
int instance_number();
// The main window's kind: "kaplo_mw" and the instance number.
inline constexpr const char* kMainWindowClassPrefix = "kaplo_mw";
std::string main_window_class_name();

// Start-up directory, recorded three times at start-up. The load and save
// directories then follow the folders last chosen in the load and save
// dialogs: after start-up they are read and written by the worker only.
const std::string& load_directory();
const std::string& save_directory();
const std::string& log_directory();  // with a trailing '/'
void set_load_directory(std::string folder);
void set_save_directory(std::string folder);

// The display depth read when the main window was created.
int display_depth();
// The status line's text while nothing waits for the user: "<depth>-bit color".
void show_idle_status();
// A passing text over the status line (the pixel readout), centred as
// KPL_SetStatusText centres. The program's own text is kept meanwhile:
// KPL_SetStatusText only records it, and end_status_overlay shows the last
// one again (the idle text when none was set). Worker thread.
void show_status_overlay(const char* text);
void end_status_overlay();

// Markers owned by subsystems and read by the main window's procedure.
extern std::atomic<int32_t> g_input_active;  // a line input is waiting (worker writes)
extern std::atomic<int32_t> g_tool_active;   // a mouse tool is running (worker writes)

// Window text through the locale's 8-bit encoding (capacity in bytes,
// terminator included).
void get_window_text_ansi(platform::WindowId window, char* buffer, int capacity);
void set_window_text_ansi(platform::WindowId window, const char* text);
// The title buffer of windows' captions, its terminator included.
inline constexpr size_t kTitleBytes = 256;
// The longest start of `text` that fits `max_bytes` bytes without splitting
// a character (8-bit text as every conversion reads it).
std::string ansi_prefix(const char* text, size_t max_bytes);
// Menu items by position.
void insert_menu_text(platform::MenuId menu, int position, int state, int id, const char* text);
void insert_menu_separator_item(platform::MenuId menu, int position);
void insert_sub_menu(platform::MenuId menu, platform::MenuId sub, int position, const char* text);

// The window information command of the main window and the text windows.
inline constexpr int32_t kWindowInfoCommand = 1045;
// Prints the window information report in text window `slot` (made current)
// and puts source lines re-creating the layout on the clipboard. Worker. The
// report reads every subsystem, so the shell installs it at start-up; before
// that this does nothing.
void print_window_info(int slot);

// Set by the shell at start-up (main thread), before the worker starts.
void set_instance_number(int instance);
void set_start_directory(const std::string& folder);  // load, save and log directories
void set_main_window(platform::WindowId window, platform::WindowId status_line);
void set_display_depth(int depth);
void set_window_info_report(void (*report)(int slot));

}  // namespace kaplo

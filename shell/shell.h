#pragma once
// The application shell's internals: instances, the request slot and its
// posters, the exit handshake and the start-up steps. The shell sits on top
// of text windows, image windows and boxes; nothing below it includes this.

#include <cstdint>
#include <string>

#include "platform/platform.h"
#include "runtime/services.h"
#include "shell/requests.h"

namespace kaplo {

inline constexpr int32_t kMaxInstances = 10;

// The request slot and its posters (main thread only).
RequestSlot& request_slot();
// With `keep_current`, the image current before a successful creation is
// made current again by the worker, as part of the request.
int32_t post_create_image_request(int32_t index, const char* title, int32_t width, int32_t height,
                                  int32_t bit_depth, bool keep_current = false);
void post_refresh_image_request(int32_t index);
int32_t post_load_image_request(int32_t index, const char* path);
// Hands `picture` to the worker, which draws it at (0, 0) of image `index`
// (the current image when -1), keeping the current image, and frees it.
void post_paste_bitmap_request(KPL_ClipboardPicture* picture, int32_t index = -1);
void post_open_text_window_request(int32_t index);
void post_open_input_box_request(int32_t item_count);
void post_open_button_box_request(int32_t columns, int32_t rows);
// The main window's creation commands (main thread): Paste, the image
// window dialogue, the next text window, and files dropped on the main
// window. Each hands the work to the worker as requests.
void paste_command();
void image_window_dialogue();
void open_next_text_window();
void input_box_dialogue();
void button_box_dialogue();
// Prints the window information report in text window `slot` and puts the
// layout's source lines on the clipboard (worker); installed at start-up as
// the services' print_window_info.
void window_info_report(int slot);
// Window information: asks the current text window (text window 0 when none
// is open) to print the report.
void window_info_command();
void drop_files(const std::vector<std::string>& paths);
// "%03d name" for a dropped file, cut to the 256-byte title buffer at a
// whole character.
std::string drop_title(int32_t number, const std::string& name);
// Worker thread only: carries out the pending request.
void dispatch_request();
// The main thread's pump for posters: every waiting message, no dialog keys.
void main_thread_pump();

// Exit: the exit handshake, run on the main thread: stop_worker() asks the
// worker to end and waits up to 2000 ms (ending the process if it does not),
// then the main window is destroyed.
void exit_program();
void stop_worker();
// The display went away: the worker is stopped as by Exit, and the process
// ends with exit code 1 (platform's display-lost handler).
void on_display_lost();
// SIGINT, SIGTERM or SIGHUP arrived: the program ends as by Exit.
void on_termination_signal(int sig);

// Internal to the shell.
int run_shell(int argc, char** argv);
void start_worker_thread();
// SIGPIPE blocked (true) or unblocked on the calling thread; see startup.cpp.
void hold_broken_pipe_signal(bool hold);
void on_main_window_create(platform::WindowId window);
bool worker_finished();
bool worker_wait(unsigned long ms);
intptr_t main_window_proc(platform::WindowId window, platform::Message& msg);

}  // namespace kaplo

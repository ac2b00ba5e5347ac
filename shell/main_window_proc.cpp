// The main window's procedure: commands, keys, the pop-up menu and Exit.

#include <unistd.h>
#include <cstdio>

#include "kaplo.h"
#include "platform/keys.h"
#include "shell/shell.h"
#include "text/window_edges.h"

using namespace kaplo::platform;

namespace kaplo {
namespace {

enum Command : int32_t {
    kCmdStart = 1001,
    kCmdExit = 1002,
    kCmdStop = 1003,
    kCmdPaste = 1026,
    kCmdImageWindow = 1027,
    kCmdTextWindow = 1028,
    kCmdInputBox = 1044,
    kCmdWindowInfo = kWindowInfoCommand,
    kCmdButtonBox = 1051,
};

constexpr uint32_t kExitWaitMs = 2000;

void start_command() {
    if (kpl_running.load() == 0) kpl_start.store(1, std::memory_order_release);
}

// A program resting in KPL_Wait is woken to see the flag.
void stop_command() {
    kpl_stop.store(1, std::memory_order_release);
    wake_waiting_threads();
}

void show_popup_menu(WindowId window) {
    const int busy = (kpl_running.load() == 1 || g_input_active.load() != 0) ? kMenuGrayed : 0;
    const MenuId menu = create_menu();
    insert_menu_text(menu, 0, busy, kCmdPaste, "Paste\tCtrl+V");
    insert_menu_separator_item(menu, 1);
    insert_menu_text(menu, 2, busy, kCmdStart, "Start");
    insert_menu_text(menu, 3, 0, kCmdStop, "Stop");
    insert_menu_text(menu, 4, 0, kCmdExit, "E&xit");
    insert_menu_separator_item(menu, 5);
    insert_menu_text(menu, 6, busy, kCmdImageWindow, "Image Window");
    insert_menu_text(menu, 7, busy, kCmdTextWindow, "Text Window");
    insert_menu_text(menu, 8, busy, kCmdInputBox, "Input Box");
    insert_menu_text(menu, 9, busy, kCmdButtonBox, "Button Box");
    insert_menu_separator_item(menu, 10);
    insert_menu_text(menu, 11, busy, kCmdWindowInfo, "&Window Info.\tCtrl+W");
    // The choice arrives as a command message, like one from the menu bar.
    track_popup_menu(menu, window);
    destroy_menu(menu);
}

void on_key(WindowId window, const Message& msg) {
    if (msg.ctrl) {
        if (msg.key == 'V') post_command(window, kCmdPaste);
        if (msg.key == 'W') post_command(window, kCmdWindowInfo);
        return;
    }
    switch (msg.key) {
        case key::kEscape:
        case 'X':
            exit_program();
            break;
        case 'S':
            start_command();
            break;
        case 'C':
            stop_command();
            break;
        default:
            break;
    }
}

void on_command(int32_t id) {
    switch (id) {
        case kCmdStart:
            start_command();
            break;
        case kCmdStop:
            stop_command();
            break;
        case kCmdExit:
            exit_program();
            break;
        case kCmdPaste:
            paste_command();
            break;
        case kCmdImageWindow:
            image_window_dialogue();
            break;
        case kCmdTextWindow:
            open_next_text_window();
            break;
        case kCmdInputBox:
            input_box_dialogue();
            break;
        case kCmdButtonBox:
            button_box_dialogue();
            break;
        case kCmdWindowInfo:
            window_info_command();
            break;
        default:
            break;
    }
}

}  // namespace

void stop_worker() {
    g_input_active.store(0, std::memory_order_release);
    kpl_stop.store(1, std::memory_order_release);
    kpl_exit.store(1, std::memory_order_release);
    wake_waiting_threads();
    KPL_CloseAllLogs();

    // Wait for the worker while the GUI keeps running: the worker may itself
    // be waiting for the GUI thread (a modal call, a video preview window).
    const uint32_t t = millis();
    while (!worker_finished() && millis() - t <= kExitWaitMs) {
        pump();
        worker_wait(1);
    }
    if (!worker_finished()) {
        // A thread cannot be killed safely: end the process instead, once
        // everything that must reach a file has been written.
        std::fprintf(stderr, "kaplo: the program did not stop within %u ms; ending it\n",
                     kExitWaitMs);
        kpl_exit.store(2, std::memory_order_release);
        std::fflush(nullptr);
        _exit(0);
    }
    int32_t expected = 1;
    kpl_exit.compare_exchange_strong(expected, 2);
}

void on_termination_signal(int) {
    // The platform calls this from the main loop, so the main window exists:
    // the program ends as Exit ends it, the worker stopped within the
    // hand-over and the logs closed.
    exit_program();
}

void on_display_lost() {
    // Nothing of the window system works any more: stop the program the way
    // Exit does, without waiting for any window, and end the process with a
    // code that says it did not end normally.
    std::fprintf(stderr, "kaplo: the connection to the display was lost\n");
    g_input_active.store(0, std::memory_order_release);
    kpl_stop.store(1, std::memory_order_release);
    kpl_exit.store(1, std::memory_order_release);
    wake_waiting_threads();
    KPL_CloseAllLogs();
    worker_wait(kExitWaitMs);
    std::fflush(nullptr);
    _exit(1);
}

void exit_program() {
    static bool exiting = false;  // main thread only; Exit may arrive nested in its own wait
    if (exiting) return;
    exiting = true;
    // Open message boxes, dialogs and menus close as if cancelled, so that a
    // worker waiting for one returns within the hand-over.
    close_all_modal();
    stop_worker();
    destroy_window(main_window());
}

intptr_t main_window_proc(WindowId window, Message& msg) {
    switch (msg.type) {
        case MsgType::Create:
            on_main_window_create(window);
            return 0;
        case MsgType::Destroy:
            quit_main_loop();
            return 0;
        case MsgType::Close:
            // The main window has no close box; a close request from the
            // window system still ends the program through Exit, so the
            // worker thread is never abandoned mid-run.
            exit_program();
            return 0;
        case MsgType::Moved:
        case MsgType::Moving:
            follow_window_edges(window, msg);
            return 0;
        case MsgType::Sizing:
            // The frame cannot be dragged to another size (the window manager
            // is told so; this holds where nothing enforces it).
            window_rect(window, &msg.rect);
            return 0;
        case MsgType::RightDown:
        case MsgType::NcRightDown:
            if (g_tool_active.load() == 0) show_popup_menu(window);
            return 0;
        case MsgType::KeyDown:
            on_key(window, msg);
            return 0;
        case MsgType::Command:
            on_command(msg.key);
            return 0;
        case MsgType::DropFiles:
            if (msg.files) drop_files(*msg.files);
            return 0;
        default:
            return default_proc(window, msg);
    }
}

}  // namespace kaplo

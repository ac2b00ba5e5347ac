// The text window procedure: painting and resizing the surface, feeding a
// waiting line input, the pop-up menu and Ctrl shortcuts, and forwarding the
// main window's single-key commands.

#include <cstdio>

#include "kaplo.h"
#include "platform/keys.h"
#include "runtime/misuse.h"
#include "runtime/services.h"
#include "text/log_file.h"
#include "text/text_input.h"
#include "text/text_window.h"
#include "text/window_edges.h"

using namespace kaplo::platform;

namespace kaplo {
namespace {

enum Command : int32_t {
    kCmdDestroy = 1006,
    kCmdAbout = 1020,
    kCmdStartLog = 1024,
    kCmdStopLog = 1025,
    kCmdConsole = 1029,
    kCmdCopyLog = 1030,
    kCmdWindowInfo = kWindowInfoCommand,
    kCmdSelect = 1069,
};

void show_menu(WindowId window, int slot) {
    const MenuId menu = create_menu();
    const int log = log_state(slot);
    insert_menu_text(menu, 0, current_text_window.load() == slot ? kMenuChecked : 0, kCmdSelect,
                     "&Select\tCtrl+S");
    insert_menu_text(menu, 1, 0, kCmdWindowInfo, "&Window Info.\tCtrl+W");
    insert_menu_text(menu, 2, 0, kCmdConsole, "Command");
    insert_menu_separator_item(menu, 3);
    insert_menu_text(menu, 4, log == 1 ? kMenuChecked : 0, kCmdStartLog, "Start Log");
    insert_menu_text(menu, 5, log == 2 ? kMenuChecked : 0, kCmdStopLog, "Stop Log");
    char copy[512];
    std::snprintf(copy, sizeof copy, "&Copy KAPLO%d%d.LOG\tCtrl+C", instance_number(), slot);
    insert_menu_text(menu, 6, 0, kCmdCopyLog, copy);
    insert_menu_separator_item(menu, 7);
    insert_menu_text(menu, 8, 0, kCmdAbout, "&About KAPLO\tCtrl+A");
    insert_menu_separator_item(menu, 9);
    insert_menu_text(menu, 10, 0, kCmdDestroy, "&Destroy\tCtrl+Q");
    track_popup_menu(menu, window);
    destroy_menu(menu);
}

void on_command(int slot, int32_t id) {
    switch (id) {
        case kCmdSelect:
            KPL_SelectTextWindow(slot);
            break;
        case kCmdWindowInfo:
            print_window_info(slot);
            break;
        case kCmdConsole:
            run_console();
            break;
        case kCmdStartLog:
            KPL_StartLog(slot);
            break;
        case kCmdStopLog:
            KPL_StopLog(slot);
            break;
        case kCmdCopyLog:
            KPL_CopyLog(slot);
            break;
        case kCmdAbout:
            print_about(slot);
            break;
        case kCmdDestroy:
            KPL_CloseTextWindow(slot);
            break;
        default:
            break;
    }
}

void on_key(WindowId window, int slot, const Message& msg) {
    if (g_input_active.load() != 0) {
        if (g_special_request.load() == 0) {
            if (msg.key == key::kUp) g_special_request.store(1);
            if (msg.key == 'V' && msg.ctrl) g_special_request.store(2);
        }
        return;
    }
    if (msg.ctrl) {
        switch (msg.key) {
            case 'A':
                post_command(window, kCmdAbout);
                break;
            case 'C':
                post_command(window, kCmdCopyLog);
                break;
            case 'W':
                post_command(window, kCmdWindowInfo);
                break;
            case 'Q':
                post_command(window, kCmdDestroy);
                break;
            case 'S':
                post_command(window, kCmdSelect);
                break;
            default:
                break;
        }
        return;
    }
    switch (msg.key) {
        case key::kEscape:
        case 'C':
        case 'S':
        case 'X':
            post_key(main_window(), msg.key);
            break;
        case key::kSpace:
            KPL_SelectTextWindow(slot);
            run_console();
            break;
        default:
            break;
    }
}

}  // namespace

intptr_t text_window_proc(WindowId window, Message& msg) {
    // The window's own menu and keys act on the window itself: not the user's calls.
    const QuietMisuse quiet;
    const int slot = text_slot_of(window);
    if (slot < 0) return default_proc(window, msg);
    switch (msg.type) {
        case MsgType::Size:
            text_window_resize(slot, msg.x, msg.y);
            rebuild_window_edges();
            return 0;
        case MsgType::Moved:
        case MsgType::Moving:
            follow_window_edges(window, msg);
            return 0;
        case MsgType::Paint:
            text_window_show(slot);
            return 0;
        case MsgType::Close:
            KPL_CloseTextWindow(slot);
            return 0;
        case MsgType::KeyDown:
            on_key(window, slot, msg);
            return 0;
        case MsgType::Char:
            if (g_input_active.load() != 0 && !msg.ctrl)
                keyboard_push(static_cast<char16_t>(msg.key & 0xFFFF));
            return 0;
        case MsgType::RightDown:
            if (g_input_active.load() == 0 && g_tool_active.load() == 0) show_menu(window, slot);
            return 0;
        case MsgType::Command:
            on_command(slot, msg.key);
            return 0;
        default:
            return default_proc(window, msg);
    }
}

}  // namespace kaplo

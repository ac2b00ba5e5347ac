// The button box: a grid of push buttons whose presses the framework counts;
// the user program reads the counters. The digit keys press buttons 0 to 9.

#include <algorithm>
#include <array>
#include <cstdio>

#include "boxes/boxes.h"
#include "kaplo.h"
#include "platform/keys.h"
#include "runtime/guarded.h"
#include "runtime/services.h"
#include "text/window_edges.h"

namespace pf = kaplo::platform;
namespace key = kaplo::platform::key;

namespace {

constexpr int kMaxButtons = 256;
constexpr int kFirstButtonId = 3000;
constexpr int kCmdDestroy = 1050;
constexpr int kCmdRename = 1057;

struct ButtonBox {
    pf::WindowId window = 0;
    int columns = 0, rows = 0, count = 0;
    std::array<pf::WindowId, kMaxButtons> buttons{};
    int rename_button = 0;  // the button under the last right click
};

ButtonBox g_box;
std::array<int, kMaxButtons> g_counters{};  // kept after the box closes
// Button size, kept from one box to the next.
int g_button_width = 98;
int g_button_height = 26;

int client_width() {
    return g_box.columns * (g_button_width + 4) + 4;
}
int client_height() {
    return g_box.rows * (g_button_height + 4) + 4;
}

pf::Rect button_rect(int i) {
    const int r = i / g_box.columns, c = i % g_box.columns;
    pf::Rect rect;
    rect.left = c * (g_button_width + 4) + 4;
    rect.top = r * (g_button_height + 4) + 4;
    rect.right = rect.left + g_button_width;
    rect.bottom = rect.top + g_button_height;
    return rect;
}

// The button sizes that fill a client area of w x h.
void fit_buttons(int w, int h) {
    if (g_box.columns <= 0 || g_box.rows <= 0) return;
    g_button_width = std::max(1, std::max(1, w - (4 * g_box.columns + 4)) / g_box.columns);
    g_button_height = std::max(1, std::max(1, h - (4 * g_box.rows + 4)) / g_box.rows);
    for (int i = 0; i < g_box.count; ++i) pf::set_window_rect(g_box.buttons[i], button_rect(i));
}

// The button at client point (x, y); points between buttons count for the
// nearest one up and to the left.
int button_at(int x, int y) {
    const int c = std::min((x & 0xFFFF) / (g_button_width + 4), g_box.columns - 1);
    const int r = std::min((y & 0xFFFF) / (g_button_height + 4), g_box.rows - 1);
    return c + g_box.columns * r;
}

void rename_button(int index) {
    char old_caption[513] = "";
    if (index >= 0 && index < g_box.count)
        kaplo::get_window_text_ansi(g_box.buttons[index], old_caption, sizeof old_caption);
    const std::string line = kaplo::boxes::ask_new_name(index, old_caption);
    // The prompt pumps messages: the box may have gone meanwhile.
    if (line.empty() || !g_box.window || index < 0 || index >= g_box.count) return;
    kaplo::set_window_text_ansi(g_box.buttons[index],
                                kaplo::with_line_breaks(line.c_str()).c_str());
}

void show_menu(pf::WindowId window, bool with_rename) {
    kaplo::boxes::show_box_menu(window, with_rename ? kCmdRename : 0, kCmdDestroy,
                                "&Destroy\tCtrl+Q");
}

void on_key(pf::WindowId window, const pf::Message& msg) {
    if (msg.ctrl) {
        if (msg.key == 'Q') {
            pf::Message close;
            close.type = pf::MsgType::Close;
            pf::post(window, close);
        }
        return;
    }
    if (msg.key == key::kEscape || msg.key == 'C' || msg.key == 'S' || msg.key == 'X') {
        pf::post_key(kaplo::main_window(), msg.key);
        return;
    }
    if (msg.key >= '0' && msg.key <= '9') ++g_counters[msg.key - '0'];
    if (msg.key >= key::kNumpad0 && msg.key <= key::kNumpad0 + 9)
        ++g_counters[msg.key - key::kNumpad0];
}

void on_command(pf::WindowId window, const pf::Message& msg) {
    if (msg.notify != 0) return;
    pf::set_focus(window);  // the digit keys keep working after a click
    const int i = msg.key - kFirstButtonId;
    if (msg.control != 0 && i >= 0 && i < g_box.count) ++g_counters[i];
    if (msg.key == kCmdDestroy)
        KPL_CloseButtonBox();
    else if (msg.key == kCmdRename)
        rename_button(g_box.rename_button);
}

}  // namespace

namespace kaplo {

void button_box_grid(int* columns, int* rows) {
    *columns = g_box.window ? g_box.columns : 0;
    *rows = g_box.window ? g_box.rows : 0;
}

pf::WindowId button_box_button(int button) {
    return g_box.window && button >= 0 && button < g_box.count ? g_box.buttons[button] : 0;
}

pf::WindowId button_box_window() {
    return g_box.window;
}

std::string with_line_breaks(const char* text) {
    std::string out;
    for (const char* p = text; *p; ++p) {
        if (p[0] == '\\' && p[1] == 'n') {
            out += '\n';
            ++p;
        } else {
            out += *p;
        }
    }
    return out;
}

intptr_t button_box_proc(pf::WindowId window, pf::Message& msg) {
    if (window != g_box.window) return pf::default_proc(window, msg);
    switch (msg.type) {
        case pf::MsgType::Size:
            fit_buttons(msg.x, msg.y);
            return 0;
        case pf::MsgType::NcRightDown:
            show_menu(window, false);
            return 0;
        case pf::MsgType::RightDown:
            g_box.rename_button = button_at(msg.x, msg.y);
            show_menu(window, true);
            return 0;
        case pf::MsgType::LeftDoubleClick:
            rename_button(button_at(msg.x, msg.y));
            return 0;
        case pf::MsgType::KeyDown:
            on_key(window, msg);
            return 0;
        case pf::MsgType::Command:
            on_command(window, msg);
            return 0;
        case pf::MsgType::Close:
            KPL_CloseButtonBox();
            return 0;
        case pf::MsgType::Moved:
        case pf::MsgType::Moving:
            // The edges of every window are kept for snapping; a Ctrl-held
            // drag of the box snaps to them.
            follow_window_edges(window, msg);
            return 0;
        case pf::MsgType::Destroy:
            return 0;
        default:
            return pf::default_proc(window, msg);
    }
}

}  // namespace kaplo

void KPL_OpenButtonBox(int x, int y, int columns, int rows) {
    kaplo::guarded([&] {
        if (g_box.window || columns <= 0 || rows <= 0 || columns > kMaxButtons ||
            columns * rows > kMaxButtons)
            return;
        g_box.columns = columns;
        g_box.rows = rows;
        g_box.count = 0;  // no buttons until they exist
        g_box.rename_button = 0;
        g_box.window = kaplo::boxes::create_box_window("kpl_bb", u"ButtonBox", x, y, client_width(),
                                                       client_height());
        if (!g_box.window) return;
        for (int i = 0; i < columns * rows; ++i) {
            char caption[12];
            std::snprintf(caption, sizeof caption, "%d", i);
            const pf::Rect r = button_rect(i);
            g_box.buttons[i] = pf::create_control(pf::ControlKind::Button, g_box.window,
                                                  pf::ansi_to_wide(caption, 11), r.left, r.top,
                                                  r.width(), r.height(), kFirstButtonId + i);
            g_counters[i] = 0;
        }
        g_box.count = columns * rows;
        pf::invalidate(g_box.window);
        pf::bring_to_front(g_box.window);
    });
}

void KPL_CloseButtonBox() {
    kaplo::guarded([] {
        if (!g_box.window) return;
        const pf::WindowId window = g_box.window;
        g_box.window = 0;
        g_box.count = 0;
        kaplo::boxes::destroy_box_window(window, u"DestroyWindow[BB] error", u"KAPLO error!");
    });
}

void KPL_ResizeButtonBox(int width, int height) {
    kaplo::guarded([&] {
        if (!g_box.window) return;
        fit_buttons(width, height);
        const pf::Rect outer = kaplo::boxes::box_outer_rect(width, height);
        pf::resize_window(g_box.window, outer.width(), outer.height());
    });
}

void KPL_SetButtonBoxTitle(int button, const char* caption) {
    kaplo::guarded([&] {
        if (!g_box.window || button < 0 || button >= g_box.count || !caption) return;
        kaplo::set_window_text_ansi(g_box.buttons[button],
                                    kaplo::with_line_breaks(caption).c_str());
    });
}

int KPL_GetButtonCount(int button) {
    return button >= 0 && button < kMaxButtons ? g_counters[button] : 0;
}

void KPL_ResetButtonCount(int button) {
    if (button >= 0 && button < kMaxButtons) g_counters[button] = 0;
}

void KPL_GetButtonSize(int* width, int* height) {
    if (width) *width = g_button_width;
    if (height) *height = g_button_height;
}

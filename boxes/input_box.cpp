// The input box: up to 30 labelled edit fields. What is typed into a field
// becomes the item's value when the field loses the keyboard focus or Enter
// is pressed in it; the user program reads the values.

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "boxes/boxes.h"
#include "kaplo.h"
#include "runtime/guarded.h"
#include "runtime/services.h"
#include "text/window_edges.h"

namespace pf = kaplo::platform;

namespace {

constexpr int kMaxItems = 30;
constexpr int kValueBytes = 256;  // terminator included
constexpr int kRowPitch = 28;
constexpr int kRowHeight = 24;
constexpr int kCmdDestroy = 1023;
constexpr int kCmdRename = 1056;

struct InputBox {
    pf::WindowId window = 0;
    int count = 0;
    std::array<pf::WindowId, kMaxItems> labels{};
    std::array<pf::WindowId, kMaxItems> edits{};
    std::array<std::array<char, kValueBytes>, kMaxItems> values{};
    pf::WindowId focused = 0;  // the edit that last gained the focus
    int sizing_edge = 0;       // the edge of the last drag
    int rename_item = 0;       // the row of the last right click
};

InputBox g_box;
// Column widths, kept from one box to the next.
int g_label_width = 80;
int g_edit_width = 70;

int client_width() {
    return g_label_width + g_edit_width + 12;
}
int client_height() {
    return kRowPitch * g_box.count + 2;
}

void lay_out() {
    for (int i = 0; i < g_box.count; ++i) {
        pf::Rect r;
        r.left = 4;
        r.top = 7 + kRowPitch * i;
        r.right = r.left + g_label_width;
        r.bottom = r.top + kRowHeight;
        pf::set_window_rect(g_box.labels[i], r);
        r.left = g_label_width + 8;
        r.top = 4 + kRowPitch * i;
        r.right = r.left + g_edit_width;
        r.bottom = r.top + kRowHeight;
        pf::set_window_rect(g_box.edits[i], r);
    }
}

// Only the width can change: the height stays that of the rows.
void limit_size() {
    const int h = client_height();
    pf::set_client_size_limits(g_box.window, 14, h, 0, h);
}

void commit(pf::WindowId edit) {
    for (int i = 0; i < g_box.count; ++i) {
        if (g_box.edits[i] != edit) continue;
        kaplo::get_window_text_ansi(edit, g_box.values[i].data(), kValueBytes);
        return;
    }
}

void rename_item(int index) {
    char old_label[kValueBytes] = "";
    if (index >= 0 && index < g_box.count)
        kaplo::get_window_text_ansi(g_box.labels[index], old_label, sizeof old_label);
    const std::string line = kaplo::boxes::ask_new_name(index, old_label);
    // The prompt pumps messages: the box may have gone meanwhile.
    if (line.empty() || !g_box.window || index < 0 || index >= g_box.count) return;
    kaplo::set_window_text_ansi(g_box.labels[index], line.c_str());
}

void show_menu(pf::WindowId window, bool with_rename) {
    kaplo::boxes::show_box_menu(window, with_rename ? kCmdRename : 0, kCmdDestroy, "Destroy");
}

bool is_edit(pf::WindowId control) {
    return control && std::find(g_box.edits.begin(), g_box.edits.begin() + g_box.count, control) !=
                          g_box.edits.begin() + g_box.count;
}

void on_command(const pf::Message& msg) {
    if (msg.key == pf::kCommandOk && msg.control == 0) commit(g_box.focused);
    switch (msg.key) {
        case kCmdDestroy:
            KPL_CloseInputBox();
            break;
        case kCmdRename:
            rename_item(g_box.rename_item);
            break;
        default:
            break;
    }
}

}  // namespace

namespace kaplo {

int input_box_items() {
    return g_box.window ? g_box.count : 0;
}

pf::WindowId input_box_label(int item) {
    return item >= 0 && item < input_box_items() ? g_box.labels[item] : 0;
}

pf::WindowId input_box_window() {
    return g_box.window;
}

intptr_t input_box_proc(pf::WindowId window, pf::Message& msg) {
    if (window != g_box.window) return pf::default_proc(window, msg);
    switch (msg.type) {
        case pf::MsgType::Sizing: {
            pf::Rect now;
            if (pf::window_rect(window, &now)) {
                msg.rect.top = now.top;
                msg.rect.bottom = now.bottom;
            }
            g_box.sizing_edge = msg.notify;
            return 0;
        }
        case pf::MsgType::Size: {
            const int w = msg.x;
            const int edge = g_box.sizing_edge;
            if (edge == pf::kEdgeLeft || edge == pf::kEdgeTopLeft || edge == pf::kEdgeBottomLeft)
                g_label_width = std::max(1, w - g_edit_width - 12);
            else
                g_edit_width = std::max(1, w - g_label_width - 12);
            lay_out();
            return 0;
        }
        case pf::MsgType::Activate:
            // Only on activation: giving a control the focus activates its
            // window, so doing it on deactivation would take the activation
            // back from the window the user went to.
            if (msg.key == 0 || g_box.count == 0) return 0;
            if (!g_box.focused) g_box.focused = g_box.edits[0];
            pf::set_focus(g_box.focused);
            pf::set_edit_selection(g_box.edits[0], 0, -1);
            return 0;
        case pf::MsgType::FocusGained:
            if (is_edit(msg.control)) g_box.focused = msg.control;
            return 0;
        case pf::MsgType::FocusLost:
            commit(msg.control);
            return 0;
        case pf::MsgType::Close:
            KPL_CloseInputBox();
            return 0;
        case pf::MsgType::NcRightDown:
            show_menu(window, false);
            return 0;
        case pf::MsgType::RightDown:
            g_box.rename_item = msg.y / kRowPitch;
            show_menu(window, true);
            return 0;
        case pf::MsgType::LeftDoubleClick:
            rename_item(msg.y / kRowPitch);
            return 0;
        case pf::MsgType::Command:
            on_command(msg);
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

void KPL_OpenInputBox(int x, int y, int items) {
    kaplo::guarded([&] {
        if (g_box.window) return;
        g_box.count = std::clamp(items, 1, kMaxItems);
        g_box.focused = 0;
        g_box.sizing_edge = 0;
        g_box.rename_item = 0;
        const int count = g_box.count, height = client_height();
        g_box.count = 0;  // no rows until the controls exist
        g_box.window =
            kaplo::boxes::create_box_window("kpl_ib", u"InputBox", x, y, client_width(), height);
        if (!g_box.window) return;
        for (int i = 0; i < count; ++i) {
            char label[16];
            std::snprintf(label, sizeof label, "Item %d", i);
            g_box.labels[i] = pf::create_control(pf::ControlKind::Static, g_box.window,
                                                 pf::ansi_to_wide(label, 10), 4, 7 + kRowPitch * i,
                                                 g_label_width, kRowHeight, 0);
            std::strcpy(g_box.values[i].data(), "0");
            g_box.edits[i] =
                pf::create_control(pf::ControlKind::Edit, g_box.window, u"0", g_label_width + 8,
                                   4 + kRowPitch * i, g_edit_width, kRowHeight, 100 + i);
        }
        g_box.count = count;
        limit_size();
        pf::invalidate(g_box.window);
        pf::bring_to_front(g_box.window);
        g_box.focused = g_box.edits[0];
        pf::set_focus(g_box.edits[0]);
    });
}

void KPL_CloseInputBox() {
    kaplo::guarded([] {
        if (!g_box.window) return;
        const pf::WindowId window = g_box.window;
        g_box.window = 0;  // forgotten before Destroy arrives
        g_box.count = 0;
        g_box.focused = 0;
        kaplo::boxes::destroy_box_window(window, u"DestroyWindow[IB] Error", u"KAPLO Error!");
    });
}

void KPL_ResizeInputBox(int label_width, int edit_width) {
    kaplo::guarded([&] {
        g_label_width = std::max(1, label_width);
        g_edit_width = std::max(1, edit_width);
        if (!g_box.window) return;
        lay_out();
        const pf::Rect outer = kaplo::boxes::box_outer_rect(client_width(), client_height());
        pf::resize_window(g_box.window, outer.width(), outer.height());
    });
}

void KPL_SetInputBoxTitle(int item, const char* title) {
    kaplo::guarded([&] {
        if (!g_box.window || item < 0 || item >= g_box.count || !title) return;
        kaplo::set_window_text_ansi(g_box.labels[item], title);
    });
}

int KPL_SetInputText(int item, const char* text) {
    return kaplo::guarded(1, [&] {
        if (!g_box.window || item < 0 || item >= g_box.count) return 1;
        // The value is what a commit of the field will read back from it
        // (get_window_text_ansi), made before the field changes so that a
        // failure leaves both as they were.
        const std::u16string shown = pf::ansi_to_wide(text ? text : "", 256);
        const std::string value = pf::wide_to_ansi(shown, kValueBytes - 1);
        if (!pf::set_title(g_box.edits[item], shown)) return 1;
        std::memcpy(g_box.values[item].data(), value.c_str(), value.size() + 1);
        return 0;
    });
}

const char* KPL_GetInputText(int item) {
    if (!g_box.window || item < 0 || item >= g_box.count) return "";
    return g_box.values[item].data();
}

int KPL_GetInputInt(int item) {
    return std::atoi(KPL_GetInputText(item));
}

double KPL_GetInputDouble(int item) {
    return std::strtod(KPL_GetInputText(item), nullptr);
}

void KPL_GetInputBoxWidths(int* label_width, int* edit_width) {
    if (label_width) *label_width = g_label_width;
    if (edit_width) *edit_width = g_edit_width;
}

// What the input box and the button box share: their window, their menu,
// their rename prompt.

#include "boxes/boxes.h"
#include "kaplo.h"
#include "runtime/services.h"
#include "text/window_edges.h"

namespace pf = kaplo::platform;

namespace kaplo::boxes {

namespace {
constexpr uint32_t kStyle = pf::kStyleCaption | pf::kStyleSysMenu;
}

pf::Rect box_outer_rect(int client_w, int client_h) {
    return pf::adjust_window_rect(pf::Rect{0, 0, client_w, client_h}, kStyle, false);
}

pf::WindowId create_box_window(const char* kind, const char16_t* title, int x, int y, int client_w,
                               int client_h) {
    const pf::Rect outer = box_outer_rect(client_w, client_h);
    pf::CreateParams p;
    p.kind = kind;
    p.title = title;
    p.x = x;
    p.y = y;
    p.width = outer.width();
    p.height = outer.height();
    p.style = kStyle;
    p.owner = main_window();
    p.dialog = true;  // Tab, Shift+Tab and Enter as in a dialog
    const pf::WindowId window = pf::create_window(p);
    rebuild_window_edges();  // other windows snap to the new box
    return window;
}

void destroy_box_window(pf::WindowId window, const char16_t* error_text,
                        const char16_t* error_caption) {
    if (!pf::destroy_window(window))
        pf::message_box(error_text, error_caption, pf::MessageIcon::Error);
    rebuild_window_edges();
}

void show_box_menu(pf::WindowId window, int rename_id, int destroy_id, const char* destroy_text) {
    const pf::MenuId menu = pf::create_menu();
    int position = 0;
    if (rename_id) insert_menu_text(menu, position++, 0, rename_id, "Rename");
    insert_menu_text(menu, position, 0, destroy_id, destroy_text);
    // The choice arrives later as a Command message to the box.
    pf::track_popup_menu(menu, window);
    pf::destroy_menu(menu);
}

std::string ask_new_name(int index, const char* old_name) {
    KPL_EnsureTextWindow();
    KPL_Printf("%d '%s' ->", index, old_name);
    char line[256] = "";
    KPL_InputLine(line);
    return line;
}

}  // namespace kaplo::boxes

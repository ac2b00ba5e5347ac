#pragma once
// The input box and the button box, as the rest of the framework sees them:
// their window procedures (kinds "kpl_ib" and "kpl_bb") and the windows that
// hold them now. Worker thread only.

#include <cstdint>
#include <string>

#include "platform/platform.h"

namespace kaplo {

intptr_t input_box_proc(platform::WindowId window, platform::Message& msg);
intptr_t button_box_proc(platform::WindowId window, platform::Message& msg);

// The open box's window, 0 when there is none.
platform::WindowId input_box_window();
platform::WindowId button_box_window();

// What the window information report reads: the input box's rows and their
// labels' windows, the button box's grid and its buttons' windows (0 for an
// index out of range).
int input_box_items();
platform::WindowId input_box_label(int item);
void button_box_grid(int* columns, int* rows);
platform::WindowId button_box_button(int button);

// A caption as typed on one line: the two characters "\n" stand for a line
// break.
std::string with_line_breaks(const char* text);

}  // namespace kaplo

namespace kaplo::boxes {

// What the two boxes share: a dialog-style window of `kind` owned by the
// main window, sizable, with its outer top-left corner at (x, y) and a client
// area of client_w x client_h.
platform::WindowId create_box_window(const char* kind, const char16_t* title, int x, int y,
                                     int client_w, int client_h);
// The outer size for a client area of client_w x client_h.
platform::Rect box_outer_rect(int client_w, int client_h);
// Destroys a box; a failure is reported in a message box.
void destroy_box_window(platform::WindowId window, const char16_t* error_text,
                        const char16_t* error_caption);
// The box menu: "Rename" (when rename_id is not 0) and the destroy item.
void show_box_menu(platform::WindowId window, int rename_id, int destroy_id,
                   const char* destroy_text);
// Asks in the current text window for a new name of row or button `index`
// (old name `old_name`): "" when the answer was empty.
std::string ask_new_name(int index, const char* old_name);

}  // namespace kaplo::boxes

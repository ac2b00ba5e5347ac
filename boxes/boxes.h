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

// A caption as typed on one line: the two characters "\n" stand for a line
// break.
std::string with_line_breaks(const char* text);

}  // namespace kaplo

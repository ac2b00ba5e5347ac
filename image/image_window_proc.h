#pragma once
// The procedure of the "kpl_iw" window kind, registered by the shell at
// start-up, and the stretch-mode setter shared with the zoom commands.

#include <cstdint>

#include "platform/platform.h"

namespace kaplo {

// Paint repaints from the buffer; Destroy frees the slot of a window closed by
// the user; Close and everything else go to the default procedure.
intptr_t image_window_proc(platform::WindowId window, platform::Message& msg);

// Sets the scaling of refreshes (3 nearest, 4 smooth; other values ignored),
// rebuilds the caption and repaints the window.
void set_image_stretch_mode(int number, int32_t mode);

}  // namespace kaplo

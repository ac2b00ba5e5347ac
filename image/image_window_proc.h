#pragma once
// The procedure of the "kpl_iw" window kind, registered by the shell at
// start-up, the lookups from a window to its image, and the builders of the
// two pop-up menus (for tests that compare the menus actually shown).

#include <cstdint>

#include "platform/platform.h"

namespace kaplo {

intptr_t image_window_proc(platform::WindowId window, platform::Message& msg);

// The image pop-up menu (right click) of `window` and the process pop-up menu
// (Ctrl + right click, middle click) of image `number`; the caller destroys them.
platform::MenuId build_image_menu(platform::WindowId window);
platform::MenuId build_process_menu(int number);

}  // namespace kaplo

// The live image whose window is `window`, or -1.
int KPL_FindImageByWindow(kaplo::platform::WindowId window);
// The same, made the current image when found.
int KPL_SelectImageByWindow(kaplo::platform::WindowId window);

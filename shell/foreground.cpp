// KPL_SetForeground: the public names of framework windows, resolved to the
// window that holds each one now.

#include "image/image_store.h"
#include "kaplo.h"
#include "shell/services.h"
#include "text/text_window.h"

namespace {

// The window named by `name`, or 0 when none is open.
kaplo::platform::WindowId window_named(int name) {
    if (name == KPLMAINWINDOW) return kaplo::main_window();
    if (name >= KPLTEXTWINDOW && name < KPLTEXTWINDOW + kaplo::kTextSlots) {
        const kaplo::TextWindowRecord& rec = kaplo::text_table[name - KPLTEXTWINDOW];
        return rec.used.load() ? rec.window : 0;
    }
    if (name >= KPLIMAGEWINDOW && name < KPLIMAGEWINDOW + kaplo::kImageSlots) {
        const int number = name - KPLIMAGEWINDOW;
        return kaplo::image_live(number) ? kaplo::image_table[number].window : 0;
    }
    // KPLINPUTBOX and KPLBUTTONBOX name no window until the boxes exist.
    return 0;
}

}  // namespace

int KPL_SetForeground(int name) {
    const kaplo::platform::WindowId window = window_named(name);
    if (!window) return 1;
    kaplo::platform::bring_to_front(window);
    return 0;
}

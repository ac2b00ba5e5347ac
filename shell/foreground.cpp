// KPL_SetForeground: the public names of framework windows, resolved to the
// window that holds each one now.

#include <cstdio>

#include "boxes/boxes.h"
#include "image/image_store.h"
#include "kaplo.h"
#include "runtime/misuse.h"
#include "runtime/services.h"
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
    if (name == KPLINPUTBOX) return kaplo::input_box_window();
    if (name == KPLBUTTONBOX) return kaplo::button_box_window();
    return 0;
}

}  // namespace

int KPL_SetForeground(int name) {
    const kaplo::platform::WindowId window = window_named(name);
    if (!window) {
        if (kaplo::misuse_reports_on()) {
            char what[64];
            if (name >= KPLIMAGEWINDOW)
                std::snprintf(what, sizeof what, "KPLIMAGEWINDOW + %d is not open",
                              name - KPLIMAGEWINDOW);
            else if (name >= KPLTEXTWINDOW)
                std::snprintf(what, sizeof what, "KPLTEXTWINDOW + %d is not open",
                              name - KPLTEXTWINDOW);
            else
                std::snprintf(what, sizeof what, "window name %d is not open", name);
            kaplo::report_misuse("KPL_SetForeground", name, what);
        }
        return 1;
    }
    kaplo::platform::bring_to_front(window);
    return 0;
}

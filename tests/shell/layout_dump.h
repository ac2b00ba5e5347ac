#pragma once
// The layout of a program's windows as text, one line per window and per
// label or caption: what the window information report must reproduce.
// Worker thread (run it through on_worker).

#include <cstdio>
#include <string>

#include "boxes/boxes.h"
#include "image/image_store.h"
#include "kaplo_boxes.h"
#include "runtime/services.h"
#include "text/text_window.h"

inline std::string window_layout() {
    namespace pf = kaplo::platform;
    std::string out;
    char line[1024];
    const auto text_of = [](pf::WindowId window) {
        char text[256];
        kaplo::get_window_text_ansi(window, text, sizeof text);
        return std::string(text);
    };
    pf::Rect at;
    for (int k = 0; k < kaplo::kImageSlots; ++k) {
        const kaplo::ImageWindowRecord& r = kaplo::image_table[k];
        if (!r.used || !pf::window_rect(r.window, &at)) continue;
        std::snprintf(line, sizeof line,
                      "image %d: %d-bit limited %d %dx%d at %d,%d zoom %d '%s'\n", k, r.bitDepth,
                      r.screenLimited, r.width, r.height, at.left, at.top, r.zoomPercent,
                      r.title.get());
        out += line;
    }
    for (int k = 0; k < kaplo::kTextSlots; ++k) {
        const kaplo::TextWindowRecord& r = kaplo::text_table[static_cast<size_t>(k)];
        if (!r.used.load() || !pf::window_rect(r.window, &at)) continue;
        std::snprintf(line, sizeof line, "text %d: at %d,%d client %dx%d\n", k, at.left, at.top,
                      r.cursor.width, r.cursor.height);
        out += line;
    }
    if (const pf::WindowId box = kaplo::input_box_window()) {
        int label_width = 0, edit_width = 0;
        KPL_GetInputBoxWidths(&label_width, &edit_width);
        pf::window_rect(box, &at);
        std::snprintf(line, sizeof line, "input box: at %d,%d items %d widths %d,%d\n", at.left,
                      at.top, kaplo::input_box_items(), label_width, edit_width);
        out += line;
        for (int i = 0; i < kaplo::input_box_items(); ++i)
            out += "  label '" + text_of(kaplo::input_box_label(i)) + "'\n";
    }
    if (const pf::WindowId box = kaplo::button_box_window()) {
        int columns = 0, rows = 0;
        int32_t width = 0, height = 0;
        kaplo::button_box_grid(&columns, &rows);
        pf::client_size(box, &width, &height);
        pf::window_rect(box, &at);
        std::snprintf(line, sizeof line, "button box: at %d,%d grid %dx%d client %dx%d\n", at.left,
                      at.top, columns, rows, width, height);
        out += line;
        for (int i = 0; i < columns * rows; ++i)
            out += "  caption '" + text_of(kaplo::button_box_button(i)) + "'\n";
    }
    return out;
}

// Text windows: the table, opening and closing, output, selection and colours.

#include "text/text_window.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

#include "kaplo.h"
#include "runtime/guarded.h"
#include "runtime/misuse.h"
#include "runtime/services.h"
#include "text/log_file.h"
#include "text/window_edges.h"

using namespace kaplo::platform;

namespace kaplo {

std::array<TextWindowRecord, kTextSlots> text_table;
std::atomic<int32_t> current_text_window{0};

namespace {

std::array<int32_t, 8> g_selection_history{};  // most recent first

constexpr uint32_t kTextWindowStyle = kStyleCaption | kStyleSysMenu;

bool open_slot(int number) {
    return number >= 0 && number < kTextSlots && text_table[static_cast<size_t>(number)].used;
}

// The surface of a slot as the layout's canvas, in the slot's colours.
class SurfaceCanvas : public TextCanvas {
  public:
    explicit SurfaceCanvas(TextWindowRecord& r) : r_(r) {}
    void draw_run(int32_t x, int32_t y, const char16_t* units, size_t count) override {
        r_.surface->draw_units(x, y, units, count, r_.text_color, r_.back_color);
    }
    void copy_rows(int32_t src_y, int32_t dst_y, int32_t rows) override {
        r_.surface->copy_rows(src_y, dst_y, rows);
    }
    void fill_black(int32_t y, int32_t rows) override { r_.surface->fill_black(y, rows); }

  private:
    TextWindowRecord& r_;
};

// The one size gate of text surfaces: no client side beyond the largest an
// image window may have, twice the screen's, so an absurd request (or a
// window system reporting one) cannot make the process allocate gigabytes.
// The slot changes only once the new surface exists: a surface that cannot
// be made (out of memory) leaves the old one and its cursor.
void make_surface(TextWindowRecord& r, int32_t width, int32_t height) {
    const Metrics m = metrics();
    TextCursor cursor;
    cursor.width = std::max(0, std::min(width, 2 * m.screen_width));
    cursor.height = std::max(0, std::min(height, 2 * m.screen_height));
    cursor.char_width = TextSurface::cell_width();
    cursor.char_height = TextSurface::cell_height();
    auto surface = std::make_unique<TextSurface>(cursor.width, cursor.height);
    r.cursor = cursor;
    r.surface = std::move(surface);
    r.surface_serial.fetch_add(1);
}

// Opens the free slot `number`, all or nothing: when a step fails (out of
// memory), a window already made is destroyed again and the slot stays free.
int open_text_window(int number, int x, int y, int width, int height) {
    TextWindowRecord& r = text_table[static_cast<size_t>(number)];
    const int previous = current_text_window.load();
    WindowId window = 0;
    try {
        make_surface(r, width < 0 ? 400 : width, height < 0 ? 300 : height);
        char caption[256];
        std::snprintf(caption, sizeof caption, "TextWindow %d", number);
        const Rect outer = adjust_window_rect(Rect{0, 0, r.cursor.width, r.cursor.height},
                                              kTextWindowStyle, false);
        CreateParams p;
        p.kind = "kpl_twi";
        p.title = ansi_to_wide(caption, 256);
        p.x = x < 0 ? kDefaultPosition : x;
        p.y = y < 0 ? kDefaultPosition : y;
        p.width = outer.width();
        p.height = outer.height();
        p.style = kTextWindowStyle;
        p.owner = main_window();
        window = create_window(p);
        set_window_data(window, number + 1);
        rebuild_window_edges();
        // The window manager is told the same cap, so a drag never offers more.
        const Metrics m = metrics();
        set_client_size_limits(window, 0, 0, 2 * m.screen_width, 2 * m.screen_height);
        r.text_color = 0xFFFFFF;
        r.back_color = 0x000000;
        r.text_color_stack.fill(0xFFFFFF);
        r.back_color_stack.fill(0x000000);
        r.window = window;
        r.used = 1;
        current_text_window.store(number);
        log_slot_opened(number);
        text_window_show(number);
        bring_to_front(window);
    } catch (...) {
        r.used = 0;
        r.window = 0;
        r.surface.reset();
        current_text_window.store(previous);
        if (window) destroy_window(window);  // needs no memory on the owner thread
        throw;
    }
    return 0;
}

// Shows printed text and writes it to the log. The text is converted first:
// text that cannot be (out of memory) goes nowhere; drawing that fails
// midway leaves it cut short on the screen, whole in the log.
void print_text(int slot, const char* text) {
    const std::u16string units = ansi_to_wide(text, 4096);
    log_write(slot, text, std::strlen(text));
    TextWindowRecord& r = text_table[static_cast<size_t>(slot)];
    SurfaceCanvas canvas(r);
    text_layout(r.cursor, canvas, units.data(), units.size());
    text_window_show(slot);
}

// The window goes first: from another thread its destruction is posted to
// its owner, which may fail (out of memory) while the slot is still whole.
int close_text_window(int number) {
    TextWindowRecord& r = text_table[static_cast<size_t>(number)];
    destroy_window(r.window);
    r.used = 0;
    if (current_text_window.load() == number) {
        for (int i = 0; i < kTextSlots; ++i) {
            if (text_table[static_cast<size_t>(i)].used) {
                current_text_window.store(i);
                break;
            }
        }
    }
    int32_t waiting = number + 1;
    g_input_active.compare_exchange_strong(waiting, 0);
    // The log stream goes with its window, so it can never write into a log
    // that a later window of the same number starts anew.
    log_slot_closed(number);
    r.window = 0;
    r.surface.reset();
    return 0;
}

}  // namespace

int text_slot_of(WindowId window) {
    // Each window carries its slot number + 1 (0 until the slot is filled).
    const intptr_t slot = window_data(window) - 1;
    if (slot < 0 || slot >= kTextSlots) return -1;
    const TextWindowRecord& r = text_table[static_cast<size_t>(slot)];
    return r.used && r.window == window ? static_cast<int>(slot) : -1;
}

void text_window_show(int slot) {
    TextWindowRecord& r = text_table[static_cast<size_t>(slot)];
    if (r.surface) r.surface->present_to(r.window, Rect{0, 0, r.cursor.width, r.cursor.height});
}

void text_draw_cells(int slot, int32_t x, int32_t y, const char16_t* units, size_t count) {
    TextWindowRecord& r = text_table[static_cast<size_t>(slot)];
    if (!r.surface) return;
    r.surface->draw_units(x, y, units, count, r.text_color, r.back_color);
    int32_t cells = 0;
    for (size_t i = 0; i < count; ++i) cells += cells_of(units[i]);
    r.surface->present_to(r.window,
                          Rect{x, y, x + cells * r.cursor.char_width, y + r.cursor.char_height});
}

bool text_window_line_break(int slot) {
    TextWindowRecord& r = text_table[static_cast<size_t>(slot)];
    SurfaceCanvas canvas(r);
    const bool scrolled = text_line_break(r.cursor, canvas);
    if (scrolled) text_window_show(slot);
    return scrolled;
}

void text_window_resize(int slot, int32_t width, int32_t height) {
    TextWindowRecord& r = text_table[static_cast<size_t>(slot)];
    make_surface(r, width, height);
    text_window_show(slot);
}

void print_about(int slot) {
    const QuietMisuse quiet;
    KPL_SelectTextWindow(slot);
    KPL_PushTextColor(0x50FF50, 0x505050);
    KPL_Printf("%s\n", banner());
    KPL_PopTextColor();
}

}  // namespace kaplo

using kaplo::text_table;

int KPL_OpenTextWindow(int number, int x, int y, int width, int height) {
    if (number < 0 || number >= kaplo::kTextSlots) return 1;
    kaplo::TextWindowRecord& r = text_table[static_cast<size_t>(number)];
    if (r.used) {
        kaplo::current_text_window.store(number);
        kaplo::guarded([&r] { bring_to_front(r.window); });
        return 1;
    }
    return kaplo::guarded(1, [=] { return kaplo::open_text_window(number, x, y, width, height); });
}

void KPL_EnsureTextWindow() {
    kaplo::guarded([] {
        const int current = kaplo::current_text_window.load();
        if (kaplo::open_slot(current)) {
            bring_to_front(text_table[static_cast<size_t>(current)].window);
            return;
        }
        const Metrics m = metrics();
        KPL_OpenTextWindow(0, m.fullscreen_client_width / 2 - 200,
                           m.fullscreen_client_height / 2 - 150, 400, 300);
    });
}

void KPL_Printf(const char* format, ...) {
    const int slot = kaplo::current_text_window.load();
    if (!kaplo::open_slot(slot)) kaplo::report_no_current_text_window("KPL_Printf", slot);
    if (!kaplo::open_slot(slot) || !format) return;
    char buffer[4096];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    if (n < 0) return;
    // Output past 4095 bytes is cut; a character cut in two is dropped whole.
    size_t len = std::min(static_cast<size_t>(n), sizeof buffer - 1);
    if (static_cast<size_t>(n) > len) {
        size_t start = len;
        while (start > 0 && (static_cast<unsigned char>(buffer[start - 1]) & 0xC0) == 0x80) --start;
        if (start > 0) {
            const auto lead = static_cast<unsigned char>(buffer[start - 1]);
            const size_t need = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
            if (len - (start - 1) < need) len = start - 1;
        }
        buffer[len] = '\0';
    }
    // The text ends at its first NUL ("%c" with 0), on the screen and in the log.
    kaplo::guarded([slot, &buffer] { kaplo::print_text(slot, buffer); });
    KPL_ProcessMessages();
}

int KPL_SelectTextWindow(int number) {
    if (!kaplo::open_slot(number)) {
        kaplo::report_closed_text_window("KPL_SelectTextWindow", number);
        return 1;
    }
    auto& h = kaplo::g_selection_history;
    for (size_t k = h.size() - 1; k > 0; --k) h[k] = h[k - 1];
    h[0] = kaplo::current_text_window.load();
    kaplo::current_text_window.store(number);
    return 0;
}

int KPL_CloseTextWindow(int number) {
    if (!kaplo::open_slot(number)) {
        kaplo::report_closed_text_window("KPL_CloseTextWindow", number);
        return 1;
    }
    return kaplo::guarded(1, [number] { return kaplo::close_text_window(number); });
}

void KPL_PushTextColor(uint32_t text, uint32_t back) {
    const int slot = kaplo::current_text_window.load();
    if (!kaplo::open_slot(slot)) return;
    kaplo::TextWindowRecord& r = text_table[static_cast<size_t>(slot)];
    for (size_t k = 7; k > 0; --k) {
        r.text_color_stack[k] = r.text_color_stack[k - 1];
        r.back_color_stack[k] = r.back_color_stack[k - 1];
    }
    r.text_color_stack[0] = r.text_color;
    r.back_color_stack[0] = r.back_color;
    r.text_color = text;
    r.back_color = back;
}

void KPL_PopTextColor() {
    const int slot = kaplo::current_text_window.load();
    if (!kaplo::open_slot(slot)) return;
    kaplo::TextWindowRecord& r = text_table[static_cast<size_t>(slot)];
    r.text_color = r.text_color_stack[0];
    r.back_color = r.back_color_stack[0];
    for (size_t k = 0; k < 7; ++k) {
        r.text_color_stack[k] = r.text_color_stack[k + 1];
        r.back_color_stack[k] = r.back_color_stack[k + 1];
    }
}

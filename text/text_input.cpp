// Line input: the keyboard ring, the echo with its blinking cursor, Backspace
// across wraps, recall and paste.

#include "text/text_input.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "kaplo.h"
#include "shell/shell.h"
#include "text/log_file.h"
#include "text/text_window.h"

using namespace kaplo::platform;

namespace kaplo {

std::atomic<int32_t> g_special_request{0};

namespace {

// The ring is filled on the thread that owns the text windows and emptied on
// the thread that waits for a line, which may be another one: a mutex keeps
// its two indexes and contents consistent.
std::mutex g_ring_mutex;
std::array<char16_t, 256> g_ring{};
int32_t g_read = -1;  // oldest unit; -1 empty
int32_t g_write = 0;  // where the next unit goes

// The last line entered (worker or main thread, one input at a time).
std::array<char16_t, 256> g_recall{};

constexpr uint32_t kBlinkMs = 200;

void set_idle_status() {
    char text[16];
    std::snprintf(text, sizeof text, "%d-bit color", display_depth());
    KPL_SetStatusText(text);
}

void paste_first_line() {
    std::u16string text;
    if (!clipboard_unicode_text(&text)) return;
    for (char16_t u : text) {
        if (u == 0 || u == u'\n' || u == u'\r') break;
        std::lock_guard lock(g_ring_mutex);
        if (g_read == g_write) break;  // full
        g_ring[static_cast<size_t>(g_write)] = u;
        if (g_read < 0) g_read = g_write;
        g_write = (g_write + 1) & 255;
    }
}

void recall_previous_line(WindowId window) {
    for (char16_t u : g_recall) {
        if (u == 0) break;
        Message m;
        m.type = MsgType::Char;
        m.key = u;
        post(window, m);
    }
}

}  // namespace

void keyboard_push(char16_t unit) {
    std::lock_guard lock(g_ring_mutex);
    if (g_read == g_write) return;  // full
    g_ring[static_cast<size_t>(g_write)] = unit;
    if (g_read < 0) g_read = g_write;
    g_write = (g_write + 1) & 255;
}

char16_t keyboard_pop() {
    std::lock_guard lock(g_ring_mutex);
    if (g_read < 0) return 0;
    const char16_t u = g_ring[static_cast<size_t>(g_read)];
    g_read = (g_read + 1) & 255;
    if (g_read == g_write) g_read = -1;
    return u;
}

void keyboard_clear() {
    std::lock_guard lock(g_ring_mutex);
    g_read = -1;
    g_write = 0;
}

}  // namespace kaplo

void KPL_InputLine(char* buffer) {
    using namespace kaplo;
    const int slot = current_text_window.load();
    if (slot < 0 || slot >= kTextSlots || !text_table[static_cast<size_t>(slot)].used || !buffer)
        return;
    TextWindowRecord& r = text_table[static_cast<size_t>(slot)];
    bring_to_front(r.window);
    buffer[0] = '\0';
    KPL_SetStatusText("Input text");

    const int32_t cw = r.cursor.char_width, ch = r.cursor.char_height;
    std::u16string line;
    std::vector<int32_t> wraps;  // x to return to, one entry per wrap
    int phase = 1;
    bool redraw = true;
    uint32_t last_blink = millis();
    g_special_request.store(0);
    g_input_active.store(slot + 1);

    auto draw_cursor = [&] {
        const char16_t glyph = phase ? u'_' : u' ';
        text_draw_cells(slot, r.cursor.x, r.cursor.y, &glyph, 1);
    };
    auto line_break = [&] { text_window_line_break(slot); };

    bool entered = false;
    for (;;) {
        KPL_ProcessMessages();
        // The window may have been closed while its messages were handled.
        if (!r.used) {
            g_input_active.store(0);
            break;
        }
        char16_t c = keyboard_pop();
        if (c == 9) c = 32;
        if (c == 13) {
            entered = true;
            break;
        }
        const int32_t request = g_special_request.load();
        if (request == 1) {
            recall_previous_line(r.window);
            g_special_request.store(0);
        } else if (request == 2) {
            paste_first_line();
            g_special_request.store(0);
        }
        if (g_input_active.load() == 0) break;  // cancelled

        if (c == 8 && !line.empty()) {
            const char16_t space = u' ';
            text_draw_cells(slot, r.cursor.x, r.cursor.y, &space, 1);
            const int32_t u = cells_of(line.back());
            line.pop_back();
            if (!wraps.empty() && r.cursor.x == 0) {
                r.cursor.x = wraps.back();
                wraps.pop_back();
                r.cursor.y -= ch;
            } else {
                r.cursor.x -= u * cw;
            }
            if (u == 2) {
                const char16_t wide_space = 0x3000;
                text_draw_cells(slot, r.cursor.x, r.cursor.y, &wide_space, 1);
                // A two-cell character that had moved to a new line: go back
                // to where the cursor stood before the move.
                if (!wraps.empty() && r.cursor.x == 0 && wraps.back() >= r.cursor.width) {
                    r.cursor.x = wraps.back() - 2 * cw;
                    wraps.pop_back();
                    r.cursor.y -= ch;
                }
            }
            if (redraw) {
                draw_cursor();
                redraw = false;
            }
        } else if (c == 0 || c == 8 || line.size() >= 255) {
            if (redraw) {
                draw_cursor();
                redraw = false;
            }
        } else {
            const int32_t l = cells_of(c);
            if (l == 2 && r.cursor.x > r.cursor.width - 2 * cw) {
                const char16_t space = u' ';
                text_draw_cells(slot, r.cursor.x, r.cursor.y, &space, 1);
                wraps.push_back(r.cursor.x + 2 * cw);
                line_break();
            }
            text_draw_cells(slot, r.cursor.x, r.cursor.y, &c, 1);
            if (r.cursor.x + l * cw > r.cursor.width - cw) {
                wraps.push_back(r.cursor.x);
                line_break();
            } else {
                r.cursor.x += l * cw;
            }
            line.push_back(c);
            draw_cursor();
            redraw = false;
        }
        // Nothing typed: let the core rest a millisecond instead of spinning.
        if (c == 0 && request == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        if (millis() - last_blink > kBlinkMs) {
            last_blink = millis();
            phase ^= 1;
            redraw = true;
        }
    }

    if (entered) {
        g_input_active.store(0);
        const char16_t space = u' ';
        text_draw_cells(slot, r.cursor.x, r.cursor.y, &space, 1);
        line_break();
        std::fill(g_recall.begin(), g_recall.end(), 0);
        std::copy_n(line.begin(), std::min<size_t>(line.size(), 255), g_recall.begin());
        const std::string bytes = wide_to_ansi(line, 255);
        std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
        log_write(slot, bytes.data(), bytes.size());
        log_write(slot, "\n", 1);
    }
    set_idle_status();
}

// Line input: the keyboard ring, the wait for a line with its blinking
// cursor, recall and paste. What the line takes and how it is echoed is
// text/line_echo.cpp.

#include "text/text_input.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "kaplo.h"
#include "runtime/guarded.h"
#include "runtime/misuse.h"
#include "runtime/services.h"
#include "text/line_echo.h"
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

void paste_first_line() {
    std::u16string text;
    const ClipboardRead read = clipboard_unicode_text(&text);
    if (read == ClipboardRead::NoAnswer) KPL_Pause(kClipboardNoAnswer);
    if (read != ClipboardRead::Found) return;
    for (char16_t u : text) {
        if (u == 0 || u == u'\n' || u == u'\r') break;
        std::lock_guard lock(g_ring_mutex);
        if (g_read == g_write) break;  // full
        g_ring[static_cast<size_t>(g_write)] = u;
        if (g_read < 0) g_read = g_write;
        g_write = (g_write + 1) & 255;
    }
}

// The echo on a text window's surface, through the window's own steps.
class WindowEchoSurface : public EchoSurface {
  public:
    explicit WindowEchoSurface(int slot) : slot_(slot) {}
    void draw_cells(int32_t x, int32_t y, const char16_t* units, size_t count) override {
        text_draw_cells(slot_, x, y, units, count);
    }
    void line_break() override { text_window_line_break(slot_); }

  private:
    int slot_;
};

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

namespace {

// Waits for a line typed into any text window, echoed in `slot`, and puts
// it into `buffer` (left empty when the input is cancelled).
void read_line(int slot, char* buffer) {
    TextWindowRecord& r = text_table[static_cast<size_t>(slot)];
    bring_to_front(r.window);
    KPL_SetStatusText("Input text");

    WindowEchoSurface surface(slot);
    LineEcho echo(r.cursor, surface);
    echo.start();
    uint32_t surface_serial = r.surface_serial.load();
    int phase = 1;
    bool redraw = true;
    uint32_t last_blink = millis();
    g_special_request.store(0);
    g_input_active.store(slot + 1);

    for (;;) {
        KPL_ProcessMessages();
        // The window may have been closed while its messages were handled.
        if (!r.used) return;
        // A resize re-created the surface: what was typed is gone from it
        // and the cursor is back at the top-left.
        if (r.surface_serial.load() != surface_serial) {
            surface_serial = r.surface_serial.load();
            echo.redraw();
            redraw = true;
        }
        char16_t c = keyboard_pop();
        if (c == 9) c = 32;
        if (c == 13) break;
        const int32_t request = g_special_request.load();
        if (request == 1) {
            recall_previous_line(r.window);
            g_special_request.store(0);
        } else if (request == 2) {
            paste_first_line();
            g_special_request.store(0);
        }
        if (g_input_active.load() == 0) return;  // cancelled

        if (c == 8) {
            echo.backspace();
        } else if (c != 0) {
            echo.type(c);
        }
        if (c != 0 || redraw) {
            echo.draw_cursor(phase != 0);
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

    g_input_active.store(0);
    echo.finish();
    // The line's bytes fit the caller's buffer: the echo takes no more.
    const std::u16string& line = echo.line();
    const std::string bytes = wide_to_ansi(line, LineEcho::kMaxBytes);
    std::fill(g_recall.begin(), g_recall.end(), 0);
    std::copy_n(line.begin(), std::min<size_t>(line.size(), 255), g_recall.begin());
    std::memcpy(buffer, bytes.c_str(), bytes.size() + 1);
    log_write(slot, bytes.data(), bytes.size());
    log_write(slot, "\n", 1);
}

}  // namespace

}  // namespace kaplo

void KPL_InputLine(char* buffer) {
    using namespace kaplo;
    const int slot = current_text_window.load();
    const bool open = slot >= 0 && slot < kTextSlots && text_table[static_cast<size_t>(slot)].used;
    if (!open) report_no_current_text_window("KPL_InputLine", slot);
    if (!open || !buffer) return;
    buffer[0] = '\0';
    // An input that fails (out of memory) ends as a cancelled one does: an
    // empty line, no input waiting any more.
    guarded([slot, buffer] { read_line(slot, buffer); });
    int32_t waiting = slot + 1;
    g_input_active.compare_exchange_strong(waiting, 0);
    show_idle_status();
}

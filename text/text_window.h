#pragma once
// The text window table and the steps that line input, logging and the
// window procedure share.

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "platform/platform.h"
#include "text/text_layout.h"

namespace kaplo {

inline constexpr int kTextSlots = 256;

struct TextWindowRecord {
    std::atomic<int32_t> used{0};  // read by the main thread's request poster
    TextCursor cursor;             // width, height, cell size and the text cursor
    uint32_t text_color = 0xFFFFFF;
    uint32_t back_color = 0x000000;
    std::array<uint32_t, 8> text_color_stack{};
    std::array<uint32_t, 8> back_color_stack{};
    platform::WindowId window = 0;
    std::unique_ptr<platform::TextSurface> surface;
    // Counts re-creations of the surface, so a waiting line input sees that
    // its echo was lost and draws it again.
    std::atomic<uint32_t> surface_serial{0};
};

// Worker thread (and the main thread's prompts while the worker is idle).
extern std::array<TextWindowRecord, kTextSlots> text_table;
extern std::atomic<int32_t> current_text_window;

// The open slot whose window is `window`; -1 when none.
int text_slot_of(platform::WindowId window);
// Draws units at (x, y) of slot's surface in its colours and shows those cells.
void text_draw_cells(int slot, int32_t x, int32_t y, const char16_t* units, size_t count);
// Line break with scroll; shows the whole window when it scrolled.
bool text_window_line_break(int slot);
// Re-creates the surface at the window's new client size (text is lost),
// capped as at opening.
void text_window_resize(int slot, int32_t width, int32_t height);
// Shows the whole surface in the window.
void text_window_show(int slot);

// The framework banner in 0x50FF50 on 0x505050 in window `slot`.
void print_about(int slot);
// The one-line command console in the current text window: prints "Cmd>",
// reads a line and carries out one command. 0 recognised, 1 not.
int run_console();

}  // namespace kaplo

#pragma once
// Image window store: the table of 256 image window records and the
// operations on it that the rest of the framework uses.
//
// Sections:
//   1. The record and the table
//   2. Slot life (buffers, attach / release)
//   3. Captions
//   4. Hooks into the window-dependent half
//
// Threads: the table, the current image and the history belong to the worker
// thread. The main thread reads them only while the worker thread is idle
// between requests (the request hand-over orders the accesses).

#include <cstddef>
#include <cstdint>
#include <memory>

#include "kaplo_image.h"

namespace kaplo {

// ---------------------------------------------------------------------------
// 1. The record and the table

inline constexpr int32_t kStretchNearest = 3;  // colour-on-colour
inline constexpr int32_t kStretchSmooth = 4;   // halftone

struct ImageWindowRecord {
    int32_t used;                   // 1 while the slot holds a live image
    int32_t bitDepth;               // 32 or 8
    int32_t width;                  // image pixels, at least 1
    int32_t height;                 // image pixels, at least 1
    int32_t displayWidth;           // client area in screen pixels
    int32_t displayHeight;          // client area in screen pixels
    int32_t zoomPercent;            // 100 = one screen pixel per image pixel
    int32_t screenLimited;          // 1: fitted to the screen; 0: up to twice the screen
    int32_t window;                 // platform window id, 0 for a window-less image
    int32_t stretchMode;            // kStretchNearest or kStretchSmooth, used by scaled refreshes
    std::unique_ptr<char[]> title;  // the caller's title, without decorations
    std::unique_ptr<uint8_t[]> buffer;         // pixel buffer, stride x height bytes
    std::unique_ptr<uint32_t[]> screenBuffer;  // 8-bit images: 32-bit copy for the screen
    uint32_t colours[256];                     // colour table, 0x00RRGGBB; grey ramp at creation
};

// A slot describes itself three times: in its record (used, bitDepth, width,
// height, buffer), in its pixel view (detail::image_views, what the per-pixel
// calls read) and in the buffer addresses below. Only install_image_slot and
// release_image_slot write those fields, so the three never disagree; every
// other field of the record belongs to the window code.
extern ImageWindowRecord image_table[kImageSlots];

// Buffer addresses of each slot as words and as bytes. Cleared when the slot
// is freed, so a stale address can never be written through.
extern uint32_t* pixels32[kImageSlots];
extern uint8_t* pixels8[kImageSlots];

inline bool image_live(int number) {
    return static_cast<uint32_t>(number) < static_cast<uint32_t>(kImageSlots) &&
           image_table[number].used == 1;
}
inline int current_image() {
    return detail::current_number();
}

// History entry k (1 = most recent .. 8 = oldest).
int32_t image_history_entry(int k);

// Row stride in bytes: 4 x width for 32-bit images, width rounded up to a
// multiple of 4 for 8-bit images.
inline int64_t image_stride(int64_t width, int32_t depth) {
    return depth == 32 ? width * 4 : (width + 3) & ~int64_t{3};
}

// ---------------------------------------------------------------------------
// 2. Slot life

// The one size gate for every path that makes pixels (creation, loading,
// pasting): each side 1..kMaxImageSide and the buffer at most kMaxImageBytes.
inline constexpr int64_t kMaxImageSide = 16384;
inline constexpr int64_t kMaxImageBytes = int64_t{1} << 28;
bool pixel_buffer_size(int64_t width, int64_t height, int32_t depth, size_t* bytes);

// What a live slot owns, made before the slot is touched: a re-creation finds
// out that the new size can be made while the old image is still whole.
struct SlotStorage {
    int32_t width = 0, height = 0, depth = 0;
    std::unique_ptr<uint8_t[]> buffer;   // zeroed
    std::unique_ptr<uint32_t[]> screen;  // 8-bit images only
    std::unique_ptr<char[]> title;       // never null once made
};
// Sizes below 1 are raised to 1. False when the depth is not 8 or 32, the
// size fails the gate or memory runs out; nothing is allocated then.
bool make_slot_storage(int32_t width, int32_t height, int32_t depth, const char* title,
                       SlotStorage* out);
// Makes the free slot live with `storage` and the grey-ramp colour table,
// writing all three views. The record's window fields (display size, zoom,
// screenLimited, window, stretchMode) are left for the caller.
void install_image_slot(int number, SlotStorage&& storage);
// install_image_slot for an image without a window (zoom 100), made current.
void install_windowless_image(int number, SlotStorage&& storage);
// Frees the buffer, the title and the screen copy and marks the slot free in
// all three views; the window fields are reset too.
void release_image_slot(int number);

// For tests and benchmarks: KPL_CreateImageBuffer without changing the
// current image or the history.
int image_store_attach_buffer_for_tests(int number, int width, int height, int depth);
// Frees every slot and resets the current image, history, pen, drawing colour,
// text colour and text cursor to their start values.
void image_store_reset_for_tests();

// ---------------------------------------------------------------------------
// 3. Captions

// "%s(%d%%)" or "%s(%d%%)[8bit]", with "*" appended in halftone mode, cut to
// fit `size` bytes (the terminator included).
void format_image_caption(char* out, size_t size, const char* title, int32_t zoom, int32_t depth,
                          bool halftone);

// ---------------------------------------------------------------------------
// 4. Hooks into the window-dependent half (null while no window code runs)

// Called after the colour table of a live slot changed, to repaint its window.
extern void (*image_palette_changed_hook)(int number);

}  // namespace kaplo

#pragma once
/// @file
/// @brief KAPLO image windows: the public calls for user programs.
///
/// Usage:
///
///     KPL_CreateImage(0, "source", -1, -1, 640, 480, 100);   // creates and selects image 0
///     for (int y = 0; y < 480; ++y)
///         for (int x = 0; x < 640; ++x) KPL_SetPixel(x, y, KPL_HsvToRgb(255, 255, x * 359 / 640));
///     kaplo::drawing_colour = 0xFF0000;
///     KPL_DrawCircle(0x00FF00, 320, 240, 100);
///     KPL_DrawString("hello");
///     KPL_UpdateImage(0);                                      // show the buffer on screen
///
/// Sections:
///   1. Hot state (current image, selection history, pen position)
///   2. Image window store
///   3. Pixel access and colour models (inline: the per-pixel inner loop)
///   4. Drawing primitives and bitmap text
///   5. Test patterns
///   6. Image files
///   7. Image windows as the user works with them (zoom, clipboard pictures,
///      mouse tools)
///
/// Threads: every call here belongs to the thread that runs the user program
/// (the worker thread), but for KPL_GetClipboardBitmap(),
/// KPL_GetClipboardBitmapSize() and KPL_FreeClipboardBitmap(), which any
/// thread may call. Nothing is locked; the state below is plain memory.
///
/// Pixel values are 0x00RRGGBB words in 32-bit images and colour table indexes
/// in 8-bit images. Points outside the current image are ignored on writes and
/// read as 0 (KPL_GetPixel) or -1 (KPL_ProbePixel); coordinates are compared as
/// unsigned numbers, so negative ones are outside.

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------
// 1. Hot state

/// @defgroup imagestore Image store
/// @brief Image windows and window-less images: creating, sizing, showing,
/// colour tables and block copies. Numbers are 0..255; 0 is success.

/// @defgroup pixels Pixels and colour models
/// @brief The current image, pixel reads and writes (inline: the per-pixel
/// inner loop) and conversions between RGB and HSV.

/// @defgroup drawing Drawing and text
/// @brief Lines, boxes, circles, flood fill and bitmap text in the current
/// image. Nothing refreshes the screen: KPL_UpdateImage() shows the result.

/// @defgroup patterns Test patterns
/// @brief Synthetic pictures that sweep a colour model across the whole
/// current image.

/// @defgroup imagefiles Image files
/// @brief Loading pictures into the current image and saving it.

/// Variables of the framework that a user program may set.
namespace kaplo {

/// @cond INTERNAL
inline constexpr int kImageSlots = 256;
inline constexpr int kImageHistoryDepth = 8;

namespace detail {

// The fields of one image slot that the per-pixel calls need, kept together so
// that one cache line serves a call. A free slot has width and height 0, so
// every access to it falls outside and touches no memory.
//
// The 16-bit fields (sides are at most 16384) cannot be changed by a 32-bit
// pixel store or a pen store, so a compiler may keep them in registers across
// a pixel loop instead of reloading them for every call.
struct alignas(32) PixelView {
    uint8_t* bits;    // top row first; null while the slot is free
    uint16_t width;   // pixels; 0 while the slot is free
    uint16_t height;  // pixels; 0 while the slot is free
    uint16_t pitch;   // pixels per row: width, or width rounded up to 4 for 8-bit
    uint16_t depth;   // 32 or 8
    uint16_t used;    // 1 while the slot holds a live image
};

// 32-bit images are the common case: their path is laid out straight through.
inline bool is_32bit(const PixelView& v) {
    return __builtin_expect(v.depth == 32, 1);
}

inline size_t row_bytes(const PixelView& v) {
    return size_t{v.pitch} * (v.depth == 32 ? 4 : 1);
}

// The current image, its selection history and the pen position.
//
// The history's eight entries (image numbers 0..255) are the bytes of one
// 64-bit word, entry 1 (the most recent) in the low byte: a push or a pop is
// one shift of the word instead of moving eight entries. The current image is
// kept only as the address of its view. The pixel writes store the whole
// selection back after the pixel (see write_pixel), so a compiler may
// keep it in registers across a user program's pixel loop.
struct Selection {
    PixelView* view;   // &image_views[current image]
    uint64_t history;  // entry k in bits 8(k-1) .. 8k-1
    int32_t pen_x, pen_y;
};

extern PixelView image_views[kImageSlots];
extern Selection selection;

// 8-bit pixels are read and written as this type rather than as plain bytes:
// a byte access may alias any object, which would make the compiler reload
// and store the selection state and the view around every pixel of a user
// program's loop. (Reading them back as unsigned char stays valid.)
enum class Index8 : uint8_t {};

inline int32_t current_number() {
    return static_cast<int32_t>(selection.view - image_views);
}

inline uint8_t* pixel_address(const PixelView& v, int32_t x, int32_t y) {
    const size_t index =
        static_cast<size_t>(static_cast<uint32_t>(y)) * v.pitch + static_cast<uint32_t>(x);
    return v.bits + (index << (is_32bit(v) ? 2 : 0));
}

inline bool inside(const PixelView& v, int32_t x, int32_t y) {
    return static_cast<uint32_t>(x) < v.width && static_cast<uint32_t>(y) < v.height;
}

// Runs write(view, address) when (x, y) is inside the current image.
//
// The selection is then stored again, unchanged. The pixel store happens only
// inside the image, and the compiler cannot tell whether it lands on the
// selection; with an unconditional store of the selection as the last store,
// it may keep the selection in registers across a user's pixel loop and store
// it once after the loop, instead of a load and a store of the history for
// every selection.
template <typename Write>
inline void write_pixel(int32_t x, int32_t y, Write write) {
    const Selection s = selection;
    const PixelView v = *s.view;
    if (inside(v, x, y)) write(v, pixel_address(v, x, y));
    selection = s;
}

inline void move_pen(int32_t x, int32_t y) {
    selection.pen_x = x;
    selection.pen_y = y;
}

// Hue sectors chosen by which component is largest and which smallest, first
// match winning, so ties between equal components always land in one sector.
inline int32_t hue_of(int32_t r, int32_t g, int32_t b, int32_t mx, int32_t mn) {
    const int32_t d = mx - mn;
    if (d == 0) return 0;
    if (mx == r && mn == b) return (g - b) * 60 / d;
    if (mx == g && mn == b) return 60 + (g - r) * 60 / d;
    if (mx == g && mn == r) return 120 + (b - r) * 60 / d;
    if (mx == b && mn == r) return 180 + (b - g) * 60 / d;
    if (mx == b && mn == g) return 240 + (r - g) * 60 / d;
    return 300 + (r - b) * 60 / d;
}

inline int32_t max3(int32_t a, int32_t b, int32_t c) {
    const int32_t m = a > b ? a : b;
    return m > c ? m : c;
}
inline int32_t min3(int32_t a, int32_t b, int32_t c) {
    const int32_t m = a < b ? a : b;
    return m < c ? m : c;
}

}  // namespace detail
/// @endcond

/// Drawing colour of boxes, discs and flood fills (0x00FFFFFF at start).
/// @ingroup drawing
extern int32_t drawing_colour;

/// The image text cursor shared by bitmap and TrueType text. Set it to place
/// the text that KPL_DrawChar() and the calls built on it draw next.
/// @ingroup drawing
struct ImageTextCursor {
    int32_t text_x;       ///< where the next glyph's left column goes
    int32_t left_margin;  ///< where a line break returns
    int32_t baseline_y;   ///< the row just below the glyphs of the current line
};
/// The image text cursor (all fields 0 at start).
/// @ingroup drawing
extern ImageTextCursor image_text_cursor;

}  // namespace kaplo

/// Colour of bitmap-font glyph pixels (0 at start).
/// @ingroup drawing
extern int32_t kpl_tc;

// ---------------------------------------------------------------------------
// 2. Image window store. Numbers are 0..255; 0 is success.

/// @addtogroup imagestore
/// @{

/// Creates image window `number` with a zeroed buffer and makes it current.
/// @param number the image, 0..255
/// @param title the window's title
/// @param x, y outer top-left corner on screen, -1 for the system default
/// @param width, height the picture's size in pixels
/// @param zoom the display size in percent of the picture's size
/// @param bit_depth 32 (0x00RRGGBB pixels) or 8 (colour table indexes)
/// @retval 0 created
/// @retval 1 slot in use
/// @retval 2 cannot be fitted to the screen
/// @retval 3 bad depth or no buffer
/// @workerthread
int KPL_CreateImageWindow(int number, const char* title, int x, int y, int width, int height,
                          int zoom, int bit_depth);
/// KPL_CreateImageWindow() with a 32-bit picture.
/// @param number, title, x, y, width, height, zoom as KPL_CreateImageWindow()
/// @return as KPL_CreateImageWindow(): 0 created, 1 slot in use, 2 cannot be
///         fitted to the screen, 3 bad depth or no buffer
/// @workerthread
int KPL_CreateImage(int number, const char* title, int x, int y, int width, int height, int zoom);
/// KPL_CreateImageWindow() with an 8-bit picture.
/// @param number, title, x, y, width, height, zoom as KPL_CreateImageWindow()
/// @return as KPL_CreateImageWindow(): 0 created, 1 slot in use, 2 cannot be
///         fitted to the screen, 3 bad depth or no buffer
/// @workerthread
int KPL_CreateImage8(int number, const char* title, int x, int y, int width, int height, int zoom);
/// KPL_CreateImage(), with the zoom fitted between 1 pixel and twice the
/// screen size.
/// @param number, title, x, y, width, height, zoom as KPL_CreateImageWindow()
/// @return as KPL_CreateImageWindow(): 0 created, 1 slot in use, 2 cannot be
///         fitted to the screen, 3 bad depth or no buffer
/// @workerthread
int KPL_CreateImageFL(int number, const char* title, int x, int y, int width, int height, int zoom);
/// KPL_CreateImage8(), with the zoom fitted between 1 pixel and twice the
/// screen size.
/// @param number, title, x, y, width, height, zoom as KPL_CreateImageWindow()
/// @return as KPL_CreateImageWindow(): 0 created, 1 slot in use, 2 cannot be
///         fitted to the screen, 3 bad depth or no buffer
/// @workerthread
int KPL_CreateImage8FL(int number, const char* title, int x, int y, int width, int height,
                       int zoom);
/// Creates image `number` with a zeroed buffer and no window, and makes it
/// current: for work that needs no screen (batch jobs, intermediate pictures).
/// Every pixel, drawing, block and file call works on it, KPL_UpdateImage does
/// nothing, and window lookups, window reports and snapping leave it out.
/// KPL_DestroyImage frees it; KPL_ResizeImage keeps it window-less.
/// @param number the image, 0..255
/// @param width, height the picture's size in pixels; sizes below 1 become 1
/// @param bit_depth 32 or 8
/// @retval 0 created
/// @retval 1 number not below 256 or slot in use
/// @retval 3 bad depth, a side over 16384, a buffer over 256 MiB or no memory
/// @workerthread
int KPL_CreateImageBuffer(int number, int width, int height, int bit_depth);
/// Frees the image and closes its window, if it has one.
/// @param number the image
/// @retval 0 freed
/// @retval 1 not live
/// @workerthread
int KPL_DestroyImage(int number);
/// Width, height (pixels) and depth (32 or 8) of a live image; null outputs
/// are skipped.
/// @param number the image
/// @param[out] width, height, bit_depth the image's size and depth, or null
/// @retval 0 live
/// @retval 1 number not below 256 or slot free (outputs untouched)
/// @workerthread
int KPL_GetImageInfo(int number, int* width, int* height, int* bit_depth);
/// The pixel buffer of a live image, for handing whole pictures to other
/// libraries: rows top first, 4 x width bytes per row for 32-bit images (one
/// 0x00RRGGBB word per pixel) and width rounded up to a multiple of 4 for
/// 8-bit images.
/// @param number the image
/// @return the buffer, valid until the image is destroyed or re-created; null
///         when the slot is free
/// @workerthread
void* KPL_GetImageBits(int number);
/// Re-creates the window at a new size keeping corner, title, zoom request,
/// depth, stretch mode and colour table; the new picture is black. When the
/// new size cannot be made, nothing changes: the old window, picture and slot
/// stay as they were.
/// @param number the image
/// @param width, height the new size in pixels
/// @retval 0 resized
/// @retval 1 not live
/// @retval 2 cannot be fitted to the screen
/// @retval 3 over the size limits or no memory
/// @workerthread
int KPL_ResizeImage(int number, int width, int height);
/// Shows the buffer in the image's window.
/// @param number the image
/// @retval 0 shown (or the image has no window)
/// @retval 1 not live, or the screen could not take it (out of memory)
/// @workerthread
int KPL_UpdateImage(int number);
/// Writes the image window's caption again: its title, zoom and depth.
/// @param number the image
/// @workerthread
void KPL_RefreshImageTitle(int number);
/// The client sizes an image window may have. Other modes leave the outputs
/// untouched.
/// @param mode 1: client sizes between the system minimum and the screen;
///        0: between 1 pixel and twice the screen
/// @param[out] min_width, min_height, max_width, max_height the limits; null
///             outputs are skipped
/// @workerthread
void KPL_GetImageSizeLimits(int mode, int* min_width, int* min_height, int* max_width,
                            int* max_height);

/// @name Colour tables of 8-bit images
/// Entries are 0x00RRGGBB words (blue in the low byte, i.e. blue, green, red,
/// reserved bytes in memory).
/// @{

/// Sets the first @p count entries of the current image's colour table.
/// @param colours the entries
/// @param count how many (at most 256 are used)
/// @retval 0 set
/// @retval 1 current image free
/// @retval 2 current image not 8-bit
/// @workerthread
int KPL_SetPalette(const uint32_t* colours, int count);
/// Copies the current image's colour table.
/// @param[out] colours room for 256 entries
/// @retval 0 copied
/// @retval 1 current image free
/// @retval 2 current image not 8-bit
/// @workerthread
int KPL_GetPalette(uint32_t* colours);
/// @}

/// @name Block copies
/// Packed blocks of 32-bit words (32-bit images) or bytes (8-bit images) of
/// the current image.
/// @{

/// Copies a block of the current image out; points outside the image read as 0.
/// @param[out] buffer block_width x block_height pixels
/// @param x, y the block's top-left corner in the image
/// @param block_width, block_height the block's size
/// @workerthread
void KPL_GetImageBlock(void* buffer, int x, int y, int block_width, int block_height);
/// Copies a block into the current image's top rows; what falls outside the
/// image is dropped.
/// @param buffer block_width x block_height pixels
/// @param x the column of the block's left edge in the image
/// @param block_width, block_height the block's size
/// @workerthread
void KPL_PutImageBlock(const void* buffer, int x, int block_width, int block_height);
/// @}

/// Sets every pixel of image @p number to 0.
/// @param number the image
/// @workerthread
void KPL_ClearImage(int number);

/// @}

// ---------------------------------------------------------------------------
// 3. Pixel access and colour models

/// @addtogroup pixels
/// @{

/// @name The current image
/// @{

/// Makes image @p number the current image. The old current image is pushed
/// onto the 8-deep history.
/// @param number the image
/// @retval 0 selected
/// @retval 1 number not below 256 or slot free (nothing changes)
/// @workerthread
inline int KPL_SelectImage(int number) {
    using namespace kaplo::detail;
    if (static_cast<uint32_t>(number) >= static_cast<uint32_t>(kaplo::kImageSlots)) return 1;
    // The state is written on every call, unchanged when the slot is free, so
    // that the compiler can keep it in registers across a pixel loop.
    const bool live = image_views[number].used != 0;
    Selection& s = selection;
    const uint64_t pushed = (s.history << 8) | static_cast<uint64_t>(s.view - image_views);
    s.history = live ? pushed : s.history;
    s.view = live ? &image_views[number] : s.view;
    return live ? 0 : 1;
}

/// Pops the history: the image current before the last KPL_SelectImage()
/// becomes current again. Popping past the oldest entry makes the oldest
/// entry current again.
/// @retval 0 restored
/// @retval 1 the most recent entry names a free slot
/// @workerthread
inline int KPL_SelectPreviousImage() {
    using namespace kaplo::detail;
    Selection& s = selection;
    const uint64_t number = s.history & 255u;
    if (!image_views[number].used) return 1;
    s.view = &image_views[number];
    s.history = (s.history >> 8) | (s.history & 0xFF00000000000000u);  // oldest now held twice
    return 0;
}

/// @}

/// @name Pixels
/// @{

/// Writes one pixel of the current image; the pen stays where it is.
/// @param x, y the pixel
/// @param value 0x00RRGGBB (32-bit) or a colour table index (8-bit)
/// @workerthread
inline void KPL_SetPixelNoMove(int32_t x, int32_t y, int32_t value) {
    using namespace kaplo::detail;
    write_pixel(x, y, [value](const PixelView& v, uint8_t* p) {
        if (is_32bit(v))
            *reinterpret_cast<uint32_t*>(p) = static_cast<uint32_t>(value);
        else
            *reinterpret_cast<Index8*>(p) = static_cast<Index8>(value);
    });
}

/// Writes one pixel of the current image and moves the pen to it.
/// @param x, y the pixel
/// @param value 0x00RRGGBB (32-bit) or a colour table index (8-bit)
/// @workerthread
inline void KPL_SetPixel(int32_t x, int32_t y, int32_t value) {
    kaplo::detail::move_pen(x, y);
    KPL_SetPixelNoMove(x, y, value);
}

/// Reads one pixel of the current image, telling points outside apart.
/// @param x, y the pixel
/// @return the pixel's value; -1 outside the image
/// @workerthread
inline int32_t KPL_ProbePixel(int32_t x, int32_t y) {
    using namespace kaplo::detail;
    const PixelView v = *selection.view;
    if (!inside(v, x, y)) return -1;
    const uint8_t* p = pixel_address(v, x, y);
    return is_32bit(v) ? static_cast<int32_t>(*reinterpret_cast<const uint32_t*>(p))
                       : static_cast<int32_t>(*reinterpret_cast<const Index8*>(p));
}

/// Reads one pixel of the current image.
/// @param x, y the pixel
/// @return the pixel's value; 0 outside the image
/// @workerthread
inline int32_t KPL_GetPixel(int32_t x, int32_t y) {
    using namespace kaplo::detail;
    const PixelView v = *selection.view;
    if (!inside(v, x, y)) return 0;
    const uint8_t* p = pixel_address(v, x, y);
    return is_32bit(v) ? static_cast<int32_t>(*reinterpret_cast<const uint32_t*>(p))
                       : static_cast<int32_t>(*reinterpret_cast<const Index8*>(p));
}

/// Inverts one pixel of the current image; the pen stays where it is.
/// 32-bit pixels flip their three colour bytes; 8-bit indexes i become 255 - i.
/// @param x, y the pixel
/// @workerthread
inline void KPL_InvertPixelNoMove(int32_t x, int32_t y) {
    using namespace kaplo::detail;
    write_pixel(x, y, [](const PixelView& v, uint8_t* p) {
        if (is_32bit(v)) {
            *reinterpret_cast<uint32_t*>(p) ^= 0x00FFFFFFu;
        } else {
            Index8* q = reinterpret_cast<Index8*>(p);
            *q = static_cast<Index8>(~static_cast<uint8_t>(*q));
        }
    });
}

/// KPL_InvertPixelNoMove(), and moves the pen to the pixel.
/// @param x, y the pixel
/// @workerthread
inline void KPL_InvertPixel(int32_t x, int32_t y) {
    kaplo::detail::move_pen(x, y);
    KPL_InvertPixelNoMove(x, y);
}

/// @}

/// @name Colour models
/// @{

/// Splits a 0x00RRGGBB value into its components.
/// @param value the colour
/// @param[out] r, g, b the components, 0..255
/// @workerthread
inline void KPL_SplitRgb(int32_t value, int32_t* r, int32_t* g, int32_t* b) {
    *r = (value >> 16) & 255;
    *g = (value >> 8) & 255;
    *b = value & 255;
}

/// Converts a 0x00RRGGBB value to hue, saturation and value.
/// @param value the colour
/// @param[out] h hue in whole degrees 0..359
/// @param[out] s saturation = max - min of R, G, B (not divided by the maximum)
/// @param[out] v value = max of R, G, B
/// @workerthread
inline void KPL_RgbToHsv(int32_t value, int32_t* h, int32_t* s, int32_t* v) {
    using namespace kaplo::detail;
    const int32_t r = (value >> 16) & 255, g = (value >> 8) & 255, b = value & 255;
    const int32_t mx = max3(r, g, b), mn = min3(r, g, b);
    *s = mx - mn;
    *v = mx;
    *h = hue_of(r, g, b, mx, mn);
}

/// The hue of a 0x00RRGGBB value, as KPL_RgbToHsv() gives it.
/// @param value the colour
/// @return hue in whole degrees 0..359
/// @workerthread
inline int32_t KPL_GetHue(int32_t value) {
    using namespace kaplo::detail;
    const int32_t r = (value >> 16) & 255, g = (value >> 8) & 255, b = value & 255;
    return hue_of(r, g, b, max3(r, g, b), min3(r, g, b));
}

/// The saturation of a 0x00RRGGBB value, as KPL_RgbToHsv() gives it.
/// @param value the colour
/// @return max - min of R, G, B
/// @workerthread
inline int32_t KPL_GetSaturation(int32_t value) {
    using namespace kaplo::detail;
    const int32_t r = (value >> 16) & 255, g = (value >> 8) & 255, b = value & 255;
    return max3(r, g, b) - min3(r, g, b);
}

/// The brightness (HSV value) of a 0x00RRGGBB value.
/// @param value the colour
/// @return max of R, G, B
/// @workerthread
inline int32_t KPL_GetBrightness(int32_t value) {
    return kaplo::detail::max3((value >> 16) & 255, (value >> 8) & 255, value & 255);
}

/// Converts value, saturation and hue (as KPL_RgbToHsv() gives them) to a
/// colour. Components are added without clamping, so out-of-range inputs spill
/// into neighbouring bytes (computed in unsigned arithmetic, so any input is
/// defined).
/// @param v value, 0..255
/// @param s saturation, 0..255
/// @param h hue in degrees, 0..359
/// @return the colour, 0x00RRGGBB
/// @workerthread
inline int32_t KPL_HsvToRgb(int32_t v, int32_t s, int32_t h) {
    // 64-bit products keep any input defined; results wrap like 32-bit sums.
    int64_t m = static_cast<int64_t>(v) - s;
    if (m < 0) m = 0;
    const int64_t d = v - m;
    int64_t r, g, b;
    if (h < 60) {
        r = v, g = m + d * h / 60, b = m;
    } else if (h < 120) {
        r = m + d * (120 - h) / 60, g = v, b = m;
    } else if (h < 180) {
        r = m, g = v, b = m + d * (h - 120) / 60;
    } else if (h < 240) {
        r = m, g = m + d * (240 - h) / 60, b = v;
    } else if (h < 300) {
        r = m + d * (h - 240) / 60, g = m, b = v;
    } else {
        r = v, g = m, b = m + d * (360 - static_cast<int64_t>(h)) / 60;
    }
    return static_cast<int32_t>(static_cast<uint32_t>(r * 65536 + g * 256 + b));
}

/// @cond INTERNAL
// Luminance and colour-difference components of 32-bit pixel values in 16.16
// fixed point. Each is (cR x R + cG x G + cB x B + 32768) / 65536 truncated
// toward zero: positive results round to nearest, negative ones toward zero
// from the half-way shifted value.
namespace kaplo {

struct Rgb {
    int32_t r, g, b;
};

constexpr Rgb split_rgb(int32_t value) {
    return {(value >> 16) & 255, (value >> 8) & 255, value & 255};
}

constexpr int32_t fixed_component(Rgb c, int32_t kr, int32_t kg, int32_t kb) {
    return (kr * c.r + kg * c.g + kb * c.b + 32768) / 65536;
}

constexpr int32_t luminance(int32_t value) {
    return fixed_component(split_rgb(value), 19595, 38470, 7471);
}
constexpr int32_t chroma_cr(int32_t value) {
    return fixed_component(split_rgb(value), 32768, -27460, -5308);
}
constexpr int32_t chroma_cb(int32_t value) {
    return fixed_component(split_rgb(value), -11076, -21692, 32768);
}
constexpr int32_t chroma_u(int32_t value) {
    return fixed_component(split_rgb(value), -9634, -18940, 28574);
}
constexpr int32_t chroma_v(int32_t value) {
    return fixed_component(split_rgb(value), 40305, -33751, -6554);
}
constexpr int32_t chroma_i(int32_t value) {
    return fixed_component(split_rgb(value), 39053, -18022, -21037);
}
constexpr int32_t chroma_q(int32_t value) {
    return fixed_component(split_rgb(value), 13533, -32565, 19032);
}

}  // namespace kaplo
/// @endcond

/// Luminance and the two colour differences of a 32-bit colour, in whole
/// numbers as the pixel report prints them (Cr and Cb about -128..127).
/// @param value the colour, 0x00RRGGBB
/// @param[out] y, cr, cb the components
/// @workerthread
inline void KPL_RgbToYCrCb(int32_t value, int32_t* y, int32_t* cr, int32_t* cb) {
    *y = kaplo::luminance(value);
    *cr = kaplo::chroma_cr(value);
    *cb = kaplo::chroma_cb(value);
}
/// Luminance and the U and V colour differences of a 32-bit colour.
/// @param value the colour, 0x00RRGGBB
/// @param[out] y, u, v the components
/// @workerthread
inline void KPL_RgbToYuv(int32_t value, int32_t* y, int32_t* u, int32_t* v) {
    *y = kaplo::luminance(value);
    *u = kaplo::chroma_u(value);
    *v = kaplo::chroma_v(value);
}
/// Luminance and the I and Q colour differences of a 32-bit colour.
/// @param value the colour, 0x00RRGGBB
/// @param[out] y, i, q the components
/// @workerthread
inline void KPL_RgbToYiq(int32_t value, int32_t* y, int32_t* i, int32_t* q) {
    *y = kaplo::luminance(value);
    *i = kaplo::chroma_i(value);
    *q = kaplo::chroma_q(value);
}
/// @}

/// @}

// ---------------------------------------------------------------------------
// 4. Drawing primitives and bitmap text (current image; nothing refreshes the screen)

/// @addtogroup drawing
/// @{

/// @name Lines and boxes
/// (x1, y1) and (x2, y2) are the ends of a line or two opposite corners of a box.
/// @{

/// Draws a line; the pen moves to its end.
/// @param colour the pixel value
/// @param x1, y1, x2, y2 from, to
/// @workerthread
void KPL_DrawLine(int32_t colour, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
/// Inverts the pixels of a line (as KPL_InvertPixel()); the pen moves to its end.
/// @param x1, y1, x2, y2 from, to
/// @workerthread
void KPL_InvertLine(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
/// Draws a box's outline in kaplo::drawing_colour.
/// @param x1, y1, x2, y2 two opposite corners
/// @workerthread
void KPL_DrawBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
/// Inverts a box's outline, each pixel once, so inverting it again restores
/// the picture.
/// @param x1, y1, x2, y2 two opposite corners
/// @workerthread
void KPL_InvertBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
/// Draws a box's outline in one colour and fills its inside with another.
/// @param x1, y1, x2, y2 two opposite corners
/// @param outline_colour, fill_colour the pixel values
/// @workerthread
void KPL_FillBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2, int32_t outline_colour,
                 int32_t fill_colour);
/// Inverts every pixel of a box, outline included.
/// @param x1, y1, x2, y2 two opposite corners
/// @workerthread
void KPL_InvertFillBox(int32_t x1, int32_t y1, int32_t x2, int32_t y2);
/// @}

/// @name Circles, discs and flood fill
/// A radius below 0 or over 2^28 draws nothing.
/// @{

/// Draws a circle.
/// @param colour the pixel value
/// @param cx, cy the centre
/// @param r the radius
/// @workerthread
void KPL_DrawCircle(int32_t colour, int32_t cx, int32_t cy, int32_t r);
/// Inverts the pixels of a circle, each once.
/// @param cx, cy the centre
/// @param r the radius
/// @workerthread
void KPL_InvertCircle(int32_t cx, int32_t cy, int32_t r);
/// Draws a disc in kaplo::drawing_colour.
/// @param cx, cy the centre
/// @param r the radius
/// @workerthread
void KPL_FillCircle(int32_t cx, int32_t cy, int32_t r);
/// Inverts the pixels of a disc.
/// @param cx, cy the centre
/// @param r the radius
/// @workerthread
void KPL_InvertFillCircle(int32_t cx, int32_t cy, int32_t r);
/// Flood fill: paints the region of pixels that have the colour of (x, y) and
/// touch it, in kaplo::drawing_colour.
/// @param x, y a point of the region; outside the image nothing happens
/// @workerthread
void KPL_Paint(int32_t x, int32_t y);
/// @}

/// @name Bitmap text
/// Glyphs of the 8-pixel-wide bitmap font, in #kpl_tc, placed by
/// kaplo::image_text_cursor; a line is 16 pixels high and wraps at the image's
/// right edge.
/// @{

/// Draws one character: 32..127 draw a glyph, a newline breaks the line,
/// others are ignored.
/// @param c the character
/// @workerthread
void KPL_DrawChar(int c);
/// Draws a text character by character, as KPL_DrawChar().
/// @param text a zero-terminated text
/// @workerthread
void KPL_DrawString(const char* text);
/// printf into the current image, as KPL_DrawString() (at most 4095 bytes).
/// @param format a printf format
/// @param ... the values it formats
/// @workerthread
void KPL_DrawTextf(const char* format, ...) __attribute__((format(printf, 1, 2)));
/// @}

/// @name TrueType text
/// Characters of a scalable font drawn into the current image in #kpl_tttc,
/// placed by kaplo::image_text_cursor. One font serves the whole process: at
/// start a Japanese-capable Gothic face (the platform's choice where it is
/// missing), 16 pixels high and 8 wide, in a cell 8 wide and 16 high, upright,
/// normal weight, not underlined. Each character's cell has its top row at
/// baseline y − cell height + 1 and its left column at text x. The background
/// is left as it is, and nothing is antialiased: every pixel is either the
/// text colour or untouched (8-bit images take the colour-table entry nearest
/// to #kpl_tttc). Text is clipped at the image's edges and never wraps.
/// @{

/// Sets the cell and remakes the font to fill it: the cell is half the box's
/// width (rounded down) wide and the box's height high; the font's average
/// character width is the cell width (0: the face's own proportions) and its
/// height the cell height. Face, weight, slant and underline stay.
/// @param box_width the width of the box a full-width character fills
/// @param box_height the height of a line
/// @retval 0 the font was made
/// @retval 1 it cannot be made (a height below 1, a width below 0, or either
///           over 2048); the font and the cell stay as they were
/// @workerthread
int KPL_SetTrueTypeSize(int box_width, int box_height);
/// Draws one character, or carries out a control code, and advances
/// kaplo::image_text_cursor by the character's advance (its A + B + C widths:
/// left bearing, ink and right bearing).
///
/// Control codes (below 32): 1 italic on, 2 italic off, 3 bold (weight 700),
/// 4 normal weight (400), 5 underline on, 6 underline off, 10 line break
/// (text x returns to the left margin and the baseline moves down by the cell
/// height); the others do nothing.
/// @param code a Unicode code point; one that is no Unicode scalar value (a
///             surrogate, a negative number, anything past U+10FFFF) draws
///             U+FFFD
/// @workerthread
void KPL_DrawTrueTypeChar(int code);
/// Draws a UTF-8 text character by character, as KPL_DrawTrueTypeChar(). A
/// byte that starts no valid sequence draws U+FFFD and the walk goes on with
/// the next byte; a sequence cut short by the end of the text is not drawn.
/// @param text a zero-terminated UTF-8 text (the locale's encoding)
/// @workerthread
void KPL_DrawTrueTypeText(const char* text);
/// @}

/// @}

// ---------------------------------------------------------------------------
// 5. Test patterns (whole current image)

/// @addtogroup patterns
/// Every pixel goes through KPL_SetPixel(), row by row from the top, so the
/// pen ends at the last pixel; 8-bit images keep the low byte of each value.
/// A free current image draws nothing.
/// @{

/// Red grows across, green downwards, blue falls from the top-left corner
/// to the bottom-right one.
/// @workerthread
void KPL_TestPatternRgb();
/// A grey ramp across the top half and the reversed ramp across the bottom
/// half; an 8-bit image gets a grey colour table first.
/// @workerthread
void KPL_TestPatternGrey();
/// Hues across; saturation grows down the top half at full value, value falls
/// down the bottom half at full saturation.
/// @workerthread
void KPL_TestPatternHsv();
/// The Cb-Cr plane: Cb across, Cr upwards, luminance growing with the
/// distance from the centre.
/// @workerthread
void KPL_TestPatternYCrCb();
/// The U-V plane: U across, V upwards, luminance growing with the distance
/// from the centre.
/// @workerthread
void KPL_TestPatternYuv();
/// The I-Q plane: Q across, I upwards, luminance growing with the distance
/// from the centre.
/// @workerthread
void KPL_TestPatternYiq();
/// @}

// ---------------------------------------------------------------------------
// 6. Image files

/// @addtogroup imagefiles
/// @{

/// Draws the picture in `file_name` into the current image with its top-left at
/// (x, y).
/// @param file_name the picture file
/// @param x, y where the picture's top-left pixel goes
/// @retval 0 loaded
/// @retval 1 no picture
/// @retval 2 current image not live
/// @workerthread
int KPL_LoadImage(const char* file_name, int x, int y);
/// Saves the top-left width x height pixels of the current image.
/// @param format 0 BMP, 1 JPEG, 2 GIF, 3 PNG, 4 TIFF
/// @param file_name the file; the extension is appended when the name does not
///        end in it
/// @param width, height the size saved
/// @retval 0 saved
/// @retval 1 failure
/// @retval 2 width or height 0
/// @retval 3 current image not live
/// @workerthread
int KPL_SaveImage(int format, const char* file_name, int width, int height);
/// The width and height of the picture in `file_name`, read from the file's
/// header, so that an image of that size can be made before KPL_LoadImage.
/// @param file_name the picture file (BMP, JPEG, GIF, PNG, TIFF and the other
///        formats KPL_LoadImage reads)
/// @param width, height the size in pixels; null outputs are skipped
/// @retval 0 measured
/// @retval 1 no picture: the file cannot be read, is not a picture, or is over
///         the size limits of images (16384 on a side, 256 MiB); the outputs
///         are set to 0
/// @workerthread
int KPL_GetImageFileSize(const char* file_name, int* width, int* height);

/// @name File dialogs
/// The load and save dialogs remember, for the whole run and each on its
/// own, the folder of the file last chosen and the filter last used (at
/// first the start-up folder and the BMP filter); a cancelled dialog changes
/// nothing. Patterns match without regard to case. While a dialog is open
/// every other window keeps working; Exit closes it as cancelled.
/// @{

/// Asks for a picture file to load: the dialog "Load image file", whose
/// file-name field starts with the remembered filter's patterns. The file must
/// exist.
/// @param[out] buffer room for 260 bytes: the chosen file's full path (UTF-8);
///             untouched unless a file was chosen
/// @retval 0 a file was chosen
/// @retval 1 cancelled, closed by Exit, or the path does not fit in the buffer
///         (259 bytes or 259 UTF-16 units; it is never cut)
/// @workerthread
int KPL_AskLoadFileName(char* buffer);
/// Asks for a name to save under: the dialog "Save as", whose file-name field
/// starts as "noname", with the filters of the formats KPL_SaveImage()
/// writes. When the file that a save in the chosen filter's format would
/// write exists (the name with the format's extension appended, as
/// KPL_SaveImage() appends it), the user is asked whether to replace it;
/// "No" returns to the dialog.
/// @param[out] buffer room for 260 bytes: the chosen path as typed, without
///             an extension added (UTF-8); untouched unless a name was chosen
/// @retval 0 a name was chosen
/// @retval 1 cancelled, closed by Exit, or the path does not fit in the buffer
///         (259 bytes or 259 UTF-16 units; it is never cut)
/// @workerthread
int KPL_AskSaveFileName(char* buffer);
/// @}

/// @}

namespace kaplo {
/// Quality of JPEG saves, 0..100 (100 at start).
/// @ingroup imagefiles
extern int32_t jpeg_quality;
}  // namespace kaplo

// ---------------------------------------------------------------------------
// 7. Image windows as the user works with them

/// @defgroup imagewindows Working with image windows
/// @brief Zoom and scaling, clipboard pictures and placing things with the
/// mouse: what an image window's menus and keys do, as calls.

/// @addtogroup imagewindows
/// @{

/// @name Zoom and scaling
/// @{

/// Sets the zoom of an image window, fitted to its size limits: a zoom whose
/// client area would pass the maximum is lowered until it fits, one under the
/// minimum raised until it reaches it (0 gives the smallest zoom that reaches
/// the minimum). The window is resized without moving; its caption shows the
/// zoom set.
/// @param zoom the zoom asked for, in percent
/// @param number the image
/// @retval 0 set
/// @retval 1 no such live image with a window
/// @retval 2 no zoom meets both the minimum and the maximum size; nothing
///         changed
/// @workerthread
int KPL_SetZoom(int zoom, int number);
/// The scaling filter of an image window's zoomed repaints.
/// @param number the image
/// @return 3 nearest pixel ("colour on colour", the start value), 4 smooth
///         ("halftone", shown as a "*" at the end of the caption), 0 for a
///         number not in use
/// @workerthread
int KPL_GetStretchMode(int number);
/// Sets the scaling filter of an image window: 3 nearest pixel, 4 smooth.
/// Other modes change nothing but still repaint the window and refresh its
/// caption. The mode survives KPL_ResizeImage().
/// @param mode 3 or 4
/// @param number the image
/// @retval 0 done
/// @retval 1 no such live image
/// @workerthread
int KPL_SetStretchMode(int mode, int number);

/// @}

/// @name Pixel readout
/// @{

/// Turns the pixel readout on or off (off at start; the process menu's
/// "Process..." / "Pixel Readout" switches the same state). While it is on
/// and no mouse tool runs, the main window's status line follows the pointer
/// over any image window's picture with the image pixel under it (the zoom
/// taken into account) and its colour, centred as KPL_SetStatusText()
/// centres: "x 12 y 34  R 255 G 128 B 0" for a 32-bit image,
/// "x 12 y 34  [7] 255 128 0" (the index, then its colour's red, green and
/// blue) for an 8-bit one. It follows the pointer whenever the worker thread
/// handles messages (the idle loop, KPL_ProcessMessages() and every call
/// that waits). When the pointer leaves the picture, when a mouse tool
/// starts and when the readout is turned off, the line shows again the last
/// text set by KPL_SetStatusText() (a text set meanwhile is kept for then),
/// or the idle text "<depth>-bit color" when none was.
/// @param on non-zero: on; 0: off
/// @workerthread
void KPL_SetPixelReadout(int on);

/// @}

/// @name Clipboard pictures
/// A copy offers the image as a packed bitmap: a 40-byte header (positive
/// height: rows from the bottom up; 24 bits per pixel for 32-bit images, 8
/// for 8-bit images; no compression; image size, resolutions and colour counts
/// 0), the 256-entry colour table of an 8-bit image (blue, green, red,
/// reserved bytes), then the rows, bottom row first, of blue, green, red bytes
/// or of indexes, each padded to a multiple of 4 bytes. Other programs also
/// get it as a BMP file and as a PNG. On X11 the copying program serves the
/// picture itself: it can be pasted only while that program runs.
/// @{

/// A picture read from the clipboard by KPL_GetClipboardBitmap(). Its
/// contents are private: KPL_GetClipboardBitmapSize() gives its size,
/// KPL_BlitPendingBitmap() draws it, KPL_FreeClipboardBitmap() frees it.
struct KPL_ClipboardPicture;

/// Puts the image on the clipboard as a picture other programs can paste
/// (packed bitmap, BMP and PNG). Does nothing for a number not in use; a
/// window-less image is copied like any other. When memory for the copy
/// cannot be had, the clipboard is emptied (if even that can be done) and a
/// "Pause" box says "No enough memory for copy".
/// @param number the image
/// @workerthread
void KPL_CopyImageToClipboard(int number);
/// Reads the clipboard's picture: the packed bitmap of a copy (any header
/// size other programs write: 12, 40, 52, 56, 108, 124 bytes; 1, 4, 8, 16,
/// 24 or 32 bits per pixel; bit-field masks; rows stored from the top when
/// the height is negative), a BMP file, a PNG or any other picture format the
/// platform decodes. Bitmaps that are damaged or over the image size limits
/// (16384 on a side, 256 MiB) are refused.
/// @param[out] colours room for 256 entries: the picture's colour table, as
///             0x00RRGGBB words, for a picture of 8 bits per pixel or fewer
///             (the entries the bitmap holds: its stated count, or 2 to the
///             power of its bit count when that is 0); untouched otherwise.
///             May be null.
/// @param[out] count how many entries went to @p colours (at most 256); 0 for
///             a picture without a colour table or when there is no picture.
///             May be null.
/// @return a new picture, which the caller frees with
///         KPL_FreeClipboardBitmap() or hands to KPL_BlitPendingBitmap();
///         null when the clipboard holds no picture that can be read or memory
///         runs out
/// @par Thread:
/// Any.
KPL_ClipboardPicture* KPL_GetClipboardBitmap(uint32_t* colours, int* count);
/// The size of a picture read by KPL_GetClipboardBitmap().
/// @param picture the picture
/// @param[out] width, height its size in pixels; null outputs are skipped
/// @retval 0 measured
/// @retval 1 no picture (null; the outputs are untouched)
/// @par Thread:
/// Any.
int KPL_GetClipboardBitmapSize(const KPL_ClipboardPicture* picture, int* width, int* height);
/// Frees a picture read by KPL_GetClipboardBitmap(); null is ignored.
/// @param picture the picture
/// @par Thread:
/// Any.
void KPL_FreeClipboardBitmap(KPL_ClipboardPicture* picture);
/// Draws a picture handed over from KPL_GetClipboardBitmap() into the current
/// image with its top-left corner at (0, 0), as KPL_PasteImageAt() draws, and
/// frees it. When the current image is free, the picture is only freed.
/// This is how a picture read on the main thread reaches an image made for
/// it: the main window's paste request carries it to the worker.
/// @param picture the picture, freed by the call; null does nothing
/// @workerthread
void KPL_BlitPendingBitmap(KPL_ClipboardPicture* picture);
/// Draws the clipboard's picture (as KPL_GetClipboardBitmap() reads it) into
/// the image at its own size, clipped at the image's edges, and repaints the
/// image's window. A picture with a colour table puts its entries into an
/// 8-bit image's table from entry 0 first (entries the picture does not have
/// keep their colours); other colours go to the nearest table entry. Does
/// nothing when the number is not in use or the clipboard holds no picture
/// that can be read. The current image stays as it was, unless a placement
/// made the image current.
/// @param number the image
/// @param x, y where the picture's top-left corner goes; either -1 lets the
///        user click the place with KPL_PickPlacement(): the picture is
///        centred on the clicked point (its corner goes to the point minus
///        half the picture's size, halves rounded down); a placement cancelled
///        or ended by Stop or Exit draws nothing
/// @workerthread
void KPL_PasteImageAt(int number, int x, int y);

/// @}

/// @name Mouse tools
/// @{

/// Lets the user place a box of `width` x `height` pixels in the image's
/// window: the box's outline (with its two diagonals, one pixel inside, when
/// both sides are 9 or more) is inverted in the image's buffer centred on the
/// mouse, its top-left corner at the mouse minus half the size (halves rounded
/// down), and follows the mouse. A left click takes the point and erases the
/// box; a right or middle click erases it and cancels. The status line says
/// "Click a point" meanwhile, and the main window takes no dropped files.
/// Stop or Exit erases the box and ends the tool as a cancel does; so does
/// the image's destruction (its window closed).
///
/// Every mouse tool works this way: its band is drawn by inversion in the
/// image's buffer and is erased whatever ends the tool, so the buffer is as
/// it was before the tool; Stop, Exit and a closed window end it with code 1.
/// @param number the image, which becomes the current image
/// @param width, height the box
/// @param[out] x, y the clicked point (0 until one is taken)
/// @retval 0 placed
/// @retval 1 cancelled, or ended by Stop, Exit or the image's destruction
/// @retval 2 no such live image (nothing changes, the outputs neither)
/// @workerthread
int KPL_PickPlacement(int number, int width, int height, int* x, int* y);
/// Lets the user click a point in the image's window ("Click a point").
/// @param number the image, which becomes the current image
/// @param[out] x, y the clicked point (0 unless one is taken)
/// @retval 0 a point was clicked
/// @retval 1 cancelled (right or middle click), or ended by Stop, Exit or the
///         image's destruction
/// @retval 2 no such live image
/// @workerthread
int KPL_PickPoint(int number, int* x, int* y);
/// Lets the user click a row: a full-width line follows the mouse
/// ("Click a point"); it starts at the mouse's last place.
/// @param number the image, which becomes the current image
/// @param[out] x, y the clicked point (y is the row)
/// @retval 0 a row was clicked
/// @retval 1 cancelled, or ended by Stop, Exit or the image's destruction
/// @retval 2 no such live image
/// @workerthread
int KPL_PickRow(int number, int* x, int* y);
/// Lets the user click a column: a full-height line follows the mouse
/// ("Click a point"); it starts at the mouse's last place.
/// @param number the image, which becomes the current image
/// @param[out] x, y the clicked point (x is the column)
/// @retval 0 a column was clicked
/// @retval 1 cancelled, or ended by Stop, Exit or the image's destruction
/// @retval 2 no such live image
/// @workerthread
int KPL_PickColumn(int number, int* x, int* y);
/// Lets the user click the two ends of a line ("Click the first point",
/// "Click the second point"); after the first click a line follows the mouse,
/// and a cancel then goes back to the first point. A click goes before a
/// cancel that came with it, and a move counts only without a cancel. The
/// outputs are 0 until both points are taken.
/// @param number the image, which becomes the current image
/// @param[out] x1, y1 the first click
/// @param[out] x2, y2 the second click
/// @retval 0 both points were clicked
/// @retval 1 cancelled before the first point, or ended by Stop, Exit or the
///         image's destruction
/// @retval 2 no such live image
/// @workerthread
int KPL_PickLine(int number, int* x1, int* y1, int* x2, int* y2);
/// Lets the user click two corners of a box, as KPL_PickLine() takes two
/// points; the box's outline follows the mouse.
/// @param number the image, which becomes the current image
/// @param[out] left, top, right, bottom the box (left <= right, top <= bottom)
/// @retval 0 both corners were clicked
/// @retval 1 cancelled before the first corner, or ended by Stop, Exit or the
///         image's destruction
/// @retval 2 no such live image
/// @workerthread
int KPL_PickBox(int number, int* left, int* top, int* right, int* bottom);
/// Lets the user click a centre and then a point on a circle, as KPL_PickLine()
/// takes two points; the radius is the distance between them, rounded to the
/// nearest whole pixel, and the circle follows the mouse.
/// @param number the image, which becomes the current image
/// @param[out] x, y the centre
/// @param[out] radius the radius
/// @retval 0 both points were clicked
/// @retval 1 cancelled before the centre, or ended by Stop, Exit or the
///         image's destruction
/// @retval 2 no such live image
/// @workerthread
int KPL_PickCircle(int number, int* x, int* y, int* radius);
/// Turns tool hints on or off (off at start). While they are on, the pointer
/// over the window of a running mouse tool is a crosshair, and each prompt
/// says what a right click (or a middle click) does in the tool's window:
/// "Click a point (right: cancel)", "Click the first point (right: cancel)",
/// "Click the second point (right: back)" (to the first point). The pointer
/// is as before once the tool ends, however it ends. Off, prompts and pointer
/// are as described above. A change applies from the next tool on.
/// @param on non-zero: on; 0: off
/// @workerthread
void KPL_SetToolHints(int on);

/// @}

/// @name Measuring
/// What the process menu's pixel report, row profiles and Cr-Cb plots draw
/// their graphs with. The graphs go into the current image; nothing
/// refreshes the screen.
/// @{

/// Copies pixels 0 .. count - 1 of row y of the current image out, as
/// KPL_GetImageBlock() copies a block one row high: 32-bit words from a
/// 32-bit image, bytes from an 8-bit one; positions outside the image read
/// as 0. Nothing happens when the current image is not live.
/// @param[out] buffer room for count pixels
/// @param y the row
/// @param count how many pixels
/// @workerthread
void KPL_GetImageRow(void* buffer, int y, int count);
/// Plots one channel of a row of pixels as a curve 128 pixels high: sample i
/// of channel value c goes to (offset + i, 127 - c x 127 / m), m being 359
/// for the hue and 255 otherwise, so a full value is at the top.
/// @param row count 32-bit words (0x00RRGGBB), or count bytes for 0x1000
/// @param offset the column of sample 0
/// @param count how many samples
/// @param flags one channel: 0x01 R, 0x02 G, 0x04 B, 0x08 hue, 0x10
///        saturation, 0x20 value (as KPL_RgbToHsv() gives them), 0x100
///        luminance Y, 0x200 Cr + 128, 0x400 Cb + 128, 0x1000 the bytes
///        themselves (when several are set, the first in this order counts);
///        and how: 0x80 a polyline (the first point set, each further one
///        joined to the one before by KPL_DrawLine()), 0x40 dots only (it
///        wins over 0x80). Without a channel or a way nothing is drawn.
/// @param colour the curve's colour
/// @workerthread
void KPL_PlotProfile(const void* row, int offset, int count, int flags, int32_t colour);
/// Draws the Cr-Cb plane of a 256 x 256 image and a row's path across it.
/// The plane: grey (0x808080) axes through (128, 128) drawn from 0 to 256,
/// "Cr" in bitmap text at x 110, baseline 16, in 0xFF8888 and "Cb" at x 238,
/// baseline 144, in 0x8888FF (#kpl_tc keeps 0x8888FF). A pixel goes to
/// (Cb + 128, 128 - Cr). The path: the first pixel's point set in white,
/// each further point joined to the one before by a line, the lines
/// alternating 0xFF00FF and white (the first 0xFF00FF).
/// @param row count 32-bit pixels
/// @param count how many pixels
/// @workerthread
void KPL_PlotCrCbRow(const uint32_t* row, int count);
/// Draws the Cr-Cb plane as KPL_PlotCrCbRow() does and a block's rows
/// across it: in each row the first point is set and each further one
/// joined to the one before, all in white; rows are not joined to each other.
/// @param block rows x columns 32-bit pixels, row by row
/// @param rows, columns the block's size
/// @workerthread
void KPL_PlotCrCbArea(const uint32_t* block, int rows, int columns);

/// @}

/// @}

// Image window store, the part that needs no window system: the table and
// the hot state, buffers, selection history, colour tables, block copies,
// clearing and captions.

#include <cstdio>
#include <cstring>
#include <new>
#include <utility>

#include "image/image_store.h"
#include "runtime/misuse.h"

namespace kaplo {

// Worker thread only (see image_store.h).
namespace detail {
PixelView image_views[kImageSlots];
Selection selection{&image_views[0], 0, 0, 0};
}  // namespace detail

ImageWindowRecord image_table[kImageSlots];
uint32_t* pixels32[kImageSlots];
uint8_t* pixels8[kImageSlots];
void (*image_palette_changed_hook)(int number) = nullptr;

int32_t image_history_entry(int k) {
    if (k < 1 || k > kImageHistoryDepth) return 0;
    return static_cast<int32_t>((detail::selection.history >> (8 * (k - 1))) & 255u);
}

bool pixel_buffer_size(int64_t width, int64_t height, int32_t depth, size_t* bytes) {
    if (depth != 32 && depth != 8) return false;
    if (width < 1 || height < 1 || width > kMaxImageSide || height > kMaxImageSide) return false;
    const int64_t total = image_stride(width, depth) * height;  // at most 2^16 x 2^14
    if (total > kMaxImageBytes) return false;
    *bytes = static_cast<size_t>(total);
    return true;
}

namespace {

void set_grey_ramp(uint32_t* colours) {
    for (uint32_t i = 0; i < 256; ++i) colours[i] = i * 0x010101u;
}

}  // namespace

bool make_slot_storage(int32_t width, int32_t height, int32_t depth, const char* title,
                       SlotStorage* out) {
    width = width < 1 ? 1 : width;
    height = height < 1 ? 1 : height;
    size_t bytes = 0;
    if (!pixel_buffer_size(width, height, depth, &bytes)) return false;
    SlotStorage s;
    s.width = width;
    s.height = height;
    s.depth = depth;
    // value-initialised: the picture starts black (or colour index 0)
    s.buffer.reset(new (std::nothrow) uint8_t[bytes]());
    if (!s.buffer) return false;
    if (depth == 8) {
        // The screen takes 32-bit words; 8-bit images are looked up into this copy.
        s.screen.reset(new (std::nothrow) uint32_t[static_cast<size_t>(width) * height]);
        if (!s.screen) return false;
    }
    const size_t title_len = title ? std::strlen(title) : 0;
    s.title.reset(new (std::nothrow) char[title_len + 1]);
    if (!s.title) return false;
    if (title_len) std::memcpy(s.title.get(), title, title_len);
    s.title[title_len] = '\0';
    *out = std::move(s);
    return true;
}

void install_image_slot(int number, SlotStorage&& storage) {
    ImageWindowRecord& rec = image_table[number];
    rec.bitDepth = storage.depth;
    rec.width = storage.width;
    rec.height = storage.height;
    rec.buffer = std::move(storage.buffer);
    rec.screenBuffer = std::move(storage.screen);
    rec.title = std::move(storage.title);
    set_grey_ramp(rec.colours);
    pixels32[number] = reinterpret_cast<uint32_t*>(rec.buffer.get());
    pixels8[number] = rec.buffer.get();

    detail::PixelView& v = detail::image_views[number];
    v.bits = rec.buffer.get();
    v.width = static_cast<uint16_t>(rec.width);
    v.height = static_cast<uint16_t>(rec.height);
    v.pitch = static_cast<uint16_t>(rec.bitDepth == 32 ? rec.width
                                                       : image_stride(rec.width, rec.bitDepth));
    v.depth = static_cast<uint16_t>(rec.bitDepth);
    v.used = 1;
    rec.used = 1;
}

void release_image_slot(int number) {
    detail::image_views[number] = detail::PixelView{nullptr, 0, 0, 0, 0, 0};
    pixels32[number] = nullptr;
    pixels8[number] = nullptr;
    image_table[number] = ImageWindowRecord{};
}

void install_windowless_image(int number, SlotStorage&& storage) {
    install_image_slot(number, std::move(storage));
    ImageWindowRecord& rec = image_table[number];
    rec.displayWidth = rec.width;
    rec.displayHeight = rec.height;
    rec.zoomPercent = 100;
    rec.screenLimited = 1;
    rec.stretchMode = kStretchNearest;
    KPL_SelectImage(number);
}

int image_store_attach_buffer_for_tests(int number, int width, int height, int depth) {
    const detail::Selection saved = detail::selection;
    const int code = KPL_CreateImageBuffer(number, width, height, depth);
    detail::selection = saved;
    return code;
}

void image_store_reset_for_tests() {
    for (int i = 0; i < kImageSlots; ++i) release_image_slot(i);
    detail::selection = detail::Selection{&detail::image_views[0], 0, 0, 0};
    drawing_colour = 0x00FFFFFF;
    kpl_tc = 0;
    image_text_cursor = ImageTextCursor{};
}

}  // namespace kaplo

using kaplo::current_image;
using kaplo::image_live;
using kaplo::image_table;
using kaplo::ImageWindowRecord;

// ---------------------------------------------------------------------------
// Window-less images and what user code may ask of any image

int KPL_CreateImageBuffer(int number, int width, int height, int bit_depth) {
    if (static_cast<uint32_t>(number) >= static_cast<uint32_t>(kaplo::kImageSlots) ||
        image_live(number))
        return 1;
    kaplo::SlotStorage storage;
    if (!kaplo::make_slot_storage(width, height, bit_depth, "", &storage)) return 3;
    kaplo::install_windowless_image(number, std::move(storage));
    return 0;
}

int KPL_GetImageInfo(int number, int* width, int* height, int* bit_depth) {
    if (!image_live(number)) {
        kaplo::report_missing_image("KPL_GetImageInfo", number);
        return 1;
    }
    const ImageWindowRecord& rec = image_table[number];
    if (width) *width = rec.width;
    if (height) *height = rec.height;
    if (bit_depth) *bit_depth = rec.bitDepth;
    return 0;
}

void* KPL_GetImageBits(int number) {
    if (!image_live(number)) {
        kaplo::report_missing_image("KPL_GetImageBits", number);
        return nullptr;
    }
    return image_table[number].buffer.get();
}

// ---------------------------------------------------------------------------
// Colour tables

int KPL_SetPalette(const uint32_t* colours, int count) {
    const int n = current_image();
    if (!image_live(n)) {
        kaplo::report_missing_current_image("KPL_SetPalette", n);
        return 1;
    }
    ImageWindowRecord& rec = image_table[n];
    if (rec.bitDepth != 8) return 2;
    if (count > 256) count = 256;
    if (colours && count > 0) std::memcpy(rec.colours, colours, static_cast<size_t>(count) * 4);
    if (kaplo::image_palette_changed_hook) kaplo::image_palette_changed_hook(n);
    return 0;
}

int KPL_GetPalette(uint32_t* colours) {
    const int n = current_image();
    if (!image_live(n)) {
        kaplo::report_missing_current_image("KPL_GetPalette", n);
        return 1;
    }
    const ImageWindowRecord& rec = image_table[n];
    if (rec.bitDepth != 8) return 2;
    if (colours) std::memcpy(colours, rec.colours, sizeof rec.colours);
    return 0;
}

// ---------------------------------------------------------------------------
// Block copies: clip per row once, then copy the inside span in one go.

namespace kaplo {
namespace {

// The columns i of a block at x whose x + i falls inside 0..width-1.
struct Span {
    int64_t first, last;  // block columns, last exclusive; first >= last when empty
};
Span inside_columns(int64_t x, int64_t block_width, int64_t width) {
    Span s{0, block_width};
    if (x < 0) s.first = -x;
    if (x + block_width > width) s.last = width - x;
    return s;
}

template <typename T>
void get_block(const detail::PixelView& v, T* out, int64_t x, int64_t y, int64_t bw, int64_t bh) {
    const Span cols = inside_columns(x, bw, v.width);
    for (int64_t j = 0; j < bh; ++j) {
        T* row_out = out + j * bw;
        const int64_t sy = y + j;
        if (sy < 0 || sy >= v.height || cols.first >= cols.last) {
            std::memset(row_out, 0, static_cast<size_t>(bw) * sizeof(T));
            continue;
        }
        if (cols.first > 0) std::memset(row_out, 0, static_cast<size_t>(cols.first) * sizeof(T));
        const T* src =
            reinterpret_cast<const T*>(v.bits + static_cast<size_t>(sy) * detail::row_bytes(v)) +
            x + cols.first;
        std::memcpy(row_out + cols.first, src,
                    static_cast<size_t>(cols.last - cols.first) * sizeof(T));
        if (cols.last < bw)
            std::memset(row_out + cols.last, 0, static_cast<size_t>(bw - cols.last) * sizeof(T));
    }
}

template <typename T>
void put_block(const detail::PixelView& v, const T* in, int64_t x, int64_t bw, int64_t bh) {
    const Span cols = inside_columns(x, bw, v.width);
    if (cols.first >= cols.last) return;
    const int64_t rows = bh < static_cast<int64_t>(v.height) ? bh : v.height;
    for (int64_t j = 0; j < rows; ++j) {
        T* dst = reinterpret_cast<T*>(v.bits + static_cast<size_t>(j) * detail::row_bytes(v)) + x +
                 cols.first;
        std::memcpy(dst, in + j * bw + cols.first,
                    static_cast<size_t>(cols.last - cols.first) * sizeof(T));
    }
}

}  // namespace
}  // namespace kaplo

void KPL_GetImageBlock(void* buffer, int x, int y, int block_width, int block_height) {
    const int n = current_image();
    if (!image_live(n)) kaplo::report_missing_current_image("KPL_GetImageBlock", n);
    if (!image_live(n) || !buffer || block_width <= 0 || block_height <= 0) return;
    const kaplo::detail::PixelView& v = kaplo::detail::image_views[n];
    if (v.depth == 32)
        kaplo::get_block(v, static_cast<uint32_t*>(buffer), x, y, block_width, block_height);
    else
        kaplo::get_block(v, static_cast<uint8_t*>(buffer), x, y, block_width, block_height);
}

void KPL_GetImageRow(void* buffer, int y, int count) {
    const int n = current_image();
    if (!image_live(n)) kaplo::report_missing_current_image("KPL_GetImageRow", n);
    if (!image_live(n) || !buffer || count <= 0) return;
    const kaplo::detail::PixelView& v = kaplo::detail::image_views[n];
    if (v.depth == 32)
        kaplo::get_block(v, static_cast<uint32_t*>(buffer), 0, y, count, 1);
    else
        kaplo::get_block(v, static_cast<uint8_t*>(buffer), 0, y, count, 1);
}

void KPL_PutImageBlock(const void* buffer, int x, int block_width, int block_height) {
    const int n = current_image();
    if (!image_live(n)) kaplo::report_missing_current_image("KPL_PutImageBlock", n);
    if (!image_live(n) || !buffer || block_width <= 0 || block_height <= 0) return;
    const kaplo::detail::PixelView& v = kaplo::detail::image_views[n];
    if (v.depth == 32)
        kaplo::put_block(v, static_cast<const uint32_t*>(buffer), x, block_width, block_height);
    else
        kaplo::put_block(v, static_cast<const uint8_t*>(buffer), x, block_width, block_height);
}

void KPL_ClearImage(int number) {
    if (!image_live(number)) {
        kaplo::report_missing_image("KPL_ClearImage", number);
        return;
    }
    const kaplo::detail::PixelView& v = kaplo::detail::image_views[number];
    std::memset(v.bits, 0, kaplo::detail::row_bytes(v) * v.height);
}

// ---------------------------------------------------------------------------
// Captions

namespace kaplo {

void format_image_caption(char* out, size_t size, const char* title, int32_t zoom, int32_t depth,
                          bool halftone) {
    if (size == 0) return;
    const int len = std::snprintf(out, size, depth == 8 ? "%s(%d%%)[8bit]" : "%s(%d%%)",
                                  title ? title : "", zoom);
    if (halftone && len >= 0 && static_cast<size_t>(len) + 1 < size) {
        out[len] = '*';
        out[len + 1] = '\0';
    }
}

}  // namespace kaplo

// Packed device-independent bitmaps: writing the clipboard's copy, reading
// whatever another program put there.
//
// Sections:
//   1. Little-endian fields
//   2. Writing
//   3. Locating the parts of a bitmap (every check on outside data is here,
//      but for run-length streams, checked as they are read)
//   4. Reading pixels
//   5. Entry points
//
// The reader treats the bitmap as hostile: every offset and size is computed
// in 64-bit arithmetic and checked against the data before it is used, and
// the picture's size passes the caller's gate before anything is allocated.

#include "platform/dib.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>

namespace kaplo::platform {

namespace {

// ---------------------------------------------------------------------------
// 1. Little-endian fields

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}
uint32_t le32(const uint8_t* p) {
    return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24;
}
void put16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}
void put32(uint8_t* p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;
constexpr uint32_t kBiBitfields = 3;
// A bitmap must stay addressable by the clipboard's byte arrays and by the
// BMP file header's 32-bit size.
constexpr uint64_t kMaxWrittenSize = INT32_MAX;

// ---------------------------------------------------------------------------
// 2. Writing

// Sizes `out` for a bitmap of `bits` per pixel (24 or 8) and writes its
// header. False when the arguments are out of range or the bitmap too large.
bool start_bitmap(int32_t width, int32_t height, int64_t stride, uint32_t bits,
                  std::vector<uint8_t>* out, uint64_t* row_bytes) {
    if (width < 1 || height < 1 || stride < width) return false;
    *row_bytes = (uint64_t{bits} / 8 * static_cast<uint64_t>(width) + 3) & ~uint64_t{3};
    const uint64_t table = bits == 8 ? 256 * 4 : 0;
    const uint64_t total = kInfoHeaderSize + table + *row_bytes * static_cast<uint64_t>(height);
    if (total > kMaxWrittenSize) return false;
    out->assign(static_cast<size_t>(total), 0);  // zeroed: the unused fields and the padding
    uint8_t* h = out->data();
    put32(h, kInfoHeaderSize);
    put32(h + 4, static_cast<uint32_t>(width));
    put32(h + 8, static_cast<uint32_t>(height));  // positive: the bottom row comes first
    put16(h + 12, 1);
    put16(h + 14, bits);
    return true;
}

// Runs a writer with `out` emptied on failure and no exception let through.
template <typename Writer>
bool guarded_write(std::vector<uint8_t>* out, Writer&& writer) {
    if (!out) return false;
    try {
        if (writer()) return true;
    } catch (...) {  // std::bad_alloc: the only thing a writer can throw
    }
    out->clear();
    return false;
}

// ---------------------------------------------------------------------------
// 3. Locating the parts of a bitmap

// One colour channel of a 16- or 32-bit pixel: its mask, where it starts and
// its largest value.
struct Channel {
    uint32_t mask = 0;
    int shift = 0;
    uint32_t max = 0;

    uint32_t value(uint32_t pixel) const {  // scaled to 0..255
        const uint64_t v = (pixel & mask) >> shift;
        return max == 255 ? static_cast<uint32_t>(v)
                          : static_cast<uint32_t>((v * 255 + max / 2) / max);
    }
};

// False for a mask with no bit inside the pixel.
bool make_channel(uint32_t mask, uint32_t bits, Channel* c) {
    if (bits < 32) mask &= (uint32_t{1} << bits) - 1;
    if (mask == 0) return false;
    c->mask = mask;
    c->shift = std::countr_zero(mask);
    c->max = mask >> c->shift;
    return true;
}

// Where the parts of a bitmap are, all checked against the data.
struct Layout {
    int64_t width = 0, height = 0;  // both at least 1
    bool top_down = false;
    uint32_t bits = 0;
    bool run_length = false;          // RLE8 or RLE4 (BMP files only)
    Channel red, green, blue, alpha;  // 16 and 32 bits; alpha.mask 0: opaque
    uint64_t table_at = 0;            // colour table: `entries` of `entry_size` bytes
    uint32_t entries = 0;
    uint32_t entry_size = 4;
    uint64_t pixels_at = 0;
    uint64_t stride = 0;  // bytes per row
};

bool known_info_header(uint32_t size) {
    return size == 40 || size == 52 || size == 56 || size == 108 || size == 124;
}

// What is read beyond a packed clipboard bitmap.
struct Source {
    const DecodeLimits* limits = nullptr;  // null: no size gate
    // A BMP file's bitmap: run-length pixels and an alpha mask are taken, and
    // `file_pixels_at` (0: none) is where its file header put the pixels.
    bool file = false;
    uint64_t file_pixels_at = 0;
};

// Reads the header and finds every part. The file header's pixel offset is
// taken when it lies after the colour table; one inside the headers is taken
// as none, and one past the data means the pixels are missing.
DecodeStatus locate(const uint8_t* data, size_t size, const Source& source, Layout* l) {
    if (!data || size < 4) return DecodeStatus::Unreadable;
    const uint32_t header = le32(data);
    if (header > size) return DecodeStatus::Unreadable;
    int64_t width, height;
    uint32_t compression = kBiRgb, used = 0;
    if (header == kCoreHeaderSize) {
        width = le16(data + 4);
        height = le16(data + 6);
        l->bits = le16(data + 10);
        l->entry_size = 3;
    } else if (known_info_header(header)) {
        width = static_cast<int32_t>(le32(data + 4));
        height = static_cast<int32_t>(le32(data + 8));
        l->bits = le16(data + 14);
        compression = le32(data + 16);
        used = le32(data + 32);
    } else {
        // Too small for any header, or one whose fields we do not know
        // (OS/2's variants of 16 to 64 bytes differ past the first fields).
        return DecodeStatus::Unreadable;
    }
    // The plane count is not looked at: it is always 1 and nothing depends on it.
    if (width < 1 || height == 0 || height == INT32_MIN) return DecodeStatus::Unreadable;
    l->top_down = height < 0;
    l->width = width;
    l->height = height < 0 ? -height : height;

    const uint32_t bits = l->bits;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return DecodeStatus::Unreadable;
    // Run-length pixels are read from BMP files only: clipboard bitmaps are
    // not written with them. JPEG or PNG inside a bitmap is never read.
    const bool bitfields = compression == kBiBitfields;
    l->run_length = source.file && ((compression == kBiRle8 && bits == 8) ||
                                    (compression == kBiRle4 && bits == 4));
    if (compression != kBiRgb && !l->run_length && !(bitfields && (bits == 16 || bits == 32)))
        return DecodeStatus::Unreadable;
    if (source.limits && !within_limits(l->width, l->height, *source.limits))
        return DecodeStatus::TooLarge;

    uint64_t at = header;
    uint32_t masks[3] = {0x7C00, 0x03E0, 0x001F};  // BI_RGB 16 bits: 5-5-5
    if (bits == 32) masks[0] = 0xFF0000, masks[1] = 0xFF00, masks[2] = 0xFF;
    if (bitfields) {
        // A 40-byte header is followed by its three masks; larger ones hold them.
        const uint64_t masks_at = header == kInfoHeaderSize ? at : 40;
        if (header == kInfoHeaderSize) at += 12;
        if (at > size) return DecodeStatus::Unreadable;
        for (int i = 0; i < 3; ++i) masks[i] = le32(data + masks_at + 4 * i);
        // Headers of 56 bytes and more hold an alpha mask too. A file's is
        // honoured; a clipboard bitmap's fourth byte is commonly garbage.
        if (source.file && header >= 56 && le32(data + 52) != 0 &&
            !make_channel(le32(data + 52), bits, &l->alpha))
            return DecodeStatus::Unreadable;
    }
    if (bits >= 16 && bits != 24 &&
        !(make_channel(masks[0], bits, &l->red) && make_channel(masks[1], bits, &l->green) &&
          make_channel(masks[2], bits, &l->blue)))
        return DecodeStatus::Unreadable;

    // The colour table: biClrUsed entries, or all 2^bits when that is 0. Above
    // 8 bits a table is only there when biClrUsed says so, and is skipped.
    uint64_t entries = used;
    if (bits <= 8) {
        if (entries == 0) entries = uint64_t{1} << bits;
        if (entries > 256) return DecodeStatus::Unreadable;
    }
    l->table_at = at;
    l->entries = static_cast<uint32_t>(entries);
    at += entries * l->entry_size;
    if (at > size) return DecodeStatus::Unreadable;

    if (source.file_pixels_at > size) return DecodeStatus::Unreadable;
    l->pixels_at = source.file_pixels_at >= at ? source.file_pixels_at : at;
    // Run-length pixels are as long as their stream, which is checked as it
    // is read. With 32-bit sides the rows stay below 2^64 bytes; the product
    // is still checked, so that no wrapped size can let short data pass.
    l->stride = (static_cast<uint64_t>(l->width) * bits + 31) / 32 * 4;
    if (l->run_length) return DecodeStatus::Ok;
    uint64_t pixel_bytes = 0;
    if (__builtin_mul_overflow(l->stride, static_cast<uint64_t>(l->height), &pixel_bytes))
        return DecodeStatus::Unreadable;
    if (pixel_bytes > size - l->pixels_at) return DecodeStatus::Unreadable;
    return DecodeStatus::Ok;
}

// ---------------------------------------------------------------------------
// 4. Reading pixels

// The stored row holding picture row y (pictures count rows from the top).
int64_t stored_row(const Layout& l, int64_t y) {
    return l.top_down ? y : l.height - 1 - y;
}

const uint8_t* stored_row(const uint8_t* data, const Layout& l, int64_t y) {
    return data + l.pixels_at + static_cast<uint64_t>(stored_row(l, y)) * l.stride;
}

// An index past a table shorter than the bit count allows reads as entry 0,
// so that every index names an entry.
uint8_t table_index(const Layout& l, uint32_t index) {
    return static_cast<uint8_t>(index < l.entries ? index : 0);
}

void read_table(const uint8_t* data, const Layout& l, Picture* out) {
    out->indexed = true;
    out->colours.resize(l.entries);  // 1..256
    for (uint32_t i = 0; i < l.entries; ++i) {
        const uint8_t* e = data + l.table_at + uint64_t{i} * l.entry_size;
        out->colours[i] = 0xFF000000u | uint32_t{e[2]} << 16 | uint32_t{e[1]} << 8 | e[0];
    }
    out->indexes.assign(static_cast<size_t>(l.width) * static_cast<size_t>(l.height), 0);
}

void read_indexed(const uint8_t* data, const Layout& l, Picture* out) {
    const size_t w = static_cast<size_t>(l.width);
    const int per_byte = static_cast<int>(8 / l.bits);
    const uint32_t mask = (1u << l.bits) - 1;
    for (int64_t y = 0; y < l.height; ++y) {
        const uint8_t* in = stored_row(data, l, y);
        uint8_t* row = out->indexes.data() + static_cast<size_t>(y) * w;
        for (size_t x = 0; x < w; ++x) {
            // The leftmost pixel sits in a byte's high bits.
            const int shift =
                static_cast<int>(l.bits) * (per_byte - 1 - static_cast<int>(x % per_byte));
            row[x] = table_index(l, (in[x / per_byte] >> shift) & mask);
        }
    }
}

// Run-length pixels: pairs of a count and a value (at 4 bits, two values
// taking turns), or 0 and an escape: end of line (0), end of bitmap (1), a
// move right and down (2, then the two distances), or that many literal
// values (3..255) padded to an even number of bytes. Pixels the stream never
// sets stay index 0; runs past a row's end and moves past the picture are
// clipped. False when the stream ends before its end-of-bitmap marker: the
// file was cut short.
bool read_run_length(const uint8_t* data, size_t size, const Layout& l, Picture* out) {
    const uint8_t* p = data + l.pixels_at;
    const uint8_t* const end = data + size;
    const bool four = l.bits == 4;
    int64_t x = 0, y = 0;  // y counts stored rows, in the stream's order
    // Writes `count` values, value(i) for i = 0..count-1, at the stream's place.
    const auto run = [&](int count, auto value) {
        const int64_t n = y < l.height ? std::min<int64_t>(count, l.width - x) : 0;
        if (n > 0) {
            // Stored row y is picture row stored_row(y): the mapping is its own inverse.
            uint8_t* row = out->indexes.data() + stored_row(l, y) * l.width + x;
            for (int64_t i = 0; i < n; ++i) row[i] = table_index(l, value(static_cast<int>(i)));
        }
        x += count;
    };
    while (end - p >= 2) {
        const uint8_t count = p[0], code = p[1];
        p += 2;
        if (count > 0) {
            run(count, [&](int i) { return four ? (i & 1 ? code & 15u : code >> 4u) : code; });
        } else if (code == 0) {
            x = 0;
            ++y;
        } else if (code == 1) {
            return true;
        } else if (code == 2) {
            if (end - p < 2) return false;
            x += p[0];
            y += p[1];
            p += 2;
        } else {
            const int64_t bytes = four ? (code + 1) / 2 : code;
            if (end - p < bytes + (bytes & 1)) return false;
            run(code, [&](int i) { return four ? (p[i / 2] >> (i & 1 ? 0 : 4)) & 15u : p[i]; });
            p += bytes + (bytes & 1);
        }
    }
    return false;
}

void read_colour(const uint8_t* data, const Layout& l, Picture* out) {
    const size_t w = static_cast<size_t>(l.width);
    out->argb.resize(w * static_cast<size_t>(l.height));
    uint32_t any_alpha = 0;
    for (int64_t y = 0; y < l.height; ++y) {
        const uint8_t* in = stored_row(data, l, y);
        uint32_t* row = out->argb.data() + static_cast<size_t>(y) * w;
        for (size_t x = 0; x < w; ++x) {
            if (l.bits == 24) {
                const uint8_t* p = in + 3 * x;
                row[x] = 0xFF000000u | uint32_t{p[2]} << 16 | uint32_t{p[1]} << 8 | p[0];
                continue;
            }
            const uint32_t pixel = l.bits == 16 ? le16(in + 2 * x) : le32(in + 4 * x);
            const uint32_t alpha = l.alpha.mask ? l.alpha.value(pixel) : 255;
            any_alpha |= alpha;
            row[x] = alpha << 24 | l.red.value(pixel) << 16 | l.green.value(pixel) << 8 |
                     l.blue.value(pixel);
        }
    }
    // Writers that fill the alpha mask's bits with 0 throughout mean an opaque
    // picture, not an invisible one.
    if (l.alpha.mask && any_alpha == 0)
        for (uint32_t& c : out->argb) c |= 0xFF000000u;
}

DecodeStatus read_located(const uint8_t* data, size_t size, const Source& source, Picture* out) {
    if (!out) return DecodeStatus::Unreadable;
    *out = Picture{};
    Layout l;
    const DecodeStatus status = locate(data, size, source, &l);
    if (status != DecodeStatus::Ok) return status;
    try {
        out->width = static_cast<int32_t>(l.width);
        out->height = static_cast<int32_t>(l.height);
        if (l.bits > 8) {
            read_colour(data, l, out);
            return DecodeStatus::Ok;
        }
        read_table(data, l, out);
        if (!l.run_length) {
            read_indexed(data, l, out);
        } else if (!read_run_length(data, size, l, out)) {
            *out = Picture{};
            return DecodeStatus::Unreadable;
        }
        return DecodeStatus::Ok;
    } catch (...) {  // std::bad_alloc
        *out = Picture{};
        return DecodeStatus::NoMemory;
    }
}

}  // namespace

// ---------------------------------------------------------------------------
// 5. Entry points

bool write_dib_rgb(const uint32_t* pixels, int32_t width, int32_t height, int64_t stride,
                   std::vector<uint8_t>* out) {
    return guarded_write(out, [&] {
        uint64_t row_bytes = 0;
        if (!pixels || !start_bitmap(width, height, stride, 24, out, &row_bytes)) return false;
        uint8_t* rows = out->data() + kInfoHeaderSize;
        for (int32_t y = 0; y < height; ++y) {
            const uint32_t* in = pixels + static_cast<int64_t>(height - 1 - y) * stride;
            uint8_t* p = rows + static_cast<uint64_t>(y) * row_bytes;
            for (int32_t x = 0; x < width; ++x, p += 3) {
                p[0] = static_cast<uint8_t>(in[x]);
                p[1] = static_cast<uint8_t>(in[x] >> 8);
                p[2] = static_cast<uint8_t>(in[x] >> 16);
            }
        }
        return true;
    });
}

bool write_dib_indexed(const uint8_t* indexes, int32_t width, int32_t height, int64_t stride,
                       const uint32_t* colours, std::vector<uint8_t>* out) {
    return guarded_write(out, [&] {
        uint64_t row_bytes = 0;
        if (!indexes || !colours || !start_bitmap(width, height, stride, 8, out, &row_bytes))
            return false;
        uint8_t* table = out->data() + kInfoHeaderSize;
        for (int i = 0; i < 256; ++i) {
            put32(table + 4 * i, colours[i] & 0x00FFFFFFu);  // blue, green, red, 0
        }
        uint8_t* rows = table + 256 * 4;
        for (int32_t y = 0; y < height; ++y)
            std::memcpy(rows + static_cast<uint64_t>(y) * row_bytes,
                        indexes + static_cast<int64_t>(height - 1 - y) * stride,
                        static_cast<size_t>(width));
        return true;
    });
}

bool bmp_file_from_dib(const uint8_t* dib, size_t size, std::vector<uint8_t>* out) {
    return guarded_write(out, [&] {
        Layout l;
        if (locate(dib, size, Source{}, &l) != DecodeStatus::Ok) return false;
        if (size > kMaxWrittenSize - kFileHeaderSize) return false;
        out->resize(kFileHeaderSize + size);
        uint8_t* h = out->data();
        h[0] = 'B';
        h[1] = 'M';
        put32(h + 2, static_cast<uint32_t>(kFileHeaderSize + size));
        put32(h + 6, 0);  // reserved
        put32(h + 10, static_cast<uint32_t>(kFileHeaderSize + l.pixels_at));
        std::memcpy(h + kFileHeaderSize, dib, size);
        return true;
    });
}

DecodeStatus read_dib(const uint8_t* data, size_t size, const DecodeLimits& limits, Picture* out) {
    return read_located(data, size, Source{&limits}, out);
}

DecodeStatus read_bmp_file(const uint8_t* data, size_t size, const DecodeLimits& limits,
                           Picture* out) {
    if (out) *out = Picture{};
    if (!data || size < kFileHeaderSize || data[0] != 'B' || data[1] != 'M')
        return DecodeStatus::Unreadable;
    // An offset that points before the bitmap is out of range; 0 means none.
    const uint32_t offset = le32(data + 10);
    const uint64_t pixels_at = offset > kFileHeaderSize ? offset - kFileHeaderSize : 0;
    return read_located(data + kFileHeaderSize, size - kFileHeaderSize,
                        Source{&limits, true, pixels_at}, out);
}

}  // namespace kaplo::platform

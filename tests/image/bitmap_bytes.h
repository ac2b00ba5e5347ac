#pragma once
// Packed bitmaps written by hand, as other programs write them, for the tests
// of the bitmap reader and of the clipboard calls.

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace bitmap_bytes {

using Bytes = std::vector<uint8_t>;

inline void put16(Bytes* b, uint32_t v) {
    b->push_back(static_cast<uint8_t>(v));
    b->push_back(static_cast<uint8_t>(v >> 8));
}
inline void put32(Bytes* b, uint32_t v) {
    put16(b, v);
    put16(b, v >> 16);
}
inline void append(Bytes* b, std::initializer_list<uint8_t> bytes) {
    b->insert(b->end(), bytes);
}

// A header of `size` bytes (40 or more) with the fields a test varies; the
// masks, if any, follow the first 40 bytes (inside a larger header, after a
// 40-byte one).
inline Bytes header(int32_t width, int32_t height, uint16_t bits, uint32_t compression = 0,
                    uint32_t used = 0, uint32_t size = 40,
                    std::initializer_list<uint32_t> masks = {}) {
    Bytes b;
    put32(&b, size);
    put32(&b, static_cast<uint32_t>(width));
    put32(&b, static_cast<uint32_t>(height));
    put16(&b, 1);
    put16(&b, bits);
    put32(&b, compression);
    for (int i = 0; i < 3; ++i) put32(&b, 0);  // image size, resolutions
    put32(&b, used);
    put32(&b, 0);
    for (uint32_t m : masks) put32(&b, m);
    if (b.size() < size) b.resize(size, 0);
    return b;
}

}  // namespace bitmap_bytes

#pragma once
// Luminance and colour-difference components of 32-bit pixel values in 16.16
// fixed point. Each is (cR x R + cG x G + cB x B + 32768) / 65536 truncated
// toward zero: positive results round to nearest, negative ones toward zero
// from the half-way shifted value.

#include <cstdint>

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

// Test patterns: synthetic pictures that sweep a colour model across the
// current image, for comparing the colour reports and plots with known input.
// Every pixel goes through KPL_SetPixel, row by row from the top, so the pen
// ends at the last pixel; 8-bit images keep the low byte of each value.

#include <cmath>

#include "image/image_store.h"

namespace kaplo {
namespace {

struct Size {
    int32_t w, h;
};

bool current_size(Size* out) {
    const int n = current_image();
    if (!image_live(n)) return false;
    out->w = image_table[n].width;
    out->h = image_table[n].height;
    return true;
}

int32_t clamp_byte(int64_t v) {
    return v < 0 ? 0 : v > 255 ? 255 : static_cast<int32_t>(v);
}

struct ColourDifferenceCoefficients {
    int32_t r_a, r_b, g_a, g_b, b_a, b_b;
};

// a runs across (left to right), b upwards; the luminance grows with the
// distance from the centre.
void colour_difference_pattern(const ColourDifferenceCoefficients& k) {
    Size s;
    if (!current_size(&s)) return;
    for (int32_t y = 0; y < s.h; ++y) {
        const int64_t v = (int64_t{y} - s.h / 2) * 255 / s.h;
        for (int32_t x = 0; x < s.w; ++x) {
            const int64_t h = (int64_t{x} - s.w / 2) * 255 / s.w;
            const int64_t lum =
                static_cast<int64_t>(std::sqrt(static_cast<double>(5 * v * v + 5 * h * h)));
            const int64_t a = h, b = -v;
            const int64_t base = 65536 * lum + 32768;
            const int32_t r = clamp_byte((k.r_a * a + k.r_b * b + base) / 65536);
            const int32_t g = clamp_byte((k.g_a * a + k.g_b * b + base) / 65536);
            const int32_t bl = clamp_byte((k.b_a * a + k.b_b * b + base) / 65536);
            KPL_SetPixel(x, y, r * 65536 + g * 256 + bl);
        }
    }
}

}  // namespace
}  // namespace kaplo

void KPL_TestPatternRgb() {
    kaplo::Size s;
    if (!kaplo::current_size(&s)) return;
    for (int32_t y = 0; y < s.h; ++y)
        for (int32_t x = 0; x < s.w; ++x) {
            const int64_t r = 255 * int64_t{x} / s.w;
            const int64_t g = 255 * int64_t{y} / s.h;
            const int64_t b = 255 - 255 * (int64_t{x} + y) / (int64_t{s.w} + s.h);
            KPL_SetPixel(x, y, static_cast<int32_t>(r * 65536 + g * 256 + b));
        }
}

void KPL_TestPatternGrey() {
    kaplo::Size s;
    // A free current image has no size to draw into.
    if (!kaplo::current_size(&s)) return;
    if (kaplo::image_table[kaplo::current_image()].bitDepth == 8) {
        uint32_t ramp[256];
        for (uint32_t i = 0; i < 256; ++i) ramp[i] = i * 0x010101u;
        KPL_SetPalette(ramp, 256);
    }
    for (int32_t x = 0; x < s.w; ++x) {
        const int32_t g = static_cast<int32_t>(255 * int64_t{x} / s.w);
        KPL_DrawLine(g * 0x010101, x, 0, x, s.h / 2 - 1);
        KPL_DrawLine((255 - g) * 0x010101, x, s.h / 2, x, s.h - 1);
    }
}

void KPL_TestPatternHsv() {
    kaplo::Size s;
    if (!kaplo::current_size(&s)) return;
    const int32_t n = s.h / 2;
    for (int32_t y = 0; y < s.h; ++y) {
        int32_t sat, val;
        if (n == 0) {
            // A one-pixel-high image has no halves: its only row is the
            // middle row, the fully saturated hues.
            sat = 255, val = 255;
        } else if (y < n) {
            sat = static_cast<int32_t>(255 * int64_t{y} / n), val = 255;
        } else {
            sat = 255, val = static_cast<int32_t>(255 - 255 * (int64_t{y} - n) / n);
        }
        for (int32_t x = 0; x < s.w; ++x) {
            const int32_t hue = static_cast<int32_t>(359 * int64_t{x} / s.w);
            KPL_SetPixel(x, y, KPL_HsvToRgb(val, sat, hue));
        }
    }
}

void KPL_TestPatternYCrCb() {
    kaplo::colour_difference_pattern({0, 91881, -22544, -46793, 116130, 0});
}

void KPL_TestPatternYuv() {
    kaplo::colour_difference_pattern({0, 74711, -25952, -38076, 132973, 0});
}

void KPL_TestPatternYiq() {
    kaplo::colour_difference_pattern({42998, 62187, -44872, -17334, 118292, -73859});
}

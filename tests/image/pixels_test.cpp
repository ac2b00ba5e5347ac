// Pixel access, the pen position and the colour models.

#include "image/colour_models.h"
#include "image_fixture.h"

namespace {

using PixelAccess = ImageTest;

TEST_F(PixelAccess, WritesOutsideAreIgnoredButMoveThePen) {
    make(0, 4, 3);
    KPL_SetPixel(-1, 0, 0x123456);
    EXPECT_EQ(pen_x(), -1);
    EXPECT_EQ(pen_y(), 0);
    KPL_SetPixel(4, 0, 1);
    KPL_SetPixel(0, 3, 1);
    EXPECT_TRUE(lit().empty());
    KPL_SetPixelNoMove(1, 1, 7);
    EXPECT_EQ(pen_x(), 0);
    EXPECT_EQ(pen_y(), 3);
    EXPECT_EQ(KPL_GetPixel(1, 1), 7);
}

TEST_F(PixelAccess, ReadsOutsideGiveZeroOrMinusOne) {
    make(0, 4, 3);
    KPL_SetPixel(3, 2, 0x00ABCDEF);
    EXPECT_EQ(KPL_GetPixel(3, 2), 0x00ABCDEF);
    EXPECT_EQ(KPL_ProbePixel(3, 2), 0x00ABCDEF);
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {4, 0}, {0, 3}, {INT32_MIN, INT32_MAX}}) {
        EXPECT_EQ(KPL_GetPixel(x, y), 0);
        EXPECT_EQ(KPL_ProbePixel(x, y), -1);
    }
}

TEST_F(PixelAccess, ThirtyTwoBitWritesKeepTheWholeValue) {
    make(0, 2, 2);
    KPL_SetPixel(0, 0, -1);
    EXPECT_EQ(KPL_GetPixel(0, 0), -1);
    EXPECT_EQ(kaplo::pixels32[0][0], 0xFFFFFFFFu);
}

TEST_F(PixelAccess, EightBitImagesStoreTheLowByteWithPaddedRows) {
    make(0, 5, 2, 8);
    EXPECT_EQ(kaplo::detail::row_bytes(kaplo::detail::image_views[0]), 8u);
    KPL_SetPixel(0, 1, 0x1234);
    EXPECT_EQ(kaplo::pixels8[0][8], 0x34);
    EXPECT_EQ(KPL_GetPixel(0, 1), 0x34);
    KPL_SetPixel(4, 0, 0xFF);
    EXPECT_EQ(KPL_GetPixel(4, 0), 255);
    EXPECT_EQ(KPL_ProbePixel(4, 0), 255);
    EXPECT_EQ(kaplo::pixels8[0][5], 0) << "padding bytes belong to no pixel";
}

TEST_F(PixelAccess, InvertFlipsColourBytesOrTheIndex) {
    make(0, 2, 2);
    KPL_SetPixel(0, 0, 0x7F000000 | rgb(18, 52, 86));
    KPL_InvertPixel(0, 0);
    EXPECT_EQ(KPL_GetPixel(0, 0), 0x7F000000 | rgb(237, 203, 169));
    KPL_InvertPixel(-5, 9);
    EXPECT_EQ(pen_x(), -5);
    EXPECT_EQ(pen_y(), 9);
    KPL_InvertPixelNoMove(0, 0);
    EXPECT_EQ(pen_x(), -5);
    EXPECT_EQ(KPL_GetPixel(0, 0), 0x7F000000 | rgb(18, 52, 86));

    make(1, 2, 2, 8);
    KPL_SetPixel(1, 1, 10);
    KPL_InvertPixel(1, 1);
    EXPECT_EQ(KPL_GetPixel(1, 1), 245);
}

TEST_F(PixelAccess, FreedSlotIsNeverTouched) {
    make(0, 4, 4);
    kaplo::release_image_slot(0);
    KPL_SetPixel(1, 1, 5);
    KPL_InvertPixel(1, 1);
    EXPECT_EQ(KPL_GetPixel(1, 1), 0);
    EXPECT_EQ(KPL_ProbePixel(1, 1), -1);
    EXPECT_EQ(kaplo::pixels32[0], nullptr);
}

struct HsvCase {
    int r, g, b, h, s, v;
};

TEST(ColourModels, RgbToHsvWorkedValues) {
    const HsvCase cases[] = {{255, 128, 0, 30, 255, 255},  {18, 52, 86, 210, 68, 86},
                             {128, 128, 128, 0, 0, 128},   {255, 255, 0, 60, 255, 255},
                             {0, 255, 255, 180, 255, 255}, {255, 0, 255, 300, 255, 255},
                             {0, 0, 1, 240, 1, 1},         {0, 0, 0, 0, 0, 0}};
    for (const auto& c : cases) {
        int32_t h = -1, s = -1, v = -1;
        const int32_t value = rgb(c.r, c.g, c.b);
        KPL_RgbToHsv(value, &h, &s, &v);
        EXPECT_EQ(h, c.h) << c.r << "," << c.g << "," << c.b;
        EXPECT_EQ(s, c.s);
        EXPECT_EQ(v, c.v);
        EXPECT_EQ(KPL_GetHue(value), c.h);
        EXPECT_EQ(KPL_GetSaturation(value), c.s);
        EXPECT_EQ(KPL_GetBrightness(value), c.v);
    }
}

TEST(ColourModels, HueIgnoresTheTopByteAndStaysBelow360) {
    EXPECT_EQ(KPL_GetHue(static_cast<int32_t>(0xFF000000u) | rgb(255, 128, 0)), 30);
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5) {
                const int32_t h = KPL_GetHue(rgb(r, g, b));
                ASSERT_GE(h, 0);
                ASSERT_LT(h, 360);
            }
}

TEST(ColourModels, HsvToRgbWorkedValuesAndNoClamping) {
    EXPECT_EQ(KPL_HsvToRgb(255, 255, 30), rgb(255, 127, 0));
    EXPECT_EQ(KPL_HsvToRgb(86, 68, 210), rgb(18, 52, 86));
    EXPECT_EQ(KPL_HsvToRgb(255, 0, 123), rgb(255, 255, 255));
    // V above 255 spills into the next byte; a negative H falls in the first row.
    EXPECT_EQ(KPL_HsvToRgb(256, 0, 0), 256 * 65536 + 256 * 256 + 256);
    EXPECT_EQ(KPL_HsvToRgb(255, 255, -60), 255 * 65536 + (-255) * 256);
    // Saturation above the value makes the minimum 0, not negative.
    EXPECT_EQ(KPL_HsvToRgb(100, 200, 0), rgb(100, 0, 0));
    // Extreme inputs stay defined.
    (void)KPL_HsvToRgb(INT32_MAX, INT32_MIN, INT32_MAX);
    (void)KPL_HsvToRgb(INT32_MIN, INT32_MAX, INT32_MIN);
}

TEST(ColourModels, HsvRoundTripKeepsValueAndSaturationAndHueWithinOne) {
    for (int v = 0; v < 256; v += 17)
        for (int s = 0; s <= v; s += 15)
            for (int h = 0; h < 360; ++h) {
                int32_t h2, s2, v2;
                KPL_RgbToHsv(KPL_HsvToRgb(v, s, h), &h2, &s2, &v2);
                ASSERT_EQ(v2, v);
                ASSERT_EQ(s2, s);
                if (s >= 60) {
                    ASSERT_LE(std::abs(h2 - h), 1) << v << " " << s << " " << h;
                }
            }
}

TEST(ColourModels, FixedPointComponents) {
    using namespace kaplo;
    const int32_t red = rgb(255, 0, 0), green = rgb(0, 255, 0), blue = rgb(0, 0, 255);
    EXPECT_EQ(luminance(rgb(255, 255, 255)), 255);
    EXPECT_EQ(luminance(red), 76);
    EXPECT_EQ(luminance(green), 150);
    EXPECT_EQ(luminance(blue), 29);
    EXPECT_EQ(chroma_cr(red), 128);
    EXPECT_EQ(chroma_cb(red), -42);
    EXPECT_EQ(chroma_cr(green), -106);
    EXPECT_EQ(chroma_cb(green), -83);
    EXPECT_EQ(chroma_cr(blue), -20);
    EXPECT_EQ(chroma_cb(blue), 128);
    EXPECT_EQ(chroma_u(red), -36);
    EXPECT_EQ(chroma_v(red), 157);
    EXPECT_EQ(chroma_i(red), 152);
    EXPECT_EQ(chroma_q(red), 53);
    for (int g = 0; g < 256; ++g) {
        const int32_t grey = rgb(g, g, g);
        EXPECT_EQ(chroma_cr(grey), 0);
        EXPECT_EQ(chroma_cb(grey), 0);
        EXPECT_EQ(chroma_u(grey), 0);
        EXPECT_EQ(chroma_v(grey), 0);
        EXPECT_EQ(chroma_i(grey), 0);
        EXPECT_EQ(chroma_q(grey), 0);
    }
}

TEST(ColourModels, SplitRgb) {
    int32_t r, g, b;
    KPL_SplitRgb(static_cast<int32_t>(0xAA123456u), &r, &g, &b);
    EXPECT_EQ(r, 0x12);
    EXPECT_EQ(g, 0x34);
    EXPECT_EQ(b, 0x56);
}

}  // namespace

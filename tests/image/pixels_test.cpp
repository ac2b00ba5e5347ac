// Pixel access, the pen position and the colour models.

#include "image/colour_models.h"
#include "image_fixture.h"

namespace {

using PixelAccess = ImageTest;

TEST_F(PixelAccess, PointsOutsideAreIgnoredOnWritesAndReadAsZeroOrMinusOne) {
    make(0, 4, 3);
    KPL_SetPixel(3, 2, -1);  // 32-bit writes keep the whole value
    EXPECT_EQ(KPL_GetPixel(3, 2), -1);
    EXPECT_EQ(kaplo::pixels32[0][11], 0xFFFFFFFFu);
    KPL_SetPixel(3, 2, 0x00ABCDEF);
    EXPECT_EQ(KPL_ProbePixel(3, 2), 0x00ABCDEF);
    KPL_SetPixel(4, 0, 1);
    KPL_SetPixel(0, 3, 1);
    KPL_SetPixel(-1, 0, 0x123456);  // the pen moves all the same
    EXPECT_EQ(pen_x(), -1);
    EXPECT_EQ(pen_y(), 0);
    EXPECT_EQ(lit().size(), 1u);
    KPL_SetPixelNoMove(1, 1, 7);
    EXPECT_EQ(pen_x(), -1);
    EXPECT_EQ(KPL_GetPixel(1, 1), 7);
    for (auto [x, y] : {std::pair{-1, 0}, {0, -1}, {4, 0}, {0, 3}, {INT32_MIN, INT32_MAX}}) {
        EXPECT_EQ(KPL_GetPixel(x, y), 0);
        EXPECT_EQ(KPL_ProbePixel(x, y), -1);
    }
    // A freed slot has no buffer: nothing is written or read.
    kaplo::release_image_slot(0);
    KPL_SetPixel(1, 1, 5);
    KPL_InvertPixel(1, 1);
    EXPECT_EQ(KPL_GetPixel(1, 1), 0);
    EXPECT_EQ(KPL_ProbePixel(1, 1), -1);
    EXPECT_EQ(kaplo::pixels32[0], nullptr);
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

TEST(ColourModels, RgbToHsvWorkedValues) {
    const int cases[][6] = {{255, 128, 0, 30, 255, 255},  {18, 52, 86, 210, 68, 86},
                            {128, 128, 128, 0, 0, 128},   {255, 255, 0, 60, 255, 255},
                            {0, 255, 255, 180, 255, 255}, {255, 0, 255, 300, 255, 255},
                            {0, 0, 1, 240, 1, 1},         {0, 0, 0, 0, 0, 0}};
    for (const auto& c : cases) {
        int32_t h = -1, s = -1, v = -1;
        const int32_t value = rgb(c[0], c[1], c[2]);
        KPL_RgbToHsv(value, &h, &s, &v);
        EXPECT_EQ(h, c[3]) << c[0] << "," << c[1] << "," << c[2];
        EXPECT_EQ(s, c[4]);
        EXPECT_EQ(v, c[5]);
        EXPECT_EQ(KPL_GetHue(value), c[3]);
        EXPECT_EQ(KPL_GetSaturation(value), c[4]);
        EXPECT_EQ(KPL_GetBrightness(value), c[5]);
    }
    // The top byte is not part of the colour; every hue is below 360.
    EXPECT_EQ(KPL_GetHue(static_cast<int32_t>(0xFF000000u) | rgb(255, 128, 0)), 30);
    for (int r = 0; r < 256; r += 5)
        for (int g = 0; g < 256; g += 5)
            for (int b = 0; b < 256; b += 5)
                ASSERT_LT(static_cast<uint32_t>(KPL_GetHue(rgb(r, g, b))), 360u) << r << g << b;
    int32_t r, g, b;
    KPL_SplitRgb(static_cast<int32_t>(0xAA123456u), &r, &g, &b);
    EXPECT_TRUE(r == 0x12 && g == 0x34 && b == 0x56);
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
                ASSERT_TRUE(s < 60 || std::abs(h2 - h) <= 1) << v << " " << s << " " << h;
            }
}

TEST(ColourModels, FixedPointComponents) {
    using namespace kaplo;
    // value: luminance, Cr, Cb, U, V, I, Q
    const int32_t cases[][8] = {{rgb(255, 0, 0), 76, 128, -42, -36, 157, 152, 53},
                                {rgb(0, 255, 0), 150, -106, -83, -73, -130, -69, -126},
                                {rgb(0, 0, 255), 29, -20, 128, 111, -25, -81, 74},
                                {rgb(255, 255, 255), 255, 0, 0, 0, 0, 0, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(
            (std::vector<int32_t>{luminance(c[0]), chroma_cr(c[0]), chroma_cb(c[0]), chroma_u(c[0]),
                                  chroma_v(c[0]), chroma_i(c[0]), chroma_q(c[0])}),
            std::vector<int32_t>(c + 1, c + 8))
            << std::hex << c[0];
    for (int g = 0; g < 256; ++g) {
        const int32_t grey = rgb(g, g, g);
        EXPECT_EQ(luminance(grey), g);
        EXPECT_TRUE(chroma_cr(grey) == 0 && chroma_cb(grey) == 0 && chroma_u(grey) == 0 &&
                    chroma_v(grey) == 0 && chroma_i(grey) == 0 && chroma_q(grey) == 0)
            << g;
    }
}

}  // namespace

// The public conversions give what the pixel report prints: pure red.
TEST(ColourModelCalls, PureRedInEveryModel) {
    int32_t y = 0, a = 0, b = 0;
    KPL_RgbToYCrCb(0xFF0000, &y, &a, &b);
    EXPECT_EQ((std::array<int32_t, 3>{y, a, b}), (std::array<int32_t, 3>{76, 128, -42}));
    KPL_RgbToYuv(0xFF0000, &y, &a, &b);
    EXPECT_EQ((std::array<int32_t, 3>{y, a, b}), (std::array<int32_t, 3>{76, -36, 157}));
    KPL_RgbToYiq(0xFF0000, &y, &a, &b);
    EXPECT_EQ((std::array<int32_t, 3>{y, a, b}), (std::array<int32_t, 3>{76, 152, 53}));
}
